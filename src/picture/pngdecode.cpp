#include "picture/pngdecode.h"

#include "base/memoryprobe.h"
#include "picture/upright.h"

#include <QtEndian>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include <png.h>

namespace tessilor {

namespace {

struct Source {
    const uchar *data;
    size_t size;
    size_t pos = 0;
};

// libpng's structures, and why a call into it failed.
struct Decoder {
    png_structp png = nullptr;
    png_infop info = nullptr;
    char message[256] = {};
    ~Decoder()
    {
        if (png)
            png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    }
};

void onError(png_structp png, png_const_charp message)
{
    auto *d = static_cast<Decoder *>(png_get_error_ptr(png));
    std::snprintf(d->message, sizeof d->message, "%s", message);
    png_longjmp(png, 1);
}

// Warnings leave the picture as it is (an ancillary chunk with a bad
// checksum, say): nothing to say to anyone.
void onWarning(png_structp, png_const_charp) {}

void readBytes(png_structp png, png_bytep out, size_t length)
{
    auto *source = static_cast<Source *>(png_get_io_ptr(png));
    if (length > source->size - source->pos)
        png_error(png, "the file ends early");
    std::memcpy(out, source->data + source->pos, length);
    source->pos += length;
}

// libpng reports errors by a long jump back here. Nothing with a
// destructor may live inside f.
template<typename F>
bool guarded(png_structp png, const F &f)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    f();
    return true;
}

// Non-premultiplied 0xAARRGGBB over white, opaque.
void overWhite(QRgb *line, int width)
{
    for (int x = 0; x < width; ++x) {
        const QRgb p = line[x];
        const uint a = qAlpha(p);
        if (a == 255)
            continue;
        const QRgb m = qPremultiply(p);
        line[x] = qRgb(int(qRed(m) + 255 - a), int(qGreen(m) + 255 - a), int(qBlue(m) + 255 - a));
    }
}

int channelsOf(int colourType)
{
    switch (colourType) {
    case 2:
        return 3;
    case 4:
        return 2;
    case 6:
        return 4;
    default:
        return 1;
    }
}

// The limits, from the header as the file states it.
LoadError checkHeader(const QByteArray &bytes, QString *detail)
{
    if (bytes.size() < 33 || bytes.mid(12, 4) != "IHDR")
        return LoadError::None; // libpng says what is wrong
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData());
    const qint64 w = qFromBigEndian<quint32>(p + 16);
    const qint64 h = qFromBigEndian<quint32>(p + 20);
    const int depth = p[24];
    if (w == 0 || h == 0) {
        *detail = QStringLiteral("the header gives the picture no pixels");
        return LoadError::Corrupt;
    }
    if (w > kMaxPictureSide || h > kMaxPictureSide || w * h * 4 > kMaxDecodedBytes ||
        w * h * channelsOf(p[25]) * depth / 8 > kMaxDecodedBytes)
        return LoadError::TooLarge;
    return LoadError::None;
}

} // namespace

bool isPngData(const QByteArray &head)
{
    return head.startsWith(QByteArrayLiteral("\x89PNG\r\n\x1a\n"));
}

LoadedImage loadPng(const QByteArray &bytes)
{
    LoadedImage result;
    result.error = checkHeader(bytes, &result.detail);
    if (!result.ok())
        return result;
    auto failed = [&](const Decoder &d) {
        result.error = std::strstr(d.message, "memory") ? LoadError::OutOfMemory : LoadError::Corrupt;
        result.detail = QString::fromLatin1(d.message);
        result.image = QImage();
        return result;
    };
    Decoder d;
    d.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &d, onError, onWarning);
    if (!d.png || !(d.info = png_create_info_struct(d.png))) {
        result.error = LoadError::OutOfMemory;
        return result;
    }
    Source source{reinterpret_cast<const uchar *>(bytes.constData()), size_t(bytes.size())};
    png_uint_32 width = 0, height = 0;
    int depth = 0, colourType = 0, interlace = 0, passes = 1;
    bool alpha = false;
    int orientation = 1;
    if (!guarded(d.png, [&] {
            png_set_read_fn(d.png, &source, readBytes);
            // Every chunk but the pixels' (header, palette, transparency,
            // data) and the orientation's is skipped unread: text, colour
            // profiles and the like would be read, inflated and kept.
            png_set_keep_unknown_chunks(d.png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
            png_set_keep_unknown_chunks(d.png, PNG_HANDLE_CHUNK_AS_DEFAULT, reinterpret_cast<png_const_bytep>("eXIf"),
                                        1);
            png_set_chunk_malloc_max(d.png, 1 << 20);
            png_set_user_limits(d.png, png_uint_32(kMaxPictureSide), png_uint_32(kMaxPictureSide));
            png_read_info(d.png, d.info);
            png_get_IHDR(d.png, d.info, &width, &height, &depth, &colourType, &interlace, nullptr, nullptr);
            png_uint_32 exifLength = 0;
            png_bytep exif = nullptr;
            if (png_get_eXIf_1(d.png, d.info, &exifLength, &exif))
                orientation = exifOrientation(exif, exifLength);
            alpha = (colourType & PNG_COLOR_MASK_ALPHA) || png_get_valid(d.png, d.info, PNG_INFO_tRNS);
            png_set_expand(d.png);
            png_set_scale_16(d.png);
            png_set_gray_to_rgb(d.png);
            png_set_bgr(d.png);
            if (!alpha)
                png_set_filler(d.png, 0xFF, PNG_FILLER_AFTER);
            passes = png_set_interlace_handling(d.png);
            png_read_update_info(d.png, d.info);
        }))
        return failed(d);
    const QSize size{int(width), int(height)};
    if (png_get_rowbytes(d.png, d.info) != size_t(width) * 4) {
        result.error = LoadError::Corrupt;
        result.detail = QStringLiteral("the pixel format cannot be read");
        return result;
    }
    // Rows in order straight into the upright picture; an interlaced
    // picture, whose rows come in passes, is put together as stored first.
    UprightImage upright;
    QImage stored;
    std::vector<png_bytep> rows;
    const bool whole = passes > 1;
    if (whole) {
        const qint64 bytesNeeded = qint64(width) * height * 4 * (orientation == 1 ? 1 : 2);
        if (bytesNeeded > kMaxDecodingBytes) {
            result.error = LoadError::TooLarge;
            return result;
        }
        if (memoryAvailable(bytesNeeded))
            stored = QImage(size, QImage::Format_RGB32);
        if (stored.isNull()) {
            result.error = LoadError::OutOfMemory;
            return result;
        }
        rows.resize(height);
        for (png_uint_32 y = 0; y < height; ++y)
            rows[y] = stored.scanLine(int(y));
    } else if (!upright.start(size, orientation)) {
        result.error = LoadError::OutOfMemory;
        return result;
    }
    if (!guarded(d.png, [&] {
            if (whole) {
                png_read_image(d.png, rows.data());
            } else {
                for (int y = 0; y < size.height(); ++y) {
                    QRgb *line = upright.row(y);
                    png_read_row(d.png, reinterpret_cast<png_bytep>(line), nullptr);
                    if (alpha)
                        overWhite(line, size.width());
                    upright.rowDone(y);
                }
            }
            png_read_end(d.png, nullptr);
        }))
        return failed(d);
    if (!whole) {
        result.image = upright.take();
        return result;
    }
    for (int y = 0; y < size.height() && alpha; ++y)
        overWhite(reinterpret_cast<QRgb *>(stored.scanLine(y)), size.width());
    if (orientation == 1) {
        result.image = stored;
        return result;
    }
    if (!upright.start(size, orientation)) {
        result.error = LoadError::OutOfMemory;
        return result;
    }
    for (int y = 0; y < size.height(); ++y) {
        std::memcpy(upright.row(y), stored.constScanLine(y), size_t(width) * 4);
        upright.rowDone(y);
    }
    result.image = upright.take();
    return result;
}

} // namespace tessilor
