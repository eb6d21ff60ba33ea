#pragma once
#include <QImage>
#include <QString>

#include "engine/loadresult.h"

class QIODevice;

namespace tessilor {

// Reads a picture file whole. path is a file-system path, also when it
// starts with ':' (never a Qt resource). The bytes are a snapshot: a file
// that shrinks while it is read is simply a shorter, cut-short file.
LoadError readPictureFile(const QString &path, QByteArray *bytes, QString *detail = nullptr);

// Loads a BMP/DIB, JPEG, GIF, PNG, WebP or TIFF picture recognised by its
// content, whatever the file name says. GIF and WebP give their first
// frame, TIFF its first page; JPEG, PNG, WebP and TIFF are turned upright by
// the orientation they store. Data that ends early or that a decoder finds
// damaged is Corrupt, never a picture with made-up parts.
LoadedImage loadImage(const QString &path);
LoadedImage loadImage(QIODevice *device); // read to its end first
LoadedImage loadImageData(const QByteArray &bytes);

// Short English reason for the command line.
QString loadErrorText(LoadError error);

} // namespace tessilor
