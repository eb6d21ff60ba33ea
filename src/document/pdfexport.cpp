#include "document/pdfexport.h"

#include "base/options.h"

#include <QIODevice>
#include <QPainter>
#include <QPdfWriter>

namespace tessilor {

namespace {

// The resolution of the print window's high quality: positions on the page
// fall where a print to a PDF file puts them.
constexpr int kPdfResolution = 1200;

} // namespace

QSizeF printableTwips(const QPageLayout &page)
{
    return artRectTwips(page).size();
}

QPageLayout defaultPdfPageLayout()
{
    return resultPageLayout();
}

PageLayoutInfo writeResultPdf(const PrintSource &source, const QPageLayout &page, QIODevice &out, const RunHooks &hooks)
{
    PageLayoutInfo info;
    if (source.resultKind != 3 && source.resultKind != 2)
        return info;
    if (!sourceReadable(source)) {
        info.status = LayoutStatus::FileError;
        return info;
    }
    QPdfWriter writer(&out);
    writer.setResolution(kPdfResolution);
    // The whole paper is the writer's page; the art is placed inside the
    // margins below, whatever margins the writer would accept.
    QPageLayout paper = page;
    paper.setMode(QPageLayout::FullPageMode);
    writer.setPageLayout(paper);
    writer.setTitle(printJobName(source));
    writer.setCreator(programCaption());
    QPainter painter;
    if (!painter.begin(&writer)) {
        info.status = LayoutStatus::FileError;
        return info;
    }
    const QRectF art = artRectTwips(page);
    moveToArt(painter, art);
    info = layoutPage(painter, source, printLimits(art.width(), art.height()), hooks);
    painter.end();
    return info;
}

} // namespace tessilor
