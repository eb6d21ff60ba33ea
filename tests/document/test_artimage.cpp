// The picture of a result: the PNG file, written band by band, reads back
// as the whole picture drawn at once; a device that takes nothing is a
// failure; the picture keeps its size whatever page a window gave the
// document.
#include "document/artimage.h"
#include "document/conversion.h"
#include "document/documentfill.h"
#include "document/mosaiclayout.h"
#include "picture/linearlight.h"
#include "picture/picturesource.h"

#include <QBuffer>
#include <QFont>
#include <QFontDatabase>
#include <QImage>
#include <QTextDocument>
#include <gtest/gtest.h>
#include <vector>

using namespace tessilor;

namespace {

// A text result of many lines in many colours, several bands tall.
void fillColouredText(QTextDocument &doc, int lines)
{
    prepareResultDocument(doc);
    QString text;
    std::vector<quint32> colors;
    for (int i = 0; i < lines; ++i) {
        for (int j = 0; j < 40; ++j) {
            text += QChar(u'A' + (i + j) % 26);
            colors.push_back(quint32((i * 40 + j) * 2654435761u) & 0xFFFFFF);
        }
        text += QStringLiteral("\r\n");
    }
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setPointSize(12);
    fillPictureTextDocument(doc, text, font, colors);
}

class FailingDevice : public QIODevice
{
public:
    FailingDevice() { open(QIODevice::WriteOnly); }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *, qint64) override { return -1; }
};

} // namespace

TEST(ArtImage, PngReadsBackAsTheWholePicture)
{
    QTextDocument doc;
    fillColouredText(doc, 120);
    const QImage whole = renderArtImage(doc);
    ASSERT_FALSE(whole.isNull());
    EXPECT_EQ(whole.size(), artImageSize(doc));
    ASSERT_GT(whole.height(), 3 * 256); // more than three bands

    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_EQ(writeArtPng(doc, buffer), ArtImageError::None);
    QImage read;
    ASSERT_TRUE(read.loadFromData(png, "PNG"));
    EXPECT_EQ(read.convertToFormat(QImage::Format_RGB32), whole);

    FailingDevice failing;
    EXPECT_EQ(writeArtPng(doc, failing), ArtImageError::WriteFailed);
}

TEST(ArtImage, APageWidthDoesNotWidenThePicture)
{
    QTextDocument doc;
    fillColouredText(doc, 3);
    const QImage narrow = renderArtImage(doc);
    // A window wider than the art lays the document out on its width.
    doc.setPageSize(QSizeF(narrow.width() * 3, -1));
    EXPECT_EQ(renderArtImage(doc), narrow);
    EXPECT_EQ(doc.pageSize().width(), narrow.width() * 3);
}

// Grey figures with the fill, drawn as the window and the PNG draw them (the
// glyph's soft edges blended with the background as sRGB values): each
// cell's mean light is its grey's, (R + G + B) / 3 of its sampled colour,
// dark and light cells alike. The glyph's outline alone measures ink the
// drawing does not have, and the cells came out lighter.
TEST(ArtImage, FilledGreyCellsDrawnHaveTheLightOfTheirGreys)
{
    const int id = QFontDatabase::addApplicationFont(QStringLiteral(TESSILOR_FIGURE_FONT));
    ASSERT_GE(id, 0);
    const QString family = QFontDatabase::applicationFontFamilies(id).value(0);
    // Greys in every part of the range, in blocks of 3 x 3 cells: a block's
    // middle cell has neighbours of its own colour, as in a photograph.
    QImage picture(48 * 4, 24 * 4, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const int block = (x / 12) + 16 * (y / 12);
            const int v = (block * 37) % 256;
            picture.setPixel(x, y, qRgb(v, (v * 3) % 256, 255 - v));
        }
    const DecodedPicture source(picture);
    for (const double points : {4.0, 8.0}) {
        SCOPED_TRACE(points);
        ConversionOptions o;
        o.mode = Mode::Figures;
        o.columns = 48;
        o.rows = 24;
        o.figureFamily = family;
        o.figureSize = points;
        o.gray = true;
        QBuffer greys;
        greys.open(QIODevice::WriteOnly);
        ConversionOutputs plain;
        plain.colors = &greys;
        ASSERT_EQ(convertPicture(o, source, plain).error, ConversionError::None);
        o.fill = true;
        QTextDocument doc;
        prepareResultDocument(doc);
        ConversionOutputs filled;
        filled.document = &doc;
        ASSERT_EQ(convertPicture(o, source, filled).error, ConversionError::None);
        const QImage drawn = renderArtImage(doc);
        const auto *layout = qobject_cast<const MosaicLayout *>(doc.documentLayout());
        ASSERT_TRUE(layout && !drawn.isNull());
        const QList<QByteArray> lines = greys.data().split('\n');
        double error = 0, bias = 0;
        int cells = 0;
        // The blocks' middle cells: each cell's pixels, its neighbours' ink
        // included.
        for (int row = 1; row < 24; row += 3) {
            for (int column = 1; column < 48; column += 3) {
                const QPointF a = layout->cellOrigin(row, column), b = layout->cellOrigin(row + 1, column + 1);
                double light = 0;
                int pixels = 0;
                for (int y = int(std::ceil(a.y() - 0.5)); y + 0.5 < b.y(); ++y)
                    for (int x = int(std::ceil(a.x() - 0.5)); x + 0.5 < b.x(); ++x, ++pixels)
                        light += srgbToLinear(qRed(drawn.pixel(x, y)));
                const int grey = int(lines.value(row * 48 + column).trimmed().toUInt() & 0xFF);
                const double d = linearToSrgb8(light / pixels) - grey;
                error += std::abs(d);
                bias += d;
                ++cells;
            }
        }
        std::printf("%.1f points: mean error %.2f, bias %+.2f\n", points, error / cells, bias / cells);
        EXPECT_LE(error / cells, 1.5);
        EXPECT_LE(std::abs(bias / cells), 1.0);
    }
}
