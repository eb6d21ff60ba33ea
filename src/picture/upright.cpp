#include "picture/upright.h"

#include "base/memoryprobe.h"

#include <QtEndian>
#include <algorithm>

namespace tessilor {

int exifOrientation(const uchar *t, qint64 n)
{
    if (!t || n < 8)
        return 1;
    bool little;
    if (t[0] == 'I' && t[1] == 'I')
        little = true;
    else if (t[0] == 'M' && t[1] == 'M')
        little = false;
    else
        return 1;
    auto u16 = [&](qint64 at) -> unsigned {
        return little ? qFromLittleEndian<quint16>(t + at) : qFromBigEndian<quint16>(t + at);
    };
    auto u32 = [&](qint64 at) -> quint32 {
        return little ? qFromLittleEndian<quint32>(t + at) : qFromBigEndian<quint32>(t + at);
    };
    const qint64 ifd = u32(4);
    if (ifd > n - 2)
        return 1;
    const unsigned count = u16(ifd);
    for (unsigned i = 0; i < count; ++i) {
        const qint64 at = ifd + 2 + qint64(i) * 12;
        if (at + 12 > n)
            return 1;
        if (u16(at) == 0x0112) {
            const int value = int(u16(at + 8));
            return value >= 1 && value <= 8 ? value : 1;
        }
    }
    return 1;
}

namespace {

// Stored rows turned a quarter are placed a band at a time, so that the
// writes of a band fill whole cache lines of the upright rows.
constexpr int kBandRows = 16;

bool quarterTurned(int orientation)
{
    return orientation >= 5 && orientation <= 8;
}

// Orientations 2 and 3 mirror each row; 3 and 4 put the rows bottom up.
bool rowsMirrored(int orientation)
{
    return orientation == 2 || orientation == 3;
}

bool rowsBottomUp(int orientation)
{
    return orientation == 3 || orientation == 4;
}

} // namespace

bool UprightImage::start(QSize stored, int orientation)
{
    m_stored = stored;
    m_orientation = orientation >= 1 && orientation <= 8 ? orientation : 1;
    const bool turned = quarterTurned(m_orientation);
    const qint64 band = turned || rowsMirrored(m_orientation)
                            ? qint64(stored.width()) * (turned ? qMin(kBandRows, stored.height()) : 1)
                            : 0;
    if (!memoryAvailable((qint64(stored.width()) * stored.height() + band) * 4))
        return false;
    m_image = QImage(turned ? stored.transposed() : stored, QImage::Format_RGB32);
    if (m_image.isNull())
        return false;
    m_band.resize(size_t(band));
    m_bandRows = 0;
    return true;
}

QRgb *UprightImage::row(int y)
{
    if (quarterTurned(m_orientation))
        return m_band.data() + size_t(y % kBandRows) * size_t(m_stored.width());
    if (rowsMirrored(m_orientation))
        return m_band.data();
    const int target = rowsBottomUp(m_orientation) ? m_stored.height() - 1 - y : y;
    return reinterpret_cast<QRgb *>(m_image.scanLine(target));
}

void UprightImage::rowDone(int y)
{
    if (quarterTurned(m_orientation)) {
        ++m_bandRows;
        if (m_bandRows == kBandRows || y == m_stored.height() - 1) {
            placeBand(y + 1 - m_bandRows, m_bandRows);
            m_bandRows = 0;
        }
        return;
    }
    if (rowsMirrored(m_orientation)) {
        const int target = rowsBottomUp(m_orientation) ? m_stored.height() - 1 - y : y;
        std::reverse_copy(m_band.begin(), m_band.end(), reinterpret_cast<QRgb *>(m_image.scanLine(target)));
    }
}

// Stored pixel (x, y) of a W x H picture lands in the upright one at
// 5: (y, x), 6: (H-1-y, x), 7: (H-1-y, W-1-x), 8: (y, W-1-x).
void UprightImage::placeBand(int firstRow, int rows)
{
    const int w = m_stored.width();
    const int h = m_stored.height();
    const bool rowFromRight = m_orientation == 7 || m_orientation == 8;
    const bool columnFromRight = m_orientation == 6 || m_orientation == 7;
    for (int x = 0; x < w; ++x) {
        QRgb *out = reinterpret_cast<QRgb *>(m_image.scanLine(rowFromRight ? w - 1 - x : x));
        for (int r = 0; r < rows; ++r) {
            const int y = firstRow + r;
            out[columnFromRight ? h - 1 - y : y] = m_band[size_t((y % kBandRows)) * size_t(w) + size_t(x)];
        }
    }
}

} // namespace tessilor
