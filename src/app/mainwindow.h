#pragma once
#include <QMainWindow>
#include <QPointer>
#include <QString>

#include "app/colorpicker.h"
#include "app/figurepicker.h"
#include "app/mainbars.h"
#include "app/resultwindow.h"
#include "app/runrequest.h"
#include "layout/swatches.h"
#include "view/imagewindow.h"

class QLabel;
class QLineEdit;
class QMdiArea;
class QToolButton;

namespace tessilor {

class GridCoupling;
class PickerWindows;
class LivePreview;
class PicturePaste;
class RecentMenu;
class RunControl;

// The main window: the MDI frame with the main tool bar (open, zoom,
// start/stop, result output, the mode list, the progress bar and the help
// bar), the text-mode option bar and the figure-mode option bar. It owns the
// option controls, builds the run request from them and routes the commands
// to the run control, the image window and the result window.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Shows the window in the state restored from the settings.
    void showAsStored();
    // Raises and activates the window (a second start asked for it).
    void bringToFront();

    // Opening (the open dialog, loading a file, the open-state check).
    void showOpenDialog();
    bool loadPicture(const QString &fname);
    // Opens the picture on the clipboard (Ctrl+V, the open drop-down's last
    // entry); without one the status bar says so.
    void pastePicture();
    void updateOpenState();
    // Opens a file as the open dialog would: the load, then the check.
    void openPicture(const QString &path);

    // Run control.
    void startConversion();
    void stopConversion();
    void outputResult(const QString &output);
    void setControlsEnabled(bool enabled);
    bool isRunning() const;
    // The run request of the controls as they are now.
    RunRequest runRequest() const;

    // Help bar.
    void showHelp();
    void showAbout();
    // The drop-down pickers of the figure button and the colour button.
    void showFigurePicker();
    void showColorPicker();

    // Writes the settings the way the unload sequence does (without closing).
    void saveSettings();
    // The unload sequence: child windows, settings, temporary files. Runs
    // once; later calls do nothing.
    void unload();

    // The image window and the result window, created on first use; the
    // existing ones (null when not created).
    ImageWindow *imageWindow();
    ImageWindow *existingImageWindow() const { return m_imageWindow; }
    ResultWindow *resultWindow();
    ResultWindow *existingResultWindow() const { return m_resultWindow; }

    // Image key of a button: its command's data ("go"/"canc", the output
    // key of the result button), else its "imageKey" property.
    static QString imageKey(const QToolButton *button);
    // The colour button's swatch list and the selected swatch (1-based).
    SwatchList &swatches() { return m_swatches; }
    int colorSwatchIndex() const { return m_colorSwatch; }
    void setColorSwatch(int index);
    quint32 textColor() const;
    // The colour choice "По изображению": every character in its cell's
    // colour; picking a swatch ends it.
    void setPictureColors();
    bool pictureColors() const { return m_pictureColors; }
    // The figure button's key ("k" + code) and the figure's font family.
    QString figureKey() const;
    QString figureFamily() const { return m_figureFamily; }
    void setFigure(const QString &family, int code);

    // The window's outer minus inner height in twips, measured once the
    // window manager has framed the window (0 without a frame).
    float nonClientHeight() const { return m_nonClientHeight; }
    // The open pickers (null when closed).
    QWidget *figurePicker() const;
    QWidget *colorPicker() const;

    // Contents page of the help pages beside the program.
    static QString helpFilePath();

    // Mode by the visible option bar.
    bool textBarVisible() const;
    bool figureBarVisible() const;

    // Selection handlers of the mode list and the font list.
    void modeChosen();
    void fontChosen();

Q_SIGNALS:
    // A run (startConversion) has ended, completed, stopped or failed.
    void runFinished();
    // The unload sequence has finished; the program may end.
    void unloadFinished();

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    // Tab goes round the bars' controls in reading order and the active
    // window (the image or the result).
    bool focusNextPrevChild(bool next) override;

private:
    void load();
    void connectCommands();
    void connectLivePreview();
    double pickerAnchorTwips() const;
    void registerControls(const QList<WindowControl> &controls);
    void layoutOnResize();

    // Commands.
    void openCommand();
    void zoomCommand();
    void goCommand();
    void resultCommand();
    void chooseOutput(QAction *entry);

    void setLastFileEntry(const QString &path);
    void onImageUnloaded(const QString &path, bool fileStillExists);
    void onGridSizeChosen(int columns, int rows);
    void onRunStarted();
    void onRunFinished(const QString &failure);
    void setGoButton(bool running);
    void setResultKey(const QString &key, const QString &tip);
    void setResultAvailable(bool available);
    const GridFields &visibleGrid() const;

    QMdiArea *m_mdi = nullptr;
    QPointer<ImageWindow> m_imageWindow;
    QPointer<ResultWindow> m_resultWindow;
    RunControl *m_run = nullptr;
    GridCoupling *m_coupling = nullptr;
    PickerWindows *m_pickers = nullptr;
    LivePreview *m_preview = nullptr;
    RecentMenu *m_recent = nullptr;
    PicturePaste *m_paste = nullptr;
    QLabel *m_resultState = nullptr; // the status bar's note on the result

    MainCommands m_commands;
    MainBar m_bar;
    TextBar m_textBar;
    FigureBar m_figureBar;
    // Controls in window order for setControlsEnabled, with the buttons of each bar.
    QList<WindowControl> m_controls;
    QList<QWidget *> m_tabStops; // the bars' controls in reading order

    SwatchList m_swatches;
    int m_colorSwatch = 1;
    bool m_pictureColors = false;
    QString m_figureFamily; // the figure chosen
    int m_figureCode = 0;
    float m_nonClientHeight = 0;
    int m_storedState = 0;
    bool m_unloaded = false;
    bool m_inCheckOpen = false;
    bool m_closeRequested = false;
};

} // namespace tessilor
