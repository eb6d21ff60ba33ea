#include "art/figureconvert.h"

#include "art/figurefill.h"

#include <QIODevice>

namespace tessilor {

quint32 figureCellColor(QRgb pixel, bool gray)
{
    const int r = qRed(pixel);
    const int g = qGreen(pixel);
    const int b = qBlue(pixel);
    if (gray) {
        const quint32 level = quint32(grayFromSum(r + g + b));
        return 65793u * level;
    }
    return quint32(r) + 256u * quint32(g) + 65536u * quint32(b);
}

void appendColorFileLine(QByteArray &out, quint32 color)
{
    out.append(' ');
    out.append(QByteArray::number(color));
    out.append(" \r\n");
}

void appendColorFileLine(QByteArray &out, quint32 color, quint32 background)
{
    out.append(' ');
    out.append(QByteArray::number(color));
    out.append(' ');
    out.append(QByteArray::number(background));
    out.append(" \r\n");
}

QByteArray colorFileLine(quint32 color)
{
    QByteArray line;
    appendColorFileLine(line, color);
    return line;
}

FigureResult convertToFigures(const QImage &grid, bool gray, QIODevice *colorFile, FigureSink *sink,
                              const RunHooks &hooks)
{
    return convertToFigures(grid, gray, FillInk(), colorFile, sink, hooks);
}

FigureResult convertToFigures(const QImage &grid, bool gray, const FillInk &fillInk, QIODevice *colorFile,
                              FigureSink *sink, const RunHooks &hooks)
{
    const bool fill = fillInk.onLight > 0 && fillInk.onDark > 0;
    FigureResult result;
    if (grid.isNull() || grid.width() <= 0 || grid.height() <= 0) {
        result.error = ConvertError::EmptyGrid;
        return result;
    }
    const QImage img = grid.format() == QImage::Format_RGB32 ? grid : grid.convertToFormat(QImage::Format_RGB32);
    const int lastRow = img.height() - 1;
    const int cols = img.width();
    YieldClock clock(hooks);
    QByteArray buffer;
    buffer.reserve(cols * 12);
    bool stopped = false;
    int i = 0;
    for (; i <= lastRow; ++i) {
        if (clock.stopRequested()) {
            stopped = true;
            break;
        }
        const QRgb *px = reinterpret_cast<const QRgb *>(img.constScanLine(i));
        int walked = 0;
        buffer.clear();
        for (int j = 0; j < cols; ++j) {
            if (clock.stopRequested()) {
                stopped = true;
                break;
            }
            const quint32 color = figureCellColor(px[j], gray);
            if (fill) {
                const FillColors f = figureFill(color, fillInk);
                if (sink)
                    sink->filledCell(f.figure, f.background);
                if (colorFile)
                    appendColorFileLine(buffer, f.figure, f.background);
            } else {
                if (sink)
                    sink->cell(color);
                if (colorFile)
                    appendColorFileLine(buffer, color);
            }
            ++walked;
            clock.afterCell();
        }
        if (i == 0)
            result.counts.gridColumns = walked;
        if (colorFile && !buffer.isEmpty() && colorFile->write(buffer) != buffer.size()) {
            result.error = ConvertError::WriteFailed;
            result.counts.endRow = i;
            return result;
        }
        if (sink)
            sink->endRow(i, walked);
        clock.tick();
        clock.percent(rowPercent(i, lastRow));
        ++result.counts.gridRows;
    }
    result.counts.endRow = i;
    result.counts.stopped = stopped;
    clock.percent(100.0);
    return result;
}

} // namespace tessilor
