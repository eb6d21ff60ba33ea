#include "picture/imageloader.h"
#include "support/gifwriter.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QTemporaryDir>
#include <cstdio>
#include <gtest/gtest.h>
#include <jpeglib.h>
#include <png.h>
#include <QPainter>

using namespace tessilor;

namespace {

QImage pattern()
{
    QImage img(24, 16, QImage::Format_RGB32);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 24; ++x)
            img.setPixel(x, y, qRgb(x * 10, y * 15, 128));
    return img;
}

// At most 256 colours, so that a GIF holds it exactly.
QImage palettePattern()
{
    QImage img(16, 12, QImage::Format_RGB32);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 16; ++x)
            img.setPixel(x, y, qRgb(x * 16, y * 20, 128));
    return img;
}

QString writeImage(const QTemporaryDir &dir, const QString &name, const QImage &img, const char *format)
{
    const QString path = dir.filePath(name);
    QImageWriter w(path, format);
    EXPECT_TRUE(w.write(img)) << w.errorString().toStdString();
    return path;
}

QString writeBytes(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return path;
}

} // namespace

TEST(ImageLoader, ReadsBmpJpegAndGifByContentWhateverTheName)
{
    QTemporaryDir dir;
    const QImage img = pattern();
    const LoadedImage bmp = loadImage(writeImage(dir, QStringLiteral("a.jpg"), img, "bmp"));
    ASSERT_TRUE(bmp.ok());
    EXPECT_EQ(bmp.image.format(), QImage::Format_RGB32);
    EXPECT_EQ(bmp.image, img);
    const LoadedImage jpg = loadImage(writeImage(dir, QStringLiteral("b.gif"), img, "jpeg"));
    ASSERT_TRUE(jpg.ok());
    EXPECT_EQ(jpg.image.size(), img.size());
    const LoadedImage gif =
        loadImage(writeBytes(dir, QStringLiteral("c.dib"), testsupport::gifBytes(palettePattern())));
    ASSERT_TRUE(gif.ok()) << gif.detail.toStdString();
    EXPECT_EQ(gif.image, palettePattern());
}

TEST(ImageLoader, LosslessPngWebpAndTiffGiveTheBmpPixelsWhateverTheName)
{
    QTemporaryDir dir;
    const QImage img = pattern();
    const LoadedImage bmp = loadImage(writeImage(dir, QStringLiteral("same.bmp"), img, "bmp"));
    ASSERT_TRUE(bmp.ok());
    struct Case {
        const char *format;
        int quality;
        int compression;
        const char *name;
    };
    // WebP at quality 100 is lossless; TIFF compression 1 is LZW.
    const Case cases[] = {
        {"png", -1, -1, "a.jpg"}, {"webp", 100, -1, "b.gif"}, {"tiff", -1, 0, "c.bmp"}, {"tiff", -1, 1, "d.tif"}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.format);
        const QString path = dir.filePath(QString::fromLatin1(c.name));
        QImageWriter w(path, c.format);
        w.setQuality(c.quality);
        w.setCompression(c.compression);
        ASSERT_TRUE(w.write(img)) << w.errorString().toStdString();
        const LoadedImage r = loadImage(path);
        ASSERT_TRUE(r.ok()) << loadErrorText(r.error).toStdString() << ": " << r.detail.toStdString();
        EXPECT_EQ(r.image.format(), QImage::Format_RGB32);
        EXPECT_EQ(r.image, bmp.image);
    }
}

TEST(ImageLoader, TransparentPngAndWebpPixelsBecomeWhite)
{
    QImage img(8, 8, QImage::Format_ARGB32);
    img.fill(qRgba(0, 0, 0, 0));
    img.setPixel(1, 1, qRgba(255, 0, 0, 255));
    QTemporaryDir dir;
    for (const char *format : {"png", "webp"}) {
        SCOPED_TRACE(format);
        QImageWriter w(dir.filePath(QStringLiteral("t")), format);
        w.setQuality(100);
        ASSERT_TRUE(w.write(img));
        const LoadedImage r = loadImage(dir.filePath(QStringLiteral("t")));
        ASSERT_TRUE(r.ok());
        EXPECT_EQ(r.image.pixel(0, 0), qRgb(255, 255, 255));
        EXPECT_EQ(r.image.pixel(1, 1), qRgb(255, 0, 0));
    }
}

TEST(ImageLoader, TiffIsTurnedUprightByItsOrientation)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("turned.tif"));
    QImageWriter w(path, "tiff");
    w.setTransformation(QImageIOHandler::TransformationRotate90);
    ASSERT_TRUE(w.write(pattern()));
    const LoadedImage r = loadImage(path);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.image, pattern().transformed(QTransform().rotate(90)));
}

TEST(ImageLoader, TransparentGifPixelsBecomeWhite)
{
    QImage img(8, 8, QImage::Format_ARGB32);
    img.fill(qRgba(0, 0, 0, 0));
    img.setPixel(1, 1, qRgba(255, 0, 0, 255));
    QTemporaryDir dir;
    const LoadedImage gif = loadImage(writeBytes(dir, QStringLiteral("t.gif"), testsupport::gifBytes(img, 255)));
    ASSERT_TRUE(gif.ok());
    EXPECT_EQ(gif.image.pixel(0, 0), qRgb(255, 255, 255));
    EXPECT_EQ(gif.image.pixel(1, 1), qRgb(255, 0, 0));
}

TEST(ImageLoader, RejectsOtherFormatsAndBadFiles)
{
    QTemporaryDir dir;
    EXPECT_EQ(loadImage(writeImage(dir, QStringLiteral("p.jpg"), pattern(), "ppm")).error, LoadError::Unsupported);
    EXPECT_EQ(loadImage(writeBytes(dir, QStringLiteral("e.bmp"), QByteArray())).error, LoadError::Unsupported);
    EXPECT_EQ(loadImage(writeBytes(dir, QStringLiteral("r.gif"), QByteArray("hello world, not a picture"))).error,
              LoadError::Unsupported);
    EXPECT_EQ(loadImage(dir.filePath(QStringLiteral("missing.jpg"))).error, LoadError::NotFound);
    EXPECT_EQ(loadImage(dir.path()).error, LoadError::IsFolder);
}

TEST(ImageLoader, TruncatedAndCorruptDataDoNotCrash)
{
    QTemporaryDir dir;
    for (const char *fmt : {"bmp", "jpeg", "gif"}) {
        QByteArray bytes;
        if (qstrcmp(fmt, "gif") == 0) {
            bytes = testsupport::gifBytes(pattern());
        } else {
            QBuffer buf(&bytes);
            buf.open(QIODevice::WriteOnly);
            QImageWriter w(&buf, fmt);
            ASSERT_TRUE(w.write(pattern()));
        }
        for (int cut : {4, 10, 30, int(bytes.size() / 2)}) {
            const LoadedImage r = loadImage(writeBytes(dir, QStringLiteral("cut"), bytes.left(cut)));
            // A decoder may recover a partial picture; either way the result
            // is a valid image or a clean error.
            if (r.ok())
                EXPECT_FALSE(r.image.isNull());
            else
                EXPECT_NE(r.error, LoadError::None);
        }
    }
}

TEST(ImageLoader, AnimatedGifGivesItsFirstFrame)
{
    QTemporaryDir dir;
    const QImage img = palettePattern();
    const LoadedImage gif = loadImage(writeBytes(dir, QStringLiteral("anim.gif"), testsupport::gifBytes(img, -1, 3)));
    ASSERT_TRUE(gif.ok());
    EXPECT_EQ(gif.image, img);
}

TEST(ImageLoader, JpegIsTurnedUprightByItsExifOrientation)
{
    QByteArray jpeg;
    QBuffer buf(&jpeg);
    buf.open(QIODevice::WriteOnly);
    QImage img(24, 16, QImage::Format_RGB32);
    img.fill(qRgb(255, 255, 255));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            img.setPixel(x, y, qRgb(0, 0, 0)); // dark top-left corner
    ASSERT_TRUE(QImageWriter(&buf, "jpeg").write(img));
    // APP1 segment with one IFD entry: Orientation (0x0112) = 6, turn 90
    // degrees clockwise to view.
    const QByteArray tiff = QByteArray("II*\0\x08\0\0\0", 8) + QByteArray("\x01\0", 2) +
                            QByteArray("\x12\x01\x03\0\x01\0\0\0\x06\0\0\0", 12) + QByteArray(4, '\0');
    const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    QByteArray app1("\xFF\xE1", 2);
    const int len = int(payload.size()) + 2;
    app1.append(char(len >> 8));
    app1.append(char(len & 0xFF));
    app1.append(payload);
    jpeg.insert(2, app1);
    QTemporaryDir dir;
    const LoadedImage r = loadImage(writeBytes(dir, QStringLiteral("rot.jpg"), jpeg));
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.image.size(), QSize(16, 24));
    // After a clockwise quarter turn the dark corner is at the top right.
    EXPECT_LT(qGray(r.image.pixel(14, 1)), 60);
    EXPECT_GT(qGray(r.image.pixel(1, 1)), 200);
}

TEST(ImageLoader, HugeDeclaredSizeIsRefused)
{
    // A BMP header claiming 60000 x 60000 pixels with no data behind it.
    QByteArray bmp("BM");
    auto put32 = [&](qint32 v) {
        for (int i = 0; i < 4; ++i)
            bmp.append(char((v >> (8 * i)) & 0xFF));
    };
    auto put16 = [&](qint16 v) {
        bmp.append(char(v & 0xFF));
        bmp.append(char((v >> 8) & 0xFF));
    };
    put32(54 + 16);
    put32(0);
    put32(54);
    put32(40);
    put32(60000);
    put32(60000);
    put16(1);
    put16(24);
    put32(0);
    put32(0);
    put32(2835);
    put32(2835);
    put32(0);
    put32(0);
    bmp.append(QByteArray(16, '\x7f'));
    QTemporaryDir dir;
    const LoadedImage r = loadImage(writeBytes(dir, QStringLiteral("huge.bmp"), bmp));
    EXPECT_FALSE(r.ok());
    EXPECT_TRUE(r.error == LoadError::TooLarge || r.error == LoadError::Corrupt);
}

namespace {

// A JPEG as libjpeg writes it, also in the colour spaces Qt cannot write:
// input is RGB, grey (1 component) or inverted CMYK (4, as Adobe stores it).
QByteArray libjpegBytes(const QImage &img, J_COLOR_SPACE in, J_COLOR_SPACE stored)
{
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &buffer, &size);
    c.image_width = JDIMENSION(img.width());
    c.image_height = JDIMENSION(img.height());
    c.input_components = in == JCS_GRAYSCALE ? 1 : in == JCS_CMYK ? 4 : 3;
    c.in_color_space = in;
    jpeg_set_defaults(&c);
    jpeg_set_colorspace(&c, stored);
    jpeg_start_compress(&c, TRUE);
    std::vector<unsigned char> row(size_t(img.width() * c.input_components));
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            const QRgb p = img.pixel(x, y);
            unsigned char *o = &row[size_t(x * c.input_components)];
            if (in == JCS_GRAYSCALE) {
                o[0] = uchar(qGray(p));
            } else if (in == JCS_CMYK) {
                o[0] = uchar(qRed(p)); // inverted CMYK with no black: C' = R, M' = G, Y' = B, K' = 255 - y
                o[1] = uchar(qGreen(p));
                o[2] = uchar(qBlue(p));
                o[3] = uchar(255 - y * 3);
            } else {
                o[0] = uchar(qRed(p));
                o[1] = uchar(qGreen(p));
                o[2] = uchar(qBlue(p));
            }
        }
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    const QByteArray out(reinterpret_cast<const char *>(buffer), qsizetype(size));
    std::free(buffer);
    return out;
}

// EXIF data (big-endian TIFF) that holds only an orientation.
QByteArray exifOrientationBlock(int orientation)
{
    return QByteArray("MM\0*\0\0\0\x08", 8) + QByteArray("\0\x01", 2) + QByteArray("\x01\x12\0\x03\0\0\0\x01\0", 9) +
           char(orientation) + QByteArray(2, '\0') + QByteArray(4, '\0');
}

QByteArray withExifOrientation(QByteArray jpeg, int orientation)
{
    const QByteArray payload = QByteArray("Exif\0\0", 6) + exifOrientationBlock(orientation);
    QByteArray app1("\xFF\xE1", 2);
    app1.append(char((payload.size() + 2) >> 8));
    app1.append(char((payload.size() + 2) & 0xFF));
    jpeg.insert(2, app1 + payload);
    return jpeg;
}

} // namespace

TEST(ImageLoader, JpegColourSpacesAndOrientationsMatchQtsReader)
{
    // The loader decodes JPEG itself; what it gives is what Qt's own reader
    // gives for the same file, turned upright by the EXIF orientation.
    const QImage img = pattern();
    struct Case {
        const char *what;
        QByteArray bytes;
    };
    QList<Case> cases{
        {"grey", libjpegBytes(img, JCS_GRAYSCALE, JCS_GRAYSCALE)},
        {"YCbCr", libjpegBytes(img, JCS_RGB, JCS_YCbCr)},
        {"RGB", libjpegBytes(img, JCS_RGB, JCS_RGB)},
        {"CMYK", libjpegBytes(img, JCS_CMYK, JCS_CMYK)},
        {"YCCK", libjpegBytes(img, JCS_CMYK, JCS_YCCK)},
    };
    static const char *const turns[] = {"", "1", "2", "3", "4", "5", "6", "7", "8"};
    for (int o = 1; o <= 8; ++o)
        cases.append({turns[o], withExifOrientation(cases[1].bytes, o)});
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const LoadedImage r = loadImageData(c.bytes);
        ASSERT_TRUE(r.ok()) << r.detail.toStdString();
        QByteArray copy = c.bytes;
        QBuffer buffer(&copy);
        QImageReader qt(&buffer, "jpeg");
        qt.setAutoTransform(true);
        const QImage expected = qt.read().convertToFormat(QImage::Format_RGB32);
        ASSERT_FALSE(expected.isNull());
        EXPECT_EQ(r.image.format(), QImage::Format_RGB32);
        EXPECT_EQ(r.image, expected);
    }
}

namespace {

// A PNG as libpng writes it, in the forms Qt's writer does not make: from
// an ARGB32 picture, as colour type 0 (grey), 2 (RGB), 4 (grey and alpha) or
// 6 (RGBA), 8 or 16 bits, interlaced or not, with a tRNS colour (grey or
// RGB only) and an EXIF orientation (0: none).
QByteArray libpngBytes(const QImage &img, int colourType, int depth, bool interlaced, bool trns, int orientation)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    QByteArray out;
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, size_t n) {
            static_cast<QByteArray *>(png_get_io_ptr(p))->append(reinterpret_cast<const char *>(data), qsizetype(n));
        },
        nullptr);
    png_set_IHDR(png, info, png_uint_32(img.width()), png_uint_32(img.height()), depth, colourType,
                 interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    const bool grey = !(colourType & PNG_COLOR_MASK_COLOR);
    if (trns) {
        // The colour of the top-left pixel is transparent.
        png_color_16 c{};
        const QRgb p = img.pixel(0, 0);
        const int scale = depth == 16 ? 257 : 1;
        c.gray = png_uint_16(qGray(p) * scale);
        c.red = png_uint_16(qRed(p) * scale);
        c.green = png_uint_16(qGreen(p) * scale);
        c.blue = png_uint_16(qBlue(p) * scale);
        png_set_tRNS(png, info, nullptr, 0, &c);
    }
    QByteArray exif;
    if (orientation) {
        exif = exifOrientationBlock(orientation);
        png_set_eXIf_1(png, info, png_uint_32(exif.size()), reinterpret_cast<png_bytep>(exif.data()));
    }
    png_write_info(png, info);
    const int channels = (grey ? 1 : 3) + ((colourType & PNG_COLOR_MASK_ALPHA) ? 1 : 0);
    const int bytes = depth / 8;
    std::vector<uchar> pixels(size_t(img.width() * img.height() * channels * bytes));
    std::vector<png_bytep> rows(size_t(img.height()));
    for (int y = 0; y < img.height(); ++y) {
        uchar *o = &pixels[size_t(y * img.width() * channels * bytes)];
        rows[size_t(y)] = o;
        for (int x = 0; x < img.width(); ++x) {
            const QRgb p = img.pixel(x, y);
            QList<int> values = grey ? QList<int>{qGray(p)} : QList<int>{qRed(p), qGreen(p), qBlue(p)};
            if (colourType & PNG_COLOR_MASK_ALPHA)
                values.append(qAlpha(p));
            for (int v : values) {
                // 16 bits: the 8-bit value with a low byte that rounding
                // must see.
                if (bytes == 2)
                    *o++ = uchar(v);
                *o++ = uchar(bytes == 2 ? (v * 7) & 0xFF : v);
            }
        }
    }
    png_write_image(png, rows.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

// The picture turned as an EXIF orientation says.
QImage turnedUpright(const QImage &img, int orientation)
{
    switch (orientation) {
    case 2:
        return img.mirrored(true, false);
    case 3:
        return img.mirrored(true, true);
    case 4:
        return img.mirrored(false, true);
    case 5:
        return img.mirrored(false, true).transformed(QTransform().rotate(90));
    case 6:
        return img.transformed(QTransform().rotate(90));
    case 7:
        return img.mirrored(true, false).transformed(QTransform().rotate(90));
    case 8:
        return img.transformed(QTransform().rotate(270));
    default:
        return img;
    }
}

} // namespace

TEST(ImageLoader, PngFormsAndOrientationsMatchQtsReader)
{
    // The loader decodes PNG itself; what it gives is what Qt's own reader
    // gives for the same file, turned upright by the EXIF orientation, with
    // transparency over white.
    QImage img(23, 17, QImage::Format_ARGB32);
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            img.setPixel(x, y, qRgba(x * 11, y * 15, 200 - x * 5, (x * y * 7) & 0xFF));
    // Qt composes 16-bit samples before it rounds them to 8 bits, the loader
    // after: 1 apart at most. Qt's reader ignores the eXIf orientation, so
    // its picture is turned here, as JPEG's orientation turns it.
    struct Case {
        const char *what;
        QByteArray bytes;
        int tolerance;
        int orientation;
    };
    QList<Case> cases{
        {"grey", libpngBytes(img, PNG_COLOR_TYPE_GRAY, 8, false, false, 0), 0, 1},
        {"grey, 16 bits, interlaced", libpngBytes(img, PNG_COLOR_TYPE_GRAY, 16, true, false, 0), 0, 1},
        {"grey with a transparent grey", libpngBytes(img, PNG_COLOR_TYPE_GRAY, 8, false, true, 0), 0, 1},
        {"grey and alpha", libpngBytes(img, PNG_COLOR_TYPE_GRAY_ALPHA, 8, false, false, 0), 0, 1},
        {"RGB, 16 bits", libpngBytes(img, PNG_COLOR_TYPE_RGB, 16, false, false, 0), 0, 1},
        {"RGB with a transparent colour", libpngBytes(img, PNG_COLOR_TYPE_RGB, 8, false, true, 0), 0, 1},
        {"RGBA", libpngBytes(img, PNG_COLOR_TYPE_RGB_ALPHA, 8, false, false, 0), 0, 1},
        {"RGBA, 16 bits, interlaced", libpngBytes(img, PNG_COLOR_TYPE_RGB_ALPHA, 16, true, false, 0), 1, 1},
        {"RGBA, interlaced and turned", libpngBytes(img, PNG_COLOR_TYPE_RGB_ALPHA, 8, true, false, 6), 0, 6},
    };
    {
        QByteArray palette;
        QBuffer buffer(&palette);
        buffer.open(QIODevice::WriteOnly);
        ASSERT_TRUE(QImageWriter(&buffer, "png").write(img.convertToFormat(QImage::Format_Indexed8)));
        cases.append({"palette with transparency", palette, 0, 1});
    }
    static const char *const turns[] = {"", "1", "2", "3", "4", "5", "6", "7", "8"};
    for (int o = 1; o <= 8; ++o)
        cases.append({turns[o], libpngBytes(img, PNG_COLOR_TYPE_RGB_ALPHA, 8, false, false, o), 0, o});
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const LoadedImage r = loadImageData(c.bytes);
        ASSERT_TRUE(r.ok()) << r.detail.toStdString();
        QByteArray copy = c.bytes;
        QBuffer buffer(&copy);
        const QImage decoded = turnedUpright(QImageReader(&buffer, "png").read(), c.orientation);
        ASSERT_FALSE(decoded.isNull());
        QImage expected(decoded.size(), QImage::Format_RGB32);
        expected.fill(Qt::white);
        QPainter(&expected).drawImage(0, 0, decoded);
        EXPECT_EQ(r.image.format(), QImage::Format_RGB32);
        ASSERT_EQ(r.image.size(), expected.size());
        int worst = 0;
        for (int y = 0; y < expected.height(); ++y) {
            for (int x = 0; x < expected.width(); ++x) {
                const QRgb a = r.image.pixel(x, y), b = expected.pixel(x, y);
                worst = std::max({worst, std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                                  std::abs(qBlue(a) - qBlue(b))});
            }
        }
        EXPECT_LE(worst, c.tolerance);
    }
}
