#pragma once
#include <QtGlobal>
#include <array>

// Light as the eye adds it up: sRGB values decoded to linear light, Rec. 709
// luminance, and the way back to 8-bit values.
namespace tessilor {

// Linear light 0..1 of an sRGB value 0..1.
double srgbDecode(double s);

// Linear light 0..1 of every 8-bit sRGB value.
const std::array<float, 256> &srgbToLinearTable();
inline float srgbToLinear(int v)
{
    return srgbToLinearTable()[size_t(v & 0xFF)];
}

// sRGB value 0..1 of linear light 0..1 (clamped), and rounded to 0..255.
double linearToSrgb(double linear);
int linearToSrgb8(double linear);

// Rec. 709 weights of red, green and blue in linear light.
inline constexpr float kLumaR = 0.2126f;
inline constexpr float kLumaG = 0.7152f;
inline constexpr float kLumaB = 0.0722f;

// Relative luminance 0..1 of an 8-bit sRGB colour, and of linear channels.
float luminance(int r, int g, int b);
inline float luminanceOfLinear(float r, float g, float b)
{
    return kLumaR * r + kLumaG * g + kLumaB * b;
}

} // namespace tessilor
