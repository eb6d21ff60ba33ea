#pragma once
#include <QChar>
#include <QFont>
#include <QList>
#include <QString>
#include <QTextCharFormat>
#include <QTextCursor>
#include <memory>
#include <vector>

#include "engine/figureconvert.h"

class QTextDocument;

namespace tessilor {

// Fills a document the way the figure conversion fills the result's rich
// text: every cell appends the glyph at the end in the cell's colour; when a
// row ends, the row's range (cols + 1) * row .. + cellsInRow takes the row
// font and a line break follows. Neighbouring cells of equal colour share
// one run, and the document sees the whole mosaic as one change when the
// sink finishes, so a window showing it lays it out once, lazily, instead
// of after every row. The fill keeps no undo steps.
class FigureDocumentSink : public FigureSink
{
public:
    // The document is emptied; its default font becomes the figure font.
    FigureDocumentSink(QTextDocument *doc, QChar glyph, const QFont &font, quint32 defaultColor);
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

private:
    void abandon() noexcept;
    void flushRun();
    void append(quint32 color, qint64 background);
    const QTextCharFormat &formatFor(quint32 color, qint64 background);

    QTextDocument *m_doc;
    QTextCursor m_cursor;
    QChar m_glyph;
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
    int m_columns = 0;
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
