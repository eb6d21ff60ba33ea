#pragma once
#include <QImage>
#include <vector>

namespace tessilor {

// Streaming form of the box resampler for a reduction (destination no larger
// than the source in either direction): source rows are fed in order and
// each destination row is finished as soon as its last source row arrived.
// The result is identical to resampleBox on the whole picture.
class BoxReducer
{
public:
    BoxReducer(int sourceWidth, int sourceHeight, int destWidth, int destHeight);
    bool valid() const { return !m_dest.isNull(); }
    // Adds the next source row (sourceWidth pixels, 0xAARRGGBB).
    void addRow(const QRgb *line);
    QImage result() const { return m_dest; }

private:
    void finishRow();

    qint64 m_sW, m_sH;
    int m_dW, m_dH;
    std::vector<int> m_x0, m_x1;
    std::vector<quint64> m_sums;
    QImage m_dest;
    int m_nextSourceRow = 0;
    int m_destRow = 0;
    qint64 m_rowEnd = 0; // first source row after the current destination row
    qint64 m_rowStart = 0;
    bool m_narrowCells = false;
};

} // namespace tessilor
