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

// The widest line of a result's art as a word processor sets it.
struct ArtLine {
    double width = 0;  // twips at the art's own size, the indents included
    double indent = 0; // twips of the paragraphs' indents, whatever the size
    double size = 8;   // the art's own size, points
    qint64 cells = 0;  // cells across (figures, or characters)
    // Twips of the line at a size: its cells grow with the size, the
    // indents do not.
    double widthAt(double points) const { return (width - indent) * points / size + indent; }
};

// The page a word processor is asked for, and whether the line fits it.
struct WordProcessorFit {
    RtfPage page;
    bool fits = true;
    // When it does not: the most cells a line holds across the paper,
    // either way round, at half a point.
    qint64 widestLine = 0;
};

// The page of a result's RTF, chosen so that a word processor keeps every
// line of the art on one line and shows the page as the print preview does.
// paper: the page setup's paper as it stands, margins: its margins, both in
// twips; previewSize(paper, art): the print preview's font size for that
// paper and the area inside its margins.
// - The line fits inside the margins: that page, the art's own size.
// - Else, on an upright page where the line fits inside the margins of the
//   page turned: the page turned to landscape (the margins stay where they
//   are named), the art's own size.
// - Else that page, with every run in the preview's size rounded down to
//   half points, when the line fits at that size (at least half a point).
// - Else, where turning makes the page wider: the page turned, in its
//   preview's size (at least half a point), when the line fits that way.
// - Else it does not fit: fits is false, widestLine says how many cells do.
WordProcessorFit wordProcessorPage(QSizeF paper, const QMarginsF &margins, const ArtLine &line,
                                   const std::function<double(QSizeF paper, QSizeF art)> &previewSize);

// A word processor given more colour changes times colours than this takes
// tens of seconds to pool them: a result's RTF rounds its colours to stay
// within it (RtfPage::colourCost).
inline constexpr qint64 kWordProcessorColourCost = 200'000'000;

// Why a result's RTF was not written: its widest line does not fit across
// the paper even at half a point, either way round. Cells: figures, or
// characters of text.
struct RtfTooWide {
    qint64 cells = 0;
    qint64 widestCells = 0; // that fit
};

// The RTF of a result for a word processor: writeRtf of its document on the
// page wordProcessorPage chooses for the page layout's paper and margins,
// its colours within kWordProcessorColourCost. The widest line is the
// grid's cells across (source: its kind, counts, font and glyph) with the
// paragraphs' indents; the preview's size is the page-fit rule against the
// preview limits of the area inside the margins. Both measure the cells in
// the font's own proportions, as the word processor sets them
// (proportionalCellMeasure: a figure advances one em). The document and the
// source's files are left as they are; nothing is read from them. When the
// line does not fit, nothing is written (an empty array) and tooWide, when
// given, says so.
QByteArray writeResultRtf(const QTextDocument &doc, const PrintSource &source, const QPageLayout &page,
                          const QTextCharFormat &defaultFormat = {}, RtfTooWide *tooWide = nullptr);

} // namespace tessilor
