#pragma once
#include <QtGlobal>
#include <vector>

class QIODevice;

// Text results in the colours of the picture: every character takes the
// colour of the part of the picture it stands for, as every figure of a
// figure result does. The classic method writes two characters per grid
// cell, both in the cell's colour; the tone method writes one character per
// half cell, in the colour of that half (a colour grid of twice the columns).
// The conversions give every character its colour as they write it
// (CharacterColors, textconvert.h).
namespace tessilor {

// The colour file of a text result in the picture's colours: one line per
// character in the form of the figure colour file (" 123 " CR LF). False
// when the device did not take it all.
bool writeTextColorFile(const std::vector<quint32> &colors, QIODevice &out);

} // namespace tessilor
