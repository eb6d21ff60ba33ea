#include "engine/linearlight.h"

#include <algorithm>
#include <cmath>

namespace tessilor {

const std::array<float, 256> &srgbToLinearTable()
{
    static const std::array<float, 256> table = [] {
        std::array<float, 256> t{};
        for (int v = 0; v < 256; ++v) {
            const double s = v / 255.0;
            t[size_t(v)] = float(s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4));
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
    return int(std::lround(linearToSrgb(linear) * 255.0));
}

float luminance(int r, int g, int b)
{
    return kLumaR * srgbToLinear(r) + kLumaG * srgbToLinear(g) + kLumaB * srgbToLinear(b);
}

} // namespace tessilor
