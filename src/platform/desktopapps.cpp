#include "platform/desktopapps.h"

#include <QProcess>
#include <QStandardPaths>

namespace tessilor {

namespace {
constexpr int kAnswerMs = 5000;
} // namespace

QStringList rtfMimeTypes()
{
    return {QStringLiteral("text/rtf"), QStringLiteral("application/rtf")};
}

bool desktopOpensAnyOf(const QStringList &mimeTypes)
{
    const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (xdgMime.isEmpty())
        return true;
    for (const QString &type : mimeTypes) {
        QProcess query;
        query.setStandardInputFile(QProcess::nullDevice());
        query.start(xdgMime, {QStringLiteral("query"), QStringLiteral("default"), type});
        if (!query.waitForFinished(kAnswerMs) || query.exitStatus() != QProcess::NormalExit) {
            query.kill();
            query.waitForFinished(1000);
            return true;
        }
        if (!query.readAllStandardOutput().trimmed().isEmpty())
            return true;
    }
    return false;
}

} // namespace tessilor
