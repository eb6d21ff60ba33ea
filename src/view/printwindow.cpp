#include "view/printwindow.h"

#include "engine/resample.h"
#include "platform/pagesetup.h"
#include "widgets/captionbar.h"
#include "widgets/panel3d.h"

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
        // The printer goes with the application object, not after it.
        static bool registered = false;
        if (!registered && QCoreApplication::instance()) {
            qAddPostRoutine(releasePrinter);
            registered = true;
        }
    }
    return h;
}

// Largest preview page surface; bigger paper is drawn at a lower
// resolution, so an enormous custom paper size cannot exhaust memory.
constexpr qint64 kMaxSurfacePixels = 24'000'000;

// Resolution of the medium quality of a PDF writer; the high quality uses
// the writer's high resolution (1200 dpi).
constexpr int kPdfMediumResolution = 300;

constexpr int px(double twips)
{
    return int(twips / 15.0 + 0.5);
}

QRect twipsRect(double left, double top, double width, double height)
{
    return QRect(px(left), px(top), px(width), px(height));
}

// Image 1 of the printer list: a small printer.
QIcon printerIcon()
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setPen(QColor(64, 64, 64));
    p.setBrush(Qt::white);
    p.drawRect(4, 1, 7, 5);        // paper in
    p.setBrush(QColor(192, 192, 192));
    p.drawRect(1, 6, 13, 6);       // body
    p.setBrush(Qt::white);
    p.drawRect(4, 11, 7, 4);       // paper out
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
}

void resetCurrentPrinter()
{
    holderStorage().printer.reset();
    holder();
}

bool ShowPrintWindow(const PrintSource &source, QWidget *owner)
{
    if (installedPrinterCount() < 1) {
        QMessageBox::critical(owner, QGuiApplication::applicationDisplayName(),
                              QStringLiteral("На компьютере нет установленных принтеров!"));
        return false;
    }
    PrnForm form(source, owner);
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
    return QStringLiteral("PDF");
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

QSizeF PrnForm::pageSizeTwips(const QPrinter &printer)
{
    // The drawable area: the layout starts at its top-left corner.
    // Millimetres keep the exact size of metric paper (points are rounded).
    const QRectF r = printer.pageLayout().paintRect(QPageLayout::Millimeter);
    return {r.width() * 1440.0 / 25.4, r.height() * 1440.0 / 25.4};
}

PrnForm::PrnForm(const PrintSource &source, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), m_source(source)
{
    setObjectName(QStringLiteral("PrnForm"));
    setWindowTitle(QStringLiteral("Печать"));
    setModal(true);
    buildControls();
    // Load: fill the printer list, place the print/cancel bar, draw the
    // preview.
    PrintInit();
    const int button1 = Toolbar2->widgetForAction(Toolbar2->actions().at(0))->width();
    const int left = px(10305) - (2 * button1 + px(250));
    Toolbar2->move(left, Toolbar2->y());
    Prev();
}

PrnForm::~PrnForm() = default;

void PrnForm::buildControls()
{
    setFixedSize(px(10305), px(6000));
    // The design positions are laid out for an 8-point interface font.
    QFont small = font();
    small.setPointSize(8);
    setFont(small);

    Header = new CaptionBar(QStringLiteral("Печать"), this);
    Header->setObjectName(QStringLiteral("Header"));
    Header->setGeometry(0, 0, px(10305), px(300));
    Header->setButtonOffsets(10305 - 10005);
    Header->setIcon(printerIcon().pixmap(16, 16));
    Header->setActive(true);
    connect(Header, &CaptionBar::closeClicked, this, &QDialog::reject);

    // Preview.
    Frame2 = new QGroupBox(QStringLiteral("Предварительный просмотр"), this);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    Frame2->setGeometry(twipsRect(45, 360, 5400, 5565));
    Picture2 = new QLabel(Frame2);
    Picture2->setObjectName(QStringLiteral("Picture2"));
    Picture2->setGeometry(twipsRect(45, 225, 5295, 5295));
    Picture2->setAutoFillBackground(true);
    QPalette white = Picture2->palette();
    white.setColor(QPalette::Window, Qt::white);
    Picture2->setPalette(white);
    Picture2->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    // Printer.
    Frame4 = new QGroupBox(QStringLiteral("Принтер"), this);
    Frame4->setObjectName(QStringLiteral("Frame4"));
    Frame4->setGeometry(twipsRect(5505, 360, 4740, 1755));
    auto caption = [](QWidget *parent, const QString &name, const QString &text, double l, double t) {
        auto *label = new QLabel(text, parent);
        label->setObjectName(name);
        label->move(px(l), px(t));
        label->adjustSize();
        return label;
    };
    caption(Frame4, QStringLiteral("Label2"), QStringLiteral("Имя:"), 180, 375);
    ImageCombo1 = new QComboBox(Frame4);
    ImageCombo1->setObjectName(QStringLiteral("ImageCombo1"));
    ImageCombo1->setGeometry(twipsRect(915, 315, 3660, 330));
    ImageCombo1->setIconSize(QSize(16, 16));
    caption(Frame4, QStringLiteral("Label3"), QStringLiteral("Тип:"), 180, 765);
    Label112 = new QLabel(Frame4);
    Label112->setObjectName(QStringLiteral("Label112"));
    Label112->setGeometry(twipsRect(975, 780, 3570, 270));
    caption(Frame4, QStringLiteral("Label4"), QStringLiteral("Драйвер:"), 165, 1050);
    Label6 = new QLabel(Frame4);
    Label6->setObjectName(QStringLiteral("Label6"));
    Label6->setGeometry(twipsRect(990, 1050, 3555, 270));
    caption(Frame4, QStringLiteral("Label7"), QStringLiteral("Место:"), 165, 1335);
    Label5 = new QLabel(Frame4);
    Label5->setObjectName(QStringLiteral("Label5"));
    Label5->setGeometry(twipsRect(990, 1335, 3450, 270));
    connect(ImageCombo1, &QComboBox::activated, this, [this](int index) {
        if (!m_filling)
            ImageCombo1_Click(index);
    });

    // Settings.
    Frame6 = new QGroupBox(QStringLiteral("Установки"), this);
    Frame6->setObjectName(QStringLiteral("Frame6"));
    Frame6->setGeometry(twipsRect(5505, 2190, 4740, 2100));
    Toolbar1 = new QToolBar(Frame6);
    Toolbar1->setObjectName(QStringLiteral("Toolbar1"));
    Toolbar1->setGeometry(twipsRect(135, 285, 2235, 330));
    Toolbar1->setToolButtonStyle(Qt::ToolButtonTextOnly);
    QAction *setup = Toolbar1->addAction(QStringLiteral("Настройка страницы "));
    setup->setObjectName(QStringLiteral("Toolbar1_Button1"));
    Toolbar1->widgetForAction(setup)->setObjectName(QStringLiteral("Toolbar1_Button1"));
    connect(setup, &QAction::triggered, this, &PrnForm::Toolbar1_ButtonClick);

    Panel3d2 = new Panel3d(Frame6);
    Panel3d2->setObjectName(QStringLiteral("Panel3d2"));
    Panel3d2->setGeometry(twipsRect(150, 720, 4395, 30));
    Panel3d1 = new Panel3d(Frame6);
    Panel3d1->setObjectName(QStringLiteral("Panel3d1"));
    Panel3d1->setGeometry(twipsRect(165, 1305, 4395, 30));

    Check1 = new QCheckBox(QStringLiteral("Повышенное качество печати"), Frame6);
    Check1->setObjectName(QStringLiteral("Check1"));
    Check1->setGeometry(twipsRect(195, 885, 3735, 285));

    caption(Frame6, QStringLiteral("Label8"), QStringLiteral("Число копий:"), 195, 1605);
    Text2 = new QLineEdit(QStringLiteral("1"), Frame6);
    Text2->setObjectName(QStringLiteral("Text2"));
    Text2->setGeometry(twipsRect(1320, 1560, 870, 330));
    Text2->setMaxLength(2);
    VScroll1 = new QScrollBar(Qt::Vertical, Frame6);
    VScroll1->setObjectName(QStringLiteral("VScroll1"));
    VScroll1->setGeometry(twipsRect(1875, 1590, 285, 270));
    VScroll1->setRange(1, 99);
    VScroll1->setValue(1);
    VScroll1->setPageStep(1);
    // 99 at the top end: the upper arrow raises the count. The bar's own
    // step actions run the other way round and are turned here, while the
    // value has not been taken yet.
    VScroll1->setInvertedAppearance(true);
    connect(VScroll1, &QAbstractSlider::actionTriggered, this, [this](int action) {
        const int now = VScroll1->value();
        int step = 0;
        switch (action) {
        case QAbstractSlider::SliderSingleStepAdd: step = -VScroll1->singleStep(); break;
        case QAbstractSlider::SliderSingleStepSub: step = VScroll1->singleStep(); break;
        case QAbstractSlider::SliderPageStepAdd: step = -VScroll1->pageStep(); break;
        case QAbstractSlider::SliderPageStepSub: step = VScroll1->pageStep(); break;
        default: return;
        }
        VScroll1->setSliderPosition(std::clamp(now + step, VScroll1->minimum(), VScroll1->maximum()));
    });
    VScroll1->raise();
    connect(Text2, &QLineEdit::textChanged, this, &PrnForm::Text2_Change);
    connect(VScroll1, &QScrollBar::valueChanged, this, &PrnForm::VScroll1_Change);

    // Print and cancel.
    Toolbar2 = new QToolBar(this);
    Toolbar2->setObjectName(QStringLiteral("Toolbar2"));
    Toolbar2->setGeometry(twipsRect(6690, 5460, 2955, 450));
    Toolbar2->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    Toolbar2->setIconSize(QSize(16, 16));
    QAction *print = Toolbar2->addAction(printerIcon(), QStringLiteral(" Печать   "));
    print->setObjectName(QStringLiteral("Toolbar2_Button1"));
    Toolbar2->widgetForAction(print)->setObjectName(QStringLiteral("Toolbar2_Button1"));
    Toolbar2->addSeparator();
    QAction *cancel = Toolbar2->addAction(style()->standardIcon(QStyle::SP_DialogCancelButton),
                                          QStringLiteral(" Отмена   "));
    cancel->setObjectName(QStringLiteral("Toolbar2_Button3"));
    Toolbar2->widgetForAction(cancel)->setObjectName(QStringLiteral("Toolbar2_Button3"));
    connect(print, &QAction::triggered, this, [this] { Toolbar2_ButtonClick(1); });
    connect(cancel, &QAction::triggered, this, [this] { Toolbar2_ButtonClick(3); });
    // Buttons of a tool bar share the widest button's width.
    QWidget *printButton = Toolbar2->widgetForAction(print);
    QWidget *cancelButton = Toolbar2->widgetForAction(cancel);
    const int buttonWidth = std::max(printButton->sizeHint().width(), cancelButton->sizeHint().width());
    printButton->setFixedWidth(buttonWidth);
    cancelButton->setFixedWidth(buttonWidth);
    Toolbar2->resize(Toolbar2->sizeHint().width(), Toolbar2->height());
}

void PrnForm::PrintInit()
{
    m_filling = true;
    ImageCombo1->clear();
    const QPrinter &current = currentPrinter();
    const QPrinterInfo currentInfo(current);
    const QString currentKey = current.printerName() + currentInfo.location();
    const QList<QPrinterInfo> printers = QPrinterInfo::availablePrinters();
    const QIcon icon = printerIcon();
    for (int i = 0; i < printers.size(); ++i) {
        ImageCombo1->addItem(icon, printers[i].printerName());
        if (!current.printerName().isEmpty()
            && printers[i].printerName() + printers[i].location() == currentKey)
            m_printerIndex = i;
    }
    if (m_printerIndex < ImageCombo1->count())
        ImageCombo1->setCurrentIndex(m_printerIndex);
    m_filling = false;
    showPrinterLabels(current);
}

void PrnForm::showPrinterLabels(const QPrinter &printer)
{
    if (printer.outputFormat() == QPrinter::PdfFormat && printer.printerName().isEmpty()) {
        Label112->setText(printerDeviceName(printer));
        Label6->setText(QStringLiteral("PDF"));
        Label5->setText(QFileInfo(printer.outputFileName()).absolutePath());
        return;
    }
    const QPrinterInfo info(printer);
    Label112->setText(printer.printerName());
    Label6->setText(info.makeAndModel());
    Label5->setText(info.location());
}

void PrnForm::ImageCombo1_Click(int index)
{
    if (index < 0 || index >= ImageCombo1->count())
        return;
    const QString name = ImageCombo1->itemText(index);
    if (currentPrinter().printerName() != name || currentPrinterIsPdf())
        selectCurrentPrinter(name);
    m_printerIndex = index;
    showPrinterLabels(currentPrinter());
    Prev();
}

void PrnForm::Toolbar1_ButtonClick()
{
    int left = 3000, right = 1500, top = 2000, bottom = 2000;
    if (ShowPageSetupDialog(&currentPrinter(), left, right, top, bottom, this))
        Prev();
}

void PrnForm::Text2_Change(const QString &text)
{
    VScroll1->setValue(copiesSpinValue(text));
}

void PrnForm::VScroll1_Change(int value)
{
    const QString text = QString::number(value);
    if (Text2->text() != text)
        Text2->setText(text);
}

void PrnForm::Toolbar2_ButtonClick(int button)
{
    if (button == 1) {
        SendToPrinter();
        accept();
    } else if (button == 3) {
        reject();
    }
}

void PrnForm::keyPressEvent(QKeyEvent *event)
{
    // Enter in the copies field must not print by accident.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void PrnForm::Prev()
{
    const QSizeF page = pageSizeTwips(currentPrinter());
    const PageLimits limits = previewLimits(page.width(), page.height());
    m_box = previewBox(limits, 5400, 5565);
    const int dw = std::max(1, twipsToPixels(m_box.width));
    const int dh = std::max(1, twipsToPixels(m_box.height));
    Picture2->setGeometry(twipsToPixels(m_box.left), twipsToPixels(m_box.top), dw, dh);

    // One page at full size on the page surface, reduced in one copy.
    int sw = std::max(1, twipsToPixels(limits.width));
    int sh = std::max(1, twipsToPixels(limits.height));
    int dpi = 96; // 15 twips a pixel
    if (qint64(sw) * sh > kMaxSurfacePixels) {
        const double shrink = std::sqrt(double(kMaxSurfacePixels) / (double(sw) * sh));
        dpi = std::max(1, int(96 * shrink));
        sw = std::max(1, int(limits.width * dpi / 1440.0));
        sh = std::max(1, int(limits.height * dpi / 1440.0));
    }
    QImage surface(sw, sh, QImage::Format_RGB32);
    m_previewInfo = PageLayoutInfo{};
    if (surface.isNull()) {
        m_preview = QImage(dw, dh, QImage::Format_RGB32);
        m_preview.fill(Qt::white);
        Picture2->setPixmap(QPixmap::fromImage(m_preview));
        ShowMemoryError(this);
        return;
    }
    const int dotsPerMeter = int(std::lround(dpi / 0.0254));
    surface.setDotsPerMeterX(dotsPerMeter);
    surface.setDotsPerMeterY(dotsPerMeter);
    surface.fill(Qt::white);
    {
        QPainter painter(&surface);
        painter.setRenderHint(QPainter::TextAntialiasing);
        m_previewInfo = layoutPage(painter, m_source, limits);
    }
    m_preview = resampleBox(surface, dw, dh);
    Picture2->setPixmap(QPixmap::fromImage(m_preview));
    Frame2->update();
}

void PrnForm::showOutputError(const QPrinter &printer)
{
    QMessageBox::critical(this, QGuiApplication::applicationDisplayName(),
                          QStringLiteral("Ошибка вывода на принтер ") + printerDeviceName(printer)
                              + QStringLiteral("!") + QLatin1Char('\n')
                              + QStringLiteral("Возможно отмена на виртуальном принтере."));
}

void PrnForm::showFileError()
{
    const QString path = m_source.resultKind == 3 ? m_source.textPath : m_source.colorPath;
    QMessageBox::critical(this, QGuiApplication::applicationDisplayName(),
                          QStringLiteral("Не удалось прочитать файл результата ")
                              + QDir::toNativeSeparators(path)
                              + QStringLiteral(".\nВыполните преобразование заново."));
}

bool PrnForm::printCopy(QPrinter &printer)
{
    QPainter painter;
    if (!painter.begin(&printer)) {
        showOutputError(printer);
        return false;
    }
    const QSizeF page = pageSizeTwips(printer);
    m_printInfo = layoutPage(painter, m_source, printLimits(page.width(), page.height()));
    if (m_printInfo.status == LayoutStatus::FileError) {
        // The file went away between copies: drop the started document.
        printer.abort();
        painter.end();
        showFileError();
        return false;
    }
    const bool ended = painter.end();
    if (!ended || printer.printerState() == QPrinter::Error
        || printer.printerState() == QPrinter::Aborted) {
        showOutputError(printer);
        return false;
    }
    return true;
}

bool PrnForm::SendToPrinter()
{
    PrinterHolder &h = holder();
    QPrinter &printer = *h.printer;
    applyPrintQuality(h, Check1->isChecked() ? -4 : -3);
    m_printInfo = PageLayoutInfo{};
    if (m_source.resultKind != 3 && m_source.resultKind != 2)
        return true;
    const int copies = copiesToPrint(Text2->text());
    if (copies < 1)
        return true;

    // Nothing is started when the result cannot be read.
    if (!sourceReadable(m_source)) {
        showFileError();
        return false;
    }

    const bool pdf = printer.outputFormat() == QPrinter::PdfFormat;
    const QString pdfFile = printer.outputFileName();
    bool ok = true;
    for (int c = 1; c <= copies && ok; ++c) {
        // A PDF writer has one file per document: each copy gets its own.
        if (pdf && !pdfFile.isEmpty())
            printer.setOutputFileName(pdfCopyFileName(pdfFile, c, copies));
        ok = printCopy(printer);
    }
    if (pdf)
        printer.setOutputFileName(pdfFile);
    return ok;
}

} // namespace tessilor
