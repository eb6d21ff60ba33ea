#include "document/pdfexport.h"

#include "base/memoryprobe.h"
#include "base/options.h"

#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QPaintEngine>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>
#include <new>

namespace tessilor {

namespace {

// The resolution of the print window's high quality: positions on the page
// fall where a print to a PDF file puts them.
constexpr int kPdfResolution = 1200;

// Qt's PDF engine keeps a page's content stream in memory while the page
// is drawn and compresses it when the page ends. The stream takes about 186
// bytes for a figure (345 with the fill), 18 for a character of one colour
// and 115 to 215 for a character in a colour of its own (the classic and
// the tone method); the page needs about one and a half times its stream
// and 50 MB more (measured on grids of 300 x 300 to 1024 x 1024 under
// address-space limits).
constexpr qint64 kFigureBytes = 190;
constexpr qint64 kFilledFigureBytes = 350;
constexpr qint64 kCharacterBytes = 20;
constexpr qint64 kColouredCharacterBytes = 220;
constexpr qint64 kPageBytes = 50'000'000;

qint64 partSize(const QString &path, const QByteArray &data)
{
    return data.isNull() ? QFileInfo(path).size() : data.size();
}

// A figure result with the fill: its colour lines carry a background.
bool filledFigures(const PrintSource &source)
{
    QByteArray line;
    if (!source.colorData.isNull()) {
        line = source.colorData.left(source.colorData.indexOf('\n'));
    } else {
        QFile file(source.colorPath);
        if (file.open(QIODevice::ReadOnly))
            line = file.readLine(256);
    }
    quint32 background = 0;
    return backgroundFromLine(line, &background);
}

// A paint device that can let go of a painter whose engine could not end
// its page.
class ResultPdfWriter : public QPdfWriter
{
public:
    using QPdfWriter::QPdfWriter;
    void forgetPainter() { painters = 0; }
};

} // namespace

QSizeF printableTwips(const QPageLayout &page)
{
    return artRectTwips(page).size();
}

QPageLayout defaultPdfPageLayout()
{
    return resultPageLayout();
}

qint64 pdfMemoryCost(const PrintSource &source)
{
    qint64 stream = 0;
    if (source.resultKind == 2) {
        stream = qint64(std::max(source.gridRows, 0)) * std::max(source.gridColumns, 0) *
                 (filledFigures(source) ? kFilledFigureBytes : kFigureBytes);
    } else if (source.resultKind == 3) {
        // A character takes at least a byte of the text file.
        const qint64 characters = partSize(source.textPath, source.textData);
        stream = characters * (source.textColors ? kColouredCharacterBytes : kCharacterBytes);
    }
    return stream + stream / 2 + kPageBytes;
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
    if (!memoryAvailable(pdfMemoryCost(source))) {
        info.status = LayoutStatus::OutOfMemory;
        return info;
    }
    ResultPdfWriter writer(&out);
    writer.setResolution(kPdfResolution);
    // The whole paper is the writer's page; the art is placed inside the
    // margins below, whatever margins the writer would accept.
    QPageLayout paper = page;
    paper.setMode(QPageLayout::FullPageMode);
    writer.setPageLayout(paper);
    writer.setTitle(printJobName(source));
    writer.setCreator(programCaption());
    QPainter painter;
    try {
        if (!painter.begin(&writer)) {
            info.status = LayoutStatus::FileError;
            return info;
        }
        const QRectF art = artRectTwips(page);
        moveToArt(painter, art);
        info = layoutPage(painter, source, printLimits(art.width(), art.height()), hooks);
        painter.end();
    } catch (const std::bad_alloc &) {
        // The engine threw while it drew or ended the page; asked to end it
        // again (as the painter's destructor would), it throws again. The
        // painter lets go of it without that, and what was written to out is
        // discarded with it.
        if (painter.isActive()) {
            painter.paintEngine()->setActive(false);
            painter.end();
            writer.forgetPainter();
        }
        info = PageLayoutInfo();
        info.status = LayoutStatus::OutOfMemory;
    }
    return info;
}

} // namespace tessilor
