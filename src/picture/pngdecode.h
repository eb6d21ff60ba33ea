#pragma once
#include "picture/loadresult.h"

#include <QByteArray>

namespace tessilor {

// Whether the bytes begin with the PNG signature.
bool isPngData(const QByteArray &head);

// Decodes a PNG with libpng straight into the 32-bit picture, row by row:
// 16-bit samples are scaled to 8 bits as they are read, transparency is
// composed over white, and the picture is turned upright by its eXIf
// orientation as the rows arrive. Text, colour-profile and other chunks
// that do not change the pixels are skipped unread, so a text bomb costs
// nothing. Too large: a side over kMaxPictureSide, a 32-bit picture over
// kMaxDecodedBytes, or samples (in the file's own depth) over
// kMaxDecodedBytes. Data that ends early or that libpng finds damaged is
// Corrupt, with libpng's words as detail; its warnings are not printed.
LoadedImage loadPng(const QByteArray &bytes);

} // namespace tessilor
