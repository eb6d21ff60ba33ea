#include "app/startup.h"

#include "app/globals.h"
#include "app/mainwindow.h"
#include "art/fontfaces.h"
#include "base/options.h"
#include "base/paths.h"
#include "fonts/fontmodule.h"
#include "platform/qttexts.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QLocalSocket>
#include <QMessageBox>
#include <QThread>
#include <QTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <thread>
#include <time.h>
#include <utility>

namespace tessilor {

namespace {

const QByteArray kActivateMessage = QByteArrayLiteral("activate\n");
const QByteArray kOpenPrefix = QByteArrayLiteral("open ");
const QByteArray kAnswer = QByteArrayLiteral("ok\n");
// No message is longer: a path of 4096 bytes, each percent-encoded.
constexpr qint64 kMaxMessageBytes = 16384;
// Files waiting to be opened; a flood of requests keeps the newest.
constexpr int kMaxWaitingFiles = 16;
// Connections taken at a time before other events get their turn.
constexpr int kAcceptsPerTurn = 8;
// Out of descriptors: accepting resumes after this pause.
constexpr int kAcceptPauseMs = 200;

QElapsedTimer &handOffClock()
{
    static QElapsedTimer c = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return c;
}

// A folder of this user that no other user can write, not a link.
bool privateFolder(const QByteArray &path)
{
    struct stat st = {};
    return !path.isEmpty() && ::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
           (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// XDG_RUNTIME_DIR when it is the user's alone; else a folder made for this
// user in the temporary folder. Empty when that one was made by someone
// else, or is shared or a link: then the program runs unguarded.
QString defaultRuntimeFolder()
{
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (runtime.startsWith('/') && privateFolder(runtime))
        return QFile::decodeName(runtime);
    const QByteArray own = QFile::encodeName(QDir::tempPath()) + "/tessilor-" + QByteArray::number(::geteuid());
    if (::mkdir(own.constData(), 0700) != 0 && errno != EEXIST)
        return QString();
    return privateFolder(own) ? QFile::decodeName(own) : QString();
}

QString usableFolder(const QString &folder)
{
    if (folder.isEmpty())
        return defaultRuntimeFolder();
    QDir().mkpath(folder);
    return privateFolder(QFile::encodeName(QDir::cleanPath(folder))) ? folder : QString();
}

// The socket and the lock file of the lock this copy holds, in the order
// they are removed: a start ended from another thread removes them too.
std::mutex &heldFilesMutex()
{
    static std::mutex m;
    return m;
}

QList<QByteArray> &heldFiles()
{
    static QList<QByteArray> files;
    return files;
}

void setHeldFiles(const QList<QByteArray> &files)
{
    const std::lock_guard<std::mutex> lock(heldFilesMutex());
    heldFiles() = files;
}

bool sameFile(int fd, const QByteArray &path)
{
    struct stat held {
    }, named{};
    return ::fstat(fd, &held) == 0 && ::stat(path.constData(), &named) == 0 && held.st_dev == named.st_dev &&
           held.st_ino == named.st_ino;
}

} // namespace

struct SingleInstance::Connection {
    int fd = -1;
    QSocketNotifier *notifier = nullptr;
    QByteArray buffer;
    int lines = 0;
    qint64 openedMs = 0;
};

QString busyMessage()
{
    return QStringLiteral("Программа Quar Image Tessilor уже запущена, но не отвечает.\r\n"
                          "Дождитесь, пока она освободится, или завершите её и запустите программу снова.");
}

SingleInstance::SingleInstance(const QString &folder, QObject *parent) : QObject(parent), m_folder(usableFolder(folder))
{}

SingleInstance::~SingleInstance()
{
    if (m_lockFd >= 0)
        setHeldFiles({});
    while (!m_connections.isEmpty())
        drop(m_connections.first());
    if (m_listenFd >= 0) {
        ::unlink(QFile::encodeName(socketPath()).constData());
        ::close(m_listenFd);
    }
    if (m_lockFd >= 0) {
        // Gone before the lock is released: a later copy that opened the
        // old file sees that it was replaced and tries again.
        ::unlink(QFile::encodeName(lockPath()).constData());
        ::close(m_lockFd);
    }
}

QString SingleInstance::lockPath() const
{
    return m_folder.isEmpty() ? QString() : m_folder + QStringLiteral("/tessilor.lock");
}

QString SingleInstance::socketPath() const
{
    return m_folder.isEmpty() ? QString() : m_folder + QStringLiteral("/tessilor.socket");
}

SingleInstance::Start SingleInstance::start(const QString &openPath)
{
    if (m_lockFd >= 0)
        return Start::First;
    if (m_folder.isEmpty()) {
        qWarning("tessilor: no folder of this user alone for the single-instance lock; running without it");
        return Start::First;
    }
    const QByteArray path = QFile::encodeName(lockPath());
    for (int attempt = 0; attempt < 5; ++attempt) {
        const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            // A link or an empty folder is not a lock: take its place.
            if ((errno == ELOOP && ::unlink(path.constData()) == 0) ||
                (errno == EISDIR && ::rmdir(path.constData()) == 0))
                continue;
            // The folder cannot hold a lock (read-only, full, a folder with
            // content at the lock path): run without the guard rather than
            // not at all.
            return Start::First;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            ::close(fd);
            if (error == EWOULDBLOCK) {
                const QByteArray message = openPath.isEmpty()
                                               ? kActivateMessage
                                               : kOpenPrefix + QFile::encodeName(openPath).toPercentEncoding() + '\n';
                return notifyRunningCopy(message) ? Start::HandedOver : Start::Busy;
            }
            return Start::First; // a file system without locks
        }
        // A copy that ended may have removed the file between our open and
        // our lock: then the lock is on a file nobody else will find.
        if (!sameFile(fd, path)) {
            ::close(fd);
            continue;
        }
        // The first line names the holder, for people and tools.
        const QByteArray pid = QByteArray::number(qint64(::getpid())) + '\n';
        if (::ftruncate(fd, 0) != 0 || ::write(fd, pid.constData(), size_t(pid.size())) != pid.size())
            qWarning("tessilor: cannot write the lock file %s", path.constData());
        m_lockFd = fd;
        // A copy that holds the lock but cannot be reached would tell every
        // later copy that it does not answer: without a socket, no lock.
        if (!listen()) {
            ::unlink(path.constData());
            ::close(m_lockFd);
            m_lockFd = -1;
        } else {
            setHeldFiles({QFile::encodeName(socketPath()), path});
        }
        return Start::First;
    }
    return Start::First;
}

bool SingleInstance::listen()
{
    const QByteArray path = QFile::encodeName(socketPath());
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    if (size_t(path.size()) >= sizeof(address.sun_path))
        return false;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return false;
    // A socket left by a crashed copy: this copy holds the lock now.
    ::unlink(path.constData());
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof(address)) != 0 ||
        ::chmod(path.constData(), 0600) != 0 || ::listen(fd, 128) != 0) {
        ::close(fd);
        return false;
    }
    m_listenFd = fd;
    m_accept = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_accept, &QSocketNotifier::activated, this, &SingleInstance::acceptPending);
    m_idle = new QTimer(this);
    m_idle->setInterval(1000);
    connect(m_idle, &QTimer::timeout, this, &SingleInstance::dropIdle);
    return true;
}

void SingleInstance::acceptPending()
{
    for (int i = 0; i < kAcceptsPerTurn && !m_paused; ++i) {
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            // No descriptors left: the oldest connection makes room.
            if ((errno == EMFILE || errno == ENFILE) && !m_connections.isEmpty()) {
                drop(m_connections.first());
                continue;
            }
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                // Still none (or no memory): the connection waits in the
                // queue and the socket stays; accept again later.
                m_accept->setEnabled(false);
                QTimer::singleShot(kAcceptPauseMs, this, [this] {
                    if (!m_paused)
                        m_accept->setEnabled(true);
                });
            }
            return;
        }
        if (m_connections.size() >= kMaxConnections)
            drop(m_connections.first());
        auto *c = new Connection;
        c->fd = fd;
        c->openedMs = handOffClock().elapsed();
        c->notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connect(c->notifier, &QSocketNotifier::activated, this, [this, c] { readConnection(c); });
        m_connections.append(c);
        if (!m_idle->isActive())
            m_idle->start();
    }
}

void SingleInstance::drop(Connection *c)
{
    m_connections.removeOne(c);
    c->notifier->setEnabled(false);
    c->notifier->deleteLater();
    ::close(c->fd);
    delete c;
    if (m_connections.isEmpty())
        m_idle->stop();
}

void SingleInstance::dropIdle()
{
    const qint64 now = handOffClock().elapsed();
    while (!m_connections.isEmpty() && now - m_connections.first()->openedMs >= kIdleMs)
        drop(m_connections.first());
}

void SingleInstance::pauseReading(bool paused)
{
    m_paused = paused;
    m_accept->setEnabled(!paused);
    for (Connection *c : std::as_const(m_connections))
        c->notifier->setEnabled(!paused);
}

void SingleInstance::readConnection(Connection *c)
{
    char chunk[4096];
    const ssize_t n = ::read(c->fd, chunk, sizeof(chunk));
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        return;
    if (n <= 0) {
        drop(c);
        return;
    }
    c->buffer.append(chunk, n);
    processLines(c);
}

void SingleInstance::processLines(Connection *c)
{
    for (qsizetype end = c->buffer.indexOf('\n'); end >= 0 && !m_paused; end = c->buffer.indexOf('\n')) {
        // Lines beyond kLinesPerSecond wait for the next second.
        const qint64 now = handOffClock().elapsed();
        if (m_secondStart < 0 || now - m_secondStart >= 1000) {
            m_secondStart = now;
            m_linesThisSecond = 0;
        }
        if (m_linesThisSecond >= kLinesPerSecond) {
            pauseReading(true);
            QTimer::singleShot(int(qMax<qint64>(1, 1000 - (now - m_secondStart))), this, [this] {
                pauseReading(false);
                const QList<Connection *> waiting = m_connections;
                for (Connection *w : waiting) {
                    if (!m_paused && m_connections.contains(w))
                        processLines(w);
                }
            });
            return;
        }
        ++m_linesThisSecond;
        const QByteArray line = c->buffer.left(end + 1);
        c->buffer.remove(0, end + 1);
        // A client that does not read its answers is dropped.
        if (::send(c->fd, kAnswer.constData(), size_t(kAnswer.size()), MSG_NOSIGNAL | MSG_DONTWAIT) != kAnswer.size()) {
            drop(c);
            return;
        }
        handleLine(line);
        if (++c->lines >= kMaxLinesPerConnection) {
            drop(c);
            return;
        }
    }
    // A line longer than any message is no message.
    if (c->buffer.size() > kMaxMessageBytes)
        drop(c);
}

// line: one message, its '\n' included.
void SingleInstance::handleLine(const QByteArray &line)
{
    if (line == kActivateMessage) {
        request(QString());
    } else if (line.startsWith(kOpenPrefix)) {
        const QByteArray encoded = line.mid(kOpenPrefix.size(), line.size() - kOpenPrefix.size() - 1);
        const QString path = QFile::decodeName(QByteArray::fromPercentEncoding(encoded));
        if (!path.isEmpty())
            request(path);
    }
}

bool SingleInstance::notifyRunningCopy(const QByteArray &message)
{
    QElapsedTimer clock;
    clock.start();
    QLocalSocket socket;
    // A copy that is starting may not listen yet.
    for (;;) {
        socket.connectToServer(socketPath());
        if (socket.waitForConnected(500))
            break;
        socket.abort();
        if (clock.elapsed() >= kAnswerTimeoutMs)
            return false;
        QThread::msleep(100);
    }
    socket.write(message);
    socket.flush();
    // The answer comes from the first copy's event loop, which may be this
    // thread's own: wait in a local loop instead of blocking.
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(&socket, &QLocalSocket::readyRead, &loop, [&] {
        if (socket.canReadLine())
            loop.quit();
    });
    connect(&socket, &QLocalSocket::disconnected, &loop, &QEventLoop::quit);
    deadline.start(int(std::max<qint64>(kAnswerTimeoutMs - clock.elapsed(), 500)));
    if (!socket.canReadLine())
        loop.exec();
    const bool answered = socket.canReadLine() && socket.readLine() == kAnswer;
    socket.disconnectFromServer();
    return answered;
}

void SingleInstance::request(const QString &path)
{
    // Showing the window once serves any number of such requests; of the
    // files the newest are kept.
    if (path.isEmpty()) {
        m_activatePending = true;
    } else {
        m_opens.append(path);
        if (m_opens.size() > kMaxWaitingFiles)
            m_opens.removeFirst();
    }
    if (m_holding || m_deliveryQueued)
        return;
    // From the event loop, not from inside the socket's notification:
    // opening a picture may show a dialog, whose loop could read the
    // sockets again.
    m_deliveryQueued = true;
    QMetaObject::invokeMethod(this, &SingleInstance::deliver, Qt::QueuedConnection);
}

void SingleInstance::deliver()
{
    m_deliveryQueued = false;
    if (m_holding)
        return;
    const bool activate = std::exchange(m_activatePending, false);
    const QStringList opens = std::exchange(m_opens, {});
    if (activate)
        Q_EMIT activateRequested();
    for (const QString &path : opens) {
        Q_EMIT activateRequested();
        Q_EMIT openRequested(path);
    }
}

void SingleInstance::deliverRequests()
{
    m_holding = false;
    deliver();
}

// ---------------------------------------------------------------------------

QString pictureArgument(const QStringList &arguments)
{
    bool options = true;
    for (const QString &a : arguments) {
        if (options && a == QLatin1String("--")) {
            options = false;
            continue;
        }
        if (options && a.startsWith(u'-'))
            continue;
        if (a.isEmpty())
            continue;
        // A file manager may hand over a URL for %f only when it has no path.
        const QString path = a.startsWith(QLatin1String("file://")) ? QUrl(a).toLocalFile() : a;
        return path.isEmpty() ? QString() : QFileInfo(path).absoluteFilePath();
    }
    return QString();
}

OutsideOpener::OutsideOpener(MainWindow &form) : QObject(&form), m_form(form), m_retry(new QTimer(this))
{
    m_retry->setInterval(200);
    connect(m_retry, &QTimer::timeout, this, &OutsideOpener::openWhenFree);
}

void OutsideOpener::open(const QString &path)
{
    if (path.isEmpty())
        return;
    m_form.bringToFront();
    m_pending = path;
    openWhenFree();
}

void OutsideOpener::openWhenFree()
{
    if (m_pending.isEmpty())
        return;
    // A run, a dialog (the open dialog, a message) or the load of the
    // previous file is not interrupted.
    if (m_loading || m_form.isRunning() || QApplication::activeModalWidget()) {
        m_retry->start();
        return;
    }
    m_retry->stop();
    const QString path = m_pending;
    m_pending.clear();
    m_loading = true;
    m_form.openPicture(path);
    m_loading = false;
}

// ---------------------------------------------------------------------------

namespace {
int g_signalFd[2] = {-1, -1};
// While a start is guarded, requests also go to its guard: a pipe, and
// whether it listens.
int g_guardFd[2] = {-1, -1};
volatile sig_atomic_t g_guarding = 0;

void onTerminationSignal(int signalNumber)
{
    const char c = char(signalNumber);
    // write() is async-signal-safe; a full pipe only loses a duplicate.
    [[maybe_unused]] ssize_t n = ::write(g_signalFd[0], &c, 1);
    if (g_guarding)
        n = ::write(g_guardFd[1], &c, 1);
}

qint64 cpuNanoseconds(clockid_t clock)
{
    timespec t = {};
    ::clock_gettime(clock, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}
} // namespace

// A thread that waits for a held request and, once one came, watches the
// start's thread: when that thread does no work for kStuckMs, the start is
// stuck (waiting for something that does not come) and the request ends it.
struct TerminationWatcher::StartGuard {
    clockid_t startClock = CLOCK_THREAD_CPUTIME_ID;
    std::thread thread;

    void run()
    {
        // Work is counted in CPU time: a thread that waits uses none.
        constexpr int kSampleMs = 100;
        constexpr qint64 kWorkNs = 200000;
        int signalNumber = 0;
        qint64 lastCpu = 0;
        QElapsedTimer idle;
        for (;;) {
            pollfd p = {g_guardFd[0], POLLIN, 0};
            const int ready = ::poll(&p, 1, signalNumber ? kSampleMs : -1);
            if (ready < 0 && errno != EINTR)
                return;
            if (ready > 0) {
                char c = 0;
                if (::read(g_guardFd[0], &c, 1) == 1) {
                    if (c == 0)
                        return; // the request is delivered, or the guard stops
                    if (signalNumber == 0) {
                        signalNumber = c;
                        lastCpu = cpuNanoseconds(startClock);
                        idle.start();
                    }
                }
            }
            if (signalNumber == 0)
                continue;
            const qint64 cpu = cpuNanoseconds(startClock);
            if (cpu - lastCpu >= kWorkNs)
                idle.start();
            lastCpu = cpu;
            if (idle.elapsed() >= kStuckMs)
                endNow(signalNumber);
        }
    }

    [[noreturn]] void endNow(int signalNumber)
    {
        {
            const std::lock_guard<std::mutex> lock(heldFilesMutex());
            for (const QByteArray &path : std::as_const(heldFiles()))
                ::unlink(path.constData());
        }
        struct sigaction sa = {};
        sa.sa_handler = SIG_DFL;
        sigemptyset(&sa.sa_mask);
        sigaction(signalNumber, &sa, nullptr);
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, signalNumber);
        pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
        ::kill(::getpid(), signalNumber);
        ::pause();
        ::_exit(128 + signalNumber);
    }
};

TerminationWatcher::TerminationWatcher(QObject *parent, bool deliver) : QObject(parent)
{
    if (g_signalFd[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalFd) != 0)
        return;
    if (!deliver && !g_guarding && (g_guardFd[0] >= 0 || ::pipe2(g_guardFd, O_CLOEXEC | O_NONBLOCK) == 0)) {
        m_startGuard = std::make_unique<StartGuard>();
        ::pthread_getcpuclockid(::pthread_self(), &m_startGuard->startClock);
        // Started before the signals are caught: nothing is missed.
        m_startGuard->thread = std::thread([guard = m_startGuard.get()] { guard->run(); });
        g_guarding = 1;
    }
    m_notifier = new QSocketNotifier(g_signalFd[1], QSocketNotifier::Read, this);
    m_notifier->setEnabled(deliver);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationWatcher::onReadable);
    struct sigaction sa = {};
    sa.sa_handler = onTerminationSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
}

TerminationWatcher::~TerminationWatcher()
{
    stopStartGuard();
    struct sigaction sa = {};
    sa.sa_handler = SIG_DFL;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
}

void TerminationWatcher::onReadable()
{
    m_notifier->setEnabled(false);
    char c = 0;
    const ssize_t n = ::read(g_signalFd[1], &c, 1);
    m_notifier->setEnabled(true);
    if (n == 1)
        Q_EMIT terminationRequested(int(c));
}

// ---------------------------------------------------------------------------

void shareFontsWithOtherApplications()
{
    const FontShare fonts = shareFontsWithUser({globals::FigureFontFile1, globals::FigureFontFile2});
    if (fonts.outcome == FontShare::Failed)
        qWarning("tessilor: the figure fonts are not available to other applications: %s", qPrintable(fonts.error));
    const FontShare aliases = shareTextFontAliases(textFontAliasFile());
    if (aliases.outcome == FontShare::Failed)
        qWarning("tessilor: the text fonts may not be monospaced in other applications: %s", qPrintable(aliases.error));
}

void TerminationWatcher::stopStartGuard()
{
    if (!m_startGuard)
        return;
    g_guarding = 0;
    const char stop = 0;
    // The pipe is empty but for requests: the stop always fits.
    [[maybe_unused]] const ssize_t n = ::write(g_guardFd[1], &stop, 1);
    m_startGuard->thread.join();
    // Whatever came after the stop.
    char drained[64];
    while (::read(g_guardFd[0], drained, sizeof(drained)) > 0) {
    }
    m_startGuard.reset();
}

void TerminationWatcher::deliver()
{
    // Held requests are the window's now.
    stopStartGuard();
    if (m_notifier)
        m_notifier->setEnabled(true);
}

void closeOnTermination(TerminationWatcher &watcher, MainWindow &form)
{
    // Closing during a run asks the run to stop; the window closes by itself
    // once it has ended.
    QObject::connect(&watcher, &TerminationWatcher::terminationRequested, &form, [&form](int) { form.close(); });
    watcher.deliver();
}

int runDesktop(int argc, char **argv)
{
    QApplication::setApplicationName(QStringLiteral("tessilor"));
    QApplication::setApplicationVersion(QStringLiteral(TESSILOR_VERSION));
    useOwnFontCaches();
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    // Qt's own dialogs and buttons speak Russian like the rest of the
    // program, and write numbers and dates as a Russian locale does.
    useRussianQtTexts();
    // From here on a termination request is held, not fatal: once the main
    // window exists it closes the program the usual way.
    TerminationWatcher watcher(nullptr, false);

    const QString picture = pictureArgument(QApplication::arguments().mid(1));
    SingleInstance guard;
    guard.holdRequests();
    switch (guard.start(picture)) {
    case SingleInstance::Start::First:
        break;
    case SingleInstance::Start::HandedOver:
        return 0;
    case SingleInstance::Start::Busy: {
        std::fprintf(stderr, "tessilor: %s\n",
                     qPrintable(busyMessage().replace(QStringLiteral("\r\n"), QStringLiteral(" "))));
        // A termination request ends this copy as it ends the main program.
        QMessageBox box(QMessageBox::Warning, programCaption(), busyMessage(), QMessageBox::Ok);
        QObject::connect(&watcher, &TerminationWatcher::terminationRequested, &box, [&box](int) { box.reject(); });
        watcher.deliver();
        box.exec();
        return 1;
    }
    }

    installFontSubstitutions();

    MainWindow form;
    QObject::connect(&guard, &SingleInstance::activateRequested, &form, &MainWindow::bringToFront);
    auto *opener = new OutsideOpener(form);
    QObject::connect(&guard, &SingleInstance::openRequested, opener, &OutsideOpener::open);

    // The session ending and a termination request close the program the way
    // the user would: the unload sequence saves the settings.
    closeOnTermination(watcher, form);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &form,
                     [&form](QSessionManager &) { form.saveSettings(); });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &form, [&form] { form.unload(); });
    // A request handled before the event loop runs (while the picture of the
    // command line loads, say) ends the program as soon as it gets there:
    // quit() does nothing until then.
    bool unloaded = false;
    QObject::connect(
        &form, &MainWindow::unloadFinished, &app,
        [&unloaded] {
            unloaded = true;
            QCoreApplication::quit();
        },
        Qt::QueuedConnection);

    form.showAsStored();
    // Once the window is up: other applications find the figure fonts and
    // the text fonts' stand-ins from now on.
    QTimer::singleShot(0, &form, [] { shareFontsWithOtherApplications(); });
    // Before any file a later copy hands over.
    opener->open(picture);
    guard.deliverRequests();
    return unloaded ? 0 : app.exec();
}

} // namespace tessilor
