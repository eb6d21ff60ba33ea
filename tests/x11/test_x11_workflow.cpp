// The workflow on the real X11 platform (Xvfb, -platform xcb): the main
// window at its smallest size with every control whole, the recent files
// across a restart, a file handed over by a second start, the "busy"
// message of a second start, and the result view's zoom keys and wheel.
// Grabs of the screen are kept as PNGs in the folder TESSILOR_X11_SHOTS
// names.
#include "support/apptestsupport.h"
#include "support/screengrab.h"

#include "app/form1.h"
#include "app/startup.h"
#include "app/textform.h"
#include "app/globals.h"
#include "engine/paths.h"
#include "richtext/crichedit.h"
#include "richtext/textzoom.h"
#include "view/imagewindow.h"
#include "widgets/captionbar.h"
#include "widgets/progress.h"

#include <QAbstractButton>
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
    std::unique_ptr<Form1> m_form;

    Form1 *start(bool clearSettings = true)
    {
        if (clearSettings)
            QSettings(apptest::iniPath(), QSettings::IniFormat).clear();
        m_form = std::make_unique<Form1>();
        m_form->showAsStored();
        m_form->activateWindow();
        if (!QTest::qWaitForWindowExposed(m_form.get()) || !QTest::qWaitForWindowActive(m_form.get()))
            return nullptr;
        return m_form.get();
    }
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
        Form1 *f = start();
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
                f->ImageCombo1_Click();
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
        // "Метод" is beside the contrast where there is room, below it where not.
        QWidget *method = apptest::child<QWidget>(f, "methodFrame");
        QVERIFY(method->y() > 2);
        f->resize(1050, 700);
        QTRY_COMPARE(method->y(), 2);
        QCOMPARE(apptest::child<QToolBar>(f, "Toolbar2")->height(), 38);
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
        Form1 *f = start();
        QVERIFY(f);
        for (const QString &file : files)
            QVERIFY(f->LoadImage(file));
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
                if (a->isVisible() && menu->isVisible())
                    shown.append(a->text());
            QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(menu->actions().at(1)).center());
            QTimer::singleShot(500, menu, &QMenu::close); // should the click have missed
        });
        // The arrow at the button's right edge.
        QTest::mouseClick(openButton, Qt::LeftButton, {}, QPoint(openButton->width() - 4, openButton->height() / 2));
        QCOMPARE(shown,
                 QStringList({QStringLiteral("three.webp"), QStringLiteral("two.tif"), QStringLiteral("one.png")}));
        QTRY_VERIFY(f->existingPicForm() && f->existingPicForm()->hasPicture());
        QCOMPARE(f->existingPicForm()->sourcePath(), files[1]);
        QVERIFY(inkOnScreen(f->existingPicForm()->displaySurface(), QStringLiteral("42-recent-file-opened")) > 0.2);
        QCOMPARE(apptest::child<QAction>(f, "lastFile")->text(), QStringLiteral("two.tif"));
    }

    // A second start with a file hands it to the running window, which
    // shows it.
    void secondStartOpensItsFileInTheRunningWindow()
    {
        Form1 *f = start();
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
        QTRY_VERIFY(f->existingPicForm() && f->existingPicForm()->hasPicture());
        QCOMPARE(f->existingPicForm()->sourcePath(), file);
        QVERIFY(inkOnScreen(f->existingPicForm()->displaySurface(), QStringLiteral("43-handed-over")) > 0.2);
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
    // whole art fits in view.
    void zoomKeysAndWheelOnScreen()
    {
        Form1 *f = start();
        QVERIFY(f);
        QVERIFY(f->LoadImage(picture(QStringLiteral("zoom.png"), 300, 300, "PNG")));
        f->CheckOpen();
        apptest::chooseMode(f, 1);
        apptest::child<QLineEdit>(f, "Text4")->setText(QStringLiteral("200"));
        apptest::child<QLineEdit>(f, "Text5")->setText(QStringLiteral("200"));
        QSignalSpy finished(f, &Form1::runFinished);
        QTest::keyClick(f, Qt::Key_F5);
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 60000);
        TextForm *tf = f->existingTextForm();
        QVERIFY(tf && tf->isVisible());
        QTextEdit *edit = tf->rEdit().hwnd();
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
    }
};

TESSILOR_X11_TEST_MAIN(TestX11Workflow)

#include "test_x11_workflow.moc"
