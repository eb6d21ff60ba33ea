#pragma once
#include <QChar>
#include <QFont>
#include <QImage>
#include <QString>

#include "engine/runhooks.h"
#include "widgets/subwindow.h"

namespace tessilor {

class CaptionBar;
class cRichEdit;
class Form1;

// Why a conversion could not run; the run control shows it to the user.
struct RunError {
    QString reason;
};

// The result window: a frameless MDI child with its own caption strip
// ("Символизация", maximize/restore, close) and the read-only rich text
// rEdit. It carries the two conversions and the three outputs.
class TextForm : public FramelessSubWindow
{
    Q_OBJECT
public:
    explicit TextForm(Form1 *main);
    ~TextForm() override;

    // Places the window and creates rEdit. Run once, after the window has
    // been added to the main window's MDI area.
    void Form_Load();
    void Form_Resize();

    // Builds the sampling grid from the image window and the main window's
    // grid-size fields (writing the clamped values back).
    void MakePicture();
    // The two conversions; they throw RunError when they cannot run.
    void Characterize();
    void Figurize();

    // Outputs.
    void ToFile();
    void ToWord();
    void ToClipboard();

    cRichEdit &rEdit() { return *m_rEdit; }
    CaptionBar *captionBar() const { return m_header; }
    const QImage &gridImage() const { return m_grid; }
    // The result's font, text colour and (after a figure run) glyph.
    QFont resultFont() const { return m_font; }
    quint32 foreColor() const { return m_foreColor; }
    QChar glyph() const { return m_glyph; }
    // Path of the copy the word processor opens.
    static QString wordFilePath();

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    RunHooks runHooks() const;
    void finishRun();

    Form1 *m_main;
    QWidget *m_client = nullptr;
    CaptionBar *m_header = nullptr;
    cRichEdit *m_rEdit = nullptr;
    QImage m_grid; // Picture2, the sampling surface
    QFont m_font;
    quint32 m_foreColor = 0;
    QChar m_glyph; // Tag
};

} // namespace tessilor
