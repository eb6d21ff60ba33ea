#pragma once
#include <QList>
#include <QSize>

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QKeySequence;
class QLabel;
class QLineEdit;
class QMainWindow;
class QMenu;
class QObject;
class QSlider;
class QSpinBox;
class QToolBar;
class QToolButton;
class QWidget;

namespace tessilor {

class Progress;

// The main window's commands. Each is an action that the main window
// connects to one of its member functions; the bars show them as buttons and
// drop-down entries.
struct MainCommands {
    QAction *open = nullptr;     // "Открыть"
    QAction *zoom = nullptr;     // "Масштаб"
    QAction *go = nullptr;       // "Пуск" / "Стоп"; data: image key "go" or "canc"
    QAction *result = nullptr;   // "Результат"; data: the output key ("save", "word", "cl", "print")
    QAction *lastFile = nullptr; // the open button's drop-down entry; data: the file's path
    QAction *paste = nullptr;  // the drop-down's last entry: "Вставить из буфера обмена" (Ctrl+V)
    QAction *toFile = nullptr; // result drop-down entries; data: the output they choose
    QAction *toClipboard = nullptr;
    QAction *toWord = nullptr;
    QAction *print = nullptr;
    QAction *help = nullptr;         // the help button
    QAction *helpContents = nullptr; // help drop-down "Справка"
    QAction *about = nullptr;        // help drop-down "О программе"
    QAction *figure = nullptr;       // figure picker
    QAction *color = nullptr;        // text colour picker
};

// The commands with their captions, tooltips, icons and keys, owned by
// owner and not yet connected. Keyboard shortcuts: Ctrl+O open, Ctrl+M
// zoom, F5 "Пуск" (Esc while it is "Стоп"), Ctrl+S save the result,
// Ctrl+Shift+C copy it, Ctrl+E hand it to the word processor, Ctrl+P print
// it, F1 help, F7 the colour palette, F8 the figure picker; each is shown in
// its button's tooltip (the result button's: its output's). The result drop-down's
// entries are enabled exactly while the result command is, so that their
// keys do nothing while the result button is disabled.
MainCommands createMainCommands(QObject *owner);

// A tooltip with its key: "tip (key)"; the tip alone without a key.
QString tipWithKey(const QString &tip, const QKeySequence &key);

// The go command as "Пуск" (key F5) or, during a run, "Стоп" (key Esc).
void showGoCommand(const MainCommands &commands, bool running);
// The result command's output key ("save", "word", "cl", "print") and its
// tooltip, shown with the key of that output. resultTip gives the tooltip as
// it was set, without the key.
void showResultCommand(const MainCommands &commands, const QString &key, const QString &tip);
QString resultTip(const MainCommands &commands);

// A control of the main window in window order, with the buttons of a bar.
struct WindowControl {
    QWidget *widget = nullptr;
    QList<QWidget *> buttons;
};

// The main tool bar: positions 1..17 (buttons, separators and
// placeholders), the mode frame, the progress bar and the help bar.
struct MainBar {
    QToolBar *toolBar = nullptr;
    QList<QWidget *> positions; // 1-based: index 0 unused; each has its number as property "position"
    QToolButton *openButton = nullptr;
    QToolButton *masButton = nullptr;
    QToolButton *goButton = nullptr;
    QToolButton *resultButton = nullptr;
    QMenu *openMenu = nullptr;
    QMenu *resultMenu = nullptr;
    QFrame *modeFrame = nullptr;
    QLabel *modeLabel = nullptr;
    QComboBox *modeList = nullptr;    // mode list
    QCheckBox *autoPreview = nullptr; // "Автопросмотр", between positions 16 and 17
    QWidget *methodColumn = nullptr;  // below it: the text bar's method list (placeMethodInMainBar)
    Progress *progressBar = nullptr;
    QToolBar *helpBar = nullptr; // help bar
    QWidget *helpSeparator = nullptr;
    QToolButton *helpButton = nullptr;
    QMenu *helpMenu = nullptr;
    double progressLeftTwips = 0;

    QList<WindowControl> controls() const;
};

// The size list and the grid-size fields that both option bars have:
// "Разрешение: [columns] X [rows]" and the proportional box.
struct GridFields {
    QComboBox *sizeList = nullptr;
    QLabel *label = nullptr;
    QLineEdit *columns = nullptr;
    QLineEdit *rows = nullptr;
    QCheckBox *proportional = nullptr;
};

// The text-mode bar.
struct TextBar {
    QToolBar *toolBar = nullptr;
    QFrame *optionsFrame = nullptr;
    QComboBox *fontList = nullptr; // font list
    GridFields grid;               // Combo1, Label2, Text1, Text2, Check1
    QToolBar *colorBar = nullptr;  // colour tool bar
    QWidget *colorSeparator = nullptr;
    QToolButton *colorButton = nullptr;
    QToolButton *colorArrow = nullptr;
    QFrame *contrastFrame = nullptr;
    QSlider *contrastSlider = nullptr; // contrast
    QLabel *contrastValue = nullptr;   // the slider's value, beside it
    // "Классический", "Тональный", in a frame of its own that the main bar
    // shows below "Автопросмотр" while this bar is shown.
    QFrame *methodFrame = nullptr;
    QComboBox *methodList = nullptr;
    // The tone method's shape strength, 0..100, after the contrast; enabled
    // while the method list shows the tone method.
    QFrame *structureFrame = nullptr;
    QLabel *structureLabel = nullptr; // "Форма"
    QSpinBox *structureBox = nullptr;

    QList<WindowControl> controls() const;
};

// The figure-mode bar.
struct FigureBar {
    QToolBar *toolBar = nullptr;
    QFrame *optionsFrame = nullptr;
    GridFields grid;                    // Combo2, Label1, Text4, Text5, Check2
    QComboBox *colorModeList = nullptr; // colour / grey
    QToolBar *figureToolBar = nullptr;
    QToolButton *figureButton = nullptr;
    QToolButton *figureArrow = nullptr;
    QCheckBox *fillBox = nullptr; // "Заливка"

    QList<WindowControl> controls() const;
};

// Build the bars on the window, in this order, with the commands' buttons
// and drop-down entries. The tool buttons take the focus from the keyboard
// (Tab), not from a click; Down opens a button's drop-down. Keys: Ctrl+M
// zoom, Ctrl+Shift+C copy the result, Ctrl+E hand it to the word processor,
// F7 the colour palette (while the text bar shows), F8 the figure picker
// (while the figure bar shows), besides those of createMainCommands.
MainBar buildMainBar(QMainWindow *window, const MainCommands &commands);
TextBar buildTextBar(QMainWindow *window, const MainCommands &commands);
FigureBar buildFigureBar(QMainWindow *window, const MainCommands &commands);

// Layout at load: positions left to right, the mode frame and the progress
// bar by the main window's rules, the option bars' controls. Lists are at
// least as wide as their entries need (run again once they are filled).
void layoutMainBar(MainBar &bar);
void layoutTextBar(TextBar &bar);
void layoutFigureBar(FigureBar &bar);
// Layout that follows every resize of the main window (width in pixels).
void layoutMainBarOnResize(MainBar &bar, int windowWidth);

// The text bar's method list goes into the main bar, below "Автопросмотр":
// the text bar keeps the one row of its original controls. Call after
// building the bars, before their layout.
void placeMethodInMainBar(MainBar &main, TextBar &text);
// Tab goes through the bars' controls in reading order: the main bar left
// to right, then the option bar shown. Returns them in that order.
QList<QWidget *> chainForTab(const MainBar &main, const TextBar &text, const FigureBar &figure);

// The smallest main window (its inner size) in which no control of the bars
// overlaps another or is cut off, with room below the bars for
// workAreaHeight pixels of the window area; the progress bar keeps at least
// kMinProgressWidth pixels.
inline constexpr int kMinProgressWidth = 60;
QSize mainWindowMinimum(const MainBar &main, const TextBar &text, const FigureBar &figure, int workAreaHeight);

} // namespace tessilor
