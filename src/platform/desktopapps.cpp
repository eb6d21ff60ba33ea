#include "platform/desktopapps.h"

#include <QDir>
#include <QFileInfo>
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

QStringList wordProcessorNames()
{
    return {QStringLiteral("soffice"), QStringLiteral("libreoffice"),   QStringLiteral("lowriter"),
            QStringLiteral("abiword"), QStringLiteral("calligrawords"), QStringLiteral("ted")};
}

namespace {

// False for a LibreOffice whose program folder has no window plug-in.
bool showsWindows(const QString &program)
{
    const QFileInfo real(QFileInfo(program).canonicalFilePath());
    const QDir folder = real.absoluteDir();
    if (!folder.exists(QStringLiteral("soffice.bin")))
        return true;
    return !folder.entryList({QStringLiteral("libvclplug_*")}, QDir::Files).isEmpty();
}

} // namespace

QString installedWordProcessor()
{
    for (const QString &name : wordProcessorNames()) {
        const QString program = QStandardPaths::findExecutable(name);
        if (!program.isEmpty() && showsWindows(program))
            return program;
    }
    return QString();
}

bool openWithWordProcessor(const QString &path)
{
    const QString program = installedWordProcessor();
    if (program.isEmpty())
        return false;
    QProcess writer;
    writer.setProgram(program);
    writer.setArguments({path});
    writer.setStandardInputFile(QProcess::nullDevice());
    writer.setStandardOutputFile(QProcess::nullDevice());
    writer.setStandardErrorFile(QProcess::nullDevice());
    return writer.startDetached();
}

} // namespace tessilor
