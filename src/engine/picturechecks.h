#pragma once
#include "engine/loadresult.h"

#include <QByteArray>

namespace tessilor {

// Damage that Qt's BMP and GIF decoders paper over with made-up pixels, and
// TIFF layouts that would make the decoder ask for far more memory than the
// picture needs, found before they run. Each check returns LoadError::None when it sees
// nothing wrong (what it does not understand is left to the decoder) and
// LoadError::Corrupt with a reason in detail otherwise.

// BMP: pixel rows that the file cannot hold; run-length data that ends
// before its end code (or before its last row); palette indices past the
// palette, in run-length and in uncompressed data.
LoadError checkBmp(const QByteArray &bytes, QString *detail);

// GIF: LZW data of the first frame that gives fewer pixels than the frame
// has, or that holds a code no decoder can know.
LoadError checkGif(const QByteArray &bytes, QString *detail);

// What a TIFF's first page asks of its decoder.
struct TiffFacts {
    int bitsPerPixel = 0; // all samples of one pixel
    qint64 workBytes = 0; // the largest strip or tile, decoded
};

// TIFF (classic, either byte order): the first page's directory lies inside
// the file, and so do the strips or tiles it names; a tile is no larger
// than the picture rounded up to whole tiles (16 pixels); a pixel has at
// most 128 bits. facts, when given, receive the page's demands.
LoadError checkTiff(const QByteArray &bytes, QString *detail, TiffFacts *facts = nullptr);

} // namespace tessilor
