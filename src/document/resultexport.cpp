#include "document/resultexport.h"

#include "base/paths.h"
#include "document/richformat.h"

#include <QTextBlock>
#include <QTextDocument>
#include <algorithm>
#include <cmath>

namespace tessilor {

namespace {

// Each type's usual extension first.
const struct {
    const char *suffix;
    ExportFormat format;
} kSuffixes[] = {{"txt", ExportFormat::Text}, {"rtf", ExportFormat::Rtf},   {"png", ExportFormat::Png},
                 {"pdf", ExportFormat::Pdf},  {"html", ExportFormat::Html}, {"htm", ExportFormat::Html}};

} // namespace

bool exportFormatForSuffix(const QString &suffix, ExportFormat *format)
{
    for (const auto &entry : kSuffixes) {
        if (suffix.compare(QLatin1String(entry.suffix), Qt::CaseInsensitive) == 0) {
            *format = entry.format;
            return true;
        }
    }
    return false;
}

QString exportFormatName(ExportFormat format)
{
    for (const auto &entry : kSuffixes) {
        if (entry.format == format)
            return QLatin1String(entry.suffix);
    }
    return QString();
}

HtmlPageOptions resultPageOptions(const QString &title, bool figures)
{
    HtmlPageOptions page;
    page.title = title;
    if (figures)
        page.fonts = figureFontsForPage(figureFontFolder());
    return page;
}

RtfPage wordProcessorPage(QSizeF paper, const QMarginsF &margins, double lineWidth,
                          const std::function<double(QSizeF paper, QSizeF art)> &previewSize)
{
    const double across = margins.left() + margins.right();
    const double down = margins.top() + margins.bottom();
    auto pageOf = [&](QSizeF p) {
        RtfPage page;
        page.paperWidth = qRound(p.width());
        page.paperHeight = qRound(p.height());
        page.marginLeft = qRound(margins.left());
        page.marginTop = qRound(margins.top());
        page.marginRight = qRound(margins.right());
        page.marginBottom = qRound(margins.bottom());
        page.landscape = p.width() > p.height();
        return page;
    };
    if (lineWidth <= paper.width() - across)
        return pageOf(paper);
    const QSizeF turned = paper.transposed();
    if (paper.width() < paper.height() && lineWidth <= turned.width() - across)
        return pageOf(turned);
    RtfPage page = pageOf(paper);
    const double size = previewSize ? previewSize(paper, QSizeF(paper.width() - across, paper.height() - down)) : 0;
    page.halfPoints = std::max(1, int(std::floor(size * 2 + 1e-6)));
    return page;
}

namespace {

// The room the paragraphs' indents take from a line, twips.
double widestIndent(const QTextDocument &doc)
{
    double widest = 0;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        const ParaFormat2 p = paraFormatOf(b.blockFormat(), PFM_STARTINDENT | PFM_OFFSET | PFM_RIGHTINDENT);
        const double left = std::max(double(p.dxStartIndent), double(p.dxStartIndent) + p.dxOffset);
        widest = std::max(widest, std::max(left, 0.0) + std::max(double(p.dxRightIndent), 0.0));
    }
    return widest;
}

} // namespace

QByteArray writeResultRtf(const QTextDocument &doc, const PrintSource &source, const QPageLayout &page,
                          const QTextCharFormat &defaultFormat)
{
    const QSizeF paper = paperTwips(page);
    const QRectF art = artRectTwips(page);
    const QMarginsF margins(art.left(), art.top(), paper.width() - art.right(), paper.height() - art.bottom());
    const bool result = source.resultKind == 3 || source.resultKind == 2;
    const double size = source.fontSize > 0 ? source.fontSize : 8.0;
    const MeasureFn measure = result ? proportionalCellMeasure(source) : MeasureFn();
    const double lineWidth = result ? measure(size).width() * double(cellsAcross(source)) + widestIndent(doc) : 0;
    const RtfPage rtfPage = wordProcessorPage(paper, margins, lineWidth, [&](QSizeF, QSizeF art) {
        return fitFontSize(size, measure, cellsAcross(source), source.gridRows,
                           previewLimits(art.width(), art.height()));
    });
    return writeRtf(doc, defaultFormat, rtfPage);
}

} // namespace tessilor
