#include "layout/mainlayout.h"

#include <gtest/gtest.h>

using namespace tessilor::mainlayout;

namespace {
QString partner(GridField f, const char *text, float aspect)
{
    const auto r = coupledPartnerText(f, QString::fromUtf8(text), aspect);
    return r ? *r : QStringLiteral("<unchanged>");
}
} // namespace

TEST(MainLayoutCoupling, WholeAspectGivesExactPartners)
{
    // 400 x 200 display.
    const float aspect = publishedSize(400, 200).aspect;
    EXPECT_EQ(aspect, 2.0f);
    EXPECT_EQ(partner(GridField::TextColumns, "160", aspect), QStringLiteral("40"));
    EXPECT_EQ(partner(GridField::TextRows, "50", aspect), QStringLiteral("200"));
    EXPECT_EQ(partner(GridField::FigureColumns, "100", aspect), QStringLiteral("50"));
    EXPECT_EQ(partner(GridField::FigureRows, "30", aspect), QStringLiteral("60"));
}

TEST(MainLayoutCoupling, SinglePrecisionAspectIsNotRoundedBeforeFlooring)
{
    // 400 x 300 display: the aspect is stored as 1.3333334.
    const float aspect = publishedSize(400, 300).aspect;
    EXPECT_EQ(aspect, 1.3333334f);
    EXPECT_EQ(partner(GridField::TextColumns, "160", aspect), QStringLiteral("59"));
    EXPECT_EQ(partner(GridField::FigureColumns, "100", aspect), QStringLiteral("74"));
    EXPECT_EQ(partner(GridField::TextRows, "90", aspect), QStringLiteral("240"));
    EXPECT_EQ(partner(GridField::FigureRows, "30", aspect), QStringLiteral("40"));
}

TEST(MainLayoutCoupling, FieldTextIsReadByItsLeadingNumber)
{
    EXPECT_EQ(partner(GridField::TextColumns, "abc", 2.0f), QStringLiteral("0"));
    EXPECT_EQ(partner(GridField::TextColumns, "", 2.0f), QStringLiteral("0"));
    EXPECT_EQ(partner(GridField::TextColumns, "  81x", 2.0f), QStringLiteral("20"));
    EXPECT_EQ(partner(GridField::FigureColumns, "33.9", 1.0f), QStringLiteral("33"));
    // Negative input floors towards minus infinity.
    EXPECT_EQ(partner(GridField::FigureRows, "-3", 0.5f), QStringLiteral("-2"));
}

TEST(MainLayoutCoupling, OverflowOrBadAspectLeavesThePartnerUnchanged)
{
    EXPECT_EQ(partner(GridField::FigureRows, "1e300", 1e30f), QStringLiteral("<unchanged>"));
    EXPECT_EQ(partner(GridField::TextRows, "3000000000", 1.0f), QStringLiteral("<unchanged>"));
    EXPECT_EQ(partner(GridField::TextColumns, "1e400", 1.0f), QStringLiteral("<unchanged>"));
    EXPECT_EQ(partner(GridField::FigureColumns, "100", 0.0f), QStringLiteral("<unchanged>"));
    // The largest value that still fits is written.
    EXPECT_EQ(partner(GridField::FigureRows, "2147483647", 1.0f), QStringLiteral("2147483647"));
    EXPECT_EQ(partner(GridField::FigureRows, "2147483648", 1.0f), QStringLiteral("<unchanged>"));
}

TEST(MainLayoutCoupling, PartnersArePairs)
{
    EXPECT_EQ(partnerOf(GridField::TextColumns), GridField::TextRows);
    EXPECT_EQ(partnerOf(GridField::TextRows), GridField::TextColumns);
    EXPECT_EQ(partnerOf(GridField::FigureColumns), GridField::FigureRows);
    EXPECT_EQ(partnerOf(GridField::FigureRows), GridField::FigureColumns);
}

TEST(MainLayoutPublish, DisplaySizeGivesTheFourFields)
{
    const PublishedSize p = publishedSize(400, 300);
    EXPECT_EQ(p.textColumns, 800);
    EXPECT_EQ(p.textRows, 300);
    EXPECT_EQ(p.figureColumns, 285);
    EXPECT_EQ(p.figureRows, 214);
    const PublishedSize q = publishedSize(7, 14);
    EXPECT_EQ(q.aspect, 0.5f);
    EXPECT_EQ(q.figureColumns, 5);
    EXPECT_EQ(q.figureRows, 10);
    EXPECT_EQ(publishedSize(10, 0).aspect, 0.0f);
}

TEST(MainLayoutBars, ToolbarPlacementAtLoad)
{
    const ToolbarPlacement p = placeToolbar(3000, 7200, 9000, 600);
    EXPECT_EQ(p.modeFrameLeft, 2955);
    EXPECT_EQ(p.modeFrameWidth, 7200 - 2955);
    EXPECT_EQ(p.modeFrameHeight, 660);
    EXPECT_EQ(p.progressLeft, 9120);
    EXPECT_EQ(secondFrameLeft(5000, 700), 5790);
}

TEST(MainLayoutBars, HelpAndProgressFollowTheWindowWidth)
{
    const ResizePlacement p = placeOnResize(12000, 1200, 9120);
    EXPECT_EQ(p.helpBarLeft, 12000 - 1200 - 330);
    EXPECT_EQ(p.progressWidth, p.helpBarLeft - 9120 - 15);
    // A narrow window gives a negative width the caller must skip.
    EXPECT_LT(placeOnResize(8000, 1200, 9120).progressWidth, 0);
}

TEST(MainLayoutBars, PickersHangBelowTheVisibleBars)
{
    const double y = pickerAnchorY(1500, 450, 600, 480, 0);
    EXPECT_EQ(y, 3030);
    const PickerPlace f = figurePickerPlace(2000, y);
    EXPECT_EQ(f.left, 2060);
    EXPECT_EQ(f.top, 2925);
    const PickerPlace c = colorPickerPlace(2000, 4500, y);
    EXPECT_EQ(c.left, 6670);
    EXPECT_EQ(c.top, 2925);
    const PickerPlace z = zoomMenuPlace(630);
    EXPECT_EQ(z.left, 1275);
    EXPECT_EQ(z.top, 630);
}

TEST(MainLayoutBars, ChildWindowPlaces)
{
    const ChildPlace r = resultWindowPlace(12000, 7000);
    EXPECT_EQ(r.left, 3015);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.width, 12000 - 3015);
    EXPECT_EQ(r.height, 7000);
    const ChildPlace i = imageWindowPlace();
    EXPECT_EQ(i.width, 3000);
    EXPECT_EQ(i.height, 3000);
}

TEST(MainLayoutUnits, TwipsAndPixels)
{
    EXPECT_EQ(twipsToPixels(300), 20);
    EXPECT_EQ(twipsToPixels(22.5), 2); // 1.5 rounds to even
    EXPECT_EQ(twipsToPixels(37.5), 2); // 2.5 rounds to even
    EXPECT_EQ(twipsToPixels(-150), -10);
    EXPECT_EQ(pixelsToTwips(533), 7995);
}

TEST(MainLayout, WindowOffEveryScreenIsBroughtBack)
{
    const QRect left(0, 0, 1280, 1024), right(1280, 0, 1920, 1080);
    const struct {
        const char *what;
        QRect window;
        QList<QRect> screens;
        QRect expected;
    } cases[] = {
        {"on screen", {100, 100, 860, 520}, {left}, {100, 100, 860, 520}},
        // The whole window comes onto the screen, not its top edge alone.
        {"only the top edge's grip on screen", {1150, 980, 860, 520}, {left}, {420, 504, 860, 520}},
        {"off the right edge", {5000, 100, 860, 520}, {left}, {420, 100, 860, 520}},
        {"below the bottom", {100, 3000, 860, 520}, {left}, {100, 504, 860, 520}},
        {"above and left", {-2000, -900, 860, 520}, {left}, {0, 0, 860, 520}},
        {"beyond 16-bit coordinates", {70000, 66000, 860, 520}, {left}, {420, 504, 860, 520}},
        {"grip just off the top", {100, -30, 860, 520}, {left}, {100, 0, 860, 520}},
        {"nearest of two screens", {4000, 200, 860, 520}, {left, right}, {2340, 200, 860, 520}},
        {"on the second screen", {1500, 200, 860, 520}, {left, right}, {1500, 200, 860, 520}},
        {"larger than the screen: made to fit", {3000, 3000, 1500, 1200}, {left}, {0, 0, 1280, 1024}},
        {"no screens", {5000, 5000, 860, 520}, {}, {5000, 5000, 860, 520}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(windowOnScreens(c.window, c.screens), c.expected) << c.what;
}

// A restored window with its frame (the window manager's caption and
// borders) fits the available area of one screen: it shrinks, never below
// its smallest size, and moves as little as it must.
TEST(MainLayout, RestoredWindowFitsWithItsFrame)
{
    const QRect small(0, 0, 1024, 700), aboveATaskBar(0, 0, 1024, 668);
    const QRect left(0, 0, 1280, 1024), right(1280, 0, 1920, 1080);
    const QMargins frame(1, 20, 1, 5);
    const QSize minimum(760, 400);
    const struct {
        const char *what;
        QRect window;
        QList<QRect> screens;
        QRect expected;
    } cases[] = {
        {"inside: unchanged", {101, 120, 860, 520}, {small}, {101, 120, 860, 520}},
        {"the frame's bottom below the screen", {101, 200, 860, 520}, {small}, {101, 175, 860, 520}},
        {"the caption above the screen", {101, 5, 860, 520}, {small}, {101, 20, 860, 520}},
        {"a big screen's window on a small one", {20, 40, 1560, 940}, {small}, {1, 20, 1022, 675}},
        {"above a task bar", {20, 40, 1560, 940}, {aboveATaskBar}, {1, 20, 1022, 643}},
        {"the screen it was on is gone", {1700, 100, 860, 520}, {small}, {163, 100, 860, 520}},
        {"on the screen holding most of it", {1000, 100, 860, 520}, {left, right}, {1281, 100, 860, 520}},
        {"never below the smallest size", {0, 0, 900, 500}, {QRect(0, 0, 640, 480)}, {1, 20, 760, 455}},
        {"hostile: far off and below its smallest size", {-1000000, -1000000, 533, 300}, {small}, {1, 20, 760, 400}},
    };
    for (const auto &c : cases) {
        const QRect placed = windowOnScreens(c.window, c.screens, frame, minimum);
        EXPECT_EQ(placed, c.expected) << c.what;
    }
}

TEST(MainLayout, ChildFollowsTheAreaSize)
{
    const QSize minimum(120, 80);
    struct Case {
        QRect window;
        QSize from, to;
        QRect expected;
    };
    const Case cases[] = {
        {{201, 0, 600, 400}, {800, 400}, {900, 500}, {201, 0, 700, 500}}, // grows with the area
        {{201, 0, 600, 400}, {800, 400}, {700, 350}, {201, 0, 500, 350}}, // and shrinks with it
        {{201, 0, 600, 400}, {800, 400}, {300, 50}, {201, 0, 120, 80}},   // never below the minimum
        {{10, 20, 300, 200}, {800, 400}, {800, 400}, {10, 20, 300, 200}}, // the same area: unchanged
    };
    for (const Case &c : cases)
        EXPECT_EQ(followingArea(c.window, c.from, c.to, minimum), c.expected);
}
