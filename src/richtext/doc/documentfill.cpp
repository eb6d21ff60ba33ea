#include "richtext/doc/documentfill.h"
#include "richtext/doc/plaintext.h"
#include "richtext/doc/richformat.h"

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
}

FigureDocumentSink::~FigureDocumentSink()
{
    // Never throws. A fill abandoned by an exception (memory ran out) drops
    // the cells not yet in the document instead of inserting them with what
    // memory is left.
    if (std::uncaught_exceptions() > 0) {
        m_run.clear();
        m_haveRun = false;
    }
    try {
        finish();
    } catch (...) {
    }
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

const QTextCharFormat &FigureDocumentSink::formatFor(quint32 color)
{
    // A small direct-mapped cache: a grey mosaic has at most 256 colours and
    // always hits; a photograph's colours rarely repeat, and a miss costs no
    // more than making the format, which the document needs anyway.
    const quint32 slot = ((color * 2654435761u) >> 20) & (kFormatSlots - 1);
    CachedFormat &entry = m_formats[slot];
    if (!entry.used || entry.color != color) {
        entry.format = m_rowFormat;
        entry.format.setForeground(colorFrom24(color));
        entry.color = color;
        entry.used = true;
    }
    return entry.format;
}

void FigureDocumentSink::cell(quint32 color)
{
    if (!m_open)
        return;
    if (!m_haveRun || color != m_runColor) {
        flushRun();
        m_runColor = color;
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
    m_cursor.insertText(m_run, formatFor(m_runColor));
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

} // namespace tessilor
