#include "art/figurefill.h"

#include "base/options.h"
#include "picture/linearlight.h"

#include <algorithm>
#include <cmath>

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

FillColors figureFill(quint32 sampled, const FillInk &ink)
{
    const LinearRgb s{srgbToLinear(redOf(sampled)), srgbToLinear(greenOf(sampled)), srgbToLinear(blueOf(sampled))};
    const LinearFill f = figureFillLinear(s, ink);
    auto pack = [](const LinearRgb &c) { return rgbValue(linearToSrgb8(c.r), linearToSrgb8(c.g), linearToSrgb8(c.b)); };
    return {pack(f.figure), pack(f.background)};
}

} // namespace tessilor
