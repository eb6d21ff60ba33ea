#include "document/htmlpage.h"
#include "document/richformat.h"

#include "art/fontfaces.h"
#include "art/fonttables.h"
#include "base/paths.h"
#include "fonts/fontmodule.h"

#include <QFile>
#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QImage>
#include <QSet>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextLayout>
#include <vector>

namespace tessilor {

namespace {

// What a run looks like on the page.
struct RunStyle {
    QString family;
    double points = 12;
    int color = -1; // 24-bit colour, -1 = inherited
    int back = -1;  // -1 = none
    bool bold = false, italic = false, underline = false, strike = false;
    bool operator==(const RunStyle &) const = default;
};

QString number(double v)
{
    return QString::number(qRound(v * 100.0) / 100.0, 'g', 10);
}

QString cssColor(int c)
{
    return colorFrom24(quint32(c)).name();
}

// A CSS string of s that stays one string wherever the page puts it: in a
// style attribute (where the HTML parser reads it first: no quote, no
// ampersand) and in a style element (no "</style"). Quotes, backslash,
// <, >, & and control characters (a line break ends a CSS string) become
// hexadecimal escapes, ended by a space.
QString cssString(const QString &s)
{
    QString out;
    out.reserve(s.size() + 2);
    out += u'\'';
    for (const QChar c : s) {
        const char16_t u = c.unicode();
        if (u < 0x20 || u == 0x7F || u == u'"' || u == u'\'' || u == u'\\' || u == u'<' || u == u'>' || u == u'&')
            out += u'\\' + QString::number(u, 16) + u' ';
        else
            out += c;
    }
    out += u'\'';
    return out;
}

void appendEscaped(QString &out, QStringView text)
{
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'&':
            out.append(QLatin1String("&amp;"));
            break;
        case u'<':
            out.append(QLatin1String("&lt;"));
            break;
        case u'>':
            out.append(QLatin1String("&gt;"));
            break;
        case u'"':
            out.append(QLatin1String("&quot;"));
            break;
        case 0x00A0:
            out.append(QLatin1String("&nbsp;"));
            break;
        case 0x2028: // soft line break
            out.append(QLatin1String("<br>"));
            break;
        case 0xFFFC: // embedded object: nothing to write
            break;
        default:
            if (c.unicode() >= 0x20 || c == u'\t')
                out.append(c);
            break;
        }
    }
}

// A paint device at 96 dpi, the resolution of the result window and of a
// CSS pixel.
const QImage &device96()
{
    static const QImage image = [] {
        QImage i(1, 1, QImage::Format_ARGB32);
        i.setDotsPerMeterX(3780);
        i.setDotsPerMeterY(3780);
        return i;
    }();
    return image;
}

class PageWriter
{
public:
    explicit PageWriter(const QTextDocument &doc) : m_doc(doc) {}

    // The lines, UTF-8: each is made as text and encoded at once, so that a
    // large mosaic is held once, not as text and bytes and their sum.
    QByteArray body()
    {
        QByteArray out;
        QString line;
        for (QTextBlock b = m_doc.begin(); b.isValid(); b = b.next()) {
            line.clear();
            writeBlock(line, b);
            out += line.toUtf8();
        }
        return out;
    }

    const QSet<QString> &families() const { return m_families; }

private:
    // A run's style with its CSS pieces and line height worked out once per
    // character format.
    struct Run {
        RunStyle style;
        QString family; // font-family list
        QString color;  // "#rrggbb" or empty
        QString back;
        double height = 0;
    };

    Run runOf(const QTextCharFormat &f)
    {
        Run r;
        RunStyle &s = r.style;
        s.family = formatFace(f);
        if (s.family.isEmpty())
            s.family = m_doc.defaultFont().family();
        s.points = f.hasProperty(QTextFormat::FontPointSize) ? f.fontPointSize() : m_doc.defaultFont().pointSizeF();
        if (s.points <= 0)
            s.points = 12;
        if (f.hasProperty(QTextFormat::ForegroundBrush) && f.foreground().style() != Qt::NoBrush)
            s.color = int(colorTo24(f.foreground().color()));
        if (f.hasProperty(QTextFormat::BackgroundBrush) && f.background().style() != Qt::NoBrush)
            s.back = int(colorTo24(f.background().color()));
        s.bold = f.hasProperty(QTextFormat::FontWeight) && f.fontWeight() >= QFont::DemiBold;
        s.italic = f.fontItalic();
        s.underline = f.fontUnderline();
        s.strike = f.fontStrikeOut();
        m_families.insert(s.family);
        r.family = cssFontFamilies(s.family);
        if (s.color >= 0)
            r.color = cssColor(s.color);
        if (s.back >= 0)
            r.back = cssColor(s.back);
        r.height = rowHeight(s);
        return r;
    }

    const Run &cachedRun(const QTextFragment &frag)
    {
        const int index = frag.charFormatIndex();
        if (index < 0) {
            m_scratch = runOf(frag.charFormat());
            return m_scratch;
        }
        if (size_t(index) >= m_cache.size()) {
            m_cache.resize(size_t(index) + 1);
            m_cached.resize(size_t(index) + 1, false);
        }
        if (!m_cached[size_t(index)]) {
            m_cache[size_t(index)] = runOf(frag.charFormat());
            m_cached[size_t(index)] = true;
        }
        return m_cache[size_t(index)];
    }

    // Height of a line of the font as Qt lays it out at 96 dpi (its text
    // layout rounds the font's height up to whole pixels).
    double rowHeight(const RunStyle &s)
    {
        const QString key =
            s.family + u'/' + QString::number(s.points) + u'/' + QString::number(s.bold) + QString::number(s.italic);
        const auto known = m_rowHeights.constFind(key);
        if (known != m_rowHeights.constEnd())
            return *known;
        QFont font(s.family);
        font.setPointSizeF(s.points);
        font.setBold(s.bold);
        font.setItalic(s.italic);
        QTextLayout layout(QStringLiteral("X"), font, &device96());
        layout.beginLayout();
        const QTextLine line = layout.createLine();
        layout.endLayout();
        const double h = line.isValid() ? line.height() : QFontMetricsF(font, &device96()).height();
        m_rowHeights.insert(key, h);
        return h;
    }

    // Declarations of the properties where r differs from base (all of them
    // without a base).
    static void appendDeclarations(QString &out, const Run &r, const Run *base)
    {
        const RunStyle &s = r.style;
        const RunStyle *b = base ? &base->style : nullptr;
        if (!b || b->family != s.family)
            out += QLatin1String("font-family:") + r.family + u';';
        if (!b || b->points != s.points)
            out += QLatin1String("font-size:") + number(s.points) + QLatin1String("pt;");
        if (s.color >= 0 && (!b || b->color != s.color))
            out += QLatin1String("color:") + r.color + u';';
        if (s.back >= 0 && (!b || b->back != s.back))
            out += QLatin1String("background-color:") + r.back + u';';
        if ((!b && s.bold) || (b && b->bold != s.bold))
            out += s.bold ? QLatin1String("font-weight:bold;") : QLatin1String("font-weight:normal;");
        if ((!b && s.italic) || (b && b->italic != s.italic))
            out += s.italic ? QLatin1String("font-style:italic;") : QLatin1String("font-style:normal;");
        if ((!b && (s.underline || s.strike)) || (b && (b->underline != s.underline || b->strike != s.strike))) {
            out += QLatin1String("text-decoration:");
            if (s.underline)
                out += QLatin1String(" underline");
            if (s.strike)
                out += QLatin1String(" line-through");
            if (!s.underline && !s.strike)
                out += QLatin1String("none");
            out += u';';
        }
    }

    static QString paragraphDeclarations(const QTextBlockFormat &f)
    {
        const ParaFormat2 p = paraFormatOf(f, PFM_STARTINDENT | PFM_OFFSET | PFM_RIGHTINDENT | PFM_ALIGNMENT |
                                                  PFM_SPACEBEFORE | PFM_SPACEAFTER);
        QString out;
        // Twips: 20 make a point. The first line starts at the start indent,
        // the following ones at start + offset.
        const qint64 left = qint64(p.dxStartIndent) + p.dxOffset;
        if (left != 0)
            out += QLatin1String("padding-left:") + number(double(left) / 20.0) + QLatin1String("pt;");
        if (p.dxOffset != 0)
            out += QLatin1String("text-indent:") + number(-double(p.dxOffset) / 20.0) + QLatin1String("pt;");
        if (p.dxRightIndent != 0)
            out += QLatin1String("padding-right:") + number(double(p.dxRightIndent) / 20.0) + QLatin1String("pt;");
        if (p.dySpaceBefore != 0)
            out += QLatin1String("margin-top:") + number(double(p.dySpaceBefore) / 20.0) + QLatin1String("pt;");
        if (p.dySpaceAfter != 0)
            out += QLatin1String("margin-bottom:") + number(double(p.dySpaceAfter) / 20.0) + QLatin1String("pt;");
        switch (p.wAlignment) {
        case PFA_RIGHT:
            out += QLatin1String("text-align:right;");
            break;
        case PFA_CENTER:
            out += QLatin1String("text-align:center;");
            break;
        case PFA_JUSTIFY:
            out += QLatin1String("text-align:justify;");
            break;
        default:
            break;
        }
        return out;
    }

    void writeBlock(QString &out, const QTextBlock &b)
    {
        // The line takes the style of its first run; the tallest font sets
        // its height.
        Run base;
        bool haveBase = false;
        double height = 0;
        for (QTextBlock::iterator it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment frag = it.fragment();
            if (!frag.isValid())
                continue;
            const Run &r = cachedRun(frag);
            if (!haveBase) {
                base = r;
                haveBase = true;
            }
            height = std::max(height, r.height);
        }
        if (!haveBase) {
            base = runOf(b.charFormat());
            height = base.height;
        }
        // A background belongs to the runs that have it: on the line, a
        // block, it would fill the whole width of the page.
        base.style.back = -1;
        base.back.clear();
        const QTextBlockFormat format = b.blockFormat();
        if (m_lastBlockFormat != format) {
            m_lastBlockFormat = format;
            m_paragraph = paragraphDeclarations(format);
        }
        out += QLatin1String("<div style=\"white-space:pre;");
        appendDeclarations(out, base, nullptr);
        out += QLatin1String("line-height:") + number(height) + QLatin1String("px;");
        out += m_paragraph;
        out += QLatin1String("\">");
        if (!haveBase || b.length() <= 1) {
            // An empty line keeps its height.
            out += QLatin1String("<br></div>\n");
            return;
        }
        const QString text = b.text();
        const int start = b.position();
        for (QTextBlock::iterator it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment frag = it.fragment();
            if (!frag.isValid())
                continue;
            const Run &r = cachedRun(frag);
            const QStringView piece = QStringView(text).mid(frag.position() - start, frag.length());
            if (r.style == base.style) {
                appendEscaped(out, piece);
                continue;
            }
            out += QLatin1String("<span style=\"");
            appendDeclarations(out, r, &base);
            out += QLatin1String("\">");
            appendEscaped(out, piece);
            out += QLatin1String("</span>");
        }
        out += QLatin1String("</div>\n");
    }

    const QTextDocument &m_doc;
    std::vector<Run> m_cache;
    std::vector<bool> m_cached;
    Run m_scratch;
    QHash<QString, double> m_rowHeights;
    QSet<QString> m_families;
    QTextBlockFormat m_lastBlockFormat;
    QString m_paragraph;
};

} // namespace

QString cssFontFamilies(const QString &family)
{
    QStringList list{cssString(family)};
    // Browsers on Windows and macOS have Courier New, of which Courier New
    // Cyr is the Cyrillic cut.
    if (family == rampFonts()[0].face)
        list.append(cssString(QStringLiteral("Courier New")));
    for (const QString &standIn : monospaceStandIns(family))
        list.append(cssString(standIn));
    list.append(QStringLiteral("monospace"));
    return list.join(u',');
}

QByteArray writeHtmlPage(const QTextDocument &doc, const HtmlPageOptions &options)
{
    PageWriter writer(doc);
    const QByteArray body = writer.body();

    QString head;
    head += QLatin1String("<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n"
                          "<meta name=\"generator\" content=\"Tessilor " TESSILOR_VERSION "\">\n<title>");
    appendEscaped(head, options.title);
    head += QLatin1String("</title>\n");
    QString faces;
    QSet<QString> embedded;
    for (const HtmlFont &font : options.fonts) {
        if (font.data.isEmpty() || !writer.families().contains(font.family) || embedded.contains(font.family))
            continue;
        embedded.insert(font.family);
        faces += QLatin1String("@font-face{font-family:") + cssString(font.family) +
                 QLatin1String(";src:url(data:font/ttf;base64,") + QString::fromLatin1(font.data.toBase64()) +
                 QLatin1String(") format('truetype');}\n");
    }
    if (!faces.isEmpty())
        head += QLatin1String("<style>\n") + faces + QLatin1String("</style>\n");
    head += options.darkPage
                ? QLatin1String("</head>\n<body style=\"margin:8px;background-color:#000000;color:#ffffff\">\n")
                : QLatin1String("</head>\n<body style=\"margin:8px;background-color:#ffffff;color:#000000\">\n");
    head += QLatin1String( // Cells stay in columns: no extra or removed space between
        // characters, no kerning pairs, no ligatures.
        "<div style=\"letter-spacing:0;word-spacing:0;font-kerning:none;"
        "font-variant-ligatures:none;font-feature-settings:'kern' 0,'liga' 0,'calt' 0;"
        "tab-size:8\">\n");
    QByteArray page = head.toUtf8();
    page.reserve(page.size() + body.size() + 32);
    page += body;
    page += "</div>\n</body>\n</html>\n";
    return page;
}

QList<HtmlFont> figureFontsForPage(const QString &folder)
{
    QList<HtmlFont> fonts;
    for (int which : {1, 2}) {
        const QString file = figureFontFile(which, folder);
        const QString family = GetFontName(file);
        QFile f(file);
        if (family.isEmpty() || !f.open(QIODevice::ReadOnly))
            continue;
        fonts.append(HtmlFont{family, f.readAll()});
    }
    return fonts;
}

} // namespace tessilor
