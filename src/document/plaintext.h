#pragma once
#include <QByteArray>
#include <QString>
#include <QTextBlockFormat>
#include <QTextCharFormat>

class QTextDocument;

namespace tessilor {

// The document's text with one line per paragraph and lineEnd between the
// lines (none after the last paragraph). Soft line breaks end a line too;
// embedded objects are left out.
QString documentPlainText(const QTextDocument &doc, const QString &lineEnd = QStringLiteral("\r\n"));
// The plain-text file form: the text above with CR LF, UTF-8.
QByteArray writePlainText(const QTextDocument &doc);
// Replaces the document with text: CR LF, lone CR and lone LF each end a
// paragraph. Every character takes charFormat, every paragraph blockFormat.
void readPlainText(QTextDocument &doc, const QString &text, const QTextCharFormat &charFormat = {},
                   const QTextBlockFormat &blockFormat = {});
// The clipboard's HTML: a complete UTF-8 page with the same text, fonts and
// colours, laid out like writeHtmlPage (font fallbacks ending in monospace,
// fixed line heights) but light: no font is embedded.
QByteArray writeHtml(const QTextDocument &doc);

} // namespace tessilor
