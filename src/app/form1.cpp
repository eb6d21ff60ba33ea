#include "app/form1.h"

#include "app/aboutdialog.h"
#include "app/appicons.h"
#include "app/colorpicker.h"
#include "app/figurepicker.h"
#include "app/startup.h"
#include "app/textform.h"
#include "engine/fontmodule.h"
#include "engine/globals.h"
#include "engine/mainlayout.h"
#include "engine/numparse.h"
#include "engine/options.h"
#include "engine/paths.h"
#include "engine/settings.h"
#include "platform/comdlgandfuncs.h"
#include "platform/folders.h"
#include "view/helpwindow.h"
#include "view/imagewindow.h"
#include "view/printwindow.h"
#include "widgets/panel3d.h"
#include "widgets/progress.h"


#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QScreen>
#include <QSlider>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>

#include <exception>

namespace tessilor {

namespace ml = mainlayout;

namespace {

const QString kCaption = QStringLiteral("Quar Image Tessilor");
// Design size of the main window, twips.
constexpr double kDesignWidth = 12900;
constexpr double kDesignHeight = 7800;

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

QString openErrorMessage(const QString &fname)
{
    return QStringLiteral("Ошибка открытия файла ") + getName(fname) + QStringLiteral(".") +
           QStringLiteral("\r\n") +
           QStringLiteral("Возможно Файл имеет формат отличный от BMP/JPEG/GIF, имеет не поддреживаемую "
                          "степень сжатия или превышает допустимые размеры.");
}

QToolButton *makeButton(QWidget *parent, const QString &key, const QString &caption, const QString &tip)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(key);
    b->setProperty("key", key);
    b->setProperty("imageKey", key);
    b->setText(caption);
    b->setToolTip(tip);
    b->setIcon(appIcon(key));
    b->setIconSize(QSize(20, 20));
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

QWidget *makePlaceholder(QWidget *parent, int width)
{
    auto *w = new QWidget(parent);
    w->setFixedWidth(width);
    w->setAttribute(Qt::WA_TransparentForMouseEvents);
    return w;
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

} // namespace

Form1::Form1(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("Form1"));
    setAcceptDrops(true);
    m_mdi = new QMdiArea(this);
    m_mdi->setObjectName(QStringLiteral("MDIClient"));
    m_mdi->setBackground(palette().dark());
    setCentralWidget(m_mdi);
    setWindowIcon(appIcon(QStringLiteral("app")));

    buildMainToolbar();
    addToolBarBreak(Qt::TopToolBarArea);
    buildTextBar();
    buildFigureBar();
    Form_Load();
}

Form1::~Form1()
{
    if (m_figures)
        delete m_figures.data();
    if (m_colorMenu)
        delete m_colorMenu.data();
}

void Form1::registerControl(QWidget *widget)
{
    m_controls.append(widget);
}

// ---------------------------------------------------------------------------
// Building the bars

void Form1::buildMainToolbar()
{
    Toolbar1 = makeBar(this, QStringLiteral("Toolbar1"));
    Toolbar1->setFixedHeight(kMainBarHeight);
    addToolBar(Qt::TopToolBarArea, Toolbar1);
    registerControl(Toolbar1);

    m_openButton = makeButton(Toolbar1, QStringLiteral("open"), QStringLiteral("Открыть"),
                              QStringLiteral("Открыть изображение"));
    m_openMenu = new QMenu(m_openButton);
    m_openMenu->setObjectName(QStringLiteral("openMenu"));
    m_lastFileEntry = m_openMenu->addAction(QStringLiteral("Пусто"));
    m_lastFileEntry->setObjectName(QStringLiteral("lastFile"));
    m_lastFileEntry->setEnabled(false);
    m_openButton->setMenu(m_openMenu);
    m_openButton->setPopupMode(QToolButton::MenuButtonPopup);
    connect(m_openMenu, &QMenu::triggered, this, &Form1::Toolbar1_ButtonMenuClick);

    m_masButton = makeButton(Toolbar1, QStringLiteral("mas"), QStringLiteral("Масштаб"),
                             QStringLiteral("Масштаб изображения"));
    m_goButton = makeButton(Toolbar1, QStringLiteral("go"), QStringLiteral("Пуск"),
                            QStringLiteral("Символизировать изображение"));
    m_resultButton = makeButton(Toolbar1, QStringLiteral("result"), QStringLiteral("Результат"),
                                QStringLiteral("Сохранение в файл/передача в редактор"));
    m_resultButton->setProperty("imageKey", QStringLiteral("save"));
    m_resultButton->setIcon(appIcon(QStringLiteral("save")));
    m_resultMenu = new QMenu(m_resultButton);
    m_resultMenu->setObjectName(QStringLiteral("resultMenu"));
    const QList<QPair<QString, QString>> entries = {
        {QStringLiteral("tofile"), QStringLiteral("Сохранить в файл")},
        {QStringLiteral("tocl"), QStringLiteral("Скопировать в буфер обмена")},
        {QStringLiteral("toword"), QStringLiteral("Передать в редактор")},
        {QStringLiteral("separ1"), QStringLiteral("-")},
        {QStringLiteral("print"), QStringLiteral("Вывести на печать")},
    };
    for (const auto &e : entries) {
        if (e.second == QLatin1String("-")) {
            m_resultMenu->addSeparator()->setObjectName(e.first);
            continue;
        }
        QAction *a = m_resultMenu->addAction(e.second);
        a->setObjectName(e.first);
        a->setData(e.first);
    }
    m_resultButton->setMenu(m_resultMenu);
    m_resultButton->setPopupMode(QToolButton::MenuButtonPopup);
    connect(m_resultMenu, &QMenu::triggered, this, &Form1::Toolbar1_ButtonMenuClick);

    for (QToolButton *b : {m_openButton, m_masButton, m_goButton, m_resultButton}) {
        const QString key = b->property("key").toString();
        connect(b, &QToolButton::clicked, this, [this, key] { Toolbar1_ButtonClick(key); });
    }

    // Positions 1..17 of the bar; placeholders reserve room for the mode
    // frame (6..12) and mark where the progress bar starts (17).
    auto separator = [this] {
        auto *p = new QWidget(Toolbar1);
        p->setFixedWidth(9);
        auto *line = new Panel3d(p);
        line->setGeometry(4, 4, 2, kMainBarHeight - 8);
        return p;
    };
    m_slots = {nullptr,
               m_openButton,
               m_masButton,
               separator(),
               makePlaceholder(Toolbar1, 0),
               makePlaceholder(Toolbar1, 0)};
    for (int i = 6; i <= 12; ++i)
        m_slots.append(makePlaceholder(Toolbar1, 25));
    m_slots.append(separator());     // 13
    m_slots.append(m_goButton);      // 14
    m_slots.append(m_resultButton);  // 15
    m_slots.append(separator());     // 16
    m_slots.append(makePlaceholder(Toolbar1, 0)); // 17

    Frame1 = new QFrame(Toolbar1);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    registerControl(Frame1);
    Label11 = new QLabel(QStringLiteral("Вид символизации:"), Frame1);
    Label11->setObjectName(QStringLiteral("Label11"));
    registerControl(Label11);
    ImageCombo1 = new QComboBox(Frame1);
    ImageCombo1->setObjectName(QStringLiteral("ImageCombo1"));
    ImageCombo1->setToolTip(QStringLiteral("Способ символизации изображения"));
    registerControl(ImageCombo1);
    connect(ImageCombo1, &QComboBox::activated, this, [this](int) { ImageCombo1_Click(); });

    Progress1 = new Progress(Toolbar1);
    Progress1->setObjectName(QStringLiteral("Progress1"));
    Progress1->hide();
    registerControl(Progress1);

    Toolbar6 = makeBar(Toolbar1, QStringLiteral("Toolbar6"));
    Toolbar6->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    auto *helpSep = new QWidget(Toolbar6);
    helpSep->setFixedWidth(9);
    (new Panel3d(helpSep))->setGeometry(4, 4, 2, kMainBarHeight - 12);
    m_helpButton = makeButton(Toolbar6, QStringLiteral("help"), QStringLiteral("Справка"),
                              QStringLiteral("О программе"));
    m_helpMenu = new QMenu(m_helpButton);
    m_helpMenu->setObjectName(QStringLiteral("helpMenu"));
    QAction *spr = m_helpMenu->addAction(QStringLiteral("Справка"));
    spr->setObjectName(QStringLiteral("spr"));
    spr->setData(QStringLiteral("spr"));
    QAction *abt = m_helpMenu->addAction(QStringLiteral("О программе"));
    abt->setObjectName(QStringLiteral("abt"));
    abt->setData(QStringLiteral("abt"));
    m_helpButton->setMenu(m_helpMenu);
    m_helpButton->setPopupMode(QToolButton::MenuButtonPopup);
    connect(m_helpButton, &QToolButton::clicked, this, [this] { ShowHelp(); });
    connect(m_helpMenu, &QMenu::triggered, this,
            [this](QAction *a) { Toolbar6_ButtonMenuClick(a->data().toString()); });
    helpSep->setGeometry(0, 0, 9, kMainBarHeight - 4);
    Toolbar6->installEventFilter(this);
    m_helpButton->installEventFilter(this);
    Toolbar6->setProperty("buttons", QVariant::fromValue(QList<QWidget *>{helpSep, m_helpButton}));
    registerControl(Toolbar6);

    QList<QWidget *> buttons;
    for (int i = 1; i < m_slots.size(); ++i)
        buttons.append(m_slots[i]);
    Toolbar1->setProperty("buttons", QVariant::fromValue(buttons));
}

void Form1::buildTextBar()
{
    Toolbar2 = makeBar(this, QStringLiteral("Toolbar2"));
    Toolbar2->setFixedHeight(kOptionBarHeight);
    addToolBar(Qt::TopToolBarArea, Toolbar2);
    registerControl(Toolbar2);

    Frame2 = new QFrame(Toolbar2);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    registerControl(Frame2);
    ImageCombo2 = new QComboBox(Frame2);
    ImageCombo2->setObjectName(QStringLiteral("ImageCombo2"));
    ImageCombo2->setToolTip(QStringLiteral("Шрифт как источник буквенных символов"));
    registerControl(ImageCombo2);
    connect(ImageCombo2, &QComboBox::activated, this, [this](int) { ImageCombo2_Click(); });
    Combo1 = new QComboBox(Frame2);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->setToolTip(QStringLiteral("Размер символов"));
    registerControl(Combo1);
    Label2 = new QLabel(QStringLiteral("Разрешение:                 X"), Frame2);
    Label2->setObjectName(QStringLiteral("Label2"));
    registerControl(Label2);
    Text1 = new QLineEdit(QStringLiteral("80"), Frame2);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setToolTip(QStringLiteral("Кол-во символов по горизонтали"));
    registerControl(Text1);
    Text2 = new QLineEdit(QStringLiteral("120"), Frame2);
    Text2->setObjectName(QStringLiteral("Text2"));
    Text2->setToolTip(QStringLiteral("Кол-во символов по вертикали"));
    registerControl(Text2);
    Check1 = new QCheckBox(QStringLiteral("Пропорционально"), Frame2);
    Check1->setObjectName(QStringLiteral("Check1"));
    registerControl(Check1);

    Toolbar5 = makeBar(Toolbar2, QStringLiteral("Toolbar5"));
    Toolbar5->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    auto *sep5 = new QWidget(Toolbar5);
    (new Panel3d(sep5))->setGeometry(4, 3, 2, kOptionBarHeight - 10);
    sep5->setGeometry(0, 0, 9, kOptionBarHeight - 4);
    m_colorButton = new QToolButton(Toolbar5);
    m_colorButton->setObjectName(QStringLiteral("color"));
    m_colorButton->setText(QStringLiteral(" Цвет"));
    m_colorButton->setToolTip(QStringLiteral("Цвет текста"));
    m_colorButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_colorButton->setIconSize(QSize(16, 16));
    m_colorButton->setAutoRaise(true);
    m_colorButton->setFocusPolicy(Qt::NoFocus);
    m_colorArrow = new QToolButton(Toolbar5);
    m_colorArrow->setObjectName(QStringLiteral("colorArrow"));
    m_colorArrow->setArrowType(Qt::DownArrow);
    m_colorArrow->setToolTip(QStringLiteral("Цвет текста"));
    m_colorArrow->setAutoRaise(true);
    m_colorArrow->setFocusPolicy(Qt::NoFocus);
    connect(m_colorButton, &QToolButton::clicked, this, &Form1::showColorPicker);
    connect(m_colorArrow, &QToolButton::clicked, this, &Form1::showColorPicker);
    Toolbar5->setProperty("buttons", QVariant::fromValue(QList<QWidget *>{sep5, m_colorButton, m_colorArrow}));
    registerControl(Toolbar5);

    Frame3 = new QFrame(Toolbar2);
    Frame3->setObjectName(QStringLiteral("Frame3"));
    registerControl(Frame3);
    Slider1 = new QSlider(Qt::Horizontal, Frame3);
    Slider1->setObjectName(QStringLiteral("Slider1"));
    Slider1->setToolTip(QStringLiteral("Контраст"));
    Slider1->setRange(-127, 127);
    Slider1->setValue(0);
    Slider1->setSingleStep(1);
    Slider1->setPageStep(5);
    Slider1->setTickPosition(QSlider::TicksBelow);
    Slider1->setTickInterval(127);
    registerControl(Slider1);

    for (QLineEdit *t : {Text1, Text2}) {
        t->setProperty("tag", QString());
        t->installEventFilter(this);
        connect(t, &QLineEdit::textChanged, this, [this, t] { gridFieldChanged(t); });
    }
}

void Form1::buildFigureBar()
{
    Toolbar3 = makeBar(this, QStringLiteral("Toolbar3"));
    Toolbar3->setFixedHeight(kOptionBarHeight);
    addToolBar(Qt::TopToolBarArea, Toolbar3);
    registerControl(Toolbar3);

    Frame4 = new QFrame(Toolbar3);
    Frame4->setObjectName(QStringLiteral("Frame4"));
    registerControl(Frame4);
    Combo2 = new QComboBox(Frame4);
    Combo2->setObjectName(QStringLiteral("Combo2"));
    Combo2->setToolTip(QStringLiteral("Размер символов"));
    registerControl(Combo2);
    Label1 = new QLabel(QStringLiteral("Разрешение:                 X"), Frame4);
    Label1->setObjectName(QStringLiteral("Label1"));
    registerControl(Label1);
    Text4 = new QLineEdit(QStringLiteral("80"), Frame4);
    Text4->setObjectName(QStringLiteral("Text4"));
    Text4->setToolTip(QStringLiteral("Кол-во символов по горизонтали"));
    registerControl(Text4);
    Text5 = new QLineEdit(QStringLiteral("120"), Frame4);
    Text5->setObjectName(QStringLiteral("Text5"));
    Text5->setToolTip(QStringLiteral("Кол-во символов по вертикали"));
    registerControl(Text5);
    Check2 = new QCheckBox(QStringLiteral("Пропорционально"), Frame4);
    Check2->setObjectName(QStringLiteral("Check2"));
    registerControl(Check2);
    ImageCombo3 = new QComboBox(Frame4);
    ImageCombo3->setObjectName(QStringLiteral("ImageCombo3"));
    ImageCombo3->setToolTip(QStringLiteral("Способ символизации изображения"));
    registerControl(ImageCombo3);

    Toolbar4 = makeBar(Toolbar3, QStringLiteral("Toolbar4"));
    m_figureButton = new QToolButton(Toolbar4);
    m_figureButton->setObjectName(QStringLiteral("figure"));
    m_figureButton->setToolTip(QStringLiteral("Фигура из которой будет формироваться изображение"));
    m_figureButton->setIconSize(QSize(28, 28));
    m_figureButton->setAutoRaise(true);
    m_figureButton->setFocusPolicy(Qt::NoFocus);
    m_figureArrow = new QToolButton(Toolbar4);
    m_figureArrow->setObjectName(QStringLiteral("figureArrow"));
    m_figureArrow->setArrowType(Qt::DownArrow);
    m_figureArrow->setToolTip(m_figureButton->toolTip());
    m_figureArrow->setAutoRaise(true);
    m_figureArrow->setFocusPolicy(Qt::NoFocus);
    connect(m_figureButton, &QToolButton::clicked, this, &Form1::showFigurePicker);
    connect(m_figureArrow, &QToolButton::clicked, this, &Form1::showFigurePicker);
    Toolbar4->setProperty("buttons", QVariant::fromValue(QList<QWidget *>{m_figureButton, m_figureArrow}));
    registerControl(Toolbar4);

    for (QLineEdit *t : {Text4, Text5}) {
        t->setProperty("tag", QString());
        t->installEventFilter(this);
        connect(t, &QLineEdit::textChanged, this, [this, t] { gridFieldChanged(t); });
    }
}

// ---------------------------------------------------------------------------
// Load sequence

void Form1::Form_Load()
{
    // Every step runs even when an earlier one failed.
    auto step = [](auto &&fn) {
        try {
            fn();
        } catch (...) {
        }
    };
    SettingsStore store;

    step([&] { setWindowTitle(kCaption + u' ' + QStringLiteral(TESSILOR_VERSION)); });
    step([&] {
        if (globals::TempTextPath.isEmpty())
            globals::initPaths(dataFolder(), programFilesFolder());
    });
    step([&] {
        globals::FigureFontName = QStringLiteral("Arial");
        globals::FigureFontName2 = QStringLiteral("Arial");
    });
    step([&] {
        QScreen *scr = screen() ? screen() : QGuiApplication::primaryScreen();
        const QSize s = scr ? scr->geometry().size() : QSize(1024, 768);
        const WindowGeometry g =
            tessilor::restoreGeometry(store, QSizeF(tw(s.width()), tw(s.height())), QSizeF(kDesignWidth, kDesignHeight));
        resize(px(g.width), px(g.height));
        move(px(g.left), px(g.top));
        m_storedState = g.state;
    });
    StoredOptions options;
    step([&] { options.read(store, globals::FigureFontName); });
    step([&] { layoutAtLoad(); });
    step([&] {
        const QStringList modes = modeNames();
        ImageCombo1->addItem(appIcon(QStringLiteral("text")), modes.value(0));
        ImageCombo1->addItem(appIcon(QStringLiteral("fig")), modes.value(1));
        ImageCombo1->setCurrentIndex(options.type - 1);
    });
    step([&] { setLastFileEntry(options.lastFile); });
    step([&] {
        int n = 1;
        for (const RampFont &f : rampFonts()) {
            ImageCombo2->addItem(appIcon(QStringLiteral("font%1").arg(n)), f.face, f.ramp);
            ++n;
        }
        ImageCombo2->setCurrentIndex(options.font - 1);
    });
    step([&] {
        const QStringList modes = colorModeNames();
        ImageCombo3->addItem(appIcon(QStringLiteral("color")), modes.value(0));
        ImageCombo3->addItem(appIcon(QStringLiteral("gray")), modes.value(1));
        ImageCombo3->setCurrentIndex(0);
    });
    step([&] { m_nonClientHeight = float(tw(frameGeometry().height() - height())); });
    step([&] { Toolbar1->show(); });
    step([&] { ImageCombo1_Click(); });
    step([&] {
        for (int size : sizeList()) {
            Combo1->addItem(QString::number(size));
            Combo2->addItem(QString::number(size));
        }
        Combo1->setCurrentIndex(options.textSize - 1);
        Combo2->setCurrentIndex(options.figureSize - 1);
    });
    step([&] {
        Check1->setChecked(options.prop1 == 1);
        Check2->setChecked(options.prop2 == 1);
    });
    step([&] {
        // A missing or unreadable file gives an empty family name.
        globals::FigureFontName = InstallFont(globals::FigureFontFile1);
        globals::FigureFontName2 = InstallFont(globals::FigureFontFile2);
    });
    step([&] {
        const QString family = store.read(keys::FigureFont, globals::FigureFontName);
        setFigure(family, options.figureCode);
    });
    step([&] { setResultKey(options.lastResult, options.lastResultTip); });
    step([&] { setColorSwatch(1); });
    step([&] { CheckOpen(); });
    layoutOnResize();
}

void Form1::showAsStored()
{
    if (m_storedState == 2)
        showMaximized();
    else
        showNormal();
    // The frame is known only once the window is on screen.
    m_nonClientHeight = float(tw(frameGeometry().height() - height()));
    layoutOnResize();
}

void Form1::bringToFront()
{
    if (isMinimized())
        setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

// ---------------------------------------------------------------------------
// Layout

void Form1::layoutAtLoad()
{
    // Positions 1..17 left to right.
    int x = 4;
    const int h = kMainBarHeight - 4;
    for (int i = 1; i < m_slots.size(); ++i) {
        QWidget *w = m_slots[i];
        int width = w->minimumWidth() == w->maximumWidth() ? w->maximumWidth() : w->sizeHint().width();
        if (auto *b = qobject_cast<QToolButton *>(w)) {
            width = qMax(b->sizeHint().width(), 56);
            if (b->menu())
                width += 6;
        }
        w->setGeometry(x, 2, width, h);
        x += width;
    }
    const ml::ToolbarPlacement p = ml::placeToolbar(tw(m_slots[6]->x()), tw(m_slots[13]->x()),
                                                    tw(m_slots[17]->x()), tw(m_slots[2]->height()));
    Frame1->setGeometry(px(p.modeFrameLeft), 0, px(p.modeFrameWidth), qMin(px(p.modeFrameHeight), kMainBarHeight));
    Label11->setGeometry(4, 2, Frame1->width() - 8, 16);
    ImageCombo1->setGeometry(4, 19, Frame1->width() - 8, 22);
    m_progressLeftTwips = p.progressLeft;
    Progress1->setGeometry(px(p.progressLeft), (kMainBarHeight - 18) / 2, Progress1->sizeHint().width(), 18);

    const int helpWidth = qMax(m_helpButton->sizeHint().width() + 14, 70);
    m_helpButton->setGeometry(9, 2, helpWidth, h);
    Toolbar6->setGeometry(0, 0, 9 + helpWidth, kMainBarHeight - 2);

    layoutTextBar();
    layoutFigureBar();
}

namespace {
// Places the two count fields in the gap of a "Разрешение: ... X" label.
void placeResolution(QLabel *label, QLineEdit *cols, QLineEdit *rows, int x, int h)
{
    const QFontMetrics fm(label->font());
    const int labelWidth = fm.horizontalAdvance(label->text()) + 2;
    const int head = fm.horizontalAdvance(QStringLiteral("Разрешение: "));
    const int gap = labelWidth - head - fm.horizontalAdvance(QStringLiteral("X")) - 4;
    const int fieldH = 22;
    const int y = (h - fieldH) / 2;
    label->setGeometry(x, 0, labelWidth, h);
    cols->setGeometry(x + head, y, qMax(gap, 36), fieldH);
    rows->setGeometry(x + labelWidth + 3, y, qMax(gap, 36), fieldH);
}
} // namespace

void Form1::layoutTextBar()
{
    const int h = kOptionBarHeight - 4;
    const int comboH = 24;
    const int y = (h - comboH) / 2;
    int x = 4;
    ImageCombo2->setGeometry(x, y, 146, comboH);
    x += 150;
    Combo1->setGeometry(x, y, 52, comboH);
    x += 60;
    placeResolution(Label2, Text1, Text2, x, h);
    x = Text2->geometry().right() + 8;
    Check1->setGeometry(x, 0, Check1->sizeHint().width() + 4, h);
    x = Check1->geometry().right() + 4;
    Frame2->setGeometry(0, 2, x, h);

    const int colorWidth = m_colorButton->fontMetrics().horizontalAdvance(m_colorButton->text()) +
                           m_colorButton->iconSize().width() + 18;
    m_colorButton->setGeometry(9, 2, colorWidth, h - 4);
    m_colorArrow->setGeometry(9 + colorWidth, 2, 14, h - 4);
    Toolbar5->setGeometry(x, 2, 9 + colorWidth + 14, h);
    // The second frame follows the colour tool bar.
    const double left = ml::secondFrameLeft(tw(Toolbar5->x()), tw(m_colorArrow->x()));
    Frame3->setGeometry(px(left), 2, 132, h);
    Slider1->setGeometry(4, 0, 124, h);
}

void Form1::layoutFigureBar()
{
    const int h = kOptionBarHeight - 4;
    const int comboH = 24;
    const int y = (h - comboH) / 2;
    int x = 4;
    Combo2->setGeometry(x, y, 52, comboH);
    x += 60;
    placeResolution(Label1, Text4, Text5, x, h);
    x = Text5->geometry().right() + 8;
    Check2->setGeometry(x, 0, Check2->sizeHint().width() + 4, h);
    x = Check2->geometry().right() + 6;
    ImageCombo3->setGeometry(x, y, 150, comboH);
    x = ImageCombo3->geometry().right() + 6;
    Frame4->setGeometry(0, 2, x, h);
    m_figureButton->setGeometry(0, 0, 36, h);
    m_figureArrow->setGeometry(36, 0, 14, h);
    Toolbar4->setGeometry(x, 2, 50, h);
}

void Form1::layoutOnResize()
{
    if (!Toolbar6 || !m_helpButton)
        return;
    const ml::ResizePlacement p =
        ml::placeOnResize(tw(width()), tw(m_helpButton->width()), m_progressLeftTwips);
    Toolbar6->move(px(p.helpBarLeft) - 9, Toolbar6->y());
    // A window too narrow for the bar keeps the last width that fitted.
    if (p.progressWidth > 0)
        Progress1->resize(px(p.progressWidth), Progress1->height());
}

void Form1::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    layoutOnResize();
}

// ---------------------------------------------------------------------------
// Option controls

bool Form1::textBarVisible() const
{
    return !Toolbar2->isHidden();
}

bool Form1::figureBarVisible() const
{
    return !Toolbar3->isHidden();
}

void Form1::ImageCombo1_Click()
{
    const int index = ImageCombo1->currentIndex() + 1;
    if (index == 1) {
        Toolbar2->show();
        Toolbar3->hide();
    } else if (index == 2) {
        Toolbar3->show();
        Toolbar2->hide();
    }
}

void Form1::ImageCombo2_Click()
{
    const int forced = fixedSizeEntry(ImageCombo2->currentIndex() + 1);
    if (forced > 0) {
        Combo1->setEnabled(false);
        Combo1->setCurrentIndex(forced - 1);
    } else {
        Combo1->setEnabled(true);
    }
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    if (auto *field = qobject_cast<QLineEdit *>(watched)) {
        if (event->type() == QEvent::FocusIn)
            field->setProperty("tag", QStringLiteral("focus"));
        else if (event->type() == QEvent::FocusOut)
            field->setProperty("tag", QString());
    } else if ((watched == Toolbar6 || watched == m_helpButton) && event->type() == QEvent::MouseButtonPress) {
        auto *me = static_cast<QMouseEvent *>(event);
        if (me->button() == Qt::RightButton) {
            showAbout();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void Form1::gridFieldChanged(QLineEdit *field)
{
    if (field->property("tag").toString() != QLatin1String("focus"))
        return;
    ml::GridField which;
    QLineEdit *partner = nullptr;
    QCheckBox *box = nullptr;
    if (field == Text1) {
        which = ml::GridField::Text1;
        partner = Text2;
        box = Check1;
    } else if (field == Text2) {
        which = ml::GridField::Text2;
        partner = Text1;
        box = Check1;
    } else if (field == Text4) {
        which = ml::GridField::Text4;
        partner = Text5;
        box = Check2;
    } else {
        which = ml::GridField::Text5;
        partner = Text4;
        box = Check2;
    }
    if (!box->isChecked())
        return;
    if (const auto text = ml::coupledPartnerText(which, field->text(), globals::ImageAspect))
        partner->setText(*text);
}

void Form1::onDisplaySizeChanged(int pw, int ph)
{
    const ml::PublishedSize s = ml::publishedSize(pw, ph);
    Text1->setText(s.text1);
    Text2->setText(s.text2);
    Text4->setText(s.text4);
    Text5->setText(s.text5);
}

QString Form1::imageKey(const QToolButton *button)
{
    return button ? button->property("imageKey").toString() : QString();
}

QToolButton *Form1::button(const QString &key) const
{
    if (key == QLatin1String("open"))
        return m_openButton;
    if (key == QLatin1String("mas"))
        return m_masButton;
    if (key == QLatin1String("go"))
        return m_goButton;
    if (key == QLatin1String("result"))
        return m_resultButton;
    return nullptr;
}

void Form1::setColorSwatch(int index)
{
    if (index < 1 || index > m_swatches.count())
        return;
    m_colorSwatch = index;
    m_colorButton->setIcon(QIcon(QPixmap::fromImage(m_swatches.image(index))));
}

quint32 Form1::textColor() const
{
    return swatchColor(m_swatches.image(m_colorSwatch));
}

QString Form1::figureKey() const
{
    return m_figureButton->property("key").toString();
}

QString Form1::figureFamily() const
{
    return m_figureButton->property("tag").toString();
}

void Form1::setFigure(const QString &family, int code)
{
    const QColor face = palette().color(QPalette::Button);
    const QImage preview = renderFigurePreview(family, code, face);
    m_figureButton->setIcon(QIcon(QPixmap::fromImage(preview)));
    m_figureButton->setProperty("imageKey", figureImageKey(family, code));
    m_figureButton->setProperty("key", figureButtonKey(code));
    m_figureButton->setProperty("tag", family);
}

void Form1::setResultKey(const QString &key, const QString &tip)
{
    m_resultButton->setProperty("imageKey", key);
    m_resultButton->setIcon(appIcon(key));
    m_resultButton->setToolTip(tip);
}

void Form1::setResultButtonEnabled(bool enabled)
{
    m_resultButton->setEnabled(enabled);
}

// ---------------------------------------------------------------------------
// Pickers and help

QWidget *Form1::figurePicker() const
{
    return m_figures.data();
}

QWidget *Form1::colorPicker() const
{
    return m_colorMenu.data();
}

void Form1::showFigurePicker()
{
    if (m_figures)
        m_figures->close();
    auto *picker = new Figures(this);
    m_figures = picker;
    connect(picker, &Figures::figurePicked, this, [this](const QString &family, int code) { setFigure(family, code); });
    const QRect frame = frameGeometry();
    const double y = ml::pickerAnchorY(tw(frame.top()), m_nonClientHeight, tw(Toolbar1->height()),
                                       textBarVisible() ? tw(Toolbar2->height()) : 0,
                                       figureBarVisible() ? tw(Toolbar3->height()) : 0);
    const ml::PickerPlace p = ml::figurePickerPlace(tw(frame.left()), y);
    picker->move(px(p.left), px(p.top));
    picker->show();
}

void Form1::showColorPicker()
{
    if (m_colorMenu)
        m_colorMenu->close();
    auto *picker = new ColorMenu(&m_swatches, this);
    m_colorMenu = picker;
    connect(picker, &ColorMenu::swatchPicked, this, [this](int index) { setColorSwatch(index); });
    const QRect frame = frameGeometry();
    const double y = ml::pickerAnchorY(tw(frame.top()), m_nonClientHeight, tw(Toolbar1->height()),
                                       textBarVisible() ? tw(Toolbar2->height()) : 0,
                                       figureBarVisible() ? tw(Toolbar3->height()) : 0);
    const ml::PickerPlace p =
        ml::colorPickerPlace(tw(frame.left()), tw(Toolbar5->mapTo(this, QPoint(0, 0)).x()), y);
    picker->move(px(p.left), px(p.top));
    picker->show();
}

void Form1::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        // A click back into the main window dismisses the pickers.
        if (m_figures && !m_figures->isActiveWindow())
            m_figures->close();
        if (m_colorMenu && !m_colorMenu->isActiveWindow())
            m_colorMenu->close();
    }
}

QString Form1::helpFilePath()
{
    return helpContentsPath();
}

void Form1::ShowHelp()
{
    // The pages are shown in the program's own help window: a desktop
    // often has nothing that opens a compiled help file.
    if (!showHelpWindow(this))
        QMessageBox::warning(this, kCaption, QStringLiteral("Файл справки отсутствует"));
}

void Form1::showAbout()
{
    AboutDialog about(this);
    connect(&about, &AboutDialog::helpRequested, this, &Form1::ShowHelp);
    about.exec();
}

void Form1::Toolbar6_ButtonMenuClick(const QString &key)
{
    if (key == QLatin1String("spr"))
        ShowHelp();
    else if (key == QLatin1String("abt"))
        showAbout();
}

// ---------------------------------------------------------------------------
// Opening

PicForm *Form1::picForm()
{
    if (!m_picForm) {
        auto *pf = new PicForm;
        pf->setObjectName(QStringLiteral("PicForm"));
        m_mdi->addSubWindow(pf);
        pf->hide();
        connect(pf, &PicForm::displaySizeChanged, this, &Form1::onDisplaySizeChanged);
        connect(pf, &PicForm::unloaded, this, &Form1::onImageUnloaded);
        m_picForm = pf;
    }
    return m_picForm;
}

TextForm *Form1::textForm()
{
    if (!m_textForm) {
        auto *tf = new TextForm(this);
        m_mdi->addSubWindow(tf);
        tf->Form_Load();
        tf->hide();
        m_textForm = tf;
    }
    return m_textForm;
}

void Form1::setLastFileEntry(const QString &path)
{
    if (path.trimmed().isEmpty() || !QFileInfo::exists(path))
        return;
    m_lastFileEntry->setData(path);
    m_lastFileEntry->setText(getName(path));
    m_lastFileEntry->setEnabled(true);
}

void Form1::onImageUnloaded(const QString &path, bool fileStillExists)
{
    if (fileStillExists)
        setLastFileEntry(path);
    if (!m_unloaded)
        CheckOpen();
}

void Form1::OpenFile()
{
    SettingsStore store;
    const QString desktop = GetSpecialFolder(CSIDL_DESKTOPDIRECTORY);
    QString folder = store.read(keys::LastDir, desktop);
    {
        const QDir dir(folder);
        if (!dir.exists() || dir.entryList(QDir::Files | QDir::Hidden).isEmpty())
            folder = getPath(folder);
    }
    FilterTable filters;
    filters.entries = {{QStringLiteral("Изображение (Jpeg, Bmp, Gif)"),
                        QStringLiteral("*.jpg;*.jpe;*.jpeg;*.bmp;*.dib;*.gif")},
                       {},
                       {}};
    QStringList names;
    if (!ShowFileDialog(1, folder, names, filters, QString(), this))
        return;
    const QString path = AddBackslash(folder) + names.value(0);
    LoadImage(path);
    store.write(keys::LastDir, getPath(path));
    store.sync();
}

bool Form1::LoadImage(const QString &fname)
{
    PicForm *pf = picForm();
    pf->hide();
    LoadError error = LoadError::None;
    bool ok = false;
    try {
        ok = pf->LoadPicture(fname, &error);
    } catch (const std::exception &) {
        ok = false;
    }
    if (ok) {
        QCoreApplication::processEvents();
        pf->show();
        pf->setSourcePath(fname);
        m_mdi->setActiveSubWindow(pf);
        return true;
    }
    // The earlier picture, if any, stays: show it again.
    if (pf->hasPicture())
        pf->show();
    QMessageBox::critical(this, kCaption, openErrorMessage(fname));
    return false;
}

void Form1::CheckOpen()
{
    if (m_inCheckOpen)
        return;
    m_inCheckOpen = true;
    const bool open = picForm()->hasPicture();
    EnableAll(open);
    m_openButton->setEnabled(true);
    Toolbar1->setEnabled(true);
    m_resultButton->setEnabled(false);
    ImageCombo1->setEnabled(true);
    Label11->setEnabled(true);
    Frame1->setEnabled(true);
    if (!open && m_picForm && m_picForm->isVisible())
        m_picForm->close();
    m_inCheckOpen = false;
}

void Form1::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasUrls() && !m_running)
        event->acceptProposedAction();
}

void Form1::dragMoveEvent(QDragMoveEvent *event)
{
    if (event->mimeData()->hasUrls() && !m_running)
        event->acceptProposedAction();
}

void Form1::dropEvent(QDropEvent *event)
{
    if (m_running)
        return;
    const QMimeData *data = event->mimeData();
    if (data->hasUrls()) {
        const QList<QUrl> urls = data->urls();
        if (!urls.isEmpty()) {
            const QString f = urls.first().toLocalFile();
            if (f.isEmpty() || !isImageExtension(getExt(f)))
                return;
            event->acceptProposedAction();
            LoadImage(f);
        }
    }
    CheckOpen();
}

// ---------------------------------------------------------------------------
// Run control

void Form1::Toolbar1_ButtonClick(const QString &key)
{
    if (key == QLatin1String("open")) {
        OpenFile();
        CheckOpen();
    } else if (key == QLatin1String("mas")) {
        const ml::PickerPlace p = ml::zoomMenuPlace(tw(Toolbar1->height()));
        const QPoint at = mapToGlobal(QPoint(px(p.left), Toolbar1->y() + px(p.top)));
        picForm()->zoomMenu()->popup(at);
    } else if (key == QLatin1String("go")) {
        if (imageKey(m_goButton) == QLatin1String("go"))
            GoChar();
        else
            StopThis();
    } else if (key == QLatin1String("result")) {
        MakeResult(imageKey(m_resultButton));
    }
}

void Form1::Toolbar1_ButtonMenuClick(QAction *entry)
{
    if (entry->parent() == m_resultMenu) {
        const QString key = entry->data().toString();
        QString output = imageKey(m_resultButton);
        if (key == QLatin1String("tofile"))
            output = QStringLiteral("save");
        else if (key == QLatin1String("toword"))
            output = QStringLiteral("word");
        else if (key == QLatin1String("tocl"))
            output = QStringLiteral("cl");
        else if (key == QLatin1String("print"))
            output = QStringLiteral("print");
        setResultKey(output, entry->text());
        Toolbar1_ButtonClick(QStringLiteral("result"));
    } else if (entry == m_lastFileEntry) {
        LoadImage(entry->data().toString());
        CheckOpen();
    }
}

void Form1::setGoButton(bool running)
{
    const QString key = running ? QStringLiteral("canc") : QStringLiteral("go");
    m_goButton->setProperty("imageKey", key);
    m_goButton->setIcon(appIcon(key));
    m_goButton->setText(running ? QStringLiteral("Стоп") : QStringLiteral("Пуск"));
}

void Form1::StopThis()
{
    globals::StopRequested = -1;
}

void Form1::EnableAll(bool en, const QString &tlb)
{
    Q_UNUSED(tlb) // every caller switches all controls
    for (QWidget *control : std::as_const(m_controls)) {
        try {
            control->setEnabled(en);
            QCoreApplication::processEvents();
            if (control->objectName().left(7) == QLatin1String("Toolbar")) {
                const auto buttons = control->property("buttons").value<QList<QWidget *>>();
                for (QWidget *b : buttons)
                    b->setEnabled(en);
            }
        } catch (...) {
        }
    }
    Toolbar6->setEnabled(true);
    m_helpButton->setEnabled(true);
}

void Form1::runConversion()
{
    TextForm *tf = textForm();
    switch (ImageCombo1->currentIndex() + 1) {
    case 1: {
        QFont font = picForm()->windowFont();
        font.setFamily(ImageCombo2->currentText());
        const double size = leadingNumber(Combo1->currentText());
        if (size > 0)
            font.setPointSizeF(size);
        picForm()->setWindowFont(font);
        tf->Characterize();
        globals::ResultKind = 3;
        break;
    }
    case 2: {
        QFont font = picForm()->windowFont();
        font.setFamily(globals::FigureFontName);
        picForm()->setWindowFont(font);
        tf->Figurize();
        globals::ResultKind = 2;
        break;
    }
    default:
        break;
    }
}

void Form1::GoChar()
{
    if (m_running)
        return;
    m_running = true;
    if (m_textForm && m_textForm->isVisible())
        m_textForm->close();
    EnableAll(false);
    setGoButton(true);
    Toolbar1->setEnabled(true);
    m_goButton->setEnabled(true);
    globals::StopRequested = 0;
    globals::ResultKind = 0;

    // One recovery per run: a failing conversion is started once more.
    QString failure;
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            runConversion();
            failure.clear();
            break;
        } catch (const RunError &e) {
            failure = e.reason;
        } catch (const std::bad_alloc &) {
            failure = QStringLiteral("недостаточно памяти.");
        } catch (const std::exception &e) {
            failure = QString::fromLocal8Bit(e.what());
        }
        if (m_closeRequested)
            break;
    }

    setGoButton(false);
    EnableAll(true);
    ImageCombo2_Click();
    if (!failure.isEmpty()) {
        if (Progress1)
            Progress1->hide();
        // Nothing to output after a failed run.
        m_resultButton->setEnabled(false);
    }
    m_running = false;
    if (!failure.isEmpty())
        QMessageBox::critical(this, kCaption,
                              QStringLiteral("Не удалось символизировать изображение: ") + failure);
    Q_EMIT runFinished();
    if (m_closeRequested)
        QTimer::singleShot(0, this, &QWidget::close);
}

void Form1::MakeResult(const QString &sposob)
{
    if (sposob == QLatin1String("save")) {
        textForm()->ToFile();
    } else if (sposob == QLatin1String("word")) {
        textForm()->ToWord();
    } else if (sposob == QLatin1String("cl")) {
        textForm()->ToClipboard();
    } else if (sposob == QLatin1String("print")) {
        // The print window, modal (without a printer it prints to a PDF file).
        TextForm *tf = textForm();
        ShowPrintWindow(printSourceFromGlobals(tf->resultFont().family(), tf->resultFont().pointSizeF(),
                                               tf->foreColor(), tf->glyph()),
                        this);
    }
}

// ---------------------------------------------------------------------------
// Unload sequence

void Form1::saveSettings()
{
    SettingsStore store;
    auto step = [](auto &&fn) {
        try {
            fn();
        } catch (...) {
        }
    };
    WindowGeometry g;
    step([&] {
        g.state = isMinimized() ? 1 : (isMaximized() ? 2 : 0);
        const QRect r = g.state == 0 ? geometry() : normalGeometry();
        const QPoint pos = g.state == 0 ? this->pos() : r.topLeft();
        g.top = tw(pos.y());
        g.left = tw(pos.x());
        g.height = tw(r.height());
        g.width = tw(r.width());
        storeGeometry(store, g);
    });
    step([&] {
        StoredOptions o;
        o.type = ImageCombo1->currentIndex() + 1;
        o.font = ImageCombo2->currentIndex() + 1;
        o.figureFont = figureFamily();
        o.figureCode = figureCodeFromKey(figureKey());
        o.textSize = Combo1->currentIndex() + 1;
        o.figureSize = Combo2->currentIndex() + 1;
        o.prop1 = Check1->isChecked() ? 1 : 0;
        o.prop2 = Check2->isChecked() ? 1 : 0;
        o.lastFile = m_lastFileEntry->data().toString();
        o.lastResult = imageKey(m_resultButton);
        o.lastResultTip = m_resultButton->toolTip();
        o.write(store);
    });
    store.sync();
}

void Form1::Form_Unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    if (m_figures)
        m_figures->close();
    if (m_colorMenu)
        m_colorMenu->close();
    // Child windows first: the image window stores its file in the
    // last-file entry when it closes.
    if (m_picForm && m_picForm->hasPicture())
        m_picForm->close();
    if (m_textForm && m_textForm->isVisible())
        m_textForm->close();
    saveSettings();
    deleteTempFiles(dataFolder());
    Q_EMIT unloadFinished();
}

void Form1::closeEvent(QCloseEvent *event)
{
    if (m_running) {
        // The conversion ends first; the window closes right after it.
        m_closeRequested = true;
        StopThis();
        event->ignore();
        return;
    }
    Form_Unload();
    event->accept();
}

} // namespace tessilor
