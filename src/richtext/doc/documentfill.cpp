#include "richtext/doc/documentfill.h"
#include "richtext/doc/plaintext.h"
#include "richtext/doc/richformat.h"

#include <QTextBlock>
#include <QTextDocument>

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
    m_doc->clear();
    m_doc->setDefaultFont(font);
    m_cursor = QTextCursor(m_doc);
    m_cursor.setBlockFormat(block);
    m_cursor.setBlockCharFormat(m_rowFormat);
    m_run.reserve(1024);
}

void FigureDocumentSink::cell(quint32 color)
{
    if (m_haveRun && color == m_runColor) {
        m_run.append(m_glyph);
    } else {
        flushRun();
        m_runColor = color;
        m_haveRun = true;
        m_run.append(m_glyph);
    }
    if (m_rows == 0)
        ++m_columns;
}

void FigureDocumentSink::flushRun()
{
    if (!m_haveRun || m_run.isEmpty())
        return;
    if (!m_inRow) {
        // One edit block per row: the document reports one change per row.
        m_cursor.beginEditBlock();
        m_inRow = true;
    }
    QTextCharFormat f = m_rowFormat;
    f.setForeground(colorFrom24(m_runColor));
    m_cursor.insertText(m_run, f);
    m_run.clear();
    m_haveRun = false;
}

void FigureDocumentSink::endRow(int, int)
{
    flushRun();
    if (!m_inRow) {
        m_cursor.beginEditBlock();
        m_inRow = true;
    }
    m_cursor.insertBlock(m_cursor.blockFormat(), m_rowFormat);
    m_cursor.endEditBlock();
    m_inRow = false;
    ++m_rows;
}

void fillTextDocument(QTextDocument &doc, const QString &text, const QFont &font, quint32 color)
{
    const QTextBlockFormat block = doc.begin().blockFormat();
    doc.setDefaultFont(font);
    readPlainText(doc, text, textRunFormat(font, color), block);
}

} // namespace tessilor
