#pragma once
#include <QFont>
#include <QList>
#include <QString>
#include <vector>

class QRawFont;

// The tone method's ramp: the characters of the font that shows the art,
// ordered by the light their ink takes away, measured by drawing them.
namespace tessilor {

// Ink of one character: the share of its cell's light (advance x line
// height, in linear light) that the glyph drawn black on white takes away.
struct GlyphInk {
    QChar ch;
    double coverage = 0;
    // How far the ink of differently hinted drawings of the character lies
    // apart (0 for a single drawing).
    double spread = 0;
};

// Draws every candidate character the font has (a candidate the face lacks
// is left out: another face would show it) and measures its ink. The order
// is that of the candidates, without duplicates.
QList<GlyphInk> measureGlyphInk(const QRawFont &font, const QString &candidates);

// Ink of one character in a font (0 when the face lacks it).
double glyphCoverage(const QFont &font, QChar ch);

// The ink of the candidates in the drawings the art meets: the font as the
// program draws it, without hinting and with full hinting (as other programs
// showing a saved result may draw it), each at the font's size and at one
// and a half times it (a zoomed view, a print). The mean of the six, and
// their spread. Small sizes snap stems to whole pixels, so one drawing alone
// misjudges how another shows the art. Only characters every drawing has
// are kept.
QList<GlyphInk> measureGlyphInkAcrossRenderings(const QFont &font, const QString &candidates);

struct ToneRamp {
    QString family;              // the face measured
    QString chars;               // light to dark, the space first
    std::vector<float> coverage; // measured ink of each character
    std::vector<float> level;    // ink relative to the darkest, 0 (space) .. 1
    bool valid() const { return chars.size() >= 2; }
};

// Printable ASCII.
QString printableAscii();

// The candidates of every font: printable ASCII and the Russian letters.
// The letters fill the gap ASCII leaves at the dark end (in Liberation Mono
// '@' carries a third more ink than any other ASCII character, so dark
// tones would be told by '@' and 'W' alone).
QString toneCandidates();

// Picks from the measured characters between minCount and maxCount
// characters whose ink is evenly spaced from the space (0) to the darkest
// character; coverage then maps linearly to lightness. Each target takes the
// character closest to it, counting a character's spread as distance too,
// so that characters whose ink depends on how they are drawn are passed
// over when a steadier one is near. Invalid (no characters) when there is no
// space or no ink.
ToneRamp pickToneRamp(const QList<GlyphInk> &inks, int minCount = 16, int maxCount = 32);

// The ramp of the font at its size, from the candidates plus the extra
// characters the face has (the classic ramp's). Measured once per font,
// size and extras, then taken from a cache. Needs a QGuiApplication.
const ToneRamp &toneRamp(const QFont &font, const QString &extraCandidates = QString());

} // namespace tessilor
