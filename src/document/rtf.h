#pragma once
#include <QByteArray>
#include <QString>
#include <QTextBlockFormat>
#include <QTextCharFormat>

class QTextDocument;

namespace tessilor {

// RTF of the whole document: \ansi\ansicpg1251 header, font table (fonts with
// Cyrillic as \fcharset204, text fonts as fixed pitch \fmodern \fprq1 so
// that a reader without them still picks a monospaced face), colour table, then every paragraph with its
// indents and alignment and every run with its font, size, colour, bold,
// italic, underline and strike-through. Characters outside ASCII are written
// as \uN followed by their code-page byte (or '?'), so any reader gets them.
// defaultFormat supplies what the text's own formats leave unset.
QByteArray writeRtf(const QTextDocument &doc, const QTextCharFormat &defaultFormat = {});

// The page an RTF document asks the word processor for, in twips.
struct RtfPage {
    qint32 paperWidth = 0, paperHeight = 0; // as the page stands; 0: no page is written
    qint32 marginLeft = 0, marginTop = 0, marginRight = 0, marginBottom = 0;
    bool landscape = false;
    int halfPoints = 0; // size of every run in half points; 0 keeps the text's own sizes
    // When > 0: the most colour changes times colours in the colour table a
    // reader is given; past it the colours are rounded to a coarser grid
    // (7, 6, 5, then 4 bits a channel), the finest within it. 0 keeps the
    // colours as they are.
    qint64 colourCost = 0;
    bool operator==(const RtfPage &) const = default;
};
// The same with the page (\paperw, \paperh, \margl, \margr, \margt,
// \margb and \landscape for a landscape page) before the text, and the
// text's size replaced when the page says so.
QByteArray writeRtf(const QTextDocument &doc, const QTextCharFormat &defaultFormat, const RtfPage &page);

// Options of the reader.
struct RtfReadOptions {
    QTextCharFormat baseFormat; // format of text the RTF does not style
    QTextBlockFormat baseBlock; // format of paragraphs the RTF does not style
    int maxDepth = 256;         // deeper groups are skipped
};

// Replaces the document with the RTF. Reads what this program writes and the
// common word-processor RTF (groups, ignorable destinations, \'hh, \uN with
// \ucN, \par, \line, \tab, font and colour tables, \plain). Malformed input
// loads what can be read. Returns false, leaving the document alone, when
// the data does not start with an RTF header.
bool readRtf(const QByteArray &rtf, QTextDocument &doc, const RtfReadOptions &options = {});

// True when text begins with an RTF header ("{\rtf" after blanks).
bool looksLikeRtf(const QByteArray &data);
bool looksLikeRtf(const QString &text);
// The RTF held in a string as bytes: characters above 0x7F become \uN?.
QByteArray rtfBytesFromString(const QString &text);

} // namespace tessilor
