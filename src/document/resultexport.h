#pragma once
#include <QMarginsF>
#include <QPageLayout>
#include <QSizeF>
#include <QString>
#include <QTextCharFormat>
#include <functional>

#include "document/htmlpage.h"
#include "document/rtf.h"
#include "layout/printlayout.h"

class QTextDocument;

// The file types a result is saved as, shared by the result window's save
// and tessilor-cli.
namespace tessilor {

enum class ExportFormat {
    Text, // plain text
    Rtf,  // rich text
    Png,  // the picture of the art as the window draws it (artimage.h)
    Pdf,  // a page as the print window prints it (pdfexport.h)
    Html, // a standalone page with the figure fonts inside (htmlpage.h)
};

// The type a file name's extension (any case, without the dot) names: txt,
// rtf, png, pdf, html or htm. False for another extension.
bool exportFormatForSuffix(const QString &suffix, ExportFormat *format);
// The usual extension of a type, which is also its name for tessilor-cli -F:
// txt, rtf, png, pdf or html.
QString exportFormatName(ExportFormat format);

// The page of an HTML export: the title, and for a figure result the figure
// fonts of the program inside, so that a browser shows the figures without
// installing anything. Needs a QGuiApplication.
HtmlPageOptions resultPageOptions(const QString &title, bool figures);

// The page of a result's RTF, chosen so that a word processor keeps every
// line of the art on one line and shows the page as the print preview does.
// paper: the page setup's paper as it stands, margins: its margins, both in
// twips; lineWidth: the widest line of the art at its own size with the
// paragraphs' indents, twips; previewSize(paper, art): the print preview's
// font size for that paper and the area inside its margins.
// - The line fits inside the margins: that page, the art's own size.
// - Else, on an upright page where the line fits inside the margins of the
//   page turned: the page turned to landscape (the margins stay where they
//   are named), the art's own size.
// - Else that page, with every run in the preview's size rounded down to
//   half points (at least one half point).
RtfPage wordProcessorPage(QSizeF paper, const QMarginsF &margins, double lineWidth,
                          const std::function<double(QSizeF paper, QSizeF art)> &previewSize);

// The RTF of a result for a word processor: writeRtf of its document on the
// page wordProcessorPage chooses for the page layout's paper and margins.
// The widest line is the grid's cells across (source: its kind, counts,
// font and glyph) with the paragraphs' indents; the preview's size is the
// page-fit rule against the preview limits of the area inside the margins.
// Both measure the cells in the font's own proportions, as the word
// processor sets them (proportionalCellMeasure). The document and the
// source's files are left as they are; nothing is read from them.
QByteArray writeResultRtf(const QTextDocument &doc, const PrintSource &source, const QPageLayout &page,
                          const QTextCharFormat &defaultFormat = {});

} // namespace tessilor
