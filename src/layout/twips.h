#pragma once
#include <QtGlobal>

// Twips (1/1440 inch) and pixels: window arithmetic is kept in twips as the
// windows' design gives it, and widgets convert at their boundary; the
// rich text's indents are twips too. The screen has 15 twips to a pixel
// (96 dpi); a printer or a preview surface has 1440 / dpi.
//
// The one rule: a length in twips becomes whole pixels, and a length in
// pixels whole twips, rounded to the nearest with halves to even, saturated
// to 32 bits. The saved window places, the RTF indents and the layout tests
// rely on halves to even (22.5 twips are 2 pixels, 37.5 twips 2 pixels).
// The one exception is wholePixelsWithin: a control that must stay inside
// its window takes the pixels that fit, never one more.
namespace tessilor {

inline constexpr int kTwipsPerInch = 1440;
inline constexpr int kTwipsPerPixel = 15;

// Twips to whole screen pixels.
int twipsToPixels(double twips);
// Twips to whole pixels of a device of dpi dots per inch.
int twipsToPixels(double twips, double dpi);
// Twips to screen pixels and their fraction, unrounded.
constexpr double twipsInPixels(double twips)
{
    return twips / kTwipsPerPixel;
}
// The whole screen pixels that fit in a length in twips (rounded down).
int wholePixelsWithin(double twips);

// Screen pixels to twips, in 64 bits so that no length overflows.
constexpr qint64 pixelsToTwips(qint64 pixels)
{
    return pixels * kTwipsPerPixel;
}
// Screen pixels and their fraction to whole twips.
qint32 pixelsToWholeTwips(double pixels);

} // namespace tessilor
