#include "engine/globals.h"

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
    TempTextPath = dataFolder + QStringLiteral("/text.tmp");
    TempColorPath = dataFolder + QStringLiteral("/color.tmp");
    const QString fonts = fontFolder.isEmpty() ? programFolder : fontFolder;
    FigureFontFile1 = fonts + QStringLiteral("/GLYFA__1.TTF");
    FigureFontFile2 = fonts + QStringLiteral("/GLYFA__2.TTF");
}

} // namespace tessilor::globals
