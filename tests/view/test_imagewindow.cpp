// Widget tests of the image window: a real MDI area, real image files, the
// real menu, scroll bars and caption strip.
#include "layout/viewlayout.h"
#include "picture/resample.h"
#include "view/imagewindow.h"
#include "widgets/captionbar.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QMdiArea>
#include <QMenu>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSizeGrip>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QToolButton>
#include <QWheelEvent>
#include <QtTest>

using namespace tessilor;

class ImageWindowTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QMdiArea *m_area = nullptr;
    ImageWindow *m_form = nullptr;

    // Writes a picture with a distinct colour in every 10 x 10 block so the
    // display copy can be compared pixel by pixel.
    QString writeImage(const QString &name, int w, int h, const char *format = "BMP")
    {
        QImage img(w, h, QImage::Format_RGB32);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                img.setPixel(x, y, qRgb((x / 10 * 37) & 255, (y / 10 * 53) & 255, (x + y) & 255));
        const QString path = m_dir.filePath(name);
        if (!img.save(path, format))
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    QSize formSize() const { return m_form->size(); }

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_area = new QMdiArea;
        m_area->resize(900, 700);
        m_area->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_area));
        m_form = new ImageWindow;
        m_area->addSubWindow(m_form);
    }

    void cleanup()
    {
        delete m_area;
        m_area = nullptr;
        m_form = nullptr;
    }

    void zoomMenuHasItsCaptionsAndOneCheckMark()
    {
        const QStringList captions = {"500 %", "200 %", "-",    "100 %", "-",
                                      "50 %",  "25 %",  "10 %", "-",     "Вписать в окно"};
        QCOMPARE(m_form->zoomMenu()->title(), QStringLiteral("mas"));
        const QList<QAction *> actions = m_form->zoomMenu()->actions();
        QCOMPARE(actions.size(), 10);
        for (int i = 0; i < 10; ++i) {
            QCOMPARE(m_form->zoomItem(i), actions.at(i));
            const bool separator = captions.at(i) == QLatin1String("-");
            QCOMPARE(actions.at(i)->isSeparator(), separator);
            // A separator is a line: a text would show on it as a label.
            QCOMPARE(actions.at(i)->text(), separator ? QString() : captions.at(i));
        }
        QCOMPARE(m_form->checkedZoomItem(), -1);

        QVERIFY(m_form->loadFile(writeImage("a.bmp", 300, 200)));
        QCOMPARE(m_form->checkedZoomItem(), kZoomFitIndex);

        // Pop the menu up from the status-bar button and click "200 %".
        QTest::mouseClick(m_form->statusBar(), Qt::LeftButton, {}, QPoint(5, 5));
        QMenu *menu = m_form->zoomMenu();
        QTRY_VERIFY(menu->isVisible());
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(actions.at(1)).center());
        QTRY_VERIFY(!menu->isVisible());
        QCOMPARE(m_form->checkedZoomItem(), 1);
        QCOMPARE(m_form->displaySize(), QSize(600, 400));

        for (int i : {0, 3, 5, 6, 7, 9, 9, 3}) {
            actions.at(i)->trigger();
            int checks = 0;
            for (QAction *a : actions)
                checks += a->isChecked() ? 1 : 0;
            QCOMPARE(checks, 1);
            QCOMPARE(m_form->checkedZoomItem(), i);
        }
        // Separators and out-of-range indices change nothing.
        m_form->chooseZoomItem(2);
        m_form->chooseZoomItem(12);
        QCOMPARE(m_form->checkedZoomItem(), 3);
    }

    void percentageZoomResamplesTheSource()
    {
        QVERIFY(m_form->loadFile(writeImage("b.bmp", 333, 101)));
        m_form->chooseZoomItem(7); // 10 %
        QCOMPARE(m_form->displaySize(), QSize(33, 10));
        QCOMPARE(m_form->displayImage(), resampleBox(m_form->sourceImage(), 33, 10));
        m_form->chooseZoomItem(1); // 200 %
        QCOMPARE(m_form->displayImage(), resampleBox(m_form->sourceImage(), 666, 202));
        QCOMPARE(m_form->displaySurface()->size(), QSize(666, 202));
    }

    void fitDoesNotEnlargeASmallImage()
    {
        QSignalSpy published(m_form, &ImageWindow::displaySizeChanged);
        QVERIFY(m_form->loadFile(writeImage("small.bmp", 100, 80)));
        QCOMPARE(m_form->pos(), QPoint(0, 0));
        QCOMPARE(formSize(), QSize(200, 200)); // 3000 x 3000 twips, unchanged
        QCOMPARE(m_form->displaySize(), QSize(100, 80));
        QCOMPARE(published.count(), 1);
        QCOMPARE(published.at(0).at(0).toInt(), 100);
        QCOMPARE(published.at(0).at(1).toInt(), 80);
        QVERIFY(!m_form->hScroll()->isEnabled());
        QVERIFY(!m_form->vScroll()->isEnabled());
        QCOMPARE(m_form->captionBar()->title(), QStringLiteral("Изображение"));
    }

    void fitOfAWideAndOfATallImage()
    {
        QVERIFY(m_form->loadFile(writeImage("wide.bmp", 800, 200)));
        const QSize vp = m_form->viewportTwips();
        QCOMPARE(vp, QSize(2745, 2430)); // 200 x 200 pixels less strip and bars
        // Width limit: 2745 twips = 183 pixels, height 183 / 4 = 45.75 -> 46.
        QCOMPARE(m_form->displaySize(), QSize(183, 46));
        QCOMPARE(m_form->displayImage(), resampleBox(m_form->sourceImage(), 183, 46));

        QVERIFY(m_form->loadFile(writeImage("tall.bmp", 300, 600)));
        // Width fit leaves 366 > 162: the height limit wins (162 / 2 = 81).
        QCOMPARE(m_form->displaySize(), QSize(81, 162));
        QCOMPARE(formSize(), QSize(200, 200));
    }

    void fitModeRefitsOnResizeAndPercentageKeepsItsFactor()
    {
        QVERIFY(m_form->loadFile(writeImage("c.bmp", 800, 400)));
        QCOMPARE(m_form->displaySize(), QSize(183, 92)); // 91.5 -> 92
        m_form->resize(400, 300);
        QCOMPARE(m_form->viewport()->size(), QSize(383, 262));
        QCOMPARE(m_form->displaySize(), QSize(383, 192)); // 191.5 -> 192

        m_form->chooseZoomItem(5); // 50 %: 400 x 200 does not fit, no shrink
        QCOMPARE(m_form->displaySize(), QSize(400, 200));
        QCOMPARE(formSize(), QSize(400, 300));
        m_form->resize(300, 250);
        QCOMPARE(m_form->displaySize(), QSize(400, 200));
        QCOMPARE(m_form->hScroll()->maximum(), 12); // (400 - 283) / 10 = 11.7
        QCOMPARE(m_form->vScroll()->maximum(), 0);  // 200 - 212 < 0
        QVERIFY(!m_form->vScroll()->isEnabled());
    }

    void fiftyPercentShrinksTheWindowAndZoomNeverGrowsIt()
    {
        QVERIFY(m_form->loadFile(writeImage("d.bmp", 200, 100)));
        m_form->chooseZoomItem(5);
        QCOMPARE(m_form->displaySize(), QSize(100, 50));
        // 1500 + 395 twips wide, 750 + 390 + 300 high.
        QCOMPARE(formSize(), QSize(twipsToPixels(1895), twipsToPixels(1440)));
        QCOMPARE(m_form->viewport()->size(), QSize(109, 58));
        QVERIFY(!m_form->hScroll()->isEnabled());

        m_form->chooseZoomItem(0); // 500 % never grows the window
        QCOMPARE(m_form->displaySize(), QSize(1000, 500));
        QCOMPARE(formSize(), QSize(twipsToPixels(1895), twipsToPixels(1440)));
        QVERIFY(m_form->hScroll()->isEnabled());
        QVERIFY(m_form->vScroll()->isEnabled());
    }

    void scrollRangesAndPanning()
    {
        QVERIFY(m_form->loadFile(writeImage("e.bmp", 400, 300)));
        QVERIFY(!m_form->hScroll()->isEnabled()); // fitted
        m_form->chooseZoomItem(3);                // 100 %
        QScrollBar *h = m_form->hScroll();
        QScrollBar *v = m_form->vScroll();
        QCOMPARE(h->minimum(), 0);
        QCOMPARE(h->maximum(), 22); // (400 - 183) / 10 = 21.7
        QCOMPARE(v->maximum(), 14); // (300 - 162) / 10 = 13.8
        QVERIFY(h->isEnabled() && v->isEnabled());
        QCOMPARE(h->singleStep(), 1);
        QCOMPARE(h->pageStep(), 1);

        // Each click on an arrow moves by one unit, ten pixels.
        QTest::mouseClick(h, Qt::LeftButton, {}, QPoint(h->width() - 3, h->height() / 2));
        QCOMPARE(h->value(), 1);
        QCOMPARE(m_form->displaySurface()->pos(), QPoint(-10, 0));
        QTest::mouseClick(v, Qt::LeftButton, {}, QPoint(v->width() / 2, v->height() - 3));
        QTest::mouseClick(v, Qt::LeftButton, {}, QPoint(v->width() / 2, v->height() - 3));
        QCOMPARE(m_form->displaySurface()->pos(), QPoint(-10, -20));

        h->setValue(22);
        v->setValue(14);
        QCOMPARE(m_form->displaySurface()->pos(), QPoint(-220, -140));
        // The picture the viewport shows at the corner is the display's.
        const QImage shown = m_form->viewport()->grab().toImage();
        QCOMPARE(shown.pixel(0, 0), m_form->displayImage().pixel(220, 140));

        // Back to fit: ranges are recomputed at once and panning resets.
        m_form->chooseZoomItem(9);
        QCOMPARE(h->maximum(), 0);
        QVERIFY(!h->isEnabled());
        QCOMPARE(m_form->displaySurface()->pos(), QPoint(0, 0));
    }

    void wheelPansThePicture()
    {
        QVERIFY(m_form->loadFile(writeImage("w.bmp", 400, 300)));
        m_form->chooseZoomItem(3);
        QWidget *vp = m_form->viewport();
        const QPointF at(50, 50);
        QWheelEvent down(at, vp->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                         Qt::NoScrollPhase, false);
        QApplication::sendEvent(vp, &down);
        QVERIFY(m_form->vScroll()->value() > 0);
        QCOMPARE(m_form->displaySurface()->y(), -10 * m_form->vScroll()->value());
        QCOMPARE(m_form->hScroll()->value(), 0);

        QWheelEvent right(at, vp->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::ShiftModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(vp, &right);
        QVERIFY(m_form->hScroll()->value() > 0);
        QCOMPARE(m_form->displaySurface()->x(), -10 * m_form->hScroll()->value());
    }

    void largeImageOffsetsDoNotOverflow()
    {
        QImage big(5120, 2880, QImage::Format_RGB32);
        big.fill(qRgb(10, 20, 30));
        for (int x = 0; x < 5120; x += 64)
            big.setPixel(x, 2879, qRgb(250, 0, 0));
        const QString path = m_dir.filePath("big.jpg");
        QVERIFY(big.save(path, "JPEG", 60));
        QVERIFY(m_form->loadFile(path));
        m_form->chooseZoomItem(0); // 500 %
        const QSize d = m_form->displaySize();
        QVERIFY(qint64(d.width()) * d.height() <= kMaxDisplayPixels);
        QVERIFY(d.width() > 10000);
        // The menu says the zoom the display really has.
        const int shown = qRound(100.0 * d.width() / 5120);
        QVERIFY(shown < 500);
        QCOMPARE(m_form->zoomItem(0)->text(), QStringLiteral("500 % (показано %1 %)").arg(shown));
        QCOMPARE(m_form->checkedZoomItem(), 0);
        QScrollBar *h = m_form->hScroll();
        QScrollBar *v = m_form->vScroll();
        QCOMPARE(h->maximum(), scrollMaximum(pixelsToTwips(d.width()), pixelsToTwips(183)));
        QVERIFY(h->maximum() > 219); // beyond a 16-bit twips offset
        h->setValue(h->maximum());
        v->setValue(v->maximum());
        QCOMPARE(m_form->displaySurface()->pos(), QPoint(-10 * h->maximum(), -10 * v->maximum()));
        QVERIFY(m_form->displaySurface()->x() < -32768 / 15);
        // A zoom applied in full gives the item its caption back.
        m_form->chooseZoomItem(3);
        QCOMPARE(m_form->zoomItem(0)->text(), QStringLiteral("500 %"));
        QCOMPARE(m_form->zoomItem(3)->text(), QStringLiteral("100 %"));
    }

    void publishedValuesOfTheDisplaySize()
    {
        QSignalSpy published(m_form, &ImageWindow::displaySizeChanged);
        QVERIFY(m_form->loadFile(writeImage("f.bmp", 800, 600)));
        QCOMPARE(published.count(), 1);
        QCOMPARE(published.last().at(0).toInt(), 183);
        QCOMPARE(published.last().at(1).toInt(), 137); // 137.25
        // A new picture of the same size publishes again.
        QVERIFY(m_form->loadFile(writeImage("g.bmp", 800, 600)));
        QCOMPARE(published.count(), 2);

        m_form->chooseZoomItem(5); // 400 x 300
        QCOMPARE(published.count(), 3);
        QCOMPARE(published.last().at(0).toInt(), 400);
        QCOMPARE(published.last().at(1).toInt(), 300);
        const PublishedSize p = publishedSize(400, 300);
        QCOMPARE(QStringList({p.textColumns, p.textRows, p.figureColumns, p.figureRows}),
                 QStringList({"800", "300", "285", "214"}));

        // Choosing the same zoom again does not resize, so nothing new.
        m_form->chooseZoomItem(5);
        QCOMPARE(published.count(), 3);
    }

    void failedLoadKeepsTheEarlierPicture()
    {
        const QString good = writeImage("h.bmp", 120, 90);
        QVERIFY(m_form->loadFile(good));
        const QImage before = m_form->displayImage();
        const QString bad = m_dir.filePath("not-an-image.jpg");
        QFile f(bad);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("this is text, not a picture");
        f.close();
        LoadError error = LoadError::None;
        QVERIFY(!m_form->loadFile(bad, &error));
        QVERIFY(error != LoadError::None);
        QVERIFY(!m_form->loadFile(m_dir.filePath("missing.bmp"), &error));
        QCOMPARE(error, LoadError::NotFound);
        QVERIFY(m_form->hasPicture());
        QCOMPARE(m_form->sourcePath(), good);
        QCOMPARE(m_form->displayImage(), before);
    }

    void closeButtonUnloadsAndReportsThePath()
    {
        QSignalSpy unloaded(m_form, &ImageWindow::unloaded);
        const QString path = writeImage("i.bmp", 50, 40);
        QVERIFY(m_form->loadFile(path));
        QCOMPARE(m_form->sourcePath(), path);
        QTest::mouseClick(m_form->captionBar()->closeButton(), Qt::LeftButton);
        QCOMPARE(unloaded.count(), 1);
        QCOMPARE(unloaded.at(0).at(0).toString(), path);
        QCOMPARE(unloaded.at(0).at(1).toBool(), true);
        QVERIFY(!m_form->hasPicture());
        QVERIFY(m_form->sourcePath().isEmpty());
        QVERIFY(!m_form->isVisible());
        QCOMPARE(m_form->checkedZoomItem(), -1);

        // Reopened, then the file is deleted before closing.
        QVERIFY(m_form->loadFile(path));
        QVERIFY(m_form->isVisible());
        QCOMPARE(m_form->checkedZoomItem(), kZoomFitIndex);
        QVERIFY(QFile::remove(path));
        m_form->close();
        QCOMPARE(unloaded.count(), 2);
        QCOMPARE(unloaded.at(1).at(0).toString(), path);
        QCOMPARE(unloaded.at(1).at(1).toBool(), false);
        QVERIFY(!m_form->hasPicture());
    }

    void sizeGripResizesTheFramelessWindow()
    {
        QVERIFY(m_form->loadFile(writeImage("k.bmp", 800, 400)));
        QWidget *grip = m_form->sizeGrip();
        QCOMPARE(grip->geometry().bottomRight(), QPoint(199, 199));
        const QPoint start(8, 8);
        QTest::mousePress(grip, Qt::LeftButton, {}, start);
        QTest::mouseMove(grip, start + QPoint(100, 60));
        QTest::mouseRelease(grip, Qt::LeftButton, {}, start + QPoint(100, 60));
        QCOMPARE(formSize(), QSize(300, 260));
        // Fit mode follows the new viewport: 283 x 222 pixels.
        QCOMPARE(m_form->displaySize(), QSize(283, 142)); // 141.5 -> 142
        QCOMPARE(grip->geometry().bottomRight(), QPoint(299, 259));
    }

    void captionShowsTheActiveLookAndDragsTheWindow()
    {
        QVERIFY(m_form->loadFile(writeImage("j.bmp", 60, 60)));
        QTRY_VERIFY(m_form->captionBar()->isActive());
        auto *other = m_area->addSubWindow(new QWidget);
        other->resize(150, 150);
        other->show();
        m_area->setActiveSubWindow(other);
        QTRY_VERIFY(!m_form->captionBar()->isActive());

        // Dragging the title moves the window by the pointer's movement.
        QWidget *title = m_form->captionBar()->titleLabel();
        const QPoint start = title->geometry().center();
        QTest::mousePress(m_form->captionBar(), Qt::LeftButton, {}, start);
        QTRY_VERIFY(m_form->captionBar()->isActive());
        QTest::mouseMove(m_form->captionBar(), start + QPoint(30, 25));
        QTest::mouseRelease(m_form->captionBar(), Qt::LeftButton, {}, start + QPoint(30, 25));
        QCOMPARE(m_form->pos(), QPoint(30, 25));
    }
};

QTEST_MAIN(ImageWindowTest)
#include "test_imagewindow.moc"
