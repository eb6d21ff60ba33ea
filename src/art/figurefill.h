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

// How much of its cell's light a figure glyph takes once drawn. Text is
// blended with its ground as sRGB values, so the same glyph takes more
// light drawn darker than its ground (its soft edges count as darker) and
// less drawn lighter (they give less light): both shares, measured with the
// glyph drawn black on white and white on black. One number stands for
// both (a glyph with hard edges, or blending in linear light).
struct FillInk {
    FillInk(double both = 0) : onLight(both), onDark(both) {}
    FillInk(double darkOnLight, double lightOnDark) : onLight(darkOnLight), onDark(lightOnDark) {}
    double onLight; // a figure darker than its background
    double onDark;  // a figure lighter than its background
    bool valid() const { return onLight > 0 && onLight < 1 && onDark > 0 && onDark < 1; }
};

// Exact in linear light for every sampled colour inside the colour space
// and every coverage in (0, 1) (the figure's share being the one of its
// shade: onLight for a darker figure, onDark for a lighter one); both
// colours stay inside the space. With a coverage outside (0, 1) both
// colours are the sampled one.
LinearFill figureFillLinear(const LinearRgb &sampled, const FillInk &ink);

// Perceived lightness L* (0..100) of a linear colour.
double lightnessOf(const LinearRgb &c);

// The same for 24-bit colours (red + 256 green + 65536 blue, sRGB).
struct FillColors {
    quint32 figure = 0;
    quint32 background = 0;
};
FillColors figureFill(quint32 sampled, const FillInk &ink);

} // namespace tessilor
