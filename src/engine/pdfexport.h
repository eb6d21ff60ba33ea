#pragma once
#include <QPageLayout>
#include <QSizeF>

#include "engine/printlayout.h"

class QIODevice;

// A result as a PDF file without a printer: one page laid out as the print
// window prints it (layoutPage, the font fitted to the printable area less
// the print margin), the characters and figures as text in their embedded
// fonts, not as pictures.
namespace tessilor {

// Printable area of a page layout in twips, where the layout starts.
QSizeF printableTwips(const QPageLayout &page);

// The page of a PDF written without a printer: A4 upright with margins of
// 10 points, as a PDF printer starts.
QPageLayout defaultPdfPageLayout();

// Writes the PDF into out. The title is the print job's name. Status Done
// when written; FileError when the result's files cannot be read; Nothing
// for a source without a result. A failing device shows in its own state
// (OutputFile::commit).
PageLayoutInfo writeResultPdf(const PrintSource &source, const QPageLayout &page, QIODevice &out,
                              const RunHooks &hooks = {});

} // namespace tessilor
