#include "engine/resample.h"

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
    // A destination column that covers exactly one source column is common
    // when shrinking little or enlarging; the general loop handles it too.
    std::vector<quint64> sums(size_t(dW) * 3);

    for (qint64 y = 0; y < dH; ++y) {
        const qint64 y0 = y * sH / dH;
        const qint64 y1 = std::max(y0 + 1, (y + 1) * sH / dH);
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
        QRgb *out = reinterpret_cast<QRgb *>(dst.scanLine(int(y)));
        const quint64 rows = quint64(y1 - y0);
        const quint64 *acc = sums.data();
        for (int x = 0; x < dW; ++x, acc += 3) {
            const quint64 count = rows * quint64(xs1[x] - xs0[x]);
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
