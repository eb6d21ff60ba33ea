#include "document/richformat.h"
#include "document/rtf.h"

#include "base/options.h"

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
    static const char *const names[] = {"info",
                                        "stylesheet",
                                        "pict",
                                        "header",
                                        "headerl",
                                        "headerr",
                                        "headerf",
                                        "footer",
                                        "footerl",
                                        "footerr",
                                        "footerf",
                                        "footnote",
                                        "annotation",
                                        "object",
                                        "fldinst",
                                        "themedata",
                                        "colorschememapping",
                                        "latentstyles",
                                        "datastore",
                                        "xmlnstbl",
                                        "listtable",
                                        "listoverridetable",
                                        "rsidtbl",
                                        "generator",
                                        "mmathPr",
                                        "pgdsctbl",
                                        "revtbl",
                                        "filetbl",
                                        "bkmkstart",
                                        "bkmkend",
                                        "shppict",
                                        "nonshppict",
                                        "template",
                                        "private",
                                        "atnid",
                                        "atnauthor",
                                        "comment",
                                        "keywords",
                                        "author",
                                        "operator",
                                        "title",
                                        "subject",
                                        "doccomm",
                                        "company",
                                        "creatim",
                                        "revtim",
                                        "printim",
                                        "buptim",
                                        "userprops",
                                        "xe",
                                        "tc",
                                        "txe",
                                        "listpicture",
                                        "wgrffmtfilter",
                                        "fchars",
                                        "lchars",
                                        "defchp",
                                        "defpap",
                                        "pnseclvl",
                                        "mhtmltag",
                                        "htmltag"};
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
    {}

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
        applyTextWord(w, g, p, !hasParam || p != 0);
    }

    // A control word in text: character and paragraph formatting, breaks
    // and special characters. Words not listed are ignored.
    void applyTextWord(const QByteArray &w, Group &g, int p, bool on)
    {
        using Action = void (*)(Reader &, Group &, int p, bool on);
        static const QHash<QByteArray, Action> actions = [] {
            QHash<QByteArray, Action> a;
            auto words = [&a](std::initializer_list<const char *> names, Action action) {
                for (const char *name : names)
                    a.insert(name, action);
            };
            words({"par", "sect", "page", "row"}, [](Reader &r, Group &, int, bool) { r.paragraph(); });
            words({"line"}, [](Reader &r, Group &, int, bool) { r.text(QChar::LineSeparator); });
            words({"tab", "cell"}, [](Reader &r, Group &, int, bool) { r.text(QChar(u'\t')); });
            words({"u"}, [](Reader &r, Group &g, int p, bool) {
                if (r.m_skip > 0) {
                    --r.m_skip;
                    return;
                }
                r.text(QChar(char16_t(p < 0 ? p + 65536 : p)));
                r.m_skip = g.uc;
            });
            words({"uc"}, [](Reader &, Group &g, int p, bool) { g.uc = qBound(0, p, 16); });
            words({"plain"}, [](Reader &, Group &g, int, bool) { g.chars = CharState{}; });
            words({"f"}, [](Reader &, Group &g, int p, bool) { g.chars.font = p; });
            words({"fs"}, [](Reader &, Group &g, int p, bool) { g.chars.halfPoints = p > 0 ? qMin(p, 3276) : -1; });
            words({"cf"}, [](Reader &, Group &g, int p, bool) { g.chars.color = p; });
            words({"cb", "highlight", "chcbpat"}, [](Reader &, Group &g, int p, bool) { g.chars.back = p; });
            words({"b"}, [](Reader &, Group &g, int, bool on) { g.chars.bold = on; });
            words({"i"}, [](Reader &, Group &g, int, bool on) { g.chars.italic = on; });
            words({"ul", "uld", "uldb", "ulw", "ulth", "uldash", "ulwave"},
                  [](Reader &, Group &g, int, bool on) { g.chars.underline = on; });
            words({"ulnone"}, [](Reader &, Group &g, int, bool) { g.chars.underline = false; });
            words({"strike", "striked"}, [](Reader &, Group &g, int, bool on) { g.chars.strike = on; });
            words({"protect"}, [](Reader &, Group &g, int, bool on) { g.chars.protect = on; });
            words({"v"}, [](Reader &, Group &g, int, bool on) { g.chars.hidden = on; });
            words({"super"}, [](Reader &, Group &g, int, bool on) { g.chars.vertical = on ? 1 : 0; });
            words({"sub"}, [](Reader &, Group &g, int, bool on) { g.chars.vertical = on ? 2 : 0; });
            words({"nosupersub"}, [](Reader &, Group &g, int, bool) { g.chars.vertical = 0; });
            words({"pard"}, [](Reader &r, Group &, int, bool) { r.m_para = ParaState{}; });
            words({"ansicpg"}, [](Reader &r, Group &, int p, bool) { r.m_ansiCp = p; });
            words({"deff"}, [](Reader &r, Group &, int p, bool) { r.m_defaultFont = p; });
            return a;
        }();
        static const QHash<QByteArray, int ParaState::*> paragraphNumbers = {
            {"li", &ParaState::li}, {"ri", &ParaState::ri}, {"fi", &ParaState::fi},         {"sb", &ParaState::sb},
            {"sa", &ParaState::sa}, {"sl", &ParaState::sl}, {"slmult", &ParaState::slmult},
        };
        static const QHash<QByteArray, int> alignments = {
            {"ql", PFA_LEFT}, {"qr", PFA_RIGHT}, {"qc", PFA_CENTER}, {"qj", PFA_JUSTIFY}};
        static const QHash<QByteArray, char16_t> characters = {
            {"emdash", 0x2014},    {"endash", 0x2013}, {"lquote", 0x2018},  {"rquote", 0x2019},  {"ldblquote", 0x201C},
            {"rdblquote", 0x201D}, {"bullet", 0x2022}, {"emspace", 0x2003}, {"enspace", 0x2002},
        };
        if (const Action action = actions.value(w))
            action(*this, g, p, on);
        else if (const auto field = paragraphNumbers.value(w))
            m_para.*field = p;
        else if (alignments.contains(w))
            m_para.align = alignments.value(w);
        else if (characters.contains(w))
            text(QChar(characters.value(w)));
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
        text(ch);
    }

    int fontOf(const CharState &s) const { return s.font >= 0 ? s.font : m_defaultFont; }

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
        // In a document this character marks an embedded object, which the
        // text cannot be; written as text (\u-4) it stands for nothing known.
        if (ch == QChar::ObjectReplacementCharacter)
            ch = QChar::ReplacementCharacter;
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
