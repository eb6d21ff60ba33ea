// Text in the picture's colours and text for terminals: which colour every
// character takes, and the exact escape codes for a small known picture.
#include "art/ansiart.h"
#include "art/figureconvert.h"
#include "art/textcolors.h"
#include "art/textconvert.h"
#include "art/toneconvert.h"
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
    // The classic method: two characters a cell, both in the cell's colour;
    // a grid in another format gives the same colours.
    for (const QImage &grid : {smallGrid(), smallGrid().convertToFormat(QImage::Format_RGB888)}) {
        CharacterColors colors;
        written([&](QIODevice &out) {
            return convertToText(grid, QStringLiteral(" #"), 0, out, {}, &colors).error == ConvertError::None;
        });
        EXPECT_EQ(colors, (CharacterColors{R, R, G, G, B, B, W, W})) << int(grid.format());
    }

    // The tone method: a character a pixel of a colour grid of the luma
    // grid's size, each row written left to right whatever way the error
    // diffusion walked it.
    ToneRamp ramp;
    ramp.chars = QStringLiteral(" .:#");
    ramp.coverage = {0.0f, 0.1f, 0.3f, 0.6f};
    ramp.level = {0.0f, 1.0f / 6, 0.5f, 1.0f};
    LumaGrid luma;
    luma.width = 2;
    luma.height = 2;
    luma.luma = {0.2f, 0.4f, 0.6f, 0.8f};
    const QImage grid = smallGrid();
    CharacterColors colors;
    const QByteArray text = written([&](QIODevice &out) {
        return convertToToneText(luma, ramp, 0, out, {}, ArtBackground::Light, {}, ToneColors{pixelsOf(grid), &colors})
                   .error == ConvertError::None;
    });
    EXPECT_EQ(colors, (CharacterColors{R, G, B, W}));
    EXPECT_EQ(QString::fromUtf8(text).remove(QStringLiteral("\r\n")).size(), qsizetype(colors.size()));
    // A colour grid of another size is refused, not read past its edge.
    const QImage narrow = grid.copy(0, 0, 1, 2);
    QBuffer sink;
    sink.open(QIODevice::WriteOnly);
    EXPECT_EQ(
        convertToToneText(luma, ramp, 0, sink, {}, ArtBackground::Light, {}, ToneColors{pixelsOf(narrow), &colors})
            .error,
        ConvertError::EmptyGrid);

    // A stopped run: a colour for every character it wrote, no more.
    QImage wide(8, 3, QImage::Format_RGB32);
    wide.fill(qRgb(10, 20, 30));
    // Stopped in the second row.
    qint16 stop = 0;
    int cells = 0;
    RunHooks hooks;
    hooks.stopFlag = &stop;
    hooks.yieldIntervalMs = 0;
    hooks.yield = [&] { stop = ++cells >= 11 ? 1 : 0; };
    CharacterColors stopped;
    const QByteArray part = written([&](QIODevice &out) {
        return convertToText(wide, QStringLiteral(" #"), 0, out, hooks, &stopped).error == ConvertError::None;
    });
    EXPECT_EQ(QString::fromUtf8(part).remove(QStringLiteral("\r\n")).size(), qsizetype(stopped.size()));
    EXPECT_GT(stopped.size(), size_t(2 * 8));
    EXPECT_LT(stopped.size(), size_t(2 * 8 * 2));
    EXPECT_EQ(stopped.front(), rgbValue(10, 20, 30));
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
    // The picture's colours: set where the colour changes, anew on every
    // line; a character of several bytes keeps together.
    EXPECT_EQ(
        written([](QIODevice &out) {
            return writeAnsiPictureText("ab\xd0\x96\xd0\x96\r\n\xd0\x96\xd0\x96xx\r\n", {R, R, G, G, G, B, W, W}, out);
        }),
        red + "ab" + green + "\xd0\x96\xd0\x96" + reset + "\n" + green + "\xd0\x96" + blue + "\xd0\x96" + white + "xx" +
            reset + "\n");
    // Without colours the terminal's own foreground.
    EXPECT_EQ(written([](QIODevice &out) { return writeAnsiPictureText("ab\r\n", {}, out); }),
              QByteArray(kAnsiDefaultForeground) + "ab" + reset + "\n");
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
