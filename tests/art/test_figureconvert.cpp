#include "art/figureconvert.h"
#include "base/options.h"

#include <QBuffer>
#include <gtest/gtest.h>

using namespace tessilor;

TEST(FigureCells, ColourAndGrey)
{
    EXPECT_EQ(figureCellColor(qRgb(255, 0, 0), false), 255u);
    EXPECT_EQ(figureCellColor(qRgb(255, 255, 255), false), 16777215u);
    EXPECT_EQ(figureCellColor(qRgb(255, 255, 255), true), 16777215u);
    EXPECT_EQ(figureCellColor(qRgb(10, 200, 30), true), 5263440u);
    EXPECT_EQ(figureCellColor(qRgb(1, 2, 3), false), 1u + 512u + 196608u);
}

TEST(FigureCells, ColourFileLine)
{
    EXPECT_EQ(colorFileLine(255), QByteArray(" 255 \r\n"));
    EXPECT_EQ(colorFileLine(0), QByteArray(" 0 \r\n"));
    EXPECT_EQ(colorFileLine(16777215), QByteArray(" 16777215 \r\n"));
}

namespace {
struct RecordingSink : FigureSink {
    std::vector<std::vector<quint32>> rows{1};
    std::vector<int> ends;
    void cell(quint32 c) override { rows.back().push_back(c); }
    void endRow(int, int n) override
    {
        ends.push_back(n);
        rows.emplace_back();
    }
};
} // namespace

TEST(FigureConversion, SixteenBySixteenGrid)
{
    QImage grid(16, 16, QImage::Format_RGB32);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            grid.setPixel(x, y, qRgb(x * 16, y * 16, 7));
    QByteArray file;
    QBuffer buf(&file);
    buf.open(QIODevice::WriteOnly);
    RecordingSink sink;
    const FigureResult r = convertToFigures(grid, false, &buf, &sink);
    EXPECT_EQ(r.counts.gridRows, 16);
    EXPECT_EQ(r.counts.gridColumns, 16);
    const QList<QByteArray> lines = file.split('\n');
    ASSERT_EQ(lines.size(), 257);
    EXPECT_EQ(lines[0], QByteArray(" 458752 \r")); // (0, 0, 7)
    EXPECT_EQ(lines[17], colorFileLine(rgbValue(16, 16, 7)).chopped(1));
    ASSERT_EQ(sink.ends.size(), 16u);
    EXPECT_EQ(sink.rows[3][5], rgbValue(80, 48, 7));
}

TEST(FigureConversion, StopAfterSevenCellsOfRowThree)
{
    QImage grid(20, 16, QImage::Format_RGB32);
    grid.fill(qRgb(10, 200, 30));
    qint16 stop = 0;
    int cells = 0;
    RunHooks hooks;
    hooks.stopFlag = &stop;
    hooks.yieldIntervalMs = 0;
    hooks.yield = [&] {
        if (++cells == 3 * 21 + 7) // 20 cells and a row end per row
            stop = -1;
    };
    QByteArray file;
    QBuffer buf(&file);
    buf.open(QIODevice::WriteOnly);
    RecordingSink sink;
    const FigureResult r = convertToFigures(grid, true, &buf, &sink, hooks);
    EXPECT_EQ(file.count('\n'), 3 * 20 + 7);
    EXPECT_TRUE(file.startsWith(" 5263440 \r\n"));
    EXPECT_EQ(r.counts.gridRows, 4);
    EXPECT_EQ(sink.ends, (std::vector<int>{20, 20, 20, 7}));
    EXPECT_TRUE(r.counts.stopped);
}
