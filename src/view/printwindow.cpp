#include "view/printwindow.h"

#include "base/options.h"
#include "base/outputfile.h"
#include "picture/resample.h"
#include "platform/comdlgandfuncs.h"
#include "platform/folders.h"
#include "platform/pagesetup.h"
#include "widgets/captionbar.h"
#include "widgets/panel3d.h"
#include "widgets/progress.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QScrollBar>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>
#include <cmath>

namespace tessilor {

namespace {

// The current printer and the resolution it came with, which is what the
// medium print quality uses.
struct PrinterHolder {
    std::unique_ptr<QPrinter> printer;
    int defaultResolution = 0;
    bool pdfWriter = false;
    // The PDF file printer of the printer list: the file is asked for at
    // every print, starting from the last one chosen.
    bool askForFile = false;
};

PrinterHolder &holderStorage()
{
    static PrinterHolder h;
    return h;
}

void releasePrinter()
{
    holderStorage().printer.reset();
}

PrinterHolder &holder()
{
    PrinterHolder &h = holderStorage();
    if (!h.printer) {
        h.printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        h.defaultResolution = h.printer->resolution();
        h.pdfWriter = false;
        h.askForFile = false;
        // The printer goes with the application object, not after it.
        static bool registered = false;
        if (!registered && QCoreApplication::instance()) {
            qAddPostRoutine(releasePrinter);
            registered = true;
        }
    }
    return h;
}

// Resolution of the medium quality of a PDF writer; the high quality uses
// the writer's high resolution (1200 dpi).
constexpr int kPdfMediumResolution = 300;

QRect twipsRect(double left, double top, double width, double height)
{
    return QRect(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height));
}

// Image 1 of the printer list: a small printer.
QIcon printerIcon()
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setPen(QColor(64, 64, 64));
    p.setBrush(Qt::white);
    p.drawRect(4, 1, 7, 5); // paper in
    p.setBrush(QColor(192, 192, 192));
    p.drawRect(1, 6, 13, 6); // body
    p.setBrush(Qt::white);
    p.drawRect(4, 11, 7, 4); // paper out
    p.setPen(QColor(0, 160, 0));
    p.drawPoint(12, 8);
    return QIcon(pm);
}

// Applies the print quality: -4 high, -3 medium (the printer's default).
void applyPrintQuality(PrinterHolder &h, int quality)
{
    QPrinter &printer = *h.printer;
    int dpi = h.defaultResolution;
    if (printer.outputFormat() == QPrinter::PdfFormat) {
        dpi = quality == -4 ? std::max(h.defaultResolution, 1200) : kPdfMediumResolution;
    } else if (quality == -4) {
        for (int r : printer.supportedResolutions())
            dpi = std::max(dpi, r);
    }
    if (dpi > 0)
        printer.setResolution(dpi);
}

} // namespace

QPrinter &currentPrinter()
{
    return *holder().printer;
}

void selectCurrentPrinter(const QString &printerName)
{
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setPrinterName(printerName);
    PrinterHolder &h = holder();
    h.printer = std::move(printer);
    h.defaultResolution = h.printer->resolution();
    h.pdfWriter = false;
    h.askForFile = false;
}

void usePdfPrinter(const QString &outputFile)
{
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(outputFile);
    PrinterHolder &h = holder();
    h.printer = std::move(printer);
    h.defaultResolution = h.printer->resolution();
    h.pdfWriter = true;
    h.askForFile = false;
}

void usePdfFilePrinter()
{
    PrinterHolder &h = holder();
    if (h.pdfWriter && h.askForFile)
        return;
    const QPageLayout layout = h.printer->pageLayout();
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    // The paper of the printer it replaces, where there was one.
    if (layout.isValid())
        printer->setPageLayout(layout);
    h.printer = std::move(printer);
    h.defaultResolution = h.printer->resolution();
    h.pdfWriter = true;
    h.askForFile = true;
}

bool currentPrinterAsksForFile()
{
    return holder().pdfWriter && holder().askForFile;
}

QString pdfFilePrinterName()
{
    return QStringLiteral("Файл PDF");
}

void resetCurrentPrinter()
{
    holderStorage().printer.reset();
    holder();
}

bool ShowPrintWindow(const PrintSource &source, QWidget *owner)
{
    // Without a printer of the system the result goes to a PDF file.
    if (installedPrinterCount() < 1)
        usePdfFilePrinter();
    PrintWindow form(source, owner);
    form.exec();
    return true;
}

bool currentPrinterIsPdf()
{
    return holder().pdfWriter;
}

int installedPrinterCount()
{
    return int(QPrinterInfo::availablePrinters().size()) + (currentPrinterIsPdf() ? 1 : 0);
}

QString printerDeviceName(const QPrinter &printer)
{
    if (!printer.printerName().isEmpty())
        return printer.printerName();
    if (!printer.outputFileName().isEmpty())
        return printer.outputFileName();
    return pdfFilePrinterName();
}

QString pdfCopyFileName(const QString &outputFile, int copy, int copies)
{
    if (copies <= 1)
        return outputFile;
    const QFileInfo fi(outputFile);
    QString base = fi.completeBaseName();
    if (fi.suffix().compare(QLatin1String("pdf"), Qt::CaseInsensitive) != 0)
        base = fi.fileName();
    const QString name = base + QLatin1Char('-') + QString::number(copy) + QStringLiteral(".pdf");
    return fi.path() == QLatin1String(".") && !outputFile.startsWith(QLatin1String("./"))
               ? name
               : fi.path() + QLatin1Char('/') + name;
}

QSizeF PrintWindow::pageSizeTwips(const QPrinter &printer)
{
    return paperTwips(printer.pageLayout());
}

QRectF PrintWindow::artRectTwips(const QPrinter &printer)
{
    return tessilor::artRectTwips(resultPageOf(printer));
}

PrintWindow::PrintWindow(const PrintSource &source, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), m_source(source)
{
    setObjectName(QStringLiteral("PrnForm"));
    setWindowTitle(QStringLiteral("Печать"));
    setModal(true);
    buildControls();
    // Load: fill the printer list, place the print/cancel bar, draw the
    // preview.
    fillPrinterList();
    const int button1 = m_printBar->widgetForAction(m_printBar->actions().at(0))->width();
    const int left = twipsToPixels(10305) - (2 * button1 + twipsToPixels(250));
    m_printBar->move(left, m_printBar->y());
    drawPreview();
}

PrintWindow::~PrintWindow() = default;

void PrintWindow::buildControls()
{
    setFixedSize(twipsToPixels(10305), twipsToPixels(6000));
    // The design positions are laid out for an 8-point interface font.
    QFont small = font();
    small.setPointSize(8);
    setFont(small);

    m_header = new CaptionBar(QStringLiteral("Печать"), this);
    m_header->setObjectName(QStringLiteral("Header"));
    m_header->setGeometry(0, 0, twipsToPixels(10305), twipsToPixels(300));
    m_header->setButtonOffsets(10305 - 10005);
    m_header->setIcon(printerIcon().pixmap(16, 16));
    m_header->setActive(true);
    connect(m_header, &CaptionBar::closeClicked, this, &QDialog::reject);

    // Preview.
    m_previewFrame = new QGroupBox(QStringLiteral("Предварительный просмотр"), this);
    m_previewFrame->setObjectName(QStringLiteral("Frame2"));
    m_previewFrame->setGeometry(twipsRect(45, 360, 5400, 5565));
    m_previewLabel = new QLabel(m_previewFrame);
    m_previewLabel->setObjectName(QStringLiteral("Picture2"));
    m_previewLabel->setGeometry(twipsRect(45, 225, 5295, 5295));
    m_previewLabel->setAutoFillBackground(true);
    QPalette white = m_previewLabel->palette();
    white.setColor(QPalette::Window, Qt::white);
    m_previewLabel->setPalette(white);
    m_previewLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    // Printer.
    m_printerFrame = new QGroupBox(QStringLiteral("Принтер"), this);
    m_printerFrame->setObjectName(QStringLiteral("Frame4"));
    m_printerFrame->setGeometry(twipsRect(5505, 360, 4740, 1755));
    auto caption = [](QWidget *parent, const QString &name, const QString &text, double l, double t) {
        auto *label = new QLabel(text, parent);
        label->setObjectName(name);
        label->move(twipsToPixels(l), twipsToPixels(t));
        label->adjustSize();
        return label;
    };
    caption(m_printerFrame, QStringLiteral("Label2"), QStringLiteral("Имя:"), 180, 375);
    m_printerList = new QComboBox(m_printerFrame);
    m_printerList->setObjectName(QStringLiteral("ImageCombo1"));
    m_printerList->setGeometry(twipsRect(915, 315, 3660, 330));
    m_printerList->setIconSize(QSize(16, 16));
    caption(m_printerFrame, QStringLiteral("Label3"), QStringLiteral("Тип:"), 180, 765);
    m_printerType = new QLabel(m_printerFrame);
    m_printerType->setObjectName(QStringLiteral("Label112"));
    m_printerType->setGeometry(twipsRect(975, 780, 3570, 270));
    caption(m_printerFrame, QStringLiteral("Label4"), QStringLiteral("Драйвер:"), 165, 1050);
    m_printerDriver = new QLabel(m_printerFrame);
    m_printerDriver->setObjectName(QStringLiteral("Label6"));
    m_printerDriver->setGeometry(twipsRect(990, 1050, 3555, 270));
    caption(m_printerFrame, QStringLiteral("Label7"), QStringLiteral("Место:"), 165, 1335);
    m_printerPlace = new QLabel(m_printerFrame);
    m_printerPlace->setObjectName(QStringLiteral("Label5"));
    m_printerPlace->setGeometry(twipsRect(990, 1335, 3450, 270));
    connect(m_printerList, &QComboBox::activated, this, [this](int index) {
        if (!m_filling)
            printerChosen(index);
    });

    // Settings.
    m_settingsFrame = new QGroupBox(QStringLiteral("Установки"), this);
    m_settingsFrame->setObjectName(QStringLiteral("Frame6"));
    m_settingsFrame->setGeometry(twipsRect(5505, 2190, 4740, 2100));
    m_setupBar = new QToolBar(m_settingsFrame);
    m_setupBar->setObjectName(QStringLiteral("Toolbar1"));
    m_setupBar->setGeometry(twipsRect(135, 285, 2235, 330));
    m_setupBar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    QAction *setup = m_setupBar->addAction(QStringLiteral("Настройка страницы "));
    setup->setObjectName(QStringLiteral("Toolbar1_Button1"));
    m_setupBar->widgetForAction(setup)->setObjectName(QStringLiteral("Toolbar1_Button1"));
    connect(setup, &QAction::triggered, this, &PrintWindow::showPageSetup);

    m_upperRule = new Panel3d(m_settingsFrame);
    m_upperRule->setObjectName(QStringLiteral("Panel3d2"));
    m_upperRule->setGeometry(twipsRect(150, 720, 4395, 30));
    m_lowerRule = new Panel3d(m_settingsFrame);
    m_lowerRule->setObjectName(QStringLiteral("Panel3d1"));
    m_lowerRule->setGeometry(twipsRect(165, 1305, 4395, 30));

    m_qualityBox = new QCheckBox(QStringLiteral("Повышенное качество печати"), m_settingsFrame);
    m_qualityBox->setObjectName(QStringLiteral("Check1"));
    m_qualityBox->setGeometry(twipsRect(195, 885, 3735, 285));

    caption(m_settingsFrame, QStringLiteral("Label8"), QStringLiteral("Число копий:"), 195, 1605);
    m_copiesField = new QLineEdit(QStringLiteral("1"), m_settingsFrame);
    m_copiesField->setObjectName(QStringLiteral("Text2"));
    m_copiesField->setGeometry(twipsRect(1320, 1560, 870, 330));
    m_copiesField->setMaxLength(2);
    m_copiesScroll = new QScrollBar(Qt::Vertical, m_settingsFrame);
    m_copiesScroll->setObjectName(QStringLiteral("VScroll1"));
    m_copiesScroll->setGeometry(twipsRect(1875, 1590, 285, 270));
    m_copiesScroll->setRange(1, 99);
    m_copiesScroll->setValue(1);
    m_copiesScroll->setPageStep(1);
    // 99 at the top end: the upper arrow raises the count. The bar's own
    // step actions run the other way round and are turned here, while the
    // value has not been taken yet.
    m_copiesScroll->setInvertedAppearance(true);
    connect(m_copiesScroll, &QAbstractSlider::actionTriggered, this, [this](int action) {
        const int now = m_copiesScroll->value();
        int step = 0;
        switch (action) {
        case QAbstractSlider::SliderSingleStepAdd:
            step = -m_copiesScroll->singleStep();
            break;
        case QAbstractSlider::SliderSingleStepSub:
            step = m_copiesScroll->singleStep();
            break;
        case QAbstractSlider::SliderPageStepAdd:
            step = -m_copiesScroll->pageStep();
            break;
        case QAbstractSlider::SliderPageStepSub:
            step = m_copiesScroll->pageStep();
            break;
        default:
            return;
        }
        m_copiesScroll->setSliderPosition(std::clamp(now + step, m_copiesScroll->minimum(), m_copiesScroll->maximum()));
    });
    m_copiesScroll->raise();
    connect(m_copiesField, &QLineEdit::textChanged, this, &PrintWindow::copiesEdited);
    connect(m_copiesScroll, &QScrollBar::valueChanged, this, &PrintWindow::copiesScrolled);

    // Print and cancel.
    m_printBar = new QToolBar(this);
    m_printBar->setObjectName(QStringLiteral("Toolbar2"));
    m_printBar->setGeometry(twipsRect(6690, 5460, 2955, 450));
    m_printBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_printBar->setIconSize(QSize(16, 16));
    QAction *print = m_printBar->addAction(printerIcon(), QStringLiteral(" Печать   "));
    print->setObjectName(QStringLiteral("Toolbar2_Button1"));
    m_printBar->widgetForAction(print)->setObjectName(QStringLiteral("Toolbar2_Button1"));
    m_printBar->addSeparator();
    QAction *cancel =
        m_printBar->addAction(style()->standardIcon(QStyle::SP_DialogCancelButton), QStringLiteral(" Отмена   "));
    cancel->setObjectName(QStringLiteral("Toolbar2_Button3"));
    m_printBar->widgetForAction(cancel)->setObjectName(QStringLiteral("Toolbar2_Button3"));
    // The print's progress, between the settings and the print button.
    m_progress = new Progress(this);
    m_progress->setObjectName(QStringLiteral("PrintProgress"));
    m_progress->setGeometry(twipsRect(5505, 4380, 4740, 270));
    m_progress->hide();
    connect(print, &QAction::triggered, this, [this] { printBarClicked(1); });
    connect(cancel, &QAction::triggered, this, [this] { printBarClicked(3); });
    // Buttons of a tool bar share the widest button's width.
    QWidget *printButton = m_printBar->widgetForAction(print);
    QWidget *cancelButton = m_printBar->widgetForAction(cancel);
    const int buttonWidth = std::max(printButton->sizeHint().width(), cancelButton->sizeHint().width());
    printButton->setFixedWidth(buttonWidth);
    cancelButton->setFixedWidth(buttonWidth);
    m_printBar->resize(m_printBar->sizeHint().width(), m_printBar->height());
}

void PrintWindow::fillPrinterList()
{
    m_filling = true;
    m_printerList->clear();
    const QPrinter &current = currentPrinter();
    const QPrinterInfo currentInfo(current);
    const QString currentKey = current.printerName() + currentInfo.location();
    const QList<QPrinterInfo> printers = QPrinterInfo::availablePrinters();
    const QIcon icon = printerIcon();
    for (int i = 0; i < printers.size(); ++i) {
        m_printerList->addItem(icon, printers[i].printerName());
        if (!current.printerName().isEmpty() && printers[i].printerName() + printers[i].location() == currentKey)
            m_printerIndex = i;
    }
    // Printing to a PDF file is offered after the system's printers, and is
    // what there is when the system has none.
    m_printerList->addItem(icon, pdfFilePrinterName());
    if (currentPrinterAsksForFile())
        m_printerIndex = m_printerList->count() - 1;
    if (m_printerIndex < m_printerList->count())
        m_printerList->setCurrentIndex(m_printerIndex);
    m_filling = false;
    showPrinterLabels(current);
}

void PrintWindow::showPrinterLabels(const QPrinter &printer)
{
    if (printer.outputFormat() == QPrinter::PdfFormat && printer.printerName().isEmpty()) {
        m_printerType->setText(currentPrinterAsksForFile() ? pdfFilePrinterName() : printerDeviceName(printer));
        m_printerDriver->setText(QStringLiteral("PDF"));
        m_printerPlace->setText(QDir::toNativeSeparators(pdfFolder(printer)));
        return;
    }
    const QPrinterInfo info(printer);
    m_printerType->setText(printer.printerName());
    m_printerDriver->setText(info.makeAndModel());
    m_printerPlace->setText(info.location());
}

QString PrintWindow::pdfFolder(const QPrinter &printer)
{
    if (!printer.outputFileName().isEmpty())
        return QFileInfo(printer.outputFileName()).absolutePath();
    const QString documents = GetSpecialFolder(CSIDL_PERSONAL);
    return documents.isEmpty() ? QDir::homePath() : documents;
}

void PrintWindow::printerChosen(int index)
{
    if (index < 0 || index >= m_printerList->count())
        return;
    if (index == m_printerList->count() - 1) {
        usePdfFilePrinter();
    } else {
        const QString name = m_printerList->itemText(index);
        if (currentPrinter().printerName() != name || currentPrinterIsPdf())
            selectCurrentPrinter(name);
    }
    m_printerIndex = index;
    showPrinterLabels(currentPrinter());
    drawPreview();
}

void PrintWindow::showPageSetup()
{
    // The dialog starts from the margins confirmed last (at first 30, 20, 15
    // and 20 mm); the layout keeps what the user confirms.
    if (RunPageSetup(&currentPrinter(), this))
        drawPreview();
}

void PrintWindow::copiesEdited(const QString &text)
{
    m_copiesScroll->setValue(copiesSpinValue(text));
}

void PrintWindow::copiesScrolled(int value)
{
    const QString text = QString::number(value);
    if (m_copiesField->text() != text)
        m_copiesField->setText(text);
}

void PrintWindow::printBarClicked(int button)
{
    if (m_printing) {
        // The print button is the stop button while a page is laid out.
        if (button == 1)
            m_stop = 1;
        return;
    }
    if (button == 1) {
        m_closeAfterStop = false;
        SendToPrinter();
        // Closed while printing: the window goes once the print has stopped.
        // Stopped with the stop button, or the choice of the PDF file
        // cancelled: back to the window.
        if (m_closeAfterStop)
            QDialog::reject();
        else if (!m_fileCancelled && m_printInfo.status != LayoutStatus::Stopped)
            accept();
    } else if (button == 3) {
        reject();
    }
}

void PrintWindow::reject()
{
    // Closing while printing stops the print; the window stays until the
    // page has been given up.
    if (m_printing) {
        m_stop = 1;
        m_closeAfterStop = true;
        return;
    }
    QDialog::reject();
}

void PrintWindow::setPrinting(bool printing)
{
    m_printing = printing;
    m_stop = 0;
    for (QWidget *w : {static_cast<QWidget *>(m_printerFrame), static_cast<QWidget *>(m_settingsFrame)})
        w->setEnabled(!printing);
    m_printBar->widgetForAction(m_printBar->actions().at(2))->setEnabled(!printing);
    QAction *print = m_printBar->actions().at(0);
    print->setText(printing ? QStringLiteral(" Стоп   ") : QStringLiteral(" Печать   "));
    print->setIcon(printing ? style()->standardIcon(QStyle::SP_BrowserStop) : printerIcon());
    m_progress->SetPercent(0);
    m_progress->setVisible(printing);
}

void PrintWindow::keyPressEvent(QKeyEvent *event)
{
    // Enter in the copies field must not print by accident.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void PrintWindow::drawPreview()
{
    // The page surface is the paper; the art lies inside the margins and
    // is fitted to that area.
    const QSizeF page = pageSizeTwips(currentPrinter());
    const QRectF art = artRectTwips(currentPrinter());
    const PageLimits paper{float(page.width()), float(page.height())};
    const PageLimits limits = previewLimits(art.width(), art.height());
    m_box = previewBox(previewLimits(page.width(), page.height()), 5400, 5565);
    const int dw = std::max(1, twipsToPixels(m_box.width));
    const int dh = std::max(1, twipsToPixels(m_box.height));
    m_previewLabel->setGeometry(twipsToPixels(m_box.left), twipsToPixels(m_box.top), dw, dh);

    // One page at full size on the page surface, reduced in one copy. The
    // surface is fine enough for the result's cells to show.
    const bool cells = m_source.resultKind == 3 || m_source.resultKind == 2;
    const double dpi = previewSurfaceDpi(paper, limits, cells ? cellsAcross(m_source) : 0,
                                         cells ? m_source.gridRows : 0, kMaxPreviewSurfacePixels);
    const int sw = surfacePixels(paper.width, dpi);
    const int sh = surfacePixels(paper.height, dpi);
    QImage surface(sw, sh, QImage::Format_RGB32);
    m_previewInfo = PageLayoutInfo{};
    if (surface.isNull()) {
        m_preview = QImage(dw, dh, QImage::Format_RGB32);
        m_preview.fill(Qt::white);
        m_previewLabel->setPixmap(QPixmap::fromImage(m_preview));
        ShowMemoryError(this);
        return;
    }
    const int dotsPerMeter = previewDotsPerMeter(dpi);
    surface.setDotsPerMeterX(dotsPerMeter);
    surface.setDotsPerMeterY(dotsPerMeter);
    surface.fill(Qt::white);
    {
        QPainter painter(&surface);
        painter.setRenderHint(QPainter::TextAntialiasing);
        moveToArt(painter, art);
        m_previewInfo = layoutPage(painter, m_source, limits);
    }
    m_preview = resampleBox(surface, dw, dh);
    m_previewLabel->setPixmap(QPixmap::fromImage(m_preview));
    m_previewFrame->update();
}

void PrintWindow::showOutputError(const QString &device)
{
    QMessageBox::critical(this, programCaption(),
                          QStringLiteral("Ошибка вывода на принтер ") + device + QStringLiteral("!") +
                              QLatin1Char('\n') + QStringLiteral("Возможно отмена на виртуальном принтере."));
}

void PrintWindow::showFileError()
{
    const QString path = m_source.resultKind == 3 ? m_source.textPath : m_source.colorPath;
    QMessageBox::critical(this, programCaption(),
                          QStringLiteral("Не удалось прочитать файл результата ") + QDir::toNativeSeparators(path) +
                              QStringLiteral(".\nВыполните преобразование заново."));
}

PrintWindow::CopyOutcome PrintWindow::printCopy(QPrinter &printer, const QString &device)
{
    QPainter painter;
    if (!painter.begin(&printer)) {
        showOutputError(device);
        return CopyOutcome::Failed;
    }
    RunHooks hooks;
    hooks.stopFlag = &m_stop;
    hooks.yield = [] { QCoreApplication::processEvents(); };
    hooks.yieldIntervalMs = 20;
    hooks.percent = [this](double p) { m_progress->SetPercent(p); };
    // The printer draws from the paper's corner (full page); the art goes
    // inside the margins.
    const QRectF art = artRectTwips(printer);
    moveToArt(painter, art);
    m_printInfo = layoutPage(painter, m_source, printLimits(art.width(), art.height()), hooks);
    if (m_printInfo.status == LayoutStatus::FileError || m_printInfo.status == LayoutStatus::Stopped) {
        // The file went away between copies, or the user stopped: drop the
        // started document.
        printer.abort();
        painter.end();
        if (m_printInfo.status == LayoutStatus::FileError) {
            showFileError();
            return CopyOutcome::Failed;
        }
        return CopyOutcome::Stopped;
    }
    const bool ended = painter.end();
    if (!ended || printer.printerState() == QPrinter::Error || printer.printerState() == QPrinter::Aborted) {
        showOutputError(device);
        return CopyOutcome::Failed;
    }
    return CopyOutcome::Printed;
}

bool PrintWindow::choosePdfFile(QPrinter &printer)
{
    FilterTable filters;
    filters.entries = {{QStringLiteral("Документы PDF (*.pdf)"), QStringLiteral("*.pdf")}, {}, {}};
    const FileDialogAnswer answer = ShowFileDialog(2, pdfFolder(printer), filters, QStringLiteral("pdf"), this);
    if (!answer.confirmed())
        return false;
    printer.setOutputFileName(answer.file());
    showPrinterLabels(printer);
    return true;
}

bool PrintWindow::SendToPrinter()
{
    PrinterHolder &h = holder();
    QPrinter &printer = *h.printer;
    m_fileCancelled = false;
    applyPrintQuality(h, m_qualityBox->isChecked() ? -4 : -3);
    m_printInfo = PageLayoutInfo{};
    if (m_source.resultKind != 3 && m_source.resultKind != 2)
        return true;
    const int copies = copiesToPrint(m_copiesField->text());
    if (copies < 1)
        return true;

    // Nothing is started when the result cannot be read.
    if (!sourceReadable(m_source)) {
        showFileError();
        return false;
    }

    const bool pdf = printer.outputFormat() == QPrinter::PdfFormat;
    if (pdf && (h.askForFile || printer.outputFileName().isEmpty()) && !choosePdfFile(printer)) {
        m_fileCancelled = true;
        return false;
    }
    printer.setDocName(printJobName(m_source));
    printer.setCreator(programCaption());

    const QString pdfFile = printer.outputFileName();
    bool ok = true;
    // Positions count from the paper's corner while printing.
    const bool fullPage = printer.fullPage();
    printer.setFullPage(true);
    setPrinting(true);
    for (int c = 1; c <= copies && ok; ++c) {
        if (!pdf) {
            ok = printCopy(printer, printerDeviceName(printer)) == CopyOutcome::Printed;
            continue;
        }
        // A PDF writer has one file per document: each copy gets its own.
        const QString name = pdfCopyFileName(pdfFile, c, copies);
        // The file is replaced whole or not at all, and a link at its name
        // is replaced, never written through.
        OutputFile target(name);
        if (!target.open(QIODevice::WriteOnly)) {
            showOutputError(name);
            ok = false;
            break;
        }
        printer.setOutputFileName(target.writeName());
        const CopyOutcome outcome = printCopy(printer, name);
        ok = outcome == CopyOutcome::Printed;
        if (ok && !target.commit()) {
            showOutputError(name);
            ok = false;
        }
    }
    setPrinting(false);
    printer.setFullPage(fullPage);
    if (pdf)
        printer.setOutputFileName(pdfFile);
    return ok;
}

} // namespace tessilor
