// Document codecs of the rich text control: format records, the stream
// buffer, RTF writer and reader, plain text, HTML and the document fillers.
#include "document/documentfill.h"
#include "document/htmlpage.h"
#include "document/plaintext.h"
#include "document/resultexport.h"
#include "document/richformat.h"
#include "document/rtf.h"
#include "document/streambuffer.h"

#include "art/figureconvert.h"
#include "art/figurefill.h"
#include "base/options.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <gtest/gtest.h>

using namespace tessilor;

namespace {

struct Run {
    QString text;
    QString face;
    double points = 0;
    quint32 color = 0;
    bool bold = false, italic = false, underline = false, strike = false;
};

QList<QList<Run>> runsOf(const QTextDocument &doc)
{
    QList<QList<Run>> out;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        QList<Run> line;
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            const QTextCharFormat c = f.charFormat();
            Run r{f.text(),
                  formatFace(c),
                  c.fontPointSize(),
                  colorTo24(c.foreground().color()),
                  c.fontWeight() >= QFont::DemiBold,
                  c.fontItalic(),
                  c.fontUnderline(),
                  c.fontStrikeOut()};
            // Neighbouring runs of one format count as one.
            if (!line.isEmpty()) {
                Run &last = line.last();
                if (last.face == r.face && last.points == r.points && last.color == r.color && last.bold == r.bold &&
                    last.italic == r.italic && last.underline == r.underline && last.strike == r.strike) {
                    last.text += r.text;
                    continue;
                }
            }
            line.append(r);
        }
        out.append(line);
    }
    return out;
}

void expectSameRuns(const QTextDocument &a, const QTextDocument &b)
{
    const auto ra = runsOf(a);
    const auto rb = runsOf(b);
    ASSERT_EQ(ra.size(), rb.size());
    for (int i = 0; i < ra.size(); ++i) {
        ASSERT_EQ(ra[i].size(), rb[i].size()) << "paragraph " << i;
        for (int k = 0; k < ra[i].size(); ++k) {
            const Run &x = ra[i][k];
            const Run &y = rb[i][k];
            EXPECT_EQ(x.text, y.text) << i << "/" << k;
            EXPECT_EQ(x.face, y.face) << i << "/" << k;
            EXPECT_DOUBLE_EQ(x.points, y.points) << i << "/" << k;
            EXPECT_EQ(x.color, y.color) << i << "/" << k;
            EXPECT_EQ(x.bold, y.bold);
            EXPECT_EQ(x.italic, y.italic);
            EXPECT_EQ(x.underline, y.underline);
            EXPECT_EQ(x.strike, y.strike);
        }
    }
}

QTextCharFormat runFormat(const QString &face, double points, quint32 color)
{
    QTextCharFormat f;
    f.setProperty(QTextFormat::FontFamilies, QStringList(face));
    f.setFontPointSize(points);
    f.setForeground(colorFrom24(color));
    f.setFontWeight(QFont::Normal);
    return f;
}

} // namespace

TEST(RichFormat, RecordArithmetic)
{
    EXPECT_EQ(twipsFromPoints(8.25), 165);
    EXPECT_EQ(pointsFromTwips(165), 8);   // sizes read back truncated
    EXPECT_EQ(twipsFromPoints(0.025), 0); // 0.5 twips: half to even
    EXPECT_EQ(twipsFromPoints(0.075), 2); // 1.5 twips
    EXPECT_EQ(twipsFromPoints(10), 200);
    EXPECT_EQ(signExtend16(0xFFFF), -1);
    EXPECT_EQ(signExtend16(0x8000), -32768);
    EXPECT_EQ(signExtend16(0x7FFF), 32767);
    EXPECT_EQ(faceNameField(QString(40, u'x')).size(), 31);
    EXPECT_EQ(colorTo24(colorFrom24(0x123456)), 0x123456u);
    EXPECT_EQ(colorFrom24(rgbValue(255, 0, 0)), QColor(255, 0, 0));
}

TEST(RichFormat, CharacterRecordsTouchOnlyMaskedFields)
{
    CharFormat2 r;
    r.dwMask = CFM_BOLD | CFM_COLOR;
    r.dwEffects = CFE_BOLD | CFE_ITALIC; // italic is not in the mask
    r.crTextColor = rgbValue(1, 2, 3);
    QTextCharFormat text = runFormat(QStringLiteral("Arial"), 12, 0);
    text.setFontItalic(false);
    text.merge(charFormatDelta(r));
    EXPECT_EQ(text.fontWeight(), QFont::Bold);
    EXPECT_FALSE(text.fontItalic());
    EXPECT_EQ(formatFace(text), QStringLiteral("Arial"));
    const CharFormat2 back = charFormatOf(text, {}, CFM_BOLD | CFM_ITALIC | CFM_COLOR | CFM_FACE | CFM_SIZE);
    EXPECT_EQ(back.dwEffects, CFE_BOLD);
    EXPECT_EQ(back.crTextColor, rgbValue(1, 2, 3));
    EXPECT_EQ(back.yHeight, 240);
    EXPECT_EQ(back.szFaceName, QStringLiteral("Arial"));

    // Fields the text leaves unset come from the default format.
    QTextCharFormat fallback = runFormat(QStringLiteral("Courier New Cyr"), 8.25, rgbValue(9, 8, 7));
    const CharFormat2 def = charFormatOf(QTextCharFormat(), fallback, CFM_FACE | CFM_SIZE | CFM_COLOR);
    EXPECT_EQ(def.szFaceName, QStringLiteral("Courier New Cyr"));
    EXPECT_EQ(def.yHeight, 165);
    EXPECT_EQ(def.crTextColor, rgbValue(9, 8, 7));

    CharFormat2 sup;
    sup.dwMask = CFM_SUPERSCRIPT;
    sup.dwEffects = CFE_SUPERSCRIPT;
    EXPECT_EQ(charFormatDelta(sup).verticalAlignment(), QTextCharFormat::AlignSuperScript);
    sup.dwEffects = 0;
    EXPECT_EQ(charFormatDelta(sup).verticalAlignment(), QTextCharFormat::AlignNormal);
}

TEST(RichFormat, ParagraphRecordsKeepTwips)
{
    QTextBlockFormat f;
    ParaFormat2 r;
    r.dwMask = PFM_STARTINDENT;
    r.dxStartIndent = 50;
    applyParaFormat(r, f);
    EXPECT_EQ(paraFormatOf(f, PFM_STARTINDENT).dxStartIndent, 50);
    EXPECT_DOUBLE_EQ(f.leftMargin(), 50.0 / 15.0);
    r.dwMask = PFM_OFFSET;
    r.dxOffset = 300; // later lines 300 twips further in
    applyParaFormat(r, f);
    EXPECT_EQ(paraFormatOf(f, PFM_STARTINDENT).dxStartIndent, 50);
    EXPECT_EQ(paraFormatOf(f, PFM_OFFSET).dxOffset, 300);
    EXPECT_DOUBLE_EQ(f.leftMargin(), 350.0 / 15.0);
    EXPECT_DOUBLE_EQ(f.textIndent(), -300.0 / 15.0);
    r.dwMask = PFM_ALIGNMENT | PFM_LINESPACING | PFM_RIGHTINDENT;
    r.wAlignment = PFA_CENTER;
    r.bLineSpacingRule = 4;
    r.dyLineSpacing = 300;
    r.dxRightIndent = -15;
    applyParaFormat(r, f);
    const ParaFormat2 back = paraFormatOf(f, PFM_ALIGNMENT | PFM_LINESPACING | PFM_RIGHTINDENT);
    EXPECT_EQ(back.wAlignment, PFA_CENTER);
    EXPECT_EQ(f.alignment(), Qt::AlignHCenter);
    EXPECT_EQ(back.bLineSpacingRule, 4);
    EXPECT_EQ(back.dyLineSpacing, 300);
    EXPECT_EQ(f.lineHeightType(), int(QTextBlockFormat::FixedHeight));
    EXPECT_EQ(back.dxRightIndent, -15);
}

TEST(StreamBuffer, ChunksHandEveryCharacterOverOnce)
{
    for (int n : {0, 1, 4095, 4096, 4097, 8192, 8193}) {
        QString text;
        for (int i = 0; i < n; ++i)
            text.append(QChar(u'a' + i % 26));
        if (n > 0)
            text[n - 1] = u'Z'; // the last character must arrive too
        richEditHooks::SetStreamBuffer(text);
        EXPECT_EQ(richEditHooks::StreamPos(), 1);
        QList<int> chunks;
        const QString got = richEditHooks::pullText(richEditHooks::StreamInFromBuffer, 0, 4096, &chunks);
        EXPECT_EQ(got, text) << n;
        QList<int> expected;
        for (int left = n; left > 0; left -= 4096)
            expected.append(qMin(left, 4096));
        expected.append(0);
        EXPECT_EQ(chunks, expected) << n;
        richEditHooks::SetStreamBuffer(QString());
    }
    // The documented chunk sequences.
    richEditHooks::SetStreamBuffer(QString(4096, u'x'));
    QList<int> chunks;
    richEditHooks::pullText(richEditHooks::StreamInFromBuffer, 0, 4096, &chunks);
    EXPECT_EQ(chunks, (QList<int>{4096, 0}));
    EXPECT_EQ(richEditHooks::StreamPos(), 0); // whole buffer went out in one chunk
    richEditHooks::SetStreamBuffer(QString(8193, u'x'));
    chunks.clear();
    richEditHooks::pullText(richEditHooks::StreamInFromBuffer, 0, 4096, &chunks);
    EXPECT_EQ(chunks, (QList<int>{4096, 4096, 1, 0}));
    EXPECT_EQ(richEditHooks::StreamPos(), 8194);
    richEditHooks::SetStreamBuffer(QString());
}

TEST(StreamBuffer, OutputAppendsChunksInOrder)
{
    richEditHooks::SetStreamBuffer(QString());
    QString text;
    for (int i = 0; i < 10000; ++i)
        text.append(QChar(0x410 + i % 32));
    EXPECT_EQ(richEditHooks::pushText(richEditHooks::StreamOutToBuffer, 0, text, 4096), 10000);
    EXPECT_EQ(richEditHooks::GetStreamBuffer(), text);
    richEditHooks::SetStreamBuffer(QString());
    EXPECT_TRUE(richEditHooks::GetStreamBuffer().isEmpty());
}

TEST(Rtf, WriterDeclaresCodePageFontsAndColours)
{
    QTextDocument doc;
    QTextCursor c(&doc);
    c.insertText(QStringLiteral("Ж{x}\\"), runFormat(QStringLiteral("DejaVu Sans Mono"), 8, rgbValue(255, 0, 0)));
    c.insertText(QStringLiteral("€"), runFormat(QStringLiteral("DejaVu Sans Mono"), 8.5, rgbValue(0, 0, 255)));
    c.insertText(QStringLiteral("☺"), runFormat(QStringLiteral("DejaVu Sans Mono"), 8.5, rgbValue(0, 0, 255)));
    const QByteArray rtf = writeRtf(doc);
    EXPECT_TRUE(rtf.startsWith("{\\rtf1\\ansi\\ansicpg1251"));
    // A monospaced family is declared fixed pitch.
    EXPECT_TRUE(rtf.contains("\\fmodern\\fcharset204\\fprq1 DejaVu Sans Mono;}")) << rtf.left(120).constData();
    EXPECT_TRUE(rtf.contains("{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}"));
    EXPECT_TRUE(rtf.contains("\\u1046\\'c6")) << rtf.constData(); // Ж: Unicode plus its code-page byte
    EXPECT_TRUE(rtf.contains("\\u8364\\'88"));                    // the euro sign is 0x88 in 1251
    EXPECT_TRUE(rtf.contains("\\u9786?"));                        // not in the code page
    EXPECT_TRUE(rtf.contains("\\{x\\}\\\\"));
    EXPECT_TRUE(rtf.contains("\\fs16"));
    EXPECT_TRUE(rtf.contains("\\fs17"));
    for (char ch : rtf)
        ASSERT_LT(uchar(ch), 0x80u) << "RTF must be 7-bit";
}

// A long colour table goes in groups of at most 64 definitions (a word
// processor that looks to the end of the group on every control word of
// the table reads a flat table of thousands in minutes), and reads back
// whole. Past the page's colour cost (colour changes times colours) the
// colours go to the finest coarser grid within it.
TEST(Rtf, ManyColoursReadQuicklyAndStayTheirColours)
{
    QTextDocument doc;
    QTextCursor c(&doc);
    QList<quint32> colours;
    QRandomGenerator rng(5);
    for (int i = 0; i < 300; ++i) {
        colours.append(rng.generate() & 0xFFFFFFu);
        c.insertText(QStringLiteral("V"), runFormat(QStringLiteral("DejaVu Sans"), 8, colours.last()));
    }
    auto groupSizes = [](const QByteArray &rtf) {
        const qsizetype at = rtf.indexOf("{\\colortbl");
        QList<int> sizes;
        int depth = 0, inGroup = 0;
        for (qsizetype i = at + 1; i < rtf.size() && depth >= 0; ++i) {
            if (rtf[i] == '{') {
                ++depth;
                inGroup = 0;
            } else if (rtf[i] == '}') {
                if (depth > 0)
                    sizes.append(inGroup);
                --depth;
            } else if (rtf[i] == ';' && depth == 1) {
                ++inGroup;
            }
        }
        return sizes;
    };
    auto readColours = [](const QByteArray &rtf) {
        QTextDocument back;
        EXPECT_TRUE(readRtf(rtf, back));
        QList<quint32> out;
        for (auto it = back.begin().begin(); !it.atEnd(); ++it)
            for (int i = 0; i < it.fragment().length(); ++i)
                out.append(colorTo24(it.fragment().charFormat().foreground().color()));
        return out;
    };
    const QByteArray exact = writeRtf(doc);
    const QList<int> sizes = groupSizes(exact);
    EXPECT_EQ(sizes.size(), 5); // 300 colours: 4 groups of 64 and one of 44
    EXPECT_EQ(*std::max_element(sizes.begin(), sizes.end()), 64);
    EXPECT_EQ(readColours(exact), colours);

    // The colours on a grid of 2^bits levels a channel, and what a reader
    // pools of them: colour changes times colours.
    auto onGrid = [](quint32 c, int bits) {
        const double step = 255.0 / ((1 << bits) - 1);
        quint32 out = 0;
        for (int shift : {0, 8, 16})
            out |= quint32(qRound(qRound(int((c >> shift) & 0xFF) / step) * step)) << shift;
        return out;
    };
    auto work = [&](int bits) {
        QSet<quint32> distinct;
        qint64 changes = 0;
        for (qsizetype i = 0; i < colours.size(); ++i) {
            const quint32 g = onGrid(colours[i], bits);
            changes += i == 0 || g != onGrid(colours[i - 1], bits);
            distinct.insert(g);
        }
        return changes * distinct.size();
    };
    for (const qint64 cost : {qint64(300 * 300), qint64(300 * 300 - 1), qint64(20000), qint64(1)}) {
        SCOPED_TRACE(cost);
        RtfPage page;
        page.colourCost = cost;
        const QList<quint32> back = readColours(writeRtf(doc, {}, page));
        ASSERT_EQ(back.size(), colours.size());
        int bits = 8;
        while (bits > 4 && work(bits) > cost)
            --bits;
        EXPECT_EQ(bits == 8, cost == 300 * 300);
        for (qsizetype i = 0; i < colours.size(); ++i)
            ASSERT_EQ(back[i], onGrid(colours[i], bits)) << i << " on the grid of " << bits << " bits";
    }
}

TEST(Rtf, RoundTripKeepsTextFontsSizesColoursAndStyles)
{
    QTextDocument doc;
    QTextCursor c(&doc);
    QTextBlockFormat indented;
    ParaFormat2 p;
    p.dwMask = PFM_STARTINDENT | PFM_OFFSET | PFM_RIGHTINDENT | PFM_ALIGNMENT | PFM_SPACEBEFORE | PFM_SPACEAFTER;
    p.dxStartIndent = 50;
    p.dxOffset = 120;
    p.dxRightIndent = 30;
    p.wAlignment = PFA_RIGHT;
    p.dySpaceBefore = 60;
    p.dySpaceAfter = 90;
    applyParaFormat(p, indented);
    c.setBlockFormat(indented);
    QTextCharFormat a = runFormat(QStringLiteral("Courier New Cyr"), 8, rgbValue(10, 20, 30));
    QTextCharFormat b = runFormat(QStringLiteral("Liberation Serif"), 12.5, rgbValue(200, 100, 0));
    b.setFontWeight(QFont::Bold);
    b.setFontItalic(true);
    QTextCharFormat u = a;
    u.setFontUnderline(true);
    u.setFontStrikeOut(true);
    c.insertText(QStringLiteral("Привет, "), a);
    c.insertText(QStringLiteral("мир\tтаб"), b);
    c.insertText(QStringLiteral(" {braces} \\ back"), u);
    c.insertBlock(QTextBlockFormat(), a);
    c.insertText(QStringLiteral("second line"), a);
    c.insertBlock(QTextBlockFormat(), a);
    c.insertBlock(QTextBlockFormat(), a); // an empty paragraph in the middle
    c.insertText(QStringLiteral("end"), b);
    c.insertBlock(QTextBlockFormat(), a); // and an empty last one

    QTextDocument back;
    ASSERT_TRUE(readRtf(writeRtf(doc), back));
    EXPECT_EQ(back.toPlainText(), doc.toPlainText());
    expectSameRuns(doc, back);
    const ParaFormat2 q = paraFormatOf(back.begin().blockFormat(), p.dwMask);
    EXPECT_EQ(q.dxStartIndent, 50);
    EXPECT_EQ(q.dxOffset, 120);
    EXPECT_EQ(q.dxRightIndent, 30);
    EXPECT_EQ(q.wAlignment, PFA_RIGHT);
    EXPECT_EQ(q.dySpaceBefore, 60);
    EXPECT_EQ(q.dySpaceAfter, 90);
    EXPECT_EQ(paraFormatOf(back.begin().next().blockFormat(), PFM_STARTINDENT).dxStartIndent, 0);
}

// The page of a result's RTF: the page set up while the widest line fits
// inside its margins, turned to landscape when that makes it fit, else the
// page set up with the print preview's size in whole half points, else,
// where not even half a point keeps the line on that page, the page turned;
// where that does not hold it either, no page and the widest line that fits.
TEST(Rtf, WordProcessorPageKeepsTheWidestLineWhole)
{
    const QSizeF a4(11906, 16838);
    const QMarginsF design(1701, 1134, 850, 1134); // 30, 20, 15, 20 mm
    struct Case {
        const char *what;
        QSizeF paper;
        double line;    // twips at 8 points, 50 of them indent
        double preview; // what the preview's fit gives
        QSizeF page;    // written paper
        bool landscape;
        int halfPoints;
        qint64 widest; // cells of 1 em that fit at half a point; 0: the line fits
    };
    // 1024 figures of one em at 8 points: 1024 x 160 twips, 10290 at half a
    // point, wider than A4 upright holds and narrower than A4 turned.
    const double figures1024 = 1024 * 160 + 50;
    const Case cases[] = {
        {"fits upright", a4, 9000, 5, a4, false, 0, 0},
        {"fits exactly", a4, 9355, 5, a4, false, 0, 0},
        {"fits turned", a4, 9356, 5, a4.transposed(), true, 0, 0},
        {"fits turned exactly", a4, 14287, 5, a4.transposed(), true, 0, 0},
        {"too wide for both", a4, 14288, 3.74, a4, false, 7, 0},
        {"preview size kept when whole", a4, 14288, 4.0, a4, false, 8, 0},
        {"at least half a point", a4, 140000, 0.2, a4, false, 1, 0},
        {"half a point only turned", a4, figures1024, 0.43, a4.transposed(), true, 1, 0},
        {"the turned page's preview size", a4, figures1024, 0.6, a4.transposed(), true, 1, 0},
        {"not even half a point turned", a4, 1440 * 160 + 50, 0.2, a4, false, 1, 1423},
        {"landscape set up, too wide", a4.transposed(), 15000, 7.2, a4.transposed(), true, 14, 0},
        {"landscape set up, not at half a point", a4.transposed(), figures1024 * 1.5, 0.3, a4.transposed(), true, 1,
         1423},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QSizeF askedPaper, askedArt;
        ArtLine line;
        line.width = c.line;
        line.indent = 50;
        line.size = 8;
        line.cells = qint64((c.line - 50) / 160);
        const WordProcessorFit fit = wordProcessorPage(c.paper, design, line, [&](QSizeF paper, QSizeF art) {
            if (askedPaper.isEmpty()) {
                askedPaper = paper;
                askedArt = art;
            }
            return c.preview;
        });
        const RtfPage &page = fit.page;
        EXPECT_EQ(fit.fits, c.widest == 0);
        EXPECT_EQ(fit.widestLine, c.widest);
        EXPECT_EQ(page.paperWidth, qRound(c.page.width()));
        EXPECT_EQ(page.paperHeight, qRound(c.page.height()));
        EXPECT_EQ(page.marginLeft, 1701);
        EXPECT_EQ(page.marginTop, 1134);
        EXPECT_EQ(page.marginRight, 850);
        EXPECT_EQ(page.marginBottom, 1134);
        EXPECT_EQ(page.landscape, c.landscape);
        EXPECT_EQ(page.halfPoints, c.halfPoints);
        if (c.halfPoints > 0) {
            // First the preview's fit for the page as set up and its area.
            EXPECT_EQ(askedPaper, c.paper);
            EXPECT_EQ(askedArt, QSizeF(c.paper.width() - 2551, c.paper.height() - 2268));
        }
    }

    // A result document: the page goes before the text, the size into every
    // run, and the document keeps its own size.
    QFont font(QStringLiteral("Liberation Mono"));
    font.setPointSizeF(8);
    PrintSource source;
    source.resultKind = 3;
    source.gridRows = 3;
    source.fontName = font.family();
    source.fontSize = 8;
    const QPageLayout a4Page = resultPageLayout();
    for (const int columns : {40, 60, 160}) {
        SCOPED_TRACE(columns);
        QTextDocument doc;
        QString text;
        for (int row = 0; row < source.gridRows; ++row)
            text += QString(2 * columns, u'Q') + QStringLiteral("\r\n");
        fillTextDocument(doc, text, font, 0);
        source.gridColumns = columns;
        const QByteArray rtf = writeResultRtf(doc, source, a4Page);
        EXPECT_TRUE(rtf.contains("\\margl1701\\margr850\\margt1134\\margb1134")) << rtf.left(300).constData();
        // 80 characters of 4.8 points fit upright, 120 only turned; 320 are
        // set in the preview's size: 9355 twips / 1.06 for 320 characters
        // of 0.6 em make 2.3 points.
        EXPECT_EQ(rtf.contains("\\paperw16838\\paperh11906"), columns == 60);
        EXPECT_EQ(rtf.contains("\\paperw11906\\paperh16838"), columns != 60);
        EXPECT_EQ(rtf.contains("\\landscape"), columns == 60);
        EXPECT_TRUE(rtf.contains(columns == 160 ? "\\fs4" : "\\fs16"));
        EXPECT_DOUBLE_EQ(QTextCursor(&doc).charFormat().fontPointSize(), 8);
        QTextDocument back;
        ASSERT_TRUE(readRtf(rtf, back));
        EXPECT_EQ(back.toPlainText(), doc.toPlainText());
    }
}

TEST(Rtf, ReadsWordProcessorRtf)
{
    const QByteArray rtf =
        "{\\rtf1\\ansi\\ansicpg1251\\deff0\\nouicompat\\deflang1049"
        "{\\fonttbl{\\f0\\fnil\\fcharset204 Times New Roman;}{\\f1\\fswiss\\fcharset0 Arial{\\*\\falt Helv};}}\r\n"
        "{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green128\\blue0;}\r\n"
        "{\\*\\generator Riched20 10.0.19041}{\\info{\\title Secret}{\\author Somebody}}"
        "{\\stylesheet{\\s0 Normal;}}\\viewkind4\\uc1 \r\n"
        "\\pard\\sa200\\sl276\\slmult1\\qc\\f0\\fs22\\lang1049 \\'cf\\'f0\\'e8\\'e2\\'e5\\'f2 "
        "\\cf1\\b\\u1046\\'c6\\b0\\cf0 !\\par\r\n"
        "\\pard\\li720\\plain\\f1\\fs24 Tab\\tab end\\line next{\\v hidden}\\~x\\par\r\n"
        "{\\pict\\wmetafile8 0102030405}"
        "\\uc2\\u8364\\'80\\'80 \\uc0\\u8364 \\cf2 green {\\bin3 {}}done\\par\r\n"
        "}\r\n";
    QTextDocument doc;
    ASSERT_TRUE(readRtf(rtf, doc));
    QStringList lines;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        lines.append(b.text());
    ASSERT_EQ(lines.size(), 3) << doc.toPlainText().toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("Привет Ж!"));
    EXPECT_EQ(lines[1], QStringLiteral("Tab\tend") + QChar(QChar::LineSeparator) + QStringLiteral("next") +
                            QChar(0xA0) + QStringLiteral("x"));
    EXPECT_EQ(lines[2], QStringLiteral("€ €green done"));
    const auto runs = runsOf(doc);
    EXPECT_EQ(runs[0][0].face, QStringLiteral("Times New Roman"));
    EXPECT_DOUBLE_EQ(runs[0][0].points, 11);
    EXPECT_EQ(runs[0][1].text, QStringLiteral("Ж"));
    EXPECT_EQ(runs[0][1].color, rgbValue(255, 0, 0));
    EXPECT_TRUE(runs[0][1].bold);
    EXPECT_EQ(runs[1][0].face, QStringLiteral("Arial"));
    EXPECT_EQ(runs[2].last().color, rgbValue(0, 128, 0));
    EXPECT_EQ(doc.begin().blockFormat().alignment(), Qt::AlignHCenter);
    EXPECT_EQ(paraFormatOf(doc.begin().next().blockFormat(), PFM_STARTINDENT).dxStartIndent, 720);
    EXPECT_FALSE(doc.toPlainText().contains(QStringLiteral("Secret")));
}

TEST(Rtf, MalformedInputLoadsWhatItCan)
{
    QTextDocument doc;
    EXPECT_FALSE(readRtf("plain words", doc));
    EXPECT_FALSE(readRtf("", doc));

    // Very deep nesting, unbalanced braces, truncated escapes.
    QByteArray deep = "{\\rtf1 start";
    deep.append(QByteArray(200000, '{'));
    deep.append("deep");
    QElapsedTimer t;
    t.start();
    ASSERT_TRUE(readRtf(deep, doc));
    EXPECT_TRUE(doc.toPlainText().startsWith(QStringLiteral("start")));
    ASSERT_TRUE(readRtf("{\\rtf1 a}}}}b\\'", doc));
    EXPECT_EQ(doc.toPlainText(), QStringLiteral("a"));
    ASSERT_TRUE(readRtf("{\\rtf1 x\\u-3913?\\u99999999999999999999 \\fs-5 y\\bin999999999 z", doc));
    EXPECT_TRUE(doc.toPlainText().startsWith(QStringLiteral("x") + QChar(0xF0B7)));
    ASSERT_TRUE(readRtf("{\\rtf1{\\colortbl;\\red999\\green-4;}\\cf77 q\\cf1 r\\f999 s}", doc));
    EXPECT_EQ(doc.toPlainText(), QStringLiteral("qrs"));

    // Random bytes behind a header never crash or hang.
    QRandomGenerator gen(12345);
    for (int round = 0; round < 200; ++round) {
        QByteArray junk = "{\\rtf1";
        const int n = int(gen.bounded(2000));
        static const char alphabet[] = "{}\\'*uc0123456789abcfsparline -;";
        for (int i = 0; i < n; ++i)
            junk.append(gen.bounded(4) == 0 ? char(gen.bounded(256)) : alphabet[gen.bounded(int(sizeof alphabet) - 1)]);
        readRtf(junk, doc);
    }
    EXPECT_LT(t.elapsed(), 20000);
}

TEST(Rtf, RtfHeldInAStringKeepsItsCharacters)
{
    // RTF typed or pasted as text may carry characters beyond ASCII.
    const QString source = QStringLiteral("{\\rtf1 Жук \\'e0 ok}");
    EXPECT_TRUE(looksLikeRtf(source));
    EXPECT_TRUE(looksLikeRtf(QStringLiteral("  \r\n{\\rtf1}")));
    EXPECT_FALSE(looksLikeRtf(QStringLiteral("{\\rt")));
    QTextDocument doc;
    RtfReadOptions o;
    ASSERT_TRUE(readRtf(rtfBytesFromString(source), doc, o));
    EXPECT_EQ(doc.toPlainText(), QStringLiteral("Жук \u00e0 ok")); // no code page declared: Western
    ASSERT_TRUE(readRtf("{\\rtf1\\ansi\\ansicpg1251 \\'e0}", doc));
    EXPECT_EQ(doc.toPlainText(), QStringLiteral("а"));
}

TEST(PlainText, LinesAndLineEnds)
{
    QTextDocument doc;
    readPlainText(doc, QStringLiteral("one\r\ntwo\rthree\nfour\r\n"));
    EXPECT_EQ(doc.blockCount(), 5);
    EXPECT_EQ(writePlainText(doc), QByteArray("one\r\ntwo\r\nthree\r\nfour\r\n"));
    readPlainText(doc, QStringLiteral("Ёж"));
    EXPECT_EQ(writePlainText(doc), QStringLiteral("Ёж").toUtf8());
    readPlainText(doc, QString());
    EXPECT_TRUE(writePlainText(doc).isEmpty());
}

TEST(Html, KeepsTextFontsAndColours)
{
    QTextDocument doc;
    QTextCursor c(&doc);
    c.insertText(QStringLiteral("Ключ <&>"),
                 runFormat(QStringLiteral("Liberation Mono"), 9, rgbValue(0x12, 0x34, 0x56)));
    const QString html = QString::fromUtf8(writeHtml(doc));
    EXPECT_TRUE(html.contains(QStringLiteral("charset")));
    EXPECT_TRUE(html.contains(QStringLiteral("Ключ &lt;&amp;&gt;")));
    EXPECT_TRUE(html.contains(QStringLiteral("Liberation Mono")));
    EXPECT_TRUE(html.contains(QStringLiteral("#123456")));
    EXPECT_TRUE(html.contains(QStringLiteral("9pt")));
}

TEST(Html, PageKeepsCellsInColumnsAndEmbedsOnlyTheFontsItUses)
{
    QTextDocument doc;
    QTextCursor c(&doc);
    const QTextCharFormat text = runFormat(QStringLiteral("Lucida Console"), 10, rgbValue(1, 2, 3));
    QTextCharFormat filled = text;
    filled.setBackground(colorFrom24(rgbValue(0xAB, 0xCD, 0xEF)));
    // A line that starts with a filled run (a figure mosaic with fill).
    c.insertText(QStringLiteral("%%"), filled);
    c.insertText(QStringLiteral("@@ <"), text);
    c.insertText(QStringLiteral("##"), filled);
    c.insertBlock(QTextBlockFormat(), text);
    c.insertText(QStringLiteral("::  .."), text);
    c.insertBlock(QTextBlockFormat(), text); // an empty line
    c.insertBlock(QTextBlockFormat(), text);
    c.insertText(QStringLiteral("VV"), runFormat(figureFamily(1), 10, rgbValue(9, 9, 9)));

    HtmlPageOptions options;
    options.title = QStringLiteral("a<b");
    options.fonts = {{figureFamily(1), "font one"}, {figureFamily(2), "font two"}};
    const QString page = QString::fromUtf8(writeHtmlPage(doc, options));
    EXPECT_TRUE(page.startsWith(QStringLiteral("<!DOCTYPE html>")));
    EXPECT_TRUE(page.contains(QStringLiteral("<title>a&lt;b</title>")));
    // Only the figure font the document uses goes inside.
    EXPECT_EQ(page.count(QStringLiteral("@font-face")), 1);
    EXPECT_TRUE(
        page.contains(QStringLiteral("@font-face{font-family:'Quar Tessilor Figures 1';src:url(data:font/ttf;base64,") +
                      QString::fromLatin1(QByteArray("font one").toBase64()) + u')'));
    // Every family list ends in monospaced faces; every line keeps its white
    // space and has a fixed height, the same for lines of the same font.
    const QString lucida =
        QStringLiteral("font-family:'Lucida Console','DejaVu Sans Mono','Liberation Mono',monospace;");
    EXPECT_EQ(page.count(lucida), 3);
    EXPECT_EQ(page.count(QStringLiteral("font-family:'Quar Tessilor Figures 1',monospace;")), 1);
    EXPECT_TRUE(page.contains(QStringLiteral("letter-spacing:0;word-spacing:0;font-kerning:none;")));
    static const QRegularExpression line(
        QStringLiteral("<div style=\"white-space:pre;([^\"]*)line-height:([0-9.]+)px;"));
    QStringList heights;
    for (auto m = line.globalMatch(page); m.hasNext();) {
        const QRegularExpressionMatch hit = m.next();
        if (hit.captured(1).contains(lucida))
            heights.append(hit.captured(2));
    }
    ASSERT_EQ(heights.size(), 3);
    EXPECT_GT(heights[0].toDouble(), 10.0); // 10 points are 13.3 pixels
    EXPECT_EQ(heights.count(heights[0]), 3);
    // Text, the filled run and the empty line.
    EXPECT_TRUE(page.contains(QStringLiteral("color:#010203;")));
    // Backgrounds stay on their runs: on the line, a block, one would fill
    // the page's whole width beyond the art.
    EXPECT_TRUE(page.contains(QStringLiteral("><span style=\"background-color:#abcdef;\">%%</span>@@ &lt;"
                                             "<span style=\"background-color:#abcdef;\">##</span></div>")));
    static const QRegularExpression lineBackground(QStringLiteral("<div style=\"[^\"]*background-color"));
    EXPECT_FALSE(page.contains(lineBackground));
    EXPECT_TRUE(page.contains(QStringLiteral(">::  ..</div>")));
    EXPECT_TRUE(page.contains(QStringLiteral("<br></div>")));

    // The clipboard's HTML has the same lists and no font inside.
    const QString clip = QString::fromUtf8(writeHtml(doc));
    EXPECT_FALSE(clip.contains(QStringLiteral("@font-face")));
    EXPECT_EQ(clip.count(lucida), 3);
}

namespace {

// What an HTML parser (Python's) finds in a page: every element with its
// attributes, and for every font-family declaration in a style attribute
// or a style element the family its first CSS string names, unescaped as a
// browser does.
QJsonObject parsedPage(const QByteArray &page)
{
    static const char script[] = R"(
import sys, json, re
from html.parser import HTMLParser
def css_string(s):
    # The first quoted CSS string of s, with its escapes undone.
    m = re.match(r"\s*(['\"])((?:\\.|\\\n|[^\\])*?)\1", s, re.S)
    if not m:
        return None
    def undo(e):
        hexa = re.match(r"\\([0-9a-fA-F]{1,6})\s?", e.group(0))
        return chr(int(hexa.group(1), 16)) if hexa else e.group(0)[1:]
    return re.sub(r"\\[0-9a-fA-F]{1,6}\s?|\\.", undo, m.group(2), flags=re.S)
def families(css):
    return [css_string(css[m.end():]) for m in re.finditer(r"font-family:", css)]
class Page(HTMLParser):
    def __init__(self):
        super().__init__()
        self.elements, self.families, self.in_style = [], [], False
    def handle_starttag(self, tag, attrs):
        self.elements.append({"tag": tag, "attributes": [a for a, _ in attrs]})
        for a, v in attrs:
            if a == "style":
                self.families += families(v)
        self.in_style = tag == "style"
    def handle_endtag(self, tag):
        self.in_style = False
    def handle_data(self, data):
        if self.in_style:
            self.families += families(data)
p = Page()
p.feed(sys.stdin.read())
print(json.dumps({"elements": p.elements, "families": p.families}))
)";
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QString::fromUtf8(script)});
    if (!python.waitForStarted(10000))
        return {};
    python.write(page);
    python.closeWriteChannel();
    python.waitForFinished(30000);
    return QJsonDocument::fromJson(python.readAllStandardOutput()).object();
}

} // namespace

TEST(Html, FontFamilyStaysInsideItsCssString)
{
    // A family name is text from the user (pasted RTF names any font): in a
    // style attribute and in the page's style element it stays one CSS
    // string, whatever it holds.
    if (!QFile::exists(QStringLiteral("/usr/bin/python3")))
        GTEST_SKIP() << "python3 is not installed";
    const QStringList families{QStringLiteral("x\" onmouseover=\"alert(document.domain)\" data-x=\""),
                               QStringLiteral("a<b>c"),
                               QStringLiteral("a&quot;b&amp;"),
                               QStringLiteral("it's"),
                               QStringLiteral("back\\slash"),
                               QStringLiteral("two\nlines\r"),
                               QStringLiteral("</style><script>alert(1)</script>")};
    QTextDocument doc;
    QTextCursor c(&doc);
    for (const QString &family : families) {
        c.insertText(QStringLiteral("ab"), runFormat(QStringLiteral("Liberation Mono"), 9, 0));
        c.insertText(QStringLiteral("cd"), runFormat(family, 9, 0));
        c.insertBlock();
    }
    HtmlPageOptions options;
    options.fonts = {{families.last(), "font data"}};
    for (const QByteArray &page : {writeHtmlPage(doc, options), writeHtml(doc)}) {
        const QJsonObject parsed = parsedPage(page);
        ASSERT_FALSE(parsed.isEmpty()) << "the parser gave nothing";
        for (const QJsonValue &e : parsed.value(QStringLiteral("elements")).toArray()) {
            const QString tag = e.toObject().value(QStringLiteral("tag")).toString();
            EXPECT_TRUE(
                QStringList({"html", "head", "meta", "title", "style", "body", "div", "span", "br", "p"}).contains(tag))
                << tag.toStdString();
            for (const QJsonValue &a : e.toObject().value(QStringLiteral("attributes")).toArray()) {
                EXPECT_TRUE(QStringList({"style", "charset", "name", "content"}).contains(a.toString()))
                    << tag.toStdString() << " " << a.toString().toStdString();
            }
        }
        // Each family comes back whole where it was written.
        QStringList found;
        for (const QJsonValue &f : parsed.value(QStringLiteral("families")).toArray())
            found.append(f.toString());
        for (const QString &family : families)
            EXPECT_TRUE(found.contains(family)) << family.toStdString();
    }
}

TEST(DocumentFill, FigureSinkBuildsOneRowPerParagraph)
{
    QImage grid(16, 16, QImage::Format_RGB32);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            grid.setPixel(x, y, qRgb(x * 16, y * 16, x < 8 ? 0 : 255));
    QTextDocument doc;
    const QFont font(QStringLiteral("Quar Tessilor Figures 1"), 12);
    FigureDocumentSink sink(&doc, QChar(u'n'), font, 0);
    const FigureResult r = convertToFigures(grid, false, nullptr, &sink);
    ASSERT_EQ(r.error, ConvertError::None);
    EXPECT_EQ(sink.rows(), 16);
    // 16 rows of 16 glyphs, each ended by a line break: an empty last paragraph.
    EXPECT_EQ(doc.blockCount(), 17);
    EXPECT_EQ(doc.characterCount() - 1, 16 * 17);
    for (int row = 0; row < 16; ++row) {
        const QTextBlock b = doc.findBlock(17 * row);
        EXPECT_EQ(b.position(), 17 * row); // row r begins at (cols + 1) * r
        EXPECT_EQ(b.text(), QString(16, u'n'));
        for (int col = 0; col < 16; ++col) {
            QTextCursor c(&doc);
            c.setPosition(17 * row + col + 1);
            const QTextCharFormat f = c.charFormat();
            ASSERT_EQ(colorTo24(f.foreground().color()), figureCellColor(grid.pixel(col, row), false)) << row << col;
            ASSERT_EQ(formatFace(f), QStringLiteral("Quar Tessilor Figures 1"));
            ASSERT_DOUBLE_EQ(f.fontPointSize(), 12);
        }
    }
    // The figure font must never be swapped for a Cyrillic one by a reader.
    const QByteArray rtf = writeRtf(doc);
    EXPECT_TRUE(rtf.contains("\\fnil\\fcharset0 Quar Tessilor Figures 1;"));
    EXPECT_TRUE(rtf.contains("\\par\r\n"));
    QTextDocument back;
    ASSERT_TRUE(readRtf(rtf, back));
    expectSameRuns(doc, back);
}

TEST(DocumentFill, FilledFiguresKeepEveryBackgroundInRtfAndHtml)
{
    QImage grid(12, 5, QImage::Format_RGB32);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 12; ++x)
            grid.setPixel(x, y, qRgb(x * 21, 250 - y * 50, (x * y * 37) % 256));
    grid.setPixel(1, 0, grid.pixel(0, 0)); // equal neighbours share a run
    QTextDocument doc;
    FigureDocumentSink sink(&doc, QChar(u'V'), QFont(QStringLiteral("Quar Tessilor Figures 1"), 10), 0);
    ASSERT_EQ(convertToFigures(grid, false, 0.27, nullptr, &sink).error, ConvertError::None);
    sink.finish();
    const QByteArray rtf = writeRtf(doc);
    // Shading in the table's colours, which word processors show as they are.
    EXPECT_TRUE(rtf.contains("\\chshdng0\\chcbpat"));
    EXPECT_FALSE(rtf.contains("\\highlight"));
    QTextDocument back;
    ASSERT_TRUE(readRtf(rtf, back));
    const QString html = QString::fromUtf8(writeHtml(doc));
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 12; ++x) {
            const FillColors want = figureFill(figureCellColor(grid.pixel(x, y), false), 0.27);
            for (const QTextDocument *d : {&doc, &back}) {
                QTextCursor c(const_cast<QTextDocument *>(d));
                c.setPosition(13 * y + x + 1);
                ASSERT_EQ(colorTo24(c.charFormat().foreground().color()), want.figure) << x << "," << y;
                ASSERT_EQ(colorTo24(c.charFormat().background().color()), want.background) << x << "," << y;
            }
            EXPECT_TRUE(html.contains(QStringLiteral("background-color:%1").arg(colorFrom24(want.background).name())))
                << x << "," << y;
        }
    }
}

TEST(DocumentFill, FigureSinkMergesEqualNeighboursAndKeepsPartialRows)
{
    QImage grid(10, 4, QImage::Format_RGB32);
    grid.fill(qRgb(10, 200, 30));
    QTextDocument doc;
    FigureDocumentSink sink(&doc, QChar(u'V'), QFont(QStringLiteral("DejaVu Sans"), 10), 0);
    qint16 stop = 0;
    int cells = 0;
    // Stop in row 2 after 7 cells.
    struct Counting : FigureSink {
        FigureSink *inner;
        int *cells;
        qint16 *stop;
        void cell(quint32 c) override
        {
            inner->cell(c);
            if (++*cells == 27)
                *stop = -1;
        }
        void endRow(int r, int n) override { inner->endRow(r, n); }
    } counting;
    counting.inner = &sink;
    counting.cells = &cells;
    counting.stop = &stop;
    RunHooks hooks;
    hooks.stopFlag = &stop;
    const FigureResult r = convertToFigures(grid, true, nullptr, &counting, hooks);
    EXPECT_EQ(r.counts.gridRows, 3);
    EXPECT_EQ(doc.blockCount(), 4);
    EXPECT_EQ(doc.findBlockByNumber(2).text(), QString(7, u'V'));
    // A row of one colour is one run.
    int fragments = 0;
    for (auto it = doc.begin().begin(); !it.atEnd(); ++it)
        ++fragments;
    EXPECT_EQ(fragments, 1);
    QTextCursor c(&doc);
    c.setPosition(1);
    EXPECT_EQ(colorTo24(c.charFormat().foreground().color()), 5263440u); // grey 80
}

TEST(DocumentFill, FigureSinkKeepsEveryColourOfAManyColouredMosaic)
{
    // More colours than the sink's format cache holds, in an order that
    // makes cached formats be replaced and asked for again.
    QImage grid(96, 80, QImage::Format_RGB32);
    QRandomGenerator rng(21);
    for (int y = 0; y < grid.height(); ++y)
        for (int x = 0; x < grid.width(); ++x)
            grid.setPixel(x, y, (x + y) % 3 == 0 ? qRgb(9, 9, 9) : rng.generate() | 0xff000000u);
    for (const bool gray : {false, true}) {
        QTextDocument doc;
        FigureDocumentSink sink(&doc, QChar(u'V'), QFont(QStringLiteral("DejaVu Sans"), 10), 0);
        convertToFigures(grid, gray, nullptr, &sink);
        sink.finish();
        QTextBlock row = doc.begin();
        for (int y = 0; y < grid.height(); ++y, row = row.next()) {
            ASSERT_TRUE(row.isValid());
            int x = 0;
            for (auto it = row.begin(); !it.atEnd(); ++it) {
                const QTextFragment f = it.fragment();
                const quint32 color = colorTo24(f.charFormat().foreground().color());
                for (int i = 0; i < f.length(); ++i, ++x)
                    ASSERT_EQ(color, figureCellColor(grid.pixel(x, y), gray)) << x << "," << y << " gray " << gray;
            }
            ASSERT_EQ(x, grid.width());
        }
    }
}

TEST(DocumentFill, TextFillUsesTheFontAndColourAndKeepsLines)
{
    QTextDocument doc;
    QTextBlockFormat block;
    ParaFormat2 p;
    p.dwMask = PFM_STARTINDENT;
    p.dxStartIndent = 50;
    applyParaFormat(p, block);
    QTextCursor(&doc).setBlockFormat(block);
    fillTextDocument(doc, QStringLiteral("ЖЖ..\r\n..ЖЖ\r\n"), QFont(QStringLiteral("Courier New Cyr"), 8),
                     rgbValue(0, 0, 128));
    EXPECT_EQ(doc.blockCount(), 3);
    EXPECT_EQ(doc.begin().text(), QStringLiteral("ЖЖ.."));
    QTextCursor c(&doc);
    c.setPosition(6);
    EXPECT_EQ(formatFace(c.charFormat()), QStringLiteral("Courier New Cyr"));
    EXPECT_DOUBLE_EQ(c.charFormat().fontPointSize(), 8);
    EXPECT_EQ(colorTo24(c.charFormat().foreground().color()), rgbValue(0, 0, 128));
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        EXPECT_EQ(paraFormatOf(b.blockFormat(), PFM_STARTINDENT).dxStartIndent, 50);
    EXPECT_EQ(writePlainText(doc), QStringLiteral("ЖЖ..\r\n..ЖЖ\r\n").toUtf8());
}
