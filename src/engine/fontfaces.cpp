#include "engine/fontfaces.h"

#include <QFont>
#include <QStringList>

namespace tessilor {

void installFontSubstitutions()
{
    const QString dejavu = QStringLiteral("DejaVu Sans Mono");
    const QString liberation = QStringLiteral("Liberation Mono");
    QFont::insertSubstitutions(QStringLiteral("Courier New Cyr"), {liberation, dejavu});
    QFont::insertSubstitutions(QStringLiteral("Lucida Console"), {dejavu, liberation});
    QFont::insertSubstitutions(QStringLiteral("Fixedsys"), {dejavu, liberation});
    QFont::insertSubstitutions(QStringLiteral("Terminal"), {dejavu, liberation});
}

} // namespace tessilor
