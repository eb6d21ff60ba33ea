#include "app/startup.h"

#include "app/form1.h"
#include "engine/fontmodule.h"
#include "engine/globals.h"
#include "engine/paths.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTimer>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace tessilor {

namespace {

const QByteArray kActivateMessage = QByteArrayLiteral("activate\n");

QString defaultRuntimeFolder()
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    return dir;
}

} // namespace

SingleInstance::SingleInstance(const QString &folder, QObject *parent)
    : QObject(parent), m_folder(folder.isEmpty() ? defaultRuntimeFolder() : folder)
{
}

SingleInstance::~SingleInstance()
{
    if (m_server)
        m_server->close();
    if (m_lock)
        m_lock->unlock();
}

QString SingleInstance::lockPath() const
{
    return m_folder + QStringLiteral("/tessilor.lock");
}

QString SingleInstance::socketPath() const
{
    return m_folder + QStringLiteral("/tessilor.socket");
}

bool SingleInstance::acquire()
{
    QDir().mkpath(m_folder);
    m_lock = std::make_unique<QLockFile>(lockPath());
    // Age alone never makes the lock stale: a copy may run for days. A lock
    // whose process no longer exists is stale and is removed by tryLock.
    m_lock->setStaleLockTime(0);
    if (!m_lock->tryLock(0)) {
        if (m_lock->error() == QLockFile::LockFailedError) {
            notifyRunningCopy();
            m_lock.reset();
            return false;
        }
        // The folder cannot hold a lock (read-only, full): run without the
        // guard rather than not at all.
        m_lock.reset();
        return true;
    }
    // A socket file left by a crashed copy would make listen() fail.
    QLocalServer::removeServer(socketPath());
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (m_server->listen(socketPath()))
        connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::onNewConnection);
    return true;
}

bool SingleInstance::notifyRunningCopy()
{
    QLocalSocket socket;
    socket.connectToServer(socketPath());
    if (!socket.waitForConnected(1000))
        return false;
    socket.write(kActivateMessage);
    const bool ok = socket.waitForBytesWritten(1000);
    socket.disconnectFromServer();
    return ok;
}

void SingleInstance::onNewConnection()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            const QByteArray data = socket->readAll();
            if (data.contains("activate"))
                Q_EMIT activateRequested();
        });
    }
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

TerminationWatcher::TerminationWatcher(QObject *parent) : QObject(parent)
{
    if (g_signalFd[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalFd) != 0)
        return;
    m_notifier = new QSocketNotifier(g_signalFd[1], QSocketNotifier::Read, this);
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

void installFontSubstitutions()
{
    installTextFontSubstitutions();
}

void shareFontsWithOtherApplications()
{
    const FontShare fonts = shareFontsWithUser({globals::FigureFontFile1, globals::FigureFontFile2});
    if (fonts.outcome == FontShare::Failed)
        qWarning("tessilor: the figure fonts are not available to other applications: %s", qPrintable(fonts.error));
    const FontShare aliases = shareTextFontAliases(textFontAliasFile());
    if (aliases.outcome == FontShare::Failed)
        qWarning("tessilor: the text fonts may not be monospaced in other applications: %s",
                 qPrintable(aliases.error));
}

int deleteTempFiles(const QString &folder)
{
    if (folder.isEmpty())
        return 0;
    QDir dir(folder);
    dir.setNameFilters({QStringLiteral("*.tmp")});
    dir.setFilter(QDir::Files | QDir::Hidden | QDir::System);
    dir.setSorting(QDir::Name | QDir::IgnoreCase);
    int deleted = 0;
    // Name filters match without regard to case: "X.TMP" goes too.
    const QStringList names = dir.entryList();
    for (const QString &name : names) {
        if (QFile::remove(dir.filePath(name)))
            ++deleted;
    }
    return deleted;
}

void closeOnTermination(TerminationWatcher &watcher, Form1 &form)
{
    // Closing during a run asks the run to stop; the window closes by itself
    // once it has ended.
    QObject::connect(&watcher, &TerminationWatcher::terminationRequested, &form, [&form](int) { form.close(); });
}

int runDesktop(int argc, char **argv)
{
    QApplication::setApplicationName(QStringLiteral("tessilor"));
    QApplication::setApplicationVersion(QStringLiteral(TESSILOR_VERSION));
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

    SingleInstance guard;
    if (!guard.acquire())
        return 0;

    installFontSubstitutions();
    globals::initPaths(dataFolder(), programFilesFolder(), figureFontFolder());

    // Qt's own dialogs and buttons speak Russian like the rest of the program.
    QTranslator qtTranslator;
    if (qtTranslator.load(QLocale(QLocale::Russian), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(&qtTranslator);

    Form1 form;
    QObject::connect(&guard, &SingleInstance::activateRequested, &form, &Form1::bringToFront);

    // The session ending and a termination request close the program the way
    // the user would: the unload sequence saves the settings.
    TerminationWatcher watcher;
    closeOnTermination(watcher, form);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &form,
                     [&form](QSessionManager &) { form.saveSettings(); });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &form, [&form] { form.Form_Unload(); });
    QObject::connect(&form, &Form1::unloadFinished, &app, &QCoreApplication::quit, Qt::QueuedConnection);

    form.showAsStored();
    // Once the window is up: other applications find the figure fonts and
    // the text fonts' stand-ins from now on.
    QTimer::singleShot(0, &form, [] { shareFontsWithOtherApplications(); });
    return app.exec();
}

} // namespace tessilor
