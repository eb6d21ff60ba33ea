#pragma once

#include "layout/twips.h"

// Layout arithmetic inside the two drop-down pickers (the figure picker and
// the text colour picker). Everything here is in twips; widgets convert at
// their boundary with 15 twips per pixel. Where the pickers open on the
// screen is the main window's arithmetic (mainlayout.h).
namespace tessilor {

struct TwipPos {
    int left = 0;
    int top = 0;
    friend bool operator==(const TwipPos &, const TwipPos &) = default;
};

// ---- Figure picker -------------------------------------------------------

namespace figurepicker {
inline constexpr int kLabelSize = 510; // width and height of a glyph label
inline constexpr int kLabelGap = 15;   // between neighbours in a row
inline constexpr int kRowPitch = 525;  // from one row's top to the next
inline constexpr int kFirstLeft = 60;  // the template label's place
inline constexpr int kFirstTop = 60;
inline constexpr int kDesignInnerWidth = 8535;
inline constexpr int kGlyphPointSize = 22;
inline constexpr unsigned kHoverColor = 16765589; // RGB(149, 210, 255)
} // namespace figurepicker

// Place of the label that follows one at prev (of width prevWidth): one gap
// to the right on the same row, or back to the first column of the next row
// when its right edge would pass innerWidth.
TwipPos nextFigureLabelPos(TwipPos prev, int prevWidth, int innerWidth);

// Place of glyph label n (1-based; label 1 takes the template's place) when
// every label is kLabelSize wide and the picker's inner width is innerWidth.
TwipPos figureLabelPos(int n, int innerWidth = figurepicker::kDesignInnerWidth);

// Labels in one row (at least 1) and the rows that count labels occupy.
int figureLabelsPerRow(int innerWidth = figurepicker::kDesignInnerWidth);
int figureLabelRows(int count, int innerWidth = figurepicker::kDesignInnerWidth);

// Inner height that shows count labels with the same margin below the last
// row as above the first.
int figurePickerInnerHeight(int count, int innerWidth = figurepicker::kDesignInnerWidth);

// ---- Colour picker -------------------------------------------------------

namespace colormenu {
inline constexpr int kInnerWidth = 2760;
inline constexpr int kInnerHeight = 2055;
inline constexpr int kPaletteButtons = 40;
// A palette button: a 16 x 16 swatch with the tool button's frame around it.
inline constexpr int kButtonWidth = 345;
inline constexpr int kButtonHeight = 330;
} // namespace colormenu

// Left edge that centres a bar of barWidth in innerWidth:
// innerWidth / 2 - barWidth / 2, rounded to whole twips.
int centredBarLeft(int innerWidth, int barWidth);

// Grid of a wrapping button bar: as many buttons to a row as fit in
// innerWidth (at least one), as many rows as the buttons need.
struct BarGrid {
    int columns = 1;
    int rows = 0;
    friend bool operator==(const BarGrid &, const BarGrid &) = default;
};
BarGrid wrappedBarGrid(int buttons, int innerWidth, int buttonWidth);

// Height of the colour picker's palette, its other-colour bar and the room
// split evenly above and below that bar (an odd twip goes below): the design
// height, or more when custom colours have made the palette bar taller than
// the design leaves room for. It is not the whole picker: the picture row
// goes in between the bar and the room below it (colorMenuPictureRow).
int colorMenuInnerHeight(int paletteRows, int otherBarHeight);

// The colour picker's rows below the palette: the other-colour bar centred
// in the room the palette leaves (colorMenuInnerHeight), the picture row
// ("По изображению") right below it and at least as high as a palette
// button, and as much room below the picture row as there is between the
// palette and the other-colour bar. innerHeight is the whole picker's.
struct ColorMenuRows {
    int barTop = 0;
    int pictureTop = 0;
    int pictureHeight = 0;
    int innerHeight = 0;
    friend bool operator==(const ColorMenuRows &, const ColorMenuRows &) = default;
};
ColorMenuRows colorMenuPictureRow(int paletteRows, int barHeight, int pictureHeight);

} // namespace tessilor
