#pragma once
#include <QImage>

#include "base/options.h"

namespace tessilor {

// Cell counts of one conversion after the clamp, and the columns as the
// grid-size field counts them (the rows field shows height).
struct GridSize {
    int width = 0;   // cells per row
    int height = 0;  // rows
    int columns = 0; // characters per line: 2 * width in text mode, width for figures
};

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
// line alike. columns and rows are the numbers asked for, counted as the
// grid-size fields count them (columns in characters in text mode), read
// from their text once (leadingNumber); fractions are cut here.
// Text mode: W = Int(columns / 2) in 8..512, H = Int(rows) in 16..1024,
// clamped in the order H low, W low, H high, W high; figure mode: W and H =
// Int(value) in 16..1024.
GridSize clampGrid(Mode mode, double columns, double rows, GridClamp clamp = GridClamp::EachSide);

// Default row count for a number of columns, as the proportional coupling
// computes it: Int(columns / aspect / 2) in text mode, Int(columns / aspect)
// in figure mode, with a single precision aspect (held to +-9e18). Clamp it
// together with the columns (GridClamp::KeepProportions), so that the rows
// follow the columns really used.
qint64 proportionalRows(Mode mode, double columns, float aspect);

} // namespace tessilor
