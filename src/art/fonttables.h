#pragma once
#include <QString>
#include <array>

// The text fonts of the art: the entries of the font list with the
// light-to-dark character ramp each draws the classic method with.
namespace tessilor {

// One entry of the font list: face name and its light-to-dark character ramp.
struct RampFont {
    QString face;
    QString ramp;
};

// The four entries of the font list, in list order (index 0 is entry 1); the
// faces are textFontFaces() (fonts/fontmodule.h).
const std::array<RampFont, 4> &rampFonts();

// Font entries 2 ("Fixedsys") and 4 ("Terminal") have a fixed size: the text
// size list is disabled and forced to entry 4 (10) or entry 3 (8). Returns
// the forced 1-based size entry (of sizeList()), or 0 when the size list
// stays free.
int fixedSizeEntry(int fontEntry);

} // namespace tessilor
