// Page layout of results for preview and printing: limits, the page-fit
// rule, the preview box, copy counts, colour lines and the layout itself on a
// real image surface with real fonts.
#include "art/fontfaces.h"
#include "layout/printlayout.h"

#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>
#include <vector>

using namespace tessilor;

TEST(PrintLimits, PreviewAndPrintDivisorsOnPortraitA4)
{
    const PageLimits prev = previewLimits(11906, 16838);
    EXPECT_NEAR(prev.width, 11232.08, 0.05);
    EXPECT_NEAR(prev.height, 15884.9, 0.05);
    const PageLimits print = printLimits(11906, 16838);
    EXPECT_NEAR(print.width, 11339.05, 0.05);
    EXPECT_NEAR(print.height, 16036.19, 0.05);
    // Printing works against the larger limits.
    EXPECT_GT(print.width, prev.width);
    EXPECT_GT(print.height, prev.height);
}

TEST(PreviewBox, PortraitLandscapeAndSquarePages)
{
    const PreviewBox portrait = previewBox(previewLimits(11906, 16838));
    EXPECT_DOUBLE_EQ(portrait.height, 5295);
    EXPECT_NEAR(portrait.width, 3744, 1.0);
    EXPECT_DOUBLE_EQ(portrait.top, 5565 / 2.0 - 5295 / 2.0 + 75); // 210
    EXPECT_NEAR(portrait.left, 2700 - 3744 / 2.0, 0.5);

    const PreviewBox landscape = previewBox(previewLimits(16838, 11906));
    EXPECT_DOUBLE_EQ(landscape.width, 5295);
    EXPECT_NEAR(landscape.height, 3744, 1.0);
    EXPECT_DOUBLE_EQ(landscape.left, 2700 - 5295 / 2.0);
    EXPECT_NEAR(landscape.top, 2782.5 - landscape.height / 2 + 75, 1e-9);

    const PreviewBox square = previewBox(previewLimits(12000, 12000));
    EXPECT_DOUBLE_EQ(square.width, 5295);
    EXPECT_DOUBLE_EQ(square.height, 5295);
    EXPECT_DOUBLE_EQ(square.left, 52.5);
    EXPECT_DOUBLE_EQ(square.top, 210);

    // The block copy works in whole pixels, halves to even.
    EXPECT_EQ(twipsToPixels(5295), 353);
    EXPECT_EQ(twipsToPixels(portrait.width), 250);
    EXPECT_EQ(twipsToPixels(22.5), 2);
    EXPECT_EQ(twipsToPixels(37.5), 2);
    EXPECT_EQ(twipsToPixels(52.5), 4);
}

TEST(PreviewBox, SurfaceResolutionKeepsCellsVisibleWithinTheBudget)
{
    const PageLimits a4 = previewLimits(11906, 16838);                                       // 11232 x 15885 twips
    const double budgetDpi = std::sqrt(24e6 / (double(a4.width) * a4.height / 1440 / 1440)); // 528
    struct Case {
        qint64 columns, rows, budget;
        double dpi;
    } const cases[] = {
        {0, 0, 24'000'000, 96},                                   // nothing to show
        {160, 120, 24'000'000, 96},                               // 70 twips a cell: 4.7 px at 96
        {400, 300, 24'000'000, 4 * 1440 / (a4.width / 400.0)},    // 28 twips a cell: 205 dpi
        {300, 900, 24'000'000, 4 * 1440 / (a4.height / 900.0)},   // the rows decide
        {1024, 1024, 24'000'000, 4 * 1440 / (a4.width / 1024.0)}, // 525 dpi, just in budget
        {2048, 1024, 24'000'000, budgetDpi},                      // capped by the budget
        {1024, 1024, 1'000'000, budgetDpi / std::sqrt(24.0)},
    };
    for (const Case &c : cases) {
        const double dpi = previewSurfaceDpi(a4, c.columns, c.rows, c.budget);
        EXPECT_NEAR(dpi, c.dpi, 0.01) << c.columns << " x " << c.rows;
        const qint64 pixels = qint64(surfacePixels(a4.width, dpi)) * surfacePixels(a4.height, dpi);
        EXPECT_LE(pixels, c.budget * 1.001) << c.columns << " x " << c.rows;
    }
    // Huge paper goes below the screen's resolution, never below one dot.
    EXPECT_NEAR(previewSurfaceDpi(previewLimits(1.06e6, 1.06e6), 10, 10, 24'000'000), 7.05, 0.01);
    EXPECT_EQ(previewSurfaceDpi(previewLimits(1.0e9, 1.0e9), 10, 10, 24'000'000), 1.0);
    EXPECT_EQ(previewSurfaceDpi(PageLimits{}, 10, 10, 24'000'000), 96.0);
    EXPECT_EQ(surfacePixels(11232, 96), 749);
    EXPECT_EQ(surfacePixels(1, 96), 1);
}

// A scalable font whose "Q" is 12 twips wide and 23 twips high per point.
static QSizeF linearMeasure(double size)
{
    return {12.0 * size, 23.0 * size};
}

TEST(PageFit, ShrinksToTheOverflowingSideAndNeverEnlarges)
{
    const PageLimits a4 = previewLimits(11906, 16838);
    // 40 columns x 120 rows of text: 80 characters a line; the height decides.
    const double fitted = fitFontSize(10, linearMeasure, 80, 120, a4);
    EXPECT_NEAR(fitted, a4.height / (23.0 * 120), 1e-9);
    EXPECT_LE(23.0 * fitted * 120, a4.height + 1e-6);

    // Wide and short: the width decides.
    const double wide = fitFontSize(10, linearMeasure, 400, 10, a4);
    EXPECT_NEAR(wide, a4.width / (12.0 * 400), 1e-9);

    // A result that already fits keeps its size.
    EXPECT_DOUBLE_EQ(fitFontSize(10, linearMeasure, 20, 20, a4), 10);
    // Nothing to fit against: the size stays.
    EXPECT_DOUBLE_EQ(fitFontSize(10, linearMeasure, 0, 20, a4), 10);
    EXPECT_DOUBLE_EQ(fitFontSize(10, linearMeasure, 20, 20, PageLimits{0, 0}), 10);
}

TEST(PageFit, BothSidesOverflowingAreFittedByTheLargerFactor)
{
    std::vector<double> sizes;
    const MeasureFn recording = [&](double s) {
        sizes.push_back(s);
        return linearMeasure(s);
    };
    // Width 1200 (over by 1.2) and height 2300 (over by 2.3): the first pass
    // fits both.
    const PageLimits limits{1000.0f, 1000.0f};
    const double fitted = fitFontSize(10, recording, 10, 10, limits);
    ASSERT_GE(sizes.size(), 2u);
    EXPECT_NEAR(sizes[1], 10 / 2.3, 1e-9);
    EXPECT_NEAR(fitted, 10 / 2.3, 1e-9); // later passes change at most rounding dust

    // Hinted advances: the width stays half a twip per character over the
    // scaled value, so it overflows by a hair after every pass. The height
    // must still be brought within the page.
    const MeasureFn hinted = [](double s) { return QSizeF(12.0 * s + 0.5, 23.0 * s); };
    const PageLimits a4 = previewLimits(11906, 16838);
    const double size = fitFontSize(10, hinted, 80, 120, a4);
    EXPECT_LE(23.0 * size * 120, a4.height * 1.001);
    EXPECT_LE((12.0 * size + 0.5) * 80, a4.width * 1.001);
}

TEST(PageFit, ExactlyThreePassesEvenWhenRoundingKeepsOverflowing)
{
    // The font only comes in whole sizes and rounds up, so one pass is not
    // enough; three passes and no more are made.
    int calls = 0;
    const MeasureFn rounding = [&](double s) {
        ++calls;
        return linearMeasure(std::ceil(s));
    };
    const PageLimits limits{1000.0f, 100000.0f};
    const double fitted = fitFontSize(20, rounding, 10, 1, limits); // needs s <= 8.33
    EXPECT_EQ(calls, 3);
    // Pass 1: 20 / (2400/1000) = 8.333 -> measured as 9 -> still over;
    // pass 2: 8.333 / (1080/1000) = 7.716 -> measured as 8 -> fits.
    EXPECT_NEAR(fitted, 20 / 2.4 / 1.08, 1e-9);
    EXPECT_LE(12.0 * std::ceil(fitted) * 10, 1000.0);

    // A measure that never fits stops after the third division.
    calls = 0;
    const MeasureFn stubborn = [&](double) {
        ++calls;
        return QSizeF(200, 10);
    };
    EXPECT_NEAR(fitFontSize(8, stubborn, 10, 1, limits), 8 / 8.0, 1e-12);
    EXPECT_EQ(calls, 4);
}

TEST(Copies, SpinValueAndPrintedCount)
{
    EXPECT_EQ(copiesSpinValue("1"), 1);
    EXPECT_EQ(copiesSpinValue("0"), 1);
    EXPECT_EQ(copiesSpinValue(""), 1);
    EXPECT_EQ(copiesSpinValue("-5"), 1);
    EXPECT_EQ(copiesSpinValue("25"), 25);
    EXPECT_EQ(copiesSpinValue("99"), 99);
    EXPECT_EQ(copiesSpinValue("250"), 99);
    EXPECT_EQ(copiesSpinValue(" 7x"), 7);
    EXPECT_EQ(copiesSpinValue("2.5"), 2);
    EXPECT_EQ(copiesSpinValue("3.5"), 4);
    EXPECT_EQ(copiesSpinValue("99999999"), 99);

    EXPECT_EQ(copiesToPrint(""), 0);
    EXPECT_EQ(copiesToPrint("0"), 0);
    EXPECT_EQ(copiesToPrint("x"), 0);
    EXPECT_EQ(copiesToPrint("-1"), 0);
    EXPECT_EQ(copiesToPrint("1"), 1);
    EXPECT_EQ(copiesToPrint("2"), 2);
    EXPECT_EQ(copiesToPrint(" 3"), 3);
    EXPECT_EQ(copiesToPrint("2.9"), 2);
    EXPECT_EQ(copiesToPrint(".5"), 0);
    EXPECT_EQ(copiesToPrint("99"), 99);
}

TEST(PageFont, FixedFontsAreReplaced)
{
    EXPECT_EQ(pageFontName("Fixedsys"), "Courier New Cyr");
    EXPECT_EQ(pageFontName("Terminal"), "Courier New Cyr");
    EXPECT_EQ(pageFontName("Lucida Console"), "Lucida Console");
    EXPECT_EQ(pageFontName("Courier New Cyr"), "Courier New Cyr");
    EXPECT_EQ(pageFontName("fixedsys"), "fixedsys");
}

TEST(FigureCells, PositionsAndColourLines)
{
    EXPECT_EQ(figureCellPosition(1, 1, 100, 150), QPointF(0, 0));
    EXPECT_EQ(figureCellPosition(3, 2, 100, 150), QPointF(200, 150));
    EXPECT_EQ(figureCellPosition(2, 5, 12.5, 20), QPointF(12.5, 80));

    EXPECT_EQ(colorFromLine(" 255 \r\n"), 255u);
    EXPECT_EQ(colorFromLine(" 16777215 \r\n"), 16777215u);
    EXPECT_EQ(colorFromLine(" 65793 "), 65793u);
    EXPECT_EQ(colorFromLine(""), 0u);
    EXPECT_EQ(colorFromLine("abc"), 0u);
    EXPECT_EQ(colorFromLine(" 2.5 "), 2u);
    EXPECT_EQ(colorFromLine(" 3.5 "), 4u);
    EXPECT_EQ(colorFromLine(" 99999999999 "), 0xFFFFFFu);

    // Lines of the figure fill: the figure's colour, then the background.
    quint32 back = 7;
    EXPECT_EQ(colorFromLine(" 255 65280 \r\n"), 255u);
    EXPECT_TRUE(backgroundFromLine(" 255 65280 \r\n", &back));
    EXPECT_EQ(back, 65280u);
    EXPECT_TRUE(backgroundFromLine(" 1 99999999999 ", &back));
    EXPECT_EQ(back, 0xFFFFFFu);
    EXPECT_FALSE(backgroundFromLine(" 255 \r\n", &back));
    EXPECT_FALSE(backgroundFromLine(" 255 x \r\n", &back));
    EXPECT_FALSE(backgroundFromLine("", &back));
}

// A white page surface at 96 dpi (15 twips a pixel), as the preview draws on.
static QImage whitePage(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.setDotsPerMeterX(3780);
    img.setDotsPerMeterY(3780);
    img.fill(Qt::white);
    return img;
}

static bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

static int countPixels(const QImage &img, const QRect &r, QRgb colour)
{
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            n += (img.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF);
    return n;
}

static int countNonWhite(const QImage &img, const QRect &r)
{
    return r.width() * r.height() - countPixels(img, r, qRgb(255, 255, 255));
}

TEST(LayoutPage, TextLinesFromTheTopLeftInTheResultColour)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    PrintSource src;
    src.resultKind = 3;
    src.gridColumns = 4;
    src.gridRows = 3;
    src.textPath = dir.filePath("text.tmp");
    src.fontName = "Liberation Mono";
    src.fontSize = 12;
    src.foreColor = 255; // red
    ASSERT_TRUE(writeFile(src.textPath, "@@@@@@@@\r\n########\r\nЖЖЖЖЖЖЖЖ\r\n"));

    QImage page = whitePage(400, 400);
    QPainter p(&page);
    const PageLayoutInfo info = layoutPage(p, src, PageLimits{6000, 6000});
    p.end();
    ASSERT_EQ(info.status, LayoutStatus::Done);
    EXPECT_EQ(info.itemsDrawn, 3);
    EXPECT_DOUBLE_EQ(info.fittedSize, 12); // fits: the size is kept

    const int lineH = int(info.cellHeight / 15);
    const int textW = int(info.cellWidth * 8 / 15);
    ASSERT_GT(lineH, 5);
    // Each of the three lines carries red ink, nothing lies below them or
    // right of the 8 characters, and no other colour is used.
    for (int line = 0; line < 3; ++line) {
        const QRect band(0, line * lineH, textW, lineH);
        EXPECT_GT(countNonWhite(page, band), 10) << "line " << line;
    }
    EXPECT_EQ(countNonWhite(page, QRect(0, 3 * lineH + 1, 400, 400 - 3 * lineH - 1)), 0);
    EXPECT_EQ(countNonWhite(page, QRect(textW + 2, 0, 400 - textW - 2, 400)), 0);
    int reddish = 0, other = 0;
    for (int y = 0; y < 3 * lineH; ++y)
        for (int x = 0; x < textW; ++x) {
            const QRgb c = page.pixel(x, y);
            if (c == qRgb(255, 255, 255))
                continue;
            (qRed(c) == 255 && qGreen(c) == qBlue(c)) ? ++reddish : ++other;
        }
    EXPECT_GT(reddish, 30);
    EXPECT_EQ(other, 0);
}

TEST(LayoutPage, TextFontShrinksUntilTheGridFits)
{
    QTemporaryDir dir;
    PrintSource src;
    src.resultKind = 3;
    src.gridColumns = 40;
    src.gridRows = 120;
    src.textPath = dir.filePath("text.tmp");
    src.fontName = "Terminal"; // laid out in "Courier New Cyr"
    src.fontSize = 10;
    QByteArray lines;
    for (int i = 0; i < 120; ++i)
        lines += QByteArray(80, 'Q') + "\r\n";
    ASSERT_TRUE(writeFile(src.textPath, lines));

    const PageLimits limits = previewLimits(11906, 16838);
    QImage page = whitePage(749, 1059);
    QPainter p(&page);
    const PageLayoutInfo info = layoutPage(p, src, limits);
    p.end();
    ASSERT_EQ(info.status, LayoutStatus::Done);
    EXPECT_EQ(info.itemsDrawn, 120);
    EXPECT_LT(info.fittedSize, 10);
    EXPECT_GT(info.fittedSize, 3);
    // The grid of "Q" cells fits the limits (the last pass may leave a hair
    // of rounding).
    EXPECT_LE(info.cellWidth * 80, limits.width * 1.02);
    EXPECT_LE(info.cellHeight * 120, limits.height * 1.02);
    // and fills one of the two directions nearly completely.
    EXPECT_GT(std::max(info.cellWidth * 80 / limits.width, info.cellHeight * 120 / limits.height), 0.9);
    // The last line is on the page, the area below the grid stays white.
    const int bottom = int(std::ceil(info.cellHeight * 120 / 15));
    const int lineH = int(info.cellHeight / 15);
    EXPECT_GT(countNonWhite(page, QRect(0, bottom - lineH, 200, lineH)), 0);
    EXPECT_EQ(countNonWhite(page, QRect(0, bottom + 2, 749, 1059 - bottom - 2)), 0);
}

TEST(LayoutPage, FigureGlyphsInCellColoursAtCellPositions)
{
    QTemporaryDir dir;
    PrintSource src;
    src.resultKind = 2;
    src.gridColumns = 3;
    src.gridRows = 2;
    src.colorPath = dir.filePath("color.tmp");
    src.fontName = "DejaVu Sans Mono";
    src.fontSize = 40;
    src.glyph = QChar(0x2588); // full block: fills its cell
    const quint32 colours[6] = {255, 65280, 16711680, 65793 * 128, 255 + 65536 * 255, 0};
    QByteArray lines;
    for (quint32 c : colours)
        lines += " " + QByteArray::number(c) + " \r\n";
    ASSERT_TRUE(writeFile(src.colorPath, lines));

    QImage page = whitePage(600, 400);
    QPainter p(&page);
    const PageLayoutInfo info = layoutPage(p, src, PageLimits{9000, 6000});
    p.end();
    ASSERT_EQ(info.status, LayoutStatus::Done);
    EXPECT_EQ(info.itemsDrawn, 6);
    EXPECT_DOUBLE_EQ(info.fittedSize, 40);
    const double cw = info.cellWidth / 15, ch = info.cellHeight / 15;
    for (int y = 1; y <= 2; ++y)
        for (int x = 1; x <= 3; ++x) {
            const quint32 c = colours[(y - 1) * 3 + x - 1];
            const QPointF at = figureCellPosition(x, y, cw, ch);
            const QRgb px = page.pixel(int(at.x() + cw / 2), int(at.y() + ch / 2));
            EXPECT_EQ(qRed(px), int(c & 255)) << x << "," << y;
            EXPECT_EQ(qGreen(px), int((c >> 8) & 255)) << x << "," << y;
            EXPECT_EQ(qBlue(px), int((c >> 16) & 255)) << x << "," << y;
        }
    // Nothing beyond the 3 x 2 cells.
    EXPECT_EQ(countNonWhite(page, QRect(int(3 * cw) + 2, 0, 600 - int(3 * cw) - 2, 400)), 0);
    EXPECT_EQ(countNonWhite(page, QRect(0, int(2 * ch) + 2, 600, 400 - int(2 * ch) - 2)), 0);
}

TEST(LayoutPage, FilledFiguresPaintTheirCellBackgrounds)
{
    QTemporaryDir dir;
    PrintSource src;
    src.resultKind = 2;
    src.gridColumns = 2;
    src.gridRows = 1;
    src.colorPath = dir.filePath("color.tmp");
    src.fontName = "DejaVu Sans Mono";
    src.fontSize = 40;
    src.glyph = QChar(u'.'); // a small glyph: most of the cell shows the background
    ASSERT_TRUE(writeFile(src.colorPath, " 0 65280 \r\n 0 \r\n"));
    QImage page = whitePage(300, 200);
    QPainter p(&page);
    const PageLayoutInfo info = layoutPage(p, src, PageLimits{4500, 3000});
    p.end();
    ASSERT_EQ(info.status, LayoutStatus::Done);
    const double cw = info.cellWidth / 15, ch = info.cellHeight / 15;
    // The first cell is green where the glyph is not, the second stays white.
    EXPECT_GT(countPixels(page, QRect(0, 0, int(cw), int(ch / 2)), qRgb(0, 255, 0)), int(cw * ch / 2 * 0.9));
    EXPECT_EQ(countNonWhite(page, QRect(int(cw) + 1, 0, int(cw) - 2, int(ch / 2))), 0);
}

TEST(LayoutPage, ShortColourFileEndsEarlyAndBigGridShrinks)
{
    QTemporaryDir dir;
    PrintSource src;
    src.resultKind = 2;
    src.gridColumns = 50;
    src.gridRows = 40;
    src.colorPath = dir.filePath("color.tmp");
    src.fontName = "DejaVu Sans Mono";
    src.fontSize = 22;
    src.glyph = QChar(0x2588);
    QByteArray lines;
    for (int i = 0; i < 75; ++i) // one row and a half
        lines += " 255 \r\n";
    ASSERT_TRUE(writeFile(src.colorPath, lines));

    QImage page = whitePage(500, 500);
    QPainter p(&page);
    const PageLimits limits{7000, 7000};
    const PageLayoutInfo info = layoutPage(p, src, limits);
    p.end();
    ASSERT_EQ(info.status, LayoutStatus::Done);
    EXPECT_EQ(info.itemsDrawn, 75);
    EXPECT_LT(info.fittedSize, 22);
    EXPECT_LE(info.cellWidth * 50, limits.width * 1.02);
    const int ch = int(std::ceil(info.cellHeight / 15));
    // Row 2 is drawn half way, row 3 not at all.
    const double cw = info.cellWidth / 15;
    EXPECT_EQ(qRed(page.pixel(int(20 * cw + cw / 2), ch + ch / 2)), 255);
    EXPECT_EQ(page.pixel(int(30 * cw + cw / 2), int(info.cellHeight / 15 * 1.5)), qRgb(255, 255, 255));
    EXPECT_EQ(countNonWhite(page, QRect(0, 2 * ch + 2, 500, 500 - 2 * ch - 2)), 0);
}

TEST(LayoutPage, NoResultOrMissingFileLeavesThePageWhite)
{
    QTemporaryDir dir;
    PrintSource none;
    none.resultKind = 0;
    none.gridColumns = 10;
    none.gridRows = 10;
    none.textPath = dir.filePath("text.tmp");
    ASSERT_TRUE(writeFile(none.textPath, "QQQQ\r\n"));
    QImage page = whitePage(100, 100);
    QPainter p(&page);
    EXPECT_EQ(layoutPage(p, none, PageLimits{1500, 1500}).status, LayoutStatus::Nothing);
    EXPECT_TRUE(sourceReadable(none));

    PrintSource missing = none;
    missing.resultKind = 3;
    missing.textPath = dir.filePath("gone.tmp");
    EXPECT_FALSE(sourceReadable(missing));
    EXPECT_EQ(layoutPage(p, missing, PageLimits{1500, 1500}).status, LayoutStatus::FileError);

    PrintSource noColour = missing;
    noColour.resultKind = 2;
    noColour.colorPath = QString();
    noColour.glyph = QChar('V');
    EXPECT_FALSE(sourceReadable(noColour));
    EXPECT_EQ(layoutPage(p, noColour, PageLimits{1500, 1500}).status, LayoutStatus::FileError);
    p.end();
    EXPECT_EQ(countNonWhite(page, page.rect()), 0);
}
