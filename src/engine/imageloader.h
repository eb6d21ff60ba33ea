#pragma once
#include <QImage>
#include <QString>

class QIODevice;

namespace tessilor {

// Why an image could not be loaded. The callers turn these into messages.
enum class LoadError {
    None,
    NotFound,      // no such file, or it is a folder
    Unreadable,    // exists but cannot be opened
    Unsupported,   // not BMP/DIB, JPEG or GIF by content
    TooLarge,      // decoded size above the limit
    Corrupt,       // decoder failed
};

struct LoadedImage {
    QImage image; // Format_RGB32, transparency composed over white
    LoadError error = LoadError::None;
    QString detail; // decoder's own words, for the command line

    bool ok() const { return error == LoadError::None; }
};

// Largest decoded picture accepted, in bytes of 32-bit pixels.
inline constexpr qint64 kMaxDecodedBytes = qint64(256) * 1024 * 1024;

// Loads a BMP/DIB, JPEG or GIF picture recognised by its content, whatever
// the file name says. GIF gives its first frame; JPEG is turned upright by
// its EXIF orientation.
LoadedImage loadImage(const QString &path);
LoadedImage loadImage(QIODevice *device);

// Short English reason for the command line.
QString loadErrorText(LoadError error);

} // namespace tessilor
