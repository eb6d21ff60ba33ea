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

WordProcessorFit wordProcessorPage(QSizeF paper, const QMarginsF &margins, const ArtLine &line,
                                   const std::function<double(QSizeF paper, QSizeF art)> &previewSize)
{
    const double across = margins.left() + margins.right();
    const double down = margins.top() + margins.bottom();
    auto pageOf = [&](QSizeF p) {
        WordProcessorFit fit;
        RtfPage &page = fit.page;
        page.paperWidth = qRound(p.width());
        page.paperHeight = qRound(p.height());
        page.marginLeft = qRound(margins.left());
        page.marginTop = qRound(margins.top());
        page.marginRight = qRound(margins.right());
        page.marginBottom = qRound(margins.bottom());
        page.landscape = p.width() > p.height();
        return fit;
    };
    auto fitsAt = [&](QSizeF p, double points) { return line.widthAt(points) <= p.width() - across; };
    if (fitsAt(paper, line.size))
        return pageOf(paper);
    const QSizeF turned = paper.transposed();
    if (paper.width() < paper.height() && fitsAt(turned, line.size))
        return pageOf(turned);
    // In the preview's size, in whole half points.
    auto smaller = [&](QSizeF p) {
        WordProcessorFit fit = pageOf(p);
        const double size = previewSize ? previewSize(p, QSizeF(p.width() - across, p.height() - down)) : 0;
        fit.page.halfPoints = std::max(1, int(std::floor(size * 2 + 1e-6)));
        fit.fits = fitsAt(p, fit.page.halfPoints / 2.0);
        return fit;
    };
    WordProcessorFit fit = smaller(paper);
    if (fit.fits)
        return fit;
    if (turned.width() > paper.width()) {
        const WordProcessorFit wider = smaller(turned);
        if (wider.fits)
            return wider;
    }
    const double room = std::max(paper.width(), paper.height()) - across - line.indent;
    const double cell = line.cells > 0 ? (line.widthAt(0.5) - line.indent) / double(line.cells) : 0;
    fit.widestLine = cell > 0 ? std::max<qint64>(0, qint64(std::floor(room / cell + 1e-9))) : 0;
    return fit;
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
                          const QTextCharFormat &defaultFormat, RtfTooWide *tooWide)
{
    const QSizeF paper = paperTwips(page);
    const QRectF art = artRectTwips(page);
    const QMarginsF margins(art.left(), art.top(), paper.width() - art.right(), paper.height() - art.bottom());
    const bool result = source.resultKind == 3 || source.resultKind == 2;
    const double size = source.fontSize > 0 ? source.fontSize : 8.0;
    const MeasureFn measure = result ? proportionalCellMeasure(source) : MeasureFn();
    ArtLine line;
    line.size = size;
    line.cells = result ? cellsAcross(source) : 0;
    line.indent = result ? widestIndent(doc) : 0;
    line.width = result ? measure(size).width() * double(line.cells) + line.indent : 0;
    WordProcessorFit fit = wordProcessorPage(paper, margins, line, [&](QSizeF, QSizeF art) {
        return fitFontSize(size, measure, cellsAcross(source), source.gridRows,
                           previewLimits(art.width(), art.height()));
    });
    if (!fit.fits) {
        if (tooWide) {
            tooWide->cells = line.cells;
            tooWide->widestCells = fit.widestLine;
        }
        return QByteArray();
    }
    fit.page.colourCost = kWordProcessorColourCost;
    return writeRtf(doc, defaultFormat, fit.page);
}

} // namespace tessilor
