// The picture of a result: the PNG file, written band by band, reads back
// as the whole picture drawn at once; a device that takes nothing is a
// failure; the picture keeps its size whatever page a window gave the
// document.
#include "document/artimage.h"
#include "document/documentfill.h"

#include <QBuffer>
#include <QFont>
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
