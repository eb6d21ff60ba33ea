#pragma once
#include <QString>
#include <QStringList>

// What the glyphs a process draws depend on, as files: fontconfig's
// configuration, the font folders it scans, the font files of a family, and
// the shared libraries that find and rasterise glyphs. A file's state, seen
// again later, tells whether any of it changed, without loading fontconfig
// or a font.
namespace tessilor {

// A file as stat() sees it (links followed); all zero when it is missing.
// A replaced file (a package upgrade renames a new one into place) has a
// new inode, one rewritten in place a new modification and change time, a
// folder gains new times when an entry is added, removed or renamed.
struct FileState {
    QString path;
    quint32 type = 0; // S_IFMT bits, 0 when missing
    qint64 device = 0;
    qint64 inode = 0;
    qint64 size = 0;
    qint64 modified = 0; // nanoseconds since the epoch
    qint64 changed = 0;  // status change, nanoseconds since the epoch
    bool operator==(const FileState &) const = default;
};

FileState fileState(const QString &path);

// The configuration files and folders fontconfig's current configuration
// was read from, the places of the user's configuration (also when
// missing: a file made there later changes what fontconfig finds), and the
// font folders it scans (those missing too). Loads fontconfig's
// configuration when nothing has yet.
QStringList fontconfigFiles();

// The files fontconfig's current configuration lists for the family (every
// style), sorted.
QStringList fontFilesOfFamily(const QString &family);

// The shared libraries loaded in this process that find and draw glyphs
// (Qt's GUI library, FreeType, fontconfig), as the loader found them.
QStringList glyphLibraryFiles();

} // namespace tessilor
