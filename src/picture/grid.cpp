#include "picture/grid.h"

#include "base/numparse.h"
#include "picture/resample.h"

namespace tessilor {

namespace {

// Limits of a grid: characters per cell in the columns field, and the
// smallest and largest cell counts.
struct GridLimits {
    int charactersPerCell;
    qint64 minWidth, maxWidth, minHeight, maxHeight;
};

// W = Int(value of columns / characters per cell) and H = Int(value of rows),
// clamped in the order H low, W low, H high, W high; written back as
// characters per cell * W and H.
GridSize clampToLimits(const GridLimits &l, const QString &columnsText, const QString &rowsText)
{
    qint64 h = floorToInt64(leadingNumber(rowsText));
    qint64 w = floorToInt64(leadingNumber(columnsText) / double(l.charactersPerCell));
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
    return clampToLimits({2, 8, 512, 16, 1024}, columnsText, rowsText);
}

GridSize clampFigureGrid(const QString &columnsText, const QString &rowsText)
{
    return clampToLimits({1, 16, 1024, 16, 1024}, columnsText, rowsText);
}

GridSize clampGrid(Mode mode, const QString &columnsText, const QString &rowsText)
{
    return mode == Mode::Text ? clampTextGrid(columnsText, rowsText) : clampFigureGrid(columnsText, rowsText);
}

QImage makeGridImage(const QImage &source, const QImage &display, int width, int height)
{
    if (!display.isNull() && display.width() == width && display.height() == height)
        return display.convertToFormat(QImage::Format_RGB32);
    return resampleBox(source, width, height);
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
