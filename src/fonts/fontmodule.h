#pragma once
#include <QString>
#include <QStringList>
#include <array>

// Font helpers of the program: registering the figure fonts for the running
// program, reading the family name a font file is known under, and sharing
// the fonts with the user's other applications. They show no messages.
// GetFontName and InstallFont need a QGuiApplication.
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

// ---------------------------------------------------------------------------
// Sharing with other applications. A font added with InstallFont exists for
// this program alone; a word processor or a browser showing the program's
// RTF finds fonts through fontconfig. The functions below make the figure
// fonts and the text-font aliases visible there for the user who runs the
// program, when fontconfig does not see them already (as after installing
// the package, which puts both into the system folders). They ask a freshly
// loaded fontconfig configuration, the one the next application starts with,
// and never write into a folder or over a file of another user, nor through
// a symbolic link anywhere in the path below the home, nor at all without a
// real home (see userHomeFolder). A font or fontconfig file is written
// whole or not at all.

// The home folder of the user who runs the program, cleaned: HOME, when it
// is an absolute path other than the root that names a folder of this
// (effective) user. Empty otherwise (HOME unset, as under env -i or cron,
// or another user's, as under sudo without -H), and problem says why.
QString userHomeFolder(QString *problem = nullptr);

// The user's cache folder: XDG_CACHE_HOME when it is an absolute path,
// else ~/.cache. Empty without a real home (see userHomeFolder).
QString userCacheFolder();

// Makes folder and the folders on its way that are missing (mode 0700),
// walking from the home (or from the XDG base folder that names a folder
// outside it) one name at a time without following a link; every folder on
// the way must be this user's. False, and error says why, otherwise.
bool makeOwnFolder(const QString &folder, QString *error = nullptr);

// Makes the program's fontconfig configuration (the one Qt loads) keep its
// caches in the user's cache folder, or without a real home in a private
// folder of this run: never in the system's cache folder, which a process
// of root would otherwise rewrite when a system font folder has changed.
// Call before the application object exists.
void useOwnFontCaches();

// $XDG_DATA_HOME/fonts/tessilor, by default ~/.local/share/fonts/tessilor;
// empty when the user has no data folder.
QString userFontFolder();
// $XDG_CONFIG_HOME/fontconfig/conf.d, by default ~/.config/fontconfig/conf.d;
// empty when the user has no configuration folder.
QString userFontconfigFolder();

struct FontShare {
    enum Outcome {
        AlreadyVisible, // fontconfig saw everything before: nothing was written
        Shared,         // visible now, after writing into the user's folder
        Failed,         // not visible; error says why
    };
    Outcome outcome = Failed;
    QStringList written; // files written (new or replaced), full paths
    QString error;
};

// Makes the font files visible to every application of the user. Nothing
// happens when fontconfig already lists, for each file's family, a file with
// the same content. Otherwise each file is copied into folder when missing
// there or different (atomically: a complete file replaces the old one),
// fontconfig's cache of the folder is rebuilt as fc-cache would (a cache
// that misses a font is removed, not kept), and a fresh configuration must
// then list the fonts. folder must lie inside the home or the XDG base
// folder that names it.
FontShare shareFontsWithUser(const QStringList &fontFiles, const QString &folder = userFontFolder());

// The four text fonts of the font list, in list order: the families the
// program's fontconfig file gives monospaced stand-ins ("Courier New Cyr",
// "Fixedsys", "Lucida Console", "Terminal").
const std::array<QString, 4> &textFontFaces();

// True when fontconfig sets each of the four text fonts in a monospaced face
// (its own, or a stand-in named by an alias).
bool textFontsResolveMonospaced();

// Puts the aliases of aliasFile (the program's fontconfig file) in force for
// the user when textFontsResolveMonospaced() is false: the file is copied
// into folder, fontconfig's per-user conf.d, when missing or different.
// Shared only when the four fonts then resolve to monospaced faces.
FontShare shareTextFontAliases(const QString &aliasFile, const QString &folder = userFontconfigFolder());

} // namespace tessilor
