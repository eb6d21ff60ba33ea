#include "art/textconvert.h"
#include "art/fonttables.h"
#include "base/options.h"

#include <QBuffer>
#include <gtest/gtest.h>

using namespace tessilor;

TEST(TextCells, GrayIsTheRoundedThirdOfTheSum)
{
    EXPECT_EQ(grayFromSum(2), 1);
    EXPECT_EQ(grayFromSum(383), 128);
    EXPECT_EQ(grayFromSum(382), 127);
    EXPECT_EQ(grayFromSum(0), 0);
    EXPECT_EQ(grayFromSum(765), 255);
    EXPECT_EQ(grayFromSum(1), 0);
}

TEST(TextCells, Contrast)
{
    EXPECT_EQ(applyContrast(100, 20), 80);
    EXPECT_EQ(applyContrast(200, 20), 220);
    EXPECT_EQ(applyContrast(10, 20), 0);
    EXPECT_EQ(applyContrast(250, 20), 255);
    EXPECT_EQ(applyContrast(100, -20), 120);
    EXPECT_EQ(applyContrast(120, -20), 127);
    EXPECT_EQ(applyContrast(200, -20), 180);
    EXPECT_EQ(applyContrast(130, -20), 127);
    for (int g = 0; g <= 255; ++g)
        EXPECT_EQ(applyContrast(g, -200), 127) << g;
    EXPECT_EQ(applyContrast(127, 0), 127);
    EXPECT_EQ(applyContrast(128, 127), 255);
    EXPECT_EQ(applyContrast(127, 127), 0);
}

TEST(TextCells, StepIsHeldInSinglePrecision)
{
    EXPECT_FLOAT_EQ(rampStep(81), 3.2000000477f);
    EXPECT_GT(double(rampStep(81)), 3.2);
    EXPECT_EQ(rampStep(65), 4.0f);
}

TEST(TextCells, WhiteAndBlackOnEveryRamp)
{
    const int n[4] = {81, 49, 73, 65};
    const int black[4] = {80, 48, 72, 65};
    for (int f = 0; f < 4; ++f) {
        const float step = rampStep(n[f]);
        EXPECT_EQ(rampIndex(255, step), 1) << f;
        EXPECT_EQ(rampIndex(0, step), black[f]) << f;
    }
}

static QImage solid(int w, int h, QRgb c)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(c);
    return img;
}

static QByteArray convert(const QImage &grid, int font, qint16 contrast, TextResult *res = nullptr,
                          const RunHooks &hooks = {})
{
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    const TextResult r = convertToText(grid, rampFonts()[size_t(font - 1)].ramp, contrast, buf, hooks);
    if (res)
        *res = r;
    return bytes;
}

TEST(TextConversion, FileFormatAndCounters)
{
    TextResult r;
    const QByteArray out = convert(solid(40, 120, qRgb(255, 255, 255)), 1, 0, &r);
    const QList<QByteArray> lines = out.split('\n');
    ASSERT_EQ(lines.size(), 121); // the last line also ends with CR LF
    EXPECT_TRUE(lines.last().isEmpty());
    for (int i = 0; i < 120; ++i)
        ASSERT_EQ(lines[i], QByteArray(80, ' ') + '\r');
    EXPECT_EQ(r.counts.gridColumns, 40);
    EXPECT_EQ(r.counts.gridRows, 120);
    EXPECT_FALSE(r.counts.stopped);
}

TEST(TextConversion, CyrillicCharactersAreWrittenAsUtf8)
{
    // First ramp: gray 35 gives k = 221, q = 69.06, index 70 (Љ); black
    // index 80 (M); gray 45 gives k = 211, q = 65.94, index 66 (Ё).
    QImage grid = solid(8, 16, qRgb(35, 35, 35));
    grid.setPixel(1, 0, qRgb(0, 0, 0));
    grid.setPixel(2, 0, qRgb(45, 45, 45));
    const QByteArray out = convert(grid, 1, 0);
    const QString first = QString::fromUtf8(out.left(out.indexOf('\r')));
    EXPECT_EQ(first.left(6), QStringLiteral("\u0409\u0409MM\u0401\u0401"));
    EXPECT_EQ(first.size(), 16);
}

TEST(TextConversion, ContrastChangesTheChosenCharacter)
{
    // Terminal ramp, step 4. Gray 100: k = 156, index 40, '$'.
    // Contrast 20 makes it gray 80: k = 176, index 45, '4'.
    const QImage grid = solid(8, 16, qRgb(100, 100, 100));
    EXPECT_EQ(convert(grid, 4, 0).left(4), QByteArray("$$$$"));
    EXPECT_EQ(convert(grid, 4, 20).left(4), QByteArray("4444"));
    // Contrast -200 pulls everything to gray 127: k = 129, index 33, '?'.
    EXPECT_EQ(convert(solid(8, 16, qRgb(255, 255, 255)), 4, -200).left(2), QByteArray("??"));
}

TEST(TextConversion, StopInTheMiddleOfARowKeepsThePartialRow)
{
    const QImage grid = solid(40, 120, qRgb(0, 0, 0));
    qint16 stop = 0;
    int cells = 0;
    RunHooks hooks;
    hooks.stopFlag = &stop;
    hooks.yieldIntervalMs = 0; // yield after every cell and at every row end
    hooks.yield = [&] {
        if (++cells == 5 * 41 + 13)
            stop = -1;
    };
    TextResult r;
    const QByteArray out = convert(grid, 1, 0, &r, hooks);
    const QList<QByteArray> lines = out.split('\n');
    ASSERT_EQ(lines.size(), 7);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(lines[i].size(), 81) << i;
    EXPECT_EQ(lines[5], QByteArray(26, 'M') + '\r');
    EXPECT_EQ(r.counts.gridRows, 6);
    EXPECT_EQ(r.counts.gridColumns, 40);
    EXPECT_EQ(r.counts.endRow, 6);
    EXPECT_TRUE(r.counts.stopped);
}

TEST(TextConversion, StopBeforeTheFirstCellWritesNothing)
{
    qint16 stop = -1;
    RunHooks hooks;
    hooks.stopFlag = &stop;
    TextResult r;
    EXPECT_TRUE(convert(solid(8, 16, 0), 1, 0, &r, hooks).isEmpty());
    EXPECT_EQ(r.counts.gridRows, 0);
    EXPECT_EQ(r.counts.gridColumns, 0);
}

TEST(TextConversion, ProgressAfterEveryRowAndAtTheEnd)
{
    std::vector<double> seen;
    RunHooks hooks;
    hooks.percent = [&](double p) { seen.push_back(p); };
    convert(solid(8, 16, 0), 2, 0, nullptr, hooks);
    ASSERT_EQ(seen.size(), 17u);
    EXPECT_DOUBLE_EQ(seen.front(), 0.0);
    EXPECT_DOUBLE_EQ(seen[15], 100.0);
    EXPECT_DOUBLE_EQ(seen.back(), 16.0 / 15.0 * 100.0); // slightly above 100
}

TEST(TextConversion, Failures)
{
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    EXPECT_EQ(convertToText(solid(8, 16, 0), QStringLiteral("x"), 0, buf).error, ConvertError::RampTooShort);
    EXPECT_EQ(convertToText(QImage(), QStringLiteral("xy"), 0, buf).error, ConvertError::EmptyGrid);
    QBuffer closed;
    EXPECT_EQ(convertToText(solid(8, 16, 0), QStringLiteral("xy"), 0, closed).error, ConvertError::WriteFailed);
}
