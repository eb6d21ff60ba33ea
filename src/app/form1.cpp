#include "app/form1.h"

#include "app/aboutdialog.h"
#include "app/appicons.h"
#include "app/colorpicker.h"
#include "app/figurepicker.h"
#include "app/globals.h"
#include "app/gridcoupling.h"
#include "app/livepreview.h"
#include "app/picturedrop.h"
#include "app/pickerwindows.h"
#include "app/mainsettings.h"
#include "app/recentmenu.h"
#include "app/runcontrol.h"
#include "app/textform.h"
#include "engine/fontmodule.h"
#include "engine/mainlayout.h"
#include "engine/options.h"
#include "engine/paths.h"
#include "engine/settings.h"
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
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QScreen>
#include <QSlider>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <exception>

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

QString openErrorMessage(const QString &fname)
{
    return QStringLiteral("Ошибка открытия файла ") + getName(fname) + QStringLiteral(".") + QStringLiteral("\r\n") +
           QStringLiteral("Возможно Файл имеет формат отличный от BMP/JPEG/GIF, имеет не поддреживаемую "
                          "степень сжатия или превышает допустимые размеры.");
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

Form1::Form1(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("Form1"));
    m_mdi = new QMdiArea(this);
    m_mdi->setObjectName(QStringLiteral("MDIClient"));
    m_mdi->setBackground(palette().dark());
    setCentralWidget(m_mdi);
    setWindowIcon(appIcon(QStringLiteral("app")));

    m_run = new RunControl([this] { return picForm(); }, [this] { return textForm(); }, this);
    connect(m_run, &RunControl::started, this, &Form1::onRunStarted);
    connect(m_run, &RunControl::finished, this, &Form1::onRunFinished);
    connect(m_run, &RunControl::converting, this, [this](bool underWay) { m_bar.Progress1->setVisible(underWay); });
    connect(m_run, &RunControl::progress, this, [this](double p) { m_bar.Progress1->SetPercent(p); });

    m_commands = createMainCommands(this);
    connectCommands();
    m_bar = buildMainBar(this, m_commands);
    addToolBarBreak(Qt::TopToolBarArea);
    m_textBar = buildTextBar(this, m_commands);
    m_figureBar = buildFigureBar(this, m_commands);
    registerControls(m_bar.controls());
    registerControls(m_textBar.controls());
    registerControls(m_figureBar.controls());

    connect(m_bar.ImageCombo1, &QComboBox::activated, this, [this](int) { ImageCombo1_Click(); });
    connect(m_textBar.ImageCombo2, &QComboBox::activated, this, [this](int) { ImageCombo2_Click(); });
    m_bar.Toolbar6->installEventFilter(this);
    m_bar.helpButton->installEventFilter(this);
    m_coupling = new GridCoupling(m_textBar.grid, m_figureBar.grid, this);
    m_pickers = new PickerWindows(this);
    // A dropped picture opens as one chosen in the dialog; the open-state
    // check follows whatever came (a drop without files too).
    new PictureDrop(
        this, [this] { return isRunning(); },
        [this](const QString &file) {
            if (file.isEmpty())
                CheckOpen();
            else
                openPicture(file);
        });
    connectLivePreview();
    m_recent = new RecentMenu(m_bar.openMenu, m_commands.lastFile, this);
    connect(m_recent, &RecentMenu::openRequested, this, &Form1::openPicture);
    Form_Load();
}

Form1::~Form1() = default;

void Form1::connectLivePreview()
{
    m_preview = new LivePreview(
        m_run, [this] { return runRequest(); },
        [this] { return m_textForm && m_textForm->isVisible() && m_picForm && m_picForm->hasPicture(); }, this);
    m_preview->watch(m_bar, m_textBar, m_figureBar);
    connect(m_run, &RunControl::previewFinished, this, [this] {
        if (m_closeRequested)
            QTimer::singleShot(0, this, &QWidget::close);
    });
}

void Form1::registerControls(const QList<WindowControl> &controls)
{
    m_controls.append(controls);
}

void Form1::connectCommands()
{
    const MainCommands &c = m_commands;
    connect(c.open, &QAction::triggered, this, &Form1::openCommand);
    connect(c.zoom, &QAction::triggered, this, &Form1::zoomCommand);
    connect(c.go, &QAction::triggered, this, &Form1::goCommand);
    connect(c.result, &QAction::triggered, this, &Form1::resultCommand);
    connect(c.help, &QAction::triggered, this, &Form1::ShowHelp);
    connect(c.helpContents, &QAction::triggered, this, &Form1::ShowHelp);
    connect(c.about, &QAction::triggered, this, &Form1::showAbout);
    connect(c.figure, &QAction::triggered, this, &Form1::showFigurePicker);
    connect(c.color, &QAction::triggered, this, &Form1::showColorPicker);
    for (QAction *entry : {c.toFile, c.toClipboard, c.toWord, c.print})
        connect(entry, &QAction::triggered, this, [this, entry] { chooseOutput(entry); });
}

// ---------------------------------------------------------------------------
// Load sequence

void Form1::Form_Load()
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
        fillModeList(m_bar.ImageCombo1);
        m_bar.ImageCombo1->setCurrentIndex(options.type - 1);
    });
    step([&] { m_recent->load(store); });
    step([&] {
        fillFontList(m_textBar.ImageCombo2);
        m_textBar.ImageCombo2->setCurrentIndex(options.font - 1);
    });
    step([&] {
        fillColorModeList(m_figureBar.ImageCombo3);
        m_figureBar.ImageCombo3->setCurrentIndex(0);
    });
    step([&] { m_nonClientHeight = float(tw(frameGeometry().height() - height())); });
    step([&] { m_bar.Toolbar1->show(); });
    step([&] { ImageCombo1_Click(); });
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
    step([&] { setColorSwatch(1); });
    step([&] { CheckOpen(); });
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
        setMinimumSize(mainWindowMinimum(m_bar, m_textBar, m_figureBar, kMinWorkAreaHeight).boundedTo(most));
    });
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

void Form1::layoutOnResize()
{
    if (m_bar.Toolbar6)
        layoutMainBarOnResize(m_bar, width());
    if (m_textBar.methodFrame)
        layoutTextBarOnResize(m_textBar, width());
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
    return !m_textBar.Toolbar2->isHidden();
}

bool Form1::figureBarVisible() const
{
    return !m_figureBar.Toolbar3->isHidden();
}

const GridFields &Form1::visibleGrid() const
{
    return textBarVisible() ? m_textBar.grid : m_figureBar.grid;
}

void Form1::ImageCombo1_Click()
{
    const int index = m_bar.ImageCombo1->currentIndex() + 1;
    if (index == 1) {
        m_textBar.Toolbar2->show();
        m_figureBar.Toolbar3->hide();
    } else if (index == 2) {
        m_figureBar.Toolbar3->show();
        m_textBar.Toolbar2->hide();
    }
}

void Form1::ImageCombo2_Click()
{
    QComboBox *sizes = m_textBar.grid.sizeList;
    const int forced = fixedSizeEntry(m_textBar.ImageCombo2->currentIndex() + 1);
    if (forced > 0) {
        sizes->setEnabled(false);
        sizes->setCurrentIndex(forced - 1);
    } else {
        sizes->setEnabled(true);
    }
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    if ((watched == m_bar.Toolbar6 || watched == m_bar.helpButton) && event->type() == QEvent::MouseButtonPress) {
        auto *me = static_cast<QMouseEvent *>(event);
        if (me->button() == Qt::RightButton) {
            showAbout();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void Form1::onGridSizeChosen(const QString &columnsText, const QString &rowsText)
{
    const GridFields &g = visibleGrid();
    g.rows->setText(rowsText);
    g.columns->setText(columnsText);
}

QString Form1::imageKey(const QToolButton *button)
{
    if (!button)
        return QString();
    if (button->defaultAction())
        return button->defaultAction()->data().toString();
    return button->property("imageKey").toString();
}

void Form1::setColorSwatch(int index)
{
    if (index < 1 || index > m_swatches.count())
        return;
    m_colorSwatch = index;
    m_pictureColors = false;
    m_textBar.colorButton->setIcon(QIcon(QPixmap::fromImage(m_swatches.image(index))));
    m_preview->optionsChanged();
}

void Form1::setPictureColors()
{
    m_pictureColors = true;
    m_textBar.colorButton->setIcon(QIcon(QPixmap::fromImage(makePictureSwatch())));
    m_preview->optionsChanged();
}

quint32 Form1::textColor() const
{
    return swatchColor(m_swatches.image(m_colorSwatch));
}

QString Form1::figureKey() const
{
    return figureButtonKey(m_figureCode);
}

void Form1::setFigure(const QString &family, int code)
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

void Form1::setResultKey(const QString &key, const QString &tip)
{
    showResultCommand(m_commands, key, tip);
}

void Form1::setResultAvailable(bool available)
{
    m_commands.result->setEnabled(available);
}

// ---------------------------------------------------------------------------
// Pickers and help

QWidget *Form1::figurePicker() const
{
    return m_pickers->figures();
}

QWidget *Form1::colorPicker() const
{
    return m_pickers->colors();
}

double Form1::pickerAnchorTwips() const
{
    return ml::pickerAnchorY(tw(frameGeometry().top()), m_nonClientHeight, tw(m_bar.Toolbar1->height()),
                             textBarVisible() ? tw(m_textBar.Toolbar2->height()) : 0,
                             figureBarVisible() ? tw(m_figureBar.Toolbar3->height()) : 0);
}

void Form1::showFigurePicker()
{
    const ml::PickerPlace p = ml::figurePickerPlace(tw(frameGeometry().left()), pickerAnchorTwips());
    Figures *picker = m_pickers->showFigures(QPoint(px(p.left), px(p.top)));
    connect(picker, &Figures::figurePicked, this, [this](const QString &family, int code) { setFigure(family, code); });
}

void Form1::showColorPicker()
{
    const ml::PickerPlace p = ml::colorPickerPlace(
        tw(frameGeometry().left()), tw(m_textBar.Toolbar5->mapTo(this, QPoint(0, 0)).x()), pickerAnchorTwips());
    ColorMenu *picker = m_pickers->showColors(&m_swatches, QPoint(px(p.left), px(p.top)));
    connect(picker, &ColorMenu::swatchPicked, this, [this](int index) { setColorSwatch(index); });
    connect(picker, &ColorMenu::pictureColorsPicked, this, &Form1::setPictureColors);
}

void Form1::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    // A click back into the main window dismisses the pickers.
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        m_pickers->ownerActivated();
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
        QMessageBox::warning(this, programCaption(), QStringLiteral("Файл справки отсутствует"));
}

void Form1::showAbout()
{
    AboutDialog about(this);
    connect(&about, &AboutDialog::helpRequested, this, &Form1::ShowHelp);
    about.exec();
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
        connect(pf, &PicForm::displaySizeChanged, m_coupling, &GridCoupling::publishDisplaySize);
        connect(pf, &PicForm::unloaded, this, &Form1::onImageUnloaded);
        m_picForm = pf;
    }
    return m_picForm;
}

TextForm *Form1::textForm()
{
    if (!m_textForm) {
        auto *tf = new TextForm;
        m_mdi->addSubWindow(tf);
        tf->Form_Load(m_picForm ? m_picForm->windowFont().family() : QString());
        tf->hide();
        connect(tf, &TextForm::gridSizeChosen, this, &Form1::onGridSizeChosen);
        connect(tf, &TextForm::converting, m_run, &RunControl::converting);
        connect(tf, &TextForm::outputAvailable, this, &Form1::setResultAvailable);
        // The result view's zoom keys work anywhere in the window.
        addActions(tf->zoom()->actions());
        m_textForm = tf;
    }
    return m_textForm;
}

void Form1::setLastFileEntry(const QString &path)
{
    m_recent->add(path);
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
    // The original entry first, as it always was; the newer formats after it.
    filters.entries = {
        {QStringLiteral("Изображение (Jpeg, Bmp, Gif)"), QStringLiteral("*.jpg;*.jpe;*.jpeg;*.bmp;*.dib;*.gif")},
        {QStringLiteral("Изображение (Png, WebP, Tiff)"), QStringLiteral("*.png;*.webp;*.tif;*.tiff")},
        {QStringLiteral("Все изображения (Jpeg, Bmp, Gif, Png, WebP, Tiff)"),
         QStringLiteral("*.jpg;*.jpe;*.jpeg;*.bmp;*.dib;*.gif;*.png;*.webp;*.tif;*.tiff")}};
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
        m_preview->optionsChanged();
        setLastFileEntry(fname);
        return true;
    }
    // The earlier picture, if any, stays: show it again.
    if (pf->hasPicture())
        pf->show();
    QMessageBox::critical(this, programCaption(), openErrorMessage(fname));
    return false;
}

void Form1::CheckOpen()
{
    if (m_inCheckOpen)
        return;
    m_inCheckOpen = true;
    const bool open = picForm()->hasPicture();
    EnableAll(open);
    m_commands.open->setEnabled(true);
    m_bar.Toolbar1->setEnabled(true);
    // A result still on screen can still be output.
    setResultAvailable(m_textForm && m_textForm->isVisible() && globals::ResultKind != 0);
    m_bar.ImageCombo1->setEnabled(true);
    m_bar.Label11->setEnabled(true);
    m_bar.Frame1->setEnabled(true);
    if (!open && m_picForm && m_picForm->isVisible())
        m_picForm->close();
    m_inCheckOpen = false;
}

// ---------------------------------------------------------------------------
// Commands

void Form1::openCommand()
{
    OpenFile();
    CheckOpen();
}

void Form1::zoomCommand()
{
    const ml::PickerPlace p = ml::zoomMenuPlace(tw(m_bar.Toolbar1->height()));
    const QPoint at = mapToGlobal(QPoint(px(p.left), m_bar.Toolbar1->y() + px(p.top)));
    picForm()->zoomMenu()->popup(at);
}

void Form1::goCommand()
{
    if (imageKey(m_bar.goButton) == QLatin1String("go"))
        GoChar();
    else
        StopThis();
}

void Form1::resultCommand()
{
    MakeResult(m_commands.result->data().toString());
}

void Form1::chooseOutput(QAction *entry)
{
    setResultKey(entry->data().toString(), entry->text());
    resultCommand();
}

void Form1::openPicture(const QString &path)
{
    LoadImage(path);
    CheckOpen();
}

// ---------------------------------------------------------------------------
// Run control

bool Form1::isRunning() const
{
    return m_run->isRunning();
}

RunRequest Form1::runRequest() const
{
    RunRequest r;
    r.mode = m_bar.ImageCombo1->currentIndex() + 1;
    r.visibleBar = textBarVisible() ? 1 : (figureBarVisible() ? 2 : 0);
    if (r.visibleBar != 0) {
        r.columnsText = visibleGrid().columns->text();
        r.rowsText = visibleGrid().rows->text();
    }
    r.fontFace = m_textBar.ImageCombo2->currentText();
    r.ramp = m_textBar.ImageCombo2->currentData().toString();
    r.textSizeText = m_textBar.grid.sizeList->currentText();
    r.textColor = textColor();
    r.pictureColors = m_pictureColors;
    r.contrast = qint16(m_textBar.Slider1->value());
    r.method = m_textBar.methodList->currentIndex();
    r.figureFamily = figureFamily();
    r.figureCode = m_figureCode;
    r.figureSizeText = m_figureBar.grid.sizeList->currentText();
    r.gray = m_figureBar.ImageCombo3->currentIndex() + 1 == 2;
    r.fill = m_figureBar.fillBox->isChecked();
    return r;
}

void Form1::setGoButton(bool running)
{
    showGoCommand(m_commands, running);
}

void Form1::StopThis()
{
    m_run->stop();
}

void Form1::EnableAll(bool en, const QString &tlb)
{
    Q_UNUSED(tlb) // every caller switches all controls
    for (const WindowControl &control : std::as_const(m_controls)) {
        try {
            setControlEnabled(control.widget, en);
            QCoreApplication::processEvents();
            for (QWidget *b : control.buttons)
                setControlEnabled(b, en);
        } catch (...) {
        }
    }
    m_bar.Toolbar6->setEnabled(true);
    setControlEnabled(m_bar.helpButton, true);
}

void Form1::onRunStarted()
{
    EnableAll(false);
    setGoButton(true);
    m_bar.Toolbar1->setEnabled(true);
    m_commands.go->setEnabled(true);
}

void Form1::onRunFinished(const QString &failure)
{
    setGoButton(false);
    EnableAll(true);
    ImageCombo2_Click();
    // Nothing to output after a failed run.
    if (!failure.isEmpty())
        setResultAvailable(false);
}

void Form1::GoChar()
{
    if (m_run->isPreviewing()) {
        // The run the user asked for replaces the preview under way.
        m_run->stop();
        QTimer::singleShot(10, this, &Form1::GoChar);
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

void Form1::MakeResult(const QString &sposob)
{
    m_run->output(sposob);
}

// ---------------------------------------------------------------------------
// Unload sequence

void Form1::saveSettings()
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
        o.lastFile = m_commands.lastFile->data().toString();
        o.lastResult = m_commands.result->data().toString();
        o.lastResultTip = resultTip(m_commands);
        o.write(store);
        m_recent->save(store);
    });
    store.sync();
}

void Form1::Form_Unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    m_pickers->closeAll();
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
    if (isRunning()) {
        // The conversion ends first; the window closes right after it.
        m_closeRequested = true;
        m_run->stopForClose();
        event->ignore();
        return;
    }
    Form_Unload();
    event->accept();
}

} // namespace tessilor
