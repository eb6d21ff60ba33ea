#pragma once
#include <QByteArray>
#include <QImage>

#include "engine/runhooks.h"
#include "engine/textconvert.h"

class QIODevice;

namespace tessilor {

// Displayed colour of one mosaic cell: the pixel itself in colour mode,
// 65793 * g in grey mode with g = (r + g + b) / 3 rounded to nearest.
quint32 figureCellColor(QRgb pixel, bool gray);

// One line of the colour file: a blank, the digits, a blank, CR LF.
QByteArray colorFileLine(quint32 color);

// Receives the mosaic as the conversion walks it.
class FigureSink
{
public:
    virtual ~FigureSink() = default;
    // One glyph in the given colour, appended at the end of the current row.
    virtual void cell(quint32 color) = 0;
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

} // namespace tessilor
