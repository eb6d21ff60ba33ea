// The workflow on the real X11 platform (Xvfb, -platform xcb): the main
// window at its smallest size with every control whole, the recent files
// across a restart, a file handed over by a second start, the "busy"
// message of a second start, and the result view's zoom keys and wheel.
// Grabs of the screen are kept as PNGs in the folder TESSILOR_X11_SHOTS
// names.
#include "support/apptestsupport.h"
#include "support/screengrab.h"

#include "app/colorpicker.h"
#include "app/globals.h"
#include "app/livepreview.h"
#include "app/mainwindow.h"
#include "app/resultwindow.h"
#include "app/startup.h"
#include "base/paths.h"
#include "richtext/richtextcontrol.h"
#include "richtext/textzoom.h"
#include "view/helpwindow.h"
#include "view/imagewindow.h"
#include "widgets/captionbar.h"
#include "widgets/progress.h"

#include <QAbstractButton>
#include <QDir>
#include <QFileInfo>
#include <QKeySequence>
#include <QMessageBox>
#include <QRegularExpression>
#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QSignalSpy>
#include <QSlider>
#include <QTextEdit>
#include <QToolBar>
#include <QTimer>
#include <QToolButton>
#include <QWheelEvent>
#include <memory>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using namespace tessilor;
using apptest::globalRect;
using apptest::grabScreen;
using apptest::keepShot;

namespace {

// Share of the points of a window's rectangle on screen that differ from
// white: ink of a picture or a result.
double inkShare(const QImage &shot, const QRect &area)
{
    const QRect r = area.intersected(shot.rect());
    qint64 ink = 0, all = 0;
    for (int y = r.top(); y <= r.bottom(); y += 2)
        for (int x = r.left(); x <= r.right(); x += 2, ++all) {
            const QRgb c = shot.pixel(x, y);
            ink += (qRed(c) < 230 || qGreen(c) < 230 || qBlue(c) < 230) ? 1 : 0;
        }
    return all ? double(ink) / all : 0.0;
}

// Waits until the window's rectangle shows ink on screen; keeps the grab.
double inkOnScreen(const QWidget *w, const QString &shotName)
{
    double ink = 0;
    QImage shot;
    for (int i = 0; i < 50 && ink < 0.2; ++i) {
        QTest::qWait(40);
        shot = grabScreen();
        ink = inkShare(shot, globalRect(w));
    }
    keepShot(shot, shotName);
    return ink;
}

} // namespace

class TestX11Workflow : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_pics;
    std::unique_ptr<MainWindow> m_form;

    MainWindow *start(bool clearSettings = true) { return apptest::startMainWindow(m_form, !clearSettings); }
    QString picture(const QString &name, int w, int h, const char *format)
    {
        return apptest::writePicture(m_pics.filePath(name), w, h, format, 100);
    }

private Q_SLOTS:
    void cleanup() { apptest::closeMainWindow(m_form); }

    // At the smallest window size, at the first start's size and wide, in
    // both modes and with the progress bar of a run: every control lies
    // whole inside the window and its bar, overlaps no other, and every list
    // is as wide as its entries need.
    void everyControlWholeFromTheSmallestSizeUp()
    {
        MainWindow *f = start();
        QVERIFY(f);
        // The controls a user sees, in the window's coordinates. The
        // resolution labels hold their two fields by design.
        auto controls = [f] {
            QList<QWidget *> list;
            for (QWidget *w : f->findChildren<QWidget *>()) {
                const bool control = qobject_cast<QComboBox *>(w) || qobject_cast<QLineEdit *>(w) ||
                                     qobject_cast<QAbstractButton *>(w) || qobject_cast<QSlider *>(w) ||
                                     qobject_cast<Progress *>(w) ||
                                     (qobject_cast<QLabel *>(w) && w->objectName() != QLatin1String("Label1") &&
                                      w->objectName() != QLatin1String("Label2"));
                if (control && w->isVisible() && !w->objectName().isEmpty())
                    list.append(w);
            }
            return list;
        };
        QStringList faults;
        auto check = [&](const QString &where) {
            QTest::qWait(100);
            const QList<QWidget *> list = controls();
            if (list.size() < 15)
                faults.append(where + QStringLiteral(" only %1 controls").arg(list.size()));
            for (QWidget *w : list) {
                const QRect r(w->mapTo(f, QPoint(0, 0)), w->size());
                const QString name = where + u' ' + w->objectName();
                if (!f->rect().contains(r))
                    faults.append(name + QStringLiteral(" is cut off by the window"));
                for (QWidget *p = w->parentWidget(); p && p != f; p = p->parentWidget()) {
                    if (!QRect(p->mapTo(f, QPoint(0, 0)), p->size()).contains(r))
                        faults.append(name + QStringLiteral(" is cut off by ") + p->objectName());
                }
                if (auto *combo = qobject_cast<QComboBox *>(w); combo && combo->width() < combo->sizeHint().width())
                    faults.append(name + QStringLiteral(" is narrower than its entries"));
                for (QWidget *other : list) {
                    if (other != w && !other->isAncestorOf(w) && !w->isAncestorOf(other) &&
                        r.intersects(QRect(other->mapTo(f, QPoint(0, 0)), other->size())))
                        faults.append(name + QStringLiteral(" overlaps ") + other->objectName());
                }
            }
        };
        QComboBox *modes = apptest::child<QComboBox>(f, "ImageCombo1");
        Progress *progress = apptest::child<Progress>(f, "Progress1");
        const QSize minimum = f->minimumSize();
        QVERIFY(minimum.width() > 600 && minimum.width() <= f->width());
        const QList<QSize> sizes = {f->size(), minimum, QSize(1050, 700)};
        for (const QSize size : sizes) {
            f->resize(size);
            QTRY_COMPARE(f->size(), size);
            for (int mode : {0, 1}) {
                modes->setCurrentIndex(mode);
                f->modeChosen();
                const QString where = QStringLiteral("%1 x %2, %3")
                                          .arg(size.width())
                                          .arg(size.height())
                                          .arg(mode ? QStringLiteral("figures") : QStringLiteral("text"));
                check(where + QStringLiteral(":"));
                keepShot(grabScreen(),
                         QStringLiteral("40-bars-%1x%2-mode%3").arg(size.width()).arg(size.height()).arg(mode));
                progress->show();
                if (progress->width() < kMinProgressWidth)
                    faults.append(where + QStringLiteral(": progress bar of %1 pixels").arg(progress->width()));
                check(where + QStringLiteral(", running:"));
                progress->hide();
            }
        }
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u'\n')));
        // The window is not made smaller than that.
        f->resize(minimum - QSize(150, 100));
        QTest::qWait(200);
        QCOMPARE(f->size(), minimum);
        // The text bar is one row at every size, the first start's too.
        for (const QSize size : sizes) {
            f->resize(size);
            QTRY_COMPARE(f->size(), size);
            QCOMPARE(apptest::child<QToolBar>(f, "Toolbar2")->height(), 38);
        }
        // The contrast slider shows its value.
        QSlider *contrast = apptest::child<QSlider>(f, "Slider1");
        contrast->setValue(127);
        QCOMPARE(apptest::child<QLabel>(f, "contrastValue")->text(), QStringLiteral("127"));
        contrast->setValue(-42);
        QCOMPARE(apptest::child<QLabel>(f, "contrastValue")->text(), QStringLiteral("-42"));
    }

    // The open button's drop-down lists the recent files, newest first, also
    // after a restart; choosing one opens it on screen.
    void recentFilesAcrossARestart()
    {
        const QStringList files = {picture(QStringLiteral("one.png"), 90, 60, "PNG"),
                                   picture(QStringLiteral("two.tif"), 60, 90, "TIFF"),
                                   picture(QStringLiteral("three.webp"), 80, 80, "WEBP")};
        MainWindow *f = start();
        QVERIFY(f);
        for (const QString &file : files)
            QVERIFY(f->loadPicture(file));
        f->close();
        m_form.reset();

        f = start(false);
        QVERIFY(f);
        QToolButton *openButton = apptest::child<QToolButton>(f, "open");
        QMenu *menu = apptest::child<QMenu>(f, "openMenu");
        // The menu runs its own loop: it is read and answered from a timer.
        QStringList shown;
        QTimer::singleShot(300, menu, [&] {
            keepShot(grabScreen(), QStringLiteral("41-recent-files"));
            for (QAction *a : menu->actions())
                if (a->isVisible() && menu->isVisible() && !a->isSeparator() && a->objectName() != "pasteCommand")
                    shown.append(a->text());
            QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(menu->actions().at(1)).center());
            QTimer::singleShot(500, menu, &QMenu::close); // should the click have missed
        });
        // The arrow at the button's right edge.
        QTest::mouseClick(openButton, Qt::LeftButton, {}, QPoint(openButton->width() - 4, openButton->height() / 2));
        QCOMPARE(shown,
                 QStringList({QStringLiteral("three.webp"), QStringLiteral("two.tif"), QStringLiteral("one.png")}));
        QTRY_VERIFY(f->existingImageWindow() && f->existingImageWindow()->hasPicture());
        QCOMPARE(f->existingImageWindow()->sourcePath(), files[1]);
        QVERIFY(inkOnScreen(f->existingImageWindow()->displaySurface(), QStringLiteral("42-recent-file-opened")) > 0.2);
        QCOMPARE(apptest::child<QAction>(f, "lastFile")->text(), QStringLiteral("two.tif"));
    }

    // A second start with a file hands it to the running window, which
    // shows it.
    void secondStartOpensItsFileInTheRunningWindow()
    {
        MainWindow *f = start();
        QVERIFY(f);
        SingleInstance guard;
        QVERIFY(guard.acquire());
        auto *opener = new OutsideOpener(*f);
        connect(&guard, &SingleInstance::openRequested, opener, &OutsideOpener::open);
        const QString file = picture(QStringLiteral("handed over.png"), 120, 80, "PNG");
        QProcess second;
        second.setWorkingDirectory(m_pics.path());
        second.start(QStringLiteral(TESSILOR_APP_PATH), {QStringLiteral("handed over.png")});
        QVERIFY(second.waitForStarted(10000));
        // The second copy waits for this one's answer, from this event loop.
        QTRY_VERIFY_WITH_TIMEOUT(second.state() == QProcess::NotRunning, 20000);
        QCOMPARE(second.exitCode(), 0);
        QTRY_VERIFY(f->existingImageWindow() && f->existingImageWindow()->hasPicture());
        QCOMPARE(f->existingImageWindow()->sourcePath(), file);
        QVERIFY(inkOnScreen(f->existingImageWindow()->displaySurface(), QStringLiteral("43-handed-over")) > 0.2);
    }

    // From the keyboard alone: Tab goes from the result window through every
    // control of the bars in reading order, tool buttons included, and back
    // to the result (Shift+Tab the other way); every tool bar command shows its key in its tooltip; the arrow
    // beside "Цвет" and F7 open the colour palette and Esc closes it, as Esc
    // closes the help window that F1 opens; handing the result to the word
    // processor without one for RTF files says so.
    void keyboardReachesEveryControlAndEscCloses()
    {
        MainWindow *f = start();
        QVERIFY(f);
        QVERIFY(f->loadPicture(picture(QStringLiteral("keys.png"), 200, 150, "PNG")));
        f->updateOpenState();
        apptest::child<QLineEdit>(f, "Text1")->setText(QStringLiteral("40"));
        QSignalSpy finished(f, &MainWindow::runFinished);
        QTest::keyClick(f->windowHandle(), Qt::Key_F5);
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 60000);
        QVERIFY(f->existingResultWindow()->richText().hwnd()->hasFocus());

        // Keys go where the user's keys go: to the window with the focus.
        auto press = [](int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
            QTest::keyClick(QGuiApplication::focusWindow(), Qt::Key(key), modifiers);
            QTest::qWait(20);
        };
        auto focused = [] {
            QWidget *w = QApplication::focusWidget();
            return w ? (w->objectName().isEmpty() ? QLatin1String(w->metaObject()->className()) : w->objectName())
                     : QString();
        };
        const QStringList readingOrder = {
            QStringLiteral("open"),       QStringLiteral("mas"),    QStringLiteral("ImageCombo1"),
            QStringLiteral("go"),         QStringLiteral("result"), QStringLiteral("autoPreview"),
            QStringLiteral("methodList"), QStringLiteral("help"),   QStringLiteral("ImageCombo2"),
            QStringLiteral("Combo1"),     QStringLiteral("Text1"),  QStringLiteral("Text2"),
            QStringLiteral("Check1"),     QStringLiteral("color"),  QStringLiteral("colorArrow"),
            QStringLiteral("Slider1")};
        QStringList reached;
        for (int i = 0; i < readingOrder.size() + 2; ++i) {
            press(Qt::Key_Tab);
            reached.append(focused());
            if (reached.last() == QLatin1String("mas"))
                keepShot(grabScreen(), QStringLiteral("46-tab-on-zoom-button"));
        }
        // After the bars the result, then the bars again.
        const QStringList round = readingOrder + QStringList{QStringLiteral("rEdit"), readingOrder.first()};
        QCOMPARE(reached, round);
        press(Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(focused(), QStringLiteral("rEdit"));
        press(Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(focused(), readingOrder.last());
        // A focused button is pressed with Space.
        while (focused() != QLatin1String("help"))
            press(Qt::Key_Backtab, Qt::ShiftModifier);
        press(Qt::Key_Space);
        auto *help = f->findChild<HelpWindow *>();
        QVERIFY(help);
        QTRY_VERIFY(help->isVisible());
        QTRY_VERIFY(help->isActiveWindow());
        keepShot(grabScreen(), QStringLiteral("47-help-from-the-keyboard"));
        press(Qt::Key_Escape);
        QTRY_VERIFY(!help->isVisible());
        // Without a window manager nothing hands the focus back.
        auto backToMainWindow = [f] {
            f->activateWindow();
            QTRY_VERIFY(f->isActiveWindow());
        };
        backToMainWindow();

        // Every command of the tool bars shows its key; the keys of before
        // stay.
        QMap<QString, QString> tips;
        for (const char *name : {"open", "mas", "go", "result", "help", "color", "colorArrow"})
            tips[QLatin1String(name)] = apptest::child<QToolButton>(f, name)->toolTip();
        apptest::chooseMode(f, 1);
        for (const char *name : {"figure", "figureArrow"})
            tips[QLatin1String(name)] = apptest::child<QToolButton>(f, name)->toolTip();
        apptest::chooseMode(f, 0);
        // The bar is laid out again from the event loop.
        QTRY_COMPARE(apptest::child<QToolBar>(f, "Toolbar2")->width(), f->width());
        static const QRegularExpression withKey(QStringLiteral("^\\S.* \\((Ctrl\\+|Shift\\+|F)\\S+\\)$"));
        for (auto it = tips.cbegin(); it != tips.cend(); ++it)
            QVERIFY2(withKey.match(it.value()).hasMatch(), qPrintable(it.key() + QStringLiteral(": ") + it.value()));
        QVERIFY(tips[QStringLiteral("open")].endsWith(QStringLiteral("(Ctrl+O)")));
        QVERIFY(tips[QStringLiteral("go")].endsWith(QStringLiteral("(F5)")));
        QVERIFY(tips[QStringLiteral("result")].endsWith(QStringLiteral("(Ctrl+S)")));
        QVERIFY(tips[QStringLiteral("help")].endsWith(QStringLiteral("(F1)")));
        QCOMPARE(apptest::child<QAction>(f, "print")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_P));

        // The arrow, clicked where the user clicks it, opens the palette;
        // Esc closes it.
        QToolButton *arrow = apptest::child<QToolButton>(f, "colorArrow");
        QTest::mouseClick(f->windowHandle(), Qt::LeftButton, {}, arrow->mapTo(f, arrow->rect().center()));
        QTRY_VERIFY(f->colorPicker());
        auto *palette = qobject_cast<ColorPicker *>(f->colorPicker());
        QVERIFY(QTest::qWaitForWindowExposed(palette));
        QTRY_VERIFY(palette->isActiveWindow());
        QTest::qWait(100);
        const QImage withPalette = grabScreen();
        keepShot(withPalette, QStringLiteral("48-palette-from-the-arrow"));
        // "По изображению" is named on the palette, inside it.
        QToolButton *pictureColors = palette->pictureColorsButton();
        QCOMPARE(pictureColors->text(), QStringLiteral("По изображению"));
        QCOMPARE(pictureColors->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
        QVERIFY(QRect(QPoint(0, 0), palette->size())
                    .contains(QRect(pictureColors->mapTo(palette, QPoint(0, 0)), pictureColors->size())));
        QVERIFY(pictureColors->width() > pictureColors->fontMetrics().horizontalAdvance(pictureColors->text()));
        press(Qt::Key_Escape);
        QTRY_VERIFY(!f->colorPicker());
        QCOMPARE(f->pictureColors(), false);
        // F7 opens it too.
        backToMainWindow();
        press(Qt::Key_F7);
        QTRY_VERIFY(f->colorPicker());
        QTRY_VERIFY(f->colorPicker()->isActiveWindow());
        press(Qt::Key_Escape);
        QTRY_VERIFY(!f->colorPicker());

        // "Передать в редактор" (Ctrl+E) with nothing for RTF files.
        backToMainWindow();
        const apptest::DesktopApplications none(false);
        QString said;
        apptest::answerNextModal<QMessageBox>([&said](QMessageBox *box) {
            QTest::qWait(200);
            keepShot(grabScreen(), QStringLiteral("49-no-word-processor"));
            said = box->text();
            box->done(QMessageBox::Ok);
        });
        press(Qt::Key_E, Qt::ControlModifier);
        QTRY_VERIFY(!said.isEmpty());
        QVERIFY2(said.contains(QDir::toNativeSeparators(ResultWindow::wordFilePath())), qPrintable(said));
        QVERIFY(said.contains(QStringLiteral("нет приложения")));
        QVERIFY(QFileInfo::exists(ResultWindow::wordFilePath()));
    }

    // A second start while the first copy holds the lock but does not
    // answer: the "busy" message comes on screen, and SIGTERM ends it.
    void busyMessageOnScreenEndsOnTermination()
    {
        const QString lock = SingleInstance().lockPath();
        QVERIFY(!lock.isEmpty());
        const int fd = ::open(QFile::encodeName(lock).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        QVERIFY(fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0);
        const QImage before = grabScreen();
        QProcess second;
        second.start(QStringLiteral(TESSILOR_APP_PATH), {});
        QVERIFY(second.waitForStarted(10000));
        QByteArray err;
        QTRY_VERIFY_WITH_TIMEOUT((err += second.readAllStandardError()).contains("не отвечает") ||
                                     second.state() == QProcess::NotRunning,
                                 20000);
        QImage shot;
        for (int i = 0; i < 100 && (shot.isNull() || shot == before); ++i) {
            QTest::qWait(50);
            shot = grabScreen();
        }
        keepShot(shot, QStringLiteral("46-busy-message"));
        QVERIFY(shot != before);
        second.terminate();
        const bool ended = second.waitForFinished(20000);
        if (!ended)
            second.kill();
        ::close(fd);
        QVERIFY(ended);
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QTRY_VERIFY_WITH_TIMEOUT(grabScreen() == before, 10000);
    }

    // F5 runs, the zoom keys and Ctrl+wheel zoom the result view, and the
    // whole art fits in view; a live preview keeps the zoom, the next run
    // opens at 100 %.
    void zoomKeysAndWheelOnScreen()
    {
        MainWindow *f = start();
        QVERIFY(f);
        QVERIFY(f->loadPicture(picture(QStringLiteral("zoom.png"), 300, 300, "PNG")));
        f->updateOpenState();
        apptest::chooseMode(f, 1);
        apptest::child<QLineEdit>(f, "Text4")->setText(QStringLiteral("200"));
        apptest::child<QLineEdit>(f, "Text5")->setText(QStringLiteral("200"));
        QSignalSpy finished(f, &MainWindow::runFinished);
        QTest::keyClick(f, Qt::Key_F5);
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 60000);
        ResultWindow *tf = f->existingResultWindow();
        QVERIFY(tf && tf->isVisible());
        QTextEdit *edit = tf->richText().hwnd();
        TextZoom *zoom = tf->zoom();
        QVERIFY(edit->verticalScrollBar()->maximum() > 0);

        f->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f));
        QTest::keyClick(f, Qt::Key_Plus, Qt::ControlModifier);
        QCOMPARE(zoom->zoom(), 1.1);
        QTest::keyClick(f, Qt::Key_0, Qt::ControlModifier);
        QCOMPARE(zoom->zoom(), 1.0);
        const QPointF at(edit->viewport()->width() / 2.0, edit->viewport()->height() / 2.0);
        for (int notch = 0; notch < 3; ++notch) {
            QWheelEvent wheel(at, edit->viewport()->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                              Qt::ControlModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(edit->viewport(), &wheel);
        }
        QCOMPARE(zoom->zoom(), 0.67);
        QVERIFY(inkOnScreen(edit->viewport(), QStringLiteral("44-zoomed-out")) > 0.2);

        // The whole art in view: nothing to scroll, the art's right and
        // bottom edges inside the page.
        zoom->fitAction()->trigger();
        QCOMPARE(edit->horizontalScrollBar()->maximum(), 0);
        QCOMPARE(edit->verticalScrollBar()->maximum(), 0);
        QCOMPARE(tf->captionBar()->title(), QStringLiteral("Символизация — %1 %").arg(qRound(zoom->zoom() * 100)));
        QVERIFY(inkOnScreen(edit->viewport(), QStringLiteral("45-whole-art")) > 0.2);
        const QImage shot = grabScreen();
        const QRect page = globalRect(edit->viewport());
        const QSizeF art = edit->document()->documentLayout()->documentSize() * zoom->zoom();
        // Ink near the art's far corner, white page beyond it.
        const QPoint corner = page.topLeft() + QPoint(int(art.width()) - 12, int(art.height()) - 12);
        QVERIFY(inkShare(shot, QRect(corner, QSize(8, 8))) > 0.2);
        if (art.width() + 20 < page.width())
            QCOMPARE(inkShare(shot, QRect(page.left() + int(art.width()) + 10, page.top() + 10, 8, page.height() - 20)),
                     0.0);

        // A live preview re-runs into the window as it is zoomed ...
        const double zoomed = zoom->zoom();
        QVERIFY(zoomed < 1);
        auto *preview = f->findChild<LivePreview *>();
        QVERIFY(preview);
        QSignalSpy shown(preview, &LivePreview::shown);
        apptest::child<QCheckBox>(f, "autoPreview")->setChecked(true);
        apptest::child<QComboBox>(f, "ImageCombo3")->setCurrentIndex(1);
        QTRY_VERIFY_WITH_TIMEOUT(shown.count() >= 1, 60000);
        QCOMPARE(zoom->zoom(), zoomed);
        apptest::child<QCheckBox>(f, "autoPreview")->setChecked(false);
        // ... and a new result opens at 100 %.
        f->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f));
        QTest::keyClick(f, Qt::Key_F5);
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, 60000);
        QCOMPARE(zoom->zoom(), 1.0);
        QCOMPARE(tf->captionBar()->title(), QStringLiteral("Символизация"));
        QVERIFY(inkOnScreen(edit->viewport(), QStringLiteral("4a-new-result-at-100")) > 0.2);
    }
};

TESSILOR_X11_TEST_MAIN(TestX11Workflow)

#include "test_x11_workflow.moc"
