#pragma once
#include <QIcon>
#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QString>

#include "app/colorpicker.h"
#include "app/figurepicker.h"
#include "app/textform.h"
#include "engine/swatches.h"
#include "view/imagewindow.h"

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMdiArea;
class QMenu;
class QSlider;
class QToolBar;
class QToolButton;

namespace tessilor {

class Progress;

// The main window: the MDI frame with the main tool bar (open, zoom,
// start/stop, result output, the mode list, the progress bar and the help
// bar), the text-mode option bar and the figure-mode option bar. It owns the
// option controls, runs conversions and routes the outputs.
class Form1 : public QMainWindow
{
    Q_OBJECT
public:
    explicit Form1(QWidget *parent = nullptr);
    ~Form1() override;

    // Shows the window in the state restored from the settings.
    void showAsStored();
    // Raises and activates the window (a second start asked for it).
    void bringToFront();

    // Opening (the open dialog, loading a file, the open-state check).
    void OpenFile();
    bool LoadImage(const QString &fname);
    void CheckOpen();

    // Run control.
    void GoChar();
    void StopThis();
    void MakeResult(const QString &sposob);
    void EnableAll(bool en, const QString &tlb = QString());
    bool isRunning() const { return m_running; }

    // Help bar.
    void ShowHelp();
    void showAbout();
    // The drop-down pickers of the figure button and the colour button.
    void showFigurePicker();
    void showColorPicker();

    // Writes the settings the way the unload sequence does (without closing).
    void saveSettings();
    // The unload sequence: child windows, settings, temporary files. Runs
    // once; later calls do nothing.
    void Form_Unload();

    // The image window (created on first use) and the result window.
    PicForm *picForm();
    PicForm *existingPicForm() const { return m_picForm; }
    TextForm *textForm();
    TextForm *existingTextForm() const { return m_textForm; }
    QMdiArea *mdiArea() const { return m_mdi; }

    // Controls the result window and the conversions read.
    QComboBox *imageCombo1() const { return ImageCombo1; }
    QComboBox *imageCombo2() const { return ImageCombo2; }
    QComboBox *imageCombo3() const { return ImageCombo3; }
    QComboBox *combo1() const { return Combo1; }
    QComboBox *combo2() const { return Combo2; }
    QLineEdit *text1() const { return Text1; }
    QLineEdit *text2() const { return Text2; }
    QLineEdit *text4() const { return Text4; }
    QLineEdit *text5() const { return Text5; }
    QCheckBox *check1() const { return Check1; }
    QCheckBox *check2() const { return Check2; }
    QSlider *slider1() const { return Slider1; }
    QToolBar *toolbar1() const { return Toolbar1; }
    QToolBar *toolbar2() const { return Toolbar2; }
    QToolBar *toolbar3() const { return Toolbar3; }
    QToolBar *toolbar4() const { return Toolbar4; }
    QToolBar *toolbar5() const { return Toolbar5; }
    QToolBar *toolbar6() const { return Toolbar6; }
    Progress *progress1() const { return Progress1; }
    // Main tool bar buttons by key: "open", "mas", "go", "result".
    QToolButton *button(const QString &key) const;
    QToolButton *helpButton() const { return m_helpButton; }
    QToolButton *figureButton() const { return m_figureButton; }
    QToolButton *colorButton() const { return m_colorButton; }
    QMenu *openMenu() const { return m_openMenu; }
    QMenu *resultMenu() const { return m_resultMenu; }
    QMenu *helpMenu() const { return m_helpMenu; }
    QAction *lastFileEntry() const { return m_lastFileEntry; }

    // Image key of a button ("go"/"canc", "save"/"word"/"cl"/"print"...).
    static QString imageKey(const QToolButton *button);
    // The colour button's swatch list and the selected swatch (1-based).
    SwatchList &swatches() { return m_swatches; }
    int colorSwatchIndex() const { return m_colorSwatch; }
    void setColorSwatch(int index);
    quint32 textColor() const;
    // The figure button's key ("k" + code) and hidden font family.
    QString figureKey() const;
    QString figureFamily() const;
    void setFigure(const QString &family, int code);

    // The window's outer minus inner height in twips, measured at load.
    float nonClientHeight() const { return m_nonClientHeight; }
    // The open pickers (null when closed).
    QWidget *figurePicker() const;
    QWidget *colorPicker() const;

    // Contents page of the help pages beside the program.
    static QString helpFilePath();

    // Mode by the visible option bar.
    bool textBarVisible() const;
    bool figureBarVisible() const;

    // Handlers other windows run.
    void ImageCombo1_Click();
    void ImageCombo2_Click();
    void setResultButtonEnabled(bool enabled);

Q_SIGNALS:
    // A run (GoChar) has ended, completed, stopped or failed.
    void runFinished();
    // The unload sequence has finished; the program may end.
    void unloadFinished();

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Form_Load();
    void buildMainToolbar();
    void buildTextBar();
    void buildFigureBar();
    void layoutAtLoad();
    void layoutOnResize();
    void layoutTextBar();
    void layoutFigureBar();
    void registerControl(QWidget *widget);

    void Toolbar1_ButtonClick(const QString &key);
    void Toolbar1_ButtonMenuClick(QAction *entry);
    void Toolbar6_ButtonMenuClick(const QString &key);
    void setLastFileEntry(const QString &path);
    void onImageUnloaded(const QString &path, bool fileStillExists);
    void onDisplaySizeChanged(int pw, int ph);
    void gridFieldChanged(QLineEdit *field);
    void runConversion();
    void setGoButton(bool running);
    void setResultKey(const QString &key, const QString &tip);

    QMdiArea *m_mdi = nullptr;
    QPointer<PicForm> m_picForm;
    QPointer<TextForm> m_textForm;
    QPointer<Figures> m_figures;
    QPointer<ColorMenu> m_colorMenu;

    // Main tool bar.
    QToolBar *Toolbar1 = nullptr;
    QList<QWidget *> m_slots; // 1-based positions 1..17 (index 0 unused)
    QToolButton *m_openButton = nullptr;
    QToolButton *m_masButton = nullptr;
    QToolButton *m_goButton = nullptr;
    QToolButton *m_resultButton = nullptr;
    QMenu *m_openMenu = nullptr;
    QAction *m_lastFileEntry = nullptr;
    QMenu *m_resultMenu = nullptr;
    QFrame *Frame1 = nullptr;
    QLabel *Label11 = nullptr;
    QComboBox *ImageCombo1 = nullptr;
    Progress *Progress1 = nullptr;
    QToolBar *Toolbar6 = nullptr;
    QToolButton *m_helpButton = nullptr;
    QMenu *m_helpMenu = nullptr;

    // Text-mode bar.
    QToolBar *Toolbar2 = nullptr;
    QFrame *Frame2 = nullptr;
    QComboBox *ImageCombo2 = nullptr;
    QComboBox *Combo1 = nullptr;
    QLabel *Label2 = nullptr;
    QLineEdit *Text1 = nullptr;
    QLineEdit *Text2 = nullptr;
    QCheckBox *Check1 = nullptr;
    QToolBar *Toolbar5 = nullptr;
    QToolButton *m_colorButton = nullptr;
    QToolButton *m_colorArrow = nullptr;
    QFrame *Frame3 = nullptr;
    QSlider *Slider1 = nullptr;

    // Figure-mode bar.
    QToolBar *Toolbar3 = nullptr;
    QFrame *Frame4 = nullptr;
    QComboBox *Combo2 = nullptr;
    QLabel *Label1 = nullptr;
    QLineEdit *Text4 = nullptr;
    QLineEdit *Text5 = nullptr;
    QCheckBox *Check2 = nullptr;
    QComboBox *ImageCombo3 = nullptr;
    QToolBar *Toolbar4 = nullptr;
    QToolButton *m_figureButton = nullptr;
    QToolButton *m_figureArrow = nullptr;

    // Controls in window order for EnableAll, and the buttons of each bar.
    QList<QWidget *> m_controls;

    SwatchList m_swatches;
    int m_colorSwatch = 1;
    float m_nonClientHeight = 0;
    int m_storedState = 0;
    bool m_running = false;
    bool m_unloaded = false;
    bool m_inCheckOpen = false;
    bool m_closeRequested = false;
    double m_progressLeftTwips = 0;
};

} // namespace tessilor
