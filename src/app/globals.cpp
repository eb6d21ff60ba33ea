#include "app/globals.h"

#include "base/paths.h"

namespace tessilor::globals {

qint16 StopRequested = 0;
qint16 ResultKind = 0;
qint32 GridRows = 0;
qint32 GridColumns = 0;
float ImageAspect = 1.0f;

QString TempTextPath;
QString TempColorPath;
QString FigureFontFile1;
QString FigureFontFile2;
QString FigureFontName = QStringLiteral("Arial");
QString FigureFontName2 = QStringLiteral("Arial");

void initPaths(const QString &dataFolder, const QString &programFolder, const QString &fontFolder)
{
    // Without a data folder there is nowhere to put the files: the paths
    // stay empty and a run says so.
    TempTextPath = dataFolder.isEmpty() ? QString() : dataFolder + QStringLiteral("/text.tmp");
    TempColorPath = dataFolder.isEmpty() ? QString() : dataFolder + QStringLiteral("/color.tmp");
    const QString fonts = fontFolder.isEmpty() ? programFolder : fontFolder;
    FigureFontFile1 = figureFontFile(1, fonts);
    FigureFontFile2 = figureFontFile(2, fonts);
}

PrintSource lastRunPrintSource(const QString &fontName, double fontSize, quint32 foreColor, QChar glyph)
{
    PrintSource s;
    s.resultKind = ResultKind;
    s.gridRows = GridRows;
    s.gridColumns = GridColumns;
    s.textPath = TempTextPath;
    s.colorPath = TempColorPath;
    s.fontName = fontName;
    s.fontSize = fontSize;
    s.foreColor = foreColor;
    s.glyph = glyph;
    return s;
}

} // namespace tessilor::globals
