#include "app/resultfile.h"

#include "base/outputfile.h"
#include "base/paths.h"
#include "document/artimage.h"
#include "document/pdfexport.h"
#include "document/resultexport.h"
#include "platform/pagesetup.h"
#include "richtext/richtextcontrol.h"

#include <QApplication>
#include <QFileInfo>
#include <functional>
#include <QTextDocument>
#include <QTextEdit>

namespace tessilor {

namespace {

// A file written whole by write(file), or left as it was.
SaveOutcome writeWhole(const QString &path, const std::function<QString(OutputFile &)> &write,
                       OutputFile::Access access = OutputFile::Access::Document)
{
    SaveOutcome outcome;
    outcome.knownType = true;
    OutputFile file(path, access);
    if (!file.open(QIODevice::WriteOnly))
        return outcome;
    outcome.reason = write(file);
    if (!outcome.reason.isEmpty()) {
        file.cancelWriting();
        return outcome;
    }
    outcome.saved = file.commit();
    return outcome;
}

// The RTF of the result on the page of the current page setup.
SaveOutcome writeRtfFile(const QString &path, RichTextControl &edit, const PrintSource &source,
                         OutputFile::Access access)
{
    // The mosaic's colours go into the document's formats first.
    edit.settleColours();
    return writeWhole(
        path,
        [&edit, &source](OutputFile &file) {
            RtfTooWide tooWide;
            const QByteArray rtf = writeResultRtf(*edit.hwnd()->document(), source, currentPageSetup(),
                                                  edit.defaultCharFormat(), &tooWide);
            if (tooWide.cells > 0)
                return rtfTooWideText(tooWide, source.resultKind == 2);
            file.write(rtf); // a failed write shows at commit
            return QString();
        },
        access);
}

} // namespace

QString rtfTooWideText(const RtfTooWide &tooWide, bool figures)
{
    const QString cells = figures ? QStringLiteral("рисунков") : QStringLiteral("символов");
    return QStringLiteral("строки в %1 %2 не помещаются на бумаге из параметров страницы даже при размере шрифта "
                          "0,5 пт, ни на стоящей, ни на повёрнутой странице: помещается не больше %3 %2. Уменьшите "
                          "ширину сетки или выберите бумагу крупнее")
        .arg(tooWide.cells)
        .arg(cells)
        .arg(tooWide.widestCells);
}

FilterTable resultFileFilters(bool figures)
{
    FilterTable filters;
    filters.entries.append(FilterEntry{QStringLiteral("Документы RichText  (*.rtf)"), QStringLiteral("*.rtf")});
    if (!figures)
        filters.entries.append(FilterEntry{QStringLiteral("Текстовые файлы (*.txt)"), QStringLiteral("*.txt")});
    else
        filters.entries.append(FilterEntry{});
    filters.entries.append(FilterEntry{QStringLiteral("Рисунки PNG (*.png)"), QStringLiteral("*.png")});
    filters.entries.append(FilterEntry{QStringLiteral("Документы PDF (*.pdf)"), QStringLiteral("*.pdf")});
    filters.entries.append(FilterEntry{QStringLiteral("Веб-страницы HTML (*.html)"), QStringLiteral("*.html")});
    return filters;
}

QString resultFileTypesText(bool figures)
{
    return QStringLiteral("документ RichText (*.rtf), %1рисунок PNG (*.png), документ PDF (*.pdf) или "
                          "веб-страницу HTML (*.html)")
        .arg(figures ? QString() : QStringLiteral("текстовый файл (*.txt), "));
}

QString resultTypeExtension(const QString &stored, bool figures)
{
    for (const FilterEntry &entry : resultFileFilters(figures).entries) {
        if (!stored.isEmpty() && entry.patterns == QStringLiteral("*.") + stored.toLower())
            return stored.toLower();
    }
    return QStringLiteral("rtf");
}

QString proposedResultName(const QString &picturePath, const QString &extension)
{
    QString name = QFileInfo(picturePath).completeBaseName();
    if (name.isEmpty())
        name = QStringLiteral("символизация");
    return name + u'.' + extension;
}

SaveOutcome saveResultFile(const QString &path, RichTextControl &edit, const PrintSource &source,
                           const QPageLayout &page)
{
    ExportFormat format = ExportFormat::Text;
    if (!exportFormatForSuffix(getExt(path), &format))
        return SaveOutcome{};
    QTextDocument &doc = *edit.hwnd()->document();
    switch (format) {
    case ExportFormat::Text: {
        SaveOutcome outcome;
        outcome.knownType = true;
        outcome.saved = edit.SaveFile(path, false);
        return outcome;
    }
    case ExportFormat::Rtf:
        return writeRtfFile(path, edit, source, OutputFile::Access::Document);
    case ExportFormat::Png:
        return writeWhole(path, [&doc](OutputFile &file) {
            // A large mosaic takes a moment to draw and compress.
            QApplication::setOverrideCursor(Qt::WaitCursor);
            const ArtImageError error = writeArtPng(doc, file);
            QApplication::restoreOverrideCursor();
            return error == ArtImageError::WriteFailed ? QString() : artImageErrorText(error);
        });
    case ExportFormat::Pdf:
        return writeWhole(path, [&source, &page](OutputFile &file) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
            const PageLayoutInfo info = writeResultPdf(source, withPageMargins(page), file);
            QApplication::restoreOverrideCursor();
            if (info.status == LayoutStatus::FileError)
                return QStringLiteral("не удалось прочитать файл результата; выполните преобразование заново");
            if (info.status == LayoutStatus::OutOfMemory)
                return QStringLiteral("недостаточно памяти");
            return info.status == LayoutStatus::Done ? QString() : QStringLiteral("результат пуст");
        });
    case ExportFormat::Html:
        // The page reads every cell's format from the document.
        edit.settleColours();
        return writeWhole(path, [&doc, &source](OutputFile &file) {
            const QByteArray page = writeHtmlPage(doc, resultPageOptions(printJobName(source), source.resultKind == 2));
            file.write(page); // a failed write shows when the file is put in place
            return QString();
        });
    }
    return SaveOutcome{};
}

SaveOutcome saveWordProcessorFile(const QString &path, RichTextControl &edit, const PrintSource &source)
{
    if (path.isEmpty())
        return SaveOutcome{};
    return writeRtfFile(path, edit, source, OutputFile::Access::Private);
}

} // namespace tessilor
