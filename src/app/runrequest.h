#pragma once
#include <QString>

#include "document/conversion.h"

namespace tessilor {

// What one run converts, read from the main window's controls in one place
// (MainWindow::runRequest) when it starts: the conversion's options, every
// field read once into its number or enum, and what the controls say
// besides.
struct RunRequest : ConversionOptions {
    // The mode list has an entry chosen; without one a run converts nothing.
    bool hasMode = false;
    // An option bar is on screen: its grid-size fields gave columns and rows
    // and its proportional box gridClamp. Without one a run has no grid.
    bool hasGrid = false;
    // A live preview: sampled from the picture's reduced copy, into the
    // result window as it stands (shown, scrolled where it is).
    bool preview = false;
};

// Why a conversion could not run; the run control reports it.
struct RunError {
    QString reason;
};

} // namespace tessilor
