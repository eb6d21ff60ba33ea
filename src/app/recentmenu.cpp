#include "app/recentmenu.h"

#include "base/paths.h"
#include "base/recentfiles.h"
#include "base/settings.h"

#include <QAction>
#include <QDir>
#include <QMenu>

namespace tessilor {

namespace {

// The file's name as the entry shows it; an '&' is no shortcut mark.
QString entryText(const QString &path)
{
    return getName(path).replace(u'&', QStringLiteral("&&"));
}

} // namespace

RecentMenu::RecentMenu(QMenu *menu, QAction *lastFile, QObject *parent) : QObject(parent), m_lastFile(lastFile)
{
    menu->setToolTipsVisible(true);
    connect(lastFile, &QAction::triggered, this, [this] { Q_EMIT openRequested(m_lastFile->data().toString()); });
    for (int n = 2; n <= kMaxRecentFiles; ++n) {
        auto *entry = new QAction(menu);
        entry->setObjectName(QStringLiteral("recentFile%1").arg(n));
        entry->setVisible(false);
        menu->addAction(entry);
        connect(entry, &QAction::triggered, this, [this, entry] { Q_EMIT openRequested(entry->data().toString()); });
        m_more.append(entry);
    }
    // A file removed meanwhile is not offered.
    connect(menu, &QMenu::aboutToShow, this, [this] { setFiles(m_files); });
}

void RecentMenu::add(const QString &path)
{
    setFiles(withRecentFile(m_files, path));
}

void RecentMenu::setFiles(const QStringList &files)
{
    m_files = existingRecentFiles(files).mid(0, kMaxRecentFiles);
    show();
}

void RecentMenu::show()
{
    const QString first = m_files.value(0);
    m_lastFile->setData(first);
    m_lastFile->setText(first.isEmpty() ? QStringLiteral("Пусто") : entryText(first));
    m_lastFile->setToolTip(QDir::toNativeSeparators(first));
    m_lastFile->setEnabled(!first.isEmpty());
    for (int i = 0; i < m_more.size(); ++i) {
        const QString path = m_files.value(i + 1);
        QAction *entry = m_more[i];
        entry->setData(path);
        entry->setText(entryText(path));
        entry->setToolTip(QDir::toNativeSeparators(path));
        entry->setVisible(!path.isEmpty());
    }
}

void RecentMenu::load(const SettingsStore &store)
{
    setFiles(readRecentFiles(store));
}

void RecentMenu::save(SettingsStore &store) const
{
    writeRecentFiles(store, m_files);
}

} // namespace tessilor
