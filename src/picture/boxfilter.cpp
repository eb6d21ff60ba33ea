#include "picture/boxfilter.h"

#include <algorithm>
#include <new>

namespace tessilor {

void boxSpans(qint64 source, int dest, std::vector<int> &from, std::vector<int> &to)
{
    from.resize(size_t(dest));
    to.resize(size_t(dest));
    for (qint64 x = 0; x < dest; ++x) {
        const qint64 x0 = x * source / dest;
        from[size_t(x)] = int(x0);
        to[size_t(x)] = int(std::max(x0 + 1, (x + 1) * source / dest));
    }
}

BoxAccumulator::BoxAccumulator(qint64 sourceWidth, int destWidth) : m_dW(std::max(destWidth, 0))
{
    boxSpans(sourceWidth, m_dW, m_x0, m_x1);
    for (int x = 0; x < m_dW; ++x)
        m_widest = std::max(m_widest, m_x1[size_t(x)] - m_x0[size_t(x)]);
    m_sums.assign(size_t(m_dW) * 3, 0);
}

void BoxAccumulator::addRow(const QRgb *line)
{
    quint64 *acc = m_sums.data();
    if (m_widest <= 256) {
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
        return;
    }
    for (int x = 0; x < m_dW; ++x, acc += 3) {
        // Partial sums of one source row fit in 32 bits for any width below
        // 16 million pixels.
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
}

void BoxAccumulator::takeRow(QRgb *out, quint64 rows)
{
    quint64 *acc = m_sums.data();
    for (int x = 0; x < m_dW; ++x, acc += 3) {
        const quint64 count = rows * quint64(m_x1[size_t(x)] - m_x0[size_t(x)]);
        const quint64 half = count / 2;
        out[x] = 0xFF000000u | (quint32((acc[0] + half) / count) << 16) | (quint32((acc[1] + half) / count) << 8) |
                 quint32((acc[2] + half) / count);
        acc[0] = acc[1] = acc[2] = 0;
    }
}

BoxReducer::BoxReducer(int sourceWidth, int sourceHeight, int destWidth, int destHeight)
    : m_sH(sourceHeight), m_dH(destHeight), m_columns(sourceWidth, destWidth)
{
    if (destWidth <= 0 || destHeight <= 0 || destWidth > sourceWidth || destHeight > sourceHeight)
        return;
    try {
        m_dest.pixels.resize(size_t(destWidth) * size_t(destHeight));
    } catch (const std::bad_alloc &) {
        return;
    }
    m_dest.width = destWidth;
    m_dest.height = destHeight;
    m_rowStart = 0;
    m_rowEnd = std::max<qint64>(1, m_sH / m_dH);
}

void BoxReducer::addRow(const QRgb *line)
{
    if (!valid() || m_destRow >= m_dH)
        return;
    m_columns.addRow(line);
    ++m_nextSourceRow;
    if (m_nextSourceRow < m_rowEnd)
        return;
    m_columns.takeRow(m_dest.pixels.data() + size_t(m_destRow) * size_t(m_dest.width), quint64(m_rowEnd - m_rowStart));
    ++m_destRow;
    m_rowStart = m_rowEnd;
    m_rowEnd = qint64(m_destRow + 1) * m_sH / m_dH;
}

} // namespace tessilor
