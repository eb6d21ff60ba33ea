#pragma once
#include <QImage>
#include <QSize>
#include <QString>

class QIODevice;
class QTextDocument;

// The result as a picture: its document drawn the way the result window
// draws it (the same layout, fonts, sizes, colours and cell backgrounds), on
// white, whole. The result window and tessilor-cli write the same PNG for
// the same document.
namespace tessilor {

// Lays a result document out the way the result window shows it: lines
// never wrap and there is no page width (the window's rich text sets the
// same for an unwrapped document). Call before the document is filled.
void prepareResultDocument(QTextDocument &doc);

// Size of the picture: the document's laid-out size, whole pixels.
QSize artImageSize(QTextDocument &doc);

// Draws the part of the document from y = top down (band.height() rows of
// pixels) into band, on white.
void drawArtBand(QTextDocument &doc, QImage &band, int top);

// The whole picture, for small results and tests; null when it cannot be
// allocated.
QImage renderArtImage(QTextDocument &doc);

enum class ArtImageError {
    None,
    Empty,       // nothing to draw
    TooLarge,    // more pixels than kMaxArtPixels
    OutOfMemory, // a band of the picture could not be allocated
    WriteFailed, // the device did not take the bytes
};

// Pictures beyond this many pixels are refused: encoding would take minutes
// and the file would be of little use.
inline constexpr qint64 kMaxArtPixels = qint64(1) << 30;

// Writes the picture as a PNG file (8-bit RGB) into out, a band of rows at
// a time: while a band is drawn, the bands before it are compressed on
// threads of their own (fastdeflate.h), so that a large mosaic needs
// neither the whole picture in memory nor a core's time for compression
// after the drawing.
ArtImageError writeArtPng(QTextDocument &doc, QIODevice &out);

// A sentence for an error, in Russian, for messages.
QString artImageErrorText(ArtImageError error);

} // namespace tessilor
