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

// W = Int(value of columns / characters per cell) and H = Int(value of rows),
// clamped in the order H low, W low, H high, W high; written back as
// characters per cell * W and H.
GridSize clampToLimits(const GridLimits &l, const QString &columnsText, const QString &rowsText,
                       GridClamp clamp = GridClamp::EachSide)
{
    double rows = leadingNumber(rowsText);
    double cells = leadingNumber(columnsText) / double(l.charactersPerCell);
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
    g.rowsText = decimalText(h);
    g.columnsText = decimalText(l.charactersPerCell * w);
    return g;
}

} // namespace

GridSize clampTextGrid(const QString &columnsText, const QString &rowsText)
{
    return clampToLimits(kTextLimits, columnsText, rowsText);
}

GridSize clampFigureGrid(const QString &columnsText, const QString &rowsText)
{
    return clampToLimits(kFigureLimits, columnsText, rowsText);
}

GridSize clampGrid(Mode mode, const QString &columnsText, const QString &rowsText, GridClamp clamp)
{
    return clampToLimits(mode == Mode::Text ? kTextLimits : kFigureLimits, columnsText, rowsText, clamp);
}

QString proportionalRows(Mode mode, const QString &columnsText, float aspect)
{
    const double cols = leadingNumber(columnsText);
    double rows = cols / double(aspect);
    if (mode == Mode::Text)
        rows /= 2.0;
    return decimalText(floorToInt64(rows));
}

} // namespace tessilor
