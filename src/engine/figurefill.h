#pragma once
#include <QtGlobal>

// Figure fill: a mosaic cell shows its figure glyph on a background of its
// own, chosen so that from a distance the cell has the sampled colour. With
// a glyph that takes the share a (its measured coverage) of the cell's
// light, a * figure + (1 - a) * background = sampled, channel by channel in
// linear light; the figure is a darker or a lighter shade of the sampled
// colour (whichever stands out more) so that it stays visible wherever the
// colour leaves room for it.
namespace tessilor {

struct LinearRgb {
    double r = 0, g = 0, b = 0;
};

struct LinearFill {
    LinearRgb figure;
    LinearRgb background;
};

// How far the figure's shade is from the sampled colour: a darker figure
// keeps this share of the sampled light, a lighter one moves this share of
// the way to white (before the limits of the colour space).
inline constexpr double kFillShade = 0.4;

// Exact in linear light for every sampled colour inside the colour space
// and every coverage in (0, 1); both colours stay inside the space. With a
// coverage outside (0, 1) both colours are the sampled one.
LinearFill figureFillLinear(const LinearRgb &sampled, double coverage);

// Perceived lightness L* (0..100) of a linear colour.
double lightnessOf(const LinearRgb &c);

// The same for 24-bit colours (red + 256 green + 65536 blue, sRGB).
struct FillColors {
    quint32 figure = 0;
    quint32 background = 0;
};
FillColors figureFill(quint32 sampled, double coverage);

} // namespace tessilor
