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

// How the two counts meet their limits.
enum class GridClamp {
    // Each count on its own, as above.
    EachSide,
    // Both by one factor, so that the art keeps the proportions the counts
    // have (the proportional box): when a count is above its largest value,
    // both shrink until the count farthest out is at its limit, the other
    // becoming Int(other * limit / count). Then each count is held in its
    // own limits: nothing grows past the count asked for, and never below
    // the smallest count (which only a picture thinner than the limits allow
    // still bends). Counts that are not both positive have no proportions to
    // keep: EachSide.
    KeepProportions,
};

// The one rule of the grid's size, for the desktop's fields and the command
// line alike.
GridSize clampGrid(Mode mode, const QString &columnsText, const QString &rowsText,
                   GridClamp clamp = GridClamp::EachSide);

// Default row count for a column text, as the proportional coupling computes
// it: Int(Val(columns) / aspect / 2) in text mode, Int(Val(columns) / aspect)
// in figure mode, with a single precision aspect. Returned as field text;
// clamp it together with the columns (GridClamp::KeepProportions), so that
// the rows follow the columns really used.
QString proportionalRows(Mode mode, const QString &columnsText, float aspect);

} // namespace tessilor
