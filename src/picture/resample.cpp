#include "picture/resample.h"

#include "picture/boxfilter.h"

#include <algorithm>
#include <cstring>

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

    BoxAccumulator columns(sW, dW);
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
        if (columns.singleColumns() && y1 - y0 == 1) {
            // One source pixel per destination pixel (always the case when
            // enlarging): a copy, no averaging.
            const QRgb *line = reinterpret_cast<const QRgb *>(src.constScanLine(int(y0)));
            for (int x = 0; x < dW; ++x)
                out[x] = 0xFF000000u | line[columns.firstColumn(x)];
            continue;
        }
        for (qint64 sy = y0; sy < y1; ++sy)
            columns.addRow(reinterpret_cast<const QRgb *>(src.constScanLine(int(sy))));
        columns.takeRow(out, quint64(y1 - y0));
    }
    return dst;
}

} // namespace tessilor
