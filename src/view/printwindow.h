#pragma once
#include <QDialog>
#include <QImage>
#include <memory>

#include "layout/printlayout.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPrinter;
class QScrollBar;
class QToolBar;
class QToolButton;

namespace tessilor {

class CaptionBar;
class Panel3d;
class Progress;

// The application-wide current printer. Created on first use for the
// system's default printer (or an unnamed printer when there is none).
QPrinter &currentPrinter();
// Makes the system printer with the given name the current printer.
void selectCurrentPrinter(const QString &printerName);
// Makes a PDF writer the current printer: every document goes to
// outputFile (copies beyond the first to numbered files, see SendToPrinter).
// For tests and for machines whose only printer is a PDF queue.
void usePdfPrinter(const QString &outputFile);
// Makes the PDF file printer of the printer list current (kept when it
// already is): every print asks for the PDF file to write, starting in the
// user's documents folder or at the last file chosen. The paper of the
// printer it replaces is kept.
void usePdfFilePrinter();
bool currentPrinterAsksForFile();
// Its entry in the printer list: "Файл PDF".
QString pdfFilePrinterName();
// Device name shown for a printer: its name, or the output file of a PDF
// writer.
QString printerDeviceName(const QPrinter &printer);
// Number of installed printers, counting a PDF writer made current.
int installedPrinterCount();
bool currentPrinterIsPdf();
// Goes back to the system's default printer.
void resetCurrentPrinter();

// The "print" output: the print window shown modally over owner. Without
// any printer of the system the PDF file printer is made current first.
// Returns whether the window was shown.
bool ShowPrintWindow(const PrintSource &source, QWidget *owner);

// Output file of copy `copy` (1-based) of `copies` for a PDF writer whose
// file is outputFile: the file itself for a single copy, otherwise
// "<name>-<copy>.pdf" beside it.
QString pdfCopyFileName(const QString &outputFile, int copy, int copies);

// The print window: printer choice, page setup, quality, copies and a
// preview of one page. Shown modally by the print output.
class PrintWindow : public QDialog
{
    Q_OBJECT
public:
    explicit PrintWindow(const PrintSource &source, QWidget *parent = nullptr);
    ~PrintWindow() override;

    // Fills the printer list and selects the current printer.
    void fillPrinterList();
    // Draws the preview of one page with the current printer's page size.
    void drawPreview();
    // Prints the result to the current printer, once per copy. Returns true
    // when every copy was sent (or nothing had to be printed). The PDF file
    // printer asks for the file first. While a page is laid out the window
    // shows the progress, its events run, and its print button (now "Стоп"),
    // its close button and Esc stop the print: nothing is printed then, and
    // the window stays (after the stop button) or closes.
    // A PDF file is written whole before it takes the place of an earlier
    // one.
    bool SendToPrinter();
    bool isPrinting() const { return m_printing; }

    // Current printer index in the printer list (0-based).
    int currentPrinterIndex() const { return m_printerIndex; }
    // The preview as drawn (box size) and the box in the frame (twips).
    QImage previewImage() const { return m_preview; }
    PreviewBox previewBoxTwips() const { return m_box; }
    PageLayoutInfo lastPreviewLayout() const { return m_previewInfo; }
    PageLayoutInfo lastPrintLayout() const { return m_printInfo; }

    // Paper of the printer in twips, as it stands.
    static QSizeF pageSizeTwips(const QPrinter &printer);
    // Where the art goes on that paper: inside the margins of the page
    // setup (pageMarginsMm), in twips from the paper's corner.
    static QRectF artRectTwips(const QPrinter &printer);

public Q_SLOTS:
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void buildControls();
    void printerChosen(int index);
    void showPageSetup();
    void printBarClicked(int button);
    void copiesEdited(const QString &text);
    void copiesScrolled(int value);
    void showPrinterLabels(const QPrinter &printer);
    enum class CopyOutcome { Printed, Failed, Stopped };
    CopyOutcome printCopy(QPrinter &printer, const QString &device);
    bool choosePdfFile(QPrinter &printer);
    static QString pdfFolder(const QPrinter &printer);
    void setPrinting(bool printing);
    void showOutputError(const QString &device);
    void showFileError();

    PrintSource m_source;
    int m_printerIndex = 0;
    bool m_filling = false;
    bool m_printing = false;
    bool m_fileCancelled = false;
    bool m_closeAfterStop = false;
    qint16 m_stop = 0;
    QImage m_preview;
    PreviewBox m_box;
    PageLayoutInfo m_previewInfo;
    PageLayoutInfo m_printInfo;

    CaptionBar *m_header = nullptr;
    QGroupBox *m_previewFrame = nullptr;
    QLabel *m_previewLabel = nullptr;
    QGroupBox *m_printerFrame = nullptr;
    QComboBox *m_printerList = nullptr;
    QLabel *m_printerType = nullptr;
    QLabel *m_printerDriver = nullptr;
    QLabel *m_printerPlace = nullptr;
    QGroupBox *m_settingsFrame = nullptr;
    QToolBar *m_setupBar = nullptr;
    Panel3d *m_lowerRule = nullptr;
    Panel3d *m_upperRule = nullptr;
    QCheckBox *m_qualityBox = nullptr;
    QLineEdit *m_copiesField = nullptr;
    QScrollBar *m_copiesScroll = nullptr;
    QToolBar *m_printBar = nullptr;
    Progress *m_progress = nullptr;
};

} // namespace tessilor
