#include "engine/boxfilter.h"

#include <algorithm>

namespace tessilor {

BoxReducer::BoxReducer(int sourceWidth, int sourceHeight, int destWidth, int destHeight)
    : m_sW(sourceWidth), m_sH(sourceHeight), m_dW(destWidth), m_dH(destHeight)
{
    if (destWidth <= 0 || destHeight <= 0 || destWidth > sourceWidth || destHeight > sourceHeight)
        return;
    m_dest = QImage(destWidth, destHeight, QImage::Format_RGB32);
    if (m_dest.isNull())
        return;
    m_x0.resize(size_t(destWidth));
    m_x1.resize(size_t(destWidth));
    for (qint64 x = 0; x < destWidth; ++x) {
        m_x0[size_t(x)] = int(x * m_sW / m_dW);
        m_x1[size_t(x)] = int(std::max(x * m_sW / m_dW + 1, (x + 1) * m_sW / m_dW));
    }
    m_sums.assign(size_t(destWidth) * 3, 0);
    int widest = 0;
    for (int x = 0; x < destWidth; ++x)
        widest = std::max(widest, m_x1[size_t(x)] - m_x0[size_t(x)]);
    m_narrowCells = widest <= 256;
    m_rowStart = 0;
    m_rowEnd = std::max<qint64>(1, m_sH / m_dH);
}

void BoxReducer::addRow(const QRgb *line)
{
    if (!valid() || m_destRow >= m_dH)
        return;
    quint64 *acc = m_sums.data();
    if (m_narrowCells) {
        // Red and blue share one 32-bit sum in two 16-bit lanes; a cell of at
        // most 256 pixels cannot carry from one lane into the other.
        for (int x = 0; x < m_dW; ++x, acc += 3) {
            quint32 rb = 0, g = 0;
            const int x1 = m_x1[size_t(x)];
            for (int sx = m_x0[size_t(x)]; sx < x1; ++sx) {
                const QRgb p = line[sx];
                rb += p & 0x00FF00FFu;
                g += p & 0x0000FF00u;
            }
            acc[0] += rb >> 16;
            acc[1] += g >> 8;
            acc[2] += rb & 0xFFFFu;
        }
        ++m_nextSourceRow;
        if (m_nextSourceRow >= m_rowEnd)
            finishRow();
        return;
    }
    for (int x = 0; x < m_dW; ++x, acc += 3) {
        quint32 r = 0, g = 0, b = 0;
        const int x1 = m_x1[size_t(x)];
        for (int sx = m_x0[size_t(x)]; sx < x1; ++sx) {
            const QRgb p = line[sx];
            r += (p >> 16) & 0xFF;
            g += (p >> 8) & 0xFF;
            b += p & 0xFF;
        }
        acc[0] += r;
        acc[1] += g;
        acc[2] += b;
    }
    ++m_nextSourceRow;
    if (m_nextSourceRow >= m_rowEnd)
        finishRow();
}

void BoxReducer::finishRow()
{
    QRgb *out = reinterpret_cast<QRgb *>(m_dest.scanLine(m_destRow));
    const quint64 rows = quint64(m_rowEnd - m_rowStart);
    quint64 *acc = m_sums.data();
    for (int x = 0; x < m_dW; ++x, acc += 3) {
        const quint64 count = rows * quint64(m_x1[size_t(x)] - m_x0[size_t(x)]);
        const quint64 half = count / 2;
        out[x] = 0xFF000000u | (quint32((acc[0] + half) / count) << 16) | (quint32((acc[1] + half) / count) << 8) |
                 quint32((acc[2] + half) / count);
        acc[0] = acc[1] = acc[2] = 0;
    }
    ++m_destRow;
    m_rowStart = m_rowEnd;
    m_rowEnd = qint64(m_destRow + 1) * m_sH / m_dH;
}

} // namespace tessilor
