// Runs and outputs: a full run started with the start button, a stop in
// mid-run, a run that cannot write its file, figure runs, saving through the
// dialog, the word processor copy, the clipboard and the printer check.
#include "support/apptestsupport.h"

#include "app/globals.h"
#include "app/livepreview.h"
#include "app/mainwindow.h"
#include "app/resultfile.h"
#include "app/resultwindow.h"
#include "app/runcontrol.h"
#include "app/startup.h"
#include "art/toneramp.h"
#include "base/options.h"
#include "base/paths.h"
#include "document/artimage.h"
#include "document/documentfill.h"
#include "document/mosaiclayout.h"
#include "richtext/richtextcontrol.h"
#include "richtext/textzoom.h"
#include "view/helpwindow.h"
#include "view/imagewindow.h"
#include "view/printwindow.h"
#include "widgets/captionbar.h"
#include "widgets/progress.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDesktopServices>
#include <QLabel>
#include <QMdiArea>
#include <QMenu>
#include <QMimeData>
#include <QPrinterInfo>
#include <QScrollBar>
#include <QSettings>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QWheelEvent>
#include <cmath>
#include <QToolButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <csignal>
#include <functional>
#include <memory>
#include <sys/resource.h>

using namespace tessilor;
using apptest::clickStartAndWait;

// Receives the files the program hands to the desktop.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public Q_SLOTS:
    void open(const QUrl &url) { urls.append(url); }
};

class TestRun : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_pics;
    std::unique_ptr<MainWindow> m_form;

    MainWindow *openWithPicture(int w, int h, const char *format = "BMP")
    {
        m_form = apptest::openMainWindow();
        const QString ext = QString::fromLatin1(format).toLower();
        const QString path =
            apptest::writePicture(m_pics.filePath(QStringLiteral("run%1x%2.%3").arg(w).arg(h).arg(ext)), w, h, format);
        if (path.isEmpty() || !m_form->loadPicture(path))
            return nullptr;
        m_form->updateOpenState();
        return m_form.get();
    }
    // Starts a long figure run (1024 x 1024) and calls act once, as soon as
    // the run is under way; returns when the run has ended.
    bool runAndActWhileRunning(MainWindow *f, const std::function<void()> &act)
    {
        apptest::chooseMode(f, 1);
        apptest::child<QLineEdit>(f, "Text4")->setText(QStringLiteral("1024"));
        apptest::child<QLineEdit>(f, "Text5")->setText(QStringLiteral("1024"));
        QTimer poll;
        poll.setInterval(0);
        connect(&poll, &QTimer::timeout, f, [&] {
            // The progress bar may still show the previous run's end while
            // the new run switches the controls.
            if (!f->isRunning() ||
                MainWindow::imageKey(apptest::child<QToolButton>(f, "go")) != QLatin1String("canc") ||
                apptest::child<Progress>(f, "Progress1")->percent() < 1)
                return;
            poll.stop();
            act();
        });
        poll.start();
        return clickStartAndWait(f);
    }
    QString documentText(MainWindow *f)
    {
        return f->existingResultWindow()->richText().hwnd()->document()->toPlainText();
    }

private Q_SLOTS:
    void cleanup()
    {
        apptest::closeMainWindow(m_form);
        globals::initPaths(dataFolder(), programFilesFolder());
    }

    void fullTextRunFromTheStartButton()
    {
        MainWindow *f = openWithPicture(300, 200);
        QVERIFY(f);
        apptest::child<QLineEdit>(f, "Text1")->setText(QStringLiteral("81"));
        apptest::child<QLineEdit>(f, "Text2")->setText(QStringLiteral("30"));
        QVERIFY(clickStartAndWait(f));
        // The fields hold the clamped counts.
        QCOMPARE(apptest::child<QLineEdit>(f, "Text1")->text(), QStringLiteral("80"));
        QCOMPARE(apptest::child<QLineEdit>(f, "Text2")->text(), QStringLiteral("30"));
        QCOMPARE(globals::ResultKind, qint16(3));
        QCOMPARE(globals::GridRows, 30);
        QCOMPARE(globals::GridColumns, 40);
        QCOMPARE(globals::StopRequested, qint16(0));

        const QByteArray file = apptest::readAll(globals::TempTextPath);
        const QList<QByteArray> lines = file.split('\n');
        QCOMPARE(lines.size(), 31); // 30 lines, each ended by CR LF
        for (int i = 0; i < 30; ++i) {
            QVERIFY(lines[i].endsWith('\r'));
            QCOMPARE(QString::fromUtf8(lines[i].chopped(1)).size(), 80);
        }
        // The black square gives the darkest reachable ramp character.
        QVERIFY(file.contains("MM"));

        ResultWindow *tf = f->existingResultWindow();
        QVERIFY(tf && tf->isVisible());
        // One paragraph per line; the final line break leaves an empty one.
        const QStringList paragraphs = documentText(f).split(u'\n');
        QCOMPARE(paragraphs.size(), 31);
        QCOMPARE(paragraphs.first(), QString::fromUtf8(lines[0].chopped(1)));
        QVERIFY(paragraphs.last().isEmpty());
        QCOMPARE(tf->richText().hwnd()->lineWrapMode(), QTextEdit::NoWrap);
        QVERIFY(tf->richText().hwnd()->isReadOnly());
        QCOMPARE(tf->resultFont().family(), QStringLiteral("Courier New Cyr"));
        QCOMPARE(tf->captionBar()->title(), QStringLiteral("Символизация"));

        QToolButton *go = apptest::child<QToolButton>(f, "go");
        QCOMPARE(go->text(), QStringLiteral("Пуск"));
        QCOMPARE(MainWindow::imageKey(go), QStringLiteral("go"));
        QVERIFY(apptest::child<QToolButton>(f, "result")->isEnabled());
        QVERIFY(apptest::child<QLineEdit>(f, "Text1")->isEnabled());
        QVERIFY(!apptest::child<Progress>(f, "Progress1")->isVisible());

        // A second run closes the first result window before it starts.
        apptest::child<QLineEdit>(f, "Text1")->setText(QStringLiteral("20"));
        QVERIFY(clickStartAndWait(f));
        QCOMPARE(globals::GridColumns, 10);
        QCOMPARE(documentText(f).split(u'\n').size(), 31);
    }

    void runWithFixedSizeFontRestoresTheSizeRule()
    {
        MainWindow *f = openWithPicture(64, 64);
        QVERIFY(f);
        apptest::child<QComboBox>(f, "ImageCombo2")->setCurrentIndex(1); // Fixedsys, not applied yet
        QVERIFY(apptest::child<QComboBox>(f, "Combo1")->isEnabled());
        apptest::child<QLineEdit>(f, "Text1")->setText(QStringLiteral("32"));
        apptest::child<QLineEdit>(f, "Text2")->setText(QStringLiteral("16"));
        QVERIFY(clickStartAndWait(f));
        QVERIFY(!apptest::child<QComboBox>(f, "Combo1")->isEnabled());
        QCOMPARE(apptest::child<QComboBox>(f, "Combo1")->currentText(), QStringLiteral("10"));
        QCOMPARE(f->existingImageWindow()->windowFont().family(), QStringLiteral("Fixedsys"));
    }

    void stopInMidRun()
    {
        // The largest figure grid takes long enough to stop it row by row.
        MainWindow *f = openWithPicture(400, 400);
        QVERIFY(f);
        apptest::chooseMode(f, 1);
        apptest::child<QLineEdit>(f, "Text4")->setText(QStringLiteral("1024"));
        apptest::child<QLineEdit>(f, "Text5")->setText(QStringLiteral("1024"));
        QToolButton *go = apptest::child<QToolButton>(f, "go");
        bool helpEnabled = false;
        bool optionsDisabled = false;
        // Press "Стоп" as soon as the run has reported its first rows.
        QTimer poll;
        poll.setInterval(0);
        connect(&poll, &QTimer::timeout, f, [&] {
            if (MainWindow::imageKey(go) != QStringLiteral("canc") ||
                apptest::child<Progress>(f, "Progress1")->percent() < 1)
                return;
            poll.stop();
            QCOMPARE(go->text(), QStringLiteral("Стоп"));
            helpEnabled = apptest::child<QToolButton>(f, "help")->isEnabled();
            optionsDisabled = !apptest::child<QLineEdit>(f, "Text4")->isEnabled() &&
                              !apptest::child<QComboBox>(f, "ImageCombo1")->isEnabled();
            QTest::mouseClick(go, Qt::LeftButton, {}, QPoint(8, 8));
        });
        poll.start();
        QVERIFY(clickStartAndWait(f));
        QVERIFY(!poll.isActive());
        QVERIFY(helpEnabled);
        QVERIFY(optionsDisabled);
        QCOMPARE(globals::StopRequested, qint16(-1));
        QVERIFY(globals::GridRows > 0);
        QVERIFY(globals::GridRows < 1024);
        QCOMPARE(globals::GridColumns, 1024);
        QCOMPARE(globals::ResultKind, qint16(2));
        QCOMPARE(go->text(), QStringLiteral("Пуск"));
        QCOMPARE(MainWindow::imageKey(go), QStringLiteral("go"));
        QVERIFY(apptest::child<QToolButton>(f, "result")->isEnabled());
        QVERIFY(apptest::child<QLineEdit>(f, "Text4")->isEnabled());
        // The partial mosaic is shown; the colour file holds the cells walked.
        QVERIFY(f->existingResultWindow()->isVisible());
        const qsizetype cells = apptest::readAll(globals::TempColorPath).count('\n');
        QVERIFY(cells > qsizetype(globals::GridRows - 1) * 1024);
        QVERIFY(cells <= qsizetype(globals::GridRows) * 1024);

        // The result says that it is incomplete: in its caption, in the
        // status bar and before each output.
        ResultWindow *tf = f->existingResultWindow();
        QCOMPARE(tf->captionBar()->title(),
                 QStringLiteral("Символизация (неполная: строк %1 из 1024)").arg(globals::GridRows));
        const QString note = QStringLiteral("Результат неполный: символизация остановлена, готово строк: %1 из 1024.")
                                 .arg(globals::GridRows);
        QCOMPARE(apptest::child<QLabel>(f, "resultState")->text(), note);
        auto answer = [](const QString &button, QString *asked) {
            apptest::answerNextModal<QMessageBox>([button, asked](QMessageBox *box) {
                *asked = box->text();
                for (QAbstractButton *b : box->buttons())
                    if (b->text() == button)
                        b->click();
            });
        };
        // "Нет": nothing is saved, printed or handed over.
        bool outputOpened = false;
        QTimer watch; // a dialog of the output itself, should one open
        watch.setInterval(20);
        connect(&watch, &QTimer::timeout, f, [&outputOpened] {
            auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            if (dialog && !qobject_cast<QMessageBox *>(dialog)) {
                outputOpened = true;
                dialog->reject();
            }
        });
        watch.start();
        QFile::remove(ResultWindow::wordFilePath());
        const QStringList questions = {QStringLiteral("Сохранить неполный результат?"),
                                       QStringLiteral("Напечатать неполный результат?"),
                                       QStringLiteral("Передать неполный результат в редактор?")};
        const char *outputs[] = {"tofile", "print", "toword"};
        for (int i = 0; i < 3; ++i) {
            QString asked;
            answer(QStringLiteral("Нет"), &asked);
            apptest::child<QAction>(f, outputs[i])->trigger();
            QCOMPARE(asked, note + QStringLiteral("\r\n") + questions[i]);
        }
        watch.stop();
        QVERIFY(!outputOpened);
        QVERIFY(!QFileInfo::exists(ResultWindow::wordFilePath()));
        // "Да" goes on; copying says it in its message.
        {
            const apptest::DesktopApplications none(false);
            QString asked, said;
            answer(QStringLiteral("Да"), &asked);
            QTimer::singleShot(0, [&said] { apptest::closeNextMessage(&said); });
            apptest::child<QAction>(f, "toword")->trigger();
            QTRY_VERIFY(!said.isEmpty());
            QVERIFY(QFile::remove(ResultWindow::wordFilePath()));
        }
        QString said;
        apptest::closeNextMessage(&said);
        apptest::child<QAction>(f, "tocl")->trigger();
        QCOMPARE(said, QStringLiteral("Успешно скопировано в буфер обмена.\r\n") + note);

        // A whole result again: no mark.
        apptest::child<QLineEdit>(f, "Text4")->setText(QStringLiteral("20"));
        apptest::child<QLineEdit>(f, "Text5")->setText(QStringLiteral("20"));
        QVERIFY(clickStartAndWait(f));
        QCOMPARE(tf->captionBar()->title(), QStringLiteral("Символизация"));
        QVERIFY(apptest::child<QLabel>(f, "resultState")->text().isEmpty());
        apptest::closeNextMessage(&said);
        apptest::child<QAction>(f, "tocl")->trigger();
        QCOMPARE(said, QStringLiteral("Успешно скопировано в буфер обмена."));
    }

    void keyboardShortcutsWorkOnlyWhileTheirControlsDo()
    {
        // The dialog each key opened (its class name), closed at once.
        QStringList opened;
        QTimer closer;
        closer.setInterval(10);
        connect(&closer, &QTimer::timeout, [&opened] {
            if (QWidget *modal = QApplication::activeModalWidget()) {
                opened.append(QString::fromLatin1(modal->metaObject()->className()));
                if (auto *dialog = qobject_cast<QDialog *>(modal))
                    dialog->reject();
            }
        });
        closer.start();
        auto press = [&opened](MainWindow *f, QKeyCombination key) {
            // A closed dialog or a hidden window leaves no window active here
            // (no window manager).
            f->activateWindow();
            if (!QTest::qWaitFor([f] { return QApplication::activeWindow() == f; }, 5000))
                return QStringLiteral("main window not active");
            opened.clear();
            QTest::keyClick(f, key.key(), key.keyboardModifiers());
            QTest::qWait(50);
            return opened.join(u' ');
        };
        auto helpShown = [] {
            for (QWidget *w : QApplication::topLevelWidgets())
                if (qobject_cast<HelpWindow *>(w) && w->isVisible())
                    return true;
            return false;
        };
        auto hideHelp = [] {
            for (QWidget *w : QApplication::topLevelWidgets())
                if (qobject_cast<HelpWindow *>(w))
                    w->hide();
        };

        // Without a picture: neither a run nor the outputs.
        QSettings(apptest::iniPath(), QSettings::IniFormat).clear();
        m_form = std::make_unique<MainWindow>();
        MainWindow *f = m_form.get();
        f->showAsStored();
        f->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f));
        QSignalSpy finished(f, &MainWindow::runFinished);
        QCOMPARE(press(f, Qt::Key_F5), QString());
        QCOMPARE(press(f, Qt::CTRL | Qt::Key_S), QString());
        QCOMPARE(press(f, Qt::CTRL | Qt::Key_P), QString());
        QCOMPARE(finished.count(), 0);
        QCOMPARE(press(f, Qt::CTRL | Qt::Key_O), QStringLiteral("QFileDialog"));
        m_form.reset();

        // With a picture, F5 runs; then each key does its command.
        f = openWithPicture(60, 40);
        QVERIFY(f);
        QCOMPARE(press(f, Qt::CTRL | Qt::Key_S), QString());
        QSignalSpy ran(f, &MainWindow::runFinished);
        QCOMPARE(press(f, Qt::Key_F5), QString());
        QTRY_COMPARE(ran.count(), 1);
        QVERIFY(f->existingResultWindow() && f->existingResultWindow()->isVisible());
        QCOMPARE(press(f, Qt::CTRL | Qt::Key_S), QStringLiteral("QFileDialog"));
        QCOMPARE(press(f, Qt::CTRL | Qt::Key_P), QStringLiteral("tessilor::PrintWindow"));
        QCOMPARE(press(f, Qt::CTRL | Qt::Key_O), QStringLiteral("QFileDialog"));
        QCOMPARE(press(f, Qt::Key_Escape), QString());
        QVERIFY(!helpShown());
        press(f, Qt::Key_F1);
        QVERIFY(helpShown());
        hideHelp();

        // During a run only Esc (stop) and F1 (help) do something.
        QString duringRun;
        bool helpDuringRun = false;
        QVERIFY(runAndActWhileRunning(f, [&] {
            for (QKeyCombination key : {QKeyCombination(Qt::CTRL | Qt::Key_O), QKeyCombination(Qt::Key_F5),
                                        QKeyCombination(Qt::CTRL | Qt::Key_S), QKeyCombination(Qt::CTRL | Qt::Key_P)})
                duringRun += press(f, key);
            QVERIFY(f->isRunning());
            QCOMPARE(globals::StopRequested, qint16(0));
            press(f, Qt::Key_F1);
            helpDuringRun = helpShown();
            hideHelp();
            duringRun += press(f, Qt::Key_Escape);
        }));
        QCOMPARE(duringRun, QString());
        QVERIFY(helpDuringRun);
        QCOMPARE(globals::StopRequested, qint16(-1));
        QVERIFY(globals::GridRows > 0 && globals::GridRows < 1024);
        QCOMPARE(apptest::child<QToolButton>(f, "go")->toolTip(), QStringLiteral("Символизировать изображение (F5)"));
    }

    void closingDuringARunWaitsForTheStop()
    {
        MainWindow *f = openWithPicture(300, 300);
        QVERIFY(f);
        QSignalSpy unloaded(f, &MainWindow::unloadFinished);
        bool stillOpenDuringRun = false;
        QVERIFY(runAndActWhileRunning(f, [&] {
            f->close();
            stillOpenDuringRun = f->isVisible() && unloaded.isEmpty();
        }));
        QVERIFY(stillOpenDuringRun);
        QVERIFY(globals::GridRows < 1024);
        // The window closes once the run has ended, with the usual unload.
        QTRY_COMPARE(unloaded.count(), 1);
        QVERIFY(!f->isVisible());
        QVERIFY(!QFileInfo::exists(globals::TempColorPath));
    }

    void terminationDuringARunSavesSettingsAndLeavesNoPartialFile()
    {
        MainWindow *f = openWithPicture(300, 300);
        QVERIFY(f);
        TerminationWatcher watcher;
        QVERIFY(watcher.isActive());
        closeOnTermination(watcher, *f);
        QSignalSpy unloaded(f, &MainWindow::unloadFinished);
        bool signalled = false;
        QVERIFY(runAndActWhileRunning(f, [&] { signalled = ::raise(SIGTERM) == 0; }));
        QVERIFY(signalled);
        QVERIFY(globals::GridRows < 1024); // the run stopped early
        QTRY_COMPARE(unloaded.count(), 1);
        // Settings written as on a normal close, mode included.
        QSettings ini(apptest::iniPath(), QSettings::IniFormat);
        QCOMPARE(ini.value(QStringLiteral("ImageTessilor/Type")).toString(), QStringLiteral("2"));
        // No temporary file is left in the data folder, whole or partial.
        const QStringList left = QDir(dataFolder()).entryList({QStringLiteral("*.tmp*")}, QDir::Files);
        QVERIFY2(left.isEmpty(), qPrintable(left.join(u' ')));
    }

    void failingRunIsReportedAndEndsCleanly()
    {
        MainWindow *f = openWithPicture(80, 60);
        QVERIFY(f);
        // A temporary file inside a plain file cannot be created, not even
        // by the administrator.
        QTemporaryDir dir;
        const QString plain = dir.filePath(QStringLiteral("plain"));
        QFile(plain).open(QIODevice::WriteOnly);
        globals::TempTextPath = plain + QStringLiteral("/text.tmp");
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        apptest::closeNextMessage(&text, &icon);
        QVERIFY(clickStartAndWait(f));
        QVERIFY(text.startsWith(QStringLiteral("Не удалось символизировать изображение: ")));
        QVERIFY(text.contains(QStringLiteral("text.tmp")));
        QCOMPARE(icon, QMessageBox::Critical);
        QCOMPARE(apptest::child<QToolButton>(f, "go")->text(), QStringLiteral("Пуск"));
        QVERIFY(apptest::child<QLineEdit>(f, "Text1")->isEnabled());
        QVERIFY(!apptest::child<QToolButton>(f, "result")->isEnabled());
        QCOMPARE(globals::ResultKind, qint16(0));
    }

    void fullDiskDuringARunKeepsTheLastResultFile()
    {
        MainWindow *f = openWithPicture(300, 200);
        QVERIFY(f);
        apptest::child<QLineEdit>(f, "Text1")->setText(QStringLiteral("80"));
        apptest::child<QLineEdit>(f, "Text2")->setText(QStringLiteral("40"));
        QVERIFY(clickStartAndWait(f));
        const QByteArray first = apptest::readAll(globals::TempTextPath);
        QCOMPARE(first.count('\n'), 40);

        // A file size limit makes every write past 2000 bytes fail the way a
        // full disk does (EFBIG instead of ENOSPC).
        struct rlimit old {};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = old;
        small.rlim_cur = 2000;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        const auto restore = qScopeGuard([&] {
            setrlimit(RLIMIT_FSIZE, &old);
            std::signal(SIGXFSZ, oldHandler);
        });
        apptest::child<QLineEdit>(f, "Text1")->setText(QStringLiteral("200"));
        apptest::child<QLineEdit>(f, "Text2")->setText(QStringLiteral("100"));
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        apptest::closeNextMessage(&text, &icon);
        QVERIFY(clickStartAndWait(f));
        QVERIFY(text.startsWith(QStringLiteral("Не удалось символизировать изображение: ")));
        QCOMPARE(icon, QMessageBox::Critical);
        // The run ended cleanly and the last result's file is whole.
        QCOMPARE(apptest::child<QToolButton>(f, "go")->text(), QStringLiteral("Пуск"));
        QVERIFY(apptest::child<QLineEdit>(f, "Text1")->isEnabled());
        QCOMPARE(apptest::readAll(globals::TempTextPath), first);
        const QStringList leftovers =
            QFileInfo(globals::TempTextPath).dir().entryList({QStringLiteral("text.tmp.*")}, QDir::Files);
        QVERIFY2(leftovers.isEmpty(), qPrintable(leftovers.join(u' ')));
    }

    // Memory that runs out during a large figure run ends the run with the
    // "not enough memory" message; the program goes on.
    void figureRunOutOfMemoryEndsTheRun()
    {
#if defined(__SANITIZE_ADDRESS__)
        QSKIP("an address-space limit and the address sanitizer do not mix");
#endif
        MainWindow *f = openWithPicture(300, 300);
        QVERIFY(f);
        apptest::chooseMode(f, 1);
        apptest::child<QLineEdit>(f, "Text4")->setText(QStringLiteral("1024"));
        apptest::child<QLineEdit>(f, "Text5")->setText(QStringLiteral("1024"));
        // Room for 40 MB more than the program holds now: a
        // million-cell mosaic needs more (Qt's document code then crashes).
        QFile status(QStringLiteral("/proc/self/status"));
        QVERIFY(status.open(QIODevice::ReadOnly));
        const QRegularExpressionMatch vm =
            QRegularExpression(QStringLiteral("VmSize:\\s*(\\d+) kB")).match(QString::fromLatin1(status.readAll()));
        QVERIFY(vm.hasMatch());
        struct rlimit old {};
        QCOMPARE(getrlimit(RLIMIT_AS, &old), 0);
        struct rlimit tight = old;
        tight.rlim_cur = rlim_t(vm.captured(1).toLongLong() * 1024 + 40ll * 1024 * 1024);
        QString text;
        apptest::closeNextMessage(&text);
        QCOMPARE(setrlimit(RLIMIT_AS, &tight), 0);
        const bool ended = clickStartAndWait(f);
        setrlimit(RLIMIT_AS, &old);
        QVERIFY(ended);
        QTRY_VERIFY(!text.isEmpty());
        QVERIFY2(text.contains(QStringLiteral("недостаточно памяти")), qPrintable(text));
        QCOMPARE(apptest::child<QToolButton>(f, "go")->text(), QStringLiteral("Пуск"));
        // The program goes on: a small run works.
        apptest::child<QLineEdit>(f, "Text4")->setText(QStringLiteral("32"));
        apptest::child<QLineEdit>(f, "Text5")->setText(QStringLiteral("32"));
        QVERIFY(clickStartAndWait(f));
        QCOMPARE(globals::GridColumns, 32);
    }

    // The tone method writes the classic method's grid of characters, from
    // the ramp measured in the result's font; the figure fill puts each
    // cell's background in the colour file and in the document. Both
    // choices are kept in the settings.
    void toneMethodAndFigureFillThroughTheWindow()
    {
        MainWindow *f = openWithPicture(200, 120);
        QVERIFY(f);
        apptest::child<QLineEdit>(f, "Text1")->setText(QStringLiteral("40"));
        apptest::child<QLineEdit>(f, "Text2")->setText(QStringLiteral("20"));
        QVERIFY(clickStartAndWait(f));
        const QByteArray classic = apptest::readAll(globals::TempTextPath);
        // The shape strength belongs to the tone method.
        auto *structure = apptest::child<QSpinBox>(f, "structureBox");
        QVERIFY(!structure->isEnabled());
        QCOMPARE(structure->value(), kDefaultToneStructure);
        apptest::child<QComboBox>(f, "methodList")->setCurrentIndex(1);
        QVERIFY(structure->isEnabled());
        QVERIFY(clickStartAndWait(f));
        const QByteArray tone = apptest::readAll(globals::TempTextPath);
        QCOMPARE(tone.count("\r\n"), 20);
        QCOMPARE(QString::fromUtf8(tone).indexOf(u'\r'), QString::fromUtf8(classic).indexOf(u'\r')); // 40 a line
        QVERIFY(tone != classic);
        // Characters of the ramp and of its shape candidates; at strength 0
        // of the ramp alone.
        const ToneRamp &ramp = toneRamp(f->existingResultWindow()->resultFont(), rampFonts()[0].ramp);
        const QString toneText = QString::fromUtf8(tone).remove(QStringLiteral("\r\n"));
        for (const QChar c : toneText)
            QVERIFY2(ramp.chars.contains(c) || ramp.shapeChars.contains(c), qPrintable(QString(c)));
        structure->setValue(0);
        QVERIFY(clickStartAndWait(f));
        const QString byInk = QString::fromUtf8(apptest::readAll(globals::TempTextPath)).remove(QStringLiteral("\r\n"));
        for (const QChar c : byInk)
            QVERIFY2(ramp.chars.contains(c), qPrintable(QString(c)));

        apptest::chooseMode(f, 1);
        apptest::child<QLineEdit>(f, "Text4")->setText(QStringLiteral("20"));
        apptest::child<QLineEdit>(f, "Text5")->setText(QStringLiteral("16"));
        apptest::child<QCheckBox>(f, "fillBox")->setChecked(true);
        QVERIFY(clickStartAndWait(f));
        const QList<QByteArray> lines = apptest::readAll(globals::TempColorPath).split('\n');
        QCOMPARE(lines.size(), 20 * 16 + 1);
        QCOMPARE(lines[0].simplified().split(' ').size(), 2); // figure, then background
        QTextDocument *doc = f->existingResultWindow()->richText().hwnd()->document();
        // The colours stay beside the document until a save or a copy
        // writes them into its formats.
        QVERIFY(MosaicCells::of(doc));
        MosaicLayout::settleColours(doc);
        QVERIFY(!MosaicCells::of(doc));
        QTextCursor cell(doc->begin());
        cell.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
        QVERIFY(cell.charFormat().background().style() != Qt::NoBrush);

        f->saveSettings();
        QSettings ini(apptest::iniPath(), QSettings::IniFormat);
        QCOMPARE(ini.value(QStringLiteral("ImageTessilor/TextMethod")).toString(), QStringLiteral("1"));
        QCOMPARE(ini.value(QStringLiteral("ImageTessilor/FigureFill")).toString(), QStringLiteral("1"));
        QCOMPARE(ini.value(QStringLiteral("ImageTessilor/ToneStructure")).toString(), QStringLiteral("0"));
    }

    // "Автопросмотр": with a result on screen, a lone change of the options
    // is shown at once; a burst of changes gives that one and one more with
    // the newest options once they settle; a change during a long preview
    // stops it and the newest options are shown.
    void livePreviewFollowsTheOptions()
    {
        MainWindow *f = openWithPicture(300, 200);
        QVERIFY(f);
        apptest::child<QLineEdit>(f, "Text1")->setText(QStringLiteral("40"));
        apptest::child<QLineEdit>(f, "Text2")->setText(QStringLiteral("20"));
        QVERIFY(clickStartAndWait(f));
        auto *preview = f->findChild<LivePreview *>();
        QVERIFY(preview);
        QSignalSpy shown(preview, &LivePreview::shown);
        QSignalSpy runs(f, &MainWindow::runFinished);
        apptest::child<QCheckBox>(f, "autoPreview")->setChecked(true);
        QVERIFY(shown.wait(5000)); // switching it on shows the options as they are
        shown.clear();

        const QByteArray before = apptest::readAll(globals::TempTextPath);
        auto *contrast = apptest::child<QSlider>(f, "Slider1");
        QTest::qWait(LivePreview::kSettleMs); // a quiet spell
        for (int v : {10, 30, 60, 90, 120}) {
            contrast->setValue(v);
            QTest::qWait(20);
        }
        QVERIFY(shown.wait(5000));
        QTest::qWait(LivePreview::kSettleMs * 3);
        QCOMPARE(shown.count(), 2);
        QVERIFY(shown.first().first().toLongLong() < LivePreview::kSettleMs);
        QVERIFY(shown.last().first().toLongLong() > LivePreview::kSettleMs / 2); // a coarse timer
        QCOMPARE(runs.count(), 0);
        QVERIFY(apptest::readAll(globals::TempTextPath) != before);
        QVERIFY(f->existingResultWindow()->isVisible());
        // The tone method's shape strength is an option like the others.
        apptest::child<QComboBox>(f, "methodList")->setCurrentIndex(1);
        QVERIFY(shown.wait(5000));
        QTest::qWait(LivePreview::kSettleMs * 2);
        shown.clear();
        apptest::child<QSpinBox>(f, "structureBox")->setValue(0);
        QVERIFY(shown.wait(5000));
        QCOMPARE(runs.count(), 0);
        // A small picture is its own reduced copy: the preview is the result.
        const QString previewed = documentText(f);
        QVERIFY(clickStartAndWait(f));
        QCOMPARE(documentText(f), previewed);

        // A long figure preview, stopped by a newer change made while it runs.
        auto *run = f->findChild<RunControl *>();
        QMetaObject::Connection stopper;
        bool changedWhileRunning = false;
        stopper = connect(run, &RunControl::progress, f, [&](double p) {
            if (p < 1 || !run->isPreviewing())
                return;
            disconnect(stopper);
            changedWhileRunning = true;
            apptest::child<QComboBox>(f, "ImageCombo3")->setCurrentIndex(1); // grey
        });
        apptest::chooseMode(f, 1);
        apptest::child<QLineEdit>(f, "Text5")->setText(QStringLiteral("512"));
        shown.clear();
        apptest::child<QLineEdit>(f, "Text4")->setText(QStringLiteral("512"));
        QVERIFY(shown.wait(20000));
        QTRY_VERIFY(!f->isRunning());
        QVERIFY(changedWhileRunning);
        QCOMPARE(shown.count(), 1);
        const QList<QByteArray> lines = apptest::readAll(globals::TempColorPath).split('\n');
        QCOMPARE(lines.size(), 512 * 512 + 1);
        for (int i : {0, 1000, 512 * 512 - 1})
            QCOMPARE(lines[i].trimmed().toLongLong() % 65793, 0);

        f->saveSettings();
        QCOMPARE(QSettings(apptest::iniPath(), QSettings::IniFormat)
                     .value(QStringLiteral("ImageTessilor/AutoPreview"))
                     .toString(),
                 QStringLiteral("1"));
    }

    void figureRunInGrey()
    {
        MainWindow *f = openWithPicture(120, 90);
        QVERIFY(f);
        apptest::chooseMode(f, 1);
        apptest::child<QComboBox>(f, "ImageCombo3")->setCurrentIndex(1);
        apptest::child<QLineEdit>(f, "Text4")->setText(QStringLiteral("20"));
        apptest::child<QLineEdit>(f, "Text5")->setText(QStringLiteral("5"));
        QVERIFY(clickStartAndWait(f));
        QCOMPARE(apptest::child<QLineEdit>(f, "Text5")->text(), QStringLiteral("16"));
        QCOMPARE(globals::ResultKind, qint16(2));
        QCOMPARE(globals::GridRows, 16);
        QCOMPARE(globals::GridColumns, 20);
        const QList<QByteArray> lines = apptest::readAll(globals::TempColorPath).split('\n');
        QCOMPARE(lines.size(), 20 * 16 + 1);
        // Grey values only: every colour is a multiple of 65793.
        for (int i = 0; i < 20 * 16; ++i)
            QCOMPARE(lines[i].trimmed().toLongLong() % 65793, 0);
        ResultWindow *tf = f->existingResultWindow();
        QCOMPARE(tf->glyph(), QChar(86));
        QCOMPARE(tf->resultFont().family(), globals::FigureFontName);
        QCOMPARE(tf->resultFont().pointSizeF(), 8.0);
        QCOMPARE(documentText(f).split(u'\n').first(), QString(20, QChar(86)));

        // A figure result is saved as rich text, a picture, a page or a web
        // page, never as plain text.
        QStringList offered;
        apptest::answerNextModal<QFileDialog>([&offered](QFileDialog *dlg) {
            offered = dlg->nameFilters();
            dlg->reject();
        });
        QTest::mouseClick(apptest::child<QToolButton>(f, "result"), Qt::LeftButton, {}, QPoint(8, 8));
        QCOMPARE(offered.size(), 4);
        QVERIFY(offered.first().startsWith(QStringLiteral("Документы RichText")));
        QVERIFY(!offered.join(u' ').contains(QStringLiteral("*.txt")));
        QVERIFY(apptest::child<QToolButton>(f, "result")->isEnabled());
    }

    void figureResultIsShownThroughTheMosaicLayout()
    {
        const auto caret = apptest::steadyCaret();
        MainWindow *f = openWithPicture(120, 90);
        QVERIFY(f);
        apptest::chooseMode(f, 1);
        apptest::child<QLineEdit>(f, "Text4")->setText(QStringLiteral("30"));
        apptest::child<QLineEdit>(f, "Text5")->setText(QStringLiteral("22"));
        QVERIFY(clickStartAndWait(f));
        const int cols = globals::GridColumns;
        QCOMPARE(cols, 30);
        QTextEdit *edit = f->existingResultWindow()->richText().hwnd();
        QTextDocument *doc = edit->document();
        auto *layout = qobject_cast<MosaicLayout *>(doc->documentLayout());
        QVERIFY(layout);

        // A click on a cell puts the caret before it; Down goes to the same
        // cell of the next row; Shift+Right selects cells.
        const QPoint scroll(edit->horizontalScrollBar()->value(), edit->verticalScrollBar()->value());
        const QPointF cell = layout->cellOrigin(2, 5) + QPointF(layout->cellAdvance() * 0.3, layout->rowPitch() / 2);
        QTest::mouseClick(edit->viewport(), Qt::LeftButton, {}, cell.toPoint() - scroll);
        QCOMPARE(edit->textCursor().position(), 2 * (cols + 1) + 5);
        QTest::keyClick(edit, Qt::Key_Down);
        QCOMPARE(edit->textCursor().position(), 3 * (cols + 1) + 5);
        for (int i = 0; i < 3; ++i)
            QTest::keyClick(edit, Qt::Key_Right, Qt::ShiftModifier);
        QCOMPARE(edit->textCursor().selectedText(), QString(3, QChar(86)));
        // A selection over whole rows as well.
        QTextCursor rows = edit->textCursor();
        rows.setPosition(5 * (cols + 1) + 12);
        rows.setPosition(9 * (cols + 1) + 3, QTextCursor::KeepAnchor);
        edit->setTextCursor(rows);
        QApplication::processEvents();
        const QImage mosaic = edit->viewport()->grab().toImage();

        // The window shows exactly what the standard layout would show.
        MosaicLayout::restoreStandard(doc);
        QVERIFY(!MosaicLayout::isInstalled(doc));
        QApplication::processEvents();
        const QImage standard = edit->viewport()->grab().toImage();
        QCOMPARE(mosaic.size(), standard.size());
        QVERIFY(mosaic == standard);
        QCOMPARE(edit->textCursor().position(), 9 * (cols + 1) + 3);

        // Another figure run is shown through the mosaic layout again; a
        // text run after it through the standard one.
        QVERIFY(clickStartAndWait(f));
        QTextDocument *again = f->existingResultWindow()->richText().hwnd()->document();
        QVERIFY(MosaicLayout::isInstalled(again));
        apptest::chooseMode(f, 0);
        QVERIFY(clickStartAndWait(f));
        QCOMPARE(globals::ResultKind, qint16(3));
        QTextDocument *text = f->existingResultWindow()->richText().hwnd()->document();
        QVERIFY(!MosaicLayout::isInstalled(text));
        QCOMPARE(text->blockCount(), globals::GridRows + 1);
        QVERIFY(text->documentLayout()->blockBoundingRect(text->lastBlock().previous()).bottom() > 0);
    }

    void resultViewZoomsWithoutChangingTheResult()
    {
        const auto caret = apptest::steadyCaret();
        MainWindow *f = openWithPicture(120, 90);
        QVERIFY(f);
        apptest::chooseMode(f, 1);
        apptest::child<QCheckBox>(f, "fillBox")->setChecked(true);
        // Larger than the window at 100 %.
        apptest::child<QLineEdit>(f, "Text4")->setText(QStringLiteral("120"));
        apptest::child<QLineEdit>(f, "Text5")->setText(QStringLiteral("90"));
        QVERIFY(clickStartAndWait(f));
        ResultWindow *tf = f->existingResultWindow();
        TextZoom *zoom = tf->zoom();
        QTextEdit *edit = tf->richText().hwnd();
        QTextDocument *doc = edit->document();
        auto *layout = qobject_cast<MosaicLayout *>(doc->documentLayout());
        QVERIFY(layout);
        // Far out while the colours are still kept beside the document.
        QVERIFY(MosaicCells::of(doc));
        zoom->setZoom(0.2);
        QApplication::processEvents();
        const QImage farKept = edit->viewport()->grab().toImage();
        zoom->resetZoom();
        edit->horizontalScrollBar()->setValue(0);
        edit->verticalScrollBar()->setValue(0);
        const QString before = m_pics.filePath(QStringLiteral("before.rtf"));
        QVERIFY(tf->richText().SaveFile(before, true));
        const QFont font = doc->defaultFont();
        QApplication::processEvents();
        const QImage plain = edit->viewport()->grab().toImage();
        QScrollBar *h = edit->horizontalScrollBar();
        QScrollBar *v = edit->verticalScrollBar();
        // The mean colour of n x n cells as shown at a zoom, scrolled to the top left.
        auto cellColour = [&](const QImage &shot, double z, int row, int column, int cells = 1) {
            const QPointF o = layout->cellOrigin(row, column);
            const QRect r =
                QRectF(o.x() * z, o.y() * z, cells * layout->cellAdvance() * z, cells * layout->rowPitch() * z)
                    .toAlignedRect()
                    .adjusted(1, 1, -1, -1);
            qint64 red = 0, green = 0, blue = 0, n = 0;
            for (int y = r.top(); y <= r.bottom(); ++y)
                for (int x = r.left(); x <= r.right(); ++x, ++n) {
                    red += qRed(shot.pixel(x, y));
                    green += qGreen(shot.pixel(x, y));
                    blue += qBlue(shot.pixel(x, y));
                }
            return n ? qRgb(int(red / n), int(green / n), int(blue / n)) : 0u;
        };
        auto near = [](QRgb a, QRgb b) {
            return qAbs(qRed(a) - qRed(b)) <= 24 && qAbs(qGreen(a) - qGreen(b)) <= 24 &&
                   qAbs(qBlue(a) - qBlue(b)) <= 24;
        };

        // The keys, wherever the focus is in the main window.
        f->activateWindow();
        QVERIFY(QTest::qWaitFor([f] { return QApplication::activeWindow() == f; }));
        apptest::child<QLineEdit>(f, "Text4")->setFocus();
        QTest::keyClick(f, Qt::Key_Plus, Qt::ControlModifier);
        QCOMPARE(zoom->zoom(), 1.1);
        QTest::keyClick(f, Qt::Key_Equal, Qt::ControlModifier);
        QCOMPARE(zoom->zoom(), 1.25);
        QCOMPARE(tf->captionBar()->title(), QStringLiteral("Символизация — 125 %"));
        QTest::keyClick(f, Qt::Key_0, Qt::ControlModifier);
        QCOMPARE(zoom->zoom(), 1.0);
        QCOMPARE(tf->captionBar()->title(), QStringLiteral("Символизация"));
        QTest::keyClick(f, Qt::Key_Minus, Qt::ControlModifier);
        QCOMPARE(zoom->zoom(), 0.9);

        // Twice the size: the scroll ranges and the picture follow.
        zoom->setZoom(2.0, QPointF(0, 0));
        h->setValue(0);
        v->setValue(0);
        const QSizeF size = layout->documentSize();
        QCOMPARE(h->maximum(), qMax(0, int(std::ceil(size.width() * 2)) - edit->viewport()->width()));
        QCOMPARE(v->maximum(), qMax(0, int(std::ceil(size.height() * 2)) - edit->viewport()->height()));
        QApplication::processEvents();
        const QImage twice = edit->viewport()->grab().toImage();
        for (const QPoint cell : {QPoint(1, 1), QPoint(3, 4), QPoint(6, 2)})
            QVERIFY2(near(cellColour(plain, 1.0, cell.x(), cell.y()), cellColour(twice, 2.0, cell.x(), cell.y())),
                     qPrintable(QStringLiteral("cell %1, %2").arg(cell.x()).arg(cell.y())));
        // A click lands on the cell drawn under the pointer.
        const int cols = globals::GridColumns;
        const QPointF cell = layout->cellOrigin(2, 5) + QPointF(layout->cellAdvance() * 0.3, layout->rowPitch() / 2);
        QTest::mouseClick(edit->viewport(), Qt::LeftButton, {}, (cell * 2).toPoint());
        QCOMPARE(edit->textCursor().position(), 2 * (cols + 1) + 5);

        // The caret moved with the keys stays in view: to the end, back up,
        // to the start, and row by row down and cell by cell along a row
        // past the view's edges.
        auto caretShown = [&] {
            const QRectF caret = QRectF(edit->cursorRect()).translated(h->value(), v->value());
            const QRectF shown(caret.topLeft() * zoom->zoom() - QPointF(h->value(), v->value()),
                               caret.size() * zoom->zoom());
            return QRectF(edit->viewport()->rect()).adjusted(-0.5, -0.5, 0.5, 0.5).contains(shown);
        };
        QVERIFY(edit->hasFocus()); // from the click
        QTest::keyClick(edit, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(edit->textCursor().position(), doc->characterCount() - 1);
        QVERIFY(v->value() > 0);
        QVERIFY(caretShown());
        for (int i = 0; i < 5; ++i) {
            QTest::keyClick(edit, Qt::Key_Up);
            QVERIFY2(caretShown(), qPrintable(QStringLiteral("up %1").arg(i + 1)));
        }
        QTest::keyClick(edit, Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(edit->textCursor().position(), 0);
        QVERIFY(caretShown());
        for (int row = 1; row < globals::GridRows; ++row) {
            QTest::keyClick(edit, Qt::Key_Down);
            QVERIFY2(caretShown(), qPrintable(QStringLiteral("row %1").arg(row)));
        }
        QVERIFY(v->value() > 0);
        for (int column = 1; column < cols; ++column) {
            QTest::keyClick(edit, Qt::Key_Right);
            QVERIFY2(caretShown(), qPrintable(QStringLiteral("column %1").arg(column)));
        }
        QVERIFY(h->value() > 0);
        h->setValue(0);
        v->setValue(0);

        // Ctrl+wheel zooms a step a notch about the pointer.
        auto wheel = [&](int delta, QPointF at) {
            QWheelEvent e(at, edit->viewport()->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                          Qt::ControlModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(edit->viewport(), &e);
        };
        const QPointF at(edit->viewport()->width() / 3.0, edit->viewport()->height() / 4.0);
        const QPointF under = (at + QPointF(h->value(), v->value())) / zoom->zoom();
        wheel(120, at);
        QCOMPARE(zoom->zoom(), 2.5);
        const QPointF stays = (at + QPointF(h->value(), v->value())) / zoom->zoom();
        QVERIFY(qAbs(stays.x() - under.x()) < 1 && qAbs(stays.y() - under.y()) < 1);
        wheel(-60, at);
        QCOMPARE(zoom->zoom(), 2.5);
        wheel(-60, at);
        wheel(-120, at);
        QCOMPARE(zoom->zoom(), 1.75);
        // A wheel without Ctrl scrolls.
        QWheelEvent scrolled(at, edit->viewport()->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                             Qt::NoModifier, Qt::NoScrollPhase, false);
        const int top = v->value();
        QApplication::sendEvent(edit->viewport(), &scrolled);
        QVERIFY(v->value() > top);
        QCOMPARE(zoom->zoom(), 1.75);

        // The whole art in view.
        zoom->fitAction()->trigger();
        QCOMPARE(h->maximum(), 0);
        QCOMPARE(v->maximum(), 0);
        QVERIFY(zoom->zoom() < 1.0);
        QVERIFY(size.width() * zoom->zoom() <= edit->viewport()->width() + 0.5);
        QVERIFY(size.height() * zoom->zoom() <= edit->viewport()->height() + 0.5);
        QApplication::processEvents();
        const QImage whole = edit->viewport()->grab().toImage();
        QVERIFY(near(cellColour(plain, 1.0, 5, 10, 8), cellColour(whole, zoom->zoom(), 5, 10, 8)));
        // So far out that a cell is a few pixels: the cells' colours still.
        zoom->setZoom(0.2);
        QApplication::processEvents();
        const QImage far = edit->viewport()->grab().toImage();
        QVERIFY(layout->cellOrigin(20, 30).x() < plain.width() && layout->cellOrigin(20, 30).y() < plain.height());
        for (const QPoint block : {QPoint(0, 0), QPoint(5, 10), QPoint(10, 20)}) {
            const QRgb shown = cellColour(plain, 1.0, block.x(), block.y(), 10);
            QVERIFY2(near(shown, cellColour(far, 0.2, block.x(), block.y(), 10)) &&
                         near(shown, cellColour(farKept, 0.2, block.x(), block.y(), 10)),
                     qPrintable(QStringLiteral("cells from %1, %2").arg(block.x()).arg(block.y())));
        }

        // The result itself never changed; back at 100 % the window looks as before.
        QVERIFY(MosaicLayout::isInstalled(doc));
        QCOMPARE(doc->defaultFont(), font);
        const QString after = m_pics.filePath(QStringLiteral("after.rtf"));
        QVERIFY(tf->richText().SaveFile(after, true));
        QCOMPARE(apptest::readAll(after), apptest::readAll(before));
        edit->setTextCursor(QTextCursor(doc));
        zoom->resetZoom();
        h->setValue(0);
        v->setValue(0);
        QApplication::processEvents();
        QVERIFY(edit->viewport()->grab().toImage() == plain);
    }

    // Links planted at the program's files are replaced, never written
    // through; the folder and its files are the user's alone.
    void plantedLinksAreReplacedNotFollowed()
    {
        MainWindow *f = openWithPicture(60, 40);
        QVERIFY(f);
        QTemporaryDir elsewhere;
        const QString victim = elsewhere.filePath(QStringLiteral("victim"));
        QFile v(victim);
        QVERIFY(v.open(QIODevice::WriteOnly) && v.write("precious") == 8);
        v.close();
        const QStringList planted = {globals::TempTextPath, globals::TempColorPath, ResultWindow::wordFilePath()};
        for (const QString &path : planted) {
            QFile::remove(path);
            QVERIFY(QFile::link(victim, path));
        }
        apptest::child<QLineEdit>(f, "Text1")->setText(QStringLiteral("32"));
        apptest::child<QLineEdit>(f, "Text2")->setText(QStringLiteral("16"));
        QVERIFY(clickStartAndWait(f)); // text.tmp
        apptest::chooseMode(f, 1);
        QVERIFY(clickStartAndWait(f)); // color.tmp
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
        {
            const apptest::DesktopApplications writer(true);
            apptest::child<QAction>(f, "toword")->trigger(); // Out.rtf
        }
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QCOMPARE(catcher.urls.size(), 1);

        QCOMPARE(apptest::readAll(victim), QByteArray("precious"));
        for (const QString &path : planted) {
            const QFileInfo info(path);
            QVERIFY2(!info.isSymLink() && info.isFile(), qPrintable(path));
            QCOMPARE(info.permissions() & ~(QFileDevice::ReadUser | QFileDevice::WriteUser),
                     QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        }
        QCOMPARE(QFileInfo(dataFolder()).permissions() &
                     ~(QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser),
                 QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }

    // Without a data folder a run says so and writes nothing anywhere else.
    void missingDataFolderIsReported()
    {
        MainWindow *f = openWithPicture(60, 40);
        QVERIFY(f);
        QFile::remove(QStringLiteral("/text.tmp"));
        globals::initPaths(QString(), programFilesFolder()); // the folder could not be created
        QString text;
        apptest::closeNextMessage(&text);
        QVERIFY(clickStartAndWait(f));
        QVERIFY2(text.contains(QStringLiteral("папку данных программы")), qPrintable(text));
        QVERIFY(!QFileInfo::exists(QStringLiteral("/text.tmp")));
        QVERIFY(!apptest::child<QToolButton>(f, "result")->isEnabled());
    }

    void wordProcessorCopyThatCannotBeWrittenIsReported()
    {
        MainWindow *f = openWithPicture(60, 40);
        QVERIFY(f);
        apptest::child<QLineEdit>(f, "Text1")->setText(QStringLiteral("32"));
        apptest::child<QLineEdit>(f, "Text2")->setText(QStringLiteral("16"));
        QVERIFY(clickStartAndWait(f));
        // A folder where the copy should go cannot be replaced by a file. A
        // copy an earlier test handed over is there first (mkpath fails on
        // a file): it goes, and the folder takes its place.
        QFile::remove(ResultWindow::wordFilePath());
        QVERIFY(QDir().mkpath(ResultWindow::wordFilePath()));
        const auto cleanup = qScopeGuard([] { QDir().rmdir(ResultWindow::wordFilePath()); });
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        apptest::closeNextMessage(&text, &icon);
        apptest::child<QAction>(f, "toword")->trigger();
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QVERIFY(text.startsWith(QStringLiteral("Не удалось записать файл")));
        QCOMPARE(icon, QMessageBox::Critical);
        QVERIFY(catcher.urls.isEmpty());
        // The result stays usable.
        QCOMPARE(documentText(f).split(u'\n').size(), 17);
        QVERIFY(apptest::child<QToolButton>(f, "result")->isEnabled());
    }

    // With no output folder stored, saving starts in the documents or home
    // folder, not in the program's working folder; closing the picture
    // leaves the result on screen and its outputs available.
    void saveStartsInTheUsersFolderAndOutlivesThePicture()
    {
        MainWindow *f = openWithPicture(60, 40);
        QVERIFY(f);
        apptest::child<QLineEdit>(f, "Text1")->setText(QStringLiteral("32"));
        apptest::child<QLineEdit>(f, "Text2")->setText(QStringLiteral("16"));
        QVERIFY(clickStartAndWait(f));
        QToolButton *result = apptest::child<QToolButton>(f, "result");
        f->existingImageWindow()->close();
        QTRY_VERIFY(!f->existingImageWindow()->isVisible());
        QVERIFY(f->existingResultWindow()->isVisible());
        QVERIFY(result->isEnabled());

        QString startedIn;
        apptest::answerNextModal<QFileDialog>([&](QFileDialog *dlg) {
            startedIn = dlg->directory().absolutePath();
            dlg->reject();
        });
        apptest::child<QAction>(f, "tofile")->trigger();
        const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        const QString expected = QFileInfo(documents).isDir() ? documents : QDir::homePath();
        QCOMPARE(startedIn, QDir(expected).absolutePath());
        QVERIFY(result->isEnabled());
    }

    void savingThroughTheDialog()
    {
        MainWindow *f = openWithPicture(100, 80);
        QVERIFY(f);
        apptest::child<QLineEdit>(f, "Text1")->setText(QStringLiteral("40"));
        apptest::child<QLineEdit>(f, "Text2")->setText(QStringLiteral("20"));
        QVERIFY(clickStartAndWait(f));
        QToolButton *result = apptest::child<QToolButton>(f, "result");
        QTemporaryDir out;
        // What the dialog proposes: the picture's name, in the type saved
        // last (RTF at first), with that type chosen.
        QStringList proposed;
        auto saveAs = [&proposed](const QString &path) {
            apptest::answerNextModal<QFileDialog>([&proposed, path](QFileDialog *dlg) {
                auto *edit = dlg->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
                proposed.append(edit->text() + QStringLiteral(" | ") + dlg->selectedNameFilter());
                dlg->setDirectory(QFileInfo(path).absolutePath());
                edit->setText(QFileInfo(path).fileName());
                QTest::keyClick(edit, Qt::Key_Return);
            });
        };
        const QString rtfType = QStringLiteral(" | Документы RichText (*.rtf)");
        const QString txtType = QStringLiteral(" | Текстовые файлы (*.txt)");

        // Plain text, extension in capitals.
        const QString txt = out.filePath(QStringLiteral("art.TXT"));
        saveAs(txt);
        QTest::mouseClick(result, Qt::LeftButton, {}, QPoint(8, 8));
        QTRY_VERIFY(QFileInfo::exists(txt));
        QCOMPARE(apptest::readAll(txt), apptest::readAll(globals::TempTextPath));
        QVERIFY(result->isEnabled());
        QCOMPARE(QSettings(apptest::iniPath(), QSettings::IniFormat)
                     .value(QStringLiteral("ImageTessilor/LastOutDir"))
                     .toString(),
                 QDir(out.path()).absolutePath());

        // Rich text.
        const QString rtf = out.filePath(QStringLiteral("art.rtf"));
        saveAs(rtf);
        QTest::mouseClick(result, Qt::LeftButton, {}, QPoint(8, 8));
        QTRY_VERIFY(QFileInfo::exists(rtf));
        const QByteArray rich = apptest::readAll(rtf);
        QVERIFY(rich.startsWith("{\\rtf"));
        QVERIFY(rich.contains("Courier New Cyr"));

        // Another extension: a clear message, nothing written.
        const QString doc = out.filePath(QStringLiteral("art.doc"));
        QString text;
        saveAs(doc);
        QTimer::singleShot(0, [&text] { apptest::closeNextMessage(&text); });
        QTest::mouseClick(result, Qt::LeftButton, {}, QPoint(8, 8));
        QTRY_VERIFY(!text.isEmpty());
        QVERIFY(text.contains(QStringLiteral("не сохранён")));
        QVERIFY(!QFileInfo::exists(doc));
        QVERIFY(result->isEnabled());

        // Choosing another type in the list gives the name its extension:
        // two steps down from RTF, past the text type, is PNG.
        QString typed;
        apptest::answerNextModal<QFileDialog>([&typed, &out](QFileDialog *dlg) {
            dlg->setDirectory(out.path());
            auto *types = dlg->findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
            QTest::keyClick(types, Qt::Key_Down);
            QTest::keyClick(types, Qt::Key_Down);
            auto *edit = dlg->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            typed = edit->text() + QStringLiteral(" | ") + dlg->selectedNameFilter();
            QTest::keyClick(edit, Qt::Key_Return);
        });
        QTest::mouseClick(result, Qt::LeftButton, {}, QPoint(8, 8));
        QCOMPARE(typed, QStringLiteral("run100x80.png | Рисунки PNG (*.png)"));
        QVERIFY(!QImage(out.filePath(QStringLiteral("run100x80.png")), "PNG").isNull());
        QCOMPARE(proposed,
                 QStringList({QStringLiteral("run100x80.rtf") + rtfType, QStringLiteral("run100x80.txt") + txtType,
                              QStringLiteral("run100x80.rtf") + rtfType}));
        QCOMPARE(QSettings(apptest::iniPath(), QSettings::IniFormat)
                     .value(QStringLiteral("ImageTessilor/LastOutType"))
                     .toString(),
                 QStringLiteral("png"));
        // A type the dialog does not list for the result is not proposed.
        QCOMPARE(resultTypeExtension(QStringLiteral("txt"), true), QStringLiteral("rtf"));
        QCOMPARE(resultTypeExtension(QStringLiteral("HTML"), true), QStringLiteral("html"));
        QCOMPARE(resultTypeExtension(QStringLiteral("doc"), false), QStringLiteral("rtf"));
        QCOMPARE(proposedResultName(QString(), QStringLiteral("pdf")), QStringLiteral("символизация.pdf"));
    }

    void clipboardAndWordProcessor()
    {
        MainWindow *f = openWithPicture(90, 60);
        QVERIFY(f);
        apptest::child<QLineEdit>(f, "Text1")->setText(QStringLiteral("30"));
        apptest::child<QLineEdit>(f, "Text2")->setText(QStringLiteral("16"));
        QVERIFY(clickStartAndWait(f));

        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        apptest::closeNextMessage(&text, &icon);
        apptest::child<QAction>(f, "tocl")->trigger();
        QCOMPARE(text, QStringLiteral("Успешно скопировано в буфер обмена."));
        QCOMPARE(icon, QMessageBox::Information);
        QToolButton *result = apptest::child<QToolButton>(f, "result");
        QCOMPARE(MainWindow::imageKey(result), QStringLiteral("cl"));
        QCOMPARE(result->toolTip(), QStringLiteral("Скопировать в буфер обмена (Ctrl+Shift+C)"));
        const QMimeData *mime = QGuiApplication::clipboard()->mimeData();
        QVERIFY(mime);
        const QString expected = QString::fromUtf8(apptest::readAll(globals::TempTextPath));
        QCOMPARE(mime->text().replace(QStringLiteral("\r\n"), QStringLiteral("\n")),
                 QString(expected).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
        QVERIFY(mime->hasFormat(QStringLiteral("text/rtf")));
        // The picture the PNG export draws goes with it.
        const QImage copied = QImage::fromData(mime->data(QStringLiteral("image/png")), "PNG");
        QVERIFY(!copied.isNull());
        QCOMPARE(copied.convertToFormat(QImage::Format_RGB32),
                 renderArtImage(*f->existingResultWindow()->richText().hwnd()->document())
                     .convertToFormat(QImage::Format_RGB32));
        QCOMPARE(f->existingResultWindow()->richText().SelLength(), 0);

        UrlCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
        auto unset = qScopeGuard([] { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); });
        {
            const apptest::DesktopApplications writer(true);
            apptest::child<QAction>(f, "toword")->trigger();
        }
        QCOMPARE(catcher.urls.size(), 1);
        QCOMPARE(catcher.urls.first().toLocalFile(), ResultWindow::wordFilePath());
        // The word processor is given the page the art's lines fit on.
        const QByteArray rtf = apptest::readAll(ResultWindow::wordFilePath());
        QVERIFY(rtf.startsWith("{\\rtf"));
        QVERIFY(rtf.contains("\\paperw11906\\paperh16838\\margl1701\\margr850\\margt1134\\margb1134"));
        QCOMPARE(MainWindow::imageKey(result), QStringLiteral("word"));

        // Without an application for RTF files the user is told so and
        // where the file is; nothing is opened and the file stays.
        QFile::remove(ResultWindow::wordFilePath());
        {
            const apptest::DesktopApplications none(false);
            apptest::closeNextMessage(&text, &icon);
            apptest::child<QAction>(f, "toword")->trigger();
        }
        QCOMPARE(catcher.urls.size(), 1);
        QVERIFY2(text.contains(QDir::toNativeSeparators(ResultWindow::wordFilePath())), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("нет приложения")), qPrintable(text));
        QCOMPARE(icon, QMessageBox::Warning);
        QVERIFY(apptest::readAll(ResultWindow::wordFilePath()).startsWith("{\\rtf"));
    }

    void printingWithoutAPrinterOffersAPdfFile()
    {
        if (!QPrinterInfo::availablePrinters().isEmpty())
            QSKIP("this machine has a printer");
        resetCurrentPrinter();
        MainWindow *f = openWithPicture(40, 40);
        QVERIFY(f);
        apptest::child<QLineEdit>(f, "Text1")->setText(QStringLiteral("16"));
        apptest::child<QLineEdit>(f, "Text2")->setText(QStringLiteral("16"));
        QVERIFY(clickStartAndWait(f));
        QString printer;
        apptest::answerNextModal<PrintWindow>([&printer](PrintWindow *form) {
            printer = form->findChild<QComboBox *>(QStringLiteral("ImageCombo1"))->currentText();
            form->reject();
        });
        apptest::child<QAction>(f, "print")->trigger();
        QCOMPARE(printer, QStringLiteral("Файл PDF"));
        QToolButton *result = apptest::child<QToolButton>(f, "result");
        QCOMPARE(MainWindow::imageKey(result), QStringLiteral("print"));
        QCOMPARE(result->toolTip(), QStringLiteral("Вывести на печать (Ctrl+P)"));
    }

    void resultWindowCaptionButtons()
    {
        MainWindow *f = openWithPicture(40, 40);
        QVERIFY(f);
        apptest::child<QLineEdit>(f, "Text1")->setText(QStringLiteral("16"));
        apptest::child<QLineEdit>(f, "Text2")->setText(QStringLiteral("16"));
        QVERIFY(clickStartAndWait(f));
        ResultWindow *tf = f->existingResultWindow();
        // The window follows the main window's size, restored or maximised.
        const QRect placed = tf->geometry();
        f->resize(f->size() + QSize(120, 60));
        QTRY_COMPARE(tf->geometry(), placed.adjusted(0, 0, 120, 60));
        QTest::mouseClick(tf->captionBar()->maximizeButton(), Qt::LeftButton);
        QTRY_VERIFY(tf->isMaximized());
        f->resize(f->size() - QSize(120, 60));
        QTRY_COMPARE(tf->size(), tf->mdiArea()->viewport()->size());
        QTest::mouseClick(tf->captionBar()->restoreButton(), Qt::LeftButton);
        QTRY_VERIFY(!tf->isMaximized());
        QTRY_COMPARE(tf->geometry(), placed);
        QTest::mouseClick(tf->captionBar()->closeButton(), Qt::LeftButton);
        QTRY_VERIFY(!tf->isVisible());
        QVERIFY(documentText(f).isEmpty());
        QVERIFY(!apptest::child<QToolButton>(f, "result")->isEnabled());
    }
};

TESSILOR_APP_TEST_MAIN(TestRun)

#include "test_run.moc"
