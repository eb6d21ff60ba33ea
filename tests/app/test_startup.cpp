// Start-up and exit: the single-instance guard (also after a crash), the
// clean-up of temporary files, termination signals, and the real program
// saving its settings when it is terminated and handing over to the first
// copy on a second start.
#include "support/apptestsupport.h"
#include "support/privatefontconfig.h"

#include "app/mainwindow.h"
#include "app/startup.h"
#include "view/imagewindow.h"

#include <QLocalSocket>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>

#include <csignal>
#include <cstdlib>

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
    QTemporaryDir home;
    apptest::isolateHome(home.path());
    QApplication app(argc, argv);
    TestStartup t;
    return QTest::qExec(&t, argc, argv);
}

#include "test_startup.moc"
