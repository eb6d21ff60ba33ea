// The program's results read by other applications from Debian, as a user
// would open them: LibreOffice converting the RTF of tessilor-cli to PDF, and
// Chromium showing its HTML page. Both run in a home of their own (fonts
// shared there by tessilor-cli, a fresh LibreOffice profile, a fresh browser
// profile). Tests are skipped when the applications are not installed.
#include "portabletestsupport.h"

#include "art/fontfaces.h"
#include "art/textconvert.h"
#include "art/fonttables.h"
#include "base/options.h"
#include "base/paths.h"
#include "document/documentfill.h"
#include "document/resultexport.h"
#include "document/rtf.h"
#include "fonts/fontmodule.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QRegularExpression>
#include <QTextDocument>
#include <QUrl>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace tessilor;
using portabletest::TestHome;

namespace {

// Text lines have two characters per cell of the conversion grid, figure
// lines one figure.
constexpr int kCells = 32;
constexpr int kRows = 24;

// One start of LibreOffice, with a profile of its own, converts the RTF
// files (named relative to the home) into PDF files in home/pdf.
portabletest::Run convertToPdf(const TestHome &home, const QStringList &rtfs)
{
    return home.run(QStringLiteral("soffice"),
                    QStringList{QStringLiteral("-env:UserInstallation=") +
                                    QUrl::fromLocalFile(home.path(QStringLiteral("lo-profile"))).toString(),
                                QStringLiteral("--headless"), QStringLiteral("--norestore"),
                                QStringLiteral("--convert-to"), QStringLiteral("pdf"), QStringLiteral("--outdir"),
                                home.path(QStringLiteral("pdf"))} +
                        rtfs,
                    300000);
}

// A picture for a kCells x kRows grid: a black frame, every fifth column
// white (spaces, or figures in white, between the others) and greys that
// change from cell to cell, so that each line has different characters in
// different places.
QString writePicture(const TestHome &home)
{
    QImage img(kCells * 20, kRows * 10, QImage::Format_RGB32);
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            const int cx = x / 20, cy = y / 10;
            int grey = ((cx * 37 + cy * 91) % 11) * 23;
            if (cx == 0 || cy == 0 || cx == kCells - 1 || cy == kRows - 1)
                grey = 0;
            else if (cx % 5 == 2)
                grey = 255;
            img.setPixel(x, y, qRgb(grey, grey, grey));
        }
    }
    const QString path = home.path(QStringLiteral("picture.bmp"));
    EXPECT_TRUE(QImageWriter(path, "bmp").write(img));
    return path;
}

QStringList gridArgs(const QString &picture, int columns, int rows)
{
    return {QStringLiteral("-c"), QString::number(columns), QStringLiteral("-r"), QString::number(rows), picture};
}

QByteArray bytesOf(const QString &file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// --------------------------------------------------------------- PDF ----

struct PdfWord {
    double xMin = 0, xMax = 0;
    QString text;
};

// Words of a PDF with their boxes, as pdftotext -bbox finds them.
QList<PdfWord> pdfWords(const TestHome &home, const QString &pdf)
{
    const portabletest::Run r =
        home.run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    EXPECT_EQ(r.status, 0) << r.err.constData();
    static const QRegularExpression word(
        QStringLiteral("<word xMin=\"([0-9.]+)\" yMin=\"[0-9.]+\" xMax=\"([0-9.]+)\" yMax=\"[0-9.]+\">([^<]*)</word>"));
    QList<PdfWord> words;
    for (auto it = word.globalMatch(QString::fromUtf8(r.out)); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        QString text = m.captured(3);
        text.replace(QLatin1String("&lt;"), QLatin1String("<"))
            .replace(QLatin1String("&gt;"), QLatin1String(">"))
            .replace(QLatin1String("&quot;"), QLatin1String("\""))
            .replace(QLatin1String("&apos;"), QLatin1String("'"))
            .replace(QLatin1String("&amp;"), QLatin1String("&"));
        words.append(PdfWord{m.captured(1).toDouble(), m.captured(2).toDouble(), text});
    }
    return words;
}

// Font names pdffonts lists for a PDF, without the subset prefix.
QStringList pdfFonts(const TestHome &home, const QString &pdf)
{
    const portabletest::Run r = home.run(QStringLiteral("pdffonts"), {pdf});
    EXPECT_EQ(r.status, 0) << r.err.constData();
    QStringList names;
    const QStringList lines = QString::fromUtf8(r.out).split(u'\n', Qt::SkipEmptyParts);
    for (qsizetype i = 2; i < lines.size(); ++i) {
        QString name = lines[i].section(u' ', 0, 0);
        if (name.size() > 7 && name[6] == u'+')
            name = name.mid(7);
        names.append(name);
    }
    return names;
}

// Every word is set with one advance per character, and starts a whole
// number of advances from the start of the lines: the columns line up. The
// word processor puts glyphs on a grid of 1/20 point, so small errors add
// up along a line; a proportional face misses by a point or more per
// character. With spaces, words inside the lines are checked too. Returns
// the advance in points.
double expectEqualAdvances(const QList<PdfWord> &words, bool spaces)
{
    if (words.isEmpty()) {
        ADD_FAILURE() << "no words in the PDF";
        return 0;
    }
    double width = 0, left = 1e9;
    qsizetype chars = 0;
    for (const PdfWord &w : words) {
        width += w.xMax - w.xMin;
        chars += w.text.size();
        left = std::min(left, w.xMin);
    }
    const double advance = width / double(chars);
    int inside = 0;
    for (const PdfWord &w : words) {
        SCOPED_TRACE(w.text.toStdString());
        const double expected = advance * double(w.text.size());
        EXPECT_NEAR(w.xMax - w.xMin, expected, 0.1 + 0.002 * expected);
        const double column = (w.xMin - left) / advance;
        EXPECT_NEAR(column, std::round(column), 0.1);
        if (column > 0.5)
            ++inside;
    }
    if (spaces) {
        EXPECT_GT(inside, kRows);
    }
    return advance;
}

} // namespace

TEST(OutsideApplications, WordProcessorSetsTextMonospacedAndFiguresInTheFigureFont)
{
    if (!portabletest::haveProgram(QStringLiteral("soffice")) ||
        !portabletest::haveProgram(QStringLiteral("pdffonts")) ||
        !portabletest::haveProgram(QStringLiteral("pdftotext")))
        GTEST_SKIP() << "LibreOffice (libreoffice-writer-nogui) or pdffonts/pdftotext (poppler-utils) is not installed";
    TestHome home;
    const QString picture = writePicture(home);
    QStringList rtfs;
    for (int font = 1; font <= 4; ++font) {
        const QString rtf = QStringLiteral("text%1.rtf").arg(font);
        const portabletest::Run r =
            home.run(QStringLiteral(TESSILOR_CLI_PATH),
                     QStringList{QStringLiteral("-f"), QString::number(font), QStringLiteral("-s"),
                                 QStringLiteral("10"), QStringLiteral("-o"), rtf} +
                         gridArgs(picture, 2 * kCells, kRows));
        ASSERT_EQ(r.status, 0) << r.err.constData();
        rtfs.append(rtf);
    }
    const portabletest::Run fig =
        home.run(QStringLiteral(TESSILOR_CLI_PATH),
                 QStringList{QStringLiteral("-m"), QStringLiteral("figures"), QStringLiteral("-s"),
                             QStringLiteral("12"), QStringLiteral("-o"), QStringLiteral("figures.rtf")} +
                     gridArgs(picture, kCells, kRows));
    ASSERT_EQ(fig.status, 0) << fig.err.constData();
    rtfs.append(QStringLiteral("figures.rtf"));

    // One start of LibreOffice converts all five, with a profile of its own.
    const portabletest::Run lo = convertToPdf(home, rtfs);
    ASSERT_TRUE(lo.finished) << "LibreOffice did not finish";
    ASSERT_EQ(lo.status, 0) << lo.err.constData();

    for (int font = 1; font <= 4; ++font) {
        const QString face = rampFonts()[size_t(font - 1)].face;
        SCOPED_TRACE(face.toStdString());
        const QString pdf = home.path(QStringLiteral("pdf/text%1.pdf").arg(font));
        const QStringList fonts = pdfFonts(home, pdf);
        ASSERT_EQ(fonts.size(), 1) << fonts.join(u',').toStdString();
        std::printf("%-16s set in %s\n", qPrintable(face), qPrintable(fonts[0]));
        QStringList monospaced;
        for (const QString &standIn : monospaceStandIns(face))
            monospaced.append(QString(standIn).remove(u' '));
        EXPECT_TRUE(
            std::any_of(monospaced.begin(), monospaced.end(), [&](const QString &m) { return fonts[0].startsWith(m); }))
            << "set in " << fonts[0].toStdString();
        expectEqualAdvances(pdfWords(home, pdf), true);
    }
    const QString pdf = home.path(QStringLiteral("pdf/figures.pdf"));
    const QStringList fonts = pdfFonts(home, pdf);
    EXPECT_EQ(fonts.join(u','), QStringLiteral("QuarTessilorFigures1-Regular"));
    // Figure cells are square: one em (12 points) apart.
    EXPECT_NEAR(expectEqualAdvances(pdfWords(home, pdf), false), 12.0, 0.06);
}

// A figure mosaic of 1024 columns: a figure advances one em, so even at
// half a point a line is wider than A4 holds upright; the page is turned and
// every line of figures stays whole.
TEST(OutsideApplications, WordProcessorKeepsTheWidestFigureMosaicWhole)
{
    if (!portabletest::haveProgram(QStringLiteral("soffice")) ||
        !portabletest::haveProgram(QStringLiteral("pdftotext")))
        GTEST_SKIP() << "LibreOffice (libreoffice-writer-nogui) or pdftotext (poppler-utils) is not installed";
    TestHome home;
    const QString picture = writePicture(home);
    constexpr int kWide = 1024, kLines = 16;
    const portabletest::Run fig =
        home.run(QStringLiteral(TESSILOR_CLI_PATH), QStringList{QStringLiteral("-m"), QStringLiteral("figures"),
                                                                QStringLiteral("-o"), QStringLiteral("wide.rtf")} +
                                                        gridArgs(picture, kWide, kLines));
    ASSERT_EQ(fig.status, 0) << fig.err.constData();
    EXPECT_TRUE(bytesOf(home.path(QStringLiteral("wide.rtf"))).contains("\\landscape"));
    const portabletest::Run lo = convertToPdf(home, {QStringLiteral("wide.rtf")});
    ASSERT_TRUE(lo.finished) << "LibreOffice did not finish";
    ASSERT_EQ(lo.status, 0) << lo.err.constData();
    const portabletest::Run r =
        home.run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), QStringLiteral("-r"), QStringLiteral("1200"),
                                               home.path(QStringLiteral("pdf/wide.pdf")), QStringLiteral("-")});
    ASSERT_EQ(r.status, 0) << r.err.constData();
    QStringList lines;
    for (const QString &line : QString::fromUtf8(r.out).split(u'\n'))
        if (!line.trimmed().remove(u'\f').isEmpty())
            lines.append(line.trimmed().remove(u'\f').remove(u' '));
    EXPECT_EQ(lines.size(), kLines);
    for (const QString &line : std::as_const(lines))
        EXPECT_EQ(line, QString(kWide, u'V'));
}

namespace {

// A text result of columns x rows cells as the program makes it: a frame of
// the darkest character round greys that change from cell to cell, so that
// every line starts and ends with ink.
QString framedTextResult(int columns, int rows)
{
    QImage grid(columns, rows, QImage::Format_RGB32);
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x) {
            const int grey =
                (x == 0 || y == 0 || x == columns - 1 || y == rows - 1) ? 0 : ((x * 37 + y * 91) % 11) * 23;
            grid.setPixel(x, y, qRgb(grey, grey, grey));
        }
    QByteArray bytes;
    QBuffer out(&bytes);
    out.open(QIODevice::WriteOnly);
    EXPECT_EQ(convertToText(grid, rampFonts()[0].ramp, 0, out).error, ConvertError::None);
    return QString::fromUtf8(bytes);
}

} // namespace

// The RTF of a result opens in the word processor with every line of the art
// on a line of its own: a 60-column result at 8 points on the page turned to
// landscape, 160 and 366 columns in the print preview's smaller size.
TEST(OutsideApplications, WordProcessorKeepsEveryLineOfTheArt)
{
    if (!portabletest::haveProgram(QStringLiteral("soffice")) ||
        !portabletest::haveProgram(QStringLiteral("pdftotext")))
        GTEST_SKIP() << "LibreOffice (libreoffice-writer-nogui) or pdftotext (poppler-utils) is not installed";
    TestHome home;
    // As the programs do when they write RTF: the text fonts' stand-ins are
    // known to Qt and shared with the word processor.
    installFontSubstitutions();
    ASSERT_NE(shareTextFontAliases(textFontAliasFile()).outcome, FontShare::Failed);
    struct Case {
        int columns, rows;
        const char *page; // what the RTF asks for
    };
    const Case cases[] = {{60, 24, "\\landscape"}, {160, 50, "\\paperw11906"}, {366, 110, "\\paperw11906"}};
    QStringList rtfs;
    QList<QString> texts;
    for (const Case &c : cases) {
        const QString text = framedTextResult(c.columns, c.rows);
        QTextDocument doc;
        const QFont font(QStringLiteral("Courier New Cyr"), 8);
        fillTextDocument(doc, text, font, 0);
        PrintSource source;
        source.resultKind = 3;
        source.gridColumns = c.columns;
        source.gridRows = c.rows;
        source.fontName = font.family();
        source.fontSize = 8;
        const QByteArray rtf = writeResultRtf(doc, source, resultPageLayout());
        EXPECT_TRUE(rtf.contains(c.page)) << c.columns;
        const QString name = QStringLiteral("art%1.rtf").arg(c.columns);
        QFile file(home.path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(rtf);
        file.close();
        rtfs.append(name);
        texts.append(text);
    }
    const portabletest::Run lo = convertToPdf(home, rtfs);
    ASSERT_TRUE(lo.finished) << "LibreOffice did not finish";
    ASSERT_EQ(lo.status, 0) << lo.err.constData();

    for (qsizetype i = 0; i < rtfs.size(); ++i) {
        const Case &c = cases[i];
        SCOPED_TRACE(c.columns);
        const QString pdf = home.path(QStringLiteral("pdf/art%1.pdf").arg(c.columns));
        // At 1200 dpi: lines of one point, 1.13 points apart, stay apart.
        const portabletest::Run r =
            home.run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), QStringLiteral("-r"),
                                                   QStringLiteral("1200"), pdf, QStringLiteral("-")});
        ASSERT_EQ(r.status, 0) << r.err.constData();
        QStringList lines;
        for (const QString &line : QString::fromUtf8(r.out).split(u'\n'))
            if (!line.trimmed().remove(u'\f').isEmpty())
                lines.append(line.trimmed().remove(u'\f'));
        // Exactly the art's lines, each whole: as long as the art's and the
        // same characters, the spaces as the layout puts them back.
        const QStringList art = texts[i].split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        ASSERT_EQ(art.size(), c.rows);
        EXPECT_EQ(lines.size(), c.rows) << lines.mid(0, 3).join(u'\n').toStdString();
        int whole = 0;
        for (qsizetype k = 0; k < std::min(lines.size(), art.size()); ++k) {
            const QString want = art[k].trimmed();
            whole += lines[k] == want || QString(lines[k]).remove(u' ') == QString(want).remove(u' ');
        }
        EXPECT_EQ(whole, c.rows);
        std::printf("%d columns: %lld lines in the PDF, %d of %d whole\n", c.columns, qlonglong(lines.size()), whole,
                    c.rows);
        if (HasFailure()) {
            // Kept for a look: the RTF and the word processor's PDF.
            QDir().mkpath(QStringLiteral("outside-failures"));
            QFile::copy(pdf, QStringLiteral("outside-failures/art%1.pdf").arg(c.columns));
            QFile::copy(home.path(rtfs[i]), QStringLiteral("outside-failures/") + rtfs[i]);
        }
    }
}

namespace {

// ----------------------------------------------------------- pictures ----

// What a rendering of the art looks like, measured on a white background.
struct Ink {
    QRect box;            // the inked pixels
    double darkness = 0;  // mean darkness inside the box, 0..1
    int rightSpread = 0;  // how far the lines' last inked pixels lie apart
    int emptyColumns = 0; // pixel columns inside the frame without ink
};

Ink measureInk(const QImage &picture, int lines)
{
    const QImage img = picture.convertToFormat(QImage::Format_Grayscale8);
    constexpr int kInk = 96; // darker than this much counts as ink
    auto ink = [&](int x, int y) { return 255 - int(img.constScanLine(y)[x]); };
    int left = img.width(), right = -1, top = img.height(), bottom = -1;
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            if (ink(x, y) > kInk) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    Ink r;
    if (right < 0)
        return r;
    r.box = QRect(QPoint(left, top), QPoint(right, bottom));
    // Gaps are looked for inside the frame: below the first line and above
    // the last.
    const int innerTop = top + r.box.height() / lines;
    const int innerBottom = top + r.box.height() * (lines - 1) / lines;
    double sum = 0;
    for (int x = left; x <= right; ++x) {
        bool any = false;
        for (int y = top; y <= bottom; ++y) {
            sum += ink(x, y);
            any = any || (y >= innerTop && y < innerBottom && ink(x, y) > kInk);
        }
        r.emptyColumns += any ? 0 : 1;
    }
    r.darkness = sum / 255.0 / double(r.box.width()) / double(r.box.height());
    int minRight = right, maxRight = left;
    for (int line = 0; line < lines; ++line) {
        const int y0 = top + r.box.height() * line / lines;
        const int y1 = top + r.box.height() * (line + 1) / lines;
        int last = -1;
        for (int y = y0; y < y1; ++y)
            for (int x = right; x > last; --x)
                if (ink(x, y) > kInk) {
                    last = x;
                    break;
                }
        minRight = std::min(minRight, last);
        maxRight = std::max(maxRight, last);
    }
    r.rightSpread = maxRight - minRight;
    return r;
}

// The program's own rendering of a result: its RTF read into a document and
// drawn at 96 dpi, with the fonts the program registers at start.
QImage programRendering(const QByteArray &rtf)
{
    static const bool fontsReady = [] {
        installFontSubstitutions();
        InstallFont(figureFontFile(1));
        InstallFont(figureFontFile(2));
        return true;
    }();
    Q_UNUSED(fontsReady);
    QTextDocument doc;
    EXPECT_TRUE(readRtf(rtf, doc));
    QImage img(doc.size().toSize() + QSize(20, 20), QImage::Format_RGB32);
    img.setDotsPerMeterX(3780);
    img.setDotsPerMeterY(3780);
    img.fill(Qt::white);
    QPainter p(&img);
    p.translate(10, 10);
    doc.drawContents(&p);
    return img;
}

} // namespace

TEST(OutsideApplications, BrowserShowsTheArtAsTheProgramDoes)
{
    if (!portabletest::haveProgram(QStringLiteral("chromium")))
        GTEST_SKIP() << "Chromium (Debian package chromium) is not installed";
    struct Case {
        QStringList args;
        int columns;
        const char *what;
    };
    const QList<Case> cases{
        {{QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-s"), QStringLiteral("10")},
         2 * kCells,
         "Courier New Cyr"},
        {{QStringLiteral("-f"), QStringLiteral("2")}, 2 * kCells, "Fixedsys"},
        {{QStringLiteral("-f"), QStringLiteral("3"), QStringLiteral("-s"), QStringLiteral("10")},
         2 * kCells,
         "Lucida Console"},
        {{QStringLiteral("-f"), QStringLiteral("4")}, 2 * kCells, "Terminal"},
        {{QStringLiteral("-m"), QStringLiteral("figures"), QStringLiteral("-s"), QStringLiteral("12")},
         kCells,
         "figures, font 1"},
        {{QStringLiteral("-m"), QStringLiteral("figures"), QStringLiteral("--figure-font"), QStringLiteral("2"),
          QStringLiteral("--figure-code"), QStringLiteral("40"), QStringLiteral("-s"), QStringLiteral("12")},
         kCells,
         "figures, font 2"},
    };
    TestHome home;
    // The browser runs in a home of its own, where nothing was shared: the
    // page must bring what it needs.
    TestHome browserHome;
    const QString picture = writePicture(home);
    int n = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ++n;
        const QStringList args = c.args + gridArgs(picture, c.columns, kRows);
        const QString html = home.path(QStringLiteral("page%1.html").arg(n));
        const QString rtf = home.path(QStringLiteral("page%1.rtf").arg(n));
        portabletest::Run r =
            home.run(QStringLiteral(TESSILOR_CLI_PATH), args + QStringList{QStringLiteral("-o"), html});
        ASSERT_EQ(r.status, 0) << r.err.constData();
        r = home.run(QStringLiteral(TESSILOR_CLI_PATH), args + QStringList{QStringLiteral("-o"), rtf});
        ASSERT_EQ(r.status, 0) << r.err.constData();

        const QImage own = programRendering(bytesOf(rtf));
        const QString shot = home.path(QStringLiteral("page%1.png").arg(n));
        r = browserHome.run(QStringLiteral("chromium"),
                            {QStringLiteral("--headless"), QStringLiteral("--no-sandbox"),
                             QStringLiteral("--disable-gpu"), QStringLiteral("--disable-quic"),
                             QStringLiteral("--no-first-run"), QStringLiteral("--disable-background-networking"),
                             QStringLiteral("--disable-component-update"), QStringLiteral("--disable-sync"),
                             QStringLiteral("--user-data-dir=") + browserHome.path(QStringLiteral("profile%1").arg(n)),
                             QStringLiteral("--hide-scrollbars"), QStringLiteral("--force-device-scale-factor=1"),
                             QStringLiteral("--window-size=%1,%2").arg(own.width() + 100).arg(own.height() + 100),
                             QStringLiteral("--screenshot=") + shot, QUrl::fromLocalFile(html).toString()},
                            120000);
        ASSERT_TRUE(r.finished) << "Chromium did not finish";
        const QImage browser(shot);
        ASSERT_FALSE(browser.isNull()) << r.err.constData();

        const Ink a = measureInk(own, kRows);
        const Ink b = measureInk(browser, kRows);
        std::printf("%-16s program %dx%d dark %.3f spread %d gaps %d | browser %dx%d dark %.3f spread %d gaps %d\n",
                    c.what, a.box.width(), a.box.height(), a.darkness, a.rightSpread, a.emptyColumns, b.box.width(),
                    b.box.height(), b.darkness, b.rightSpread, b.emptyColumns);
        SCOPED_TRACE(testing::Message() << "program " << a.box.width() << "x" << a.box.height() << " dark "
                                        << a.darkness << " spread " << a.rightSpread << " gaps " << a.emptyColumns
                                        << "; browser " << b.box.width() << "x" << b.box.height() << " dark "
                                        << b.darkness << " spread " << b.rightSpread << " gaps " << b.emptyColumns);
        ASSERT_TRUE(a.box.isValid() && b.box.isValid());
        // Same cells: the art covers the same area ...
        EXPECT_NEAR(double(b.box.width()) / a.box.width(), 1.0, 0.05);
        EXPECT_NEAR(double(b.box.height()) / a.box.height(), 1.0, 0.03);
        // ... the lines end in one column and the white columns of the
        // picture run straight through all lines, as in the program ...
        EXPECT_LE(a.rightSpread, 2);
        EXPECT_LE(b.rightSpread, 2);
        EXPECT_GE(a.emptyColumns, kCells / 5);
        EXPECT_GE(b.emptyColumns, a.emptyColumns * 6 / 10);
        // ... and the same glyphs fill them.
        EXPECT_NEAR(b.darkness / a.darkness, 1.0, 0.2);
        if (HasFailure()) {
            // Kept for a look: the browser's and the program's picture.
            QDir().mkpath(QStringLiteral("outside-failures"));
            const QString base = QStringLiteral("outside-failures/page%1").arg(n);
            QFile::copy(shot, base + QStringLiteral("-browser.png"));
            own.save(base + QStringLiteral("-program.png"));
            std::printf("pictures of the failing page: %s/%s-*.png\n", qPrintable(QDir::currentPath()),
                        qPrintable(base));
        }
    }
}
