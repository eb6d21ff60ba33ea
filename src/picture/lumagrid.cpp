#include "picture/lumagrid.h"

#include "picture/boxfilter.h"
#include "picture/linearlight.h"

#include <algorithm>
#include <array>

namespace tessilor {

namespace {

// Each channel's share of the luminance, by 8-bit value.
struct WeightedTables {
    std::array<float, 256> r, g, b;
};

const WeightedTables &weightedTables()
{
    static const WeightedTables t = [] {
        WeightedTables w{};
        const std::array<float, 256> &lin = srgbToLinearTable();
        for (size_t v = 0; v < 256; ++v) {
            w.r[v] = kLumaR * lin[v];
            w.g[v] = kLumaG * lin[v];
            w.b[v] = kLumaB * lin[v];
        }
        return w;
    }();
    return t;
}

inline float pixelLuma(const WeightedTables &t, QRgb p)
{
    return t.r[(p >> 16) & 0xFF] + t.g[(p >> 8) & 0xFF] + t.b[p & 0xFF];
}

bool allocate(LumaGrid &grid, int width, int height)
{
    if (width <= 0 || height <= 0)
        return false;
    try {
        grid.luma.assign(size_t(width) * size_t(height), 0.0f);
    } catch (const std::bad_alloc &) {
        return false;
    }
    grid.width = width;
    grid.height = height;
    return true;
}

} // namespace

LumaReducer::LumaReducer(int sourceWidth, int sourceHeight, int destWidth, int destHeight) : m_sH(sourceHeight)
{
    if (destWidth <= 0 || destHeight <= 0 || destWidth > sourceWidth || destHeight > sourceHeight)
        return;
    if (!allocate(m_grid, destWidth, destHeight))
        return;
    boxSpans(sourceWidth, destWidth, m_x0, m_x1);
    m_sums.assign(size_t(destWidth), 0.0);
    m_rowStart = 0;
    m_rowEnd = std::max<qint64>(1, m_sH / destHeight);
}

void LumaReducer::addRow(const QRgb *line)
{
    if (!valid() || complete())
        return;
    const WeightedTables &t = weightedTables();
    const int dW = m_grid.width;
    for (int x = 0; x < dW; ++x) {
        float s = 0;
        const int x1 = m_x1[size_t(x)];
        for (int sx = m_x0[size_t(x)]; sx < x1; ++sx)
            s += pixelLuma(t, line[sx]);
        m_sums[size_t(x)] += double(s);
    }
    ++m_sourceRow;
    if (m_sourceRow >= m_rowEnd)
        finishRow();
}

void LumaReducer::addLumaRow(const float *luma)
{
    if (!valid() || complete())
        return;
    const int dW = m_grid.width;
    for (int x = 0; x < dW; ++x) {
        float s = 0;
        const int x1 = m_x1[size_t(x)];
        for (int sx = m_x0[size_t(x)]; sx < x1; ++sx)
            s += luma[sx];
        m_sums[size_t(x)] += double(s);
    }
    ++m_sourceRow;
    if (m_sourceRow >= m_rowEnd)
        finishRow();
}

void rowLuminance(const QRgb *line, int width, float *luma)
{
    const WeightedTables &t = weightedTables();
    for (int x = 0; x < width; ++x)
        luma[x] = pixelLuma(t, line[x]);
}

void LumaReducer::finishRow()
{
    const int dW = m_grid.width;
    float *out = m_grid.luma.data() + size_t(m_destRow) * size_t(dW);
    const double rows = double(m_rowEnd - m_rowStart);
    for (int x = 0; x < dW; ++x) {
        out[x] = float(m_sums[size_t(x)] / (rows * double(m_x1[size_t(x)] - m_x0[size_t(x)])));
        m_sums[size_t(x)] = 0;
    }
    ++m_destRow;
    m_rowStart = m_rowEnd;
    m_rowEnd = qint64(m_destRow + 1) * m_sH / m_grid.height;
}

namespace {

QImage asRgb32(const QImage &source)
{
    return source.format() == QImage::Format_RGB32 || source.format() == QImage::Format_ARGB32
               ? source
               : source.convertToFormat(QImage::Format_RGB32);
}

// The grid over the given boxes (source columns x0 .. x1-1 and rows y0 ..
// y1-1 of each sample), its sums taken in double pixel by pixel, as an
// enlarged grid's are.
LumaGrid enlargedGrid(const QImage &src, const std::vector<int> &x0, const std::vector<int> &x1,
                      const std::vector<int> &y0, const std::vector<int> &y1)
{
    const int width = int(x0.size());
    const int height = int(y0.size());
    LumaGrid grid;
    if (!allocate(grid, width, height))
        return {};
    const WeightedTables &t = weightedTables();
    std::vector<double> sums(static_cast<size_t>(width));
    for (int y = 0; y < height; ++y) {
        std::fill(sums.begin(), sums.end(), 0.0);
        for (int sy = y0[size_t(y)]; sy < y1[size_t(y)]; ++sy) {
            const QRgb *line = reinterpret_cast<const QRgb *>(src.constScanLine(sy));
            for (int x = 0; x < width; ++x)
                for (int sx = x0[size_t(x)]; sx < x1[size_t(x)]; ++sx)
                    sums[size_t(x)] += double(pixelLuma(t, line[sx]));
        }
        float *out = grid.luma.data() + size_t(y) * size_t(width);
        const double rows = double(y1[size_t(y)] - y0[size_t(y)]);
        for (int x = 0; x < width; ++x)
            out[x] = float(sums[size_t(x)] / (rows * double(x1[size_t(x)] - x0[size_t(x)])));
    }
    return grid;
}

} // namespace

bool makeLumaGrids(const QImage &source, QSize gridSize, LumaGrid &grid, QSize detailSize, DetailGrid &detail)
{
    const auto reduces = [&](QSize s) {
        return !s.isEmpty() && s.width() <= source.width() && s.height() <= source.height();
    };
    if (source.isNull() || !reduces(gridSize) || !reduces(detailSize)) {
        grid = makeLumaGrid(source, gridSize.width(), gridSize.height());
        detail = grid.isNull() ? DetailGrid() : makeDetailGrid(source, detailSize.width(), detailSize.height());
        return !grid.isNull() && !detail.isNull();
    }
    const QImage src = asRgb32(source);
    if (src.isNull())
        return false;
    LumaReducer a(src.width(), src.height(), gridSize.width(), gridSize.height());
    LumaReducer b(src.width(), src.height(), detailSize.width(), detailSize.height());
    if (!a.valid() || !b.valid())
        return false;
    std::vector<float> luma(size_t(src.width()));
    for (int y = 0; y < src.height(); ++y) {
        rowLuminance(reinterpret_cast<const QRgb *>(src.constScanLine(y)), src.width(), luma.data());
        a.addLumaRow(luma.data());
        b.addLumaRow(luma.data());
    }
    grid = a.take();
    detail = DetailGrid(b.take());
    return true;
}

LumaGrid makeLumaGrid(const QImage &source, int width, int height)
{
    if (source.isNull() || width <= 0 || height <= 0)
        return {};
    const QImage src = asRgb32(source);
    if (src.isNull())
        return {};
    if (width <= src.width() && height <= src.height()) {
        LumaReducer reducer(src.width(), src.height(), width, height);
        if (!reducer.valid())
            return {};
        for (int y = 0; y < src.height(); ++y)
            reducer.addRow(reinterpret_cast<const QRgb *>(src.constScanLine(y)));
        return reducer.take();
    }
    // Enlarging in at least one direction: the same boxes, one destination
    // row at a time.
    std::vector<int> x0, x1, y0, y1;
    boxSpans(src.width(), width, x0, x1);
    boxSpans(src.height(), height, y0, y1);
    return enlargedGrid(src, x0, x1, y0, y1);
}

bool DetailGrid::valid() const
{
    if (isNull() || stored.isNull() || stored.luma.size() != size_t(stored.width) * size_t(stored.height))
        return false;
    const auto within = [](const std::vector<int> &map, int count, int storedCount) {
        if (map.empty())
            return count == storedCount;
        return map.size() == size_t(count) &&
               std::all_of(map.begin(), map.end(), [&](int i) { return i >= 0 && i < storedCount; });
    };
    return within(column, width, stored.width) && within(row, height, stored.height);
}

DetailGrid makeDetailGrid(const QImage &source, int width, int height)
{
    if (source.isNull() || width <= 0 || height <= 0)
        return {};
    if (width <= source.width() && height <= source.height()) {
        LumaGrid grid = makeLumaGrid(source, width, height);
        return grid.isNull() ? DetailGrid() : DetailGrid(std::move(grid));
    }
    const QImage src = asRgb32(source);
    if (src.isNull())
        return {};
    // The boxes of makeLumaGrid; a way the grid enlarges has boxes one
    // source pixel across, each pixel's the same wherever it repeats, so
    // that way every source pixel is stored once.
    DetailGrid detail;
    detail.width = width;
    detail.height = height;
    std::vector<int> x0, x1, y0, y1;
    boxSpans(src.width(), width, x0, x1);
    boxSpans(src.height(), height, y0, y1);
    const auto distinct = [](int sourceCount, int count, std::vector<int> &from, std::vector<int> &to,
                             std::vector<int> &map) {
        if (count <= sourceCount)
            return;
        map = from;
        from.resize(size_t(sourceCount));
        to.resize(size_t(sourceCount));
        for (int i = 0; i < sourceCount; ++i) {
            from[size_t(i)] = i;
            to[size_t(i)] = i + 1;
        }
    };
    distinct(src.width(), width, x0, x1, detail.column);
    distinct(src.height(), height, y0, y1, detail.row);
    detail.stored = enlargedGrid(src, x0, x1, y0, y1);
    if (detail.stored.isNull())
        return {};
    return detail;
}

} // namespace tessilor
