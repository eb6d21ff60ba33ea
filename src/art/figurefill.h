#pragma once
#include <QtGlobal>
#include <array>
#include <memory>

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
struct DrawnFill;
struct FillInk {
    FillInk(double both = 0) : onLight(both), onDark(both) {}
    FillInk(double darkOnLight, double lightOnDark) : onLight(darkOnLight), onDark(lightOnDark) {}
    double onLight; // a figure darker than its background
    double onDark;  // a figure lighter than its background
    // The figure as a drawing draws it, when known: the fill is then worked
    // out for that drawing (see drawnFillInk).
    std::shared_ptr<const DrawnFill> drawn;
    bool valid() const { return onLight > 0 && onLight < 1 && onDark > 0 && onDark < 1; }
};

// The ink of a drawn figure: share[a] is the share of a cell's pixels that
// the glyph covers to a / 255 as the drawing rasterises it (its soft edges,
// ink reaching into neighbouring cells included; share[0] the pixels it
// leaves alone). A drawing that blends text as sRGB values shows a pixel
// of coverage a between figure F and background B as the 8-bit value
// (a F + (255 - a) B) / 255; the cell's light is the mean light of its
// pixels. With such an ink figureFill gives 8-bit colours for which that
// light is the sampled colour's, channel by channel, as near as 8 bits
// come, with the figure's shade as figureFillLinear's. Null when the share
// is not that of a glyph that leaves light and takes some.
FillInk drawnFillInk(const std::array<double, 256> &share);
// The light (0..1) of one channel of a cell drawn in figure and background
// (8-bit values) with a drawn ink; -1 for an ink without a drawing.
double drawnCellLight(const FillInk &ink, int figure, int background);

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
