#include "document/plaintext.h"
#include "document/htmlpage.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace tessilor {

QString documentPlainText(const QTextDocument &doc, const QString &lineEnd)
{
    QString out;
    out.reserve(doc.characterCount() + doc.blockCount() * (lineEnd.size() - 1));
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        if (b != doc.begin())
            out.append(lineEnd);
        const QString t = b.text();
        for (QChar c : t) {
            if (c == QChar::LineSeparator)
                out.append(lineEnd);
            else if (c == QChar::ObjectReplacementCharacter)
                continue;
            else
                out.append(c);
        }
    }
    return out;
}

QByteArray writePlainText(const QTextDocument &doc)
{
    return documentPlainText(doc).toUtf8();
}

void readPlainText(QTextDocument &doc, const QString &text, const QTextCharFormat &charFormat,
                   const QTextBlockFormat &blockFormat)
{
    QString normal;
    normal.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\r') {
            normal.append(QChar::ParagraphSeparator);
            if (i + 1 < text.size() && text.at(i + 1) == u'\n')
                ++i;
        } else if (c == u'\n') {
            normal.append(QChar::ParagraphSeparator);
        } else {
            normal.append(c);
        }
    }
    QTextCursor cursor(&doc);
    // Emptying inside the edit block makes the load one change from an
    // empty document, which a window lays out lazily.
    cursor.beginEditBlock();
    doc.clear();
    cursor.setBlockFormat(blockFormat);
    cursor.setBlockCharFormat(charFormat);
    cursor.insertText(normal, charFormat);
    cursor.endEditBlock();
}

QByteArray writeHtml(const QTextDocument &doc)
{
    return writeHtmlPage(doc);
}

} // namespace tessilor
