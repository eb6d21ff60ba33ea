// Start-up and exit: the single-instance guard (also after a crash), the
// clean-up of temporary files, termination signals, and the real program
// saving its settings when it is terminated and handing over to the first
// copy on a second start.
#include "support/apptestsupport.h"
#include "support/privatefontconfig.h"

#include "app/mainwindow.h"
#include "app/startup.h"
#include "view/imagewindow.h"

#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

using namespace tessilor;

class TestStartup : public QObject
{
    Q_OBJECT
private:
    QProcessEnvironment isolatedEnv(const QString &home)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home);
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
        env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
        QDir().mkpath(home + QStringLiteral("/runtime"));
        QFile::setPermissions(home + QStringLiteral("/runtime"),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home + QStringLiteral("/runtime"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        // The program shares its fonts at start: fontconfig's caches stay here too.
        env.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/cache"));
        env.insert(QStringLiteral("FONTCONFIG_FILE"), testsupport::writePrivateFontconfig(home));
        return env;
    }

    // A connected, non-blocking socket to path; -1 while the queue is full
    // or there is no server.
    static int connectTo(const QByteArray &path)
    {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_un a = {};
        a.sun_family = AF_UNIX;
        std::memcpy(a.sun_path, path.constData(), size_t(qMin<qsizetype>(path.size(), sizeof(a.sun_path) - 1)));
        if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof(a)) == 0)
            return fd;
        if (fd >= 0)
            ::close(fd);
        return -1;
    }

    // Holds an exclusive lock on path as a running copy does; -1 on failure.
    static int holdLock(const QString &path)
    {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0)
            return fd;
        if (fd >= 0)
            ::close(fd);
        return -1;
    }

private Q_SLOTS:
    void secondCopyHandsOverToTheFirst()
    {
        QTemporaryDir dir;
        SingleInstance first(dir.path());
        QVERIFY(first.acquire());
        QSignalSpy activate(&first, &SingleInstance::activateRequested);
        SingleInstance second(dir.path());
        QCOMPARE(second.start(), SingleInstance::Start::HandedOver);
        QTRY_COMPARE(activate.count(), 1);
    }

    void secondCopyHandsItsFileToTheFirst()
    {
        QTemporaryDir dir;
        SingleInstance first(dir.path());
        QVERIFY(first.acquire());
        QSignalSpy activate(&first, &SingleInstance::activateRequested);
        QSignalSpy open(&first, &SingleInstance::openRequested);
        // Any file name travels on one line: spaces, a line break, a percent
        // sign, Cyrillic letters.
        const QStringList paths = {QStringLiteral("/pictures/a b.png"), QStringLiteral("/pictures/кот\nс котятами.jpg"),
                                   QStringLiteral("/pictures/100%.tif")};
        for (const QString &path : paths) {
            SingleInstance second(dir.path());
            QCOMPARE(second.start(path), SingleInstance::Start::HandedOver);
        }
        QTRY_COMPARE(open.count(), 3);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(open.at(i).first().toString(), paths[i]);
        QCOMPARE(activate.count(), 3);

        // Lines the first copy does not know are answered and change nothing;
        // a line longer than any message ends the connection.
        QLocalSocket raw;
        raw.connectToServer(first.socketPath());
        QVERIFY(raw.waitForConnected(5000));
        raw.write("open \nhello\n");
        QTRY_COMPARE(raw.bytesAvailable(), qint64(6));
        QCOMPARE(raw.readAll(), QByteArray("ok\nok\n"));
        raw.write(QByteArray(100000, 'x'));
        QTRY_COMPARE(raw.state(), QLocalSocket::UnconnectedState);
        QTest::qWait(50);
        QCOMPARE(open.count(), 3);
        QCOMPARE(activate.count(), 3);
    }

    void pictureArgumentIsTheFirstFileNamed()
    {
        const QString here = QDir::currentPath();
        const struct {
            QStringList args;
            QString expected;
        } cases[] = {
            {{}, QString()},
            {{QStringLiteral("--verbose")}, QString()},
            {{QStringLiteral("pic.png"), QStringLiteral("other.png")}, here + QStringLiteral("/pic.png")},
            {{QStringLiteral("-x"), QStringLiteral("/abs/pic.png")}, QStringLiteral("/abs/pic.png")},
            {{QStringLiteral("--"), QStringLiteral("-dash.png")}, here + QStringLiteral("/-dash.png")},
            {{QStringLiteral("file:///abs/a%20b.png")}, QStringLiteral("/abs/a b.png")},
        };
        for (const auto &c : cases)
            QCOMPARE(pictureArgument(c.args), c.expected);
    }

    void fileFromOutsideWaitsForAnOpenDialog()
    {
        QTemporaryDir dir;
        const QString path = apptest::writePicture(dir.filePath(QStringLiteral("outside.tif")), 30, 20, "TIFF");
        MainWindow form;
        form.showAsStored();
        auto *opener = new OutsideOpener(form);
        bool openWhileModal = true;
        apptest::answerNextModal<QMessageBox>([&](QMessageBox *box) {
            opener->open(path);
            QTest::qWait(300);
            openWhileModal = form.existingImageWindow() && form.existingImageWindow()->hasPicture();
            box->done(QMessageBox::Ok);
        });
        QMessageBox::information(&form, QStringLiteral("test"), QStringLiteral("a dialog"));
        QVERIFY(!openWhileModal);
        QTRY_VERIFY(form.existingImageWindow() && form.existingImageWindow()->hasPicture());
        QCOMPARE(form.existingImageWindow()->sourcePath(), path);
        QVERIFY(opener->pending().isEmpty());
        form.close();
    }

    void lockOfACrashedCopyIsTakenOver()
    {
        QTemporaryDir dir;
        // A helper copy takes the lock and dies without releasing it.
        QProcess helper;
        helper.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--take-lock-and-crash"), dir.path()});
        QVERIFY(helper.waitForFinished(10000));
        QVERIFY(QFileInfo::exists(dir.filePath(QStringLiteral("tessilor.lock"))));
        SingleInstance next(dir.path());
        QVERIFY(next.acquire());
        // And it serves later copies.
        QSignalSpy activate(&next, &SingleInstance::activateRequested);
        SingleInstance later(dir.path());
        QVERIFY(!later.acquire());
        QTRY_COMPARE(activate.count(), 1);
    }

    void tempFilesAreDeletedOnlyInTheFolder()
    {
        QTemporaryDir dir;
        for (const char *name : {"text.tmp", "color.tmp", "OTHER.TMP", "Out.rtf", "keep.tmpx", "sub/inner.tmp"}) {
            const QString path = dir.filePath(QString::fromLatin1(name));
            QDir().mkpath(QFileInfo(path).absolutePath());
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        QCOMPARE(deleteTempFiles(dir.path()), 3);
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("text.tmp"))));
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("OTHER.TMP"))));
        QVERIFY(QFileInfo::exists(dir.filePath(QStringLiteral("Out.rtf"))));
        QVERIFY(QFileInfo::exists(dir.filePath(QStringLiteral("keep.tmpx"))));
        QVERIFY(QFileInfo::exists(dir.filePath(QStringLiteral("sub/inner.tmp"))));
        QCOMPARE(deleteTempFiles(dir.path()), 0);
        QCOMPARE(deleteTempFiles(QString()), 0);
    }

    void terminationSignalArrivesOnTheEventLoop()
    {
        TerminationWatcher watcher;
        QVERIFY(watcher.isActive());
        QSignalSpy spy(&watcher, &TerminationWatcher::terminationRequested);
        ::raise(SIGTERM);
        QVERIFY(spy.wait(5000));
        QCOMPARE(spy.first().first().toInt(), int(SIGTERM));
    }

    void programSavesItsSettingsWhenTerminated()
    {
        QTemporaryDir home;
        const QProcessEnvironment env = isolatedEnv(home.path());
        const QString data = home.path() + QStringLiteral("/data/tessilor");
        QDir().mkpath(data);
        QFile stray(data + QStringLiteral("/stray.tmp"));
        QVERIFY(stray.open(QIODevice::WriteOnly));
        stray.close();

        QProcess first;
        first.setProcessEnvironment(env);
        first.start(QStringLiteral(TESSILOR_APP_PATH), {});
        QVERIFY(first.waitForStarted(10000));
        const QString socket = home.path() + QStringLiteral("/runtime/tessilor.socket");
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(socket), 20000);

        // A second start ends at once and leaves the first running.
        QProcess second;
        second.setProcessEnvironment(env);
        second.start(QStringLiteral(TESSILOR_APP_PATH), {});
        QVERIFY(second.waitForFinished(20000));
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(first.state(), QProcess::Running);
        // Once its window is up the program has shared the figure fonts
        // with the user's other applications.
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(home.path() + QStringLiteral("/data/fonts/tessilor/GLYFA__2.TTF")),
                                 20000);

        first.terminate(); // SIGTERM
        QVERIFY(first.waitForFinished(20000));
        QCOMPARE(first.exitStatus(), QProcess::NormalExit);
        const QString ini = home.path() + QStringLiteral("/config/Quar_Programming.ini");
        QVERIFY(QFileInfo::exists(ini));
        QSettings s(ini, QSettings::IniFormat);
        QCOMPARE(s.value(QStringLiteral("ImageTessilor/Type")).toString(), QStringLiteral("1"));
        QCOMPARE(s.value(QStringLiteral("ImageTessilor/Windowstate")).toString(), QStringLiteral("0"));
        QCOMPARE(s.value(QStringLiteral("ImageTessilor/LastResult")).toString(), QStringLiteral("save"));
        QVERIFY(!s.value(QStringLiteral("ImageTessilor/Width")).toString().isEmpty());
        QVERIFY(!QFileInfo::exists(data + QStringLiteral("/stray.tmp")));
    }

    // Without XDG_RUNTIME_DIR the program looks in the temporary folder;
    // another user who got there first (a folder of theirs, one anyone may
    // write, a link) and holds a lock and a socket there receives nothing:
    // the program opens its own window with the file.
    void aFolderOtherUsersCanWriteIsNeverUsedForTheHandOff()
    {
        const QString user = QString::fromLocal8Bit(::getpwuid(::geteuid())->pw_name);
        const QString own = QStringLiteral("tessilor-%1").arg(::geteuid());
        const struct {
            const char *what;
            bool needsRoot;
            const char *kind; // how the squatted folders are made
        } cases[] = {
            {"folders of another user", true, "other"},
            {"folders anyone may write", false, "shared"},
            {"links to a folder", false, "link"},
        };
        for (const auto &c : cases) {
            if (c.needsRoot && ::geteuid() != 0) {
                qInfo("skipped (needs root to give a folder to another user): %s", c.what);
                continue;
            }
            QTemporaryDir home;
            QProcessEnvironment env = isolatedEnv(home.path());
            env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
            const QString tmp = home.filePath(QStringLiteral("tmp"));
            QVERIFY(QDir().mkpath(tmp));
            QVERIFY(::chmod(QFile::encodeName(tmp).constData(), 01777) == 0);
            env.insert(QStringLiteral("TMPDIR"), tmp);
            // The squatter's lock and socket wherever a copy might look.
            QList<int> locks;
            QList<QLocalServer *> servers;
            int connections = 0;
            const QString target = home.filePath(QStringLiteral("squatter"));
            QVERIFY(QDir().mkpath(target));
            for (const QString &name : {QStringLiteral("runtime-") + user, own, QString()}) {
                const QString folder = name.isEmpty() ? tmp : tmp + u'/' + name;
                if (!name.isEmpty()) {
                    if (qstrcmp(c.kind, "link") == 0) {
                        QVERIFY(QFile::link(target, folder));
                    } else {
                        QVERIFY(QDir().mkpath(folder));
                        QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0777) == 0);
                        if (qstrcmp(c.kind, "other") == 0)
                            QVERIFY(::chown(QFile::encodeName(folder).constData(), 65534, 65534) == 0);
                    }
                }
                if (QFileInfo::exists(folder + QStringLiteral("/tessilor.lock")))
                    continue; // the link's target, done already
                const int lock = holdLock(folder + QStringLiteral("/tessilor.lock"));
                QVERIFY(lock >= 0);
                locks.append(lock);
                auto *server = new QLocalServer(this);
                QVERIFY(server->listen(folder + QStringLiteral("/tessilor.socket")));
                connect(server, &QLocalServer::newConnection, this, [&connections] { ++connections; });
                servers.append(server);
            }
            const QString picture = apptest::writePicture(home.filePath(QStringLiteral("secret.png")), 40, 30, "PNG");
            QProcess victim;
            victim.setProcessEnvironment(env);
            victim.start(QStringLiteral(TESSILOR_APP_PATH), {picture});
            QVERIFY(victim.waitForStarted(10000));
            // Its window is up once it has shared the fonts.
            QTRY_VERIFY_WITH_TIMEOUT(
                QFileInfo::exists(home.path() + QStringLiteral("/data/fonts/tessilor/GLYFA__2.TTF")) ||
                    victim.state() == QProcess::NotRunning,
                20000);
            QCOMPARE(victim.state(), QProcess::Running);
            QCOMPARE(connections, 0);
            victim.terminate();
            QVERIFY2(victim.waitForFinished(20000), victim.readAllStandardError().constData());
            QCOMPARE(victim.exitStatus(), QProcess::NormalExit);
            QSettings s(home.path() + QStringLiteral("/config/Quar_Programming.ini"), QSettings::IniFormat);
            QCOMPARE(s.value(QStringLiteral("ImageTessilor/LastFile")).toString(), picture);
            qDeleteAll(servers);
            for (int fd : locks)
                ::close(fd);
        }
    }

    // 2000 connections held open and a flood of 100 MB of lines and junk:
    // the first copy, limited to 1024 descriptors, keeps its socket and
    // carries out what later copies hand it meanwhile.
    void handOffSurvivesHeldConnectionsAndAFlood()
    {
        const int descriptors = 1024;
        QTemporaryDir home;
        const QProcessEnvironment env = isolatedEnv(home.path());
        const QString first = apptest::writePicture(home.filePath(QStringLiteral("first.png")), 40, 30, "PNG");
        const QString second = apptest::writePicture(home.filePath(QStringLiteral("second.png")), 30, 40, "PNG");
        QProcess program;
        program.setProcessEnvironment(env);
        program.setChildProcessModifier([descriptors] {
            struct rlimit files = {rlim_t(descriptors), rlim_t(descriptors)};
            ::setrlimit(RLIMIT_NOFILE, &files);
        });
        program.start(QStringLiteral(TESSILOR_APP_PATH), {});
        QVERIFY(program.waitForStarted(10000));
        const QString socket = home.path() + QStringLiteral("/runtime/tessilor.socket");
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(socket), 20000);
        const QByteArray path = QFile::encodeName(socket);

        // This test needs more descriptors than the program has.
        struct rlimit saved = {};
        ::getrlimit(RLIMIT_NOFILE, &saved);
        struct rlimit more = saved;
        more.rlim_cur = qMin<rlim_t>(saved.rlim_max, 4096);
        QVERIFY(::setrlimit(RLIMIT_NOFILE, &more) == 0 && more.rlim_cur >= 2100);
        QList<int> held;
        QElapsedTimer clock;
        clock.start();
        while (held.size() < 2000 && clock.elapsed() < 60000) {
            const int fd = connectTo(path);
            if (fd >= 0)
                held.append(fd);
            else
                QThread::msleep(1);
        }
        QCOMPARE(held.size(), 2000);
        auto handOver = [&](const QString &file) {
            QProcess later;
            later.setProcessEnvironment(env);
            later.start(QStringLiteral(TESSILOR_APP_PATH), {file});
            return later.waitForFinished(30000) && later.exitStatus() == QProcess::NormalExit && later.exitCode() == 0;
        };
        QVERIFY(handOver(first));
        QVERIFY(QFileInfo::exists(socket));
        for (int fd : held)
            ::close(fd);

        // The flood: one connection after another, each written to until the
        // program closes it, lines for "activate" and then junk.
        std::atomic<qint64> sent{0};
        std::atomic<bool> stop{false};
        std::thread flood([&] {
            QByteArray lines;
            while (lines.size() < 256 * 1024)
                lines += "activate\n";
            QByteArray junk(256 * 1024, '\0');
            for (qsizetype i = 0; i < junk.size(); ++i)
                junk[i] = char(i * 131 % 255 + 1 == '\n' ? 'x' : i * 131 % 255 + 1);
            QElapsedTimer floodClock;
            floodClock.start();
            for (int n = 0; sent < 100 * 1024 * 1024 && !stop && floodClock.elapsed() < 120000; ++n) {
                const int fd = connectTo(path);
                if (fd < 0) {
                    QThread::msleep(1);
                    continue;
                }
                const QByteArray &bytes = n % 2 ? junk : lines;
                for (qsizetype at = 0; at < bytes.size() && !stop;) {
                    const ssize_t w =
                        ::send(fd, bytes.constData() + at, size_t(bytes.size() - at), MSG_NOSIGNAL | MSG_DONTWAIT);
                    if (w > 0) {
                        at += w;
                        sent += w;
                    } else if (w < 0 && errno == EAGAIN) {
                        pollfd p = {fd, POLLOUT, 0};
                        if (::poll(&p, 1, 2000) <= 0 || (p.revents & (POLLERR | POLLHUP)))
                            break;
                    } else {
                        break;
                    }
                }
                ::close(fd);
            }
        });
        QTRY_VERIFY_WITH_TIMEOUT(sent > 10 * 1024 * 1024, 60000);
        const bool handedOverDuringTheFlood = handOver(second);
        flood.join();
        ::setrlimit(RLIMIT_NOFILE, &saved);
        QVERIFY(handedOverDuringTheFlood);
        QVERIFY2(sent >= 100 * 1024 * 1024, qPrintable(QString::number(sent)));
        QCOMPARE(program.state(), QProcess::Running);

        program.terminate();
        QVERIFY(program.waitForFinished(20000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QSettings s(home.path() + QStringLiteral("/config/Quar_Programming.ini"), QSettings::IniFormat);
        QCOMPARE(s.value(QStringLiteral("ImageTessilor/LastFile")).toString(), second);
        QCOMPARE(s.value(QStringLiteral("ImageTessilor/RecentFile2")).toString(), first);
    }

    // A later copy whose first copy does not answer shows the "busy"
    // message; a termination request ends it there.
    void busySecondStartEndsOnTermination()
    {
        QTemporaryDir home;
        const QProcessEnvironment env = isolatedEnv(home.path());
        const int lock = holdLock(home.path() + QStringLiteral("/runtime/tessilor.lock"));
        QVERIFY(lock >= 0);
        QProcess later;
        later.setProcessEnvironment(env);
        later.start(QStringLiteral(TESSILOR_APP_PATH), {});
        QVERIFY(later.waitForStarted(10000));
        QByteArray err;
        QTRY_VERIFY_WITH_TIMEOUT((err += later.readAllStandardError()).contains("не отвечает") ||
                                     later.state() == QProcess::NotRunning,
                                 20000);
        QCOMPARE(later.state(), QProcess::Running); // in the message box
        later.terminate();
        const bool ended = later.waitForFinished(20000);
        if (!ended) {
            later.kill();
            later.waitForFinished(5000);
        }
        ::close(lock);
        QVERIFY(ended);
        QCOMPARE(later.exitStatus(), QProcess::NormalExit);
    }

    // A start that holds the lock and then waits for ever (an open of a
    // pipe nobody writes) still ends on a termination request: by the
    // signal, without the lock files.
    void stuckStartEndsOnTermination()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("runtime"));
        QVERIFY(QDir().mkdir(folder));
        QVERIFY(
            QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
        const QString pipe = dir.filePath(QStringLiteral("settings.ini"));
        QVERIFY(::mkfifo(QFile::encodeName(pipe).constData(), 0600) == 0);
        QProcess stuck;
        stuck.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--stuck-start"), folder, pipe});
        QVERIFY(stuck.waitForStarted(10000));
        const QString lock = folder + QStringLiteral("/tessilor.lock");
        auto holder = [&] {
            QFile f(lock);
            return f.open(QIODevice::ReadOnly) ? f.readLine().trimmed().toLongLong() : -1;
        };
        QTRY_COMPARE_WITH_TIMEOUT(holder(), stuck.processId(), 20000);
        stuck.terminate();
        const bool ended = stuck.waitForFinished(20000);
        if (!ended) {
            stuck.kill();
            stuck.waitForFinished(5000);
        }
        QVERIFY(ended);
        QCOMPARE(stuck.exitStatus(), QProcess::CrashExit);
        QCOMPARE(stuck.exitCode(), int(SIGTERM));
        QVERIFY(!QFileInfo::exists(lock));
        QVERIFY(!QFileInfo::exists(folder + QStringLiteral("/tessilor.socket")));
    }

    void programOpensFilesFromItsCommandLineAndASecondStart()
    {
        QTemporaryDir home;
        const QProcessEnvironment env = isolatedEnv(home.path());
        const QString first = apptest::writePicture(home.filePath(QStringLiteral("first.png")), 40, 30, "PNG");
        const QString second =
            apptest::writePicture(home.filePath(QStringLiteral("second pic.webp")), 30, 40, "WEBP", 100);
        QProcess program;
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(TESSILOR_APP_PATH), {first});
        QVERIFY(program.waitForStarted(10000));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(home.path() + QStringLiteral("/runtime/tessilor.socket")), 20000);

        // A second start with a file name relative to its folder.
        QProcess later;
        later.setProcessEnvironment(env);
        later.setWorkingDirectory(home.path());
        later.start(QStringLiteral(TESSILOR_APP_PATH), {QStringLiteral("second pic.webp")});
        QVERIFY(later.waitForFinished(20000));
        QCOMPARE(later.exitCode(), 0);
        QCOMPARE(program.state(), QProcess::Running);

        // The first copy opened both: the newest is the last file, the one
        // before it the next recent file.
        QTest::qWait(500);
        program.terminate();
        QVERIFY(program.waitForFinished(20000));
        QSettings s(home.path() + QStringLiteral("/config/Quar_Programming.ini"), QSettings::IniFormat);
        QCOMPARE(s.value(QStringLiteral("ImageTessilor/LastFile")).toString(), second);
        QCOMPARE(s.value(QStringLiteral("ImageTessilor/RecentFile2")).toString(), first);
    }
};

int main(int argc, char **argv)
{
    if (argc == 3 && qstrcmp(argv[1], "--take-lock-and-crash") == 0) {
        QCoreApplication app(argc, argv);
        SingleInstance guard(QString::fromLocal8Bit(argv[2]));
        if (!guard.acquire())
            return 2;
        std::_Exit(0); // no clean-up, as after a crash
    }
    if (argc == 4 && qstrcmp(argv[1], "--stuck-start") == 0) {
        // The desktop program's start: termination requests held, the lock
        // taken, then an open that never returns.
        QCoreApplication app(argc, argv);
        TerminationWatcher watcher(nullptr, false);
        SingleInstance guard(QString::fromLocal8Bit(argv[2]));
        if (!guard.acquire())
            return 2;
        QFile pipe(QString::fromLocal8Bit(argv[3]));
        return pipe.open(QIODevice::ReadOnly) ? 3 : 4;
    }
    QTemporaryDir home;
    apptest::isolateHome(home.path());
    QApplication app(argc, argv);
    TestStartup t;
    return QTest::qExec(&t, argc, argv);
}

#include "test_startup.moc"
