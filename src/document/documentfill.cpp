#include "document/documentfill.h"

#include <exception>
#include <new>
#include "document/plaintext.h"
#include "document/richformat.h"

#include <QHash>
#include <QTextBlock>
#include <QTextDocument>
#include <exception>

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

FigureDocumentSink::FigureDocumentSink(QTextDocument *doc, QChar glyph, const QFont &font, quint32 defaultColor)
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
    m_formats.resize(kFormatSlots);
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
    m_cursor.endEditBlock();
    m_open = false;
    m_doc->setUndoRedoEnabled(m_undo);
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
        entry.format = m_rowFormat;
        entry.format.setForeground(colorFrom24(color));
        if (background >= 0)
            entry.format.setBackground(colorFrom24(quint32(background)));
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
    if (!m_haveRun || color != m_runColor || background != m_runBackground) {
        flushRun();
        m_runColor = color;
        m_runBackground = background;
        m_haveRun = true;
    }
    m_run.append(m_glyph);
    if (m_rows == 0)
        ++m_columns;
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
        if (it == formats.end()) {
            QTextCharFormat f = rowFormat;
            f.setForeground(colorFrom24(color));
            it = formats.insert(color, f);
        }
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
