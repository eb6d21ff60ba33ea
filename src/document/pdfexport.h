#pragma once
#include <QPageLayout>
#include <QSizeF>

#include "layout/printlayout.h"

class QIODevice;

// A result as a PDF file without a printer: one page laid out as the print
// window prints it (layoutPage, inside the page's margins, the font fitted
// to that area less the print margin), the characters and figures as text
// in their embedded fonts, not as pictures.
namespace tessilor {

// The area inside the page's margins in twips, where the layout starts.
QSizeF printableTwips(const QPageLayout &page);

// The page of a PDF written without a printer: A4 upright with the design
// margins (resultPageLayout()).
QPageLayout defaultPdfPageLayout();

// The memory Qt's PDF engine needs to write the source's page, in bytes.
qint64 pdfMemoryCost(const PrintSource &source);

// Writes the PDF of the page's paper into out, the art inside the page's
// margins. The title is the print job's name. Status Done when written;
// FileError when the result's files cannot be read; OutOfMemory when the
// memory for the page (pdfMemoryCost) is not there or runs out while it is
// written, and then out holds no whole PDF; Nothing for a source without a
// result. A failing device shows in its own state (OutputFile::commit).
PageLayoutInfo writeResultPdf(const PrintSource &source, const QPageLayout &page, QIODevice &out,
                              const RunHooks &hooks = {});

} // namespace tessilor
