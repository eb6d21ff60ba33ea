#pragma once
#include <QChar>
#include <QFont>
#include <QImage>
#include <QString>

#include "app/runrequest.h"
#include "base/runhooks.h"
#include "layout/printlayout.h"
#include "widgets/subwindow.h"

namespace tessilor {

class CaptionBar;
class RichTextControl;
class ImageWindow;
class TextZoom;

// The result window: a frameless MDI child with its own caption strip
// ("Символизация", maximize/restore, close) and the read-only rich text
// richText. It carries the two conversions and the three outputs. It knows
// nothing of the main window: a conversion takes a run request, the picture
// and the run's hooks, and the window reports through its signals.
class ResultWindow : public FramelessSubWindow
{
    Q_OBJECT
public:
    explicit ResultWindow(QWidget *parent = nullptr);
    ~ResultWindow() override;

    // Places the window and creates richText. Run once, after the window has
    // been added to an MDI area. fontFamily: the result's font until the
    // first run.
    void initialize(const QString &fontFamily);
    void layoutParts();

    // Converts the picture by the request's mode (text characters or
    // figures) into the window and the temporary files, announcing the
    // clamped grid with gridSizeChosen. Throws RunError when the conversion
    // cannot run.
    void convert(const RunRequest &request, const ImageWindow *picture, const RunHooks &hooks);

    // Outputs.
    void saveToFile();
    void openInWordProcessor();
    void copyToClipboard();

    RichTextControl &richText() { return *m_richText; }
    // The zoom of the result's view (not of the result), made by initialize.
    TextZoom *zoom() const { return m_zoom; }
    CaptionBar *captionBar() const { return m_header; }
    // The result's font, text colour and (after a figure run) glyph.
    QFont resultFont() const { return m_font; }
    quint32 foreColor() const { return m_foreColor; }
    QChar glyph() const { return m_glyph; }
    // True after a text run in the picture's colours (their colour file is
    // TempColorPath).
    bool pictureColors() const { return m_pictureColors; }
    // What printing and the PDF export read: the last run's files with the
    // result's font, colours and glyph.
    PrintSource printSource() const;
    // Path of the copy the word processor opens.
    static QString wordFilePath();

    // True while the window shows a result that Stop cut short (a live
    // preview that runs to its end shows a whole one again); the note says
    // so with the rows done, for the status bar and the output messages.
    bool isIncomplete() const { return m_rowsWanted > 0; }
    QString incompleteNote() const;
    // Before an output of a result cut short: asks the question below the
    // note; true to go on (always for a whole result).
    bool confirmIncompleteOutput(const QString &question);

Q_SIGNALS:
    // The grid a conversion uses, counted as the grid-size fields count it.
    void gridSizeChosen(int columns, int rows);
    // A conversion has started (true) or has finished filling the window
    // (false); its progress goes through the run's hooks.
    void converting(bool underWay);
    // The result can be output (true) or not (false: the window was closed,
    // or an output dialog is open).
    void outputAvailable(bool available);
    // The result became incomplete or whole again (see isIncomplete).
    void completenessChanged();

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void beginRun(const RunRequest &request, const RunHooks &hooks);
    void finishRun(const RunRequest &request);
    void setRowsDone(int done, int wanted);
    void showCaption();

    QWidget *m_client = nullptr;
    CaptionBar *m_header = nullptr;
    RichTextControl *m_richText = nullptr;
    TextZoom *m_zoom = nullptr;
    QFont m_font;
    quint32 m_foreColor = 0;
    QChar m_glyph; // Tag
    bool m_preview = false;
    QPoint m_previewScroll;
    bool m_pictureColors = false;
    QString m_picturePath; // the picture of the last run
    int m_rowsDone = 0;
    int m_rowsWanted = 0; // above 0 while the result is incomplete
};

} // namespace tessilor
