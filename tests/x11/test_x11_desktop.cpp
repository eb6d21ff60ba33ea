// The desktop program's flows driven from the X server (xdotool, xclip) as
// on a desktop: a window manager (openbox) on a 1600 x 1000 screen, with
// frames and the focus where the window manager puts it. The pickers' place
// in the frame, the clipboard between applications, a restart with the
// recent files, the word processor found on the machine. Grabs of the
// screen are kept as PNGs in the folder TESSILOR_X11_SHOTS names.
#include "support/apptestsupport.h"
#include "support/screengrab.h"

#include "app/globals.h"
#include "app/mainwindow.h"
#include "app/resultwindow.h"
#include "base/paths.h"
#include "document/artimage.h"
#include "platform/desktopapps.h"
#include "richtext/richtextcontrol.h"
#include "widgets/captionbar.h"
#include "widgets/progress.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QScopeGuard>
#include <QSettings>
#include <QSignalSpy>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>
#include <memory>

#include <csignal>

using namespace tessilor;
using apptest::globalRect;
using apptest::grabScreen;
using apptest::keepShot;

namespace {

// Runs an X client (xdotool, xclip) to its end while this program's events
// go on: it may ask this program for the clipboard. Its standard output.
QByteArray runClient(const QString &program, const QStringList &arguments, int timeoutMs = 20000)
{
    QProcess client;
    client.start(program, arguments);
    if (!client.waitForStarted(5000))
        return QByteArray();
    QByteArray out;
    QElapsedTimer clock;
    clock.start();
    while (client.state() != QProcess::NotRunning && clock.elapsed() < timeoutMs) {
        QTest::qWait(20);
        out += client.readAllStandardOutput();
    }
    if (client.state() != QProcess::NotRunning) {
        client.kill();
        client.waitForFinished(2000);
    }
    return out + client.readAllStandardOutput();
}

// Keys typed on the X server, as the user types them, into the window
// that has the focus.
void typeKeys(const QString &keys)
{
    runClient(QStringLiteral("xdotool"),
              {QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("80"), keys});
    QTest::qWait(100);
}

} // namespace

class TestX11Desktop : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_pics;
    std::unique_ptr<MainWindow> m_form;

    MainWindow *start() { return apptest::startMainWindow(m_form); }
    QString picture(const QString &name, int w, int h, const char *format)
    {
        return apptest::writePicture(m_pics.filePath(name), w, h, format, 100);
    }

private Q_SLOTS:
    void cleanup() { apptest::closeMainWindow(m_form); }

    // The real program, driven from the X server: a picture that another
    // application put on the clipboard opens with Ctrl+V, is kept as a file
    // of the data folder and converts; after a restart the recent files
    // open it again and it converts to the same text.
    void pastedPictureConvertsAndReopensAfterARestart()
    {
        QSettings(apptest::iniPath(), QSettings::IniFormat).clear();
        QDir(pastedPicturesFolder()).removeRecursively();
        const QString png = picture(QStringLiteral("copied.png"), 160, 120, "PNG");
        QProcess owner; // xclip serves the clipboard until another owner takes it
        owner.start(QStringLiteral("xclip"),
                    {QStringLiteral("-quiet"), QStringLiteral("-selection"), QStringLiteral("clipboard"),
                     QStringLiteral("-t"), QStringLiteral("image/png"), QStringLiteral("-i"), png});
        QVERIFY(owner.waitForStarted(5000));
        auto stopOwner = qScopeGuard([&owner] {
            owner.kill();
            owner.waitForFinished(2000);
        });
        QProcess program;
        auto startProgram = [&program] {
            program.start(QStringLiteral(TESSILOR_APP_PATH), {});
            if (!program.waitForStarted(10000))
                return false;
            const QByteArray window =
                runClient(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--sync"),
                                                      QStringLiteral("--pid"), QString::number(program.processId()),
                                                      QStringLiteral("--name"), QStringLiteral("Quar Image Tessilor")})
                    .split('\n')
                    .value(0);
            runClient(QStringLiteral("xdotool"),
                      {QStringLiteral("windowactivate"), QStringLiteral("--sync"), QString::fromLatin1(window)});
            QTest::qWait(500);
            return !window.isEmpty();
        };
        auto endProgram = [&program] {
            // As the session ends it: the window closes the user's way.
            program.terminate();
            return program.waitForFinished(20000) && program.exitCode() == 0;
        };
        auto stopProgram = qScopeGuard([&program] {
            if (program.state() != QProcess::NotRunning) {
                program.kill();
                program.waitForFinished(5000);
            }
        });
        // F5 and the text file the run writes whole.
        auto convert = [](const QString &shotName) {
            QFile::remove(globals::TempTextPath);
            typeKeys(QStringLiteral("F5"));
            QByteArray text;
            for (int i = 0; i < 300 && text.isEmpty(); ++i) {
                QTest::qWait(50);
                text = apptest::readAll(globals::TempTextPath);
            }
            QTest::qWait(300);
            keepShot(grabScreen(), shotName);
            return text;
        };

        QVERIFY(startProgram());
        typeKeys(QStringLiteral("ctrl+v"));
        QString kept;
        QTRY_VERIFY_WITH_TIMEOUT(!(kept = QDir(pastedPicturesFolder()).entryList(QDir::Files).value(0)).isEmpty(),
                                 10000);
        kept = QDir(pastedPicturesFolder()).filePath(kept);
        QTRY_COMPARE(apptest::readAll(kept), apptest::readAll(png));
        QVERIFY2(getName(kept).startsWith(QStringLiteral("буфер обмена ")), qPrintable(kept));
        const QByteArray first = convert(QStringLiteral("4b-pasted-and-converted"));
        QVERIFY(first.count('\n') > 10);
        QVERIFY(endProgram());
        QCOMPARE(QSettings(apptest::iniPath(), QSettings::IniFormat).value(QStringLiteral("ImageTessilor/LastFile")),
                 QVariant(kept));

        // After the restart: the open button has the focus; its drop-down,
        // its first entry.
        QVERIFY(startProgram());
        typeKeys(QStringLiteral("Down"));
        typeKeys(QStringLiteral("Down"));
        QTest::qWait(300);
        keepShot(grabScreen(), QStringLiteral("4c-recent-after-restart"));
        typeKeys(QStringLiteral("Return"));
        QTest::qWait(500);
        QCOMPARE(convert(QStringLiteral("4d-reopened-and-converted")), first);
        QVERIFY(endProgram());
        QVERIFY(QFileInfo::exists(kept));
    }

    // Keys from the X server: the pickers open where the bars end, in the
    // frame the window manager put around the window; a result copied with
    // Ctrl+Shift+C is read back by another client as the picture the PNG
    // export draws, beside its text; a run stopped with Esc says in its
    // caption and in the status bar that its result is incomplete.
    void copiedPictureReadBackAndStoppedResultMarked()
    {
        MainWindow *f = start();
        QVERIFY(f);
        QVERIFY(f->loadPicture(picture(QStringLiteral("mosaic.png"), 240, 180, "PNG")));
        f->updateOpenState();
        // F7 (text mode) and F8 (figure mode): at most 7 px over the last
        // bar, not below it (they were a title bar's height too high).
        for (const int mode : {0, 1}) {
            apptest::chooseMode(f, mode);
            auto picker = [f, mode] { return mode == 0 ? f->colorPicker() : f->figurePicker(); };
            typeKeys(mode == 0 ? QStringLiteral("F7") : QStringLiteral("F8"));
            QTRY_VERIFY(picker() && picker()->isVisible());
            QTest::qWait(200);
            keepShot(grabScreen(), mode == 0 ? QStringLiteral("4h-colour-picker-in-the-frame")
                                             : QStringLiteral("4i-figure-picker-in-the-frame"));
            const int barsEnd =
                globalRect(apptest::child<QToolBar>(f, mode == 0 ? "Toolbar2" : "Toolbar3")).bottom() + 1;
            const int top = picker()->frameGeometry().top();
            QVERIFY2(
                top >= barsEnd - 7 && top <= barsEnd,
                qPrintable(QStringLiteral("mode %1: picker at %2, bars end at %3").arg(mode).arg(top).arg(barsEnd)));
            typeKeys(QStringLiteral("Escape"));
            QTRY_VERIFY(!picker());
        }
        apptest::chooseMode(f, 1);
        apptest::child<QLineEdit>(f, "Text4")->setText(QStringLiteral("60"));
        apptest::child<QLineEdit>(f, "Text5")->setText(QStringLiteral("45"));
        QSignalSpy finished(f, &MainWindow::runFinished);
        typeKeys(QStringLiteral("F5"));
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 60000);
        QString said;
        apptest::closeNextMessage(&said);
        typeKeys(QStringLiteral("ctrl+shift+c"));
        QTRY_COMPARE(said, QStringLiteral("Успешно скопировано в буфер обмена."));
        const QByteArray targets = runClient(
            QStringLiteral("xclip"), {QStringLiteral("-o"), QStringLiteral("-selection"), QStringLiteral("clipboard"),
                                      QStringLiteral("-t"), QStringLiteral("TARGETS")});
        for (const char *type : {"image/png", "text/plain", "text/rtf", "text/html"})
            QVERIFY2(targets.contains(type), targets.constData());
        const QByteArray png = runClient(QStringLiteral("xclip"), {QStringLiteral("-o"), QStringLiteral("-selection"),
                                                                   QStringLiteral("clipboard"), QStringLiteral("-t"),
                                                                   QStringLiteral("image/png")});
        const QImage read = QImage::fromData(png, "PNG");
        QVERIFY(!read.isNull());
        QTextDocument *doc = f->existingResultWindow()->richText().hwnd()->document();
        QCOMPARE(read.convertToFormat(QImage::Format_RGB32),
                 renderArtImage(*doc).convertToFormat(QImage::Format_RGB32));
        keepShot(read, QStringLiteral("4e-clipboard-picture"));

        // A long run, stopped with Esc once under way.
        apptest::child<QLineEdit>(f, "Text4")->setText(QStringLiteral("1024"));
        apptest::child<QLineEdit>(f, "Text5")->setText(QStringLiteral("1024"));
        QTimer poll;
        poll.setInterval(20);
        connect(&poll, &QTimer::timeout, f, [&] {
            if (!f->isRunning() || apptest::child<Progress>(f, "Progress1")->percent() < 1)
                return;
            poll.stop();
            QProcess::startDetached(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Escape")});
        });
        poll.start();
        typeKeys(QStringLiteral("F5"));
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, 120000);
        QVERIFY(!poll.isActive());
        ResultWindow *tf = f->existingResultWindow();
        QVERIFY(tf->isIncomplete());
        QVERIFY(globals::GridRows < 1024);
        QCOMPARE(tf->captionBar()->title(),
                 QStringLiteral("Символизация (неполная: строк %1 из 1024)").arg(globals::GridRows));
        QCOMPARE(apptest::child<QLabel>(f, "resultState")->text(),
                 QStringLiteral("Результат неполный: символизация остановлена, готово строк: %1 из 1024.")
                     .arg(globals::GridRows));
        QTest::qWait(300);
        keepShot(grabScreen(), QStringLiteral("4f-stopped-result"));
    }

    // "Передать в редактор" where the desktop names no application for RTF
    // files but a word processor is installed: it opens the file.
    void wordProcessorOpensTheResultWhereNoApplicationIsRegistered()
    {
        const apptest::DesktopApplications writerOnly(false, true);
        const QString writer = installedWordProcessor();
        if (writer.isEmpty())
            QSKIP("no word processor with a window is installed (scripts/deps.sh installs AbiWord)");
        MainWindow *f = start();
        QVERIFY(f);
        QVERIFY(f->loadPicture(picture(QStringLiteral("writer.png"), 120, 90, "PNG")));
        f->updateOpenState();
        apptest::child<QLineEdit>(f, "Text1")->setText(QStringLiteral("40"));
        QVERIFY(apptest::clickStartAndWait(f));
        QFile::remove(ResultWindow::wordFilePath());
        // The watch may outlive this test: it holds its flag itself.
        const auto told = std::make_shared<bool>(false);
        apptest::answerNextModal<QMessageBox>(
            [told](QMessageBox *box) {
                *told = true;
                box->done(QMessageBox::Ok);
            },
            3000);
        typeKeys(QStringLiteral("ctrl+e"));
        QTRY_VERIFY(QFileInfo::exists(ResultWindow::wordFilePath()));
        // The word processor's window names the file.
        const QByteArray window = runClient(QStringLiteral("xdotool"),
                                            {QStringLiteral("search"), QStringLiteral("--sync"),
                                             QStringLiteral("--name"), QStringLiteral("Out")},
                                            60000)
                                      .split('\n')
                                      .value(0);
        QVERIFY2(!window.isEmpty(), qPrintable(writer));
        QTest::qWait(2000);
        keepShot(grabScreen(), QStringLiteral("4g-word-processor"));
        QVERIFY(!*told);
        // It was started for this test: it ends by its process number.
        const qint64 pid =
            runClient(QStringLiteral("xdotool"), {QStringLiteral("getwindowpid"), QString::fromLatin1(window)})
                .trimmed()
                .toLongLong();
        QVERIFY(pid > 0);
        ::kill(pid_t(pid), SIGTERM);
    }
};

TESSILOR_X11_TEST_MAIN(TestX11Desktop)

#include "test_x11_desktop.moc"
