// Progress bar, etched panel and caption strip, rendered and driven for real.
#include "layout/viewlayout.h"
#include "widgets/captionbar.h"
#include "widgets/panel3d.h"
#include "widgets/progress.h"
#include "widgets/subwindow.h"

#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QSignalSpy>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtTest>

using namespace tessilor;

namespace {

// A palette whose frame colours are easy to tell apart.
QPalette framePalette()
{
    QPalette pal;
    pal.setColor(QPalette::Window, QColor(200, 200, 200));
    pal.setColor(QPalette::Dark, QColor(10, 20, 30));
    pal.setColor(QPalette::Light, QColor(240, 250, 60));
    pal.setColor(QPalette::HighlightedText, QColor(255, 0, 255));
    return pal;
}

QImage render(QWidget *w)
{
    return w->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// A top-level window of 300 x 200 with a caption strip across its top.
struct CaptionWindow {
    QWidget window;
    CaptionBar *bar;
    CaptionWindow()
    {
        window.resize(300, 200);
        bar = new CaptionBar(QStringLiteral("Окно"), &window);
        bar->setGeometry(0, 0, 300, twipsToPixels(kCaptionHeightTwips));
    }
};

void drag(QWidget *from, QPoint start, QPoint by)
{
    QTest::mousePress(from, Qt::LeftButton, {}, start);
    QTest::mouseMove(from, start + by);
    QTest::mouseRelease(from, Qt::LeftButton, {}, start + by);
}

} // namespace

class WidgetsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void progressBarWidthFollowsThePercentage()
    {
        Progress p;
        p.setPalette(framePalette());
        QCOMPARE(p.size(), QSize(99, 18)); // 1485 x 270 twips
        p.SetPercent(50);
        QCOMPARE(p.barRectTwips(), QRectF(15, 15, 727.5, 240));

        // 727.5 twips are 48.5 pixels, drawn 48 wide from x = 1.
        QImage img = render(&p);
        const QRgb background = framePalette().color(QPalette::Window).rgb();
        QVERIFY(img.pixel(1, 9) != background);
        QVERIFY(img.pixel(48, 9) != background);
        QCOMPARE(img.pixel(49, 9), background);
        QCOMPARE(img.pixel(60, 9), background);
        // The bar stays inside the frame vertically: rows 1 .. 16.
        QVERIFY(img.pixel(20, 16) != background);
        QCOMPARE(img.pixel(20, 0), framePalette().color(QPalette::Dark).rgb());

        p.SetPercent(0);
        QCOMPARE(p.barWidthTwips(), 0.0f);
        img = render(&p);
        for (int x = 1; x < 97; ++x)
            QCOMPARE(img.pixel(x, 9), background);

        p.SetPercent(100);
        QCOMPARE(p.barWidthTwips(), 1455.0f); // W - 30
        img = render(&p);
        QVERIFY(img.pixel(97, 9) != background);

        // A fraction is rounded half to even.
        p.SetPercent(24.5);
        QCOMPARE(p.percent(), 24);
        p.SetPercent(25.5);
        QCOMPARE(p.percent(), 26);
        // A negative percentage draws no bar rather than failing.
        p.SetPercent(-10);
        img = render(&p);
        QCOMPARE(img.pixel(5, 9), background);
    }

    void progressHeightFollowsAResize()
    {
        Progress p;
        p.resize(200, 30);
        p.SetPercent(50);
        QCOMPARE(p.barRectTwips(), QRectF(15, 15, 1485, 420));
    }

    void panelDrawsAnEtchedLine()
    {
        Panel3d panel;
        panel.setPalette(framePalette());
        panel.resize(293, 2); // 4395 x 30 twips
        const FrameLines f = panel.frameTwips();
        QCOMPARE(f.line1, QLine(15, 0, 4380, 0));
        QCOMPARE(f.line2, QLine(0, 15, 4395, 15));

        const QImage img = render(&panel);
        const QRgb shadow = framePalette().color(QPalette::Dark).rgb();
        const QRgb highlight = framePalette().color(QPalette::HighlightedText).rgb();
        for (int x = 1; x < 292; ++x) {
            QCOMPARE(img.pixel(x, 0), shadow);
            QCOMPARE(img.pixel(x, 1), highlight);
        }
        QCOMPARE(img.pixel(0, 1), highlight);

        // Vertical separator 30 twips wide: dark left of light.
        Panel3d vertical;
        vertical.setPalette(framePalette());
        vertical.resize(2, 40);
        const QImage v = render(&vertical);
        QCOMPARE(v.pixel(0, 20), shadow);
        QCOMPARE(v.pixel(1, 20), framePalette().color(QPalette::Light).rgb());
    }

    void captionLooksActiveOrInactive()
    {
        CaptionWindow w;
        QCOMPARE(CaptionBar::activeBitmap().size(), QSize(150, 20));
        QCOMPARE(CaptionBar::inactiveBitmap().size(), QSize(150, 20));
        QCOMPARE(w.bar->height(), 20);
        w.bar->setActive(true);
        const QImage active = render(w.bar);
        w.bar->setActive(false);
        const QImage inactive = render(w.bar);
        // Row 10 at the far right is free of icon, title and buttons only
        // left of the close button; take a point in the middle of the strip.
        QCOMPARE(active.pixel(200, 18), CaptionBar::activeBitmap().pixel(100, 18));
        QCOMPARE(inactive.pixel(200, 18), CaptionBar::inactiveBitmap().pixel(100, 18));
        QVERIFY(active.pixel(200, 18) != inactive.pixel(200, 18));
        QVERIFY(w.bar->titleLabel()->font().bold());
        QCOMPARE(w.bar->title(), QStringLiteral("Окно"));
    }

    void captionButtonsArePlacedAndReport()
    {
        CaptionWindow w;
        w.window.resize(400, 200);
        w.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w.window));
        w.bar->resize(400, 20); // 6000 twips
        QCOMPARE(w.bar->closeButton()->pos(), QPoint(twipsToPixels(6000 - 270), 1));
        w.bar->setButtonOffsets(kResultCloseFromRightTwips, kResultMaxFromRightTwips);
        QCOMPARE(w.bar->closeButton()->pos(), QPoint(twipsToPixels(5720), 1));
        QCOMPARE(w.bar->maximizeButton()->pos(), QPoint(twipsToPixels(5420), 1));
        QCOMPARE(w.bar->restoreButton()->pos(), QPoint(twipsToPixels(5420), 1));

        QVERIFY(!w.bar->maximizeButton()->isVisible());
        w.bar->setMaximizeButtonsEnabled(true);
        QVERIFY(w.bar->maximizeButton()->isVisible());
        QVERIFY(!w.bar->restoreButton()->isVisible());

        QSignalSpy closed(w.bar, &CaptionBar::closeClicked);
        QSignalSpy maximized(w.bar, &CaptionBar::maximizeClicked);
        QSignalSpy restored(w.bar, &CaptionBar::restoreClicked);
        QTest::mouseClick(w.bar->maximizeButton(), Qt::LeftButton);
        QCOMPARE(maximized.count(), 1);
        w.bar->setMaximizedLook(true);
        QVERIFY(!w.bar->maximizeButton()->isVisible());
        QVERIFY(w.bar->restoreButton()->isVisible());
        QTest::mouseClick(w.bar->restoreButton(), Qt::LeftButton);
        QCOMPARE(restored.count(), 1);
        QTest::mouseClick(w.bar->closeButton(), Qt::LeftButton);
        QCOMPARE(closed.count(), 1);
        QCOMPARE(maximized.count(), 1);
    }

    void captionDragsItsTopLevelWindow()
    {
        CaptionWindow w;
        w.window.move(100, 80);
        w.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w.window));
        const QPoint before = w.window.pos();
        drag(w.bar, QPoint(150, 10), QPoint(40, -30));
        QCOMPARE(w.window.pos(), before + QPoint(40, -30));
        QVERIFY(!w.bar->isDragging());

        // A move without a press does nothing; a right-button press neither.
        QTest::mouseMove(w.bar, QPoint(10, 10));
        QTest::mousePress(w.bar, Qt::RightButton, {}, QPoint(20, 10));
        QTest::mouseMove(w.bar, QPoint(60, 10));
        QTest::mouseRelease(w.bar, Qt::RightButton, {}, QPoint(60, 10));
        QCOMPARE(w.window.pos(), before + QPoint(40, -30));
    }

    void captionDragsItsMdiChildUnlessMaximized()
    {
        QMdiArea area;
        area.resize(600, 400);
        area.show();
        QVERIFY(QTest::qWaitForWindowExposed(&area));
        auto *content = new QWidget;
        auto *layout = new QVBoxLayout(content);
        layout->setContentsMargins(0, 0, 0, 0);
        auto *bar = new CaptionBar(QStringLiteral("Дочернее"));
        layout->addWidget(bar);
        layout->addStretch();
        QMdiSubWindow *sub = area.addSubWindow(content, Qt::FramelessWindowHint);
        sub->setGeometry(50, 40, 250, 150);
        sub->show();

        // Pressing on the title (which passes the pointer to the strip).
        const QPoint onTitle = bar->titleLabel()->geometry().center();
        drag(bar, onTitle, QPoint(25, 35));
        QCOMPARE(sub->pos(), QPoint(75, 75));
        QCOMPARE(area.activeSubWindow(), sub);

        sub->showMaximized();
        QVERIFY(sub->isMaximized());
        const QPoint maxPos = sub->pos();
        drag(bar, QPoint(100, 10), QPoint(30, 30));
        QCOMPARE(sub->pos(), maxPos);

        sub->showNormal();
        const QPoint normalPos = sub->pos();
        drag(bar, QPoint(100, 10), QPoint(-20, 10));
        QCOMPARE(sub->pos(), normalPos + QPoint(-20, 10));
    }

    void closedSubWindowComesBackWithItsClient()
    {
        QMdiArea area;
        area.resize(400, 300);
        auto *sub = new FramelessSubWindow;
        auto *client = new QWidget;
        auto *child = new CaptionBar(QStringLiteral("x"), client);
        sub->setWidget(client);
        area.addSubWindow(sub);
        area.show();
        for (int round = 0; round < 2; ++round) {
            sub->show();
            QVERIFY(client->isVisible());
            QVERIFY(child->isVisible());
            QVERIFY(sub->close());
            QVERIFY(!sub->isVisible());
        }
    }
};

QTEST_MAIN(WidgetsTest)
#include "test_widgets.moc"
