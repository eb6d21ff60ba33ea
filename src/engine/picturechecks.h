#pragma once
#include "engine/loadresult.h"

#include <QByteArray>

namespace tessilor {

// Damage that Qt's BMP and GIF decoders paper over with made-up pixels,
// found before they run. Each check returns LoadError::None when it sees
// nothing wrong (what it does not understand is left to the decoder) and
// LoadError::Corrupt with a reason in detail otherwise.

// BMP: pixel rows that the file cannot hold; run-length data that ends
// before its end code (or before its last row); palette indices past the
// palette, in run-length and in uncompressed data.
LoadError checkBmp(const QByteArray &bytes, QString *detail);

// GIF: LZW data of the first frame that gives fewer pixels than the frame
// has, or that holds a code no decoder can know.
LoadError checkGif(const QByteArray &bytes, QString *detail);

} // namespace tessilor
