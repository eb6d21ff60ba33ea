#include "app/colorpicker.h"
#include "app/figurepicker.h"

#include "base/options.h"
#include "base/paths.h"
#include "fonts/fontmodule.h"
#include "layout/pickerlayout.h"
#include "layout/swatches.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileInfo>
#include <QFontInfo>
#include <QLabel>
#include <QPointer>
#include <QSignalSpy>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

using namespace tessilor;

namespace {

QString fontFile(int which)
{
    return programFilesFolder() + QStringLiteral("/GLYFA__%1.TTF").arg(which);
}

QColor labelBackground(const QLabel *l)
{
    return l->palette().color(QPalette::Window);
}

const QColor kHover(149, 210, 255);

// Lets a window that closed itself with WA_DeleteOnClose go away.
void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

// Answers the next modal colour dialog: records the colour it opened on and
// whether the picker was hidden meanwhile, then picks color (or cancels when
// color is invalid).
struct DialogAnswer {
    QColor openedOn;
    bool pickerHidden = false;
    bool seen = false;
};

void answerColorDialog(DialogAnswer *answer, QColor color, QPointer<QWidget> picker)
{
    QTimer::singleShot(0, [=] {
        auto *dlg = qobject_cast<QColorDialog *>(QApplication::activeModalWidget());
        if (!dlg) { // not open yet: try again on the next turn
            answerColorDialog(answer, color, picker);
            return;
        }
        answer->seen = true;
        answer->openedOn = dlg->currentColor();
        answer->pickerHidden = !picker || !picker->isVisible();
        if (color.isValid()) {
            dlg->setCurrentColor(color);
            dlg->accept();
        } else {
            dlg->reject();
        }
    });
}

} // namespace

class PickerTests : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void figurePickerLayout();
    void figureGlyphsUseTheFigureFonts();
    void hoverHighlightsOnlyTheLabelUnderTheMouse();
    void clickPicksTheFigureAndCloses();
    void clickPicksFromTheSecondFont();
    void colorMenuLayout();
    void paletteSwatchPick();
    void otherColourAddsSwatches();
    void cancelledOtherColourChangesNothing();
    void customSwatchesGetButtonsAndRoom();
    void escapeClosesWithoutAPick();

private:
    QWidget m_owner;
};

void PickerTests::initTestCase()
{
    QVERIFY2(QFileInfo::exists(fontFile(1)) && QFileInfo::exists(fontFile(2)),
             "figure fonts missing beside the test program (build the figure_fonts target)");
    m_owner.resize(800, 600);
    m_owner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&m_owner));

    // The picker names the fonts by family: it can be built before the
    // fonts are installed and still reports the right family on a click.
    {
        FigurePicker picker(&m_owner);
        picker.setAttribute(Qt::WA_DeleteOnClose, false);
        QCOMPARE(picker.labelCount(), 189);
        QCOMPARE(picker.label(1)->font().family(), figureFamily(1));
        QCOMPARE(picker.familyOf(94), figureFamily(1));
        QCOMPARE(picker.familyOf(95), figureFamily(2));
    }
    QCOMPARE(InstallFont(fontFile(1)), figureFamily(1));
    QCOMPARE(InstallFont(fontFile(2)), figureFamily(2));
}

void PickerTests::figurePickerLayout()
{
    QPointer<FigurePicker> picker = new FigurePicker(&m_owner);
    QVERIFY(picker->windowFlags() & Qt::Tool);
    QVERIFY(picker->windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(picker->parentWidget(), &m_owner);
    QVERIFY(!picker->isModal());
    picker->show();
    QVERIFY(QTest::qWaitForWindowExposed(picker));

    // Design inner width 8535 twips = 569 pixels; labels 510 = 34 pixels,
    // placed from 60 = 4 pixels with a pitch of 525 = 35 pixels.
    QCOMPARE(picker->width(), 569);
    QCOMPARE(picker->labelCount(), 189);
    QLabel *tmpl = picker->label(0);
    QVERIFY(!tmpl->isVisible());
    QCOMPARE(tmpl->geometry(), QRect(4, 4, 34, 34));
    QCOMPARE(picker->label(1)->geometry(), QRect(4, 4, 34, 34));
    QCOMPARE(picker->label(2)->pos(), QPoint(39, 4));
    QCOMPARE(picker->label(16)->pos(), QPoint(4 + 15 * 35, 4));            // last of the first row
    QCOMPARE(picker->label(17)->pos(), QPoint(4, 39));                     // wraps 525 twips lower
    QCOMPARE(picker->label(188)->pos(), QPoint(4 + 11 * 35, 4 + 11 * 35)); // 12th of row 12
    for (int i = 1; i <= 188; ++i) {
        QLabel *l = picker->label(i);
        QVERIFY2(l->isVisible(), qPrintable(QString::number(i)));
        QCOMPARE(l->size(), QSize(34, 34));
        QVERIFY(picker->rect().contains(l->geometry()));
        const TwipPos expected = figureLabelPos(i);
        QCOMPARE(l->pos(), QPoint(expected.left / 15, expected.top / 15));
        QCOMPARE(l->text(), QString(QChar(33 + (i - 1) % 94)));
        QCOMPARE(picker->codeOf(i), 33 + (i - 1) % 94);
        QCOMPARE(l->font().pointSize(), 22);
    }
    // No label overlaps the next one.
    for (int i = 1; i < 188; ++i)
        QVERIFY(!picker->label(i)->geometry().intersects(picker->label(i + 1)->geometry()));
    // The last row ends with the same margin as the first starts.
    QCOMPARE(picker->height(), picker->label(188)->geometry().bottom() + 1 + 4);
    picker->close();
    flushDeletes();
    QVERIFY(picker.isNull());
}

void PickerTests::figureGlyphsUseTheFigureFonts()
{
    FigurePicker picker(&m_owner);
    picker.setAttribute(Qt::WA_DeleteOnClose, false);
    picker.show();
    QVERIFY(QTest::qWaitForWindowExposed(&picker));
    QCOMPARE(QFontInfo(picker.label(1)->font()).family(), figureFamily(1));
    QCOMPARE(QFontInfo(picker.label(188)->font()).family(), figureFamily(2));

    // Every label shows ink of its glyph on the window background.
    const QImage shot = picker.grab().toImage();
    if (qEnvironmentVariableIsSet("TESSILOR_PICKER_PICTURE"))
        shot.save(qEnvironmentVariable("TESSILOR_PICKER_PICTURE"));
    // The window has a line around it, drawn in the frame colour.
    const QColor line = picker.palette().color(QPalette::WindowText);
    QCOMPARE(shot.pixelColor(0, 0), line);
    QCOMPARE(shot.pixelColor(shot.width() - 1, shot.height() / 2), line);
    const QColor background = labelBackground(picker.label(1));
    const qreal dpr = shot.devicePixelRatio();
    for (int i = 1; i <= 188; ++i) {
        const QRect r = picker.label(i)->geometry();
        int ink = 0;
        for (int y = r.top(); y <= r.bottom(); ++y) {
            for (int x = r.left(); x <= r.right(); ++x) {
                const QColor c = shot.pixelColor(int(x * dpr), int(y * dpr));
                ink += qAbs(c.lightness() - background.lightness()) > 100 ? 1 : 0;
            }
        }
        QVERIFY2(ink >= 12, qPrintable(QStringLiteral("label %1 shows %2 ink pixels").arg(i).arg(ink)));
    }
}

void PickerTests::hoverHighlightsOnlyTheLabelUnderTheMouse()
{
    FigurePicker picker(&m_owner);
    picker.setAttribute(Qt::WA_DeleteOnClose, false);
    // Beside the owner, so that the pointer is over the picker alone.
    picker.move(m_owner.frameGeometry().right() + 50, m_owner.y());
    picker.show();
    QVERIFY(QTest::qWaitForWindowExposed(&picker));
    const QColor normal = labelBackground(picker.label(0));
    QVERIFY(normal != kHover);

    auto onlyHighlighted = [&](int index) {
        for (int c = 0; c < picker.labelCount(); ++c) {
            const QColor want = c == index ? kHover : normal;
            if (labelBackground(picker.label(c)) != want) {
                qWarning("label %d has the wrong background", c);
                return false;
            }
        }
        return true;
    };

    QTest::mouseMove(picker.label(5), QPoint(10, 10));
    QTRY_VERIFY(onlyHighlighted(5));
    QTest::mouseMove(picker.label(140), QPoint(12, 20));
    QTRY_VERIFY(onlyHighlighted(140)); // label 5 and the template reset
    QTest::mouseMove(picker.label(140), QPoint(20, 12));
    QVERIFY(onlyHighlighted(140));
    // The highlighted label really shows the hover colour.
    const QImage shot = picker.grab().toImage();
    const QPoint corner = picker.label(140)->geometry().topLeft() + QPoint(1, 1);
    QCOMPARE(shot.pixelColor(corner * shot.devicePixelRatio()), kHover);
}

void PickerTests::clickPicksTheFigureAndCloses()
{
    QPointer<FigurePicker> picker = new FigurePicker(&m_owner);
    picker->show();
    QVERIFY(QTest::qWaitForWindowExposed(picker));
    QSignalSpy spy(picker.data(), &FigurePicker::figurePicked);

    // Code 86 of the first font is label 86 - 32.
    QLabel *l = picker->label(86 - 32);
    QCOMPARE(l->text(), QStringLiteral("V"));
    QTest::mouseClick(l, Qt::LeftButton, {}, QPoint(17, 17));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toString(), QStringLiteral("Quar Tessilor Figures 1"));
    QCOMPARE(spy.at(0).at(1).toInt(), 86);
    flushDeletes();
    QVERIFY(picker.isNull());

    // A right click or a press dragged off the label picks nothing.
    picker = new FigurePicker(&m_owner);
    picker->show();
    QVERIFY(QTest::qWaitForWindowExposed(picker));
    QSignalSpy spy2(picker.data(), &FigurePicker::figurePicked);
    QTest::mouseClick(picker->label(3), Qt::RightButton, {}, QPoint(17, 17));
    QTest::mousePress(picker->label(4), Qt::LeftButton, {}, QPoint(17, 17));
    QTest::mouseRelease(picker->label(4), Qt::LeftButton, {}, QPoint(60, 17));
    QCOMPARE(spy2.count(), 0);
    QVERIFY(picker->isVisible());
    picker->close();
    flushDeletes();
}

void PickerTests::clickPicksFromTheSecondFont()
{
    QPointer<FigurePicker> picker = new FigurePicker(&m_owner);
    picker->show();
    QVERIFY(QTest::qWaitForWindowExposed(picker));
    QSignalSpy spy(picker.data(), &FigurePicker::figurePicked);
    QTest::mouseClick(picker->label(95), Qt::LeftButton, {}, QPoint(5, 30)); // first of font 2
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toString(), QStringLiteral("Quar Tessilor Figures 2"));
    QCOMPARE(spy.at(0).at(1).toInt(), 33);
    flushDeletes();
    QVERIFY(picker.isNull());
}

void PickerTests::colorMenuLayout()
{
    SwatchList list;
    QPointer<ColorPicker> menu = new ColorPicker(&list, &m_owner);
    QVERIFY(menu->windowFlags() & Qt::Tool);
    QCOMPARE(menu->parentWidget(), &m_owner);
    menu->show();
    QVERIFY(QTest::qWaitForWindowExposed(menu));
    // 2760 twips wide; 2055 twips high with a row below for the picture's
    // colours.
    QCOMPARE(menu->width(), 184);
    QVERIFY(menu->height() > 137);
    QCOMPARE(menu->paletteBar()->objectName(), QStringLiteral("Toolbar1"));
    QCOMPARE(menu->otherColorBar()->objectName(), QStringLiteral("Toolbar2"));
    QVERIFY(menu->paletteButton(40));
    QVERIFY(!menu->paletteButton(41));
    // Eight swatches to a row, five rows.
    QCOMPARE(menu->paletteButton(1)->pos(), QPoint(0, 0));
    QCOMPARE(menu->paletteButton(8)->pos().y(), 0);
    QCOMPARE(menu->paletteButton(9)->pos(), QPoint(0, 22));
    QCOMPARE(menu->paletteButton(40)->pos(), QPoint(7 * 23, 4 * 22));
    for (int i = 1; i <= 40; ++i) {
        const QImage icon = menu->paletteButton(i)->icon().pixmap(16, 16).toImage();
        QCOMPARE(swatchColor(icon), list.color(i));
    }
    // The other-colour bar: as wide as its button, centred, below the palette.
    QToolButton *other = menu->otherColorButton();
    QCOMPARE(other->text(), QStringLiteral("    Другой цвет    "));
    QCOMPARE(menu->otherColorBar()->width(), other->width());
    const int mid = menu->otherColorBar()->x() + menu->otherColorBar()->width() / 2;
    QVERIFY(qAbs(mid - menu->width() / 2) <= 1);
    QVERIFY(menu->otherColorBar()->y() >= menu->paletteBar()->geometry().bottom());
    QVERIFY(menu->rect().contains(menu->otherColorBar()->geometry()));
    // "По изображению": its swatch and its name, centred in a row of its own
    // below the other-colour bar, as far from it as that bar from the palette.
    QToolButton *picture = menu->pictureColorsButton();
    QCOMPARE(picture->text(), QStringLiteral("По изображению"));
    QCOMPARE(picture->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
    QVERIFY(picture->width() > picture->fontMetrics().horizontalAdvance(picture->text()) + 16);
    const QRect row = menu->pictureBar()->geometry();
    QVERIFY(menu->rect().contains(row));
    QVERIFY(qAbs(row.center().x() - menu->width() / 2) <= 1);
    QCOMPARE(row.top(), menu->otherColorBar()->geometry().bottom() + 1);
    QVERIFY(qAbs((menu->height() - row.bottom() - 1) -
                 (menu->otherColorBar()->y() - menu->paletteBar()->geometry().bottom() - 1)) <= 2);
    menu->close();
    flushDeletes();
    QVERIFY(menu.isNull());
}

void PickerTests::paletteSwatchPick()
{
    SwatchList list;
    QPointer<ColorPicker> menu = new ColorPicker(&list, &m_owner);
    menu->show();
    QVERIFY(QTest::qWaitForWindowExposed(menu));
    QSignalSpy spy(menu.data(), &ColorPicker::swatchPicked);
    QTest::mouseClick(menu->paletteButton(17), Qt::LeftButton);
    QCOMPARE(spy.count(), 1);
    const int index = spy.at(0).at(0).toInt();
    QCOMPARE(index, 17);
    QCOMPARE(list.color(index), rgbValue(254, 0, 0));
    QCOMPARE(list.count(), 40);
    flushDeletes();
    QVERIFY(menu.isNull());
}

void PickerTests::otherColourAddsSwatches()
{
    SwatchList list;
    const QList<QColor> chosen = {QColor(10, 20, 30), QColor(0, 128, 255)};
    for (int round = 0; round < 2; ++round) {
        QPointer<ColorPicker> menu = new ColorPicker(&list, &m_owner);
        menu->show();
        QVERIFY(QTest::qWaitForWindowExposed(menu));
        QSignalSpy spy(menu.data(), &ColorPicker::swatchPicked);
        DialogAnswer answer;
        answerColorDialog(&answer, chosen[round], menu.data());
        QTest::mouseClick(menu->otherColorButton(), Qt::LeftButton);
        QTRY_VERIFY(answer.seen);
        // The dialog opens on red, whatever the current colour, with the
        // picker out of the way.
        QCOMPARE(answer.openedOn, QColor(255, 0, 0));
        QVERIFY(answer.pickerHidden);
        QTRY_COMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toInt(), 41 + round);
        QCOMPARE(list.count(), 41 + round);
        flushDeletes();
        QVERIFY(menu.isNull());
    }
    // The custom colours read back exactly from (5, 5) of 16 x 16 swatches
    // with a grey border.
    QCOMPARE(list.color(41), rgbValue(10, 20, 30));
    QCOMPARE(list.color(42), rgbValue(0, 128, 255));
    const QImage s = list.image(41);
    QCOMPARE(s.size(), QSize(16, 16));
    QCOMPARE(s.pixelColor(0, 0), QColor(128, 128, 128));
    QCOMPARE(s.pixelColor(15, 15), QColor(128, 128, 128));
    QCOMPARE(s.pixelColor(1, 1), QColor(10, 20, 30));
    QCOMPARE(s.pixelColor(14, 14), QColor(10, 20, 30));
}

void PickerTests::cancelledOtherColourChangesNothing()
{
    SwatchList list;
    QPointer<ColorPicker> menu = new ColorPicker(&list, &m_owner);
    menu->show();
    QVERIFY(QTest::qWaitForWindowExposed(menu));
    QSignalSpy spy(menu.data(), &ColorPicker::swatchPicked);
    DialogAnswer answer;
    answerColorDialog(&answer, QColor(), menu.data());
    QTest::mouseClick(menu->otherColorButton(), Qt::LeftButton);
    QTRY_VERIFY(answer.seen);
    flushDeletes();
    QVERIFY(menu.isNull()); // closed in every case
    QCOMPARE(spy.count(), 0);
    QCOMPARE(list.count(), 40);
}

void PickerTests::customSwatchesGetButtonsAndRoom()
{
    SwatchList list;
    list.add(makeSwatch(rgbValue(1, 2, 3)));
    QPointer<ColorPicker> menu = new ColorPicker(&list, &m_owner);
    menu->show();
    QVERIFY(QTest::qWaitForWindowExposed(menu));
    QToolButton *b = menu->paletteButton(41);
    QVERIFY(b);
    QCOMPARE(b->pos(), QPoint(0, 5 * 22)); // a sixth row
    QVERIFY(menu->otherColorBar()->y() >= 6 * 22);
    QVERIFY(menu->rect().contains(menu->otherColorBar()->geometry()));
    QVERIFY(menu->height() > 137);
    QSignalSpy spy(menu.data(), &ColorPicker::swatchPicked);
    QTest::mouseClick(b, Qt::LeftButton);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toInt(), 41);
    flushDeletes();
}

void PickerTests::escapeClosesWithoutAPick()
{
    QPointer<FigurePicker> figures = new FigurePicker(&m_owner);
    figures->show();
    QVERIFY(QTest::qWaitForWindowExposed(figures));
    QSignalSpy figureSpy(figures.data(), &FigurePicker::figurePicked);
    QTest::keyClick(figures.data(), Qt::Key_A); // other keys do nothing
    QVERIFY(figures->isVisible());
    QTest::keyClick(figures.data(), Qt::Key_Escape);
    flushDeletes();
    QVERIFY(figures.isNull());
    QCOMPARE(figureSpy.count(), 0);

    SwatchList list;
    QPointer<ColorPicker> menu = new ColorPicker(&list, &m_owner);
    menu->show();
    QVERIFY(QTest::qWaitForWindowExposed(menu));
    QSignalSpy colorSpy(menu.data(), &ColorPicker::swatchPicked);
    QTest::keyClick(menu.data(), Qt::Key_Escape);
    flushDeletes();
    QVERIFY(menu.isNull());
    QCOMPARE(colorSpy.count(), 0);
    QCOMPARE(list.count(), 40);
}

QTEST_MAIN(PickerTests)
#include "test_pickers.moc"
