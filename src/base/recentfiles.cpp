#include "base/recentfiles.h"

#include "base/settings.h"

#include <QFileInfo>

namespace tessilor {

QString recentFileKey(int n)
{
    return n == 1 ? keys::LastFile : QStringLiteral("RecentFile%1").arg(n);
}

QStringList withRecentFile(const QStringList &list, const QString &path)
{
    if (path.trimmed().isEmpty())
        return list.mid(0, kMaxRecentFiles);
    QStringList out{path};
    for (const QString &entry : list) {
        if (out.size() == kMaxRecentFiles)
            break;
        if (entry != path)
            out.append(entry);
    }
    return out;
}

QStringList existingRecentFiles(const QStringList &list)
{
    QStringList out;
    for (const QString &entry : list) {
        const QFileInfo info(entry);
        if (!entry.trimmed().isEmpty() && info.isFile() && !out.contains(entry))
            out.append(entry);
    }
    return out;
}

QStringList readRecentFiles(const SettingsStore &store)
{
    QStringList out;
    for (int n = 1; n <= kMaxRecentFiles; ++n) {
        const QString path = store.read(recentFileKey(n), QString());
        if (!path.trimmed().isEmpty())
            out.append(path);
    }
    return out;
}

void writeRecentFiles(SettingsStore &store, const QStringList &list)
{
    for (int n = 1; n <= kMaxRecentFiles; ++n)
        store.write(recentFileKey(n), list.value(n - 1));
}

} // namespace tessilor
