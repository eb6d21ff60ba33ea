#pragma once
#include <QImage>
#include <QtGlobal>
#include <vector>

#include "art/textconvert.h"
#include "art/toneramp.h"
#include "base/runhooks.h"
#include "picture/lumagrid.h"

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

// Writes one line per grid row, one ramp character per sample, each line
// (the last too) ended by CR LF, UTF-8: the same file as the classic method
// for a grid of half the width. The counters count classic cells (two
// characters); a stop takes effect before a character pair.
TextResult convertToToneText(const LumaGrid &grid, const ToneRamp &ramp, qint16 contrast, QIODevice &out,
                             const RunHooks &hooks = {}, ArtBackground background = ArtBackground::Light);

} // namespace tessilor
