#include "picture/grid.h"

#include "base/numparse.h"

#include <algorithm>
#include <cmath>

namespace tessilor {

namespace {

// Limits of a grid: characters per cell in the columns field, and the
// smallest and largest cell counts.
struct GridLimits {
    int charactersPerCell;
    qint64 minWidth, maxWidth, minHeight, maxHeight;
};

constexpr GridLimits kTextLimits{2, 8, 512, 16, 1024};
constexpr GridLimits kFigureLimits{1, 16, 1024, 16, 1024};

// Counts beyond this have no proportions worth keeping; held here, their
// products with a limit stay far inside 64 bits.
constexpr qint64 kLargestCount = qint64(1) << 31;

// Both counts shrunk by one factor: the one farthest beyond its largest
// value lands on it.
void scaleTogether(const GridLimits &l, qint64 &w, qint64 &h)
{
    if (w > kLargestCount || h > kLargestCount) {
        const double f = double(kLargestCount) / double(std::max(w, h));
        w = std::max<qint64>(1, floorToInt64(double(w) * f));
        h = std::max<qint64>(1, floorToInt64(double(h) * f));
    }
    if (w <= l.maxWidth && h <= l.maxHeight)
        return;
    // w / maxWidth against h / maxHeight, compared as products.
    if (w * l.maxHeight >= h * l.maxWidth) {
        h = h * l.maxWidth / w;
        w = l.maxWidth;
    } else {
        w = w * l.maxHeight / h;
        h = l.maxHeight;
    }
}

// W = Int(columns / characters per cell) and H = Int(rows), clamped in the
// order H low, W low, H high, W high; the columns are characters per cell *
// W.
GridSize clampToLimits(const GridLimits &l, double columns, double rows, GridClamp clamp)
{
    double cells = columns / double(l.charactersPerCell);
    const bool keep = clamp == GridClamp::KeepProportions;
    // Counts too large for whole numbers keep their proportions as well.
    if (const double largest = std::max(rows, cells); keep && std::isfinite(largest) && largest > kLargestCount) {
        rows *= double(kLargestCount) / largest;
        cells *= double(kLargestCount) / largest;
    }
    qint64 h = floorToInt64(rows);
    qint64 w = floorToInt64(cells);
    if (keep && w > 0 && h > 0)
        scaleTogether(l, w, h);
    if (h < l.minHeight)
        h = l.minHeight;
    if (w < l.minWidth)
        w = l.minWidth;
    if (h > l.maxHeight)
        h = l.maxHeight;
    if (w > l.maxWidth)
        w = l.maxWidth;
    GridSize g;
    g.width = int(w);
    g.height = int(h);
    g.columns = int(l.charactersPerCell * w);
    return g;
}

} // namespace

GridSize clampGrid(Mode mode, double columns, double rows, GridClamp clamp)
{
    return clampToLimits(mode == Mode::Text ? kTextLimits : kFigureLimits, columns, rows, clamp);
}

qint64 proportionalRows(Mode mode, double columns, float aspect)
{
    double rows = columns / double(aspect);
    if (mode == Mode::Text)
        rows /= 2.0;
    return floorToInt64(rows);
}

} // namespace tessilor
