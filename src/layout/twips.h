#pragma once

// Window arithmetic is kept in twips (1/1440 inch) as the windows' design
// gives it; widgets convert at their boundary, 15 twips to a pixel.
namespace tessilor {

inline constexpr int kTwipsPerPixel = 15;

// Twips to whole pixels, halves to even, saturated to 32 bits.
int twipsToPixels(double twips);
// Pixels to twips.
constexpr int pixelsToTwips(int pixels)
{
    return pixels * kTwipsPerPixel;
}

} // namespace tessilor
