#pragma once
#include <QString>

// Font helpers of the program: registering the figure fonts for the running
// program and reading the family name a font file is known under. They show
// no messages. GetFontName and InstallFont need a QGuiApplication.
namespace tessilor {

// The user's temporary folder, with a trailing '/'.
QString GetTempDir();

// Deletes path when it is an existing file (not a folder). True when it
// deleted the file; false otherwise, also on any failure.
bool KillIfExists(const QString &path);

// Family name recorded in the font file, the name that selects the font once
// it is installed. Empty when the file is missing, is not a readable font or
// is unreasonably large for a font.
QString GetFontName(const QString &fontFile);

// Adds the font file to the running program's font table (nothing is
// installed for other programs) and returns GetFontName of it. Empty when the
// file cannot be added. Adding the same file again does not register it twice.
QString InstallFont(const QString &fontFile);

} // namespace tessilor
