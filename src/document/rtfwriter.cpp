#include "document/richformat.h"
#include "document/rtf.h"

#include "art/fontfaces.h"
#include "base/options.h"
#include "fonts/fontmodule.h"

#include <QFontDatabase>
#include <QHash>
#include <QSet>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>
#include <vector>

namespace tessilor {

namespace {

// Windows-1251 byte of a character, 0 when the code page lacks it.
uchar cp1251Byte(char16_t c)
{
    static const QHash<char16_t, uchar> table = [] {
        QHash<char16_t, uchar> t;
        for (int b = 128; b < 256; ++b) {
            const QChar ch = codePageChar(b);
            if (!ch.isNull() && ch != QChar::ReplacementCharacter)
                t.insert(ch.unicode(), uchar(b));
        }
        return t;
    }();
    if (c < 0x80)
        return uchar(c);
    return table.value(c, 0);
}

bool isFigureFont(const QString &family)
{
    return family.startsWith(QLatin1String("Quar Tessilor Figures"));
}

// Font charset of a family: 204 when it has Cyrillic or is not installed
// here (the program's ramp fonts are Cyrillic), 0 otherwise. The figure
// fonts hold pictures at ASCII codes: a reader must never swap them for a
// Cyrillic font, so they are always 0.
int fontCharset(const QString &family)
{
    if (isFigureFont(family))
        return 0;
    const QList<QFontDatabase::WritingSystem> systems = QFontDatabase::writingSystems(family);
    if (systems.isEmpty() || systems.contains(QFontDatabase::Cyrillic))
        return 204;
    return 0;
}

// Text fonts are declared fixed pitch (\fmodern ... \fprq1): a reader that
// lacks the font then picks a monospaced one and the columns of the art stay
// aligned. These are the fonts of the font list and any installed
// monospaced family; the figure fonts and other families stay \fnil.
bool fixedPitchFont(const QString &family)
{
    if (isFigureFont(family))
        return false;
    return !monospaceStandIns(family).isEmpty() || QFontDatabase::isFixedPitch(family);
}

void appendInt(QByteArray &out, qint64 v)
{
    char buf[24];
    int n = 0;
    const bool neg = v < 0;
    quint64 u = neg ? quint64(-(v + 1)) + 1 : quint64(v);
    do {
        buf[n++] = char('0' + u % 10);
        u /= 10;
    } while (u);
    if (neg)
        out.append('-');
    while (n)
        out.append(buf[--n]);
}

void appendWord(QByteArray &out, const char *word, qint64 value)
{
    out.append('\\');
    out.append(word);
    appendInt(out, value);
}

// Escaped text of a font name or run, as it appears in the RTF body.
void appendText(QByteArray &out, const QChar *s, qsizetype n, bool &needSpace)
{
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = s[i].unicode();
        if (c >= 0x20 && c < 0x80) {
            if (needSpace) {
                out.append(' ');
                needSpace = false;
            }
            if (c == u'\\' || c == u'{' || c == u'}')
                out.append('\\');
            out.append(char(c));
            continue;
        }
        switch (c) {
        case u'\t':
            out.append("\\tab");
            needSpace = true;
            continue;
        case 0x2028: // soft line break
            out.append("\\line");
            needSpace = true;
            continue;
        case 0x00A0:
            out.append("\\~");
            needSpace = false;
            continue;
        case 0xFFFC: // embedded object: nothing to write
            continue;
        default:
            break;
        }
        if (c < 0x20)
            continue;
        appendWord(out, "u", qint16(c));
        const uchar b = cp1251Byte(c);
        if (b >= 0x80) {
            static const char hex[] = "0123456789abcdef";
            out.append("\\'");
            out.append(hex[b >> 4]);
            out.append(hex[b & 15]);
        } else {
            out.append('?');
        }
        needSpace = false;
    }
}

struct RunState {
    int font = 0;
    int halfPoints = 24;
    qint64 color = -1; // 24-bit colour; -1 = automatic
    qint64 back = -1;  // 24-bit colour; -1 = none
    bool bold = false, italic = false, underline = false, strike = false, protect = false;
    int vertical = 0; // 1 super, 2 sub
    bool operator==(const RunState &) const = default;
};

// A colour channel on a grid of 2^bits levels from 0 to 255.
int roundedChannel(int v, int bits)
{
    const int levels = (1 << bits) - 1;
    return qRound(double(qRound(v * levels / 255.0)) * 255.0 / levels);
}

qint64 roundedColour(qint64 c, int bits)
{
    if (c < 0 || bits >= 8)
        return c;
    return roundedChannel(int(c & 0xFF), bits) | roundedChannel(int((c >> 8) & 0xFF), bits) << 8 |
           qint64(roundedChannel(int((c >> 16) & 0xFF), bits)) << 16;
}

// Colour definitions in one group of the colour table, at most.
constexpr int kColoursPerGroup = 64;

class Writer
{
public:
    Writer(const QTextDocument &doc, const QTextCharFormat &def, const RtfPage &page)
        : m_doc(doc), m_def(def), m_page(page)
    {
        m_colors.reserve(64);
    }

    QByteArray run()
    {
        if (m_page.colourCost > 0)
            m_colourBits = colourBitsWithin(m_page.colourCost);
        QByteArray body;
        body.reserve(qsizetype(m_doc.characterCount()) * 8 + 256);
        RunState cur;
        bool first = true;
        bool curValid = false;
        bool needSpace = false;
        QByteArray lastPara;
        for (QTextBlock b = m_doc.begin(); b.isValid(); b = b.next()) {
            if (!first) {
                // Line ends in RTF are not text: they only keep lines short.
                body.append("\\par\r\n");
                needSpace = false;
            }
            const QByteArray para = paragraphWords(b.blockFormat());
            if (first || para != lastPara) {
                body.append("\\pard");
                body.append(para);
                needSpace = true;
                lastPara = para;
            }
            first = false;
            if (!curValid) {
                // The paragraph mark of an empty first paragraph still has a format.
                cur = stateOf(b.charFormat(), -1);
                appendState(body, cur, nullptr);
                curValid = true;
                needSpace = true;
            }
            for (QTextBlock::iterator it = b.begin(); !it.atEnd(); ++it) {
                const QTextFragment frag = it.fragment();
                if (!frag.isValid())
                    continue;
                const RunState &s = cachedState(frag);
                if (!(s == cur)) {
                    appendState(body, s, &cur);
                    cur = s;
                    needSpace = true;
                }
                const QString text = frag.text();
                appendText(body, text.constData(), text.size(), needSpace);
            }
        }
        QByteArray out;
        out.reserve(body.size() + m_colors.size() * 24 + m_fonts.size() * 48 + 256);
        out.append("{\\rtf1\\ansi\\ansicpg1251\\deff0\\deflang1049{\\fonttbl");
        for (int i = 0; i < m_fonts.size(); ++i) {
            out.append("{\\f");
            appendInt(out, i);
            const bool fixed = fixedPitchFont(m_fonts[i]);
            out.append(fixed ? "\\fmodern\\fcharset" : "\\fnil\\fcharset");
            appendInt(out, fontCharset(m_fonts[i]));
            if (fixed)
                out.append("\\fprq1");
            bool space = true;
            appendText(out, m_fonts[i].constData(), m_fonts[i].size(), space);
            out.append(";}");
        }
        out.append("}\r\n{\\colortbl ;");
        // A long table in groups: some word processors look ahead to the end
        // of the group on every control word of the table, so that a flat
        // table of thousands of colours takes them minutes.
        const bool grouped = m_colors.size() > size_t(kColoursPerGroup);
        for (size_t i = 0; i < m_colors.size(); ++i) {
            if (grouped && i % kColoursPerGroup == 0)
                out.append(i == 0 ? "\r\n{" : "}\r\n{");
            const quint32 c = m_colors[i];
            appendWord(out, "red", c & 0xFF);
            appendWord(out, "green", (c >> 8) & 0xFF);
            appendWord(out, "blue", (c >> 16) & 0xFF);
            out.append(';');
        }
        out.append(grouped ? "}\r\n}\r\n" : "}\r\n");
        if (m_page.paperWidth > 0 && m_page.paperHeight > 0) {
            appendWord(out, "paperw", m_page.paperWidth);
            appendWord(out, "paperh", m_page.paperHeight);
            appendWord(out, "margl", m_page.marginLeft);
            appendWord(out, "margr", m_page.marginRight);
            appendWord(out, "margt", m_page.marginTop);
            appendWord(out, "margb", m_page.marginBottom);
            if (m_page.landscape)
                out.append("\\landscape");
            out.append("\r\n");
        }
        out.append("\\viewkind4\\uc1");
        out.append(body);
        out.append("\\par\r\n}\r\n");
        return out;
    }

private:
    const RunState &cachedState(const QTextFragment &frag)
    {
        const int index = frag.charFormatIndex();
        if (index >= 0) {
            if (size_t(index) >= m_cache.size()) {
                m_cache.resize(size_t(index) + 1);
                m_cached.resize(size_t(index) + 1, false);
            }
            if (!m_cached[size_t(index)]) {
                m_cache[size_t(index)] = stateOf(frag.charFormat(), index);
                m_cached[size_t(index)] = true;
            }
            return m_cache[size_t(index)];
        }
        m_scratch = stateOf(frag.charFormat(), -1);
        return m_scratch;
    }

    RunState stateOf(const QTextCharFormat &f, int)
    {
        const CharFormat2 r = charFormatOf(f, m_def,
                                           CFM_FACE | CFM_SIZE | CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_STRIKEOUT |
                                               CFM_PROTECTED | CFM_SUPERSCRIPT);
        RunState s;
        QString face = r.szFaceName;
        if (face.isEmpty())
            face = m_doc.defaultFont().family();
        s.font = fontIndex(face);
        double points = 0;
        if (f.hasProperty(QTextFormat::FontPointSize))
            points = f.fontPointSize();
        else if (m_def.hasProperty(QTextFormat::FontPointSize))
            points = m_def.fontPointSize();
        else
            points = m_doc.defaultFont().pointSizeF();
        s.halfPoints = m_page.halfPoints > 0 ? m_page.halfPoints : points > 0 ? qMax(1, qRound(points * 2.0)) : 24;
        const QPair<qint64, qint64> colours = coloursOf(f);
        s.color = roundedColour(colours.first, m_colourBits);
        s.back = roundedColour(colours.second, m_colourBits);
        s.bold = r.dwEffects & CFE_BOLD;
        s.italic = r.dwEffects & CFE_ITALIC;
        s.underline = r.dwEffects & CFE_UNDERLINE;
        s.strike = r.dwEffects & CFE_STRIKEOUT;
        s.protect = r.dwEffects & CFE_PROTECTED;
        s.vertical = (r.dwEffects & CFE_SUPERSCRIPT) ? 1 : (r.dwEffects & CFE_SUBSCRIPT) ? 2 : 0;
        return s;
    }

    // The text and background colours of a format (-1: automatic, none).
    QPair<qint64, qint64> coloursOf(const QTextCharFormat &f) const
    {
        QPair<qint64, qint64> c(-1, -1);
        const QTextCharFormat &fg = f.hasProperty(QTextFormat::ForegroundBrush) ? f : m_def;
        if (fg.hasProperty(QTextFormat::ForegroundBrush) && fg.foreground().style() != Qt::NoBrush)
            c.first = colorTo24(fg.foreground().color());
        if (f.hasProperty(QTextFormat::BackgroundBrush) && f.background().style() != Qt::NoBrush)
            c.second = colorTo24(f.background().color());
        return c;
    }

    // The finest grid of colours (8 bits a channel down to 4) on which the
    // colour changes of the text times the colours of the table is at most
    // cost: the work a word processor does when it pools every run's
    // colour among all those it has seen.
    int colourBitsWithin(qint64 cost) const
    {
        std::vector<QPair<qint64, qint64>> byFormat;
        std::vector<QPair<qint64, qint64>> sequence; // the fragments' colours in order
        for (QTextBlock b = m_doc.begin(); b.isValid(); b = b.next()) {
            for (QTextBlock::iterator it = b.begin(); !it.atEnd(); ++it) {
                const QTextFragment frag = it.fragment();
                if (!frag.isValid())
                    continue;
                const int index = frag.charFormatIndex();
                if (index < 0) {
                    sequence.push_back(coloursOf(frag.charFormat()));
                    continue;
                }
                if (size_t(index) >= byFormat.size())
                    byFormat.resize(size_t(index) + 1, QPair<qint64, qint64>(-2, -2));
                if (byFormat[size_t(index)].first == -2)
                    byFormat[size_t(index)] = coloursOf(frag.charFormat());
                sequence.push_back(byFormat[size_t(index)]);
            }
        }
        int bits = 8;
        for (; bits > 4; --bits) {
            QSet<qint64> colours;
            qint64 changes = 0;
            QPair<qint64, qint64> last(-2, -2);
            for (const QPair<qint64, qint64> &c : sequence) {
                const QPair<qint64, qint64> r(roundedColour(c.first, bits), roundedColour(c.second, bits));
                if (r == last)
                    continue;
                last = r;
                ++changes;
                if (r.first >= 0)
                    colours.insert(r.first);
                if (r.second >= 0)
                    colours.insert(r.second);
            }
            if (changes * qint64(colours.size()) <= cost)
                break;
        }
        return bits;
    }

    int fontIndex(const QString &face)
    {
        const auto it = m_fontIndex.constFind(face);
        if (it != m_fontIndex.constEnd())
            return it.value();
        const int i = int(m_fonts.size());
        m_fonts.append(face);
        m_fontIndex.insert(face, i);
        return i;
    }

    int colorIndex(quint32 c)
    {
        const auto it = m_colorIndex.constFind(c);
        if (it != m_colorIndex.constEnd())
            return it.value();
        m_colors.push_back(c);
        const int i = int(m_colors.size());
        m_colorIndex.insert(c, i);
        return i;
    }

    void appendState(QByteArray &out, const RunState &s, const RunState *old)
    {
        if (!old || old->font != s.font)
            appendWord(out, "f", s.font);
        if (!old || old->halfPoints != s.halfPoints)
            appendWord(out, "fs", s.halfPoints);
        if (!old || old->color != s.color)
            appendWord(out, "cf", s.color < 0 ? 0 : colorIndex(quint32(s.color)));
        if (!old || old->back != s.back) {
            // Character shading in any colour of the table (word processors
            // show \highlight only in their few marker colours); \cb for
            // older readers.
            const int back = s.back < 0 ? 0 : colorIndex(quint32(s.back));
            out.append("\\chshdng0");
            appendWord(out, "chcbpat", back);
            appendWord(out, "cb", back);
        }
        if (!old || old->bold != s.bold)
            out.append(s.bold ? "\\b" : "\\b0");
        if (!old || old->italic != s.italic)
            out.append(s.italic ? "\\i" : "\\i0");
        if (!old || old->underline != s.underline)
            out.append(s.underline ? "\\ul" : "\\ulnone");
        if (!old || old->strike != s.strike)
            out.append(s.strike ? "\\strike" : "\\strike0");
        if (!old || old->protect != s.protect)
            out.append(s.protect ? "\\protect" : "\\protect0");
        if (!old || old->vertical != s.vertical)
            out.append(s.vertical == 1 ? "\\super" : s.vertical == 2 ? "\\sub" : "\\nosupersub");
    }

    static QByteArray paragraphWords(const QTextBlockFormat &f)
    {
        const ParaFormat2 p = paraFormatOf(f, PFM_STARTINDENT | PFM_OFFSET | PFM_RIGHTINDENT | PFM_ALIGNMENT |
                                                  PFM_SPACEBEFORE | PFM_SPACEAFTER | PFM_LINESPACING);
        QByteArray out;
        if (p.dxStartIndent + p.dxOffset != 0)
            appendWord(out, "li", qint64(p.dxStartIndent) + p.dxOffset);
        if (p.dxOffset != 0)
            appendWord(out, "fi", -qint64(p.dxOffset));
        if (p.dxRightIndent != 0)
            appendWord(out, "ri", p.dxRightIndent);
        if (p.dySpaceBefore != 0)
            appendWord(out, "sb", p.dySpaceBefore);
        if (p.dySpaceAfter != 0)
            appendWord(out, "sa", p.dySpaceAfter);
        switch (p.bLineSpacingRule) {
        case 1:
            out.append("\\sl360\\slmult1");
            break;
        case 2:
            out.append("\\sl480\\slmult1");
            break;
        case 3:
            appendWord(out, "sl", p.dyLineSpacing);
            out.append("\\slmult0");
            break;
        case 4:
            appendWord(out, "sl", -qint64(p.dyLineSpacing));
            out.append("\\slmult0");
            break;
        case 5:
            appendWord(out, "sl", qint64(p.dyLineSpacing) * 12);
            out.append("\\slmult1");
            break;
        default:
            break;
        }
        switch (p.wAlignment) {
        case PFA_RIGHT:
            out.append("\\qr");
            break;
        case PFA_CENTER:
            out.append("\\qc");
            break;
        case PFA_JUSTIFY:
            out.append("\\qj");
            break;
        default:
            out.append("\\ql");
            break;
        }
        return out;
    }

    const QTextDocument &m_doc;
    QTextCharFormat m_def;
    RtfPage m_page;
    QStringList m_fonts;
    QHash<QString, int> m_fontIndex;
    std::vector<quint32> m_colors;
    QHash<quint32, int> m_colorIndex;
    std::vector<RunState> m_cache;
    std::vector<bool> m_cached;
    RunState m_scratch;
    int m_colourBits = 8; // the colours' grid, bits a channel
};

} // namespace

QByteArray writeRtf(const QTextDocument &doc, const QTextCharFormat &defaultFormat)
{
    return writeRtf(doc, defaultFormat, RtfPage{});
}

QByteArray writeRtf(const QTextDocument &doc, const QTextCharFormat &defaultFormat, const RtfPage &page)
{
    Writer w(doc, defaultFormat, page);
    return w.run();
}

bool looksLikeRtf(const QByteArray &data)
{
    qsizetype i = 0;
    while (i < data.size() && (data[i] == ' ' || data[i] == '\r' || data[i] == '\n' || data[i] == '\t'))
        ++i;
    return data.mid(i, 5) == "{\\rtf";
}

bool looksLikeRtf(const QString &text)
{
    return looksLikeRtf(text.left(64).toLatin1());
}

QByteArray rtfBytesFromString(const QString &text)
{
    QByteArray out;
    out.reserve(text.size());
    for (QChar c : text) {
        if (c.unicode() < 0x80) {
            out.append(char(c.unicode()));
        } else {
            appendWord(out, "u", qint16(c.unicode()));
            out.append('?');
        }
    }
    return out;
}

} // namespace tessilor
