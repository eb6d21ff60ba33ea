#pragma once
#include <QAbstractTextDocumentLayout>
#include <QGlyphRun>
#include <QList>
#include <QPointF>
#include <QTextOption>

class QTextDocument;

namespace tessilor {

// A document layout for a figure mosaic: rows of one glyph in one font, each
// cell in its own colour. The standard layout shapes every colour run on its
// own, which for a million cells takes seconds; here every row has the same
// height and every cell the same advance, so the geometry is arithmetic and
// painting draws one prepared glyph per cell, only for the rows in view.
//
// The metrics come from the standard layout itself: a small sample document
// with the same fonts, margins and paragraph format is laid out whenever
// the document's page, font or options change, so rows, cells, the document
// size, hit tests and cursor rectangles fall where the standard layout puts
// them. A block's own QTextLayout is laid out on demand (cursor movement and
// cursor rectangles need it), one row at a time.
//
// The layout holds only while the document is the mosaic the program filled
// in. Any other change of content or format (typing, pasting, a new text)
// and switching line wrapping on give the document its standard layout back.
class MosaicLayout : public QAbstractTextDocumentLayout
{
    Q_OBJECT
public:
    // Marks a fill in progress: while one lives, content changes of the
    // document are the mosaic being written and keep the mosaic layout.
    class Fill
    {
    public:
        // Installs the mosaic layout for the glyph on the document (when the
        // document's lines do not wrap; otherwise the standard layout stays).
        Fill(QTextDocument *doc, QChar glyph);
        ~Fill();
        Fill(const Fill &) = delete;
        Fill &operator=(const Fill &) = delete;

    private:
        QTextDocument *m_doc;
    };

    explicit MosaicLayout(QTextDocument *doc, QChar glyph);

    // True when the document is shown through a mosaic layout.
    static bool isInstalled(const QTextDocument *doc);
    // Gives the document its standard layout back (with the colours a fill
    // kept beside the document written into its formats first); nothing
    // when it has it.
    static void restoreStandard(QTextDocument *doc);
    // Writes the colours a fill kept beside the document (MosaicCells) into
    // its formats, keeping the mosaic layout; nothing when none are kept.
    static void settleColours(QTextDocument *doc);

    void draw(QPainter *painter, const PaintContext &context) override;
    int hitTest(const QPointF &point, Qt::HitTestAccuracy accuracy) const override;
    int pageCount() const override;
    QSizeF documentSize() const override;
    QRectF frameBoundingRect(QTextFrame *frame) const override;
    QRectF blockBoundingRect(const QTextBlock &block) const override;

    // Geometry of the cells, in document coordinates.
    qreal cellAdvance() const { return m_m.advance; }
    qreal rowPitch() const { return m_m.pitch; }
    QPointF cellOrigin(int row, int column) const;

protected:
    void documentChanged(int from, int charsRemoved, int charsAdded) override;

private:
    struct Metrics {
        bool valid = false;
        qreal top = 0;           // top of the first row
        qreal pitch = 0;         // row to row
        qreal rowHeight = 0;     // height of a block's rectangle
        qreal left = 0;          // left of a block's rectangle
        qreal lineWidth = 0;     // a row's width on the page, before its cells
        qreal cellX0 = 0;        // x of the first cell's left edge
        qreal advance = 0;       // cell to cell
        qreal baseline = 0;      // baseline below the row top
        qreal glyphDx = 0;       // glyph origin right of the cell's edge
        QPointF layoutOffset;    // a block layout's position from its row top-left
        QPointF linePosition;    // the line's position inside a block layout
        qreal lineTop = 0;       // the line's top below the row top
        qreal lineHeight = 0;    // the line's ascent and descent
        qreal sizeWidthBase = 0; // content width without cells
        qreal sizeWidthPageFloor = 0;
        qreal sizeHeightBase = 0; // document height without rows
        QGlyphRun glyph;          // one glyph, position reset to zero
    };

    void calibrate();
    void measureContent();
    void scheduleRestore();
    int rowOf(qreal y) const;
    int columnsOf(const QTextBlock &block) const;
    void ensureBlockLayout(const QTextBlock &block) const;

    QChar m_glyph;
    Metrics m_m;
    int m_rows = 0;
    int m_maxColumns = 0;
    bool m_trusted = false;
    bool m_restoring = false;

    friend class Fill;
};

} // namespace tessilor
