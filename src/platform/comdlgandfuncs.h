#pragma once
#include <QString>
#include <QStringList>
#include <array>

#include "base/dialogstrings.h"

class QWidget;

// Common dialogs of the program: open/save file and colour. Each runs modally
// over its owner and returns true when the user confirmed.
namespace tessilor {

// The colour dialog's custom colour table (24-bit red + 256 green + 65536
// blue), all 0 at start, kept for the run.
extern std::array<quint32, 16> CustomColors;

// Colour dialog starting from color. Confirmed: color receives the choice.
// Cancelled: color is unchanged. The first call with CustomColors[0] = 0
// puts color there.
bool ShowColorDialog(quint32 &color, QWidget *owner);

// File dialog: mode 1 opens (several files may be chosen), any other mode
// saves (with an overwrite prompt). initDir is the starting folder; on
// confirmation it receives the chosen folder and fileNames the chosen names
// (without folder). Cancelled: initDir = "", fileNames = {""}, false.
// defExt is appended to a typed name without extension (empty: none).
// proposedName, when given, stands in the name field with the file type of
// its extension chosen; choosing another type changes its extension.
bool ShowFileDialog(int mode, QString &initDir, QStringList &fileNames, const FilterTable &filters,
                    const QString &defExt, QWidget *owner, const QString &proposedName = QString());

// Titles of the file dialog.
QString fileDialogTitle(int mode);

} // namespace tessilor
