#pragma once
#include <QString>

#include "base/options.h"

namespace tessilor {

// What one conversion reads from the main window's controls, taken in one
// place (MainWindow::runRequest) when a run starts.
struct RunRequest {
    // Mode list entry: 1 text characters, 2 figures; another value runs no
    // conversion.
    int mode = 0;
    // Option bar on screen: 1 the text-mode bar, 2 the figure-mode bar, 0
    // neither. Its grid-size fields give the columns and rows texts.
    int visibleBar = 0;
    QString columnsText;
    QString rowsText;
    // That bar's proportional box: the clamp keeps the fields' proportions.
    bool proportional = false;

    // Text characters: the font list entry, its light-to-dark character
    // ramp, the text size list entry, the text colour and the contrast.
    QString fontFace;
    QString ramp;
    QString textSizeText;
    quint32 textColor = 0;
    qint16 contrast = 0;
    // Method list entry: 0 classic, 1 tone (see TextMethod), and the tone
    // method's shape strength.
    int method = 0;
    int structure = kDefaultToneStructure;
    // The colour picker's "По изображению": every character in the colour of
    // its cell (tone method: of its half cell) instead of textColor.
    bool pictureColors = false;

    // Figures: the figure font family, the figure's code (0 when none is
    // chosen), the figure size list entry and the colour-mode list (grey or
    // colour).
    QString figureFamily;
    int figureCode = 0;
    QString figureSizeText;
    bool gray = false;
    // Each cell's background painted so that figure and background together
    // give the cell's colour.
    bool fill = false;

    // A live preview: sampled from the picture's reduced copy, into the
    // result window as it stands (shown, scrolled where it is).
    bool preview = false;
};

// Why a conversion could not run; the run control reports it.
struct RunError {
    QString reason;
};

} // namespace tessilor
