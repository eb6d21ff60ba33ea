#pragma once
#include <QString>

#include "layout/printlayout.h"

// Program-wide state shared by the main window, the conversions, the result
// window and printing. Everything runs on the user-interface thread.
namespace tessilor::globals {

// 0 runs on, -1 asks the running conversion to stop.
extern qint16 StopRequested;
// 0 no finished result, 2 figure result, 3 text-character result.
extern qint16 ResultKind;
// Rows written and cells walked in the first row by the last conversion.
extern qint32 GridRows;
extern qint32 GridColumns;
// Width / height of the image window's display copy.
extern float ImageAspect;

// Temporary files of the last conversion, in the private data folder; empty
// when the folder could not be created.
extern QString TempTextPath;  // text.tmp
extern QString TempColorPath; // color.tmp
// Figure font files, and the family names read from them ("Arial" until a
// file has been read).
extern QString FigureFontFile1;
extern QString FigureFontFile2;
extern QString FigureFontName;
extern QString FigureFontName2;

// Sets the paths above from the data folder and the folder of the figure
// fonts (empty: programFolder).
void initPaths(const QString &dataFolder, const QString &programFolder, const QString &fontFolder = QString());

// What printing needs: the state of the last conversion above with the result
// window's font, colour and figure glyph.
PrintSource lastRunPrintSource(const QString &fontName, double fontSize, quint32 foreColor, QChar glyph);

} // namespace tessilor::globals
