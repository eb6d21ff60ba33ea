#pragma once
#include <QImage>
#include <QString>

// What loading a picture gives, shared by the loader and its decoders.
namespace tessilor {

// Why an image could not be loaded. The callers turn these into messages.
enum class LoadError {
    None,
    NotFound,    // no such file
    IsFolder,    // the name is a folder
    Unreadable,  // exists but cannot be opened or read, or is no regular file
    Unsupported, // not BMP/DIB, JPEG, GIF, PNG, WebP or TIFF by content
    TooLarge,    // decoded size, or the decoder's working memory, above the limit
    TooComplex,  // far more decoding work than any real picture needs
    Corrupt,     // the data is damaged or cut short
    OutOfMemory, // the memory the picture needs could not be had
};

struct LoadedImage {
    QImage image; // Format_RGB32, transparency composed over white
    LoadError error = LoadError::None;
    QString detail; // decoder's own words, for the command line

    bool ok() const { return error == LoadError::None; }
};

// Largest decoded picture accepted, in bytes of 32-bit pixels; also the
// most the decoder's own picture may take in its own format (deeper
// samples, wider pixels).
inline constexpr qint64 kMaxDecodedBytes = qint64(256) * 1024 * 1024;

// The most memory one decode may hold at once: the decoder's picture, the
// canvas frames are drawn on, the turned or 32-bit copy made of it, the
// decoder's working memory.
inline constexpr qint64 kMaxDecodingBytes = qint64(448) * 1024 * 1024;

// Longest side accepted: no picture needs more, and a decoder's work per
// row would make a picture of one column and millions of rows cost seconds.
inline constexpr qint64 kMaxPictureSide = 1000000;

// Largest picture file read. No accepted picture needs more: an
// uncompressed BMP within the decoded limit is smaller.
inline constexpr qint64 kMaxFileBytes = kMaxDecodedBytes + qint64(4) * 1024 * 1024;

} // namespace tessilor
