#include "picture/linearlight.h"

#include <algorithm>
#include <cmath>

namespace tessilor {

double srgbDecode(double s)
{
    return s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
}

const std::array<float, 256> &srgbToLinearTable()
{
    static const std::array<float, 256> table = [] {
        std::array<float, 256> t{};
        for (int v = 0; v < 256; ++v) {
            t[size_t(v)] = float(srgbDecode(v / 255.0));
        }
        return t;
    }();
    return table;
}

double linearToSrgb(double linear)
{
    const double l = std::clamp(linear, 0.0, 1.0);
    return l <= 0.0031308 ? l * 12.92 : 1.055 * std::pow(l, 1.0 / 2.4) - 0.055;
}

int linearToSrgb8(double linear)
{
    // The linear light at which the rounded value steps from v to v + 1
    // (the sRGB value v + 0.5 decoded); a value is the count of steps at or
    // below the light. Near a step the arithmetic of linearToSrgb decides,
    // so the result is always round(linearToSrgb(linear) * 255).
    static const std::array<double, 255> steps = [] {
        std::array<double, 255> t{};
        for (int v = 0; v < 255; ++v) {
            t[size_t(v)] = srgbDecode((v + 0.5) / 255.0);
        }
        return t;
    }();
    const double l = std::clamp(linear, 0.0, 1.0);
    if (!(l == l))
        return int(std::lround(linearToSrgb(linear) * 255.0));
    const size_t v = size_t(std::upper_bound(steps.begin(), steps.end(), l) - steps.begin());
    constexpr double kNear = 1e-9;
    if ((v > 0 && l - steps[v - 1] < kNear) || (v < steps.size() && steps[v] - l < kNear))
        return int(std::lround(linearToSrgb(l) * 255.0));
    return int(v);
}

float luminance(int r, int g, int b)
{
    return kLumaR * srgbToLinear(r) + kLumaG * srgbToLinear(g) + kLumaB * srgbToLinear(b);
}

} // namespace tessilor
