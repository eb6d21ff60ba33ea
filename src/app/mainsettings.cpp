#include "app/mainsettings.h"

#include "app/appicons.h"
#include "art/fonttables.h"
#include "base/options.h"
#include "layout/mainlayout.h"

#include <QCheckBox>
#include <QComboBox>
#include <QSpinBox>
#include <QGuiApplication>
#include <QEvent>
#include <QScreen>
#include <QTimer>
#include <QWidget>

namespace tessilor {

namespace ml = mainlayout;

namespace {

// The smallest size the window takes: its minimum, or what its bars need
// when that is more (Qt widens a window to its layout's need once shown).
QSize smallestSize(const QWidget *window)
{
    return window->minimumSize().expandedTo(window->minimumSizeHint());
}

} // namespace

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
    return ml::windowOnScreens(QRect(pixels(g.left), pixels(g.top), pixels(g.width), pixels(g.height)), screens,
                               QMargins(), smallestSize(window));
}

namespace {

// Watches a window's first moves and resizes until its frame is known and
// the framed window lies on a screen.
class FrameKeeper : public QObject
{
public:
    FrameKeeper(QWidget *window, std::function<void(QMargins)> framed)
        : QObject(window), m_window(window), m_framed(std::move(framed))
    {
        window->installEventFilter(this);
        m_lookAgain.setSingleShot(true);
        m_lookAgain.setInterval(kLookAgainMs);
        connect(&m_lookAgain, &QTimer::timeout, this, [this] { fit(); });
        QTimer::singleShot(kWatchMs, this, [this] { deleteLater(); });
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const QEvent::Type t = event->type();
        if (watched == m_window && (t == QEvent::Show || t == QEvent::Move || t == QEvent::Resize))
            fit();
        return QObject::eventFilter(watched, event);
    }

private:
    static constexpr int kWatchMs = 3000;
    static constexpr int kLookAgainMs = 50;

    void fit()
    {
        if (m_fitting || m_done || !m_window->isVisible())
            return;
        m_fitting = true;
        const QRect inner = m_window->geometry();
        const QRect outer = m_window->frameGeometry();
        const QMargins frame(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                             outer.bottom() - inner.bottom());
        if (!(m_window->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized))) {
            QList<QRect> screens;
            for (const QScreen *each : QGuiApplication::screens())
                screens.append(each->availableGeometry());
            const QRect placed = ml::windowOnScreens(inner, screens, frame, smallestSize(m_window));
            // Placed as it was restored: size, then the frame's corner.
            if (placed.size() != inner.size())
                m_window->resize(placed.size());
            if (placed.topLeft() != inner.topLeft())
                m_window->move(placed.topLeft() - QPoint(frame.left(), frame.top()));
        }
        m_fitting = false;
        // Framed and placed: the user moves it from here on. A window
        // manager that frames the window where it already is sends no move,
        // so until the frame is known it is looked for again.
        if (frame.isNull()) {
            m_lookAgain.start();
            return;
        }
        m_done = true;
        if (m_framed)
            m_framed(frame);
        deleteLater();
    }

    QWidget *m_window;
    std::function<void(QMargins)> m_framed;
    QTimer m_lookAgain;
    bool m_fitting = false;
    bool m_done = false;
};

} // namespace

void keepFrameOnScreen(QWidget *window, std::function<void(QMargins)> framed)
{
    new FrameKeeper(window, std::move(framed));
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
    text.contrastSlider->setValue(o.contrast);
    figures.colorModeList->setCurrentIndex(o.colorMode - 1);
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
    o.contrast = text.contrastSlider->value();
    o.colorMode = figures.colorModeList->currentIndex() + 1;
}

} // namespace tessilor
