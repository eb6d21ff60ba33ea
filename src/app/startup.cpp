#include "app/startup.h"

#include "app/mainwindow.h"
#include "engine/fontfaces.h"
#include "engine/fontmodule.h"
#include "app/globals.h"
#include "engine/paths.h"
#include "engine/options.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QLocalServer>
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
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace tessilor {

namespace {

const QByteArray kActivateMessage = QByteArrayLiteral("activate\n");
const QByteArray kOpenPrefix = QByteArrayLiteral("open ");
const QByteArray kAnswer = QByteArrayLiteral("ok\n");
// No message is longer: a path of 4096 bytes, each percent-encoded.
constexpr qint64 kMaxMessageBytes = 16384;

QString defaultRuntimeFolder()
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    return dir;
}

bool sameFile(int fd, const QByteArray &path)
{
    struct stat held {
    }, named{};
    return ::fstat(fd, &held) == 0 && ::stat(path.constData(), &named) == 0 && held.st_dev == named.st_dev &&
           held.st_ino == named.st_ino;
}

} // namespace

QString busyMessage()
{
    return QStringLiteral("Программа Quar Image Tessilor уже запущена, но не отвечает.\r\n"
                          "Дождитесь, пока она освободится, или завершите её и запустите программу снова.");
}

SingleInstance::SingleInstance(const QString &folder, QObject *parent)
    : QObject(parent), m_folder(folder.isEmpty() ? defaultRuntimeFolder() : folder)
{}

SingleInstance::~SingleInstance()
{
    if (m_server)
        m_server->close();
    if (m_lockFd >= 0) {
        // Gone before the lock is released: a later copy that opened the
        // old file sees that it was replaced and tries again.
        ::unlink(QFile::encodeName(lockPath()).constData());
        ::close(m_lockFd);
    }
}

QString SingleInstance::lockPath() const
{
    return m_folder + QStringLiteral("/tessilor.lock");
}

QString SingleInstance::socketPath() const
{
    return m_folder + QStringLiteral("/tessilor.socket");
}

SingleInstance::Start SingleInstance::start(const QString &openPath)
{
    if (m_lockFd >= 0)
        return Start::First;
    QDir().mkpath(m_folder);
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
        // A socket left by a crashed copy would make listen() fail.
        QLocalServer::removeServer(socketPath());
        m_server = new QLocalServer(this);
        m_server->setSocketOptions(QLocalServer::UserAccessOption);
        if (m_server->listen(socketPath()))
            connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::onNewConnection);
        return Start::First;
    }
    return Start::First;
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

void SingleInstance::onNewConnection()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            while (socket->canReadLine()) {
                const QByteArray line = socket->readLine();
                socket->write(kAnswer);
                socket->flush();
                if (line == kActivateMessage) {
                    request(QString());
                } else if (line.startsWith(kOpenPrefix) && line.endsWith('\n')) {
                    const QByteArray encoded = line.mid(kOpenPrefix.size(), line.size() - kOpenPrefix.size() - 1);
                    const QString path = QFile::decodeName(QByteArray::fromPercentEncoding(encoded));
                    if (!path.isEmpty())
                        request(path);
                }
            }
            // A line longer than any message is no message.
            if (socket->bytesAvailable() > kMaxMessageBytes)
                socket->abort();
        });
    }
}

void SingleInstance::request(const QString &path)
{
    if (m_holding) {
        m_held.append(path);
        return;
    }
    // From the event loop, not from inside the socket's notification:
    // opening a picture may show a dialog, whose loop could delete the
    // socket.
    QMetaObject::invokeMethod(
        this,
        [this, path] {
            Q_EMIT activateRequested();
            if (!path.isEmpty())
                Q_EMIT openRequested(path);
        },
        Qt::QueuedConnection);
}

void SingleInstance::deliverRequests()
{
    m_holding = false;
    const QStringList held = std::exchange(m_held, {});
    for (const QString &path : held)
        request(path);
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

void onTerminationSignal(int signalNumber)
{
    const char c = char(signalNumber);
    // write() is async-signal-safe; a full pipe only loses a duplicate.
    [[maybe_unused]] const ssize_t n = ::write(g_signalFd[0], &c, 1);
}
} // namespace

TerminationWatcher::TerminationWatcher(QObject *parent, bool deliver) : QObject(parent)
{
    if (g_signalFd[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalFd) != 0)
        return;
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

void TerminationWatcher::deliver()
{
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
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
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
    case SingleInstance::Start::Busy:
        std::fprintf(stderr, "tessilor: %s\n",
                     qPrintable(busyMessage().replace(QStringLiteral("\r\n"), QStringLiteral(" "))));
        QMessageBox::warning(nullptr, programCaption(), busyMessage());
        return 1;
    }

    installFontSubstitutions();

    // Qt's own dialogs and buttons speak Russian like the rest of the program.
    QTranslator qtTranslator;
    if (qtTranslator.load(QLocale(QLocale::Russian), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(&qtTranslator);

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
    QObject::connect(&form, &MainWindow::unloadFinished, &app, &QCoreApplication::quit, Qt::QueuedConnection);

    form.showAsStored();
    // Once the window is up: other applications find the figure fonts and
    // the text fonts' stand-ins from now on.
    QTimer::singleShot(0, &form, [] { shareFontsWithOtherApplications(); });
    // Before any file a later copy hands over.
    opener->open(picture);
    guard.deliverRequests();
    return app.exec();
}

} // namespace tessilor
