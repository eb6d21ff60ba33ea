#include "app/mainbars.h"

#include "app/appicons.h"
#include "base/options.h"
#include "layout/mainlayout.h"
#include "widgets/panel3d.h"
#include "widgets/progress.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QSlider>
#include <QSpinBox>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>

namespace tessilor {

namespace ml = mainlayout;

namespace {

// The result command's tooltip without its key, as a property of it.
const char *const kPlainTip = "plainTip";

// Pixel heights of the bars.
constexpr int kMainBarHeight = 46;
constexpr int kOptionBarHeight = 38;

int px(double twips)
{
    return ml::twipsToPixels(twips);
}
double tw(int pixels)
{
    return ml::pixelsToTwips(pixels);
}

QToolBar *makeBar(QWidget *parent, const QString &name)
{
    auto *bar = new QToolBar(parent);
    bar->setObjectName(name);
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setContextMenuPolicy(Qt::PreventContextMenu);
    return bar;
}

// A bar of the window's top area, of a fixed height.
QToolBar *addBar(QMainWindow *window, const QString &name, int height)
{
    QToolBar *bar = makeBar(window, name);
    bar->setFixedHeight(height);
    window->addToolBar(Qt::TopToolBarArea, bar);
    return bar;
}

// A main tool bar button showing a command: caption under the icon.
QToolButton *makeButton(QWidget *parent, const QString &name, QAction *command)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(name);
    b->setDefaultAction(command);
    b->setIconSize(QSize(20, 20));
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    b->setAutoRaise(true);
    // Reached with Tab, not taken by a click from the field being edited.
    b->setFocusPolicy(Qt::TabFocus);
    return b;
}

// A small button that runs a command when clicked but keeps its own look.
QToolButton *makePickerButton(QWidget *parent, const QString &name, QAction *command)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(name);
    b->setToolTip(command->toolTip());
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::TabFocus);
    QObject::connect(b, &QToolButton::clicked, command, &QAction::trigger);
    return b;
}

QToolButton *makeArrow(QWidget *parent, const QString &name, QAction *command)
{
    QToolButton *b = makePickerButton(parent, name, command);
    b->setArrowType(Qt::DownArrow);
    return b;
}

// Down (or Alt+Down) on a button with a drop-down opens it, as on a list.
class DropDownKeys : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress) {
            auto *key = static_cast<QKeyEvent *>(event);
            auto *button = qobject_cast<QToolButton *>(watched);
            if (button && button->menu() && key->key() == Qt::Key_Down &&
                (key->modifiers() & ~(Qt::AltModifier | Qt::KeypadModifier)) == Qt::NoModifier) {
                button->showMenu();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

QMenu *attachMenu(QToolButton *button, const QString &name, const QList<QAction *> &entries)
{
    auto *menu = new QMenu(button);
    menu->setObjectName(name);
    for (QAction *a : entries) {
        if (a)
            menu->addAction(a);
        else
            menu->addSeparator()->setObjectName(QStringLiteral("separ1"));
    }
    button->setMenu(menu);
    button->setPopupMode(QToolButton::MenuButtonPopup);
    button->installEventFilter(new DropDownKeys(button));
    return menu;
}

QWidget *makePlaceholder(QWidget *parent, int width)
{
    auto *w = new QWidget(parent);
    w->setFixedWidth(width);
    w->setAttribute(Qt::WA_TransparentForMouseEvents);
    return w;
}

// A 9 pixel wide gap with an etched vertical line.
QWidget *makeSeparator(QWidget *parent, int lineTop, int lineHeight)
{
    auto *p = new QWidget(parent);
    p->setFixedWidth(9);
    (new Panel3d(p))->setGeometry(4, lineTop, 2, lineHeight);
    return p;
}

template<typename T>
T *named(T *widget, const QString &name, const QString &tip = QString())
{
    widget->setObjectName(name);
    if (!tip.isEmpty())
        widget->setToolTip(tip);
    return widget;
}

GridFields buildGridFields(QWidget *frame, const QString &sizeName, const QString &labelName,
                           const QString &columnsName, const QString &rowsName, const QString &checkName)
{
    GridFields g;
    g.sizeList = named(new QComboBox(frame), sizeName, QStringLiteral("Размер символов"));
    g.label = named(new QLabel(QStringLiteral("Разрешение:                 X"), frame), labelName);
    g.columns = named(new QLineEdit(QStringLiteral("80"), frame), columnsName,
                      QStringLiteral("Кол-во символов по горизонтали"));
    g.rows =
        named(new QLineEdit(QStringLiteral("120"), frame), rowsName, QStringLiteral("Кол-во символов по вертикали"));
    g.proportional = named(new QCheckBox(QStringLiteral("Пропорционально"), frame), checkName);
    for (QLineEdit *t : {g.columns, g.rows})
        t->setProperty("tag", QString());
    return g;
}

void appendGridControls(QList<WindowControl> &list, const GridFields &g)
{
    list.append(WindowControl{g.sizeList, {}});
    list.append(WindowControl{g.label, {}});
    list.append(WindowControl{g.columns, {}});
    list.append(WindowControl{g.rows, {}});
    list.append(WindowControl{g.proportional, {}});
}

// Width of a list: its design width, or more when its entries need it.
int listWidth(const QComboBox *list, int designWidth)
{
    return list->count() > 0 ? qMax(designWidth, list->sizeHint().width()) : designWidth;
}

// Right edge of the rightmost visible child of a bar, leaving out some.
int rightmostChild(const QWidget *bar, const QList<const QWidget *> &except)
{
    int right = 0;
    for (const QObject *o : bar->children()) {
        const auto *w = qobject_cast<const QWidget *>(o);
        if (!w || w->isHidden() || except.contains(w))
            continue;
        right = qMax(right, w->geometry().right() + 1);
    }
    return right;
}

// Places the two count fields in the gap of a "Разрешение: ... X" label.
void placeResolution(const GridFields &g, int x, int h)
{
    const QFontMetrics fm(g.label->font());
    const int labelWidth = fm.horizontalAdvance(g.label->text()) + 2;
    const int head = fm.horizontalAdvance(QStringLiteral("Разрешение: "));
    const int gap = labelWidth - head - fm.horizontalAdvance(QStringLiteral("X")) - 4;
    const int fieldH = 22;
    const int y = (h - fieldH) / 2;
    g.label->setGeometry(x, 0, labelWidth, h);
    g.columns->setGeometry(x + head, y, qMax(gap, 36), fieldH);
    g.rows->setGeometry(x + labelWidth + 3, y, qMax(gap, 36), fieldH);
}

// Places a bar's grid fields from x on: the size list, the counts and the
// proportional box. Returns the box's right edge.
int placeGridFields(const GridFields &g, int x, int y, int comboH, int h)
{
    g.sizeList->setGeometry(x, y, 52, comboH);
    placeResolution(g, x + 60, h);
    const int boxLeft = g.rows->geometry().right() + 8;
    g.proportional->setGeometry(boxLeft, 0, g.proportional->sizeHint().width() + 4, h);
    return g.proportional->geometry().right();
}

} // namespace

// ---------------------------------------------------------------------------
// Commands

QString tipWithKey(const QString &tip, const QKeySequence &key)
{
    if (key.isEmpty())
        return tip;
    return QStringLiteral("%1 (%2)").arg(tip, key.toString(QKeySequence::NativeText));
}

void showGoCommand(const MainCommands &c, bool running)
{
    const QString key = running ? QStringLiteral("canc") : QStringLiteral("go");
    QAction *go = c.go;
    go->setData(key);
    go->setIcon(appIcon(key));
    go->setText(running ? QStringLiteral("Стоп") : QStringLiteral("Пуск"));
    go->setShortcut(running ? QKeySequence(Qt::Key_Escape) : QKeySequence(Qt::Key_F5));
    go->setToolTip(
        tipWithKey(running ? QStringLiteral("Остановить символизацию") : QStringLiteral("Символизировать изображение"),
                   go->shortcut()));
}

void showResultCommand(const MainCommands &c, const QString &key, const QString &tip)
{
    QAction *result = c.result;
    result->setData(key);
    result->setIcon(appIcon(key));
    result->setProperty(kPlainTip, tip);
    // The key of the drop-down entry that chooses the same output.
    QKeySequence shortcut;
    for (const QAction *entry : {c.toFile, c.toClipboard, c.toWord, c.print}) {
        if (entry->data().toString() == key)
            shortcut = entry->shortcut();
    }
    result->setToolTip(tipWithKey(tip, shortcut));
}

QString resultTip(const MainCommands &c)
{
    return c.result->property(kPlainTip).toString();
}

MainCommands createMainCommands(QObject *owner)
{
    auto command = [owner](const QString &name, const QString &text, const QString &tip, const QString &key) {
        auto *a = new QAction(text, owner);
        a->setObjectName(name);
        if (!tip.isEmpty())
            a->setToolTip(tip);
        a->setData(key);
        a->setIcon(appIcon(key));
        return a;
    };
    MainCommands c;
    c.open = command(QStringLiteral("openCommand"), QStringLiteral("Открыть"), QStringLiteral("Открыть изображение"),
                     QStringLiteral("open"));
    c.zoom = command(QStringLiteral("zoomCommand"), QStringLiteral("Масштаб"), QStringLiteral("Масштаб изображения"),
                     QStringLiteral("mas"));
    c.go = command(QStringLiteral("goCommand"), QStringLiteral("Пуск"), QStringLiteral("Символизировать изображение"),
                   QStringLiteral("go"));
    c.result = command(QStringLiteral("resultCommand"), QStringLiteral("Результат"),
                       QStringLiteral("Сохранение в файл/передача в редактор"), QStringLiteral("save"));
    c.lastFile = command(QStringLiteral("lastFile"), QStringLiteral("Пусто"), QString(), QString());
    c.lastFile->setEnabled(false);
    // The entry shows the key of the paste that works in the window, also
    // while the entry is disabled (picturepaste.h).
    c.paste = command(QStringLiteral("pasteCommand"),
                      QStringLiteral("Вставить из буфера обмена\t") +
                          QKeySequence(QKeySequence::Paste).toString(QKeySequence::NativeText),
                      QString(), QString());
    c.paste->setIcon(QIcon());
    // F1 opens the help: the tooltip says so (the about box is in the
    // drop-down and on the right button).
    c.help = command(QStringLiteral("helpCommand"), QStringLiteral("Справка"), QStringLiteral("Справка"),
                     QStringLiteral("help"));
    c.helpContents = command(QStringLiteral("spr"), QStringLiteral("Справка"), QString(), QStringLiteral("spr"));
    c.about = command(QStringLiteral("abt"), QStringLiteral("О программе"), QString(), QStringLiteral("abt"));
    c.figure = command(QStringLiteral("figureCommand"), QString(),
                       QStringLiteral("Фигура из которой будет формироваться изображение"), QString());
    c.color = command(QStringLiteral("colorCommand"), QString(), QStringLiteral("Цвет текста"), QString());
    // The result button's drop-down entries; data: the output they choose.
    c.toFile = command(QStringLiteral("tofile"), QStringLiteral("Сохранить в файл"), QString(), QStringLiteral("save"));
    c.toClipboard =
        command(QStringLiteral("tocl"), QStringLiteral("Скопировать в буфер обмена"), QString(), QStringLiteral("cl"));
    c.toWord =
        command(QStringLiteral("toword"), QStringLiteral("Передать в редактор"), QString(), QStringLiteral("word"));
    c.print = command(QStringLiteral("print"), QStringLiteral("Вывести на печать"), QString(), QStringLiteral("print"));
    for (QAction *entry : {c.toFile, c.toClipboard, c.toWord, c.print}) {
        entry->setIcon(QIcon());
        // A disabled result button has no usable drop-down: its entries'
        // keys do nothing either.
        entry->setEnabled(c.result->isEnabled());
        QObject::connect(c.result, &QAction::enabledChanged, entry, &QAction::setEnabled);
    }
    c.open->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    c.zoom->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    c.toFile->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    c.toClipboard->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
    c.toWord->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    c.print->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    c.help->setShortcut(QKeySequence(Qt::Key_F1));
    c.color->setShortcut(QKeySequence(Qt::Key_F7));
    c.figure->setShortcut(QKeySequence(Qt::Key_F8));
    for (QAction *a : {c.open, c.zoom, c.help, c.color, c.figure})
        a->setToolTip(tipWithKey(a->toolTip(), a->shortcut()));
    showGoCommand(c, false);
    showResultCommand(c, c.result->data().toString(), c.result->toolTip());
    return c;
}

// ---------------------------------------------------------------------------
// Building

MainBar buildMainBar(QMainWindow *window, const MainCommands &c)
{
    MainBar m;
    m.toolBar = addBar(window, QStringLiteral("Toolbar1"), kMainBarHeight);

    m.openButton = makeButton(m.toolBar, QStringLiteral("open"), c.open);
    m.openMenu = attachMenu(m.openButton, QStringLiteral("openMenu"), {c.lastFile});
    m.masButton = makeButton(m.toolBar, QStringLiteral("mas"), c.zoom);
    m.goButton = makeButton(m.toolBar, QStringLiteral("go"), c.go);
    m.resultButton = makeButton(m.toolBar, QStringLiteral("result"), c.result);
    m.resultMenu =
        attachMenu(m.resultButton, QStringLiteral("resultMenu"), {c.toFile, c.toClipboard, c.toWord, nullptr, c.print});

    // Positions 1..17 of the bar; placeholders reserve room for the mode
    // frame (6..12) and mark where the progress bar starts (17).
    auto separator = [&m] { return makeSeparator(m.toolBar, 4, kMainBarHeight - 8); };
    m.positions = {
        nullptr, m.openButton, m.masButton, separator(), makePlaceholder(m.toolBar, 0), makePlaceholder(m.toolBar, 0)};
    for (int i = 6; i <= 12; ++i)
        m.positions.append(makePlaceholder(m.toolBar, 25));
    m.positions.append(separator());                   // 13
    m.positions.append(m.goButton);                    // 14
    m.positions.append(m.resultButton);                // 15
    m.positions.append(separator());                   // 16
    m.positions.append(makePlaceholder(m.toolBar, 0)); // 17
    for (int i = 1; i < m.positions.size(); ++i)
        m.positions[i]->setProperty("position", i);

    m.modeFrame = named(new QFrame(m.toolBar), QStringLiteral("Frame1"));
    m.modeLabel = named(new QLabel(QStringLiteral("Вид символизации:"), m.modeFrame), QStringLiteral("Label11"));
    m.modeList = named(new QComboBox(m.modeFrame), QStringLiteral("ImageCombo1"),
                       QStringLiteral("Способ символизации изображения"));

    m.autoPreview = named(new QCheckBox(QStringLiteral("Автопросмотр"), m.toolBar), QStringLiteral("autoPreview"),
                          QStringLiteral("Обновлять открытый результат при каждом изменении настроек"));

    m.progressBar = named(new Progress(m.toolBar), QStringLiteral("Progress1"));
    m.progressBar->hide();

    m.helpBar = makeBar(m.toolBar, QStringLiteral("Toolbar6"));
    m.helpBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m.helpSeparator = makeSeparator(m.helpBar, 4, kMainBarHeight - 12);
    m.helpButton = makeButton(m.helpBar, QStringLiteral("help"), c.help);
    m.helpMenu = attachMenu(m.helpButton, QStringLiteral("helpMenu"), {c.helpContents, c.about});
    m.helpSeparator->setGeometry(0, 0, 9, kMainBarHeight - 4);
    // The keys work wherever the focus is in the window, also for the
    // entries of the result button's drop-down.
    window->addActions({c.open, c.zoom, c.go, c.toFile, c.toClipboard, c.toWord, c.print, c.help});
    return m;
}

TextBar buildTextBar(QMainWindow *window, const MainCommands &c)
{
    TextBar t;
    t.toolBar = addBar(window, QStringLiteral("Toolbar2"), kOptionBarHeight);

    t.optionsFrame = named(new QFrame(t.toolBar), QStringLiteral("Frame2"));
    t.fontList = named(new QComboBox(t.optionsFrame), QStringLiteral("ImageCombo2"),
                       QStringLiteral("Шрифт как источник буквенных символов"));
    t.grid = buildGridFields(t.optionsFrame, QStringLiteral("Combo1"), QStringLiteral("Label2"),
                             QStringLiteral("Text1"), QStringLiteral("Text2"), QStringLiteral("Check1"));

    t.colorBar = makeBar(t.toolBar, QStringLiteral("Toolbar5"));
    t.colorBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    t.colorSeparator = makeSeparator(t.colorBar, 3, kOptionBarHeight - 10);
    t.colorSeparator->setGeometry(0, 0, 9, kOptionBarHeight - 4);
    t.colorButton = makePickerButton(t.colorBar, QStringLiteral("color"), c.color);
    t.colorButton->setText(QStringLiteral(" Цвет"));
    t.colorButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    t.colorButton->setIconSize(QSize(16, 16));
    t.colorArrow = makeArrow(t.colorBar, QStringLiteral("colorArrow"), c.color);

    t.contrastFrame = named(new QFrame(t.toolBar), QStringLiteral("Frame3"));
    t.contrastSlider =
        named(new QSlider(Qt::Horizontal, t.contrastFrame), QStringLiteral("Slider1"), QStringLiteral("Контраст"));
    t.contrastSlider->setRange(-127, 127);
    t.contrastSlider->setValue(0);
    t.contrastSlider->setSingleStep(1);
    t.contrastSlider->setPageStep(5);
    t.contrastSlider->setTickPosition(QSlider::TicksBelow);
    t.contrastSlider->setTickInterval(127);
    t.contrastValue = named(new QLabel(QStringLiteral("0"), t.contrastFrame), QStringLiteral("contrastValue"),
                            QStringLiteral("Контраст"));
    t.contrastValue->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    QObject::connect(t.contrastSlider, &QSlider::valueChanged, t.contrastValue, qOverload<int>(&QLabel::setNum));

    t.methodFrame = named(new QFrame(t.toolBar), QStringLiteral("methodFrame"));
    t.methodList = named(new QComboBox(t.methodFrame), QStringLiteral("methodList"),
                         QStringLiteral("Метод подбора символов: классический или по тону, измеренному в шрифте"));
    t.methodList->addItems(textMethodNames());
    t.methodList->setAccessibleName(QStringLiteral("Метод"));

    t.structureFrame = named(new QFrame(t.toolBar), QStringLiteral("structureFrame"));
    const QString structureTip =
        QStringLiteral("Тональный метод: насколько символы рисуют линии и контуры изображения своей формой "
                       "(0 — символы только по тону)");
    t.structureLabel =
        named(new QLabel(QStringLiteral("Форма"), t.structureFrame), QStringLiteral("structureLabel"), structureTip);
    t.structureBox = named(new QSpinBox(t.structureFrame), QStringLiteral("structureBox"), structureTip);
    t.structureBox->setRange(kMinToneStructure, kMaxToneStructure);
    t.structureBox->setSingleStep(10);
    t.structureBox->setValue(kDefaultToneStructure);
    t.structureBox->setAccessibleName(QStringLiteral("Форма"));
    t.structureLabel->setBuddy(t.structureBox);
    auto followMethod = [box = t.structureBox, label = t.structureLabel](int method) {
        const bool tone = method == int(TextMethod::Tone);
        box->setEnabled(tone);
        label->setEnabled(tone);
    };
    QObject::connect(t.methodList, &QComboBox::currentIndexChanged, t.structureBox, followMethod);
    followMethod(t.methodList->currentIndex());
    // The palette's key works while this bar is shown.
    t.optionsFrame->addAction(c.color);
    return t;
}

FigureBar buildFigureBar(QMainWindow *window, const MainCommands &c)
{
    FigureBar f;
    f.toolBar = addBar(window, QStringLiteral("Toolbar3"), kOptionBarHeight);

    f.optionsFrame = named(new QFrame(f.toolBar), QStringLiteral("Frame4"));
    f.grid = buildGridFields(f.optionsFrame, QStringLiteral("Combo2"), QStringLiteral("Label1"),
                             QStringLiteral("Text4"), QStringLiteral("Text5"), QStringLiteral("Check2"));
    f.colorModeList = named(new QComboBox(f.optionsFrame), QStringLiteral("ImageCombo3"),
                            QStringLiteral("Способ символизации изображения"));

    f.figureToolBar = makeBar(f.toolBar, QStringLiteral("Toolbar4"));
    f.figureButton = makePickerButton(f.figureToolBar, QStringLiteral("figure"), c.figure);
    f.figureButton->setIconSize(QSize(28, 28));
    f.figureArrow = makeArrow(f.figureToolBar, QStringLiteral("figureArrow"), c.figure);
    f.fillBox = named(new QCheckBox(QStringLiteral("Заливка"), f.toolBar), QStringLiteral("fillBox"),
                      QStringLiteral("Фон каждой клетки в её цвете: фигура и фон вместе дают цвет изображения"));
    // The figure picker's key works while this bar is shown.
    f.optionsFrame->addAction(c.figure);
    return f;
}

// ---------------------------------------------------------------------------
// Window order of the controls

QList<WindowControl> MainBar::controls() const
{
    return {{toolBar, positions.mid(1)},
            {modeFrame, {}},
            {modeLabel, {}},
            {modeList, {}},
            {autoPreview, {}},
            {progressBar, {}},
            {helpBar, {helpSeparator, helpButton}}};
}

QList<WindowControl> TextBar::controls() const
{
    QList<WindowControl> list = {{toolBar, {}}, {optionsFrame, {}}, {fontList, {}}};
    appendGridControls(list, grid);
    list.append(WindowControl{colorBar, {colorSeparator, colorButton, colorArrow}});
    list.append(WindowControl{contrastFrame, {}});
    list.append(WindowControl{contrastSlider, {}});
    list.append(WindowControl{contrastValue, {}});
    list.append(WindowControl{methodFrame, {}});
    list.append(WindowControl{methodList, {}});
    // The frame alone: its box and label keep following the method list
    // while the bar is disabled and enabled again for a run.
    list.append(WindowControl{structureFrame, {}});
    return list;
}

QList<WindowControl> FigureBar::controls() const
{
    QList<WindowControl> list = {{toolBar, {}}, {optionsFrame, {}}};
    appendGridControls(list, grid);
    list.append(WindowControl{colorModeList, {}});
    list.append(WindowControl{figureToolBar, {figureButton, figureArrow}});
    list.append(WindowControl{fillBox, {}});
    return list;
}

// ---------------------------------------------------------------------------
// Layout

void layoutMainBar(MainBar &m)
{
    // The placeholders under the mode frame (6..12) widen together when the
    // mode list needs more than their design width: the frame is their
    // width and 3 pixels, the list 8 pixels less than the frame.
    const int placeholder = qMax(25, (listWidth(m.modeList, 0) + 5 + 6) / 7);
    for (int i = 6; i <= 12; ++i)
        m.positions[i]->setFixedWidth(placeholder);
    // Positions 1..17 left to right.
    int x = 4;
    const int h = kMainBarHeight - 4;
    for (int i = 1; i < m.positions.size(); ++i) {
        QWidget *w = m.positions[i];
        int width = w->minimumWidth() == w->maximumWidth() ? w->maximumWidth() : w->sizeHint().width();
        if (auto *b = qobject_cast<QToolButton *>(w)) {
            width = qMax(b->sizeHint().width(), 56);
            if (b->menu())
                width += 6;
        }
        w->setGeometry(x, 2, width, h);
        x += width;
        if (i == 16) {
            // The preview box sits before position 17, where the progress
            // bar starts, and the text bar's method list below it, as the
            // mode list below its caption.
            const int boxWidth = m.autoPreview->sizeHint().width() + 8;
            int columnWidth = boxWidth;
            if (m.methodColumn) {
                auto *list = m.methodColumn->findChild<QComboBox *>();
                const int listWidthNeeded = list ? listWidth(list, 0) : 0;
                columnWidth = qMax(boxWidth, listWidthNeeded);
                m.autoPreview->setGeometry(x + 4, 1, columnWidth, 18);
                m.methodColumn->setGeometry(x + 4, 19, columnWidth, 22);
                if (list)
                    list->setGeometry(0, 0, columnWidth, 22);
            } else {
                m.autoPreview->setGeometry(x + 4, 2, boxWidth, h);
            }
            x += columnWidth + 8;
        }
    }
    const ml::ToolbarPlacement p = ml::placeToolbar(tw(m.positions[6]->x()), tw(m.positions[13]->x()),
                                                    tw(m.positions[17]->x()), tw(m.positions[2]->height()));
    m.modeFrame->setGeometry(px(p.modeFrameLeft), 0, px(p.modeFrameWidth), qMin(px(p.modeFrameHeight), kMainBarHeight));
    m.modeLabel->setGeometry(4, 2, m.modeFrame->width() - 8, 16);
    m.modeList->setGeometry(4, 19, m.modeFrame->width() - 8, 22);
    m.progressLeftTwips = p.progressLeft;
    m.progressBar->setGeometry(px(p.progressLeft), (kMainBarHeight - 18) / 2, m.progressBar->sizeHint().width(), 18);

    const int helpWidth = qMax(m.helpButton->sizeHint().width() + 14, 70);
    m.helpButton->setGeometry(9, 2, helpWidth, h);
    m.helpBar->setGeometry(0, 0, 9 + helpWidth, kMainBarHeight - 2);
}

void layoutTextBar(TextBar &t)
{
    const int h = kOptionBarHeight - 4;
    const int comboH = 24;
    const int y = (h - comboH) / 2;
    int x = 4;
    const int fontWidth = listWidth(t.fontList, 146);
    t.fontList->setGeometry(x, y, fontWidth, comboH);
    x += fontWidth + 4;
    x = placeGridFields(t.grid, x, y, comboH, h) + 4;
    t.optionsFrame->setGeometry(0, 2, x, h);

    const int colorWidth =
        t.colorButton->fontMetrics().horizontalAdvance(t.colorButton->text()) + t.colorButton->iconSize().width() + 18;
    t.colorButton->setGeometry(9, 2, colorWidth, h - 4);
    t.colorArrow->setGeometry(9 + colorWidth, 2, 14, h - 4);
    t.colorBar->setGeometry(x, 2, 9 + colorWidth + 14, h);
    // The second frame follows the colour tool bar.
    const double left = ml::secondFrameLeft(tw(t.colorBar->x()), tw(t.colorArrow->x()));
    t.contrastFrame->setGeometry(px(left), 2, 132, h);
    // The slider starts right of the colour arrow, which the frame's rule
    // lets reach into the frame; its value at its right, in the frame.
    const int valueWidth = t.contrastValue->fontMetrics().horizontalAdvance(QStringLiteral("-127")) + 4;
    const int sliderLeft = qMax(4, t.colorBar->x() + t.colorArrow->geometry().right() + 1 - t.contrastFrame->x());
    t.contrastSlider->setGeometry(sliderLeft, 0, 128 - valueWidth - 2 - sliderLeft, h);
    t.contrastValue->setGeometry(128 - valueWidth, 0, valueWidth, h - 12);
    // The colour arrow reaches into the contrast frame: it stays on top, so
    // that a click on it reaches it.
    t.colorBar->raise();
    // The shape strength after the contrast, on the same row.
    const int labelWidth = t.structureLabel->sizeHint().width();
    const int boxWidth = t.structureBox->sizeHint().width();
    t.structureFrame->setGeometry(t.contrastFrame->geometry().right() + 5, 2, labelWidth + boxWidth + 14, h);
    t.structureLabel->setGeometry(4, y, labelWidth, comboH);
    t.structureBox->setGeometry(labelWidth + 8, y, boxWidth, comboH);
}

void placeMethodInMainBar(MainBar &m, TextBar &t)
{
    t.methodFrame->setParent(m.toolBar);
    m.methodColumn = t.methodFrame;
    // It belongs to the text bar: shown with it only.
    t.methodFrame->setVisible(!t.toolBar->isHidden());
    QObject::connect(t.toolBar, &QToolBar::visibilityChanged, t.methodFrame, &QWidget::setVisible);
}

QList<QWidget *> chainForTab(const MainBar &m, const TextBar &t, const FigureBar &f)
{
    // Reading order: the main bar left to right (the method list below the
    // preview box), then the option bar shown.
    const QList<QWidget *> order = {
        m.openButton,        m.masButton,     m.modeList,          m.goButton,     m.resultButton,
        m.autoPreview,       t.methodList,    m.helpButton,        t.fontList,     t.grid.sizeList,
        t.grid.columns,      t.grid.rows,     t.grid.proportional, t.colorButton,  t.colorArrow,
        t.contrastSlider,    t.structureBox,  f.grid.sizeList,     f.grid.columns, f.grid.rows,
        f.grid.proportional, f.colorModeList, f.figureButton,      f.figureArrow,  f.fillBox};
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
    return order;
}

void layoutFigureBar(FigureBar &f)
{
    const int h = kOptionBarHeight - 4;
    const int comboH = 24;
    const int y = (h - comboH) / 2;
    int x = 4;
    x = placeGridFields(f.grid, x, y, comboH, h) + 6;
    f.colorModeList->setGeometry(x, y, listWidth(f.colorModeList, 150), comboH);
    x = f.colorModeList->geometry().right() + 6;
    f.optionsFrame->setGeometry(0, 2, x, h);
    f.figureButton->setGeometry(0, 0, 36, h);
    f.figureArrow->setGeometry(36, 0, 14, h);
    f.figureToolBar->setGeometry(x, 2, 50, h);
    f.fillBox->setGeometry(x + 58, 2, f.fillBox->sizeHint().width() + 4, h);
}

void layoutMainBarOnResize(MainBar &m, int windowWidth)
{
    const ml::ResizePlacement p = ml::placeOnResize(tw(windowWidth), tw(m.helpButton->width()), m.progressLeftTwips);
    m.helpBar->move(px(p.helpBarLeft) - 9, m.helpBar->y());
    // A window too narrow for the bar keeps the last width that fitted.
    if (p.progressWidth > 0)
        m.progressBar->resize(px(p.progressWidth), m.progressBar->height());
}

QSize mainWindowMinimum(const MainBar &m, const TextBar &t, const FigureBar &f, int workAreaHeight)
{
    // The main bar: its controls, then the progress bar from its left edge,
    // then the help bar at its distance from the right edge.
    const int others = rightmostChild(m.toolBar, {m.helpBar, m.progressBar}) + 9;
    const int progressEnd = px(m.progressLeftTwips + 15) + kMinProgressWidth;
    const int mainWidth = qMax(others, progressEnd) + m.helpButton->width() + px(330);
    const int textWidth = rightmostChild(t.toolBar, {}) + 4;
    const int figureWidth = rightmostChild(f.toolBar, {}) + 4;
    const int width = std::max({mainWidth, textWidth, figureWidth});
    const int bars = kMainBarHeight + kOptionBarHeight;
    return QSize(width, bars + workAreaHeight);
}

} // namespace tessilor
