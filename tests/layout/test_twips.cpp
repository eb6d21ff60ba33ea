// Twips and pixels: one rounding rule (halves to even, saturated) for the
// screen, for devices of any resolution and back to twips; the one
// exception rounds down.
#include "layout/twips.h"

#include <gtest/gtest.h>
#include <limits>

using namespace tessilor;

TEST(Twips, EveryConversionRoundsHalvesToEven)
{
    constexpr int kMax = std::numeric_limits<int>::max(), kMin = std::numeric_limits<int>::min();
    const struct {
        double twips;
        double dpi; // 0: the screen
        int pixels;
    } toPixels[] = {
        {22.5, 0, 2},    {37.5, 0, 2},     {52.5, 0, 4},     {-22.5, 0, -2},     {7.4, 0, 0},   {7.6, 0, 1},
        {1e12, 0, kMax}, {-1e12, 0, kMin}, {1440, 96, 96},   {22.5, 96, 2},      {37.5, 96, 2}, // as the screen
        {12, 300, 2},    {36, 300, 8},     {1440, 600, 600}, {1e12, 1200, kMax},
    };
    for (const auto &c : toPixels) {
        const int got = c.dpi > 0 ? twipsToPixels(c.twips, c.dpi) : twipsToPixels(c.twips);
        EXPECT_EQ(got, c.pixels) << c.twips << " twips at " << c.dpi << " dpi";
    }

    const struct {
        double pixels;
        qint32 twips;
    } toTwips[] = {{0.1, 2},   {0.3, 4},      {1.5, 22},
                   {-0.1, -2}, {2.0 / 3, 10}, {1e12, std::numeric_limits<qint32>::max()}};
    for (const auto &c : toTwips)
        EXPECT_EQ(pixelsToWholeTwips(c.pixels), c.twips) << c.pixels << " pixels";

    // Exact both ways where no rounding is asked for.
    EXPECT_EQ(pixelsToTwips(qint64(1) << 31), (qint64(1) << 31) * kTwipsPerPixel);
    EXPECT_DOUBLE_EQ(twipsInPixels(22.5), 1.5);
    EXPECT_EQ(twipsToPixels(double(pixelsToTwips(533))), 533);
}

TEST(Twips, WholePixelsWithinNeverReachPastTheLength)
{
    const struct {
        double twips;
        int pixels;
    } cases[] = {{29, 1}, {29.99, 1}, {30, 2}, {22.5, 1}, {0, 0}, {-1, -1}, {-15, -1}};
    for (const auto &c : cases)
        EXPECT_EQ(wholePixelsWithin(c.twips), c.pixels) << c.twips;
}
