#pragma once
#include <QList>
#include <QObject>
#include <QStringList>

class QAction;
class QMenu;

namespace tessilor {

class SettingsStore;

// The recent files in the open button's drop-down, newest first: the last
// file's entry (the main window's "lastFile" command, "Пусто" and disabled
// while the list is empty) and up to seven more entries below it
// ("recentFile2" .. "recentFile8"). Files that no longer exist are left out
// whenever the list is read, changed or shown.
class RecentMenu : public QObject
{
    Q_OBJECT
public:
    RecentMenu(QMenu *menu, QAction *lastFile, QObject *parent = nullptr);

    QStringList files() const { return m_files; }
    // Puts path in front (a file opened or closed).
    void add(const QString &path);
    void setFiles(const QStringList &files);

    void load(const SettingsStore &store);
    void save(SettingsStore &store) const;

Q_SIGNALS:
    // An entry below the last file's was chosen.
    void openRequested(const QString &path);

private:
    void show();

    QAction *m_lastFile;
    QList<QAction *> m_more;
    QStringList m_files;
};

} // namespace tessilor
