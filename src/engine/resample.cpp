#include "engine/resample.h"

#include <cstring>
#include <vector>

namespace tessilor {

QImage resampleBox(const QImage &source, int dW, int dH)
{
    if (source.isNull() || dW <= 0 || dH <= 0)
        return QImage();
    const QImage src = source.format() == QImage::Format_RGB32 || source.format() == QImage::Format_ARGB32
                           ? source
                           : source.convertToFormat(QImage::Format_RGB32);
    const qint64 sW = src.width();
    const qint64 sH = src.height();
    QImage dst(dW, dH, QImage::Format_RGB32);
    if (dst.isNull())
        return QImage();

    std::vector<int> xs0(dW), xs1(dW);
    for (qint64 x = 0; x < dW; ++x) {
        const qint64 x0 = x * sW / dW;
        const qint64 x1 = std::max(x0 + 1, (x + 1) * sW / dW);
        xs0[x] = int(x0);
        xs1[x] = int(x1);
    }
    std::vector<quint64> sums(size_t(dW) * 3);

    // Every destination column that takes exactly one source column (always
    // the case when enlarging) needs no averaging.
    bool singleColumns = true;
    for (int x = 0; x < dW; ++x)
        singleColumns = singleColumns && xs1[x] - xs0[x] == 1;

    qint64 prevY0 = -1, prevY1 = -1;
    for (qint64 y = 0; y < dH; ++y) {
        const qint64 y0 = y * sH / dH;
        const qint64 y1 = std::max(y0 + 1, (y + 1) * sH / dH);
        QRgb *out = reinterpret_cast<QRgb *>(dst.scanLine(int(y)));
        if (y0 == prevY0 && y1 == prevY1) {
            // Same source rows as the row above (enlarging): same pixels.
            std::memcpy(out, dst.constScanLine(int(y - 1)), size_t(dW) * sizeof(QRgb));
            continue;
        }
        prevY0 = y0;
        prevY1 = y1;
        if (singleColumns && y1 - y0 == 1) {
            const QRgb *line = reinterpret_cast<const QRgb *>(src.constScanLine(int(y0)));
            for (int x = 0; x < dW; ++x)
                out[x] = 0xFF000000u | line[xs0[x]];
            continue;
        }
        std::fill(sums.begin(), sums.end(), 0);
        for (qint64 sy = y0; sy < y1; ++sy) {
            const QRgb *line = reinterpret_cast<const QRgb *>(src.constScanLine(int(sy)));
            quint64 *acc = sums.data();
            for (int x = 0; x < dW; ++x, acc += 3) {
                quint32 r = 0, g = 0, b = 0;
                const int x1 = xs1[x];
                // Partial sums of one source row fit in 32 bits for any width
                // below 16 million pixels.
                for (int sx = xs0[x]; sx < x1; ++sx) {
                    const QRgb p = line[sx];
                    r += (p >> 16) & 0xFF;
                    g += (p >> 8) & 0xFF;
                    b += p & 0xFF;
                }
                acc[0] += r;
                acc[1] += g;
                acc[2] += b;
            }
        }
        const quint64 rows = quint64(y1 - y0);
        const quint64 *acc = sums.data();
        for (int x = 0; x < dW; ++x, acc += 3) {
            const quint64 count = rows * quint64(xs1[x] - xs0[x]);
            if (count == 1) {
                out[x] = 0xFF000000u | (quint32(acc[0]) << 16) | (quint32(acc[1]) << 8) | quint32(acc[2]);
                continue;
            }
            const quint64 half = count / 2;
            const quint32 r = quint32((acc[0] + half) / count);
            const quint32 g = quint32((acc[1] + half) / count);
            const quint32 b = quint32((acc[2] + half) / count);
            out[x] = 0xFF000000u | (r << 16) | (g << 8) | b;
        }
    }
    return dst;
}

} // namespace tessilor
