#include "engine/pdfexport.h"

#include "engine/options.h"

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
    // Millimetres keep the exact size of metric paper (points are rounded).
    const QRectF r = page.paintRect(QPageLayout::Millimeter);
    return {r.width() * 1440.0 / 25.4, r.height() * 1440.0 / 25.4};
}

QPageLayout defaultPdfPageLayout()
{
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(10, 10, 10, 10), QPageLayout::Point);
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
    writer.setPageLayout(page);
    writer.setTitle(printJobName(source));
    writer.setCreator(programCaption());
    QPainter painter;
    if (!painter.begin(&writer)) {
        info.status = LayoutStatus::FileError;
        return info;
    }
    const QSizeF area = printableTwips(page);
    info = layoutPage(painter, source, printLimits(area.width(), area.height()), hooks);
    painter.end();
    return info;
}

} // namespace tessilor
