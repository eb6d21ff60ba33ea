#include "app/mainwindow.h"

#include "app/aboutdialog.h"
#include "app/appicons.h"
#include "app/colorpicker.h"
#include "app/figurepicker.h"
#include "app/globals.h"
#include "app/gridcoupling.h"
#include "app/livepreview.h"
#include "app/mainsettings.h"
#include "app/pickerwindows.h"
#include "app/picturedrop.h"
#include "app/picturepaste.h"
#include "app/recentmenu.h"
#include "app/resultwindow.h"
#include "app/runcontrol.h"
#include "art/fonttables.h"
#include "base/numparse.h"
#include "base/options.h"
#include "base/pastedpicture.h"
#include "base/paths.h"
#include "base/settings.h"
#include "fonts/fontmodule.h"
#include "layout/mainlayout.h"
#include "picture/imageloader.h"
#include "platform/comdlgandfuncs.h"
#include "platform/folders.h"
#include "richtext/textzoom.h"
#include "view/helpwindow.h"
#include "view/imagewindow.h"
#include "widgets/progress.h"

#include <QAction>
#include <QCheckBox>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QScreen>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>
#include <exception>
#include <new>

namespace tessilor {

namespace ml = mainlayout;

namespace {

// Design size of the main window, twips.
constexpr double kDesignWidth = 12900;
constexpr double kDesignHeight = 7800;
// Room below the bars at the smallest window size: an image window as it
// opens (3000 twips).
constexpr int kMinWorkAreaHeight = 200;

int px(double twips)
{
    return ml::twipsToPixels(twips);
}
double tw(int pixels)
{
    return ml::pixelsToTwips(pixels);
}

// The general text, then on a line of its own the cause the loader knows,
// with the decoder's own words as the command line gives them.
QString openErrorMessage(const QString &fname, LoadError error, const QString &detail)
{
    QString text = QStringLiteral("Ошибка открытия файла ") + getName(fname) + QStringLiteral(".") +
                   QStringLiteral("\r\n") +
                   QStringLiteral("Возможно Файл имеет формат отличный от BMP/JPEG/GIF/PNG/WebP/TIFF, имеет не "
                                  "поддерживаемую степень сжатия или превышает допустимые размеры.");
    if (error != LoadError::None) {
        text += QStringLiteral("\r\nПричина: ") + loadErrorTextRussian(error);
        if (!detail.isEmpty())
            text += QStringLiteral(" (") + detail + u')';
        text += u'.';
    }
    return text;
}

// The swatch of a stored text colour: a palette entry, else a custom colour
// added to the list as the colour dialog adds one.
int swatchOf(SwatchList &swatches, quint32 color)
{
    for (int i = 1; i <= swatches.count(); ++i)
        if (swatches.color(i) == color)
            return i;
    return swatches.add(makeSwatch(color));
}

// A control's enabled state; a command button's is its command's.
void setControlEnabled(QWidget *control, bool enabled)
{
    auto *button = qobject_cast<QToolButton *>(control);
    if (button && button->defaultAction())
        button->defaultAction()->setEnabled(enabled);
    else
        control->setEnabled(enabled);
}

// One step of the load or unload sequence: every step runs even when an
// earlier one failed.
template<class Step>
void runStep(Step &&step)
{
    try {
        step();
    } catch (...) {
    }
}

} // namespace

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("Form1"));
    m_mdi = new QMdiArea(this);
    m_mdi->setObjectName(QStringLiteral("MDIClient"));
    m_mdi->setBackground(palette().dark());
    setCentralWidget(m_mdi);
    setWindowIcon(appIcon(QStringLiteral("app")));

    m_run = new RunControl([this] { return imageWindow(); }, [this] { return resultWindow(); }, this);
    connect(m_run, &RunControl::started, this, &MainWindow::onRunStarted);
    connect(m_run, &RunControl::finished, this, &MainWindow::onRunFinished);
    connect(m_run, &RunControl::converting, this, [this](bool underWay) { m_bar.progressBar->setVisible(underWay); });
    connect(m_run, &RunControl::progress, this, [this](double p) { m_bar.progressBar->SetPercent(p); });

    m_commands = createMainCommands(this);
    connectCommands();
    m_bar = buildMainBar(this, m_commands);
    addToolBarBreak(Qt::TopToolBarArea);
    m_textBar = buildTextBar(this, m_commands);
    m_figureBar = buildFigureBar(this, m_commands);
    placeMethodInMainBar(m_bar, m_textBar);
    m_tabStops = chainForTab(m_bar, m_textBar, m_figureBar);
    registerControls(m_bar.controls());
    registerControls(m_textBar.controls());
    registerControls(m_figureBar.controls());

    connect(m_bar.modeList, &QComboBox::activated, this, [this](int) { modeChosen(); });
    connect(m_textBar.fontList, &QComboBox::activated, this, [this](int) { fontChosen(); });
    m_bar.helpBar->installEventFilter(this);
    m_bar.helpButton->installEventFilter(this);
    m_coupling = new GridCoupling(m_textBar.grid, m_figureBar.grid, this);
    m_pickers = new PickerWindows(this);
    // A dropped picture opens as one chosen in the dialog; the open-state
    // check follows whatever came (a drop without files too).
    new PictureDrop(
        this, [this] { return isRunning(); },
        [this](const QString &file) {
            if (file.isEmpty())
                updateOpenState();
            else
                openPicture(file);
        });
    connectLivePreview();
    m_recent = new RecentMenu(m_bar.openMenu, m_commands.lastFile, this);
    connect(m_recent, &RecentMenu::openRequested, this, &MainWindow::openPicture);
    // Below the recent files: a picture from the clipboard.
    m_bar.openMenu->addSeparator()->setObjectName(QStringLiteral("separ2"));
    m_bar.openMenu->addAction(m_commands.paste);
    m_paste = new PicturePaste(
        m_commands.paste, this, [this] { return isRunning(); },
        [this](const QString &file) {
            const bool opened = loadPicture(file);
            updateOpenState();
            return opened;
        },
        [this](const QString &message) { statusBar()->showMessage(message, 10000); });
    connect(m_bar.openMenu, &QMenu::aboutToShow, m_paste, &PicturePaste::updateEntry);
    // The status bar: what a command could not do, and whether the result
    // shown is whole.
    statusBar()->setObjectName(QStringLiteral("mainStatusBar"));
    m_resultState = new QLabel(statusBar());
    m_resultState->setObjectName(QStringLiteral("resultState"));
    statusBar()->addWidget(m_resultState, 1);
    load();
}

MainWindow::~MainWindow() = default;

void MainWindow::connectLivePreview()
{
    m_preview = new LivePreview(
        m_run, [this] { return runRequest(); },
        [this] {
            return m_resultWindow && m_resultWindow->isVisible() && m_imageWindow && m_imageWindow->hasPicture();
        },
        this);
    m_preview->watch(m_bar, m_textBar, m_figureBar);
    connect(m_run, &RunControl::previewFinished, this, [this] {
        if (m_closeRequested)
            QTimer::singleShot(0, this, &QWidget::close);
    });
}

void MainWindow::registerControls(const QList<WindowControl> &controls)
{
    m_controls.append(controls);
}

void MainWindow::connectCommands()
{
    const MainCommands &c = m_commands;
    connect(c.open, &QAction::triggered, this, &MainWindow::openCommand);
    connect(c.zoom, &QAction::triggered, this, &MainWindow::zoomCommand);
    connect(c.go, &QAction::triggered, this, &MainWindow::goCommand);
    connect(c.result, &QAction::triggered, this, &MainWindow::resultCommand);
    connect(c.help, &QAction::triggered, this, &MainWindow::showHelp);
    connect(c.helpContents, &QAction::triggered, this, &MainWindow::showHelp);
    connect(c.about, &QAction::triggered, this, &MainWindow::showAbout);
    connect(c.figure, &QAction::triggered, this, &MainWindow::showFigurePicker);
    connect(c.color, &QAction::triggered, this, &MainWindow::showColorPicker);
    for (QAction *entry : {c.toFile, c.toClipboard, c.toWord, c.print})
        connect(entry, &QAction::triggered, this, [this, entry] { chooseOutput(entry); });
}

// ---------------------------------------------------------------------------
// Load sequence

void MainWindow::load()
{
    auto step = [](auto &&fn) { runStep(fn); };
    SettingsStore store;

    step([&] { setWindowTitle(programCaption() + u' ' + QStringLiteral(TESSILOR_VERSION)); });
    step([&] {
        if (globals::TempTextPath.isEmpty())
            globals::initPaths(dataFolder(), programFilesFolder(), figureFontFolder());
    });
    step([&] {
        globals::FigureFontName = QStringLiteral("Arial");
        globals::FigureFontName2 = QStringLiteral("Arial");
    });
    step([&] {
        const QRect place = storedWindowPlace(store, this, QSizeF(kDesignWidth, kDesignHeight), &m_storedState);
        resize(place.size());
        move(place.topLeft());
    });
    StoredOptions options;
    step([&] { options.read(store, globals::FigureFontName); });
    step([&] {
        layoutMainBar(m_bar);
        layoutTextBar(m_textBar);
        layoutFigureBar(m_figureBar);
    });
    step([&] {
        fillModeList(m_bar.modeList);
        m_bar.modeList->setCurrentIndex(options.type - 1);
    });
    step([&] { m_recent->load(store); });
    step([&] {
        fillFontList(m_textBar.fontList);
        m_textBar.fontList->setCurrentIndex(options.font - 1);
    });
    step([&] {
        fillColorModeList(m_figureBar.colorModeList);
        m_figureBar.colorModeList->setCurrentIndex(0);
    });
    step([&] { m_nonClientHeight = float(tw(frameGeometry().height() - height())); });
    step([&] { m_bar.toolBar->show(); });
    step([&] { modeChosen(); });
    step([&] { fillSizeLists(m_textBar.grid.sizeList, m_figureBar.grid.sizeList); });
    step([&] { showStoredChoices(options, m_bar, m_textBar, m_figureBar); });
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
    step([&] {
        setColorSwatch(swatchOf(m_swatches, options.textColor));
        if (options.pictureColors)
            setPictureColors();
    });
    step([&] { updateOpenState(); });
    step([&] {
        // Again with the lists filled: each as wide as its entries need.
        layoutMainBar(m_bar);
        layoutTextBar(m_textBar);
        layoutFigureBar(m_figureBar);
        // A screen narrower than that still takes the window as the stored
        // geometry's rule allows (its size less 90 twips).
        QScreen *scr = screen() ? screen() : QGuiApplication::primaryScreen();
        const QSize most = scr ? QSize(px(tw(scr->geometry().width()) - 90), px(tw(scr->geometry().height()) - 90))
                               : QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        setMinimumSize(
            mainWindowMinimum(m_bar, m_textBar, m_figureBar, kMinWorkAreaHeight + statusBar()->sizeHint().height())
                .boundedTo(most));
    });
    layoutOnResize();
}

void MainWindow::showAsStored()
{
    // The pickers open below the bars, counted from the frame's top: its
    // height is known once the window manager has framed the window, which
    // it does after the window is shown (no window manager: no frame).
    keepFrameOnScreen(this, [this](QMargins frame) { m_nonClientHeight = float(tw(frame.top() + frame.bottom())); });
    if (m_storedState == 2)
        showMaximized();
    else
        showNormal();
    m_nonClientHeight = float(tw(frameGeometry().height() - height()));
    layoutOnResize();
}

void MainWindow::bringToFront()
{
    if (isMinimized())
        setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void MainWindow::layoutOnResize()
{
    if (m_bar.helpBar)
        layoutMainBarOnResize(m_bar, width());
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    layoutOnResize();
}

// ---------------------------------------------------------------------------
// Option controls

bool MainWindow::textBarVisible() const
{
    return !m_textBar.toolBar->isHidden();
}

bool MainWindow::figureBarVisible() const
{
    return !m_figureBar.toolBar->isHidden();
}

const GridFields &MainWindow::visibleGrid() const
{
    return textBarVisible() ? m_textBar.grid : m_figureBar.grid;
}

void MainWindow::modeChosen()
{
    const int index = m_bar.modeList->currentIndex() + 1;
    if (index == 1) {
        m_textBar.toolBar->show();
        m_figureBar.toolBar->hide();
    } else if (index == 2) {
        m_figureBar.toolBar->show();
        m_textBar.toolBar->hide();
    }
}

bool MainWindow::focusNextPrevChild(bool next)
{
    QList<QWidget *> stops;
    for (QWidget *w : std::as_const(m_tabStops))
        if (w->isVisible() && w->isEnabled())
            stops.append(w);
    const qsizetype at = stops.indexOf(QApplication::focusWidget());
    if (at < 0)
        return QMainWindow::focusNextPrevChild(next);
    const Qt::FocusReason reason = next ? Qt::TabFocusReason : Qt::BacktabFocusReason;
    QMdiSubWindow *active = m_mdi->activeSubWindow();
    if ((next ? at == stops.size() - 1 : at == 0) && active && active->isVisible()) {
        QWidget *inside = active->focusWidget();
        (inside ? inside : active)->setFocus(reason);
        return true;
    }
    stops[(at + (next ? 1 : stops.size() - 1)) % stops.size()]->setFocus(reason);
    return true;
}

void MainWindow::fontChosen()
{
    QComboBox *sizes = m_textBar.grid.sizeList;
    const int forced = fixedSizeEntry(m_textBar.fontList->currentIndex() + 1);
    if (forced > 0) {
        sizes->setEnabled(false);
        sizes->setCurrentIndex(forced - 1);
    } else {
        sizes->setEnabled(true);
    }
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if ((watched == m_bar.helpBar || watched == m_bar.helpButton) && event->type() == QEvent::MouseButtonPress) {
        auto *me = static_cast<QMouseEvent *>(event);
        if (me->button() == Qt::RightButton) {
            showAbout();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::onGridSizeChosen(int columns, int rows)
{
    const GridFields &g = visibleGrid();
    g.rows->setText(decimalText(rows));
    g.columns->setText(decimalText(columns));
}

QString MainWindow::imageKey(const QToolButton *button)
{
    if (!button)
        return QString();
    if (button->defaultAction())
        return button->defaultAction()->data().toString();
    return button->property("imageKey").toString();
}

void MainWindow::setColorSwatch(int index)
{
    if (index < 1 || index > m_swatches.count())
        return;
    m_colorSwatch = index;
    m_pictureColors = false;
    m_textBar.colorButton->setIcon(QIcon(QPixmap::fromImage(m_swatches.image(index))));
    m_preview->optionsChanged();
}

void MainWindow::setPictureColors()
{
    m_pictureColors = true;
    m_textBar.colorButton->setIcon(QIcon(QPixmap::fromImage(makePictureSwatch())));
    m_preview->optionsChanged();
}

quint32 MainWindow::textColor() const
{
    return swatchColor(m_swatches.image(m_colorSwatch));
}

QString MainWindow::figureKey() const
{
    return figureButtonKey(m_figureCode);
}

void MainWindow::setFigure(const QString &family, int code)
{
    QToolButton *button = m_figureBar.figureButton;
    const QColor face = palette().color(QPalette::Button);
    const QImage preview = renderFigurePreview(family, code, face);
    button->setIcon(QIcon(QPixmap::fromImage(preview)));
    button->setProperty("imageKey", figureImageKey(family, code));
    m_figureFamily = family;
    m_figureCode = code;
    m_preview->optionsChanged();
}

void MainWindow::setResultKey(const QString &key, const QString &tip)
{
    showResultCommand(m_commands, key, tip);
}

void MainWindow::setResultAvailable(bool available)
{
    m_commands.result->setEnabled(available);
}

// ---------------------------------------------------------------------------
// Pickers and help

QWidget *MainWindow::figurePicker() const
{
    return m_pickers->figures();
}

QWidget *MainWindow::colorPicker() const
{
    return m_pickers->colors();
}

double MainWindow::pickerAnchorTwips() const
{
    return ml::pickerAnchorY(tw(frameGeometry().top()), m_nonClientHeight, tw(m_bar.toolBar->height()),
                             textBarVisible() ? tw(m_textBar.toolBar->height()) : 0,
                             figureBarVisible() ? tw(m_figureBar.toolBar->height()) : 0);
}

void MainWindow::showFigurePicker()
{
    const ml::PickerPlace p = ml::figurePickerPlace(tw(frameGeometry().left()), pickerAnchorTwips());
    FigurePicker *picker = m_pickers->showFigures(QPoint(px(p.left), px(p.top)));
    connect(picker, &FigurePicker::figurePicked, this,
            [this](const QString &family, int code) { setFigure(family, code); });
}

void MainWindow::showColorPicker()
{
    const ml::PickerPlace p = ml::colorPickerPlace(
        tw(frameGeometry().left()), tw(m_textBar.colorBar->mapTo(this, QPoint(0, 0)).x()), pickerAnchorTwips());
    ColorPicker *picker = m_pickers->showColors(&m_swatches, QPoint(px(p.left), px(p.top)));
    connect(picker, &ColorPicker::swatchPicked, this, [this](int index) { setColorSwatch(index); });
    connect(picker, &ColorPicker::pictureColorsPicked, this, &MainWindow::setPictureColors);
}

void MainWindow::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    // A click back into the main window dismisses the pickers.
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        m_pickers->ownerActivated();
}

QString MainWindow::helpFilePath()
{
    return helpContentsPath();
}

void MainWindow::showHelp()
{
    // The pages are shown in the program's own help window: a desktop
    // often has nothing that opens a compiled help file.
    if (!showHelpWindow(this))
        QMessageBox::warning(this, programCaption(), QStringLiteral("Файл справки отсутствует"));
}

void MainWindow::showAbout()
{
    AboutDialog about(this);
    connect(&about, &AboutDialog::helpRequested, this, &MainWindow::showHelp);
    about.exec();
}

// ---------------------------------------------------------------------------
// Opening

ImageWindow *MainWindow::imageWindow()
{
    if (!m_imageWindow) {
        auto *pf = new ImageWindow;
        pf->setObjectName(QStringLiteral("PicForm"));
        m_mdi->addSubWindow(pf);
        pf->hide();
        connect(pf, &ImageWindow::displaySizeChanged, m_coupling, &GridCoupling::publishDisplaySize);
        connect(pf, &ImageWindow::unloaded, this, &MainWindow::onImageUnloaded);
        m_imageWindow = pf;
    }
    return m_imageWindow;
}

ResultWindow *MainWindow::resultWindow()
{
    if (!m_resultWindow) {
        auto *tf = new ResultWindow;
        m_mdi->addSubWindow(tf);
        tf->initialize(m_imageWindow ? m_imageWindow->windowFont().family() : QString());
        tf->hide();
        connect(tf, &ResultWindow::gridSizeChosen, this, &MainWindow::onGridSizeChosen);
        connect(tf, &ResultWindow::converting, m_run, &RunControl::converting);
        connect(tf, &ResultWindow::outputAvailable, this, &MainWindow::setResultAvailable);
        connect(tf, &ResultWindow::completenessChanged, this,
                [this, tf] { m_resultState->setText(tf->incompleteNote()); });
        // The result view's zoom keys work anywhere in the window.
        addActions(tf->zoom()->actions());
        m_resultWindow = tf;
    }
    return m_resultWindow;
}

void MainWindow::setLastFileEntry(const QString &path)
{
    m_recent->add(path);
}

void MainWindow::onImageUnloaded(const QString &path, bool fileStillExists)
{
    if (fileStillExists)
        setLastFileEntry(path);
    if (!m_unloaded)
        updateOpenState();
}

void MainWindow::showOpenDialog()
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
    // The original entry first, selected: every type the program reads, all
    // of them named; the newer types alone after it.
    filters.entries = {{QStringLiteral("Изображение (Jpeg, Bmp, Gif, Png, WebP, Tiff)"),
                        QStringLiteral("*.jpg;*.jpe;*.jpeg;*.bmp;*.dib;*.gif;*.png;*.webp;*.tif;*.tiff")},
                       {QStringLiteral("Изображение (Png, WebP, Tiff)"), QStringLiteral("*.png;*.webp;*.tif;*.tiff")}};
    const FileDialogAnswer answer = ShowFileDialog(1, folder, filters, QString(), this);
    if (!answer.confirmed())
        return;
    const QString path = answer.file();
    loadPicture(path);
    store.write(keys::LastDir, getPath(path));
    store.sync();
}

bool MainWindow::loadPicture(const QString &fname)
{
    ImageWindow *pf = imageWindow();
    pf->hide();
    LoadError error = LoadError::None;
    QString detail;
    bool ok = false;
    try {
        ok = pf->loadFile(fname, &error, &detail);
    } catch (const std::bad_alloc &) {
        error = LoadError::OutOfMemory;
    } catch (const std::exception &) {
        ok = false;
    }
    if (ok) {
        QCoreApplication::processEvents();
        pf->show();
        pf->setSourcePath(fname);
        m_mdi->setActiveSubWindow(pf);
        m_preview->optionsChanged();
        setLastFileEntry(fname);
        return true;
    }
    // The earlier picture, if any, stays: show it again.
    if (pf->hasPicture())
        pf->show();
    QMessageBox::critical(this, programCaption(), openErrorMessage(fname, error, detail));
    return false;
}

void MainWindow::updateOpenState()
{
    if (m_inCheckOpen)
        return;
    m_inCheckOpen = true;
    const bool open = imageWindow()->hasPicture();
    setControlsEnabled(open);
    m_commands.open->setEnabled(true);
    m_bar.toolBar->setEnabled(true);
    // A result still on screen can still be output.
    setResultAvailable(m_resultWindow && m_resultWindow->isVisible() && globals::ResultKind != 0);
    m_bar.modeList->setEnabled(true);
    m_bar.modeLabel->setEnabled(true);
    m_bar.modeFrame->setEnabled(true);
    if (!open && m_imageWindow && m_imageWindow->isVisible())
        m_imageWindow->close();
    m_inCheckOpen = false;
}

// ---------------------------------------------------------------------------
// Commands

void MainWindow::openCommand()
{
    showOpenDialog();
    updateOpenState();
}

void MainWindow::zoomCommand()
{
    const ml::PickerPlace p = ml::zoomMenuPlace(tw(m_bar.toolBar->height()));
    const QPoint at = mapToGlobal(QPoint(px(p.left), m_bar.toolBar->y() + px(p.top)));
    imageWindow()->zoomMenu()->popup(at);
}

void MainWindow::goCommand()
{
    if (imageKey(m_bar.goButton) == QLatin1String("go"))
        startConversion();
    else
        stopConversion();
}

void MainWindow::resultCommand()
{
    outputResult(m_commands.result->data().toString());
}

void MainWindow::chooseOutput(QAction *entry)
{
    setResultKey(entry->data().toString(), entry->text());
    resultCommand();
}

void MainWindow::pastePicture()
{
    m_paste->paste();
}

void MainWindow::openPicture(const QString &path)
{
    loadPicture(path);
    updateOpenState();
}

// ---------------------------------------------------------------------------
// Run control

bool MainWindow::isRunning() const
{
    return m_run->isRunning();
}

RunRequest MainWindow::runRequest() const
{
    RunRequest r;
    // The lists' entries are counted from 1, as they are stored.
    const int mode = m_bar.modeList->currentIndex() + 1;
    r.hasMode = mode == 1 || mode == 2;
    r.mode = mode == 2 ? Mode::Figures : Mode::Text;
    r.hasGrid = textBarVisible() || figureBarVisible();
    if (r.hasGrid) {
        const GridFields &g = visibleGrid();
        r.columns = leadingNumber(g.columns->text());
        r.rows = leadingNumber(g.rows->text());
        r.gridClamp = g.proportional->isChecked() ? GridClamp::KeepProportions : GridClamp::EachSide;
    }
    r.fontFace = m_textBar.fontList->currentText();
    r.ramp = m_textBar.fontList->currentData().toString();
    r.textSize = std::max(leadingNumber(m_textBar.grid.sizeList->currentText()), 0.0);
    r.textColor = textColor();
    r.pictureColors = m_pictureColors;
    r.contrast = qint16(m_textBar.contrastSlider->value());
    r.method = m_textBar.methodList->currentIndex() == int(TextMethod::Tone) ? TextMethod::Tone : TextMethod::Classic;
    r.structure = m_textBar.structureBox->value();
    r.figureFamily = figureFamily();
    r.figureCode = m_figureCode;
    r.figureSize = std::max(leadingNumber(m_figureBar.grid.sizeList->currentText()), 0.0);
    r.gray = m_figureBar.colorModeList->currentIndex() + 1 == 2;
    r.fill = m_figureBar.fillBox->isChecked();
    return r;
}

void MainWindow::setGoButton(bool running)
{
    showGoCommand(m_commands, running);
}

void MainWindow::stopConversion()
{
    m_run->stop();
}

void MainWindow::setControlsEnabled(bool enabled)
{
    for (const WindowControl &control : std::as_const(m_controls)) {
        setControlEnabled(control.widget, enabled);
        for (QWidget *b : control.buttons)
            setControlEnabled(b, enabled);
    }
    m_bar.helpBar->setEnabled(true);
    setControlEnabled(m_bar.helpButton, true);
    // The controls repaint in their new state before whatever comes next
    // (a run's first rows) keeps the event loop busy.
    QCoreApplication::processEvents();
}

void MainWindow::onRunStarted()
{
    m_paste->updateEntry();
    statusBar()->clearMessage();
    setControlsEnabled(false);
    setGoButton(true);
    m_bar.toolBar->setEnabled(true);
    m_commands.go->setEnabled(true);
}

void MainWindow::onRunFinished(const QString &failure)
{
    setGoButton(false);
    setControlsEnabled(true);
    fontChosen();
    m_paste->updateEntry();
    // Nothing to output after a failed run.
    if (!failure.isEmpty())
        setResultAvailable(false);
}

void MainWindow::startConversion()
{
    if (m_run->isPreviewing()) {
        // The run the user asked for replaces the preview under way.
        m_run->stop();
        QTimer::singleShot(10, this, &MainWindow::startConversion);
        return;
    }
    if (isRunning())
        return;
    const QString failure = m_run->run(runRequest());
    if (!failure.isEmpty())
        QMessageBox::critical(this, programCaption(),
                              QStringLiteral("Не удалось символизировать изображение: ") + failure);
    Q_EMIT runFinished();
    if (m_closeRequested)
        QTimer::singleShot(0, this, &QWidget::close);
}

void MainWindow::outputResult(const QString &output)
{
    m_run->output(output);
}

// ---------------------------------------------------------------------------
// Unload sequence

void MainWindow::saveSettings()
{
    SettingsStore store;
    auto step = [](auto &&fn) { runStep(fn); };
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
        takeStoredChoices(o, m_bar, m_textBar, m_figureBar);
        o.figureFont = figureFamily();
        o.figureCode = m_figureCode;
        o.textColor = textColor();
        o.pictureColors = m_pictureColors;
        o.lastFile = m_commands.lastFile->data().toString();
        o.lastResult = m_commands.result->data().toString();
        o.lastResultTip = resultTip(m_commands);
        o.write(store);
        m_recent->save(store);
    });
    store.sync();
}

void MainWindow::unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    m_pickers->closeAll();
    // Child windows first: the image window stores its file in the
    // last-file entry when it closes.
    if (m_imageWindow && m_imageWindow->hasPicture())
        m_imageWindow->close();
    if (m_resultWindow && m_resultWindow->isVisible())
        m_resultWindow->close();
    saveSettings();
    deleteTempFiles(dataFolder());
    // The pasted pictures the recent files no longer list go.
    removeUnlistedPastedPictures(pastedPicturesFolder(), m_recent->files());
    Q_EMIT unloadFinished();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (isRunning()) {
        // The conversion ends first; the window closes right after it.
        m_closeRequested = true;
        m_run->stopForClose();
        event->ignore();
        return;
    }
    unload();
    event->accept();
}

} // namespace tessilor
