#pragma once
#include "picture/loadresult.h"

#include <QByteArray>
#include <QSize>

namespace tessilor {

// A progressive JPEG comes in scans, and every scan costs the decoder a pass
// over all blocks of its components, however few bytes it takes: a file of
// a few hundred kilobytes can ask for minutes of work. Two limits keep the
// work in proportion to what real pictures need:
// - at most kMaxJpegScans scans, the cap libjpeg-turbo's own tools apply;
// - blocks visited, summed over all scans, at most kJpegPassesPerBlock
//   times the picture's blocks (an encoder's standard progression needs 5
//   or 6), but never less than kMinJpegBlockVisits.
// With the cap on coefficient memory below, a decode visits at most 32 Mi
// blocks, about a second here.
inline constexpr int kMaxJpegScans = 500;
inline constexpr qint64 kJpegPassesPerBlock = 16;
inline constexpr qint64 kMinJpegBlockVisits = qint64(4) * 1024 * 1024;

// Receives a decoded JPEG row by row.
class JpegRows
{
public:
    virtual ~JpegRows() = default;
    // The picture's stored size and its EXIF orientation (1 when stored
    // upright or unknown). Returns false to end the decode here; the decode
    // then reports no error of its own.
    virtual bool start(QSize size, int orientation) = 0;
    // Where row y goes: the picture's width of pixels, written as 0xFFRRGGBB.
    virtual QRgb *row(int y) = 0;
    // Row y is complete.
    virtual void rowDone(int y) = 0;
};

// Whether the bytes begin as a JPEG does (SOI, then a marker).
inline bool isJpegData(const QByteArray &head)
{
    return head.size() >= 3 && uchar(head[0]) == 0xFF && uchar(head[1]) == 0xD8 && uchar(head[2]) == 0xFF;
}

// Decodes a JPEG from memory into rows. Every warning of the decoder (data
// it would patch over with made-up pixels, data that ends early) makes the
// picture Corrupt; too many scans or block visits make it TooComplex; a
// buffered (progressive) picture whose coefficients alone need more than
// kMaxDecodedBytes is TooLarge. detail receives the decoder's words.
LoadError decodeJpeg(const QByteArray &bytes, JpegRows &rows, QString *detail = nullptr);

// The whole picture as Format_RGB32, turned upright by its EXIF orientation.
LoadedImage loadJpeg(const QByteArray &bytes);

} // namespace tessilor
