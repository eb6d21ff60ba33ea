#include "engine/grid.h"

#include "engine/numparse.h"
#include "engine/resample.h"

namespace tessilor {

GridSize clampTextGrid(const QString &columnsText, const QString &rowsText)
{
    qint64 h = floorToInt64(leadingNumber(rowsText));
    qint64 w = floorToInt64(leadingNumber(columnsText) / 2.0);
    if (h < 16)
        h = 16;
    if (w < 8)
        w = 8;
    if (h > 1024)
        h = 1024;
    if (w > 512)
        w = 512;
    GridSize g;
    g.width = int(w);
    g.height = int(h);
    g.rowsText = decimalText(h);
    g.columnsText = decimalText(2 * w);
    return g;
}

GridSize clampFigureGrid(const QString &columnsText, const QString &rowsText)
{
    qint64 h = floorToInt64(leadingNumber(rowsText));
    qint64 w = floorToInt64(leadingNumber(columnsText));
    if (h < 16)
        h = 16;
    if (w < 16)
        w = 16;
    if (h > 1024)
        h = 1024;
    if (w > 1024)
        w = 1024;
    GridSize g;
    g.width = int(w);
    g.height = int(h);
    g.rowsText = decimalText(h);
    g.columnsText = decimalText(w);
    return g;
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
