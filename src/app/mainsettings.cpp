#include "app/mainsettings.h"

#include "app/appicons.h"
#include "base/options.h"
#include "layout/mainlayout.h"

#include <QCheckBox>
#include <QComboBox>
#include <QSpinBox>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace tessilor {

namespace ml = mainlayout;

QRect storedWindowPlace(const SettingsStore &store, const QWidget *window, QSizeF designTwips, int *state)
{
    QScreen *scr = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    const QSize s = scr ? scr->geometry().size() : QSize(1024, 768);
    const WindowGeometry g =
        restoreGeometry(store, QSizeF(ml::pixelsToTwips(s.width()), ml::pixelsToTwips(s.height())), designTwips);
    if (state)
        *state = g.state;
    QList<QRect> screens;
    for (const QScreen *each : QGuiApplication::screens())
        screens.append(each->availableGeometry());
    auto pixels = [](double twips) { return qBound(-1000000, ml::twipsToPixels(twips), 1000000); };
    return ml::windowOnScreens(QRect(pixels(g.left), pixels(g.top), pixels(g.width), pixels(g.height)), screens);
}

void fillModeList(QComboBox *list)
{
    const QStringList modes = modeNames();
    list->addItem(appIcon(QStringLiteral("text")), modes.value(0));
    list->addItem(appIcon(QStringLiteral("fig")), modes.value(1));
}

void fillFontList(QComboBox *list)
{
    int n = 1;
    for (const RampFont &f : rampFonts())
        list->addItem(appIcon(QStringLiteral("font%1").arg(n++)), f.face, f.ramp);
}

void fillColorModeList(QComboBox *list)
{
    const QStringList modes = colorModeNames();
    list->addItem(appIcon(QStringLiteral("color")), modes.value(0));
    list->addItem(appIcon(QStringLiteral("gray")), modes.value(1));
}

void fillSizeLists(QComboBox *textSizes, QComboBox *figureSizes)
{
    for (int size : sizeList()) {
        textSizes->addItem(QString::number(size));
        figureSizes->addItem(QString::number(size));
    }
}

void showStoredChoices(const StoredOptions &o, MainBar &bar, TextBar &text, FigureBar &figures)
{
    text.grid.sizeList->setCurrentIndex(o.textSize - 1);
    figures.grid.sizeList->setCurrentIndex(o.figureSize - 1);
    text.grid.proportional->setChecked(o.prop1 == 1);
    figures.grid.proportional->setChecked(o.prop2 == 1);
    text.methodList->setCurrentIndex(o.textMethod);
    text.structureBox->setValue(o.toneStructure);
    figures.fillBox->setChecked(o.figureFill);
    bar.autoPreview->setChecked(o.autoPreview);
}

void takeStoredChoices(StoredOptions &o, const MainBar &bar, const TextBar &text, const FigureBar &figures)
{
    o.type = bar.modeList->currentIndex() + 1;
    o.font = text.fontList->currentIndex() + 1;
    o.textSize = text.grid.sizeList->currentIndex() + 1;
    o.figureSize = figures.grid.sizeList->currentIndex() + 1;
    o.prop1 = text.grid.proportional->isChecked() ? 1 : 0;
    o.prop2 = figures.grid.proportional->isChecked() ? 1 : 0;
    o.textMethod = text.methodList->currentIndex();
    o.toneStructure = text.structureBox->value();
    o.figureFill = figures.fillBox->isChecked();
    o.autoPreview = bar.autoPreview->isChecked();
}

} // namespace tessilor
