// Text in the picture's colours and text for terminals: which colour every
// character takes, and the exact escape codes for a small known picture.
#include "art/ansiart.h"
#include "art/figureconvert.h"
#include "art/textcolors.h"
#include "base/options.h"

#include <QBuffer>
#include <gtest/gtest.h>
#include <vector>

using namespace tessilor;

namespace {

// A grid of 2 x 2 cells: red, green / blue, white.
QImage smallGrid()
{
    QImage grid(2, 2, QImage::Format_RGB32);
    grid.setPixel(0, 0, qRgb(255, 0, 0));
    grid.setPixel(1, 0, qRgb(0, 255, 0));
    grid.setPixel(0, 1, qRgb(0, 0, 255));
    grid.setPixel(1, 1, qRgb(255, 255, 255));
    return grid;
}

constexpr quint32 R = rgbValue(255, 0, 0), G = rgbValue(0, 255, 0), B = rgbValue(0, 0, 255),
                  W = rgbValue(255, 255, 255);

QByteArray written(const std::function<bool(QIODevice &)> &write)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(write(buffer));
    return bytes;
}

} // namespace

TEST(PictureTextColors, EveryCharacterTakesItsCell)
{
    const struct {
        const char *name;
        QString text;
        int perCell;
        std::vector<quint32> colors;
    } cases[] = {
        // The classic method: two characters a cell.
        {"classic", QStringLiteral("abcd\r\nefgh\r\n"), 2, {R, R, G, G, B, B, W, W}},
        // The tone method: a character a half cell, on a grid of its own.
        {"tone", QStringLiteral("ab\r\ncd\r\n"), 1, {R, G, B, W}},
        // Lone line ends count as well; a stopped last line is shorter.
        {"lone ends, short last line", QStringLiteral("abcd\nef"), 2, {R, R, G, G, B, B}},
        // Past the grid: its last column and row.
        {"past the grid", QStringLiteral("abcdef\r\ngh\r\nij"), 2, {R, R, G, G, G, G, B, B, B, B}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(pictureTextColors(c.text, smallGrid(), c.perCell), c.colors) << c.name;
    EXPECT_EQ(charactersPerColorCell(TextMethod::Classic), 2);
    EXPECT_EQ(charactersPerColorCell(TextMethod::Tone), 1);
}

TEST(PictureTextColors, ColourFileHasALinePerCharacter)
{
    const QByteArray file = written([](QIODevice &out) { return writeTextColorFile({R, 65280, 0}, out); });
    EXPECT_EQ(file, QByteArray(" 255 \r\n 65280 \r\n 0 \r\n"));
}

TEST(AnsiArt, EscapeCodesOfASmallPicture)
{
    const QByteArray red = "\x1b[38;2;255;0;0m", green = "\x1b[38;2;0;255;0m", blue = "\x1b[38;2;0;0;255m",
                     white = "\x1b[38;2;255;255;255m", reset = "\x1b[0m";
    EXPECT_EQ(ansiForeground(rgbValue(1, 22, 133)), QByteArray("\x1b[38;2;1;22;133m"));

    // One colour for the text: set once a line, reset at its end.
    EXPECT_EQ(written([](QIODevice &out) { return writeAnsiText("ab\r\ncd\r\n", rgbValue(0, 0, 255), out); }),
              blue + "ab" + reset + "\n" + blue + "cd" + reset + "\n");
    // The picture's colours: set where the colour changes; a character of
    // several bytes keeps together.
    EXPECT_EQ(written([](QIODevice &out) {
                  return writeAnsiPictureText("ab\xd0\x96\xd0\x96\r\n\xd0\x96\xd0\x96xx\r\n", smallGrid(), 2, out);
              }),
              red + "ab" + green + "\xd0\x96\xd0\x96" + reset + "\n" + blue + "\xd0\x96\xd0\x96" + white + "xx" +
                  reset + "\n");
    // Figures: a full block per cell in the cell's colour.
    const QByteArray block = "\xe2\x96\x88";
    EXPECT_EQ(written([](QIODevice &out) {
                  AnsiFigureSink sink(out);
                  QImage grid = smallGrid();
                  grid.setPixel(1, 1, qRgb(0, 0, 255));
                  const FigureResult r = convertToFigures(grid, false, nullptr, &sink);
                  return sink.finish() && r.error == ConvertError::None;
              }),
              red + block + green + block + reset + "\n" + blue + block + block + reset + "\n");
}
