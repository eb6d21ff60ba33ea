#pragma once
#include <QString>
#include <QStringList>

namespace tessilor {

// Monospaced families with Cyrillic letters that stand in for a text font of
// the font list when the system lacks it, best first; empty for any other
// family. "Courier New Cyr" is drawn in Liberation Mono (Courier New's
// advance), the others in DejaVu Sans Mono, each falling back to the other.
// The program's fontconfig file names the same families.
QStringList monospaceStandIns(const QString &family);

// Font used on the page for the result window's font: "Fixedsys" and
// "Terminal" are replaced by "Courier New Cyr".
QString pageFontName(const QString &resultFontName);

// The four ramp fonts keep their names; Qt shows them with their stand-ins.
// The desktop program and tessilor-cli install the same table, so both
// measure and draw the same faces. Needs a QGuiApplication.
void installFontSubstitutions();

} // namespace tessilor
