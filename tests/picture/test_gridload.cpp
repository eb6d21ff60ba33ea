#include "picture/boxfilter.h"
#include "picture/picturesource.h"
#include "picture/resample.h"
#include "support/picturefile.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tessilor;
using tessilor::testsupport::sampleFile;

namespace {

QImage photo(int w, int h, quint32 seed)
{
    QImage img(w, h, QImage::Format_RGB32);
    QRandomGenerator rng(seed);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb((x * 7 + y) % 256, (y * 3) % 256, int(rng.bounded(256))));
    return img;
}

QString writeJpeg(const QTemporaryDir &dir, const QString &name, const QImage &img, int quality, bool progressive)
{
    const QString path = dir.filePath(name);
    QImageWriter w(path, "jpeg");
    w.setQuality(quality);
    w.setProgressiveScanWrite(progressive);
    EXPECT_TRUE(w.write(img));
    return path;
}

// The grid the full loader gives for the same file.
QImage referenceGrid(const QString &path, QSize grid)
{
    const LoadedImage full = loadImage(path);
    EXPECT_TRUE(full.ok());
    return resampleBox(full.image, grid.width(), grid.height());
}

} // namespace

TEST(BoxReducer, StreamedRowsGiveTheWholePictureResult)
{
    const QImage src = photo(97, 61, 5);
    for (QSize d : {QSize(97, 61), QSize(40, 30), QSize(1, 1), QSize(96, 7), QSize(13, 60)}) {
        BoxReducer r(src.width(), src.height(), d.width(), d.height());
        ASSERT_TRUE(r.valid());
        for (int y = 0; y < src.height(); ++y)
            r.addRow(reinterpret_cast<const QRgb *>(src.constScanLine(y)));
        EXPECT_EQ(imageOf(r.take()), resampleBox(src, d.width(), d.height())) << d.width() << "x" << d.height();
    }
    EXPECT_FALSE(BoxReducer(10, 10, 11, 5).valid()); // enlarging is not streamed

    // Cells wider than 256 pixels take the wide-sum path; all-white keeps
    // every channel at its maximum.
    QImage white(1030, 3, QImage::Format_RGB32);
    white.fill(qRgb(255, 254, 253));
    white.setPixel(1029, 2, qRgb(0, 1, 2));
    BoxReducer wide(1030, 3, 3, 1);
    for (int y = 0; y < 3; ++y)
        wide.addRow(reinterpret_cast<const QRgb *>(white.constScanLine(y)));
    EXPECT_EQ(imageOf(wide.take()), resampleBox(white, 3, 1));
}

TEST(GridLoad, JpegGridsMatchTheFullLoader)
{
    QTemporaryDir dir;
    struct Case {
        QImage img;
        int quality;
        bool progressive;
    };
    const QImage gray = photo(123, 77, 9).convertToFormat(QImage::Format_Grayscale8);
    const Case cases[] = {{photo(250, 170, 1), 90, false},
                          {photo(251, 171, 2), 35, false},
                          {photo(130, 200, 3), 80, true},
                          {gray, 75, false}};
    int n = 0;
    for (const Case &c : cases) {
        const QString path = writeJpeg(dir, QStringLiteral("p%1.jpg").arg(n++), c.img, c.quality, c.progressive);
        for (QSize g :
             {QSize(40, 30), QSize(8, 16), QSize(c.img.width(), c.img.height()), QSize(c.img.width() + 5, 20)}) {
            const PictureSamples r = sampleFile(path, [&](QSize s) {
                EXPECT_EQ(s, c.img.size());
                return g;
            });
            ASSERT_TRUE(r.ok());
            EXPECT_EQ(r.imageSize, c.img.size());
            EXPECT_EQ(r.colors, referenceGrid(path, g)) << path.toStdString() << " " << g.width() << "x" << g.height();
            // Reductions take the row-by-row way; an enlargement cannot.
            EXPECT_EQ(r.streamed, g.width() <= c.img.width() && g.height() <= c.img.height());
        }
    }
}

TEST(GridLoad, DamagedJpegGivesWhatTheFullLoaderGives)
{
    QTemporaryDir dir;
    const QString good = writeJpeg(dir, QStringLiteral("g.jpg"), photo(200, 120, 4), 85, false);
    QFile f(good);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    f.close();
    const QString cut = dir.filePath(QStringLiteral("cut.jpg"));
    QFile c(cut);
    ASSERT_TRUE(c.open(QIODevice::WriteOnly));
    c.write(bytes.left(bytes.size() * 2 / 3));
    c.close();
    const PictureSamples r = sampleFile(cut, [](QSize) { return QSize(20, 16); });
    const LoadedImage full = loadImage(cut);
    ASSERT_EQ(r.ok(), full.ok());
    EXPECT_FALSE(r.streamed);
    if (full.ok()) {
        EXPECT_EQ(r.colors, resampleBox(full.image, 20, 16));
    }
}

TEST(GridLoad, OtherFormatsAndErrorsGoThroughTheFullLoader)
{
    QTemporaryDir dir;
    const QImage img = photo(60, 40, 8);
    const QString bmp = dir.filePath(QStringLiteral("a.bmp"));
    ASSERT_TRUE(img.save(bmp, "BMP"));
    const PictureSamples r = sampleFile(bmp, [](QSize) { return QSize(16, 16); });
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.colors, resampleBox(img, 16, 16));
    EXPECT_FALSE(r.streamed);
    EXPECT_EQ(sampleFile(dir.filePath(QStringLiteral("none.jpg")), [](QSize) { return QSize(8, 8); }).error,
              LoadError::NotFound);
}
