#pragma once
#include <QByteArray>
#include <QChar>
#include <QMarginsF>
#include <QPageLayout>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <functional>
#include "base/runhooks.h"
#include "layout/twips.h"

class QPaintDevice;
class QPainter;

// Page layout of a conversion result for the print preview and for printing.
// All lengths are in twips (1/1440 inch) unless a name says otherwise.
namespace tessilor {

// What printing needs from the last conversion.
struct PrintSource {
    qint16 resultKind = 0; // 3 text characters, 2 figures, else nothing
    qint32 gridRows = 0, gridColumns = 0;
    QString textPath, colorPath; // temporary text and colour files
    QString fontName;            // the result window's font
    double fontSize = 8;         // points
    quint32 foreColor = 0;       // text colour, red + 256 green + 65536 blue
    QChar glyph;                 // figure glyph of a figure result
    // A text result in the picture's colours: the colour file holds one line
    // per character (line breaks left out), in reading order.
    bool textColors = false;
    // The files' contents, when the result is not in files (tessilor-cli):
    // a non-null array is read instead of its file.
    QByteArray textData, colorData;
};

// Page limits the fit works against, single precision as the layout keeps them.
struct PageLimits {
    float width = 0;
    float height = 0;
};
inline constexpr float kPreviewDivisor = 1.06f;
inline constexpr float kPrintDivisor = 1.05f;
// Page width and height divided by 1.06 (preview) or 1.05 (printing).
PageLimits previewLimits(double pageWidth, double pageHeight);
PageLimits printLimits(double pageWidth, double pageHeight);

// The margins a page starts with until the user sets others in the page
// setup, in millimetres: left 30, top 20, right 15, bottom 20.
QMarginsF designMarginsMm();
// A page of the given paper, upright, with margins in millimetres (the
// design margins unless given), in the layout's standard mode.
QPageLayout resultPageLayout(const QPageSize &paper = QPageSize(QPageSize::A4),
                             const QMarginsF &marginsMm = designMarginsMm());
// Paper of a page layout as it stands (turned for landscape), in twips.
QSizeF paperTwips(const QPageLayout &page);
// Where the art goes on a page: inside the layout's margins, in twips from
// the paper's top-left corner, whatever the layout's mode. The fit limits
// apply to this area.
QRectF artRectTwips(const QPageLayout &page);

// Size of the measuring string in twips at the given point size.
using MeasureFn = std::function<QSizeF(double pointSize)>;

// The page-fit rule. Starting from startSize, exactly three passes: the grid
// of columns x rows measuring strings is measured; when it overflows the
// limits the size is divided by the larger of the two overflow factors
// (width / limit width, height / limit height). The later passes absorb the
// font's size rounding. The size is never enlarged. Returns the fitted size.
double fitFontSize(double startSize, const MeasureFn &measure, qint64 columns, qint64 rows, PageLimits limits);

// Preview box in its frame: 5295 twips on the longer side of the page, the
// other side in proportion, centred in the frame (75 twips lower for the
// frame's caption).
inline constexpr double kPreviewSide = 5295;
inline constexpr double kPreviewFrameWidth = 5400;
inline constexpr double kPreviewFrameHeight = 5565;
struct PreviewBox {
    double left = 0, top = 0, width = 0, height = 0;
};
PreviewBox previewBox(PageLimits page, double frameWidth = kPreviewFrameWidth,
                      double frameHeight = kPreviewFrameHeight);

// The preview draws the page at full size on a surface and reduces it into
// the preview box. Resolution of that surface, dots per inch: the screen's
// 96, or more when the result's cells would come out smaller than
// kPreviewCellPixels there (fonts of a pixel or less draw nothing, and a
// 1024-column result came out blank), but never so much that the surface
// exceeds maxPixels; huge paper is drawn below 96 dpi for that reason.
// columns and rows count the cells across and down (characters for text).
inline constexpr double kPreviewCellPixels = 4;
inline constexpr double kScreenDpi = 96;
double previewSurfaceDpi(PageLimits page, qint64 columns, qint64 rows, qint64 maxPixels);
// The same for a surface of the size `surface` whose cells lie in `art`
// (the paper and the area inside its margins).
double previewSurfaceDpi(PageLimits surface, PageLimits art, qint64 columns, qint64 rows, qint64 maxPixels);
// Largest preview page surface in pixels.
inline constexpr qint64 kMaxPreviewSurfacePixels = 24'000'000;
// Dots per metre of a surface of that resolution, at least 1.
int previewDotsPerMeter(double dpi);
// Pixels of a page length in twips at a resolution, at least 1.
int surfacePixels(double twips, double dpi);

// Copies field: the value the spin buttons take for the field's text
// (leading number rounded half to even to 16 bits, clamped to 1..99).
qint16 copiesSpinValue(const QString &text);
// Number of copies printed for the field's text: c = 1, 2, ... while c is at
// most the leading number (so "" and "0" print none, "2" prints two).
int copiesToPrint(const QString &text);
inline constexpr int kMaxCopies = 99;

// Top-left corner of figure cell (x, y), both 1-based, cells cw x ch.
QPointF figureCellPosition(int x, int y, double cellWidth, double cellHeight);

// Colour of one colour-file line: its leading number rounded half to even
// to 32 bits, kept to the 24 colour bits.
quint32 colorFromLine(const QByteArray &line);
// Background of a colour-file line of the figure fill: the second number,
// kept to the 24 colour bits. False when the line has none.
bool backgroundFromLine(const QByteArray &line, quint32 *background);

// Outcome of laying a result out on a surface.
enum class LayoutStatus {
    Nothing,     // result kind other than text or figures: nothing drawn
    Done,        // laid out
    FileError,   // the temporary file is missing or unreadable: nothing drawn
    Stopped,     // the caller's stop flag ended the layout part-way
    OutOfMemory, // the surface could not take the result (writeResultPdf): nothing written
};

struct PageLayoutInfo {
    LayoutStatus status = LayoutStatus::Nothing;
    double fittedSize = 0; // points
    double cellWidth = 0;  // twips: "Q" (text) or the glyph (figures)
    double cellHeight = 0;
    int itemsDrawn = 0; // lines or glyphs
};

// The measuring string of a result on a device: "Q" in the page font
// (text) or the glyph in the result font (figures), its size in twips at a
// point size. Cells across: two per grid column for text, one for figures.
MeasureFn cellMeasure(const PrintSource &source, const QPaintDevice *device);
qint64 cellsAcross(const PrintSource &source);

// The cell of a result in proportion to the point size, as a word
// processor or a PDF sets the text: the font's own proportions, measured
// once at a large size (a device measures its whole pixel sizes, which at a
// point or two are several percent off).
MeasureFn proportionalCellMeasure(const PrintSource &source);

// Measures and positions in twips on the painter's device (its logical DPI).
double deviceTwipsPerUnitX(const QPainter &painter);
double deviceTwipsPerUnitY(const QPainter &painter);
// Moves the painter's origin to the art's corner (artTwips: from the
// paper's corner, see artRectTwips), where layoutPage starts drawing.
void moveToArt(QPainter &painter, const QRectF &artTwips);

// Lays the result out from the page's top-left corner with the painter:
// text results line by line from the text file in the result font and
// colour (or, with textColors, each character in its colour from the colour
// file), figure results glyph by glyph from the colour file in the cell
// colours, with the font fitted to the limits. The painter must be active.
// The hooks report the rows laid out in percent, let the caller's events run
// and stop the layout (status Stopped) when the stop flag is set.
PageLayoutInfo layoutPage(QPainter &painter, const PrintSource &source, PageLimits limits, const RunHooks &hooks = {});

// Name of the print job and title of a PDF: the program's caption and the
// kind and size of the result ("Quar Image Tessilor — символы 80 x 30").
QString printJobName(const PrintSource &source);

// Checks whether the file a result would be laid out from can be read.
// Returns true for result kinds that read nothing.
bool sourceReadable(const PrintSource &source);

} // namespace tessilor
