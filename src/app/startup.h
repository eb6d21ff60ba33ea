#pragma once
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

class QSocketNotifier;
class QTimer;

namespace tessilor {

class MainWindow;

// One running copy per user. The first copy holds a lock on a file in the
// user's runtime folder and listens on a local socket beside it; a later copy
// finds the lock held, asks the first copy over the socket to bring its
// window to the front (or to open a picture file), and ends once it has
// answered.
//
// The messages are lines ending in "\n", each answered with "ok\n":
// "activate", or "open " and a file's absolute path, its bytes
// percent-encoded (so that any file name fits on one line).
//
// The lock is the kernel's (flock): it goes with the process that held it,
// so whatever a file at the lock path contains (nothing, garbage, another
// program's record, a copy that crashed on another machine) it never keeps
// the program from starting. A link or an empty folder at the lock path is
// removed; where no lock can be held at all the program runs unguarded.
//
// The folder is one no other user can write: XDG_RUNTIME_DIR, else a folder
// made for this user in the temporary folder (tessilor-UID, mode 0700), each
// checked without following a link; when neither is the user's alone (made
// by another user first, say) the program runs unguarded rather than hand
// its files to whoever holds the lock there.
//
// Whatever connects, the listening copy stays in service: at most
// kMaxConnections connections are open at once (a new one closes the
// oldest), a connection carries at most kMaxLinesPerConnection lines and is
// closed once idle for kIdleMs, a line longer than any message ends it, at
// most kLinesPerSecond lines are read a second, repeated requests to come to
// the front are carried out once, and a failed accept (no descriptors left)
// pauses accepting instead of closing the socket.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    enum class Start {
        First,      // this copy holds the lock, or runs unguarded
        HandedOver, // another copy runs and has answered
        Busy,       // another copy holds the lock but does not answer
    };

    // folder: where the lock and the socket live; empty means the runtime
    // folder of the user (see above). A folder that is not the user's alone
    // is not used.
    explicit SingleInstance(const QString &folder = QString(), QObject *parent = nullptr);
    ~SingleInstance() override;

    // openPath: a picture file a later copy hands to the first one; an
    // empty one asks it only to show itself.
    Start start(const QString &openPath = QString());
    // True when start() makes this copy the first one.
    bool acquire() { return start() == Start::First; }

    // Empty when there is no private folder (the program runs unguarded).
    QString lockPath() const;
    QString socketPath() const;

    // Requests of later copies that arrive from now on wait, in order, until
    // deliverRequests(): a copy still starting has no one to carry them out
    // yet (its start-up lets events through).
    void holdRequests() { m_holding = true; }
    void deliverRequests();

    // How long a later copy waits for the first copy's answer.
    static constexpr int kAnswerTimeoutMs = 5000;
    static constexpr int kMaxConnections = 32;
    static constexpr int kMaxLinesPerConnection = 8;
    static constexpr int kIdleMs = 5000;
    static constexpr int kLinesPerSecond = 200;

Q_SIGNALS:
    // Another copy asked this one to show itself.
    void activateRequested();
    // Another copy asked this one to open the picture file at path.
    void openRequested(const QString &path);

private:
    struct Connection;
    bool listen();
    void acceptPending();
    void readConnection(Connection *c);
    void processLines(Connection *c);
    void handleLine(const QByteArray &line);
    void drop(Connection *c);
    void dropIdle();
    void pauseReading(bool paused);
    bool notifyRunningCopy(const QByteArray &message);
    // Carries out a request from the event loop: opening path, or showing
    // this copy when path is empty.
    void request(const QString &path);
    void deliver();

    QString m_folder;
    bool m_holding = false;
    bool m_deliveryQueued = false;
    bool m_activatePending = false;
    QStringList m_opens; // files to open, oldest first
    int m_lockFd = -1;
    int m_listenFd = -1;
    QSocketNotifier *m_accept = nullptr;
    QList<Connection *> m_connections; // oldest first
    QTimer *m_idle = nullptr;
    qint64 m_secondStart = -1; // of the current second of reading, ms
    int m_linesThisSecond = 0;
    bool m_paused = false;
};

// The message a later copy shows when the first copy does not answer.
QString busyMessage();

// The picture file named on the command line (arguments without the
// program's name): the first argument that is not an option, or the first
// after "--"; made absolute. Empty when there is none.
QString pictureArgument(const QStringList &arguments);

// Opens picture files handed over from outside (the command line, a second
// start) in the main window: the window comes to the front, and a file that
// arrives during a run or while a dialog is open is opened once they are
// over (the newest such file).
class OutsideOpener : public QObject
{
    Q_OBJECT
public:
    explicit OutsideOpener(MainWindow &form);
    void open(const QString &path);
    QString pending() const { return m_pending; }

private:
    void openWhenFree();
    MainWindow &m_form;
    QString m_pending;
    QTimer *m_retry;
    bool m_loading = false;
};

// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal delivered on the
// user-interface thread, so the program can close the way a user would.
class TerminationWatcher : public QObject
{
    Q_OBJECT
public:
    // Catches the signals from now on. With deliver false a request is held
    // until deliver() is called, so that one arriving during start-up is
    // handled once the program can close the usual way. A start that does
    // not get there, stuck (its thread has done no work for kStuckMs, as in
    // an open that waits for ever), is ended by the held request: the
    // single-instance socket and lock this copy holds are removed, then the
    // program ends as the signal asks.
    explicit TerminationWatcher(QObject *parent = nullptr, bool deliver = true);
    ~TerminationWatcher() override;
    bool isActive() const { return m_notifier != nullptr; }
    void deliver();

    static constexpr int kStuckMs = 1500;

Q_SIGNALS:
    void terminationRequested(int signalNumber);

private:
    void onReadable();
    void stopStartGuard();
    QSocketNotifier *m_notifier = nullptr;
    struct StartGuard;
    std::unique_ptr<StartGuard> m_startGuard;
};

// Wires a termination request to the main window: a run in progress is
// stopped first, then the window closes the usual way and saves the settings.
void closeOnTermination(TerminationWatcher &watcher, MainWindow &form);

// Makes the figure fonts and the text-font aliases visible to the user's
// other applications through fontconfig, when they are not already (see
// shareFontsWithUser). A failure is logged; the program runs on.
void shareFontsWithOtherApplications();

// The desktop program: guard, main window, event loop. Returns the exit code.
int runDesktop(int argc, char **argv);

} // namespace tessilor
