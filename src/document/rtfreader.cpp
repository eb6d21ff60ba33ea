#include "document/rtf.h"
#include "document/richformat.h"

#include "engine/options.h"

#include <QHash>
#include <QTextCursor>
#include <QTextDocument>
#include <vector>

namespace tessilor {

namespace {

enum class Dest { Text, FontTable, ColorTable, Skip };

struct CharState {
    int font = -1;       // font table number, -1 = the base face
    int halfPoints = -1; // -1 = the base size
    int color = 0;       // colour table index, 0 = automatic
    int back = 0;
    bool bold = false, italic = false, underline = false, strike = false, protect = false, hidden = false;
    int vertical = 0;
    bool operator==(const CharState &) const = default;
};

struct ParaState {
    int li = 0, fi = 0, ri = 0, sb = 0, sa = 0, sl = 0, slmult = 0;
    int align = 0; // 0 = the base alignment
};

struct Group {
    CharState chars;
    Dest dest = Dest::Text;
    int uc = 1;
};

struct FontEntry {
    QString name;
    int charset = -1;
};

// The word processors' destinations whose content is not document text.
bool skippedDestination(const QByteArray &w)
{
    static const char *const names[] = {
        "info",        "stylesheet",  "pict",        "header",      "headerl",     "headerr",   "headerf",
        "footer",      "footerl",     "footerr",     "footerf",     "footnote",    "annotation", "object",
        "fldinst",     "themedata",   "colorschememapping", "latentstyles", "datastore", "xmlnstbl",
        "listtable",   "listoverridetable", "rsidtbl", "generator", "mmathPr",     "pgdsctbl",  "revtbl",
        "filetbl",     "bkmkstart",   "bkmkend",     "shppict",     "nonshppict",  "template",  "private",
        "atnid",       "atnauthor",   "comment",     "keywords",    "author",      "operator",  "title",
        "subject",     "doccomm",     "company",     "creatim",     "revtim",      "printim",   "buptim",
        "userprops",   "xe",          "tc",          "txe",         "listpicture", "wgrffmtfilter", "fchars",
        "lchars",      "defchp",      "defpap",      "pnseclvl",    "mhtmltag",    "htmltag"};
    for (const char *n : names)
        if (w == n)
            return true;
    return false;
}

class Reader
{
public:
    Reader(const QByteArray &data, QTextDocument &doc, const RtfReadOptions &options)
        : m_data(data), m_doc(doc), m_options(options), m_cursor(&doc)
    {
    }

    void run()
    {
        m_cursor = QTextCursor(&m_doc);
        m_cursor.beginEditBlock();
        m_doc.clear();
        m_cursor.setBlockFormat(m_options.baseBlock);
        m_cursor.setBlockCharFormat(m_options.baseFormat);
        m_stack.reserve(64);
        m_stack.push_back(Group{});
        parse();
        flush();
        if (!m_pendingPar)
            m_cursor.setBlockFormat(blockFormat());
        m_cursor.endEditBlock();
    }

private:
    Group &top() { return m_stack.back(); }

    void parse()
    {
        const qsizetype n = m_data.size();
        qsizetype i = 0;
        int overflow = 0; // groups opened beyond the depth limit
        while (i < n) {
            const char c = m_data[i];
            if (c == '{') {
                ++i;
                if (overflow > 0 || int(m_stack.size()) >= m_options.maxDepth) {
                    ++overflow;
                    continue;
                }
                Group g = top();
                m_stack.push_back(g);
                m_groupStart = true;
                continue;
            }
            if (c == '}') {
                ++i;
                m_skip = 0;
                if (overflow > 0) {
                    --overflow;
                    continue;
                }
                if (m_stack.size() <= 1) {
                    if (m_seenRoot)
                        return; // the document ends with its outer group
                    continue;
                }
                endGroup();
                m_stack.pop_back();
                if (m_stack.size() == 1)
                    m_seenRoot = true;
                continue;
            }
            if (overflow > 0) {
                ++i;
                continue;
            }
            if (c == '\\') {
                i = controlWord(i + 1);
                // A group opened by \* still starts with its destination word.
                m_groupStart = m_starred;
                continue;
            }
            m_groupStart = false;
            ++i;
            if (c == '\r' || c == '\n')
                continue;
            if (m_skip > 0) {
                --m_skip;
                continue;
            }
            byteChar(uchar(c));
        }
    }

    // Parses the control word or symbol after a backslash at i; returns the
    // index after it.
    qsizetype controlWord(qsizetype i)
    {
        const qsizetype n = m_data.size();
        if (i >= n)
            return i;
        const char c = m_data[i];
        if (!isLetter(c)) {
            // Control symbol.
            ++i;
            if (c == '\'') {
                int v = 0;
                int digits = 0;
                while (digits < 2 && i < n && isHex(m_data[i])) {
                    v = v * 16 + hexValue(m_data[i]);
                    ++i;
                    ++digits;
                }
                if (m_skip > 0) {
                    --m_skip;
                    return i;
                }
                if (digits > 0)
                    byteChar(uchar(v), true);
                return i;
            }
            if (m_skip > 0) {
                --m_skip;
                return i;
            }
            switch (c) {
            case '\\':
            case '{':
            case '}':
                text(QChar(char16_t(uchar(c))));
                break;
            case '~':
                text(QChar(0x00A0));
                break;
            case '_':
                text(QChar(0x2011));
                break;
            case '-':
                break; // optional hyphen
            case '*':
                if (m_groupStart)
                    m_starred = true;
                break;
            case '\r':
            case '\n':
                paragraph();
                break;
            case '\t':
                text(QChar(u'\t'));
                break;
            default:
                break;
            }
            return i;
        }
        qsizetype start = i;
        while (i < n && isLetter(m_data[i]) && i - start < 32)
            ++i;
        const QByteArray word = m_data.mid(start, i - start);
        while (i < n && isLetter(m_data[i]))
            ++i; // an overlong word: the rest is dropped
        bool hasParam = false;
        qint64 param = 0;
        bool negative = false;
        if (i < n && m_data[i] == '-' && i + 1 < n && isDigit(m_data[i + 1])) {
            negative = true;
            ++i;
        }
        int digits = 0;
        while (i < n && isDigit(m_data[i])) {
            if (digits < 10)
                param = param * 10 + (m_data[i] - '0');
            ++digits;
            ++i;
            hasParam = true;
        }
        if (negative)
            param = -param;
        param = qBound<qint64>(-2147483647LL, param, 2147483647LL);
        if (i < n && m_data[i] == ' ')
            ++i;
        if (word == "bin") {
            // Binary data of the given length follows.
            const qint64 skip = qBound<qint64>(0, param, n - i);
            return i + skip;
        }
        const bool starred = m_starred;
        m_starred = false;
        if (m_skip > 0 && word != "u") {
            --m_skip;
            return i;
        }
        applyWord(word, int(param), hasParam, starred);
        return i;
    }

    void applyWord(const QByteArray &w, int p, bool hasParam, bool starred)
    {
        Group &g = top();
        if (m_groupStart && (starred || skippedDestination(w))) {
            if (w != "pntext" && w != "listtext") {
                g.dest = Dest::Skip;
                return;
            }
        }
        if (g.dest == Dest::Skip)
            return;
        if (w == "fonttbl") {
            g.dest = Dest::FontTable;
            return;
        }
        if (w == "colortbl") {
            g.dest = Dest::ColorTable;
            m_colors.clear();
            m_colorStarted = false;
            return;
        }
        if (g.dest == Dest::FontTable) {
            if (w == "f")
                m_fontNumber = p;
            else if (w == "fcharset")
                m_fonts[m_fontNumber].charset = p;
            return;
        }
        if (g.dest == Dest::ColorTable) {
            if (w == "red")
                m_colorValue = (m_colorValue & ~0xFFu) | quint32(qBound(0, p, 255));
            else if (w == "green")
                m_colorValue = (m_colorValue & ~0xFF00u) | (quint32(qBound(0, p, 255)) << 8);
            else if (w == "blue")
                m_colorValue = (m_colorValue & ~0xFF0000u) | (quint32(qBound(0, p, 255)) << 16);
            else
                return;
            m_colorStarted = true;
            return;
        }
        CharState &s = g.chars;
        const bool on = !hasParam || p != 0;
        if (w == "par" || w == "sect" || w == "page" || w == "row") {
            paragraph();
        } else if (w == "line") {
            text(QChar::LineSeparator);
        } else if (w == "tab" || w == "cell") {
            text(QChar(u'\t'));
        } else if (w == "u") {
            if (m_skip > 0) {
                --m_skip;
                return;
            }
            text(QChar(char16_t(p < 0 ? p + 65536 : p)));
            m_skip = g.uc;
        } else if (w == "uc") {
            g.uc = qBound(0, p, 16);
        } else if (w == "plain") {
            s = CharState{};
        } else if (w == "f") {
            s.font = p;
        } else if (w == "fs") {
            s.halfPoints = p > 0 ? qMin(p, 3276) : -1;
        } else if (w == "cf") {
            s.color = p;
        } else if (w == "cb" || w == "highlight" || w == "chcbpat") {
            s.back = p;
        } else if (w == "b") {
            s.bold = on;
        } else if (w == "i") {
            s.italic = on;
        } else if (w == "ul" || w == "uld" || w == "uldb" || w == "ulw" || w == "ulth" || w == "uldash" ||
                   w == "ulwave") {
            s.underline = on;
        } else if (w == "ulnone") {
            s.underline = false;
        } else if (w == "strike" || w == "striked") {
            s.strike = on;
        } else if (w == "protect") {
            s.protect = on;
        } else if (w == "v") {
            s.hidden = on;
        } else if (w == "super") {
            s.vertical = on ? 1 : 0;
        } else if (w == "sub") {
            s.vertical = on ? 2 : 0;
        } else if (w == "nosupersub") {
            s.vertical = 0;
        } else if (w == "pard") {
            m_para = ParaState{};
        } else if (w == "li") {
            m_para.li = p;
        } else if (w == "ri") {
            m_para.ri = p;
        } else if (w == "fi") {
            m_para.fi = p;
        } else if (w == "sb") {
            m_para.sb = p;
        } else if (w == "sa") {
            m_para.sa = p;
        } else if (w == "sl") {
            m_para.sl = p;
        } else if (w == "slmult") {
            m_para.slmult = p;
        } else if (w == "ql") {
            m_para.align = PFA_LEFT;
        } else if (w == "qr") {
            m_para.align = PFA_RIGHT;
        } else if (w == "qc") {
            m_para.align = PFA_CENTER;
        } else if (w == "qj") {
            m_para.align = PFA_JUSTIFY;
        } else if (w == "ansicpg") {
            m_ansiCp = p;
        } else if (w == "deff") {
            m_defaultFont = p;
        } else if (w == "emdash") {
            text(QChar(0x2014));
        } else if (w == "endash") {
            text(QChar(0x2013));
        } else if (w == "lquote") {
            text(QChar(0x2018));
        } else if (w == "rquote") {
            text(QChar(0x2019));
        } else if (w == "ldblquote") {
            text(QChar(0x201C));
        } else if (w == "rdblquote") {
            text(QChar(0x201D));
        } else if (w == "bullet") {
            text(QChar(0x2022));
        } else if (w == "emspace") {
            text(QChar(0x2003));
        } else if (w == "enspace") {
            text(QChar(0x2002));
        }
    }

    void endGroup()
    {
        const Group &g = top();
        if (g.dest == Dest::FontTable && !m_fontName.isEmpty()) {
            storeFontName();
        }
    }

    void storeFontName()
    {
        QString name = m_fontName.trimmed();
        if (name.endsWith(u';'))
            name.chop(1);
        if (!name.isEmpty())
            m_fonts[m_fontNumber].name = name;
        m_fontName.clear();
    }

    // A byte of text: ASCII, or a code-page byte of the current font.
    void byteChar(uchar b, bool escaped = false)
    {
        const Group &g = top();
        if (g.dest == Dest::Skip)
            return;
        if (g.dest == Dest::ColorTable) {
            if (b == ';') {
                m_colors.push_back(m_colorStarted ? qint64(m_colorValue) : -1);
                m_colorValue = 0;
                m_colorStarted = false;
            }
            return;
        }
        if (b < 0x20 && !escaped)
            return;
        QChar ch;
        if (b < 0x80) {
            ch = QChar(char16_t(b));
        } else {
            int cp = m_ansiCp;
            const int font = g.dest == Dest::FontTable ? m_fontNumber : fontOf(g.chars);
            const auto it = m_fonts.constFind(font);
            if (it != m_fonts.constEnd() && it->charset >= 0) {
                if (it->charset == 204)
                    cp = 1251;
                else if (it->charset == 0 || it->charset == 2)
                    cp = 1252;
            }
            ch = cp == 1251 ? codePageChar(b) : QChar(char16_t(b));
        }
        if (g.dest == Dest::FontTable) {
            if (ch == u';')
                storeFontName();
            else
                m_fontName.append(ch);
            return;
        }
        text(ch);
    }

    int fontOf(const CharState &s) const
    {
        return s.font >= 0 ? s.font : m_defaultFont;
    }

    void text(QChar ch)
    {
        const Group &g = top();
        if (g.dest == Dest::FontTable) {
            if (ch == u';')
                storeFontName();
            else
                m_fontName.append(ch);
            return;
        }
        if (g.dest != Dest::Text || g.chars.hidden)
            return;
        if (m_pendingPar) {
            flush();
            m_cursor.insertBlock(m_cursor.blockFormat(), charFormat(g.chars));
            m_pendingPar = false;
        }
        if (!m_runValid || !(m_runState == g.chars)) {
            flush();
            m_runState = g.chars;
            m_runValid = true;
        }
        m_run.append(ch);
    }

    void paragraph()
    {
        const Group &g = top();
        if (g.dest != Dest::Text)
            return;
        flush();
        if (m_pendingPar)
            m_cursor.insertBlock(m_cursor.blockFormat(), charFormat(g.chars));
        m_cursor.setBlockFormat(blockFormat());
        m_cursor.setBlockCharFormat(charFormat(g.chars));
        m_pendingPar = true;
    }

    void flush()
    {
        if (m_run.isEmpty())
            return;
        m_cursor.insertText(m_run, charFormat(m_runState));
        m_run.clear();
    }

    QTextCharFormat charFormat(const CharState &s)
    {
        const auto it = m_formatCache.constFind(s);
        if (it != m_formatCache.constEnd())
            return it.value();
        QTextCharFormat f = m_options.baseFormat;
        const auto font = m_fonts.constFind(fontOf(s));
        if (font != m_fonts.constEnd() && !font->name.isEmpty())
            f.setProperty(QTextFormat::FontFamilies, QStringList(font->name));
        if (s.halfPoints > 0)
            f.setFontPointSize(double(s.halfPoints) / 2.0);
        if (s.color > 0 && size_t(s.color) < m_colors.size() && m_colors[size_t(s.color)] >= 0)
            f.setForeground(colorFrom24(quint32(m_colors[size_t(s.color)])));
        if (s.back > 0 && size_t(s.back) < m_colors.size() && m_colors[size_t(s.back)] >= 0)
            f.setBackground(colorFrom24(quint32(m_colors[size_t(s.back)])));
        f.setFontWeight(s.bold ? QFont::Bold : QFont::Normal);
        f.setFontItalic(s.italic);
        f.setFontUnderline(s.underline);
        f.setFontStrikeOut(s.strike);
        if (s.protect)
            f.setProperty(PropProtected, true);
        else
            f.clearProperty(PropProtected);
        f.setVerticalAlignment(s.vertical == 1   ? QTextCharFormat::AlignSuperScript
                               : s.vertical == 2 ? QTextCharFormat::AlignSubScript
                                                 : QTextCharFormat::AlignNormal);
        if (m_formatCache.size() < 65536)
            m_formatCache.insert(s, f);
        return f;
    }

    QTextBlockFormat blockFormat() const
    {
        QTextBlockFormat f = m_options.baseBlock;
        ParaFormat2 r;
        r.dwMask = PFM_STARTINDENT | PFM_OFFSET | PFM_RIGHTINDENT | PFM_SPACEBEFORE | PFM_SPACEAFTER;
        r.dxOffset = -m_para.fi;
        r.dxStartIndent = m_para.li + m_para.fi;
        r.dxRightIndent = m_para.ri;
        r.dySpaceBefore = m_para.sb;
        r.dySpaceAfter = m_para.sa;
        if (m_para.align != 0) {
            r.dwMask |= PFM_ALIGNMENT;
            r.wAlignment = qint16(m_para.align);
        }
        if (m_para.sl != 0) {
            r.dwMask |= PFM_LINESPACING;
            if (m_para.slmult) {
                if (m_para.sl == 240) {
                    r.bLineSpacingRule = 0;
                } else if (m_para.sl == 360) {
                    r.bLineSpacingRule = 1;
                } else if (m_para.sl == 480) {
                    r.bLineSpacingRule = 2;
                } else {
                    r.bLineSpacingRule = 5;
                    r.dyLineSpacing = m_para.sl / 12;
                }
            } else if (m_para.sl > 0) {
                r.bLineSpacingRule = 3;
                r.dyLineSpacing = m_para.sl;
            } else {
                r.bLineSpacingRule = 4;
                r.dyLineSpacing = -m_para.sl;
            }
        }
        applyParaFormat(r, f);
        return f;
    }

    static bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
    static bool isDigit(char c) { return c >= '0' && c <= '9'; }
    static bool isHex(char c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
    static int hexValue(char c)
    {
        if (isDigit(c))
            return c - '0';
        return (c | 0x20) - 'a' + 10;
    }

    friend size_t qHash(const CharState &s, size_t seed) noexcept;

    const QByteArray &m_data;
    QTextDocument &m_doc;
    const RtfReadOptions &m_options;
    QTextCursor m_cursor;
    std::vector<Group> m_stack;
    QHash<int, FontEntry> m_fonts;
    int m_fontNumber = 0;
    QString m_fontName;
    std::vector<qint64> m_colors{-1};
    quint32 m_colorValue = 0;
    bool m_colorStarted = false;
    ParaState m_para;
    int m_ansiCp = 1252;
    int m_defaultFont = 0;
    int m_skip = 0; // fallback characters still to drop after \uN
    bool m_groupStart = false;
    bool m_starred = false;
    bool m_seenRoot = false;
    bool m_pendingPar = false;
    QString m_run;
    CharState m_runState;
    bool m_runValid = false;
    QHash<CharState, QTextCharFormat> m_formatCache;
};

size_t qHash(const CharState &s, size_t seed) noexcept
{
    size_t h = seed;
    h = h * 31 + size_t(s.font);
    h = h * 31 + size_t(s.halfPoints);
    h = h * 31 + size_t(s.color);
    h = h * 31 + size_t(s.back);
    h = h * 31 + size_t(s.vertical);
    h = h * 31 + (size_t(s.bold) | size_t(s.italic) << 1 | size_t(s.underline) << 2 | size_t(s.strike) << 3 |
                  size_t(s.protect) << 4 | size_t(s.hidden) << 5);
    return h;
}

} // namespace

bool readRtf(const QByteArray &rtf, QTextDocument &doc, const RtfReadOptions &options)
{
    if (!looksLikeRtf(rtf))
        return false;
    Reader r(rtf, doc, options);
    r.run();
    return true;
}

} // namespace tessilor
