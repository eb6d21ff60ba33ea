#pragma once
#include <QImage>
#include <QString>

#include "base/options.h"

namespace tessilor {

// Cell counts of one conversion after the clamps, and the texts written back
// into the grid-size fields.
struct GridSize {
    int width = 0;  // cells per row
    int height = 0; // rows
    QString columnsText;
    QString rowsText;
};

// Text mode: W = Int(value of columns / 2) in 8..512, H = Int(value of rows)
// in 16..1024, clamped in the order H low, W low, H high, W high; written
// back as 2*W and H.
GridSize clampTextGrid(const QString &columnsText, const QString &rowsText);

// Figure mode: W and H = Int(value) in 16..1024; written back unchanged.
GridSize clampFigureGrid(const QString &columnsText, const QString &rowsText);

GridSize clampGrid(Mode mode, const QString &columnsText, const QString &rowsText);

// Builds the sampling surface: when the display copy is already W x H pixels
// it is copied as it is, otherwise the whole source picture is resampled to
// W x H. Null when the picture is empty or the surface cannot be allocated.
QImage makeGridImage(const QImage &source, const QImage &display, int width, int height);

// Default row count for a column text, as the proportional coupling computes
// it: Int(Val(columns) / aspect / 2) in text mode, Int(Val(columns) / aspect)
// in figure mode, with a single precision aspect. Returned as field text.
QString proportionalRows(Mode mode, const QString &columnsText, float aspect);

} // namespace tessilor
