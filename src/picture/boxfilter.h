#pragma once
#include <QImage>
#include <utility>
#include <vector>

#include "picture/pixels.h"

namespace tessilor {

// The boxes of the program's resamplers, along one direction: destination
// index x averages the source indices from[x] = x * source / dest up to, not
// including, to[x] = max(from[x] + 1, (x + 1) * source / dest).
void boxSpans(qint64 source, int dest, std::vector<int> &from, std::vector<int> &to);

// The colour sums both box resamplers share: destination column x averages
// the source columns of its box (boxSpans), and the channel sums of the
// destination row being built are kept per column.
class BoxAccumulator
{
public:
    BoxAccumulator(qint64 sourceWidth, int destWidth);
    int width() const { return m_dW; }
    int firstColumn(int x) const { return m_x0[size_t(x)]; }
    // True when every destination column takes exactly one source column.
    bool singleColumns() const { return m_widest == 1; }
    // Adds one source row (sourceWidth pixels, 0xAARRGGBB) to the sums.
    void addRow(const QRgb *line);
    // Writes the rounded averages of the sums over `rows` source rows to out
    // (opaque pixels) and clears the sums.
    void takeRow(QRgb *out, quint64 rows);

private:
    int m_dW;
    int m_widest = 0;
    std::vector<int> m_x0, m_x1;
    std::vector<quint64> m_sums;
};

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
    ColorGrid take() { return std::move(m_dest); }

private:
    qint64 m_sH;
    int m_dH;
    BoxAccumulator m_columns;
    ColorGrid m_dest;
    int m_nextSourceRow = 0;
    int m_destRow = 0;
    qint64 m_rowEnd = 0; // first source row after the current destination row
    qint64 m_rowStart = 0;
};

} // namespace tessilor
