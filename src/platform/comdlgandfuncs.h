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

// What the file dialog answered: the chosen files with their folder, all
// in one folder (none when it was cancelled), and the file type chosen in
// its list ("Текстовые файлы (*.txt)").
struct FileDialogAnswer {
    QStringList files;
    QString filter;
    bool confirmed() const { return !files.isEmpty(); }
    // The first file chosen (the only one when saving).
    QString file() const { return files.value(0); }
};

// File dialog: mode 1 opens (several files may be chosen), any other mode
// saves (with an overwrite prompt). initDir is the starting folder.
// defExt is appended to a typed name without extension (empty: none).
// proposedName, when given, stands in the name field with the file type of
// its extension chosen; choosing another type changes its extension.
FileDialogAnswer ShowFileDialog(int mode, const QString &initDir, const FilterTable &filters, const QString &defExt,
                                QWidget *owner, const QString &proposedName = QString());

// Titles of the file dialog.
QString fileDialogTitle(int mode);

} // namespace tessilor
