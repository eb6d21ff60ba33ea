#include "art/fontfaces.h"

#include "art/fonttables.h"

#include <QFont>

namespace tessilor {

QStringList monospaceStandIns(const QString &family)
{
    const QString dejavu = QStringLiteral("DejaVu Sans Mono");
    const QString liberation = QStringLiteral("Liberation Mono");
    if (family == rampFonts()[0].face)
        return {liberation, dejavu};
    for (size_t i = 1; i < rampFonts().size(); ++i) {
        if (family == rampFonts()[i].face)
            return {dejavu, liberation};
    }
    return {};
}

QString pageFontName(const QString &resultFontName)
{
    if (resultFontName == QLatin1String("Fixedsys") || resultFontName == QLatin1String("Terminal"))
        return QStringLiteral("Courier New Cyr");
    return resultFontName;
}

void installFontSubstitutions()
{
    for (const RampFont &f : rampFonts())
        QFont::insertSubstitutions(f.face, monospaceStandIns(f.face));
}

} // namespace tessilor
