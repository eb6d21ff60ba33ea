// Feeds arbitrary bytes to the picture loader, the way a file from the user
// reaches it. Whatever the bytes, the loader gives an opaque 32-bit picture
// within the size limit or a clean error, and the grid loader of the
// command line (which decodes JPEG row by row) gives the same error or the
// same grid.
#include "fuzzapp.h"
#include "picture/picturesource.h"
#include "picture/imageloader.h"
#include "picture/resample.h"

#include <QBuffer>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    tessilor::fuzz::ensureApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace tessilor;
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    const LoadedImage r = loadImage(&buffer);
    if (r.ok()) {
        FUZZ_CHECK(!r.image.isNull());
        FUZZ_CHECK(r.image.format() == QImage::Format_RGB32);
        FUZZ_CHECK(r.image.width() > 0 && r.image.height() > 0);
        FUZZ_CHECK(qint64(r.image.width()) * r.image.height() * 4 <= kMaxDecodedBytes);
        // Every scan line is readable to its end.
        const QImage &img = r.image;
        quint32 acc = 0;
        for (int y = 0; y < img.height(); y += 1 + img.height() / 64) {
            const QRgb *line = reinterpret_cast<const QRgb *>(img.constScanLine(y));
            acc ^= line[0] ^ line[img.width() - 1];
        }
        FUZZ_CHECK((acc & 0xFF000000u) == 0); // RGB32 keeps alpha at 0xFF, so the XOR of pairs is 0 there
    } else {
        FUZZ_CHECK(r.image.isNull());
        FUZZ_CHECK(!loadErrorText(r.error).isEmpty());
    }
    SamplingRequest request;
    request.sizeFor = [](QSize s) { return QSize(qMin(s.width(), 16), qMin(s.height(), 12)); };
    request.colors = true;
    const PictureSamples g = EncodedPicture(bytes).sample(request);
    FUZZ_CHECK(g.error == r.error);
    if (g.ok())
        FUZZ_CHECK(g.colors == resampleBox(r.image, g.colors.width(), g.colors.height()));
    return 0;
}
