#pragma once
#include <QObject>
#include <QString>
#include <memory>

class QLocalServer;
class QLockFile;
class QSocketNotifier;

namespace tessilor {

class Form1;

// One running copy per user. The first copy holds a lock file in the user's
// runtime folder and listens on a local socket beside it; a later copy finds
// the lock taken, asks the first copy over the socket to bring its window to
// the front, and ends. A lock left behind by a crashed copy is recognised as
// stale (its process is gone) and taken over.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    // folder: where the lock and the socket live; empty means the runtime
    // folder of the user.
    explicit SingleInstance(const QString &folder = QString(), QObject *parent = nullptr);
    ~SingleInstance() override;

    // True when this copy is the first one and now owns the lock. False when
    // another copy runs; that copy has then been asked to come to the front.
    bool acquire();

    QString lockPath() const;
    QString socketPath() const;

Q_SIGNALS:
    // Another copy asked this one to show itself.
    void activateRequested();

private:
    void onNewConnection();
    bool notifyRunningCopy();

    QString m_folder;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer *m_server = nullptr;
};

// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal delivered on the
// user-interface thread, so the program can close the way a user would.
class TerminationWatcher : public QObject
{
    Q_OBJECT
public:
    explicit TerminationWatcher(QObject *parent = nullptr);
    ~TerminationWatcher() override;
    bool isActive() const { return m_notifier != nullptr; }

Q_SIGNALS:
    void terminationRequested(int signalNumber);

private:
    void onReadable();
    QSocketNotifier *m_notifier = nullptr;
};

// Wires a termination request to the main window: a run in progress is
// stopped first, then the window closes the usual way and saves the settings.
void closeOnTermination(TerminationWatcher &watcher, Form1 &form);

// The four ramp fonts keep their names; the system shows them with
// monospaced families that have Cyrillic letters.
void installFontSubstitutions();

// Makes the figure fonts and the text-font aliases visible to the user's
// other applications through fontconfig, when they are not already (see
// shareFontsWithUser). A failure is logged; the program runs on.
void shareFontsWithOtherApplications();

// Deletes every "*.tmp" file directly in folder (not in subfolders); the
// case of the extension does not matter. Returns how many were deleted.
int deleteTempFiles(const QString &folder);

// The desktop program: guard, main window, event loop. Returns the exit code.
int runDesktop(int argc, char **argv);

} // namespace tessilor
