#include "platform/desktopapps.h"

#include <QProcess>
#include <QStandardPaths>

#include <memory>
#include <vector>

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
    // The types are asked about side by side: each answer takes a moment.
    std::vector<std::unique_ptr<QProcess>> queries;
    for (const QString &type : mimeTypes) {
        auto query = std::make_unique<QProcess>();
        query->setStandardInputFile(QProcess::nullDevice());
        query->start(xdgMime, {QStringLiteral("query"), QStringLiteral("default"), type});
        queries.push_back(std::move(query));
    }
    bool found = false, unknown = false;
    for (const auto &query : queries) {
        if (!query->waitForFinished(kAnswerMs) || query->exitStatus() != QProcess::NormalExit) {
            query->kill();
            query->waitForFinished(1000);
            unknown = true;
            continue;
        }
        found = found || !query->readAllStandardOutput().trimmed().isEmpty();
    }
    return found || unknown;
}

} // namespace tessilor
