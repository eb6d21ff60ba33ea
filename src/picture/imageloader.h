#pragma once
#include <QImage>
#include <QString>

#include "picture/loadresult.h"

class QIODevice;

namespace tessilor {

// Sets up what picture decoding shares in the process, once: Qt's image
// allocation limit (a process-wide setting that is not thread-safe) and the
// routes that keep the decoders' messages off standard error (see
// DecoderMessages). Both programs call it first thing; a load calls it too,
// for code that loads without them.
void initPictureDecoding();

// Reads a picture file whole. path is a file-system path, also when it
// starts with ':' (never a Qt resource). The bytes are a snapshot: a file
// that shrinks while it is read is simply a shorter, cut-short file.
LoadError readPictureFile(const QString &path, QByteArray *bytes, QString *detail = nullptr);

// Loads a BMP/DIB, JPEG, GIF, PNG, WebP or TIFF picture recognised by its
// content, whatever the file name says. GIF and WebP give their first
// frame, TIFF its first page; JPEG, PNG, WebP and TIFF are turned upright by
// the orientation they store. Data that ends early or that a decoder finds
// damaged is Corrupt, never a picture with made-up parts. A picture is
// TooLarge when it, or the decoder's own picture in its sample depth, is
// over kMaxDecodedBytes, or the decode would hold over kMaxDecodingBytes.
// What the decoders say is the detail of a failure and is never printed.
LoadedImage loadImage(const QString &path);
LoadedImage loadImage(QIODevice *device); // read to its end first
LoadedImage loadImageData(const QByteArray &bytes);

// Short English reason for the command line.
QString loadErrorText(LoadError error);
// The same reason in Russian, for the desktop program's messages.
QString loadErrorTextRussian(LoadError error);

} // namespace tessilor
