#pragma once
#include "picture/loadresult.h"

#include <QByteArray>
#include <QSize>

namespace tessilor {

// Damage that Qt's BMP and GIF decoders paper over with made-up pixels, and
// TIFF layouts that would make the decoder ask for far more memory than the
// picture needs, found before they run. Each check returns LoadError::None when it sees
// nothing wrong (what it does not understand is left to the decoder) and
// LoadError::Corrupt with a reason in detail otherwise.

// What a BMP asks of its decoder.
struct BmpFacts {
    int bits = 0;
    bool alpha = false;     // 32 bits with an alpha mask: decoded with transparency
    bool runLength = false; // paletted run-length data, walked whole by the check
};

// BMP: pixel rows that the file cannot hold; run-length data that ends
// before its end code (or before its last row); palette indices past the
// palette, in run-length and in uncompressed data. A picture over the
// decoded limit is TooLarge before any arithmetic on its size.
LoadError checkBmp(const QByteArray &bytes, QString *detail, BmpFacts *facts = nullptr);

// A paletted run-length BMP (4 or 8 bits) that checkBmp passed, drawn as
// its data says. Pixels the data skips (a move, a line or the picture ended
// early) are white, as transparent pixels are; Qt's decoder leaves them as
// whatever the memory held.
LoadedImage decodeBmpRunLength(const QByteArray &bytes);

// What a WebP's headers say of its decoding (nothing when unreadable).
struct WebpFacts {
    QSize size; // of the canvas (animation) or the picture
    bool alpha = false;
    bool animated = false;
    bool exif = false;
};
WebpFacts webpFacts(const QByteArray &bytes);

// GIF: the size of the logical screen, the canvas the decoder draws the
// first frame on and so the picture's size, whatever the frame's (empty when
// unreadable).
QSize gifScreenSize(const QByteArray &bytes);

// GIF: LZW data of the first frame that gives fewer pixels than the frame
// has, or that holds a code no decoder can know.
LoadError checkGif(const QByteArray &bytes, QString *detail);

// What a TIFF's first page asks of its decoder.
struct TiffFacts {
    int bitsPerPixel = 0; // all samples of one pixel
    int samples = 0;
    qint64 workBytes = 0; // the largest strip or tile, decoded
    int orientation = 1;  // as stored, 1..8
    int photometric = -1; // how samples make colours (2: RGB); -1 unknown
};

// TIFF (classic, either byte order): the first page's directory lies inside
// the file, and so do the strips or tiles it names; a tile is no larger
// than the picture rounded up to whole tiles (16 pixels); a pixel has at
// most 128 samples and 128 bits, its samples refused before their bits are
// added up. facts, when given, receive the page's demands.
LoadError checkTiff(const QByteArray &bytes, QString *detail, TiffFacts *facts = nullptr);

} // namespace tessilor
