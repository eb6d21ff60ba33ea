#include "engine/gridload.h"

#include "engine/boxfilter.h"
#include "engine/resample.h"
#include "engine/toneconvert.h"

#include <QFile>
#include <QFileInfo>

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>

namespace tessilor {

namespace {

struct JpegErrors {
    jpeg_error_mgr mgr;
    jmp_buf jump;
    bool remark = false;
};

void onJpegError(j_common_ptr cinfo)
{
    auto *err = reinterpret_cast<JpegErrors *>(cinfo->err);
    std::longjmp(err->jump, 1);
}

void onJpegMessage(j_common_ptr cinfo, int level)
{
    // A warning (level -1) means damaged data that the decoder patched over;
    // the full loader then decides what the picture is.
    if (level < 0)
        reinterpret_cast<JpegErrors *>(cinfo->err)->remark = true;
}

void silentOutput(j_common_ptr) {}

// Orientation tag of an EXIF block (1 when absent or unreadable).
int exifOrientation(const unsigned char *data, unsigned len)
{
    if (len < 14 || std::memcmp(data, "Exif\0\0", 6) != 0)
        return 1;
    const unsigned char *t = data + 6;
    const unsigned n = len - 6;
    bool little;
    if (t[0] == 'I' && t[1] == 'I')
        little = true;
    else if (t[0] == 'M' && t[1] == 'M')
        little = false;
    else
        return 1;
    auto u16 = [&](unsigned at) -> unsigned {
        return little ? unsigned(t[at]) | unsigned(t[at + 1]) << 8 : unsigned(t[at]) << 8 | unsigned(t[at + 1]);
    };
    auto u32 = [&](unsigned at) -> quint32 {
        return little ? quint32(u16(at)) | quint32(u16(at + 2)) << 16 : quint32(u16(at)) << 16 | quint32(u16(at + 2));
    };
    const quint32 ifd = u32(4);
    if (ifd > n - 2)
        return 1;
    const unsigned count = u16(ifd);
    for (unsigned i = 0; i < count; ++i) {
        const quint64 at = quint64(ifd) + 2 + quint64(i) * 12;
        if (at + 12 > n)
            return 1;
        if (u16(unsigned(at)) == 0x0112)
            return int(u16(unsigned(at) + 8));
    }
    return 1;
}

QImage takeResult(BoxReducer &reducer)
{
    return reducer.result();
}

LumaGrid takeResult(LumaReducer &reducer)
{
    return reducer.take();
}

// Largest reduction 1/1, 1/2, 1/4 or 1/8 that the decoder can apply while
// the decoded picture keeps at least kScaledPixelsPerSample pixels per grid
// sample in both directions.
constexpr int kScaledPixelsPerSample = 8;
unsigned scaleDenominator(QSize image, QSize grid)
{
    for (unsigned d = 8; d > 1; d /= 2) {
        const qint64 w = (qint64(image.width()) + d - 1) / d;
        const qint64 h = (qint64(image.height()) + d - 1) / d;
        if (w >= qint64(grid.width()) * kScaledPixelsPerSample && h >= qint64(grid.height()) * kScaledPixelsPerSample)
            return d;
    }
    return 1;
}

// Decodes bytes into a Reducer. Returns false when the stream path cannot be
// used (the caller falls back to the full loader). With allowScaling the
// decoder may reduce a picture far larger than the grid while decoding.
template <class Reducer, class Grid>
bool decodeInto(const unsigned char *bytes, qint64 length, const std::function<QSize(QSize)> &sizeFor,
                bool allowScaling, Grid *grid, QSize *imageSize)
{
    jpeg_decompress_struct cinfo;
    JpegErrors errors;
    cinfo.err = jpeg_std_error(&errors.mgr);
    errors.mgr.error_exit = onJpegError;
    errors.mgr.emit_message = onJpegMessage;
    errors.mgr.output_message = silentOutput;
    // Everything that lives across the jump is set up before it.
    Reducer *volatile reducer = nullptr;
    QRgb *volatile row = nullptr;
    if (setjmp(errors.jump)) {
        delete reducer;
        delete[] row;
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, bytes, (unsigned long)length);
    jpeg_save_markers(&cinfo, JPEG_APP0 + 1, 0xFFFF);
    if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK || errors.remark) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    // A picture stored turned (EXIF orientation) is turned upright by the
    // full loader; so is anything but plain colour or grey data.
    for (jpeg_saved_marker_ptr m = cinfo.marker_list; m; m = m->next) {
        if (m->marker == JPEG_APP0 + 1 && exifOrientation(m->data, m->data_length) != 1) {
            jpeg_destroy_decompress(&cinfo);
            return false;
        }
    }
    const QSize expected(int(cinfo.image_width), int(cinfo.image_height));
    if ((cinfo.jpeg_color_space != JCS_YCbCr && cinfo.jpeg_color_space != JCS_GRAYSCALE &&
         cinfo.jpeg_color_space != JCS_RGB) ||
        expected.isEmpty() || qint64(expected.width()) * expected.height() * 4 > kMaxDecodedBytes) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    *imageSize = expected;
    const QSize gridSize = sizeFor(expected);
    if (gridSize.width() > expected.width() || gridSize.height() > expected.height() || gridSize.isEmpty()) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    cinfo.out_color_space = JCS_EXT_BGRX; // 0xAARRGGBB in memory on little-endian
    if (allowScaling) {
        cinfo.scale_num = 1;
        cinfo.scale_denom = scaleDenominator(expected, gridSize);
    }
    jpeg_start_decompress(&cinfo);
    const QSize decoded(int(cinfo.output_width), int(cinfo.output_height));
    if (gridSize.width() > decoded.width() || gridSize.height() > decoded.height()) {
        jpeg_abort_decompress(&cinfo);
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    reducer = new Reducer(decoded.width(), decoded.height(), gridSize.width(), gridSize.height());
    if (!reducer->valid()) {
        delete reducer;
        jpeg_abort_decompress(&cinfo);
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    row = new QRgb[cinfo.output_width];
    JSAMPROW rowPointer = reinterpret_cast<JSAMPROW>(row);
    while (cinfo.output_scanline < cinfo.output_height) {
        if (jpeg_read_scanlines(&cinfo, &rowPointer, 1) != 1)
            break;
        reducer->addRow(row);
    }
    const bool complete = cinfo.output_scanline == cinfo.output_height && !errors.remark;
    if (complete)
        jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    if (complete && !errors.remark)
        *grid = takeResult(*reducer);
    delete reducer;
    delete[] row;
    return complete && !errors.remark;
}

} // namespace

GridLoad loadGrid(const QString &path, const std::function<QSize(QSize)> &sizeFor)
{
    GridLoad out;
    QFileInfo info(path);
    // Only plain files on disk take the fast way; resources and other paths go
    // through the full loader.
    if (info.exists() && info.isFile() && !path.startsWith(u':')) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly)) {
            const qint64 length = file.size();
            const uchar *bytes = length >= 3 ? file.map(0, length) : nullptr;
            if (bytes && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF) {
                QImage grid;
                QSize size;
                if (decodeInto<BoxReducer>(bytes, length, sizeFor, false, &grid, &size)) {
                    out.grid = grid;
                    out.imageSize = size;
                    out.streamed = true;
                    return out;
                }
            }
        }
    }
    const LoadedImage loaded = loadImage(path);
    if (!loaded.ok()) {
        out.error = loaded.error;
        out.detail = loaded.detail;
        return out;
    }
    out.imageSize = loaded.image.size();
    const QSize gridSize = sizeFor(out.imageSize);
    out.grid = resampleBox(loaded.image, gridSize.width(), gridSize.height());
    if (out.grid.isNull())
        out.error = LoadError::TooLarge;
    return out;
}

LumaGridLoad loadLumaGrid(const QString &path, const std::function<QSize(QSize)> &sizeFor)
{
    LumaGridLoad out;
    QFileInfo info(path);
    if (info.exists() && info.isFile() && !path.startsWith(u':')) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly)) {
            const qint64 length = file.size();
            const uchar *bytes = length >= 3 ? file.map(0, length) : nullptr;
            if (bytes && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF) {
                LumaGrid grid;
                QSize size;
                if (decodeInto<LumaReducer>(bytes, length, sizeFor, true, &grid, &size)) {
                    out.grid = std::move(grid);
                    out.imageSize = size;
                    out.streamed = true;
                    return out;
                }
            }
        }
    }
    const LoadedImage loaded = loadImage(path);
    if (!loaded.ok()) {
        out.error = loaded.error;
        out.detail = loaded.detail;
        return out;
    }
    out.imageSize = loaded.image.size();
    const QSize gridSize = sizeFor(out.imageSize);
    out.grid = makeLumaGrid(loaded.image, gridSize.width(), gridSize.height());
    if (out.grid.isNull())
        out.error = LoadError::TooLarge;
    return out;
}

} // namespace tessilor
