// Every hostile file gives a clean load error, read from its path and from
// memory alike.
#include "hostile/hostilecorpus.h"
#include "picture/imageloader.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace tessilor;

namespace {

std::string allowedText(const QList<LoadError> &allowed)
{
    std::string s;
    for (LoadError e : allowed)
        s += loadErrorText(e).toStdString() + "; ";
    return s;
}

} // namespace

TEST(HostileLoader, EveryHostileFileGivesACleanError)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QList<hostile::HostileFile> corpus = hostile::makeCorpus(dir);
    ASSERT_GT(corpus.size(), 40);
    for (const hostile::HostileFile &f : corpus) {
        SCOPED_TRACE(f.name.toStdString() + ": " + f.what.toStdString());
        const LoadedImage r = loadImage(f.path);
        if (r.ok() && f.mayLoadUpTo.isValid()) {
            EXPECT_LE(r.image.width(), f.mayLoadUpTo.width());
            EXPECT_LE(r.image.height(), f.mayLoadUpTo.height());
        } else {
            EXPECT_FALSE(r.ok()) << "loaded as " << r.image.width() << " x " << r.image.height();
            EXPECT_TRUE(r.image.isNull());
            EXPECT_TRUE(f.allowed.contains(r.error))
                << "got: " << loadErrorText(r.error).toStdString() << "; allowed: " << allowedText(f.allowed);
            // Damage is named: what the check or the decoder found.
            if (r.error == LoadError::Corrupt) {
                EXPECT_FALSE(r.detail.isEmpty());
                EXPECT_TRUE(r.detail.contains(f.detailNames)) << r.detail.toStdString();
            }
        }

        if (!f.regularFile)
            continue;
        QFile file(f.path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        QByteArray bytes = file.readAll();
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        const LoadedImage m = loadImage(&buffer);
        EXPECT_EQ(m.error, r.error) << "from memory: " << loadErrorText(m.error).toStdString();
    }
}

TEST(HostileLoader, GoodPictureNextToTheHostileOnesStillLoads)
{
    // The loader keeps no state from a failure into the next load.
    QTemporaryDir dir;
    const QList<hostile::HostileFile> corpus = hostile::makeCorpus(dir);
    const QString good = dir.filePath(QStringLiteral("good.bmp"));
    QFile f(good);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(hostile::goodBmp());
    f.close();
    for (const hostile::HostileFile &h : corpus) {
        loadImage(h.path);
        const LoadedImage r = loadImage(good);
        ASSERT_TRUE(r.ok()) << "after " << h.name.toStdString();
        EXPECT_EQ(r.image.size(), QSize(8, 6));
    }
}

TEST(HostileLoader, CompleteBmpVariantsStillLoad)
{
    // The check for cut-short pixel data must not refuse whole files: a
    // top-down BMP, and a BMP with bytes after its rows.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("topdown.bmp"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(hostile::topDownBmp());
    f.close();
    const LoadedImage r = loadImage(path);
    ASSERT_TRUE(r.ok()) << r.detail.toStdString();
    ASSERT_EQ(r.image.size(), QSize(2, 2));
    EXPECT_EQ(r.image.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(r.image.pixel(1, 0), qRgb(0, 255, 0));
    EXPECT_EQ(r.image.pixel(0, 1), qRgb(0, 0, 255));
    EXPECT_EQ(r.image.pixel(1, 1), qRgb(255, 255, 255));

    QByteArray longer = hostile::goodBmp() + QByteArray(100, 'x');
    QBuffer buffer(&longer);
    buffer.open(QIODevice::ReadOnly);
    EXPECT_TRUE(loadImage(&buffer).ok());
}

TEST(HostileLoader, UnreadableFileIsReportedAsUnreadable)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "running as root: file permissions do not stop reading";
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("locked.bmp"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(hostile::goodBmp());
    f.close();
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::Permissions()));
    const LoadedImage r = loadImage(path);
    EXPECT_EQ(r.error, LoadError::Unreadable);
    EXPECT_FALSE(r.detail.isEmpty());
}

TEST(HostileLoader, ProgressiveJpegLoadsUpToTheScanLimit)
{
    // A legal progression of a flat grey picture, with ever more scans.
    struct Case {
        int acScans;
        LoadError error;
    };
    const Case cases[] = {{5, LoadError::None},
                          {499, LoadError::None}, // 500 scans in all: the limit
                          {500, LoadError::TooComplex}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.acScans);
        const LoadedImage r = loadImageData(hostile::progressiveFlatJpeg(64, 48, 1, c.acScans));
        ASSERT_EQ(r.error, c.error) << r.detail.toStdString();
        if (r.ok()) {
            ASSERT_EQ(r.image.size(), QSize(64, 48));
            EXPECT_EQ(r.image.pixel(0, 0), qRgb(128, 128, 128));
            EXPECT_EQ(r.image.pixel(63, 47), qRgb(128, 128, 128));
        }
    }
}

TEST(HostileLoader, CompleteRunLengthPaletteAndLzwDataStillLoad)
{
    // The checks for data that ends early or names colours the palette does
    // not have must not refuse whole files. Pixels are listed top row first.
    const QRgb k = qRgb(0, 0, 0), g1 = qRgb(85, 85, 85), g2 = qRgb(170, 170, 170), w = qRgb(255, 255, 255);
    auto rle8 = [](const char *hex) {
        return hostile::bmpBytes(4, 2, 8, 1, 4, hostile::greyPalette(4), QByteArray::fromHex(hex));
    };
    struct Case {
        const char *what;
        QByteArray bytes;
        QList<QRgb> pixels;
    };
    const Case cases[] = {
        {"run-length rows and end code", rle8("0401 0000 0402 0001"), {g2, g2, g2, g2, g1, g1, g1, g1}},
        {"run-length rows, the last ended by end of line",
         rle8("0401 0000 0402 0000"),
         {g2, g2, g2, g2, g1, g1, g1, g1}},
        {"literal pixels, a move and runs",
         rle8("0003 01020300 0100 0000 00020000 0402 0001"),
         {g2, g2, g2, g2, g1, g2, w, k}},
        {"4-bit runs",
         hostile::bmpBytes(4, 2, 4, 2, 4, hostile::greyPalette(4), QByteArray::fromHex("0412 0000 0430 0001")),
         {w, k, w, k, g1, g2, g1, g2}},
        {"8-bit rows of a 4-colour palette",
         hostile::bmpBytes(4, 2, 8, 0, 4, hostile::greyPalette(4), QByteArray::fromHex("03020100 00010203")),
         {k, g1, g2, w, w, g2, g1, k}},
        // clear, 0, then dictionary codes 6 ("00"), 7 ("000"), 6 (4 bits): 8 pixels, then the end code.
        {"LZW dictionary codes", hostile::gifBytes(4, 2, QByteArray::fromHex("846F05")), {k, k, k, k, k, k, k, k}},
        // A move past the first pixel, a line and the picture ended early:
        // the skipped pixels are white (as transparent ones are), not
        // whatever the memory held.
        {"run-length data that skips pixels", rle8("00020100 0302 0000 0201 0001"), {g1, g1, w, w, w, g2, g2, g2}},
        {"LZW data complete without its end code",
         hostile::gifBytes(4, 2, QByteArray::fromHex("846F")),
         {k, k, k, k, k, k, k, k}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const LoadedImage r = loadImageData(c.bytes);
        ASSERT_TRUE(r.ok()) << loadErrorText(r.error).toStdString() << ": " << r.detail.toStdString();
        ASSERT_EQ(r.image.size(), QSize(4, 2));
        for (int i = 0; i < 8; ++i)
            EXPECT_EQ(r.image.pixel(i % 4, i / 4), c.pixels[i]) << "pixel " << i;
    }
    // The same LZW data cut inside its third code gives 1 pixel of 8.
    EXPECT_EQ(loadImageData(hostile::gifBytes(4, 2, QByteArray::fromHex("84"))).error, LoadError::Corrupt);
}
