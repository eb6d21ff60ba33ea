#include "document/documentfill.h"

#include "document/plaintext.h"
#include "document/richformat.h"

#include <QHash>
#include <QTextBlock>
#include <QTextDocument>
#include <exception>
#include <new>

namespace tessilor {

QTextCharFormat textRunFormat(const QFont &font, quint32 color)
{
    QTextCharFormat f;
    f.setProperty(QTextFormat::FontFamilies, QStringList(font.family()));
    if (font.pointSizeF() > 0)
        f.setFontPointSize(font.pointSizeF());
    if (font.bold())
        f.setFontWeight(QFont::Bold);
    if (font.italic())
        f.setFontItalic(true);
    if (font.underline())
        f.setFontUnderline(true);
    if (font.strikeOut())
        f.setFontStrikeOut(true);
    f.setForeground(colorFrom24(color));
    return f;
}

// ---------------------------------------------------------------------------
// Kept colours

MosaicCells::MosaicCells(QTextDocument *doc, const QTextCharFormat &rowFormat)
    : QObject(doc), m_doc(doc), m_rowFormat(rowFormat)
{
    for (MosaicCells *earlier : doc->findChildren<MosaicCells *>(QString(), Qt::FindDirectChildrenOnly)) {
        if (earlier != this)
            delete earlier;
    }
    connect(doc, &QTextDocument::contentsChange, this, &MosaicCells::contentChanged);
}

MosaicCells *MosaicCells::of(const QTextDocument *doc)
{
    if (!doc)
        return nullptr;
    for (MosaicCells *cells : doc->findChildren<MosaicCells *>(QString(), Qt::FindDirectChildrenOnly)) {
        if (!cells->m_dropped)
            return cells;
    }
    return nullptr;
}

void MosaicCells::contentChanged(int, int, int)
{
    if (m_filling || m_dropped)
        return;
    // A change of formats (or of the default font) keeps the rows and their
    // cells where they were (the document may also report the fill itself
    // late); other text drops the cells.
    const qint64 rows = qint64(m_rowEnd.size());
    if (m_doc->blockCount() == rows + 1 && m_doc->characterCount() == qint64(m_colors.size()) + rows + 1)
        return;
    m_dropped = true;
    deleteLater();
}

void MosaicCells::append(quint32 color, qint64 background)
{
    if (background >= 0 && m_backgrounds.empty())
        m_backgrounds.resize(m_colors.size(), -1); // the first cell with a background
    if (background >= 0 || !m_backgrounds.empty())
        m_backgrounds.push_back(background);
    m_colors.push_back(color);
}

void MosaicCells::endRow()
{
    m_rowEnd.push_back(m_colors.size());
}

void MosaicCells::materialize(QTextDocument *doc)
{
    MosaicCells *cells = of(doc);
    if (!cells)
        return;
    cells->m_dropped = true;
    const std::unique_ptr<MosaicCells> owned(cells);
    // The text stays: every run of equal cells takes the format a fill cell
    // by cell gives it, so cursors and selections keep their places.
    const QTextCharFormat &row = cells->m_rowFormat;
    const bool undo = doc->isUndoRedoEnabled();
    doc->setUndoRedoEnabled(false);
    QTextCursor c(doc);
    c.beginEditBlock();
    try {
        QTextBlock block = doc->begin();
        for (int r = 0; r < cells->rows() && block.isValid(); ++r, block = block.next()) {
            const size_t begin = cells->rowBegin(r);
            const size_t end = cells->rowEnd(r);
            if (end - begin != size_t(block.length() - 1))
                continue;
            for (size_t from = begin; from < end;) {
                size_t to = from + 1;
                while (to < end && cells->sameCell(to, from))
                    ++to;
                c.setPosition(block.position() + int(from - begin));
                c.setPosition(block.position() + int(to - begin), QTextCursor::KeepAnchor);
                c.setCharFormat(FigureDocumentSink::cellFormat(row, cells->color(from), cells->background(from)));
                from = to;
            }
        }
    } catch (...) {
        c.endEditBlock();
        doc->setUndoRedoEnabled(undo);
        throw;
    }
    c.endEditBlock();
    doc->setUndoRedoEnabled(undo);
}

// ---------------------------------------------------------------------------
// Filling

FigureDocumentSink::FigureDocumentSink(QTextDocument *doc, QChar glyph, const QFont &font, quint32 defaultColor,
                                       Colours colours)
    : m_doc(doc), m_glyph(glyph), m_rowFormat(textRunFormat(font, defaultColor))
{
    const QTextBlockFormat block = m_doc->begin().blockFormat();
    m_undo = m_doc->isUndoRedoEnabled();
    m_doc->setUndoRedoEnabled(false);
    m_cursor = QTextCursor(m_doc);
    // Emptying inside the edit block makes the whole fill one change from
    // an empty document: a window lays that out lazily, step by step.
    m_cursor.beginEditBlock();
    m_open = true;
    m_doc->clear();
    m_doc->setDefaultFont(font);
    m_cursor.setBlockFormat(block);
    m_cursor.setBlockCharFormat(m_rowFormat);
    m_run.reserve(1024);
    if (colours == Colours::KeepColours) {
        m_cells = new MosaicCells(m_doc, m_rowFormat);
        m_cells->setFilling(true);
    } else {
        m_formats.resize(kFormatSlots);
    }
    m_reserve.reset(new (std::nothrow) char[kReserveBytes]);
}

FigureDocumentSink::~FigureDocumentSink()
{
    // A destructor must not throw. Going during the unwinding of a failure
    // (no memory left), or failing to finish, drops the partial mosaic,
    // which gives its memory back.
    if (std::uncaught_exceptions() > 0) {
        abandon();
        return;
    }
    try {
        finish();
    } catch (...) {
        abandon();
    }
}

void FigureDocumentSink::abandon() noexcept
{
    if (!m_open)
        return;
    m_open = false;
    // The reserve and the sink's own buffers go first, so that emptying the
    // document and telling its layout have room to work.
    m_reserve.reset();
    m_run = QString();
    m_formats = QList<CachedFormat>();
    delete m_cells;
    m_cells = nullptr;
    m_haveRun = false;
    try {
        m_doc->clear();
        m_cursor.endEditBlock();
    } catch (...) {
    }
    m_doc->setUndoRedoEnabled(m_undo);
}

void FigureDocumentSink::finish()
{
    if (!m_open)
        return;
    flushRun();
    m_cursor.endEditBlock(); // the document reports the whole mosaic here
    m_open = false;
    m_doc->setUndoRedoEnabled(m_undo);
    if (m_cells)
        m_cells->setFilling(false);
}

QTextCharFormat FigureDocumentSink::cellFormat(const QTextCharFormat &rowFormat, quint32 color, qint64 background)
{
    QTextCharFormat f = rowFormat;
    f.setForeground(colorFrom24(color));
    if (background >= 0)
        f.setBackground(colorFrom24(quint32(background)));
    return f;
}

const QTextCharFormat &FigureDocumentSink::formatFor(quint32 color, qint64 background)
{
    // A small direct-mapped cache: a grey mosaic has at most 256 colours and
    // always hits; a photograph's colours rarely repeat, and a miss costs no
    // more than making the format, which the document needs anyway.
    const quint32 key = color ^ (background < 0 ? 0u : quint32(background) * 40503u);
    const quint32 slot = ((key * 2654435761u) >> 20) & (kFormatSlots - 1);
    CachedFormat &entry = m_formats[slot];
    if (!entry.used || entry.color != color || entry.background != background) {
        entry.format = cellFormat(m_rowFormat, color, background);
        entry.color = color;
        entry.background = background;
        entry.used = true;
    }
    return entry.format;
}

void FigureDocumentSink::cell(quint32 color)
{
    append(color, -1);
}

void FigureDocumentSink::filledCell(quint32 color, quint32 background)
{
    append(color, qint64(background));
}

void FigureDocumentSink::append(quint32 color, qint64 background)
{
    if (!m_open)
        return;
    if (m_cells) {
        // The row's glyphs go in at its end, in the row format.
        m_cells->append(color, background);
    } else if (!m_haveRun || color != m_runColor || background != m_runBackground) {
        flushRun();
        m_runColor = color;
        m_runBackground = background;
        m_haveRun = true;
    }
    m_run.append(m_glyph);
}

void FigureDocumentSink::flushRun()
{
    if (!m_haveRun || m_run.isEmpty())
        return;
    m_cursor.insertText(m_run, formatFor(m_runColor, m_runBackground));
    m_run.clear();
    m_haveRun = false;
}

void FigureDocumentSink::endRow(int, int)
{
    if (!m_open)
        return;
    if (m_cells) {
        if (!m_run.isEmpty())
            m_cursor.insertText(m_run, m_rowFormat);
        m_run.clear();
        m_cells->endRow();
    }
    flushRun();
    m_cursor.insertBlock(m_cursor.blockFormat(), m_rowFormat);
    ++m_rows;
}

void fillTextDocument(QTextDocument &doc, const QString &text, const QFont &font, quint32 color)
{
    const QTextBlockFormat block = doc.begin().blockFormat();
    // Like a stream-in, the load keeps no undo steps.
    const bool undo = doc.isUndoRedoEnabled();
    doc.setUndoRedoEnabled(false);
    doc.setDefaultFont(font);
    readPlainText(doc, text, textRunFormat(font, color), block);
    doc.setUndoRedoEnabled(undo);
}

void fillPictureTextDocument(QTextDocument &doc, const QString &text, const QFont &font,
                             const std::vector<quint32> &colors)
{
    const QTextBlockFormat block = doc.begin().blockFormat();
    const bool undo = doc.isUndoRedoEnabled();
    doc.setUndoRedoEnabled(false);
    doc.setDefaultFont(font);
    const quint32 first = colors.empty() ? 0 : colors.front();
    const QTextCharFormat rowFormat = textRunFormat(font, first);
    QHash<quint32, QTextCharFormat> formats;
    auto formatFor = [&](quint32 color) -> const QTextCharFormat & {
        auto it = formats.find(color);
        if (it == formats.end())
            it = formats.insert(color, FigureDocumentSink::cellFormat(rowFormat, color, -1));
        return *it;
    };

    QTextCursor cursor(&doc);
    // One change from an empty document, as a plain text load is.
    cursor.beginEditBlock();
    doc.clear();
    cursor.setBlockFormat(block);
    cursor.setBlockCharFormat(rowFormat);
    QString run;
    quint32 runColor = first;
    size_t k = 0;
    auto flush = [&] {
        if (!run.isEmpty())
            cursor.insertText(run, formatFor(runColor));
        run.clear();
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n')
                ++i;
            flush();
            cursor.insertBlock(block, rowFormat);
            continue;
        }
        const quint32 color = k < colors.size() ? colors[k] : first;
        ++k;
        if (color != runColor && !run.isEmpty())
            flush();
        runColor = color;
        run.append(c);
    }
    flush();
    cursor.endEditBlock();
    doc.setUndoRedoEnabled(undo);
}

} // namespace tessilor
