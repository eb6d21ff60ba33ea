#include "app/resultwindow.h"

#include "app/appicons.h"
#include "engine/figureconvert.h"
#include "app/globals.h"
#include "app/resultfile.h"
#include "engine/grid.h"
#include "engine/mainlayout.h"
#include "engine/numparse.h"
#include "engine/memoryprobe.h"
#include "engine/options.h"
#include "engine/outputfile.h"
#include "engine/paths.h"
#include "engine/settings.h"
#include "engine/textcolors.h"
#include "engine/textconvert.h"
#include "engine/toneconvert.h"
#include "engine/toneramp.h"
#include "platform/comdlgandfuncs.h"
#include "platform/desktopapps.h"
#include "richtext/richtextcontrol.h"
#include "richtext/textzoom.h"
#include "document/documentfill.h"
#include "document/mosaiclayout.h"
#include "view/imagewindow.h"
#include "view/printwindow.h"
#include "widgets/captionbar.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QMdiArea>
#include <QMessageBox>
#include <QPrinter>
#include <QTextEdit>
#include <QUrl>

#include <algorithm>
#include <memory>
#include <new>

namespace tessilor {

namespace {

RunError gridMemoryError(int columns, int rows)
{
    return RunError{QStringLiteral("недостаточно памяти для сетки %1 x %2.").arg(columns).arg(rows)};
}

QString fileErrorReason(const QString &path, const QString &why)
{
    return QStringLiteral("не удаётся записать файл %1 (%2).").arg(QDir::toNativeSeparators(path), why);
}

// Opens a conversion's temporary file for writing; it replaces the earlier
// one only once it has been written whole.
void openTempFile(OutputFile &file)
{
    if (file.fileName().isEmpty())
        throw RunError{QStringLiteral("не удаётся создать папку данных программы %1.")
                           .arg(QDir::toNativeSeparators(dataFolderLocation()))};
    if (!file.open(QIODevice::WriteOnly))
        throw RunError{fileErrorReason(file.fileName(), file.errorString())};
}

// Turns the outcome of a conversion into the kept temporary file or into the
// run's failure; a failed write leaves the last result's file intact.
void finishTempFile(OutputFile &file, ConvertError error)
{
    if (error == ConvertError::WriteFailed) {
        const QString why = file.errorString();
        file.cancelWriting();
        throw RunError{fileErrorReason(file.fileName(), why)};
    }
    if (error != ConvertError::None)
        throw RunError{QStringLiteral("пустая сетка.")};
    if (!file.commit())
        throw RunError{fileErrorReason(file.fileName(), file.errorString())};
}

// Memory a figure result takes per cell while it is built: a million-cell
// mosaic needed 50 to 70 MB more (about 60 bytes a cell); the check asks
// for well over twice that, since Qt's document code cannot survive running
// out of memory half way.
constexpr qint64 kMosaicBytesPerCell = 160;

QFont resultFontOf(const QString &family, const QString &sizeText)
{
    QFont font(family);
    const double size = leadingNumber(sizeText);
    if (size > 0)
        font.setPointSizeF(size);
    return font;
}

} // namespace

ResultWindow::ResultWindow(QWidget *parent) : FramelessSubWindow(parent)
{
    setObjectName(QStringLiteral("TextForm"));
    setWindowFlags(Qt::SubWindow | Qt::FramelessWindowHint);
    setWindowTitle(QStringLiteral("Символизация"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("TextFormClient"));
    setWidget(m_client);
    m_header = new CaptionBar(QStringLiteral("Символизация"), m_client);
    m_header->setObjectName(QStringLiteral("Header"));
    m_header->setIcon(appIcon(QStringLiteral("result")).pixmap(14, 14));
    m_header->setButtonOffsets(280, 580);
    m_header->setMaximizeButtonsEnabled(true);
    m_header->setMaximizedLook(false);
    connect(m_header, &CaptionBar::closeClicked, this, &QWidget::close);
    connect(m_header, &CaptionBar::maximizeClicked, this, [this] {
        showMaximized();
        m_header->setMaximizedLook(true);
    });
    connect(m_header, &CaptionBar::restoreClicked, this, [this] {
        showNormal();
        m_header->setMaximizedLook(false);
    });
    connect(this, &QMdiSubWindow::windowStateChanged, this, [this](Qt::WindowStates, Qt::WindowStates now) {
        m_header->setActive(now.testFlag(Qt::WindowActive));
        m_header->setMaximizedLook(now.testFlag(Qt::WindowMaximized));
    });
    m_richText = new RichTextControl(this);
}

ResultWindow::~ResultWindow() = default;

void ResultWindow::initialize(const QString &fontFamily)
{
    namespace ml = mainlayout;
    const QSize inner = mdiArea() ? mdiArea()->viewport()->size() : QSize(760, 480);
    const ml::ChildPlace place =
        ml::resultWindowPlace(ml::pixelsToTwips(inner.width()), ml::pixelsToTwips(inner.height()));
    setGeometry(ml::twipsToPixels(place.left), ml::twipsToPixels(place.top), qMax(ml::twipsToPixels(place.width), 120),
                qMax(ml::twipsToPixels(place.height), 80));
    followAreaSize(QSize(120, 80));
    if (!fontFamily.isEmpty())
        m_font.setFamily(fontFamily);
    m_richText->Create(m_client, kResultEditStyle, 0, 21, 20, 20);
    m_richText->hwnd()->setObjectName(QStringLiteral("rEdit"));
    m_richText->SetUndoLim(1024);
    m_richText->setParagraphOffsets(1, 50);
    m_richText->setWordWrap(false);
    m_richText->setLocked(true);
    // The caption says how far the view is zoomed when it is.
    m_zoom = new TextZoom(m_richText->hwnd());
    connect(m_zoom, &TextZoom::zoomChanged, this, [this](double zoom) {
        const int percent = qRound(zoom * 100);
        m_header->setTitle(percent == 100 ? windowTitle()
                                          : QStringLiteral("%1 — %2 %").arg(windowTitle()).arg(percent));
    });
    layoutParts();
}

void ResultWindow::layoutParts()
{
    const QSize inner = m_client->size();
    m_header->setGeometry(0, 0, inner.width(), 20);
    if (m_richText->hwnd())
        m_richText->Move(0, 21, inner.width(), qMax(inner.height() - 21, 0));
}

void ResultWindow::resizeEvent(QResizeEvent *event)
{
    QMdiSubWindow::resizeEvent(event);
    layoutParts();
}

void ResultWindow::closeEvent(QCloseEvent *event)
{
    m_richText->SetText(QString(), ST_DEFAULT);
    Q_EMIT outputAvailable(false);
    FramelessSubWindow::closeEvent(event);
}

// ---------------------------------------------------------------------------
// Conversions

void ResultWindow::makeSamplingGrid(const RunRequest &request, const ImageWindow *picture)
{
    GridSize g;
    if (request.visibleBar == 1 || request.visibleBar == 2) {
        g = clampGrid(request.visibleBar == 1 ? Mode::Text : Mode::Figures, request.columnsText, request.rowsText);
        // A preview leaves the fields as the user is typing them.
        if (!request.preview)
            Q_EMIT gridSizeChosen(g.columnsText, g.rowsText);
    }
    if (!picture || !picture->hasPicture())
        throw RunError{QStringLiteral("изображение не открыто.")};
    if (g.width <= 0 || g.height <= 0)
        throw RunError{QStringLiteral("не выбран вид символизации.")};
    const QImage &source = request.preview ? picture->reducedImage() : picture->sourceImage();
    m_grid = makeGridImage(source, picture->displayImage(), g.width, g.height);
    if (m_grid.isNull())
        throw gridMemoryError(g.width, g.height);
}

void ResultWindow::runTextConversion(const RunRequest &request, const ImageWindow *picture, const RunHooks &hooks)
{
    beginRun(request, hooks);
    if (request.ramp.size() < 2)
        throw RunError{QStringLiteral("у выбранного шрифта нет набора символов.")};
    makeSamplingGrid(request, picture);

    OutputFile file(globals::TempTextPath, OutputFile::Access::Private);
    openTempFile(file);
    globals::GridRows = 0;
    globals::GridColumns = 0;

    m_font = resultFontOf(request.fontFace, request.textSizeText);
    m_foreColor = request.textColor;
    m_pictureColors = false;
    const bool tone = request.method == int(TextMethod::Tone);
    const QImage &source = request.preview ? picture->reducedImage() : picture->sourceImage();
    // In the picture's colours: the colours of the cells the characters
    // stand for (the tone method's characters stand for half cells).
    QImage colorGrid;
    if (request.pictureColors) {
        colorGrid = tone ? makeGridImage(source, picture->displayImage(), 2 * m_grid.width(), m_grid.height()) : m_grid;
        if (colorGrid.isNull())
            throw gridMemoryError(m_grid.width(), m_grid.height());
    }

    TextResult result;
    if (tone) {
        // Characters from the font that shows the art, each sampling its own
        // half of a cell.
        const ToneRamp &ramp = toneRamp(m_font, request.ramp);
        if (!ramp.valid())
            throw RunError{QStringLiteral("у выбранного шрифта нет набора символов.")};
        const LumaGrid luma = makeLumaGrid(source, 2 * m_grid.width(), m_grid.height());
        if (luma.isNull())
            throw gridMemoryError(m_grid.width(), m_grid.height());
        result = convertToToneText(luma, ramp, request.contrast, file, hooks);
    } else {
        result = convertToText(m_grid, request.ramp, request.contrast, file, hooks);
    }
    finishTempFile(file, result.error);
    globals::GridRows = result.counts.gridRows;
    globals::GridColumns = result.counts.gridColumns;
    QCoreApplication::processEvents();

    const QString path = file.fileName();
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        throw RunError{QStringLiteral("не удаётся прочитать файл %1 (%2).").arg(path, in.errorString())};
    QString text = QString::fromUtf8(in.readAll());
    in.close();
    std::vector<quint32> colors;
    if (request.pictureColors) {
        // One line per character in the colour file, for printing.
        colors = pictureTextColors(text, colorGrid, charactersPerColorCell(request.method));
        OutputFile colorFile(globals::TempColorPath, OutputFile::Access::Private);
        openTempFile(colorFile);
        finishTempFile(colorFile,
                       writeTextColorFile(colors, colorFile) ? ConvertError::None : ConvertError::WriteFailed);
    }
    m_richText->SetText(QString(), ST_DEFAULT);
    m_richText->setFont(0, m_font);
    m_richText->setFontColor(0, m_foreColor);
    m_richText->setFont(0, m_font);
    m_richText->setFont(1, m_font);
    if (request.pictureColors)
        fillPictureTextDocument(*m_richText->hwnd()->document(), text, m_font, colors);
    else
        fillTextDocument(*m_richText->hwnd()->document(), text, m_font, m_foreColor);
    m_pictureColors = request.pictureColors;
    text.clear();
    QCoreApplication::processEvents();

    if (hooks.percent)
        hooks.percent(rowPercent(result.counts.endRow, m_grid.height() - 1));
    finishRun(request);
}

void ResultWindow::runFigureConversion(const RunRequest &request, const ImageWindow *picture, const RunHooks &hooks)
{
    beginRun(request, hooks);
    makeSamplingGrid(request, picture);
    globals::GridRows = 0;
    globals::GridColumns = 0;

    m_font = resultFontOf(request.figureFamily, request.figureSizeText);
    m_pictureColors = false;
    const int code = request.figureCode;
    if (code < 0 || code > 255)
        throw RunError{QStringLiteral("не выбрана фигура.")};
    m_glyph = codePageChar(code);

    // A mosaic holds about kMosaicBytesPerCell per cell while it is built:
    // a shortage ends the run before the document is half filled.
    if (!memoryAvailable(qint64(m_grid.width()) * m_grid.height() * kMosaicBytesPerCell))
        throw RunError{QStringLiteral("недостаточно памяти.")};
    OutputFile colors(globals::TempColorPath, OutputFile::Access::Private);
    openTempFile(colors);

    m_richText->SetText(QString(), ST_DEFAULT);
    m_richText->setFont(0, m_font);
    m_richText->setFontColor(0, m_foreColor);
    m_richText->setFont(0, m_font);
    // The mosaic is shown through its own layout: the standard one would
    // shape every cell's colour run separately. Its colours stay beside the
    // document until saving or copying needs them in the formats.
    const MosaicLayout::Fill display(m_richText->hwnd()->document(), m_glyph);
    FigureDocumentSink sink(m_richText->hwnd()->document(), m_glyph, m_font, m_foreColor,
                            FigureDocumentSink::Colours::KeepColours);
    const double coverage = request.fill ? glyphCoverage(m_font, m_glyph) : 0.0;
    const FigureResult result = convertToFigures(m_grid, request.gray, coverage, &colors, &sink, hooks);
    sink.finish();
    finishTempFile(colors, result.error);
    globals::GridRows = result.counts.gridRows;
    globals::GridColumns = result.counts.gridColumns;

    if (hooks.percent)
        hooks.percent(100);
    m_richText->setSelStart(0);
    m_richText->setSelLength(0);
    layoutParts();
    finishRun(request);
}

PrintSource ResultWindow::printSource() const
{
    PrintSource source = globals::lastRunPrintSource(m_font.family(), m_font.pointSizeF(), m_foreColor, m_glyph);
    source.textColors = source.resultKind == 3 && m_pictureColors;
    return source;
}

void ResultWindow::beginRun(const RunRequest &request, const RunHooks &hooks)
{
    m_preview = request.preview;
    if (m_preview) {
        // The result stays on screen, seen from where the user looks.
        m_previewScroll = m_richText->hwnd() ? m_richText->scrollPosition() : QPoint();
        return;
    }
    hide();
    // A new result opens at 100 %, whatever the last one was zoomed to.
    if (m_zoom)
        m_zoom->resetZoom();
    Q_EMIT converting(true);
    if (hooks.percent)
        hooks.percent(0);
}

void ResultWindow::finishRun(const RunRequest &request)
{
    if (request.preview) {
        m_richText->setScrollPosition(m_previewScroll);
        return;
    }
    Q_EMIT converting(false);
    m_richText->ShowStart();
    show();
    QCoreApplication::processEvents();
    if (mdiArea())
        mdiArea()->setActiveSubWindow(this);
    if (m_richText->hwnd())
        m_richText->hwnd()->setFocus();
}

// ---------------------------------------------------------------------------
// Outputs

void ResultWindow::saveToFile()
{
    Q_EMIT outputAvailable(false);
    const bool figures = globals::ResultKind == 2;
    const FilterTable filters = resultFileFilters(figures);

    SettingsStore store;
    // Without a stored folder that still exists the dialog starts in the
    // user's documents (or home) folder, not wherever the program was started.
    QString folder = store.read(keys::LastOutDir, QString()).trimmed();
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        if (folder.isEmpty() || !QFileInfo(folder).isDir())
            folder = QDir::homePath();
    }
    QStringList names;
    const bool confirmed = ShowFileDialog(2, folder, names, filters, QStringLiteral("txt"), this);
    if (!confirmed) {
        Q_EMIT outputAvailable(true);
        return;
    }
    const QString path = AddBackslash(folder) + names.value(0);
    const QString ext = getExt(path);
    const SaveOutcome outcome = saveResultFile(path, *m_richText, printSource(), currentPrinter().pageLayout());
    if (!outcome.knownType) {
        // Another extension writes nothing; say so instead of passing in silence.
        QMessageBox::warning(this, programCaption(),
                             QStringLiteral("Файл %1 не сохранён: тип \"%2\" не поддерживается.\r\n"
                                            "Сохраните результат как %3.")
                                 .arg(getName(path), ext.isEmpty() ? QStringLiteral("без расширения") : ext,
                                      resultFileTypesText(figures)));
    } else if (!outcome.saved) {
        QMessageBox::critical(this, programCaption(),
                              outcome.reason.isEmpty()
                                  ? QStringLiteral("Не удалось сохранить файл %1.\r\nПроверьте, что папка доступна "
                                                   "для записи и на диске есть свободное место.")
                                        .arg(QDir::toNativeSeparators(path))
                                  : QStringLiteral("Не удалось сохранить файл %1: %2.")
                                        .arg(QDir::toNativeSeparators(path), outcome.reason));
    }
    Q_EMIT outputAvailable(true);
    store.write(keys::LastOutDir, getPath(path));
    store.sync();
}

QString ResultWindow::wordFilePath()
{
    const QString folder = dataFolder();
    return folder.isEmpty() ? QString() : folder + QStringLiteral("/Out.rtf");
}

void ResultWindow::openInWordProcessor()
{
    const QString path = wordFilePath();
    if (!saveWordProcessorFile(path, *m_richText, printSource())) {
        QMessageBox::critical(this, programCaption(),
                              QStringLiteral("Не удалось записать файл %1 для передачи в редактор.\r\nПроверьте, "
                                             "что папка доступна для записи и на диске есть свободное место.")
                                  .arg(path.isEmpty() ? QStringLiteral("Out.rtf") : QDir::toNativeSeparators(path)));
        return;
    }
    // The desktop's opener reports no failure of its own when nothing opens
    // RTF files: it is asked first, and the user is told where the file is.
    if (!desktopOpensAnyOf(rtfMimeTypes()) || !QDesktopServices::openUrl(QUrl::fromLocalFile(path))) {
        QMessageBox::warning(this, programCaption(),
                             QStringLiteral("Результат записан в файл %1.\r\nВ системе нет приложения, которое "
                                            "открывает файлы RTF (документы RichText): откройте этот файл "
                                            "в текстовом редакторе сами.")
                                 .arg(QDir::toNativeSeparators(path)));
    }
}

void ResultWindow::copyToClipboard()
{
    QGuiApplication::clipboard()->clear();
    m_richText->SelectAll();
    m_richText->Copy();
    m_richText->setSelLength(0);
    QMessageBox::information(this, programCaption(), QStringLiteral("Успешно скопировано в буфер обмена."));
}

} // namespace tessilor
