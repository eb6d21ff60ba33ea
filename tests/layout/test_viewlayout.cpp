#include "layout/viewlayout.h"
#include "layout/viewzoom.h"

#include <gtest/gtest.h>

using namespace tessilor;

TEST(ViewLayout, TwipsConvertAtFifteenAPixelRoundingHalfToEven)
{
    EXPECT_EQ(twipsToPixels(300), 20);
    EXPECT_EQ(twipsToPixels(255), 17);
    EXPECT_EQ(twipsToPixels(727.5), 48); // 48.5 -> 48
    EXPECT_EQ(twipsToPixels(742.5), 50); // 49.5 -> 50
    EXPECT_EQ(twipsToPixels(-22.5), -2); // -1.5 -> -2
    EXPECT_EQ(pixelsToTwips(200), 3000);
    EXPECT_EQ(pixelsToTwips(qint64(1) << 31), (qint64(1) << 31) * 15);
    EXPECT_EQ(toPixelRect(QRect(360, 2745, 2385, 255)), QRect(24, 183, 159, 17));
}

TEST(ViewLayout, ImageWindowPartsFollowTheClientSize)
{
    const ImageWindowLayout l = imageWindowLayout(3000, 3000);
    ASSERT_TRUE(l.header.valid && l.closeButton.valid && l.viewport.valid);
    EXPECT_EQ(l.header.rect, QRect(0, 0, 3000, 300));
    EXPECT_EQ(l.closeButton.rect, QRect(2730, 15, 240, 240));
    EXPECT_EQ(l.viewport.rect, QRect(0, 315, 2745, 2430));
    EXPECT_EQ(l.vScroll.rect, QRect(2745, 300, 255, 2445));
    EXPECT_EQ(l.hScroll.rect, QRect(360, 2745, 2395, 255));
    EXPECT_EQ(l.zoomButton.rect, QRect(0, 2745, 360, 255));
}

TEST(ViewLayout, TinyWindowSkipsPartsWithNegativeSizes)
{
    // 500 x 600: the viewport is 245 x 30; the horizontal scroll bar would
    // be -105 wide and is skipped.
    const ImageWindowLayout l = imageWindowLayout(500, 600);
    EXPECT_TRUE(l.viewport.valid);
    EXPECT_EQ(l.viewport.rect.size(), QSize(245, 30));
    EXPECT_FALSE(l.hScroll.valid);
    EXPECT_TRUE(l.vScroll.valid);

    const ImageWindowLayout t = imageWindowLayout(100, 100);
    EXPECT_FALSE(t.viewport.valid);
    EXPECT_FALSE(t.vScroll.valid);
    EXPECT_FALSE(t.hScroll.valid);
    EXPECT_TRUE(t.header.valid); // the strip only needs a width
    EXPECT_TRUE(t.closeButton.valid);
    EXPECT_EQ(t.closeButton.rect.left(), -170);
}

TEST(ViewLayout, ZoomCaptionsAndFactorsAreChosenByText)
{
    const char *captions[] = {"500 %", "200 %", "-", "100 %", "-", "50 %", "25 %", "10 %", "-"};
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(zoomCaption(i), QString::fromUtf8(captions[i])) << i;
    EXPECT_EQ(zoomCaption(9), QStringLiteral("Вписать в окно"));
    EXPECT_TRUE(zoomCaption(10).isEmpty());
    EXPECT_TRUE(zoomCaption(-1).isEmpty());

    bool fit = true;
    EXPECT_EQ(zoomFactorForCaption(QStringLiteral("500 %"), &fit), 5.0f);
    EXPECT_FALSE(fit);
    EXPECT_EQ(zoomFactorForCaption(QStringLiteral("10 %")), 0.1f);
    EXPECT_EQ(zoomFactorForCaption(QStringLiteral("-"), &fit), 0.0f);
    EXPECT_FALSE(fit);
    EXPECT_EQ(zoomFactorForCaption(QStringLiteral("Вписать в окно"), &fit), 0.0f);
    EXPECT_TRUE(fit);
    EXPECT_EQ(zoomFactorForCaption(QStringLiteral("50%")), 0.0f); // exact text only
}

TEST(ViewLayout, PercentageZoomSizesRoundHalfToEvenAndStayPositive)
{
    EXPECT_EQ(zoomDisplaySize(QSize(400, 300), 1.0f), QSize(400, 300));
    EXPECT_EQ(zoomDisplaySize(QSize(400, 300), 0.5f), QSize(200, 150));
    EXPECT_EQ(zoomDisplaySize(QSize(333, 101), 0.1f), QSize(33, 10));
    EXPECT_EQ(zoomDisplaySize(QSize(5, 3), 0.5f), QSize(2, 2)); // 2.5 -> 2, 1.5 -> 2
    EXPECT_EQ(zoomDisplaySize(QSize(3, 1), 0.1f), QSize(1, 1)); // never empty
    EXPECT_EQ(zoomDisplaySize(QSize(640, 480), 5.0f), QSize(3200, 2400));
}

TEST(ViewLayout, HugeZoomIsCappedKeepingTheAspect)
{
    // 5120 x 2880 at 500 % would be 25600 x 14400 (368 megapixels).
    const QSize s = zoomDisplaySize(QSize(5120, 2880), 5.0f);
    EXPECT_LE(s.width(), kMaxDisplaySide);
    EXPECT_LE(s.height(), kMaxDisplaySide);
    EXPECT_LE(qint64(s.width()) * s.height(), kMaxDisplayPixels);
    EXPECT_NEAR(double(s.width()) / s.height(), 25600.0 / 14400.0, 0.01);
    EXPECT_GT(s.width(), 10000);

    // A very thin strip is limited by its long side.
    const QSize thin = capDisplaySize(100000, 10);
    EXPECT_EQ(thin.width(), kMaxDisplaySide);
    EXPECT_EQ(thin.height(), 1);
    EXPECT_EQ(capDisplaySize(0, -5), QSize(1, 1));
}

TEST(ViewLayout, ShownZoomIsMeasuredOnTheLongerSide)
{
    const struct {
        QSize source, display;
        int percent;
    } cases[] = {
        {{333, 101}, zoomDisplaySize({333, 101}, 2.0f), 200},
        {{333, 101}, zoomDisplaySize({333, 101}, 0.25f), 25},
        {{100, 400}, {50, 200}, 50},
        {{5120, 3200}, zoomDisplaySize({5120, 3200}, 5.0f), 202}, // the display's pixel limit
        {{100000, 10}, zoomDisplaySize({100000, 10}, 1.0f), 16},  // its side limit
        {{0, 0}, {1, 1}, 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(shownZoomPercent(c.source, c.display), c.percent) << c.source.width() << " x " << c.source.height();
}

TEST(ViewLayout, FitNeverEnlargesAndKeepsTheAspect)
{
    const QSize viewport(2745, 2430); // 183 x 162 pixels
    // Smaller in both directions: shown at its own size.
    EXPECT_EQ(fitDisplaySize(QSize(100, 80), viewport), QSize(100, 80));
    // Wider: fitted to the width (183), height 183 / 2 = 91.5 -> 92.
    EXPECT_EQ(fitDisplaySize(QSize(400, 200), viewport), QSize(183, 92));
    // Width fit leaves a height that still reaches the viewport: height wins.
    EXPECT_EQ(fitDisplaySize(QSize(400, 390), viewport), QSize(166, 162));
    // Taller: height limit only.
    EXPECT_EQ(fitDisplaySize(QSize(100, 1000), viewport), QSize(16, 162));
    // Exactly the viewport's width counts as reaching it.
    EXPECT_EQ(fitDisplaySize(QSize(183, 50), viewport), QSize(183, 50));
}

TEST(ViewLayout, WindowShrinksAroundASmallDisplayButNeverGrows)
{
    const QSize window(3000, 3000), viewport(2745, 2430);
    // 50 % of 200 x 100 pixels = 1500 x 750 twips.
    EXPECT_EQ(shrinkWindowSize(window, QSize(1500, 750), viewport), QSize(1895, 1440));
    // Only one direction smaller: unchanged.
    EXPECT_EQ(shrinkWindowSize(window, QSize(1500, 2430), viewport), window);
    EXPECT_EQ(shrinkWindowSize(window, QSize(9000, 9000), viewport), window);
    // Just inside the viewport: the rule would grow the window; it does not.
    EXPECT_EQ(shrinkWindowSize(window, QSize(2730, 2415), viewport), window);
}

TEST(ViewLayout, ScrollRangesRoundHalfToEvenAndAreNeverNegative)
{
    EXPECT_EQ(scrollMaximum(3000, 2745), 2);       // 1.7
    EXPECT_EQ(scrollMaximum(2745 + 75, 2745), 0);  // 0.5 -> 0
    EXPECT_EQ(scrollMaximum(2745 + 225, 2745), 2); // 1.5 -> 2
    EXPECT_EQ(scrollMaximum(1000, 2745), 0);
    // 5120 x 2880 at 500 % (uncapped) in twips.
    EXPECT_EQ(scrollMaximum(qint64(25600) * 15, 2745), 2542); // 2541.7
    EXPECT_EQ(scrollMaximum(qint64(1) << 50, 0), std::numeric_limits<qint32>::max());
}

TEST(ViewLayout, PanOffsetsNeverOverflow)
{
    EXPECT_EQ(panOffsetTwips(0), 0);
    EXPECT_EQ(panOffsetTwips(3), -450);
    EXPECT_EQ(panOffsetTwips(219), -32850); // beyond the 16-bit range
    EXPECT_EQ(panOffsetTwips(2560), -384000);
    EXPECT_EQ(panOffsetPixels(2560), -25600);
    EXPECT_EQ(panOffsetTwips(std::numeric_limits<qint32>::max()), std::numeric_limits<qint32>::min());
    EXPECT_EQ(panOffsetPixels(std::numeric_limits<qint64>::max()), std::numeric_limits<qint32>::min());
}

TEST(ViewLayout, PublishedFieldsOfTheDisplaySize)
{
    const PublishedSize p = publishedSize(400, 300);
    EXPECT_EQ(p.textColumns, QStringLiteral("800"));
    EXPECT_EQ(p.textRows, QStringLiteral("300"));
    EXPECT_EQ(p.figureColumns, QStringLiteral("285"));
    EXPECT_EQ(p.figureRows, QStringLiteral("214"));
    EXPECT_EQ(p.aspect, 400.0f / 300.0f);

    const PublishedSize q = publishedSize(7, 13); // 7 / 1.4 = 5, 13 / 1.4 = 9.29
    EXPECT_EQ(q.textColumns, QStringLiteral("14"));
    EXPECT_EQ(q.figureColumns, QStringLiteral("5"));
    EXPECT_EQ(q.figureRows, QStringLiteral("9"));
    EXPECT_EQ(q.aspect, 7.0f / 13.0f);

    // Large displays do not overflow the doubled width.
    EXPECT_EQ(publishedSize(16384, 1).textColumns, QStringLiteral("32768"));
}

TEST(ViewLayout, FrameLinesOfProgressAndPanel)
{
    const FrameLines f = frameLines(5265, 2460);
    EXPECT_EQ(f.line1, QLine(15, 0, 5250, 0));
    EXPECT_EQ(f.line3, QLine(5250, 0, 5250, 2445));
    EXPECT_EQ(f.line2, QLine(0, 2445, 5265, 2445));
    EXPECT_EQ(f.line4, QLine(0, 0, 0, 2430));

    // A separator 30 twips high: dark line over a light one, the left line
    // a single point.
    const FrameLines s = frameLines(4395, 30);
    EXPECT_EQ(s.line1, QLine(15, 0, 4380, 0));
    EXPECT_EQ(s.line2, QLine(0, 15, 4395, 15));
    EXPECT_EQ(s.line4, QLine(0, 0, 0, 0));
}

TEST(ViewLayout, ProgressBarWidth)
{
    EXPECT_FLOAT_EQ(progressBarWidth(1485, 50), 727.5f);
    EXPECT_FLOAT_EQ(progressBarWidth(1485, 0), 0.0f);
    EXPECT_FLOAT_EQ(progressBarWidth(1485, 100), 1455.0f);
    EXPECT_FLOAT_EQ(progressBarWidth(1485, 150), 2182.5f); // not clamped
    EXPECT_EQ(progressBarHeight(270), 240);
}

TEST(ViewLayout, ResultWindowButtonsAndEditor)
{
    const ResultWindowLayout l = resultWindowLayout(6000, 4000);
    EXPECT_EQ(l.headerWidth, 6000);
    EXPECT_EQ(l.closeButton, QPoint(5720, 15));
    EXPECT_EQ(l.maxRestoreButton, QPoint(5420, 15));
    EXPECT_EQ(l.editPixels, QRect(0, 21, 400, 245)); // 266 - 21
    EXPECT_EQ(resultWindowLayout(6010, 4014).editPixels, QRect(0, 21, 400, 246));
}

TEST(ViewLayout, CaptionDragMovesByThePointerMovement)
{
    EXPECT_EQ(captionDragTarget(QPoint(100, 50), QPoint(40, 12), QPoint(10, 5)), QPoint(130, 57));
    EXPECT_EQ(captionDragTarget(QPoint(0, 0), QPoint(-5, -5), QPoint(10, 10)), QPoint(-15, -15));
    const int big = std::numeric_limits<qint32>::max();
    EXPECT_EQ(captionDragTarget(QPoint(big, 0), QPoint(big, 0), QPoint(0, 0)).x(), big);
}

TEST(ViewZoom, StepsFitAndBounds)
{
    namespace vz = viewzoom;
    struct Step {
        double zoom, in, out;
    };
    const Step steps[] = {{1.0, 1.1, 0.9}, {0.9, 1.0, 0.75},   {0.4, 0.5, 0.33}, // between steps: the next ones
                          {8.0, 8.0, 6.0}, {0.02, 0.03, 0.02}, {100, 8.0, 6.0},  // beyond the ends: bounded
                          {-1, 1.1, 0.9},  {0.0, 1.1, 0.9}};                     // no zoom at all: 1
    for (const Step &s : steps) {
        EXPECT_DOUBLE_EQ(vz::stepIn(s.zoom), s.in) << s.zoom;
        EXPECT_DOUBLE_EQ(vz::stepOut(s.zoom), s.out) << s.zoom;
    }
    struct Fit {
        QSizeF document;
        QSize viewport;
        double zoom;
    };
    const Fit fits[] = {{{800, 400}, {400, 400}, 0.5}, {{100, 1000}, {400, 200}, 0.2}, {{100, 50}, {400, 400}, 4.0},
                        {{10, 10}, {400, 400}, 8.0},   {{1e6, 10}, {400, 400}, 0.02},  {{0, 10}, {400, 400}, 1.0},
                        {{100, 100}, {0, 400}, 1.0}};
    for (const Fit &f : fits)
        EXPECT_DOUBLE_EQ(vz::fitting(f.document, f.viewport), f.zoom) << f.document.width();
    // A fitted document needs no scrolling; a zoomed one scrolls in whole
    // zoomed pixels.
    EXPECT_EQ(vz::scrollRange(1000, vz::fitting({1000, 10}, {333, 333}), 333), 0);
    EXPECT_EQ(vz::scrollRange(1000, 2.0, 333), 1667);
    EXPECT_EQ(vz::scrollRange(100.5, 1.0, 100), 1);
    EXPECT_EQ(vz::scrollRange(100, 0.5, 100), 0);
}

TEST(ViewZoom, PointsUnderThePointerStayPut)
{
    namespace vz = viewzoom;
    const QPointF doc = vz::documentPoint(QPointF(50, 30), QPoint(100, 20), 2.0);
    EXPECT_EQ(doc, QPointF(75, 25));
    // Zooming from 2 to 4 about the same viewport point keeps that point.
    const QPoint scroll = vz::scrollFor(doc, QPointF(50, 30), 4.0);
    EXPECT_EQ(scroll, QPoint(250, 70));
    EXPECT_EQ(vz::documentPoint(QPointF(50, 30), scroll, 4.0), doc);
}

TEST(ViewZoom, CaretScrollsIntoViewAsLittleAsNeeded)
{
    namespace vz = viewzoom;
    // The caret where the unzoomed window puts it, in the zoomed document;
    // a thin one stays one pixel wide.
    EXPECT_EQ(vz::zoomedCaret(QRectF(10, 20, 0, 15), QPoint(100, 40), 2.0), QRectF(220, 120, 1, 30));
    EXPECT_EQ(vz::zoomedCaret(QRectF(10, 20, 4, 15), QPoint(100, 40), 0.5), QRectF(55, 30, 2, 7.5));

    // A view of 50 pixels scrolled to 100 shows [100, 150].
    struct Show {
        double from, to;
        int scroll;
    };
    const Show shows[] = {
        {110, 140, 100},   {100, 150, 100}, // inside, also touching both ends: stays
        {80.5, 90, 80},    {-0.5, 10, -1},  // before: its first pixel at the start (not bounded)
        {140, 160.2, 111}, {150, 151, 101}, // after: its last pixel at the end
        {90, 200, 90},     {120, 200, 150}, // longer than the view: from before, its start; else its end
    };
    for (const Show &s : shows)
        EXPECT_EQ(vz::scrollToShow(100, s.from, s.to, 50), s.scroll) << s.from << " .. " << s.to;
}
