#pragma once
#include <QImage>
#include <QtGlobal>
#include <vector>

#include "art/textconvert.h"
#include "art/toneramp.h"
#include "base/runhooks.h"
#include "picture/lumagrid.h"
#include "picture/pixels.h"

class QIODevice;

// The tone method of the text conversion: every character stands for its
// own half of a classic cell (the grid has twice the classic columns), its
// luminance taken in linear light; characters come from the measured ramp
// of the font that shows the art, and what one character cannot show of
// its tone is carried to its neighbours (serpentine Floyd-Steinberg error
// diffusion in linear light).
namespace tessilor {

// The contrast slider on a lightness 0..255 (sRGB-encoded): as in the
// classic method, lightness up to the middle is lowered by the contrast and
// lightness above it raised, a negative contrast stopping at the middle;
// the result is clamped to 0..255. Contrast 0 changes nothing.
double toneContrast(double lightness, qint16 contrast);

// The choice by shape: the picture's detail, kShapeColumns x kShapeRows
// boxes for every sample of the grid (a DetailGrid of that many times the
// grid's size), and how much a character's shape counts beside its ink,
// 0..100 (0: by ink alone, as without detail).
//
// Where a character's cell holds an edge that runs one way (the structure
// tensor of the cell's detail is coherent, and the detail has clear
// contrast), every shape candidate of the ramp near the cell's own ink
// competes with the ramp's own choice: the cost of a character is its
// distance from that ink (squared, in a tolerance's units) plus, weighted
// by the strength and by how clearly the cell has an edge, how far its
// shape lies from the cell's detail (one minus the correlation of the two,
// both slightly softened and taken relative to their mean). A cell without
// such an edge (flat light, gradients, soft photographic detail, fur,
// grain) keeps the ramp's choice, so no stripes or hatching appear in
// texture; but the ramp's densest characters, where they fill such a
// cell, give way to the evenest candidate of nearly the densest ink (the
// strokes of dense letters would draw lines and a weave across the flat
// light of a drawing on black), its ink counted as the ramp's choice's.
// The ink the chosen character misses is carried on as without detail.
// Two kinds of cells carry nothing and take a character of their own ink
// instead: those of a field of one flat colour that ends at edges (a
// logo's ground, a chart's bars), which take one even character, and on
// paper those on a faint straight line (a chart's grid), which take the
// character of the line's lightness and shape, so that neither is dotted
// or woven by the diffusion.
struct ToneStructure {
    const DetailGrid *detail = nullptr;
    int strength = 0;
    bool active() const { return detail && strength > 0; }
};

// Text in the picture's colours: the colour grid, of the luma grid's size,
// whose pixel each character takes (a character a pixel), and the list the
// colours go to (see CharacterColors).
struct ToneColors {
    PixelView grid;
    CharacterColors *colors = nullptr;
    bool active() const { return !grid.isNull() && colors; }
};

// Writes one line per grid row, one ramp character per sample, each line
// (the last too) ended by CR LF, UTF-8: the same file as the classic method
// for a grid of half the width. The counters count classic cells (two
// characters); a stop takes effect before a character pair. With a
// structure, characters may come from the ramp's shape candidates. A colour
// grid of another size than the luma grid's is an EmptyGrid.
TextResult convertToToneText(const LumaGrid &grid, const ToneRamp &ramp, qint16 contrast, QIODevice &out,
                             const RunHooks &hooks = {}, ArtBackground background = ArtBackground::Light,
                             const ToneStructure &structure = {}, const ToneColors &colors = {});

} // namespace tessilor
