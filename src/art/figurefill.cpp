#include "art/figurefill.h"

#include "base/options.h"
#include "picture/linearlight.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace tessilor {

namespace {

struct Channel {
    double figure, background;
};

// One channel with a darker figure: the figure keeps kFillShade of the
// light; where the background would leave the space it stops at white and
// the figure takes what is left.
Channel darker(double s, double a)
{
    double f = s * kFillShade;
    double b = (s - a * f) / (1 - a);
    if (b > 1) {
        b = 1;
        f = (s - (1 - a)) / a;
    }
    return {std::clamp(f, 0.0, 1.0), b};
}

// One channel with a lighter figure, moved toward white; the background
// stops at black.
Channel lighter(double s, double a)
{
    double f = s + (1 - s) * kFillShade;
    double b = (s - a * f) / (1 - a);
    if (b < 0) {
        b = 0;
        f = s / a;
    }
    return {std::clamp(f, 0.0, 1.0), b};
}

template<class Rule>
LinearFill fillWith(const LinearRgb &s, double a, Rule rule)
{
    const Channel r = rule(s.r, a), g = rule(s.g, a), b = rule(s.b, a);
    return {{r.figure, g.figure, b.figure}, {r.background, g.background, b.background}};
}

} // namespace

double lightnessOf(const LinearRgb &c)
{
    const double y = std::clamp(double(luminanceOfLinear(float(c.r), float(c.g), float(c.b))), 0.0, 1.0);
    return y > 216.0 / 24389.0 ? 116.0 * std::cbrt(y) - 16.0 : y * 24389.0 / 27.0;
}

LinearFill figureFillLinear(const LinearRgb &sampled, const FillInk &ink)
{
    const LinearRgb s{std::clamp(sampled.r, 0.0, 1.0), std::clamp(sampled.g, 0.0, 1.0),
                      std::clamp(sampled.b, 0.0, 1.0)};
    if (!ink.valid())
        return {s, s};
    const LinearFill dark = fillWith(s, ink.onLight, darker);
    const LinearFill light = fillWith(s, ink.onDark, lighter);
    const double darkContrast = std::abs(lightnessOf(dark.figure) - lightnessOf(dark.background));
    const double lightContrast = std::abs(lightnessOf(light.figure) - lightnessOf(light.background));
    return lightContrast > darkContrast ? light : dark;
}

// For every 8-bit channel value, the figure and background of the darker
// and of the lighter figure, worked out for the drawing.
struct DrawnFill {
    std::array<std::array<uchar, 2>, 256> dark{}, light{};
    std::array<double, 256> share{};
};

namespace {

// The light of a cell whose pixels blend figure f and background b (8-bit
// values) by the coverages of share.
struct CellLight {
    const std::array<double, 256> &share;
    std::vector<int> levels; // coverages the glyph has
    double operator()(int f, int b) const
    {
        const std::array<float, 256> &lin = srgbToLinearTable();
        double light = 0;
        for (const int a : levels)
            light += share[size_t(a)] * double(lin[size_t((a * f + (255 - a) * b + 127) / 255)]);
        return light;
    }
};

// The value of v in 0..255 whose light(v), rising with v, is nearest the
// target.
template<class Light>
int nearestRising(double target, const Light &light)
{
    int low = 0, high = 255;
    while (low < high) {
        const int mid = (low + high) / 2;
        if (light(mid) < target)
            low = mid + 1;
        else
            high = mid;
    }
    if (low > 0 && std::abs(light(low - 1) - target) <= std::abs(light(low) - target))
        --low;
    return low;
}

// One channel value's pair for a figure of the given shade: the background
// that gives the cell the channel's light, or, where the background reaches
// its limit first, the figure that does.
std::array<uchar, 2> drawnPair(const CellLight &light, int value, bool darkerFigure)
{
    const double target = double(srgbToLinearTable()[size_t(value)]);
    const double shade = darkerFigure ? target * kFillShade : target + (1 - target) * kFillShade;
    const int figure = linearToSrgb8(shade);
    const int limit = darkerFigure ? 255 : 0;
    if (darkerFigure ? light(figure, limit) >= target : light(figure, limit) <= target) {
        const int background = nearestRising(target, [&](int b) { return light(figure, b); });
        return {uchar(figure), uchar(background)};
    }
    const int f = nearestRising(target, [&](int v) { return light(v, limit); });
    return {uchar(f), uchar(limit)};
}

LinearRgb linearOf(uchar r, uchar g, uchar b)
{
    const std::array<float, 256> &lin = srgbToLinearTable();
    return {lin[r], lin[g], lin[b]};
}

} // namespace

FillInk drawnFillInk(const std::array<double, 256> &share)
{
    double covered = 0, total = 0;
    for (int a = 0; a < 256; ++a) {
        covered += share[size_t(a)] * a / 255.0;
        total += share[size_t(a)];
    }
    if (!(covered > 0 && covered < total && std::abs(total - 1) < 1e-6))
        return {};
    CellLight light{share, {}};
    for (int a = 0; a < 256; ++a)
        if (share[size_t(a)] > 0)
            light.levels.push_back(a);
    auto tables = std::make_shared<DrawnFill>();
    tables->share = share;
    for (int v = 0; v < 256; ++v) {
        tables->dark[size_t(v)] = drawnPair(light, v, true);
        tables->light[size_t(v)] = drawnPair(light, v, false);
    }
    // The shares a linear blend would need for black on white and white on
    // black: what the drawing takes and gives there.
    FillInk ink(1 - light(0, 255), light(255, 0));
    ink.drawn = tables;
    return ink;
}

double drawnCellLight(const FillInk &ink, int figure, int background)
{
    if (!ink.drawn)
        return -1;
    CellLight light{ink.drawn->share, {}};
    for (int a = 0; a < 256; ++a)
        if (ink.drawn->share[size_t(a)] > 0)
            light.levels.push_back(a);
    return light(std::clamp(figure, 0, 255), std::clamp(background, 0, 255));
}

FillColors figureFill(quint32 sampled, const FillInk &ink)
{
    if (ink.drawn && ink.valid()) {
        const DrawnFill &t = *ink.drawn;
        const int r = redOf(sampled), g = greenOf(sampled), b = blueOf(sampled);
        auto contrast = [&](const std::array<std::array<uchar, 2>, 256> &pairs) {
            return std::abs(lightnessOf(linearOf(pairs[size_t(r)][0], pairs[size_t(g)][0], pairs[size_t(b)][0])) -
                            lightnessOf(linearOf(pairs[size_t(r)][1], pairs[size_t(g)][1], pairs[size_t(b)][1])));
        };
        const auto &pairs = contrast(t.light) > contrast(t.dark) ? t.light : t.dark;
        return {rgbValue(pairs[size_t(r)][0], pairs[size_t(g)][0], pairs[size_t(b)][0]),
                rgbValue(pairs[size_t(r)][1], pairs[size_t(g)][1], pairs[size_t(b)][1])};
    }
    const LinearRgb s{srgbToLinear(redOf(sampled)), srgbToLinear(greenOf(sampled)), srgbToLinear(blueOf(sampled))};
    const LinearFill f = figureFillLinear(s, ink);
    auto pack = [](const LinearRgb &c) { return rgbValue(linearToSrgb8(c.r), linearToSrgb8(c.g), linearToSrgb8(c.b)); };
    return {pack(f.figure), pack(f.background)};
}

} // namespace tessilor
