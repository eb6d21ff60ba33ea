#pragma once
#include <QChar>
#include <QFont>
#include <QList>
#include <QObject>
#include <QString>
#include <QTextCharFormat>
#include <QTextCursor>
#include <memory>
#include <vector>

#include "art/figureconvert.h"

class QTextDocument;

namespace tessilor {

// The colours of a figure mosaic kept beside its document. A mosaic of a
// photograph has a colour of its own in almost every cell, and a document
// holding a million one-cell runs, each with a format of its own, takes
// seconds to fill and hundreds of megabytes. Shown through the mosaic
// layout, the document needs only its glyphs (one run a row) and these
// colours; whatever reads the colours from the document's formats (saving,
// copying, the standard layout) first has them written in by materialize(),
// which fills the document exactly as the fill cell by cell does.
//
// The cells belong to the document (a child object). They stay while the
// document's text stays (a format or default font change keeps them) and go
// away when anything but the fill and materialize() changes the text.
class MosaicCells : public QObject
{
    Q_OBJECT
public:
    // Replaces the cells a document had. rowFormat: the fill's format of a
    // row (FigureDocumentSink), which the cells' colours are set on.
    MosaicCells(QTextDocument *doc, const QTextCharFormat &rowFormat);

    // The cells kept for a document, or null when its formats hold the
    // colours (or it holds no mosaic).
    static MosaicCells *of(const QTextDocument *doc);

    // Writes the colours into the document's formats (every run of equal
    // cells takes the format a fill cell by cell gives it; the text and the
    // cursors stay) and drops the cells. Does nothing to a document without
    // kept cells. May throw std::bad_alloc; the cells are dropped then too.
    static void materialize(QTextDocument *doc);

    // While filling: one cell at the end of the current row (background -1:
    // none), and the end of a row.
    void append(quint32 color, qint64 background);
    void endRow();
    void setFilling(bool filling) { m_filling = filling; }

    int rows() const { return int(m_rowEnd.size()); }
    // Cells of row r: index rowBegin(r) .. rowEnd(r) - 1.
    size_t rowBegin(int r) const { return r == 0 ? 0 : m_rowEnd[size_t(r) - 1]; }
    size_t rowEnd(int r) const { return m_rowEnd[size_t(r)]; }
    quint32 color(size_t i) const { return m_colors[i]; }
    qint64 background(size_t i) const { return m_backgrounds.empty() ? -1 : m_backgrounds[i]; }
    bool sameCell(size_t a, size_t b) const { return color(a) == color(b) && background(a) == background(b); }

private:
    void contentChanged(int from, int removed, int added);

    QTextDocument *m_doc;
    QTextCharFormat m_rowFormat;
    std::vector<quint32> m_colors;
    std::vector<qint64> m_backgrounds; // empty: no cell has one
    std::vector<size_t> m_rowEnd;
    bool m_filling = false;
    bool m_dropped = false;
};

// Fills a document the way the figure conversion fills the result's rich
// text: every cell appends the glyph at the end in the cell's colour; when a
// row ends, the row's range (cols + 1) * row .. + cellsInRow takes the row
// font and a line break follows. Neighbouring cells of equal colour share
// one run, and the document sees the whole mosaic as one change when the
// sink finishes, so a window showing it lays it out once, lazily, instead
// of after every row. The fill keeps no undo steps.
//
// With KeepColours the document takes the glyphs alone, each row one run in
// the row format, and the colours go to the document's MosaicCells (for a
// window that shows the document through the mosaic layout).
class FigureDocumentSink : public FigureSink
{
public:
    enum class Colours { InFormats, KeepColours };
    // The document is emptied; its default font becomes the figure font.
    FigureDocumentSink(QTextDocument *doc, QChar glyph, const QFont &font, quint32 defaultColor,
                       Colours colours = Colours::InFormats);
    ~FigureDocumentSink() override;
    FigureDocumentSink(const FigureDocumentSink &) = delete;
    FigureDocumentSink &operator=(const FigureDocumentSink &) = delete;
    void cell(quint32 color) override;
    // A cell of the figure fill: the glyph in color on the background
    // (the character format's background, which the rich text paints,
    // saves and copies with the cell).
    void filledCell(quint32 color, quint32 background) override;
    void endRow(int rowIndex, int cellsInRow) override;
    // Ends the fill: the document reports its change. Further cells are
    // ignored. May throw std::bad_alloc; the destructor finishes a fill that
    // was not finished, and empties the document if that fails.
    void finish();
    int rows() const { return m_rows; }
    // The format of a cell: the row format in the cell's colour, on its
    // background when it has one (not -1).
    static QTextCharFormat cellFormat(const QTextCharFormat &rowFormat, quint32 color, qint64 background);

private:
    void abandon() noexcept;
    void flushRun();
    void append(quint32 color, qint64 background);
    const QTextCharFormat &formatFor(quint32 color, qint64 background);

    QTextDocument *m_doc;
    QTextCursor m_cursor;
    QChar m_glyph;
    MosaicCells *m_cells = nullptr; // KeepColours
    QTextCharFormat m_rowFormat;
    QString m_run;
    quint32 m_runColor = 0;
    qint64 m_runBackground = -1; // -1: none
    bool m_haveRun = false;
    bool m_open = false;
    bool m_undo = false;
    struct CachedFormat {
        QTextCharFormat format;
        quint32 color = 0;
        qint64 background = -1;
        bool used = false;
    };
    static constexpr quint32 kFormatSlots = 4096;
    QList<CachedFormat> m_formats;
    // Memory held back while the mosaic is built and given back first when
    // the fill fails for want of memory.
    static constexpr size_t kReserveBytes = size_t(16) << 20;
    std::unique_ptr<char[]> m_reserve;
    int m_rows = 0;
};

// Fills a document the way the text conversion fills the result's rich
// text: the default font and colour are set, then the text (as read from the
// temporary file) replaces the whole document, one paragraph per line. The
// first paragraph's format (the window's indent) carries over to every line;
// no undo steps are kept.
void fillTextDocument(QTextDocument &doc, const QString &text, const QFont &font, quint32 color);

// The same for a text result in the picture's colours: character k (in
// reading order, line breaks left out) takes colors[k]; neighbours of one
// colour share a run. Characters without a colour take the first one.
void fillPictureTextDocument(QTextDocument &doc, const QString &text, const QFont &font,
                             const std::vector<quint32> &colors);

// The character format the rich text uses for a font and a colour.
QTextCharFormat textRunFormat(const QFont &font, quint32 color);

} // namespace tessilor
