#pragma once
#include <QString>

namespace tessilor {

// Path helpers of the main window. The separator is the platform's ('/').
// getName and getExt lower-case their result; getPath keeps the case of the
// folder, because Linux file systems are case-sensitive and a lower-cased
// folder would not exist.
QString getName(const QString &pathName);
QString getPath(const QString &pathName);
QString getExt(const QString &name);

// True for the extensions the program opens: jpg, jpe, jpeg, bmp, dib, gif,
// png, webp, tif, tiff.
bool isImageExtension(const QString &ext);

// Private per-user data folder for temporary files and "Out.rtf", created on
// first use with access for the user alone (0700). Empty when it cannot be
// created.
QString dataFolder();
// Where the data folder belongs, whether or not it exists.
QString dataFolderLocation();
// The folder "pasted" of the data folder, created on first use like it:
// the pictures pasted from the clipboard. Empty when it cannot be created.
QString pastedPicturesFolder();

// Folder of the read-only program files (figure fonts, help): beside the
// executable in a build tree, <prefix>/share/tessilor when installed.
QString programFilesFolder();

// Deletes every "*.tmp" file directly in folder (not in subfolders); the
// case of the extension does not matter. Returns how many were deleted.
int deleteTempFiles(const QString &folder);

// Folder of the figure fonts: <prefix>/share/fonts/truetype/tessilor when
// installed (where fontconfig finds them for every application), beside the
// executable in a build tree.
QString figureFontFolder();
// Figure font file `which` (1 or 2) in folder, by default the one above.
QString figureFontFile(int which, const QString &folder = figureFontFolder());

// The program's fontconfig file that maps the four text fonts to monospaced
// families: <prefix>/share/fontconfig/conf.avail/<name> when installed,
// beside the executable in a build tree.
QString textFontAliasFile();
inline constexpr const char *kTextFontAliasFileName = "31-tessilor-text-fonts.conf";

} // namespace tessilor
