// The desktop program's windows on the real X11 platform (Xvfb, -platform
// xcb): what a user sees is checked in grabs of the whole screen, not in the
// widgets' own idea of being visible. Faults of native windows (a child
// window that comes back empty after it was closed) only show here.
//
// Every grab is kept as a PNG in the folder TESSILOR_X11_SHOTS names (the
// test's build folder), to be looked at.
#include "support/apptestsupport.h"
#include "support/screengrab.h"

#include "app/aboutdialog.h"
#include "app/colorpicker.h"
#include "app/globals.h"
#include "app/mainwindow.h"
#include "app/resultwindow.h"
#include "app/startup.h"
#include "art/fontfaces.h"
#include "base/paths.h"
#include "richtext/richtextcontrol.h"
#include "view/helpwindow.h"
#include "view/imagewindow.h"
#include "view/printwindow.h"
#include "widgets/captionbar.h"
#include "widgets/progress.h"

#include <QAction>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMenu>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QSignalSpy>
#include <QTextBrowser>
#include <QTextBlock>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <memory>

using namespace tessilor;
using apptest::globalRect;
using apptest::grabScreen;
using apptest::keepShot;

namespace {

// A check made by a helper ends the test when it failed there.
#define ON_SCREEN(check)                                                                                               \
    do {                                                                                                               \
        check;                                                                                                         \
        if (QTest::currentTestFailed())                                                                                \
            return;                                                                                                    \
    } while (false)

bool near(QRgb a, QRgb b, int tolerance)
{
    return qAbs(qRed(a) - qRed(b)) <= tolerance && qAbs(qGreen(a) - qGreen(b)) <= tolerance &&
           qAbs(qBlue(a) - qBlue(b)) <= tolerance;
}

// Share of the points along the middle of a caption strip (left of its
// buttons, right of its title) whose colour on screen is the strip's
// gradient, active or inactive.
double captionShare(const QImage &shot, const CaptionBar *bar)
{
    const QRect r = globalRect(bar);
    const int from = bar->titleLabel()->geometry().right() + 4;
    const int to = bar->closeButton()->x() - 4 - (bar->maximizeButton()->isVisible() ? 20 : 0);
    const int y = r.top() + r.height() / 2;
    int hits = 0, total = 0;
    for (int x = from; x < to; x += 3) {
        const QPoint p(r.left() + x, y);
        if (!shot.rect().contains(p))
            continue;
        ++total;
        const int bx = qBound(0, x * CaptionBar::activeBitmap().width() / qMax(1, r.width()),
                              CaptionBar::activeBitmap().width() - 1);
        const QRgb onScreen = shot.pixel(p);
        if (near(onScreen, CaptionBar::activeBitmap().pixel(bx, 10), 40) ||
            near(onScreen, CaptionBar::inactiveBitmap().pixel(bx, 10), 40))
            ++hits;
    }
    return total > 0 ? double(hits) / total : 0.0;
}

// Shares of the pixels in the rectangle that are white (the page) and that
// are clearly not (ink, also the pale ink of a reduced preview).
struct InkCount {
    double white = 0;
    double ink = 0;
};
InkCount inkIn(const QImage &shot, const QRect &area)
{
    const QRect r = area.intersected(shot.rect());
    qint64 white = 0, ink = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) {
            const QRgb c = shot.pixel(x, y);
            if (near(c, qRgb(255, 255, 255), 8))
                ++white;
            else if (!near(c, qRgb(255, 255, 255), 24))
                ++ink;
        }
    const double n = qMax<qint64>(1, qint64(r.width()) * r.height());
    return {white / n, ink / n};
}

} // namespace

class TestX11Windows : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_pics;
    std::unique_ptr<MainWindow> m_form;

    MainWindow *start() { return apptest::startMainWindow(m_form, false, false); }
    bool open(MainWindow *f, int w, int h)
    {
        const QString path =
            apptest::writePicture(m_pics.filePath(QStringLiteral("x11-%1x%2.bmp").arg(w).arg(h)), w, h, "BMP");
        if (path.isEmpty() || !f->loadPicture(path))
            return false;
        f->updateOpenState();
        return true;
    }
    bool clickStartAndWait(MainWindow *f) { return apptest::clickStartAndWait(f, 120000); }
    void setFigureMode(MainWindow *f, bool figures) { apptest::chooseMode(f, figures ? 1 : 0); }
    // Waits until the result window is painted on screen with its caption
    // strip and ink on its page, and checks that.
    void checkResultOnScreen(const QString &shotName)
    {
        ResultWindow *tf = m_form->existingResultWindow();
        QVERIFY(tf && tf->isVisible());
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
        QWidget *page = tf->richText().hwnd()->viewport();
        QImage shot;
        // The X server shows the paint a moment later.
        for (int i = 0; i < 50; ++i) {
            QTest::qWait(40);
            shot = grabScreen();
            if (captionShare(shot, tf->captionBar()) > 0.8 && inkIn(shot, globalRect(page)).ink > 0.01)
                break;
        }
        keepShot(shot, shotName);
        const double caption = captionShare(shot, tf->captionBar());
        const InkCount ink = inkIn(shot, globalRect(page));
        QVERIFY2(caption > 0.8,
                 qPrintable(QStringLiteral("%1: caption strip on %2 of its points").arg(shotName).arg(caption)));
        QVERIFY2(ink.white > 0.3 && ink.ink > 0.01,
                 qPrintable(QStringLiteral("%1: page %2 white, %3 ink").arg(shotName).arg(ink.white).arg(ink.ink)));
    }
    // The image window shows its caption strip and the picture.
    void checkPictureOnScreen(const QString &shotName)
    {
        ImageWindow *pf = m_form->existingImageWindow();
        QVERIFY(pf && pf->isVisible());
        const QWidget *surface = pf->displaySurface();
        const QImage &shown = pf->displayImage();
        QVERIFY(!shown.isNull());
        auto matches = [&](const QImage &shot) {
            const QPoint origin = surface->mapToGlobal(QPoint(0, 0));
            int hits = 0, total = 0;
            for (int y = 2; y < shown.height() - 2; y += 7)
                for (int x = 2; x < shown.width() - 2; x += 7) {
                    const QPoint p = origin + QPoint(x, y);
                    if (!shot.rect().contains(p))
                        continue;
                    ++total;
                    hits += near(shot.pixel(p), shown.pixel(x, y), 24) ? 1 : 0;
                }
            return total > 0 ? double(hits) / total : 0.0;
        };
        QImage shot;
        for (int i = 0; i < 50; ++i) {
            QTest::qWait(40);
            shot = grabScreen();
            if (captionShare(shot, pf->captionBar()) > 0.8 && matches(shot) > 0.9)
                break;
        }
        keepShot(shot, shotName);
        QVERIFY2(captionShare(shot, pf->captionBar()) > 0.8,
                 qPrintable(shotName + QStringLiteral(": no caption strip")));
        QVERIFY2(matches(shot) > 0.9,
                 qPrintable(QStringLiteral("%1: picture on %2 of its points").arg(shotName).arg(matches(shot))));
    }

private Q_SLOTS:
    void cleanup()
    {
        apptest::closeMainWindow(m_form);
        globals::initPaths(dataFolder(), programFilesFolder());
    }

    // Every result and every reopened picture is on screen, however often
    // its window was closed before.
    void windowsComeBackAfterClosing()
    {
        MainWindow *f = start();
        QVERIFY(f);
        QVERIFY(open(f, 320, 240));
        ON_SCREEN(checkPictureOnScreen(QStringLiteral("01-picture")));
        apptest::child<QLineEdit>(f, "Text1")->setText(QStringLiteral("60"));
        apptest::child<QLineEdit>(f, "Text2")->setText(QStringLiteral("25"));
        QVERIFY(clickStartAndWait(f));
        ON_SCREEN(checkResultOnScreen(QStringLiteral("02-first-run")));

        // "Пуск" again: the run closes the result window and shows it anew.
        QVERIFY(clickStartAndWait(f));
        ON_SCREEN(checkResultOnScreen(QStringLiteral("03-second-run")));

        // Closed with its own close button before the next run.
        QTest::mouseClick(f->existingResultWindow()->captionBar()->closeButton(), Qt::LeftButton);
        QTRY_VERIFY(!f->existingResultWindow()->isVisible());
        QVERIFY(clickStartAndWait(f));
        ON_SCREEN(checkResultOnScreen(QStringLiteral("04-run-after-close")));

        // Figures.
        setFigureMode(f, true);
        apptest::child<QLineEdit>(f, "Text4")->setText(QStringLiteral("40"));
        apptest::child<QLineEdit>(f, "Text5")->setText(QStringLiteral("30"));
        QVERIFY(clickStartAndWait(f));
        ON_SCREEN(checkResultOnScreen(QStringLiteral("05-figures")));
        QVERIFY(clickStartAndWait(f));
        ON_SCREEN(checkResultOnScreen(QStringLiteral("06-figures-again")));

        // The image window closed with its close button and opened again.
        QTest::mouseClick(f->existingImageWindow()->captionBar()->closeButton(), Qt::LeftButton);
        QTRY_VERIFY(!f->existingImageWindow()->isVisible());
        QVERIFY(open(f, 200, 300));
        ON_SCREEN(checkPictureOnScreen(QStringLiteral("07-picture-reopened")));
    }

    // "Справка" opens the help pages in the program's help window, where
    // their links lead from page to page; About's help link leads there too,
    // and a data folder that nothing can open is reported.
    void helpWindowShowsThePages()
    {
        MainWindow *f = start();
        QVERIFY(f);
        QTest::mouseClick(apptest::child<QToolButton>(f, "help"), Qt::LeftButton, {}, QPoint(8, 8));
        auto *help = f->findChild<HelpWindow *>();
        QVERIFY(help);
        QVERIFY(QTest::qWaitForWindowExposed(help));
        QTextBrowser *browser = help->browser();
        QCOMPARE(browser->documentTitle(), QStringLiteral("Quar Image Tessilor — справка"));
        QCOMPARE(help->windowTitle(), QStringLiteral("Quar Image Tessilor — справка"));
        auto pageOnScreen = [&](const QString &name) {
            InkCount ink;
            QImage shot;
            for (int i = 0; i < 50 && !(ink.white > 0.5 && ink.ink > 0.01); ++i) {
                QTest::qWait(40);
                shot = grabScreen();
                ink = inkIn(shot, globalRect(browser->viewport()));
            }
            keepShot(shot, name);
            return ink;
        };
        InkCount ink = pageOnScreen(QStringLiteral("30-help-contents"));
        QVERIFY2(ink.white > 0.5 && ink.ink > 0.01,
                 qPrintable(QStringLiteral("%1 white, %2 ink").arg(ink.white).arg(ink.ink)));

        // A click on the contents' link to the conversion page.
        const QTextCursor link = browser->document()->find(QStringLiteral("Символизация"));
        QVERIFY(!link.isNull());
        QVERIFY(link.charFormat().isAnchor());
        QTest::mouseClick(browser->viewport(), Qt::LeftButton, {}, browser->cursorRect(link).center() - QPoint(8, 0));
        QTRY_COMPARE(browser->documentTitle(), QStringLiteral("Символизация"));
        QCOMPARE(help->windowTitle(), QStringLiteral("Символизация — Quar Image Tessilor"));
        ink = pageOnScreen(QStringLiteral("31-help-page"));
        QVERIFY2(ink.white > 0.5 && ink.ink > 0.01,
                 qPrintable(QStringLiteral("%1 white, %2 ink").arg(ink.white).arg(ink.ink)));
        QVERIFY(help->backAction()->isEnabled());
        help->backAction()->trigger();
        QCOMPARE(browser->documentTitle(), QStringLiteral("Quar Image Tessilor — справка"));

        // About: the data folder with nothing on the system to open it,
        // then the help link, which closes About and shows the help again.
        help->close();
        QVERIFY(!help->isVisible());
        const QByteArray path = qgetenv("PATH");
        QTemporaryDir emptyBin;
        qputenv("PATH", QFile::encodeName(emptyBin.path()));
        QString folderMessage, folderTitle;
        bool aboutOpen = false;
        apptest::answerNextModal<AboutDialog>([&](AboutDialog *about) {
            const QString links = about->linksLabel()->text();
            const int at = links.indexOf(QStringLiteral("href=\"file:"));
            QVERIFY(at > 0);
            const QString dataLink = links.mid(at + 6, links.indexOf(u'"', at + 6) - at - 6);
            apptest::answerNextModal<QMessageBox>([&](QMessageBox *box) {
                folderMessage = box->text();
                folderTitle = box->windowTitle();
                box->done(QMessageBox::Ok);
            });
            Q_EMIT about->linksLabel()->linkActivated(dataLink);
            Q_EMIT about->linksLabel()->linkActivated(QStringLiteral("help:"));
            aboutOpen = about->isVisible();
        });
        f->showAbout();
        qputenv("PATH", path);
        QVERIFY2(folderMessage.contains(QDir::toNativeSeparators(dataFolder())), qPrintable(folderMessage));
        QCOMPARE(folderTitle, QStringLiteral("Quar Image Tessilor"));
        QVERIFY(!aboutOpen);
        QTRY_VERIFY(help->isVisible());
        QCOMPARE(browser->documentTitle(), QStringLiteral("Quar Image Tessilor — справка"));
    }

    // The largest mosaic on the print window's preview, with no printer
    // installed: the window opens with the PDF file printer and its preview
    // shows the mosaic on screen.
    void printPreviewOfTheLargestMosaic()
    {
        resetCurrentPrinter();
        MainWindow *f = start();
        QVERIFY(f);
        QVERIFY(open(f, 300, 300));
        setFigureMode(f, true);
        apptest::child<QLineEdit>(f, "Text4")->setText(QStringLiteral("1024"));
        apptest::child<QLineEdit>(f, "Text5")->setText(QStringLiteral("1024"));
        QVERIFY(clickStartAndWait(f));
        QCOMPARE(globals::GridRows, 1024);

        QString printer, stopCaption;
        double caption = 0;
        InkCount ink;
        bool progressShown = false, stayedOpen = false;
        const QString pdf = m_pics.filePath(QStringLiteral("mosaic.pdf"));
        apptest::answerNextModal<PrintWindow>(
            [&](PrintWindow *form) {
                printer = form->findChild<QComboBox *>(QStringLiteral("ImageCombo1"))->currentText();
                auto *preview = form->findChild<QLabel *>(QStringLiteral("Picture2"));
                // The upper part of the page, where the square mosaic lies.
                const QRect page = globalRect(preview);
                const QRect upper(page.left() + 2, page.top() + 2, page.width() - 12, page.width() / 2);
                QImage shot;
                for (int i = 0; i < 50; ++i) {
                    QTest::qWait(40);
                    shot = grabScreen();
                    caption = captionShare(shot, form->findChild<CaptionBar *>(QStringLiteral("Header")));
                    ink = inkIn(shot, upper);
                    if (caption > 0.8 && ink.ink > 0.5)
                        break;
                }
                keepShot(shot, QStringLiteral("20-print-preview-1024"));

                // Printing to a PDF file shows its progress on screen and stops
                // at the stop button; the window stays for another try.
                auto *print = form->findChild<QToolButton *>(QStringLiteral("Toolbar2_Button1"));
                auto *progress = form->findChild<QWidget *>(QStringLiteral("PrintProgress"));
                QTimer poll;
                poll.setInterval(10);
                connect(&poll, &QTimer::timeout, form, [&] {
                    if (!form->isPrinting() || static_cast<Progress *>(progress)->percent() < 2)
                        return;
                    poll.stop();
                    QTest::qWait(100);
                    const QImage during = grabScreen();
                    keepShot(during, QStringLiteral("21-printing"));
                    stopCaption = print->text().trimmed();
                    // The bar's part drawn so far differs from the window around it.
                    const QRect bar = globalRect(progress);
                    const QRgb around = during.pixel(bar.left() - 3, bar.center().y());
                    int drawn = 0;
                    for (int x = bar.left(); x <= bar.right(); ++x)
                        drawn += !near(during.pixel(x, bar.center().y()), around, 16);
                    progressShown = drawn > 2;
                    QTest::mouseClick(print, Qt::LeftButton);
                });
                poll.start();
                apptest::chooseInNextFileDialog(pdf);
                QTest::mouseClick(print, Qt::LeftButton);
                stayedOpen =
                    form->isVisible() && !form->isPrinting() && print->text().trimmed() == QStringLiteral("Печать");
                form->reject();
            },
            60000);
        apptest::child<QAction>(f, "print")->trigger();
        QCOMPARE(printer, QStringLiteral("Файл PDF"));
        QVERIFY2(caption > 0.8, qPrintable(QString::number(caption)));
        QVERIFY2(ink.ink > 0.5, qPrintable(QStringLiteral("preview %1 white, %2 ink").arg(ink.white).arg(ink.ink)));
        QCOMPARE(stopCaption, QStringLiteral("Стоп"));
        QVERIFY(progressShown);
        QVERIFY(stayedOpen);
        QVERIFY(!QFileInfo::exists(pdf));
    }

    // The colour "По изображению" chosen in the real picker, a text run in
    // the picture's colours saved as a PNG: the picture is what the screen
    // shows of the result, also after the result window was closed and a
    // new run reopened it.
    void pictureColoursSavedAsTheScreenShowsThem()
    {
        MainWindow *f = start();
        QVERIFY(f);
        QVERIFY(open(f, 320, 240));
        apptest::child<QLineEdit>(f, "Text1")->setText(QStringLiteral("80"));
        apptest::child<QLineEdit>(f, "Text2")->setText(QStringLiteral("30"));
        QTest::mouseClick(apptest::child<QToolButton>(f, "color"), Qt::LeftButton, {}, QPoint(5, 5));
        auto *menu = qobject_cast<ColorPicker *>(f->colorPicker());
        QVERIFY(menu);
        QVERIFY(QTest::qWaitForWindowExposed(menu));
        QTest::qWait(100);
        keepShot(grabScreen(), QStringLiteral("30-colour-picker"));
        const QRect button = globalRect(menu->pictureColorsButton());
        QVERIFY(QRect(menu->mapToGlobal(QPoint(0, 0)), menu->size()).contains(button));
        QTest::mouseClick(menu->pictureColorsButton(), Qt::LeftButton);
        QTRY_VERIFY(!f->colorPicker());
        QVERIFY(f->pictureColors());

        for (int run = 1; run <= 2; ++run) {
            QVERIFY(clickStartAndWait(f));
            ON_SCREEN(checkResultOnScreen(QStringLiteral("3%1-picture-colours-run%2").arg(run).arg(run)));
            QTextEdit *edit = f->existingResultWindow()->richText().hwnd();
            edit->setCursorWidth(0);
            const QString png = m_pics.filePath(QStringLiteral("x11-art%1.png").arg(run));
            apptest::chooseInNextFileDialog(png);
            apptest::child<QAction>(f, "tofile")->trigger();
            QVERIFY(QFileInfo::exists(png));
            const QImage saved = QImage(png).convertToFormat(QImage::Format_RGB32);
            keepShot(saved, QStringLiteral("3%1-picture-colours-saved").arg(run));
            QWidget *page = edit->viewport();
            QImage shot;
            int differing = -1;
            const int w = std::min(page->width(), saved.width());
            const int h = std::min(page->height(), saved.height());
            for (int i = 0; i < 25 && differing != 0; ++i) {
                QTest::qWait(40);
                shot = grabScreen().copy(globalRect(page));
                differing = 0;
                for (int y = 0; y < h; ++y)
                    for (int x = 0; x < w; ++x)
                        differing += shot.pixel(x, y) != saved.pixel(x, y);
            }
            keepShot(shot, QStringLiteral("3%1-picture-colours-screen").arg(run));
            QVERIFY(w > 200 && h > 200);
            QVERIFY2(differing == 0, qPrintable(QStringLiteral("run %1: %2 pixels differ").arg(run).arg(differing)));
            // Closed, then opened again by the next run.
            f->existingResultWindow()->close();
            QTRY_VERIFY(!f->existingResultWindow()->isVisible());
        }
    }

    // A result larger than its window opens at its top-left corner: caret
    // at the start, both scroll bars at their start, and the screen shows
    // the document's first rows and columns.
    void resultsOpenAtTheTopLeft_data()
    {
        QTest::addColumn<bool>("figures");
        QTest::newRow("text") << false;
        QTest::newRow("figures") << true;
    }
    void resultsOpenAtTheTopLeft()
    {
        QFETCH(bool, figures);
        MainWindow *f = start();
        QVERIFY(f);
        QVERIFY(open(f, 400, 400));
        setFigureMode(f, figures);
        apptest::child<QLineEdit>(f, figures ? "Text4" : "Text1")->setText(QStringLiteral("300"));
        (figures ? apptest::child<QLineEdit>(f, "Text5") : apptest::child<QLineEdit>(f, "Text2"))
            ->setText(QStringLiteral("300"));
        // The first result, and a second one in the same window.
        for (int run = 1; run <= 2; ++run) {
            QVERIFY(clickStartAndWait(f));
            ResultWindow *tf = f->existingResultWindow();
            QVERIFY(tf && tf->isVisible());
            QTextEdit *edit = tf->richText().hwnd();
            QTest::qWait(200);
            QCOMPARE(edit->textCursor().position(), 0);
            QVERIFY(edit->verticalScrollBar()->maximum() > 0);
            QVERIFY(edit->horizontalScrollBar()->maximum() > 0);
            QCOMPARE(edit->verticalScrollBar()->value(), 0);
            QCOMPARE(edit->horizontalScrollBar()->value(), 0);

            // What the screen shows is the document drawn from its origin.
            QWidget *page = edit->viewport();
            QImage expected(page->size(), QImage::Format_RGB32);
            expected.fill(edit->palette().color(QPalette::Base));
            {
                QPainter p(&expected);
                edit->document()->drawContents(&p, QRectF(QPointF(0, 0), page->size()));
            }
            const QString name = QStringLiteral("%1-%2-top-left-run%3")
                                     .arg(figures ? 11 : 10)
                                     .arg(figures ? QStringLiteral("figures") : QStringLiteral("text"))
                                     .arg(run);
            double same = 0;
            QImage screen;
            for (int i = 0; i < 25 && same < 0.97; ++i) {
                QTest::qWait(40);
                screen = grabScreen();
                const QImage shot = screen.copy(globalRect(page));
                int hits = 0, total = 0;
                for (int y = 0; y < expected.height(); y += 2)
                    for (int x = 0; x < expected.width(); x += 2, ++total)
                        hits += near(shot.pixel(x, y), expected.pixel(x, y), 40) ? 1 : 0;
                same = double(hits) / qMax(1, total);
            }
            keepShot(screen, name);
            QVERIFY2(
                same >= 0.97,
                qPrintable(QStringLiteral("run %1: screen and document agree on %2 of the page").arg(run).arg(same)));
        }
    }
};

TESSILOR_X11_TEST_MAIN(TestX11Windows)

#include "test_x11_windows.moc"
