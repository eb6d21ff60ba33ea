#include "app/resultwindow.h"

#include "app/appicons.h"
#include "app/globals.h"
#include "app/resultfile.h"
#include "base/options.h"
#include "base/outputfile.h"
#include "base/paths.h"
#include "base/settings.h"
#include "document/artimage.h"
#include "document/conversion.h"
#include "layout/mainlayout.h"
#include "picture/picturesource.h"
#include "platform/comdlgandfuncs.h"
#include "platform/desktopapps.h"
#include "richtext/richtextcontrol.h"
#include "richtext/textzoom.h"
#include "view/imagewindow.h"
#include "view/printwindow.h"
#include "widgets/captionbar.h"

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QMdiArea>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QPrinter>
#include <QTextEdit>
#include <QUrl>

#include <algorithm>
#include <memory>
#include <new>

namespace tessilor {

namespace {

// Copies of the result as a picture beyond this many pixels would take the
// clipboard hundreds of megabytes: the text goes alone then.
constexpr qint64 kMaxClipboardPixels = qint64(64) << 20;

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
    connect(m_zoom, &TextZoom::zoomChanged, this, &ResultWindow::showCaption);
    layoutParts();
}

void ResultWindow::showCaption()
{
    QString title = windowTitle();
    if (isIncomplete())
        title += QStringLiteral(" (неполная: строк %1 из %2)").arg(m_rowsDone).arg(m_rowsWanted);
    const int percent = m_zoom ? qRound(m_zoom->zoom() * 100) : 100;
    if (percent != 100)
        title += QStringLiteral(" — %1 %").arg(percent);
    m_header->setTitle(title);
}

void ResultWindow::setRowsDone(int done, int wanted)
{
    const bool was = isIncomplete();
    m_rowsDone = done;
    m_rowsWanted = wanted > 0 ? wanted : 0;
    showCaption();
    if (was || isIncomplete())
        Q_EMIT completenessChanged();
}

QString ResultWindow::incompleteNote() const
{
    if (!isIncomplete())
        return QString();
    return QStringLiteral("Результат неполный: символизация остановлена, готово строк: %1 из %2.")
        .arg(m_rowsDone)
        .arg(m_rowsWanted);
}

bool ResultWindow::confirmIncompleteOutput(const QString &question)
{
    if (!isIncomplete())
        return true;
    QMessageBox box(QMessageBox::Question, programCaption(), incompleteNote() + QStringLiteral("\r\n") + question,
                    QMessageBox::NoButton, this);
    box.setObjectName(QStringLiteral("IncompletePrompt"));
    QPushButton *yes = box.addButton(QStringLiteral("Да"), QMessageBox::YesRole);
    box.setDefaultButton(box.addButton(QStringLiteral("Нет"), QMessageBox::NoRole));
    box.exec();
    return box.clickedButton() == yes;
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
    setRowsDone(0, 0);
    Q_EMIT outputAvailable(false);
    FramelessSubWindow::closeEvent(event);
}

// ---------------------------------------------------------------------------
// Conversions

void ResultWindow::convert(const RunRequest &request, const ImageWindow *picture, const RunHooks &hooks)
{
    const ConversionOptions &options = request;
    const bool text = options.mode == Mode::Text;
    beginRun(request, hooks);
    if (text && options.ramp.size() < 2)
        throw RunError{QStringLiteral("у выбранного шрифта нет набора символов.")};
    // The fields show the grid the conversion will use, the one clamp of
    // what they asked for; a preview leaves them as the user is typing them.
    if (request.hasGrid && !request.preview) {
        const GridSize grid = conversionGrid(options);
        Q_EMIT gridSizeChosen(grid.columns, grid.height);
    }
    if (!picture || !picture->hasPicture())
        throw RunError{QStringLiteral("изображение не открыто.")};
    if (!request.hasGrid)
        throw RunError{QStringLiteral("не выбран вид символизации.")};
    if (!text && (options.figureCode < 0 || options.figureCode > 255))
        throw RunError{QStringLiteral("не выбрана фигура.")};
    globals::GridRows = 0;
    globals::GridColumns = 0;
    m_font = options.resultFont();
    m_pictureColors = false;

    // The text file of a text result, the colour file of a mosaic or of text
    // in the picture's colours; each replaces the last one only once whole.
    OutputFile textFile(globals::TempTextPath, OutputFile::Access::Private);
    OutputFile colorFile(globals::TempColorPath, OutputFile::Access::Private);
    ConversionOutputs outputs;
    if (text) {
        openTempFile(textFile);
        outputs.text = &textFile;
    }
    if (!text || options.pictureColors) {
        openTempFile(colorFile);
        outputs.colors = &colorFile;
    }
    // The mosaic is shown through its own layout, its colours kept beside
    // the document until saving or copying needs them in the formats.
    outputs.document = m_richText->hwnd()->document();
    outputs.keepMosaicColours = true;
    const quint32 defaultColor = text ? options.textColor : 0;
    outputs.beforeFill = [&] {
        m_richText->SetText(QString(), ST_DEFAULT);
        m_richText->setFont(0, m_font);
        m_richText->setFontColor(0, defaultColor);
        if (text)
            m_richText->setFont(1, m_font);
    };

    // Previews sample the picture's reduced copy.
    const DecodedPicture source(request.preview ? picture->reducedImage() : picture->sourceImage(),
                                picture->displayImage());
    const ConversionResult result = convertPicture(options, source, outputs, hooks);
    switch (result.error) {
    case ConversionError::None:
        break;
    case ConversionError::NoRamp:
        throw RunError{QStringLiteral("у выбранного шрифта нет набора символов.")};
    case ConversionError::NoFigure:
        throw RunError{QStringLiteral("не выбрана фигура.")};
    case ConversionError::LoadFailed:
        throw RunError{QStringLiteral("изображение не открыто.")};
    case ConversionError::GridMemory:
        throw gridMemoryError(result.grid.width, result.grid.height);
    case ConversionError::EmptyGrid:
        throw RunError{QStringLiteral("пустая сетка.")};
    case ConversionError::OutOfMemory:
        throw RunError{QStringLiteral("недостаточно памяти.")};
    case ConversionError::WriteFailed: {
        auto *file = result.failedOutput == outputs.text ? &textFile : &colorFile;
        const QString why = file->errorString();
        file->cancelWriting();
        throw RunError{fileErrorReason(file->fileName(), why)};
    }
    }
    for (OutputFile *file : {&textFile, &colorFile}) {
        if (file->isOpen() && !file->commit())
            throw RunError{fileErrorReason(file->fileName(), file->errorString())};
    }
    globals::GridRows = result.counts.gridRows;
    globals::GridColumns = result.counts.gridColumns;
    m_foreColor = defaultColor;
    m_pictureColors = text && options.pictureColors;
    m_picturePath = picture->sourcePath();
    // A run that Stop cut short says so; a preview that ran to its end shows
    // a whole result again.
    if (result.counts.stopped && !request.preview)
        setRowsDone(result.counts.gridRows, result.grid.height);
    else if (!result.counts.stopped)
        setRowsDone(0, 0);
    if (!text) {
        m_glyph = options.glyph();
        m_richText->setSelStart(0);
        m_richText->setSelLength(0);
        layoutParts();
    }
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
    if (!confirmIncompleteOutput(QStringLiteral("Сохранить неполный результат?")))
        return;
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
    // The picture's name in the type saved last.
    const QString type = resultTypeExtension(store.read(keys::LastOutType, QString()), figures);
    const FileDialogAnswer answer =
        ShowFileDialog(2, folder, filters, QStringLiteral("txt"), this, proposedResultName(m_picturePath, type));
    if (!answer.confirmed()) {
        Q_EMIT outputAvailable(true);
        return;
    }
    const QString path = answer.file();
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
    if (outcome.saved)
        store.write(keys::LastOutType, ext);
    store.sync();
}

QString ResultWindow::wordFilePath()
{
    const QString folder = dataFolder();
    return folder.isEmpty() ? QString() : folder + QStringLiteral("/Out.rtf");
}

void ResultWindow::openInWordProcessor()
{
    if (!confirmIncompleteOutput(QStringLiteral("Передать неполный результат в редактор?")))
        return;
    const QString path = wordFilePath();
    const SaveOutcome outcome = saveWordProcessorFile(path, *m_richText, printSource());
    if (!outcome.saved) {
        const QString file = path.isEmpty() ? QStringLiteral("Out.rtf") : QDir::toNativeSeparators(path);
        QMessageBox::critical(
            this, programCaption(),
            outcome.reason.isEmpty()
                ? QStringLiteral("Не удалось записать файл %1 для передачи в редактор.\r\nПроверьте, "
                                 "что папка доступна для записи и на диске есть свободное место.")
                      .arg(file)
                : QStringLiteral("Не удалось записать файл %1 для передачи в редактор: %2.").arg(file, outcome.reason));
        return;
    }
    // The desktop's opener reports no failure of its own when nothing opens
    // RTF files: it is asked first; then a word processor found on the
    // machine opens it, and without one the user is told where the file is.
    const bool opened = desktopOpensAnyOf(rtfMimeTypes()) ? QDesktopServices::openUrl(QUrl::fromLocalFile(path))
                                                          : openWithWordProcessor(path);
    if (!opened) {
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
    QMimeData *data = m_richText->selectionMimeData();
    m_richText->setSelLength(0);
    // The picture the PNG export draws goes with the text, for a figure
    // mosaic above all.
    QString noPicture;
    QTextDocument &doc = *m_richText->hwnd()->document();
    const QSize size = artImageSize(doc);
    if (qint64(size.width()) * size.height() > kMaxClipboardPixels) {
        noPicture = QStringLiteral("рисунок %1 x %2 точек слишком велик для буфера обмена")
                        .arg(size.width())
                        .arg(size.height());
    } else {
        QBuffer png;
        png.open(QIODevice::WriteOnly);
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const ArtImageError error = writeArtPng(doc, png);
        QApplication::restoreOverrideCursor();
        if (error == ArtImageError::None)
            data->setData(QStringLiteral("image/png"), png.data());
        else if (error != ArtImageError::Empty)
            noPicture = artImageErrorText(error);
    }
    QGuiApplication::clipboard()->setMimeData(data);
    QString said = QStringLiteral("Успешно скопировано в буфер обмена.");
    if (!noPicture.isEmpty())
        said += QStringLiteral("\r\nСкопирован только текст: ") + noPicture + u'.';
    if (isIncomplete())
        said += QStringLiteral("\r\n") + incompleteNote();
    QMessageBox::information(this, programCaption(), said);
}

} // namespace tessilor
