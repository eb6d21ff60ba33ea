#pragma once
#include <QFont>
#include <QList>
#include <QString>
#include <vector>

#include "art/figurefill.h"
#include "art/textconvert.h"

class QRawFont;

// The tone method's ramp: the characters of the font that shows the art,
// ordered by the light their ink takes away, measured by drawing them.
namespace tessilor {

// Ink of one character: the share of its cell's light (advance x line
// height, in linear light) that the glyph drawn black on white takes away.
struct GlyphInk {
    GlyphInk() = default;
    GlyphInk(QChar c, double ink, double inkSpread = 0, std::vector<float> inks = {}, std::vector<float> inkShape = {})
        : ch(c), coverage(ink), spread(inkSpread), drawings(std::move(inks)), shape(std::move(inkShape))
    {}
    QChar ch;
    double coverage = 0;
    // How far the ink of different drawings of the character lies apart,
    // each drawing's ink taken relative to that drawing's darkest candidate
    // (0 for a single drawing).
    double spread = 0;
    // The ink in each drawing measured (empty for a single drawing).
    std::vector<float> drawings;
    // Where the ink lies: the share of light the glyph takes away in each of
    // kShapeColumns x kShapeRows boxes of its cell (advance x line height),
    // row by row from the top left; the mean of the drawings measured.
    std::vector<float> shape;
};

// The boxes a glyph's shape is measured in, and a picture's detail sampled
// in, per character: about square in a cell twice as high as wide.
constexpr int kShapeColumns = 4;
constexpr int kShapeRows = 8;
constexpr int kShapeBoxes = kShapeColumns * kShapeRows;

// How a drawing blends its ink: the rasteriser's coverage mixed with the
// paper as sRGB values (screens, terminals), dark on light or light on black,
// or as light (print, where the paper under a glyph's edge is partly
// covered). Light on black the ink is the light the glyph gives.
enum class InkBlend { Srgb, SrgbOnBlack, Light };

// Draws every candidate character the font has (a candidate the face lacks
// is left out: another face would show it) and measures its ink and where
// in its cell the ink lies. The order is that of the candidates, without
// duplicates.
QList<GlyphInk> measureGlyphInk(const QRawFont &font, const QString &candidates, InkBlend blend = InkBlend::Srgb);

// A figure glyph's ink for the fill: drawn black on white and white on
// black, as the program draws it (0 when the face lacks it).
FillInk glyphFillInk(const QFont &font, QChar ch);

// One drawing the art meets.
struct InkDrawing {
    QFont font;
    InkBlend blend = InkBlend::Srgb;
};

// The drawings of a text font the art meets: in the result window at its
// size (as the program draws it, unhinted and fully hinted, as other
// programs showing a saved result may), zoomed to twice that, printed (in
// the face printing uses, at print resolution), and in terminal cells 16,
// 20 and 24 pixels high (tessilor-cli's text output). The window's drawings
// blend as sRGB values, as the program draws them; the larger ones are
// taken as physical ink (few soft edges; print, and renderers that blend in
// linear light). On a dark background the screen drawings are light on
// black.
std::vector<InkDrawing> artDrawings(const QFont &font, ArtBackground background = ArtBackground::Light);

// The ink of the candidates in every drawing of artDrawings(font): the mean
// of the drawings and their spread. Small sizes snap stems to whole pixels
// and faces differ, so one drawing alone misjudges how another shows the
// art. Only characters every drawing has are kept, in the order of the
// candidates.
QList<GlyphInk> measureGlyphInkAcrossRenderings(const QFont &font, const QString &candidates,
                                                ArtBackground background = ArtBackground::Light);

// The font a ramp is measured for and kept under: a family at a size in
// points (0: the face's own size). Ramps of the same family and size are
// one ramp, whatever else a QFont carries.
struct ToneFont {
    QString family;
    double pointSize = 0;
    ToneFont() = default;
    ToneFont(QString fontFamily, double size) : family(std::move(fontFamily)), pointSize(size) {}
    // The family and point size of a font.
    ToneFont(const QFont &font); // NOLINT: a font stands for its ramp's font
    // The font drawn to measure the ramp.
    QFont font() const;
    // The text that tells ramps' fonts apart.
    QString key() const { return family + u',' + QString::number(pointSize, 'g', 17); }
};

struct ToneRamp {
    QString family;              // the face measured for the screen
    QString printFamily;         // and for print
    QString chars;               // light to dark, the space first
    std::vector<float> coverage; // measured ink of each character
    std::vector<float> level;    // ink relative to the darkest, 0 (space) .. 1
    // The characters a cell may take for its shape: every measured
    // character whose ink is steady across the drawings and no darker than
    // the ramp's darkest, a glyph drawn like an earlier one left out; in the
    // order of their level.
    QString shapeChars;
    std::vector<float> shapeLevel; // ink relative to the ramp's darkest
    std::vector<float> shapes;     // kShapeBoxes inks per character (GlyphInk::shape)
    bool valid() const { return chars.size() >= 2; }
    bool hasShapes() const
    {
        return !shapeChars.isEmpty() && shapeLevel.size() == size_t(shapeChars.size()) &&
               shapes.size() == size_t(shapeChars.size()) * kShapeBoxes;
    }
    bool operator==(const ToneRamp &) const = default;
};

// Printable ASCII.
QString printableAscii();

// The candidates of every font: printable ASCII and the Russian letters.
// The letters fill the gap ASCII leaves at the dark end (in Liberation Mono
// '@' carries a third more ink than any other ASCII character, so dark
// tones would be told by '@' and 'W' alone).
QString toneCandidates();

// Picks from the measured characters up to maxCount characters whose ink is
// evenly spaced from the space (0) to the darkest character; coverage then
// maps linearly to light. Each target takes one character, the cost of a
// character being its distance from the target plus its spread, so that
// characters whose ink depends on how they are drawn are passed over when a
// steadier one is near. The darkest character is the one that keeps most
// ink once its spread is taken off (a flat dark area shows it alone, and
// beside its neighbour: a character darker in some drawings only would not
// stay dark, and would make texture). Where several drawings were measured,
// every character of the ramp carries more ink than the one before it in
// every drawing: the cheapest such chain is taken (dynamic programming).
// With fewer characters than maxCount all are tried; fewer targets than
// that only when no chain that long keeps its order. Invalid (no
// characters) when there is no space or no ink. Where the characters carry
// shapes, the ramp's shape candidates are filled too.
ToneRamp pickToneRamp(const QList<GlyphInk> &inks, int maxCount = 32);

// The ramp of the font at its size, from the candidates plus the extra
// characters the face has (the classic ramp's), for art drawn on that
// background, measured now, with the families measured. Needs a
// QGuiApplication.
ToneRamp measureToneRamp(const QFont &font, const QString &extraCandidates = QString(),
                         ArtBackground background = ArtBackground::Light);

// The same, measured once per font, size, extras and background, then taken
// from memory; with a cache folder set (setToneRampCacheFolder in
// art/rampcache.h) from the record an earlier run kept there, when it is
// valid. Needs a QGuiApplication unless preloadToneRamp() found it.
const ToneRamp &toneRamp(const ToneFont &font, const QString &extraCandidates = QString(),
                         ArtBackground background = ArtBackground::Light);

// Puts the ramp kept in the cache folder for the font into toneRamp()'s
// memory, without measuring and without an application object; false
// when there is none valid (toneRamp() measures then).
bool preloadToneRamp(const ToneFont &font, const QString &extraCandidates = QString(),
                     ArtBackground background = ArtBackground::Light);

} // namespace tessilor
