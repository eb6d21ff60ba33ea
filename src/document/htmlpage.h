#pragma once
#include <QByteArray>
#include <QList>
#include <QString>

class QTextDocument;

namespace tessilor {

// A font carried inside an HTML page (@font-face with a data URL), so that
// a browser shows it without the font being installed.
struct HtmlFont {
    QString family;  // the name the document uses
    QByteArray data; // the TrueType file
};

struct HtmlPageOptions {
    QString title;
    // Fonts to embed. Only those of families the document uses go into the
    // page: a caller may pass every font it has.
    QList<HtmlFont> fonts;
    // Light text art on a black page (the runs bring their own colours).
    bool darkPage = false;
};

// A complete UTF-8 HTML page that shows the document's text art in any
// browser as the result window shows it: one line per paragraph, every run
// with its font, size, colour, background and style. The cells stay in
// columns and rows: every font-family list ends in monospaced stand-ins and
// "monospace", letter and word spacing, kerning and ligatures are off, white
// space is kept, and each line has the height Qt gives its font, in CSS
// pixels (1/96 inch, as the window at 96 dpi). Line heights are measured
// with the fonts this program has (the caller installs the figure fonts and
// the text-font substitutions first, as the program does at start).
// Paragraph indents and alignment are kept.
QByteArray writeHtmlPage(const QTextDocument &doc, const HtmlPageOptions &options = {});

// The CSS font-family list for a family: the family itself, the faces that
// stand in for it, then "monospace".
QString cssFontFamilies(const QString &family);

// The two figure fonts in folder (GLYFA__1.TTF, GLYFA__2.TTF) with their
// family names, to embed into a page; a missing or unreadable file is left
// out. Needs a QGuiApplication (the names are read from the files).
QList<HtmlFont> figureFontsForPage(const QString &folder);

} // namespace tessilor
