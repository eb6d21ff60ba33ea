#pragma once
#include <QByteArray>
#include <QImage>
#include <QString>
#include <algorithm>
#include <vector>

#include "art/figureconvert.h"
#include "base/options.h"

class QIODevice;

// Text results in the colours of the picture: every character takes the
// colour of the part of the picture it stands for, as every figure of a
// figure result does. The classic method writes two characters per grid
// cell, both in the cell's colour; the tone method writes one character per
// half cell, in the colour of that half (a colour grid of twice the columns).
namespace tessilor {

// Characters of a text result per pixel of its colour grid: 2 for the
// classic method (the sampling grid), 1 for the tone method (a grid of
// twice the columns).
int charactersPerColorCell(TextMethod method);

// Colour (r + 256 g + 65536 b) of every character of the text, in reading
// order with the line breaks left out: character j of line i takes pixel
// (j / charactersPerCell, i) of the grid; lines and characters past the
// grid take its last row and column. CR LF, lone CR and lone LF end lines.
std::vector<quint32> pictureTextColors(const QString &text, const QImage &grid, int charactersPerCell);

// The rule above for one character, on a grid in QImage::Format_RGB32: the
// pixels of line `row`'s grid row, and the colour of its character `column`.
inline const QRgb *pictureGridRow(const QImage &rgb32, int row)
{
    return reinterpret_cast<const QRgb *>(rgb32.constScanLine(std::min(row, rgb32.height() - 1)));
}
inline quint32 pictureCharColor(const QRgb *gridRow, int gridWidth, int column, int charactersPerCell)
{
    return figureCellColor(gridRow[std::min(column / charactersPerCell, gridWidth - 1)], false);
}

// The colour file of a text result in the picture's colours: one line per
// character in the form of the figure colour file (" 123 " CR LF). False
// when the device did not take it all.
bool writeTextColorFile(const std::vector<quint32> &colors, QIODevice &out);

} // namespace tessilor
