#include "app/textform.h"

#include "app/appicons.h"
#include "app/form1.h"
#include "engine/figureconvert.h"
#include "engine/globals.h"
#include "engine/grid.h"
#include "engine/mainlayout.h"
#include "engine/numparse.h"
#include "engine/options.h"
#include "engine/paths.h"
#include "engine/settings.h"
#include "engine/textconvert.h"
#include "platform/comdlgandfuncs.h"
#include "richtext/crichedit.h"
#include "richtext/doc/documentfill.h"
#include "richtext/doc/mosaiclayout.h"
#include "view/imagewindow.h"
#include "widgets/captionbar.h"
#include "widgets/progress.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMdiArea>
#include <QMessageBox>
#include <QSaveFile>
#include <QSlider>
#include <QTextEdit>
#include <QUrl>

namespace tessilor {

namespace {

const QString kCaption = QStringLiteral("Quar Image Tessilor");

QString fileErrorReason(const QString &path, const QString &why)
{
    return QStringLiteral("не удаётся записать файл %1 (%2).").arg(QDir::toNativeSeparators(path), why);
}

} // namespace

TextForm::TextForm(Form1 *main) : FramelessSubWindow(nullptr), m_main(main)
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
    m_rEdit = new cRichEdit(this);
}

TextForm::~TextForm() = default;

void TextForm::Form_Load()
{
    namespace ml = mainlayout;
    const QSize inner = mdiArea() ? mdiArea()->viewport()->size() : QSize(760, 480);
    const ml::ChildPlace place = ml::resultWindowPlace(ml::pixelsToTwips(inner.width()),
                                                       ml::pixelsToTwips(inner.height()));
    setGeometry(ml::twipsToPixels(place.left), ml::twipsToPixels(place.top),
                qMax(ml::twipsToPixels(place.width), 120), qMax(ml::twipsToPixels(place.height), 80));
    if (PicForm *pf = m_main->existingPicForm())
        m_font.setFamily(pf->windowFont().family());
    m_rEdit->Create(m_client, kResultEditStyle, 0, 21, 20, 20);
    m_rEdit->hwnd()->setObjectName(QStringLiteral("rEdit"));
    m_rEdit->SetUndoLim(1024);
    m_rEdit->setParagraphOffsets(1, 50);
    m_rEdit->setWordWrap(false);
    m_rEdit->setLocked(true);
    Form_Resize();
}

void TextForm::Form_Resize()
{
    const QSize inner = m_client->size();
    m_header->setGeometry(0, 0, inner.width(), 20);
    if (m_rEdit->hwnd())
        m_rEdit->Move(0, 21, inner.width(), qMax(inner.height() - 21, 0));
}

void TextForm::resizeEvent(QResizeEvent *event)
{
    QMdiSubWindow::resizeEvent(event);
    Form_Resize();
}

void TextForm::closeEvent(QCloseEvent *event)
{
    m_rEdit->SetText(QString(), ST_DEFAULT);
    m_main->setResultButtonEnabled(false);
    FramelessSubWindow::closeEvent(event);
}

// ---------------------------------------------------------------------------
// Conversions

RunHooks TextForm::runHooks() const
{
    RunHooks hooks;
    hooks.stopFlag = &globals::StopRequested;
    hooks.yield = [] { QCoreApplication::processEvents(); };
    hooks.yieldIntervalMs = 20;
    Progress *bar = m_main->progress1();
    hooks.percent = [bar](double p) {
        if (bar)
            bar->SetPercent(p);
    };
    return hooks;
}

void TextForm::MakePicture()
{
    GridSize g;
    if (m_main->textBarVisible()) {
        g = clampTextGrid(m_main->text1()->text(), m_main->text2()->text());
        m_main->text2()->setText(g.rowsText);
        m_main->text1()->setText(g.columnsText);
    } else if (m_main->figureBarVisible()) {
        g = clampFigureGrid(m_main->text4()->text(), m_main->text5()->text());
        m_main->text5()->setText(g.rowsText);
        m_main->text4()->setText(g.columnsText);
    }
    PicForm *pf = m_main->existingPicForm();
    if (!pf || !pf->hasPicture())
        throw RunError{QStringLiteral("изображение не открыто.")};
    if (g.width <= 0 || g.height <= 0)
        throw RunError{QStringLiteral("не выбран вид символизации.")};
    m_grid = makeGridImage(pf->sourceImage(), pf->displayImage(), g.width, g.height);
    if (m_grid.isNull())
        throw RunError{QStringLiteral("недостаточно памяти для сетки %1 x %2.").arg(g.width).arg(g.height)};
}

void TextForm::Characterize()
{
    Progress *bar = m_main->progress1();
    bar->show();
    bar->SetPercent(0);
    hide();
    const QString ramp = m_main->imageCombo2()->currentData().toString();
    if (ramp.size() < 2)
        throw RunError{QStringLiteral("у выбранного шрифта нет набора символов.")};
    MakePicture();

    // The temporary file is replaced only when it has been written whole,
    // so a failed write leaves the last result's file intact.
    const QString path = globals::TempTextPath;
    QSaveFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::WriteOnly))
        throw RunError{fileErrorReason(path, file.errorString())};
    globals::GridRows = 0;
    globals::GridColumns = 0;

    m_font = QFont(m_main->imageCombo2()->currentText());
    const double size = leadingNumber(m_main->combo1()->currentText());
    if (size > 0)
        m_font.setPointSizeF(size);
    m_foreColor = m_main->textColor();
    const qint16 contrast = qint16(m_main->slider1()->value());

    const RunHooks hooks = runHooks();
    const TextResult result = convertToText(m_grid, ramp, contrast, file, hooks);
    if (result.error == ConvertError::WriteFailed) {
        const QString why = file.errorString();
        file.cancelWriting();
        throw RunError{fileErrorReason(path, why)};
    }
    if (result.error != ConvertError::None)
        throw RunError{QStringLiteral("пустая сетка.")};
    if (!file.commit())
        throw RunError{fileErrorReason(path, file.errorString())};
    globals::GridRows = result.counts.gridRows;
    globals::GridColumns = result.counts.gridColumns;
    QCoreApplication::processEvents();

    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        throw RunError{QStringLiteral("не удаётся прочитать файл %1 (%2).").arg(path, in.errorString())};
    QString text = QString::fromUtf8(in.readAll());
    in.close();
    m_rEdit->SetText(QString(), ST_DEFAULT);
    m_rEdit->setFont(0, m_font);
    m_rEdit->setFontColor(0, m_foreColor);
    m_rEdit->setFont(0, m_font);
    m_rEdit->setFont(1, m_font);
    fillTextDocument(*m_rEdit->hwnd()->document(), text, m_font, m_foreColor);
    text.clear();
    QCoreApplication::processEvents();

    bar->SetPercent(rowPercent(result.counts.endRow, m_grid.height() - 1));
    bar->hide();
    finishRun();
}

void TextForm::Figurize()
{
    hide();
    Progress *bar = m_main->progress1();
    bar->show();
    bar->SetPercent(0);
    MakePicture();
    globals::GridRows = 0;
    globals::GridColumns = 0;

    m_font = QFont(m_main->figureFamily());
    const double size = leadingNumber(m_main->combo2()->currentText());
    if (size > 0)
        m_font.setPointSizeF(size);
    const int code = figureCodeFromKey(m_main->figureKey());
    if (code < 0 || code > 255)
        throw RunError{QStringLiteral("не выбрана фигура.")};
    m_glyph = codePageChar(code);
    const bool gray = m_main->imageCombo3()->currentIndex() + 1 == 2;

    const QString path = globals::TempColorPath;
    QSaveFile colors(path);
    if (path.isEmpty() || !colors.open(QIODevice::WriteOnly))
        throw RunError{fileErrorReason(path, colors.errorString())};

    m_rEdit->SetText(QString(), ST_DEFAULT);
    m_rEdit->setFont(0, m_font);
    m_rEdit->setFontColor(0, m_foreColor);
    m_rEdit->setFont(0, m_font);
    // The mosaic is shown through its own layout: the standard one would
    // shape every cell's colour run separately.
    const MosaicLayout::Fill display(m_rEdit->hwnd()->document(), m_glyph);
    FigureDocumentSink sink(m_rEdit->hwnd()->document(), m_glyph, m_font, m_foreColor);
    const FigureResult result = convertToFigures(m_grid, gray, &colors, &sink, runHooks());
    if (result.error == ConvertError::WriteFailed) {
        const QString why = colors.errorString();
        colors.cancelWriting();
        throw RunError{fileErrorReason(path, why)};
    }
    if (result.error != ConvertError::None)
        throw RunError{QStringLiteral("пустая сетка.")};
    if (!colors.commit())
        throw RunError{fileErrorReason(path, colors.errorString())};
    globals::GridRows = result.counts.gridRows;
    globals::GridColumns = result.counts.gridColumns;

    bar->SetPercent(100);
    m_rEdit->setSelStart(0);
    m_rEdit->setSelLength(0);
    bar->hide();
    Form_Resize();
    finishRun();
}

void TextForm::finishRun()
{
    m_rEdit->ShowStart();
    show();
    QCoreApplication::processEvents();
    if (mdiArea())
        mdiArea()->setActiveSubWindow(this);
    if (m_rEdit->hwnd())
        m_rEdit->hwnd()->setFocus();
}

// ---------------------------------------------------------------------------
// Outputs

void TextForm::ToFile()
{
    m_main->setResultButtonEnabled(false);
    FilterTable filters;
    filters.entries.append(FilterEntry{QStringLiteral("Документы RichText  (*.rtf)"), QStringLiteral("*.rtf")});
    if (globals::ResultKind != 2)
        filters.entries.append(FilterEntry{QStringLiteral("Текстовые файлы (*.txt)"), QStringLiteral("*.txt")});
    else
        filters.entries.append(FilterEntry{});

    SettingsStore store;
    QString folder = store.read(keys::LastOutDir, QStringLiteral(" "));
    if (folder.isEmpty())
        folder = AddBackslash(dataFolder());
    QStringList names;
    const bool confirmed = ShowFileDialog(2, folder, names, filters, QStringLiteral("txt"), this);
    if (!confirmed) {
        m_main->setResultButtonEnabled(true);
        return;
    }
    const QString path = AddBackslash(folder) + names.value(0);
    const QString ext = getExt(path);
    if (ext == QLatin1String("txt") || ext == QLatin1String("rtf")) {
        if (!m_rEdit->SaveFile(path, ext == QLatin1String("rtf"))) {
            QMessageBox::critical(this, kCaption,
                                  QStringLiteral("Не удалось сохранить файл %1.\r\nПроверьте, что папка доступна "
                                                 "для записи и на диске есть свободное место.")
                                      .arg(QDir::toNativeSeparators(path)));
        }
    } else {
        // Another extension writes nothing; say so instead of passing in silence.
        QMessageBox::warning(this, kCaption,
                             QStringLiteral("Файл %1 не сохранён: тип \"%2\" не поддерживается.\r\n"
                                            "Сохраните результат как документ RichText (*.rtf)%3.")
                                 .arg(getName(path), ext.isEmpty() ? QStringLiteral("без расширения") : ext,
                                      globals::ResultKind == 2 ? QString()
                                                               : QStringLiteral(" или текстовый файл (*.txt)")));
    }
    m_main->setResultButtonEnabled(true);
    store.write(keys::LastOutDir, getPath(path));
    store.sync();
}

QString TextForm::wordFilePath()
{
    const QString folder = dataFolder();
    return folder.isEmpty() ? QString() : folder + QStringLiteral("/Out.rtf");
}

void TextForm::ToWord()
{
    const QString path = wordFilePath();
    if (path.isEmpty() || !m_rEdit->SaveFile(path, true)) {
        QMessageBox::critical(this, kCaption,
                              QStringLiteral("Не удалось записать файл %1 для передачи в редактор.\r\nПроверьте, "
                                             "что папка доступна для записи и на диске есть свободное место.")
                                  .arg(path.isEmpty() ? QStringLiteral("Out.rtf") : QDir::toNativeSeparators(path)));
        return;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path))) {
        QMessageBox::warning(this, kCaption,
                             QStringLiteral("Не удалось открыть файл %1 в редакторе: в системе не найдено "
                                            "приложение для документов RichText.")
                                 .arg(QDir::toNativeSeparators(path)));
    }
}

void TextForm::ToClipboard()
{
    QGuiApplication::clipboard()->clear();
    m_rEdit->SelectAll();
    m_rEdit->Copy();
    m_rEdit->setSelLength(0);
    QMessageBox::information(this, kCaption, QStringLiteral("Успешно скопировано в буфер обмена."));
}

} // namespace tessilor
