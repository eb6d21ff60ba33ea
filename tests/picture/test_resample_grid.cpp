#include "base/numparse.h"
#include "picture/grid.h"
#include "picture/picturesource.h"
#include "picture/resample.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

using namespace tessilor;

// Straightforward per-pixel form of the box filter.
static QRgb referencePixel(const QImage &src, int x, int y, int dW, int dH)
{
    const qint64 sW = src.width(), sH = src.height();
    const qint64 x0 = x * sW / dW, x1 = std::max(x0 + 1, (x + 1) * sW / dW);
    const qint64 y0 = y * sH / dH, y1 = std::max(y0 + 1, (y + 1) * sH / dH);
    qint64 r = 0, g = 0, b = 0, n = 0;
    for (qint64 sy = y0; sy < y1; ++sy)
        for (qint64 sx = x0; sx < x1; ++sx) {
            const QRgb p = src.pixel(int(sx), int(sy));
            r += qRed(p);
            g += qGreen(p);
            b += qBlue(p);
            ++n;
        }
    return qRgb(int((r + n / 2) / n), int((g + n / 2) / n), int((b + n / 2) / n));
}

static QImage noise(int w, int h, quint32 seed)
{
    QImage img(w, h, QImage::Format_RGB32);
    QRandomGenerator rng(seed);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb(rng.bounded(256), rng.bounded(256), rng.bounded(256)));
    return img;
}

TEST(Resample, MatchesThePerPixelRuleForShrinkingAndEnlarging)
{
    const QImage src = noise(53, 37, 7);
    const std::pair<int, int> sizes[] = {{8, 16}, {17, 5},   {53, 37},   {60, 80},
                                         {1, 1},  {106, 11}, {200, 150}, {20, 111}};
    for (auto [w, h] : sizes) {
        const QImage out = resampleBox(src, w, h);
        ASSERT_EQ(out.size(), QSize(w, h));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                ASSERT_EQ(out.pixel(x, y), referencePixel(src, x, y, w, h)) << w << "x" << h << " at " << x << "," << y;
    }
}

TEST(Resample, HandComputedAverages)
{
    QImage src(4, 1, QImage::Format_RGB32);
    src.setPixel(0, 0, qRgb(0, 0, 0));
    src.setPixel(1, 0, qRgb(1, 255, 10));
    src.setPixel(2, 0, qRgb(100, 100, 100));
    src.setPixel(3, 0, qRgb(101, 0, 200));
    const QImage out = resampleBox(src, 2, 1);
    EXPECT_EQ(out.pixel(0, 0), qRgb(1, 128, 5));    // (0+1+1)/2, (255+1)/2, (10+1)/2
    EXPECT_EQ(out.pixel(1, 0), qRgb(101, 50, 150)); // (201+1)/2, (100+1)/2, (300+1)/2
    EXPECT_TRUE(resampleBox(src, 0, 5).isNull());
    EXPECT_TRUE(resampleBox(QImage(), 5, 5).isNull());
}

namespace {

// The grid of two field texts, each read once as the desktop's fields and
// the command line read them.
GridSize gridOf(Mode mode, const QString &columns, const QString &rows, GridClamp clamp = GridClamp::EachSide)
{
    return clampGrid(mode, leadingNumber(columns), leadingNumber(rows), clamp);
}

} // namespace

TEST(Grid, TextModeClampsAndWritesBack)
{
    GridSize g = gridOf(Mode::Text, QStringLiteral("80"), QStringLiteral("120"));
    EXPECT_EQ(g.width, 40);
    EXPECT_EQ(g.height, 120);
    EXPECT_EQ(g.columns, 80);

    g = gridOf(Mode::Text, QStringLiteral("81"), QStringLiteral("120"));
    EXPECT_EQ(g.width, 40);
    EXPECT_EQ(g.columns, 80);
    g = gridOf(Mode::Text, QStringLiteral("10"), QStringLiteral("120"));
    EXPECT_EQ(g.width, 8);
    EXPECT_EQ(g.columns, 16);
    g = gridOf(Mode::Text, QStringLiteral("2000"), QStringLiteral("120"));
    EXPECT_EQ(g.width, 512);
    EXPECT_EQ(g.columns, 1024);
    g = gridOf(Mode::Text, QStringLiteral("80"), QStringLiteral("abc"));
    EXPECT_EQ(g.height, 16);
    g = gridOf(Mode::Text, QStringLiteral("  100.9px"), QStringLiteral("40.9"));
    EXPECT_EQ(g.width, 50);
    EXPECT_EQ(g.height, 40);
    g = gridOf(Mode::Text, QStringLiteral("-7"), QStringLiteral("1e9"));
    EXPECT_EQ(g.width, 8);
    EXPECT_EQ(g.height, 1024);
}

TEST(Grid, FigureModeClampsAndWritesBack)
{
    GridSize g = gridOf(Mode::Figures, QStringLiteral("5"), QStringLiteral("5000"));
    EXPECT_EQ(g.width, 16);
    EXPECT_EQ(g.height, 1024);
    EXPECT_EQ(g.columns, 16);
    g = gridOf(Mode::Figures, QStringLiteral("2000"), QStringLiteral("17.99"));
    EXPECT_EQ(g.width, 1024);
    EXPECT_EQ(g.height, 17);
    EXPECT_EQ(clampGrid(Mode::Figures, 81, 30).width, 81);
    EXPECT_EQ(clampGrid(Mode::Text, 81, 30).width, 40);
}

TEST(Grid, DisplayCopyIsUsedOnlyAtGridSize)
{
    const QImage src = noise(40, 30, 3);
    QImage display = noise(20, 16, 9); // deliberately not a resample of src
    const DecodedPicture picture(src, display);
    auto colours = [&](QSize grid) {
        SamplingRequest request;
        request.sizeFor = [grid](QSize) { return grid; };
        request.colors = true;
        return picture.sample(request).colors;
    };
    EXPECT_EQ(colours(QSize(20, 16)), display);
    EXPECT_EQ(colours(QSize(20, 17)), resampleBox(src, 20, 17));
}

TEST(Grid, ProportionalRowsUseASinglePrecisionAspect)
{
    const float aspect = 400.0f / 300.0f;
    EXPECT_EQ(proportionalRows(Mode::Text, 160, aspect), 59);
    EXPECT_EQ(proportionalRows(Mode::Figures, 100, aspect), 74);
    EXPECT_EQ(proportionalRows(Mode::Text, 160, 2.0f), 40);
    EXPECT_EQ(proportionalRows(Mode::Figures, leadingNumber(QStringLiteral("abc")), 2.0f), 0);
    // A fraction counts until the rows are cut: 100.9 / 0.25 = 403.6.
    EXPECT_EQ(proportionalRows(Mode::Figures, 100.9, 0.25f), 403);
}

// The grid clamp of the proportional box: both counts by one factor, in
// both modes; each on its own without it.
TEST(Grid, ClampKeepsTheProportionsWhenAsked)
{
    const auto keep = GridClamp::KeepProportions;
    const struct {
        const char *what;
        Mode mode;
        const char *columns, *rows;
        GridClamp clamp;
        const char *expectedColumns, *expectedRows;
    } cases[] = {
        {"a wide picture fit to its window", Mode::Text, "1372", "429", keep, "1024", "320"},
        {"the same at 200 %", Mode::Text, "10240", "3200", keep, "1024", "320"},
        {"each on its own", Mode::Text, "1372", "429", GridClamp::EachSide, "1024", "429"},
        {"inside the limits", Mode::Text, "300", "200", keep, "300", "200"},
        {"rows farthest out", Mode::Text, "800", "2048", keep, "400", "1024"},
        {"too small: nothing grows past what was asked", Mode::Text, "10", "3", keep, "16", "16"},
        {"figures, wide", Mode::Figures, "1372", "429", keep, "1024", "320"},
        {"figures, 4:3", Mode::Figures, "2000", "1500", keep, "1024", "768"},
        {"figures, 3:4", Mode::Figures, "1500", "2000", keep, "768", "1024"},
        {"figures, too small", Mode::Figures, "10", "5", keep, "16", "16"},
        {"never below 16 rows", Mode::Figures, "5000", "20", keep, "1024", "16"},
        {"never below 16 columns", Mode::Text, "20", "5000", keep, "16", "1024"},
        {"beyond 32 bits, still in proportion", Mode::Figures, "1e30", "1e29", keep, "1024", "102"},
        {"no number: each on its own", Mode::Figures, "abc", "500", keep, "16", "500"},
        {"negative: each on its own", Mode::Text, "-5", "100", keep, "16", "100"},
    };
    for (const auto &c : cases) {
        const GridSize g = gridOf(c.mode, QString::fromLatin1(c.columns), QString::fromLatin1(c.rows), c.clamp);
        EXPECT_EQ(QString::number(g.columns), QString::fromLatin1(c.expectedColumns)) << c.what;
        EXPECT_EQ(QString::number(g.height), QString::fromLatin1(c.expectedRows)) << c.what;
        const int perCell = c.mode == Mode::Text ? 2 : 1;
        EXPECT_EQ(g.width * perCell, g.columns) << c.what;
    }
}
