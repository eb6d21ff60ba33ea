#include "layout/pickerlayout.h"

#include <gtest/gtest.h>

using namespace tessilor;
using namespace tessilor::figurepicker;

TEST(FigurePickerLayout, DesignWidthGivesSixteenLabelsToARowAndTwelveRows)
{
    EXPECT_EQ(figureLabelsPerRow(), 16);
    EXPECT_EQ(figureLabelRows(188), 12);
    EXPECT_EQ(figureLabelRows(176), 11); // eleven full rows
    EXPECT_EQ(figureLabelRows(177), 12);
    EXPECT_EQ(figureLabelRows(0), 0);
}

TEST(FigurePickerLayout, PlacesOfTheFirstWrappingAndLastLabels)
{
    EXPECT_EQ(figureLabelPos(1), (TwipPos{60, 60}));
    EXPECT_EQ(figureLabelPos(2), (TwipPos{585, 60}));
    EXPECT_EQ(figureLabelPos(16), (TwipPos{60 + 15 * 525, 60})); // 7935, last of row 1
    EXPECT_EQ(figureLabelPos(17), (TwipPos{60, 585}));           // wraps, 525 below
    // The 188th label is the 12th of the 12th row.
    EXPECT_EQ(figureLabelPos(188), (TwipPos{60 + 11 * 525, 60 + 11 * 525}));
    // The last label of a row still ends inside the inner width.
    EXPECT_LE(figureLabelPos(16).left + kLabelSize, kDesignInnerWidth);
    EXPECT_GT(figureLabelPos(16).left + 2 * kLabelSize + kLabelGap, kDesignInnerWidth);
}

TEST(FigurePickerLayout, StepRuleAgreesWithTheClosedFormAtSeveralWidths)
{
    // The picker places each label from the previous one; the closed form
    // must give the same places for every label and any inner width,
    // including the edge where a label fits exactly and widths too narrow
    // for even one label.
    for (int width : {300, 569, 570, 1094, 1095, 1096, 5000, kDesignInnerWidth, 8534, 8550, 20000}) {
        TwipPos p = figureLabelPos(1, width);
        for (int n = 2; n <= 188; ++n) {
            p = nextFigureLabelPos(p, kLabelSize, width);
            ASSERT_EQ(p, figureLabelPos(n, width)) << "width " << width << " label " << n;
        }
    }
    // 570 twips leave room for exactly one label per row, 1095 for two.
    EXPECT_EQ(figureLabelsPerRow(570), 1);
    EXPECT_EQ(figureLabelsPerRow(1094), 1);
    EXPECT_EQ(figureLabelsPerRow(1095), 2);
    EXPECT_EQ(figureLabelsPerRow(100), 1);
}

TEST(FigurePickerLayout, InnerHeightKeepsTheTopMarginBelowTheLastRow)
{
    // 12 rows: the last starts at 60 + 11 * 525 and is 510 high, then 60.
    EXPECT_EQ(figurePickerInnerHeight(188), 60 + 11 * 525 + 510 + 60);
    EXPECT_EQ(figurePickerInnerHeight(1), 630);
    EXPECT_EQ(figurePickerInnerHeight(0), 630);
}

TEST(PickerUnits, TwipsToPixels)
{
    EXPECT_EQ(twipsToPixels(510), 34);
    EXPECT_EQ(twipsToPixels(8535), 569);
    EXPECT_EQ(twipsToPixels(15), 1);
    EXPECT_EQ(twipsToPixels(7), 0);
    EXPECT_EQ(twipsToPixels(8), 1);
    EXPECT_EQ(twipsToPixels(-525), -35);
    EXPECT_EQ(pixelsToTwips(34), 510);
}

TEST(ColorMenuLayout, PaletteWrapsIntoFiveRowsOfEight)
{
    using namespace tessilor::colormenu;
    EXPECT_EQ(wrappedBarGrid(kPaletteButtons, kInnerWidth, kButtonWidth), (BarGrid{8, 5}));
    EXPECT_EQ(wrappedBarGrid(41, kInnerWidth, kButtonWidth), (BarGrid{8, 6}));
    EXPECT_EQ(wrappedBarGrid(0, kInnerWidth, kButtonWidth), (BarGrid{8, 0}));
    // A button wider than the bar still gets a column of its own.
    EXPECT_EQ(wrappedBarGrid(3, 100, 345), (BarGrid{1, 3}));
    EXPECT_EQ(wrappedBarGrid(3, 100, 0), (BarGrid{1, 3}));
}

TEST(ColorMenuLayout, OtherColourBarIsCentred)
{
    using namespace tessilor::colormenu;
    EXPECT_EQ(centredBarLeft(kInnerWidth, 1500), 630);
    EXPECT_EQ(centredBarLeft(kInnerWidth, kInnerWidth), 0);
    EXPECT_EQ(centredBarLeft(kInnerWidth, 1501), 630);  // 629.5 rounds away from zero
    EXPECT_EQ(centredBarLeft(kInnerWidth, 3000), -120); // wider than the window
}

TEST(ColorMenuLayout, HeightGrowsOnlyWhenCustomColoursNeedIt)
{
    using namespace tessilor::colormenu;
    // The design: five palette rows and the other-colour bar fit in 2055.
    EXPECT_EQ(colorMenuInnerHeight(5, 405), kInnerHeight);
    EXPECT_EQ(colorMenuInnerHeight(6, 405), 6 * kButtonHeight + 405);
    EXPECT_EQ(colorMenuInnerHeight(9, 400), 9 * kButtonHeight + 400);

    // The picture row goes right below the other-colour bar, at least a
    // palette button high, with the bar's room above it repeated below it.
    struct Rows {
        int paletteRows, barHeight, pictureHeight;
        ColorMenuRows rows; // barTop, pictureTop, pictureHeight, innerHeight
    };
    const Rows table[] = {
        {5, 405, 405, {1650, 2055, 405, 2460}}, // the design: no room around the bar
        {5, 400, 300, {1652, 2052, 330, 2384}}, // odd room: 2 above the bar, 3 below it in the palette part
        {6, 405, 330, {1980, 2385, 330, 2715}}, // a custom colour row makes it taller
        {0, 405, 0, {825, 1230, 330, 2385}},    // no palette: the bar in the middle of the design height
        {9, 0, 345, {2970, 2970, 345, 3315}},   // a bar of no height
    };
    for (const Rows &t : table)
        EXPECT_EQ(colorMenuPictureRow(t.paletteRows, t.barHeight, t.pictureHeight), t.rows)
            << t.paletteRows << " rows, bar " << t.barHeight << ", picture " << t.pictureHeight;
}
