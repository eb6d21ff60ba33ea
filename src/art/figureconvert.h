#pragma once
#include <QByteArray>
#include <QImage>

#include "art/figurefill.h"
#include "art/textconvert.h"
#include "base/runhooks.h"

class QIODevice;

namespace tessilor {

// Displayed colour of one mosaic cell: the pixel itself in colour mode,
// 65793 * g in grey mode with g = (r + g + b) / 3 rounded to nearest.
quint32 figureCellColor(QRgb pixel, bool gray);

// One line of the colour file: a blank, the digits, a blank, CR LF. With the
// figure fill the line holds the figure's colour, then the background's
// digits and a blank before the CR LF (a reader taking the leading number
// gets the figure's colour).
void appendColorFileLine(QByteArray &out, quint32 color);
void appendColorFileLine(QByteArray &out, quint32 color, quint32 background);
QByteArray colorFileLine(quint32 color);

// Receives the mosaic as the conversion walks it.
class FigureSink
{
public:
    virtual ~FigureSink() = default;
    // One glyph in the given colour, appended at the end of the current row.
    virtual void cell(quint32 color) = 0;
    // One glyph on a painted background (the figure fill); a sink that
    // shows no backgrounds takes the glyph alone.
    virtual void filledCell(quint32 color, quint32 background)
    {
        Q_UNUSED(background)
        cell(color);
    }
    // The row just walked ends (cellsInRow cells); a line break follows.
    virtual void endRow(int rowIndex, int cellsInRow) = 0;
};

struct FigureResult {
    RunCounts counts;
    ConvertError error = ConvertError::None;
};

// Walks the grid row by row, giving every cell's colour to the sink and, when
// colorFile is set, writing it to the colour file. Stop semantics as in the
// text conversion: the row in progress keeps its cells and still ends.
FigureResult convertToFigures(const QImage &grid, bool gray, QIODevice *colorFile, FigureSink *sink,
                              const RunHooks &hooks = {});

// With the figure fill: every cell's sampled colour (grey in grey mode) is
// split by figureFill into the glyph's colour and a background, for a glyph
// of the given ink (see figurefill.h). A coverage of 0 or less means no
// fill.
FigureResult convertToFigures(const QImage &grid, bool gray, const FillInk &fill, QIODevice *colorFile,
                              FigureSink *sink, const RunHooks &hooks = {});

} // namespace tessilor
