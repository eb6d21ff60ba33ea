#include "art/figureconvert.h"
#include "art/figurefill.h"
#include "art/fontfaces.h"
#include "art/textconvert.h"
#include "art/toneconvert.h"
#include "art/toneramp.h"
#include "art/fonttables.h"
#include "base/options.h"
#include "base/paths.h"
#include "base/paths.h"
#include "cli/cli.h"
#include "document/conversion.h"
#include "document/plaintext.h"
#include "document/richformat.h"
#include "document/rtf.h"
#include "fonts/fontmodule.h"
#include "picture/grid.h"
#include "picture/picturesource.h"
#include "picture/imageloader.h"
#include "picture/linearlight.h"
#include "picture/resample.h"
#include "support/picturefile.h"
#include "support/tonelevel.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <csignal>
#include <map>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using namespace tessilor;

namespace {

struct CliRun {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

CliRun runCli(const QStringList &args)
{
    CliRun r;
    QBuffer out(&r.out), err(&r.err);
    out.open(QIODevice::WriteOnly);
    err.open(QIODevice::WriteOnly);
    r.status = cli::run(args, out, err);
    return r;
}

QString writeImage(const QTemporaryDir &dir, const QString &name, const QImage &img, const char *fmt)
{
    const QString path = dir.filePath(name);
    QImageWriter w(path, fmt);
    EXPECT_TRUE(w.write(img));
    return path;
}

// The real program, as a shell would start it.
struct ProcessRun {
    int status = -1; // -1 when it did not end by itself (a signal, a hang)
    QByteArray out;
    QByteArray err;
};

ProcessRun runProgram(const QStringList &args, const QString &workDir = QString(),
                      const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
{
    QProcess p;
    p.setProgram(QStringLiteral(TESSILOR_CLI_PATH));
    p.setArguments(args);
    p.setStandardInputFile(QProcess::nullDevice());
    p.setProcessEnvironment(env);
    if (!workDir.isEmpty())
        p.setWorkingDirectory(workDir);
    p.start();
    ProcessRun r;
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished(5000);
        return r;
    }
    if (p.exitStatus() == QProcess::NormalExit)
        r.status = p.exitCode();
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

QImage gradient(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb((x * 255) / (w - 1), (y * 255) / (h - 1), ((x + y) * 7) % 256));
    return img;
}

} // namespace

TEST(Cli, TextOfTheSamplePictureHasTheDefaultSize)
{
    const CliRun r = runCli({});
    ASSERT_EQ(r.status, 0) << r.err.constData();
    const QList<QByteArray> lines = r.out.split('\n');
    // 640 x 400 sample: the single precision aspect 1.6 is slightly above
    // 1.6, so rows = Int(160 / 1.6000000238 / 2) = Int(49.99999963) = 49.
    ASSERT_EQ(lines.size(), 50);
    for (int i = 0; i < 49; ++i) {
        ASSERT_TRUE(lines[i].endsWith('\r'));
        EXPECT_EQ(QString::fromUtf8(lines[i]).size(), 161) << i;
    }
}

// Rows that come from the picture's aspect follow the columns really used:
// a clamp of the columns takes the rows with it, and the art keeps its
// proportions. Rows asked for are clamped on their own.
TEST(Cli, DefaultRowsFollowTheColumnsReallyUsed)
{
    QTemporaryDir dir;
    const QString path = writeImage(dir, QStringLiteral("four-three.bmp"), gradient(400, 300), "bmp");
    auto s = [](const char *text) { return QString::fromLatin1(text); };
    // The single precision aspect 4/3 is slightly above 4/3: Int(1500 /
    // 1.3333334 / 2) = 562 rows for 750 cells, 562 * 512 / 750 = 383.7.
    const struct {
        QStringList options;
        int columns, rows;
    } cases[] = {
        {{s("-c"), s("160")}, 160, 59},
        {{s("-c"), s("1500")}, 1024, 383},
        {{s("-c"), s("3000")}, 1024, 383},
        {{s("-m"), s("figures"), s("-c"), s("1500")}, 1024, 767},
        {{s("-m"), s("figures"), s("-c"), s("3000")}, 1024, 767},
        {{s("-c"), s("1500"), s("-r"), s("900")}, 1024, 900},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.options.join(u' ').toStdString());
        const CliRun r = runCli(c.options + QStringList{path});
        ASSERT_EQ(r.status, 0) << r.err.constData();
        const QStringList lines = QString::fromUtf8(r.out).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        EXPECT_EQ(lines.size(), c.rows);
        for (const QString &line : lines)
            ASSERT_EQ(line.size(), c.columns);
    }
}

TEST(Cli, OutputIsTheTextFileOfTheSameGrid)
{
    QTemporaryDir dir;
    const QImage img = gradient(300, 200);
    const QString path = writeImage(dir, QStringLiteral("g.bmp"), img, "bmp");
    const QString outPath = dir.filePath(QStringLiteral("out.txt"));
    const CliRun r = runCli({QStringLiteral("-c"), QStringLiteral("81"), QStringLiteral("--rows"), QStringLiteral("30"),
                             QStringLiteral("--font=3"), QStringLiteral("--contrast"), QStringLiteral("-20"),
                             QStringLiteral("-o"), outPath, path});
    ASSERT_EQ(r.status, 0) << r.err.constData();
    QFile f(outPath);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray got = f.readAll();

    QByteArray expected;
    QBuffer buf(&expected);
    buf.open(QIODevice::WriteOnly);
    convertToText(resampleBox(img, 40, 30), rampFonts()[2].ramp, -20, buf);
    EXPECT_EQ(got, expected);
    EXPECT_EQ(got.count('\n'), 30);
}

TEST(Cli, FiguresAsColoursAndAsGlyphs)
{
    QTemporaryDir dir;
    QImage img(32, 32, QImage::Format_RGB32);
    img.fill(qRgb(10, 200, 30));
    const QString path = writeImage(dir, QStringLiteral("g.bmp"), img, "bmp");
    CliRun r = runCli({QStringLiteral("-m"), QStringLiteral("figures"), QStringLiteral("--gray"), QStringLiteral("-F"),
                       QStringLiteral("colors"), QStringLiteral("-c"), QStringLiteral("20"), path});
    ASSERT_EQ(r.status, 0) << r.err.constData();
    EXPECT_EQ(r.out.count('\n'), 20 * 20);
    EXPECT_TRUE(r.out.startsWith(" 5263440 \r\n"));

    r = runCli({QStringLiteral("--mode"), QStringLiteral("figures"), QStringLiteral("--figure-code"),
                QStringLiteral("110"), path});
    ASSERT_EQ(r.status, 0);
    const QList<QByteArray> lines = r.out.split('\n');
    ASSERT_EQ(lines.size(), 81); // 80 x 80
    EXPECT_EQ(lines[0], QByteArray(80, 'n') + '\r');
}

TEST(Cli, BadOptionsExitWithTwoNamingTheOption)
{
    struct Case {
        QStringList args;
        const char *named; // what the message must name
    };
    const auto s = [](const char *text) { return QString::fromLatin1(text); };
    const Case bad[] = {
        {{s("--font"), s("5")}, "--font"},
        {{s("--font"), s("x")}, "--font"},
        {{s("--contrast"), s("128")}, "--contrast"},
        {{s("--contrast"), s("1e3")}, "--contrast"},
        {{s("--figure-code"), s("32")}, "--figure-code"},
        {{s("--mode"), s("ascii")}, "--mode"},
        {{s("--format"), s("colors")}, "--format"},
        {{s("--format"), s("svg")}, "--format"},
        {{s("--bogus")}, "bogus"},
        {{s("--columns")}, "--columns"},
        {{s("-c"), s("abc")}, "--columns"},
        {{s("-r"), s("12x")}, "--rows"},
        {{s("--size"), s("7")}, "--size"},
        {{s("--size"), s("big")}, "--size"},
        {{s("--color"), s("12345")}, "--color"},
        {{s("--color"), s("GG0000")}, "--color"},
        {{s("--figure-font"), s("3")}, "--figure-font"},
        {{s("--format"), s("doc")}, "--format"},
        {{s("--method"), s("fancy")}, "--method"},
        {{s("--method")}, "--method"},
        {{s("--method"), s("tone"), s("-m"), s("figures")}, "--method"},
        {{s("--fill")}, "--fill"},
        {{s("-m"), s("figures"), s("--fill=yes")}, "--fill"},
        // Outputs: a picture type the program cannot write, one file for
        // several pictures, several pictures of a format that needs files.
        {{s("-o"), s("art.jpg")}, "--output"},
        {{s("-o"), s("art.WebP")}, "--output"},
        {{s("-o"), s("o.txt"), s("a.jpg"), s("b.jpg")}, "--output"},
        {{s("-F"), s("png"), s("a.jpg"), s("b.jpg")}, "--output-dir"},
        {{s("--output-dir"), s("no/such/folder")}, "--output-dir"},
        {{s("--output-dir"), s("."), s("a/x.jpg"), s("b/x.png")}, "--output-dir"},
        {{s("-j"), s("0")}, "--jobs"},
        {{s("--background"), s("grey")}, "--background"},
        {{s("-F"), s("pdf"), s("--page"), s("b5")}, "--page"},
        {{s("-F"), s("rtf"), s("--margins"), s("80")}, "--margins"},
        {{s("--page"), s("a4")}, "--page"},
        {{s("--background"), s("dark"), s("-F"), s("pdf")}, "--background"},
        {{s("--background=dark"), s("-m"), s("figures")}, "--background"},
        {{s("--structure"), s("50")}, "--structure"}, // the tone method's
        {{s("--method"), s("tone"), s("--structure"), s("101")}, "--structure"},
        {{s("--method"), s("tone"), s("--structure"), s("-1")}, "--structure"},
        {{s("--method"), s("tone"), s("--structure"), s("half")}, "--structure"},
    };
    for (const Case &c : bad) {
        const CliRun r = runCli(c.args);
        EXPECT_EQ(r.status, 2) << c.args.join(u' ').toStdString();
        EXPECT_TRUE(r.err.contains(c.named)) << r.err.constData();
        EXPECT_TRUE(r.err.contains("--help")) << c.args.join(u' ').toStdString();
        EXPECT_TRUE(r.out.isEmpty());
    }
}

// The manual page is made from the help when the program is built (see
// doc/manpage.py): groff reads it without a warning, and it carries every
// entry of the help, its names and its words, and the sections a manual
// page owes its reader.
TEST(Cli, ManPageCarriesTheHelp)
{
    const CliRun r = runCli({QStringLiteral("--help")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(QString::fromUtf8(r.out), cli::usage());

    const QString page = QStringLiteral(TESSILOR_MANPAGE);
    ASSERT_TRUE(QFileInfo::exists(page)) << page.toStdString();
    if (QStandardPaths::findExecutable(QStringLiteral("groff")).isEmpty())
        GTEST_SKIP() << "groff is not installed (Debian package groff-base)";
    // groff's output, and whether it ended well without a word on stderr.
    auto groff = [&page](const QStringList &options, bool *quiet) {
        QProcess p;
        p.start(QStringLiteral("groff"), QStringList{QStringLiteral("-man")} + options + QStringList{page});
        p.closeWriteChannel();
        const bool ended = p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
        const QByteArray err = p.readAllStandardError();
        *quiet = ended && err.isEmpty();
        return QString::fromUtf8(p.readAllStandardOutput()) + QString::fromUtf8(err);
    };
    bool quiet = false;
    const QString warnings = groff({QStringLiteral("-ww"), QStringLiteral("-z")}, &quiet);
    EXPECT_TRUE(quiet) << warnings.toStdString();
    const QString text = groff({QStringLiteral("-Tascii"), QStringLiteral("-P-cbou")}, &quiet);
    ASSERT_TRUE(quiet) << text.toStdString();
    for (const char *section :
         {"NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "EXIT STATUS", "ENVIRONMENT", "FILES", "EXAMPLES", "SEE ALSO"})
        EXPECT_TRUE(text.contains(u'\n' + QLatin1String(section) + u'\n')) << section;

    // The entries of the help's sections: the names, then the description,
    // whose lines the help breaks at blanks.
    static const QRegularExpression entry(QStringLiteral("^  (\\S.*?)  +(\\S.*)$"));
    static const QRegularExpression more(QStringLiteral("^ {3,}(\\S.*)$"));
    QList<std::pair<QString, QString>> entries;
    for (const QString &line : cli::usage().split(u'\n')) {
        if (const QRegularExpressionMatch m = more.match(line); m.hasMatch() && !entries.isEmpty())
            entries.last().second += u' ' + m.captured(1);
        else if (const QRegularExpressionMatch e = entry.match(line); e.hasMatch())
            entries.append({e.captured(1), e.captured(2)});
    }
    ASSERT_TRUE(std::any_of(entries.begin(), entries.end(), [](const auto &e) { return e.first == u"-h, --help"; }));
    ASSERT_TRUE(std::any_of(entries.begin(), entries.end(), [](const auto &e) { return e.first == u"image"; }));
    const QString words = text.simplified();
    for (const auto &[names, description] : entries) {
        // The page sets "<mode>" as an italic "mode".
        QString shown = names;
        shown.remove(u'<').remove(u'>');
        EXPECT_TRUE(words.contains(shown + u' ' + description))
            << names.toStdString() << ": " << description.toStdString();
    }
}

TEST(Cli, SeveralPicturesAreConvertedPastOneThatFails)
{
    QTemporaryDir dir;
    const QString a = writeImage(dir, QStringLiteral("a.bmp"), gradient(120, 90), "bmp");
    const QString b = writeImage(dir, QStringLiteral("b.png"), gradient(90, 120).mirrored(true, false), "png");
    const QString c = writeImage(dir, QStringLiteral("c.bmp"), gradient(64, 64).mirrored(false, true), "bmp");
    // A JPEG cut short in the middle of its data.
    const QString full = writeImage(dir, QStringLiteral("full.jpg"), gradient(200, 200), "jpeg");
    QFile in(full);
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    const QString damaged = dir.filePath(QStringLiteral("damaged.jpg"));
    QFile cut(damaged);
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
    cut.write(in.readAll().left(int(in.size() / 2)));
    cut.close();

    const QStringList options{QStringLiteral("-c"), QStringLiteral("40")};
    const QByteArray one = runCli(options + QStringList{a}).out;
    const QByteArray two = runCli(options + QStringList{b}).out;
    const QByteArray three = runCli(options + QStringList{c}).out;
    ASSERT_FALSE(one.isEmpty());
    ASSERT_FALSE(two.isEmpty());

    // To standard output: the results in order, a blank line between.
    CliRun r = runCli(options + QStringList{a, damaged, b});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, one + "\r\n" + two);
    EXPECT_TRUE(r.err.contains("damaged.jpg")) << r.err.constData();
    EXPECT_EQ(r.err.count('\n'), 1) << r.err.constData();
    // ANSI lines end in LF, and so does the blank line between them (it was
    // CR LF).
    const QStringList ansi = options + QStringList{QStringLiteral("-F"), QStringLiteral("ansi")};
    r = runCli(ansi + QStringList{a, b});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, runCli(ansi + QStringList{a}).out + "\n" + runCli(ansi + QStringList{b}).out);
    EXPECT_FALSE(r.out.contains('\r'));

    // Into a folder, two at once: a file each, named after the picture.
    const QString out = dir.filePath(QStringLiteral("out"));
    ASSERT_TRUE(QDir().mkdir(out));
    for (const char *jobs : {"1", "2"}) {
        SCOPED_TRACE(jobs);
        r = runCli(options + QStringList{QStringLiteral("-j"), QString::fromLatin1(jobs),
                                         QStringLiteral("--output-dir"), out, c, damaged, a, b});
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(r.out.isEmpty());
        EXPECT_TRUE(r.err.contains("damaged.jpg")) << r.err.constData();
        const auto bytes = [&](const char *name) {
            QFile f(QDir(out).filePath(QString::fromLatin1(name)));
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("missing");
        };
        EXPECT_EQ(bytes("a.txt"), one);
        EXPECT_EQ(bytes("b.txt"), two);
        EXPECT_EQ(bytes("c.txt"), three);
        EXPECT_EQ(QDir(out).entryList(QDir::Files).size(), 3);
    }
    EXPECT_EQ(runCli(options + QStringList{QStringLiteral("--output-dir"), out, a, c}).status, 0);

    // Every message of a picture names it, also where the result, not the
    // picture, is at fault: a PNG too large, no memory for the result.
    r = runCli({QStringLiteral("-m"), QStringLiteral("figures"), QStringLiteral("-s"), QStringLiteral("48"),
                QStringLiteral("-c"), QStringLiteral("600"), QStringLiteral("-F"), QStringLiteral("png"),
                QStringLiteral("--output-dir"), out, a, c});
    EXPECT_EQ(r.status, 1);
    for (const QString &picture : {a, c})
        EXPECT_TRUE(r.err.contains(QFile::encodeName(picture) + ": the picture would have more than 1073 million"))
            << r.err.constData();
    EXPECT_EQ(r.err.count('\n'), 2) << r.err.constData();
}

TEST(Cli, TextToATerminalFitsItsWidth)
{
    // script(1) gives the program a terminal of the width stty sets.
    if (QStandardPaths::findExecutable(QStringLiteral("script")).isEmpty())
        GTEST_SKIP() << "script is not installed";
    struct Case {
        QString options;
        int width; // characters of every line
        int terminalColumns = 100;
        int rows = 0; // lines, when the case is about them
    } const cases[] = {
        {QString(), 100},                               // text: the terminal's width
        {QStringLiteral("-F ansi --method tone"), 100}, // colour codes too
        {QStringLiteral("-m figures"), 100},            // a figure per column
        {QStringLiteral("-c 40"), 40},                  // the columns asked for
        // Wider than the grid may be: the 640 x 400 sample at 1024 columns,
        // and the rows of those columns, not of 2000.
        // Int(2000 / 1.6000000238 / 2) = 624 rows for 1000 cells: 319.
        {QString(), 1024, 2000, 319},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.options.toStdString());
        QProcess p;
        p.start(QStringLiteral("script"), {QStringLiteral("-qec"),
                                           QStringLiteral("stty cols %3 rows 30; exec '%1' %2")
                                               .arg(QStringLiteral(TESSILOR_CLI_PATH), c.options)
                                               .arg(c.terminalColumns),
                                           QStringLiteral("/dev/null")});
        ASSERT_TRUE(p.waitForFinished(60000));
        EXPECT_EQ(p.exitCode(), 0);
        static const QRegularExpression escape(QStringLiteral("\x1b\\[[0-9;]*m"));
        const QStringList lines =
            QString::fromUtf8(p.readAllStandardOutput()).remove(escape).remove(u'\r').split(u'\n', Qt::SkipEmptyParts);
        ASSERT_GE(lines.size(), 16);
        if (c.rows > 0) {
            EXPECT_EQ(lines.size(), c.rows);
        }
        for (const QString &line : lines)
            ASSERT_EQ(line.size(), c.width) << line.toStdString();
    }
}

TEST(Cli, PaperAndMarginsOfRtfAndPdf)
{
    QTemporaryDir dir;
    const QString picture = writeImage(dir, QStringLiteral("g.bmp"), gradient(120, 90), "bmp");
    const QStringList common{QStringLiteral("-c"),
                             QStringLiteral("60"),
                             QStringLiteral("--page"),
                             QStringLiteral("letter"),
                             QStringLiteral("--margins"),
                             QStringLiteral("10"),
                             picture};
    // Letter is 12240 x 15840 twips; 10 mm are 567 twips.
    CliRun r = runCli(QStringList{QStringLiteral("-F"), QStringLiteral("rtf")} + common);
    ASSERT_EQ(r.status, 0) << r.err.constData();
    EXPECT_TRUE(r.out.contains("\\paperw12240\\paperh15840\\margl567\\margr567\\margt567\\margb567"))
        << r.out.left(400).constData();

    const QString pdf = dir.filePath(QStringLiteral("page.pdf"));
    r = runCli(QStringList{QStringLiteral("-o"), pdf} + common);
    ASSERT_EQ(r.status, 0) << r.err.constData();
    QProcess bbox;
    bbox.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    if (!bbox.waitForFinished(30000) || bbox.exitCode() != 0)
        GTEST_SKIP() << "pdftotext is not installed";
    const QString words = QString::fromUtf8(bbox.readAllStandardOutput());
    EXPECT_TRUE(words.contains(QStringLiteral("<page width=\"612.000000\" height=\"792.000000\">")));
    // The first line's first character at the margin's corner (10 mm = 28.35 pt).
    static const QRegularExpression first(QStringLiteral("<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\""));
    const QRegularExpressionMatch m = first.match(words);
    ASSERT_TRUE(m.hasMatch());
    EXPECT_NEAR(m.captured(1).toDouble(), 28.35, 0.5);
    EXPECT_NEAR(m.captured(2).toDouble(), 28.35, 1.5);

    // Lines a word processor cannot keep whole on the paper either way round,
    // not even at half a point: 1024 figures of one em are 512 points, and
    // Letter turned holds 508 inside margins of 50 mm; A3 holds them.
    const QStringList wide{QStringLiteral("-F"),
                           QStringLiteral("rtf"),
                           QStringLiteral("-m"),
                           QStringLiteral("figures"),
                           QStringLiteral("-c"),
                           QStringLiteral("1024"),
                           QStringLiteral("-r"),
                           QStringLiteral("16"),
                           QStringLiteral("--margins"),
                           QStringLiteral("50"),
                           picture};
    r = runCli(QStringList{QStringLiteral("--page"), QStringLiteral("letter")} + wide);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_TRUE(r.err.contains("g.bmp: lines of 1024 figures do not fit across Letter paper even at half a point"))
        << r.err.constData();
    EXPECT_TRUE(r.err.contains("at most 1011 do")) << r.err.constData();
    r = runCli(QStringList{QStringLiteral("--page"), QStringLiteral("a3")} + wide);
    ASSERT_EQ(r.status, 0) << r.err.constData();
    EXPECT_TRUE(r.out.contains("\\paperw16838\\paperh23811")) << r.out.left(400).constData();
}

TEST(Cli, UnreadableImagesAndOutputsExitWithOneAndLeaveNoFile)
{
    QTemporaryDir dir;
    QImage img = gradient(20, 20);
    const QString ppm = writeImage(dir, QStringLiteral("fake.jpg"), img, "ppm");
    const QString out = dir.filePath(QStringLiteral("o.txt"));
    CliRun r = runCli({QStringLiteral("-o"), out, ppm});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("fake.jpg"));
    EXPECT_FALSE(QFile::exists(out));

    r = runCli({dir.filePath(QStringLiteral("missing.gif"))});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("missing.gif"));

    const QString good = writeImage(dir, QStringLiteral("g.bmp"), img, "bmp");
    const QString unwritable = dir.filePath(QStringLiteral("no/such/folder/o.txt"));
    r = runCli({QStringLiteral("-o"), unwritable, good});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("o.txt"));
}

TEST(Cli, RealExecutableReportsStatusAndWritesToStandardOutput)
{
    QProcess p;
    p.start(QStringLiteral(TESSILOR_CLI_PATH), {QStringLiteral("-c"), QStringLiteral("40")});
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 0);
    const QByteArray out = p.readAllStandardOutput();
    EXPECT_EQ(out.count('\n'), 16); // Int(40 / 1.6 / 2) = 12, clamped to 16
    EXPECT_EQ(out.indexOf('\r'), 40);

    p.start(QStringLiteral(TESSILOR_CLI_PATH), {QStringLiteral("--contrast"), QStringLiteral("999")});
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 2);
    EXPECT_FALSE(p.readAllStandardError().isEmpty());

    if (QFile::exists(QStringLiteral("/dev/full"))) {
        p.setStandardOutputFile(QStringLiteral("/dev/full"));
        p.start(QStringLiteral(TESSILOR_CLI_PATH), {});
        ASSERT_TRUE(p.waitForFinished(30000));
        EXPECT_EQ(p.exitCode(), 1);
    }
}

namespace {

QTextCharFormat formatAt(const QTextDocument &doc, int pos)
{
    QTextCursor c(const_cast<QTextDocument *>(&doc));
    c.setPosition(pos + 1);
    return c.charFormat();
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

TEST(Cli, TextAsRtfKeepsTheTextFontSizeAndColour)
{
    QTemporaryDir dir;
    const QImage img = gradient(120, 60);
    const QString path = writeImage(dir, QStringLiteral("g.bmp"), img, "bmp");
    const QStringList common{QStringLiteral("-c"), QStringLiteral("60"), QStringLiteral("-f"), QStringLiteral("3"),
                             path};
    const CliRun txt = runCli(common);
    ASSERT_EQ(txt.status, 0);

    // The extension chooses RTF when no format is named.
    const QString rtfPath = dir.filePath(QStringLiteral("out.RTF"));
    CliRun r = runCli(QStringList{QStringLiteral("-o"), rtfPath, QStringLiteral("--size"), QStringLiteral("12"),
                                  QStringLiteral("--color"), QStringLiteral("#FF8000")} +
                      common);
    ASSERT_EQ(r.status, 0) << r.err.constData();
    const QByteArray rtf = fileBytes(rtfPath);
    ASSERT_TRUE(rtf.startsWith("{\\rtf1\\ansi\\ansicpg1251"));
    EXPECT_TRUE(rtf.contains("\\fmodern\\fcharset204\\fprq1 " + rampFonts()[2].face.toLatin1() + ";"));
    EXPECT_TRUE(rtf.contains("\\red255\\green128\\blue0;"));
    EXPECT_TRUE(rtf.contains("\\li50")); // the result window's paragraph indent
    QTextDocument doc;
    ASSERT_TRUE(readRtf(rtf, doc));
    EXPECT_EQ(writePlainText(doc), txt.out); // same text as the plain output
    const QTextCharFormat f = formatAt(doc, 3);
    EXPECT_EQ(formatFace(f), rampFonts()[2].face);
    EXPECT_DOUBLE_EQ(f.fontPointSize(), 12);
    EXPECT_EQ(colorTo24(f.foreground().color()), rgbValue(255, 128, 0));

    // Fonts 2 and 4 keep their fixed sizes; the default colour is black.
    for (int font : {2, 4}) {
        r = runCli({QStringLiteral("-F"), QStringLiteral("rtf"), QStringLiteral("-f"), QString::number(font),
                    QStringLiteral("--size"), QStringLiteral("20"), QStringLiteral("-c"), QStringLiteral("20"), path});
        ASSERT_EQ(r.status, 0);
        ASSERT_TRUE(readRtf(r.out, doc));
        EXPECT_DOUBLE_EQ(formatAt(doc, 0).fontPointSize(), font == 2 ? 10 : 8);
        EXPECT_EQ(formatFace(formatAt(doc, 0)), rampFonts()[size_t(font - 1)].face);
        EXPECT_EQ(colorTo24(formatAt(doc, 0).foreground().color()), 0u);
    }
    // Default size 8.
    r = runCli({QStringLiteral("-F"), QStringLiteral("rtf"), QStringLiteral("-c"), QStringLiteral("20"), path});
    ASSERT_TRUE(readRtf(r.out, doc));
    EXPECT_DOUBLE_EQ(formatAt(doc, 0).fontPointSize(), 8);
}

TEST(Cli, FiguresAsRtfHaveEveryCellColour)
{
    QTemporaryDir dir;
    QImage img(16, 16, QImage::Format_RGB32);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            img.setPixel(x, y, qRgb(x * 30, y * 40, (x * y * 7) % 256));
    const QString path = writeImage(dir, QStringLiteral("g.bmp"), img, "bmp");
    const CliRun r =
        runCli({QStringLiteral("-m"), QStringLiteral("figures"), QStringLiteral("-c"), QStringLiteral("16"),
                QStringLiteral("-r"), QStringLiteral("16"), QStringLiteral("--figure-font"), QStringLiteral("2"),
                QStringLiteral("--figure-code"), QStringLiteral("110"), QStringLiteral("-s"), QStringLiteral("14"),
                QStringLiteral("--format=rtf"), path});
    ASSERT_EQ(r.status, 0) << r.err.constData();
    QTextDocument doc;
    ASSERT_TRUE(readRtf(r.out, doc));
    ASSERT_EQ(doc.blockCount(), 17); // 16 rows, each ended by a line break
    for (int y = 0; y < 16; ++y) {
        EXPECT_EQ(doc.findBlockByNumber(y).text(), QString(16, u'n'));
        for (int x = 0; x < 16; ++x) {
            const QTextCharFormat f = formatAt(doc, 17 * y + x);
            ASSERT_EQ(colorTo24(f.foreground().color()), figureCellColor(img.pixel(x, y), false)) << x << "," << y;
            ASSERT_EQ(formatFace(f), QStringLiteral("Quar Tessilor Figures 2"));
            ASSERT_DOUBLE_EQ(f.fontPointSize(), 14);
        }
    }
}

TEST(Cli, HtmlPageHasTheSameTextAndColours)
{
    QTemporaryDir dir;
    QImage img(4, 2, QImage::Format_RGB32);
    img.fill(qRgb(0x12, 0x34, 0x56));
    const QString path = writeImage(dir, QStringLiteral("g.bmp"), img, "bmp");
    const QString out = dir.filePath(QStringLiteral("page.html"));
    CliRun r = runCli({QStringLiteral("-m"), QStringLiteral("figures"), QStringLiteral("-c"), QStringLiteral("4"),
                       QStringLiteral("-o"), out, path});
    ASSERT_EQ(r.status, 0) << r.err.constData();
    const QString html = QString::fromUtf8(fileBytes(out));
    EXPECT_TRUE(html.contains(QStringLiteral("charset=\"utf-8\"")) || html.contains(QStringLiteral("charset=utf-8")));
    EXPECT_TRUE(html.contains(QStringLiteral("#123456")));
    EXPECT_TRUE(html.contains(QStringLiteral("Quar Tessilor Figures 1")));
    EXPECT_TRUE(html.contains(QStringLiteral("VVVV")));
    // The figure font travels inside the page.
    static const QRegularExpression face(QStringLiteral(
        "@font-face\\{font-family:'Quar Tessilor Figures 1';src:url\\(data:font/ttf;base64,([A-Za-z0-9+/=]+)\\)"));
    const QRegularExpressionMatch embedded = face.match(html);
    ASSERT_TRUE(embedded.hasMatch());
    EXPECT_EQ(QByteArray::fromBase64(embedded.captured(1).toLatin1()),
              fileBytes(figureFontFolder() + QStringLiteral("/GLYFA__1.TTF")));

    r = runCli({QStringLiteral("-F"), QStringLiteral("html"), QStringLiteral("-c"), QStringLiteral("16"),
                QStringLiteral("--color"), QStringLiteral("00ff00"), path});
    ASSERT_EQ(r.status, 0);
    EXPECT_TRUE(r.out.contains("#00ff00"));
    EXPECT_TRUE(
        r.out.contains("font-family:'Courier New Cyr','Courier New','Liberation Mono','DejaVu Sans Mono',monospace;"));
    EXPECT_FALSE(r.out.contains("@font-face"));
}

// -F png, pdf and ansi, and the extensions that choose them: every output
// read back in its own terms.
TEST(Cli, PictureAndPageAndTerminalOutputs)
{
    QTemporaryDir dir;
    const QString path = writeImage(dir, QStringLiteral("g.bmp"), gradient(120, 80), "bmp");
    const QString txt = QString::fromUtf8(runCli({QStringLiteral("-c"), QStringLiteral("40"), path}).out);
    const struct {
        const char *name;
        QStringList args;
        QByteArray starts; // of the output
    } cases[] = {
        {"png by extension", {QStringLiteral("-o"), dir.filePath(QStringLiteral("a.PNG"))}, "\x89PNG\r\n\x1a\n"},
        {"png by option",
         {QStringLiteral("-F"), QStringLiteral("png"), QStringLiteral("-m"), QStringLiteral("figures")},
         "\x89PNG\r\n\x1a\n"},
        {"pdf by extension", {QStringLiteral("-o"), dir.filePath(QStringLiteral("a.pdf"))}, "%PDF-"},
        {"pdf by option",
         {QStringLiteral("-F"), QStringLiteral("pdf"), QStringLiteral("--color"), QStringLiteral("picture")},
         "%PDF-"},
        // Without a colour the terminal's own foreground: black would hide
        // the art on a dark terminal.
        {"ansi", {QStringLiteral("-F"), QStringLiteral("ansi")}, "\x1b[39m"},
        {"ansi in a colour",
         {QStringLiteral("-F"), QStringLiteral("ansi"), QStringLiteral("--color"), QStringLiteral("336699")},
         "\x1b[38;2;51;102;153m"},
        {"ansi figures",
         {QStringLiteral("-F"), QStringLiteral("ansi"), QStringLiteral("-m"), QStringLiteral("figures")},
         "\x1b[38;2;"},
    };
    for (const auto &c : cases) {
        const CliRun r = runCli(c.args + QStringList{QStringLiteral("-c"), QStringLiteral("40"), path});
        ASSERT_EQ(r.status, 0) << c.name << ": " << r.err.constData();
        const qsizetype o = c.args.indexOf(QStringLiteral("-o"));
        const QByteArray out = o >= 0 ? fileBytes(c.args[o + 1]) : r.out;
        EXPECT_TRUE(out.startsWith(c.starts)) << c.name;
        if (c.starts == "\x1b[39m") {
            EXPECT_FALSE(out.contains("\x1b[38;")) << c.name;
        }
        if (c.starts.startsWith("\x89PNG")) {
            QImage image;
            EXPECT_TRUE(image.loadFromData(out, "PNG")) << c.name;
            EXPECT_GT(image.width(), 100) << c.name;
        }
        if (c.starts == "%PDF-") {
            // The art's lines as text, in an embedded font.
            const QString pdf = dir.filePath(QStringLiteral("check.pdf"));
            QFile file(pdf);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(out);
            file.close();
            QProcess text;
            text.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
            ASSERT_TRUE(text.waitForFinished(60000));
            EXPECT_EQ(QString::fromUtf8(text.readAllStandardOutput()).split(u'\n').mid(0, 3),
                      txt.split(QStringLiteral("\r\n")).mid(0, 3))
                << c.name;
            QProcess fonts;
            fonts.start(QStringLiteral("pdffonts"), {pdf});
            ASSERT_TRUE(fonts.waitForFinished(60000));
            EXPECT_TRUE(fonts.readAllStandardOutput().contains("CID TrueType      Identity-H       yes")) << c.name;
        }
    }
}

// Text for terminals is the plain text with colours around it: with the
// picture's colours too, for both methods.
TEST(Cli, AnsiTextIsThePlainTextInColour)
{
    QTemporaryDir dir;
    const QString path = writeImage(dir, QStringLiteral("g.bmp"), gradient(120, 80), "bmp");
    static const QRegularExpression escape(QStringLiteral("\x1b\\[(38;2;\\d+;\\d+;\\d+|0)m"));
    for (const QString &method : {QStringLiteral("classic"), QStringLiteral("tone")}) {
        const QStringList common{QStringLiteral("-c"), QStringLiteral("40"), QStringLiteral("--method"), method, path};
        const CliRun txt = runCli(common);
        const CliRun ansi = runCli(QStringList{QStringLiteral("-F"), QStringLiteral("ansi"), QStringLiteral("--color"),
                                               QStringLiteral("picture")} +
                                   common);
        ASSERT_EQ(ansi.status, 0) << ansi.err.constData();
        QString plain = QString::fromUtf8(ansi.out);
        const qsizetype codes = plain.count(escape);
        plain.remove(escape);
        EXPECT_EQ(plain, QString::fromUtf8(txt.out).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
        // The gradient's colours change along every line.
        EXPECT_GT(codes, 4 * ansi.out.count('\n')) << method.toStdString();
    }
    // Figures in grey: one block per cell, in grey.
    const CliRun grey =
        runCli({QStringLiteral("-F"), QStringLiteral("ansi"), QStringLiteral("-m"), QStringLiteral("figures"),
                QStringLiteral("--gray"), QStringLiteral("-c"), QStringLiteral("20"), path});
    const QString first = QString::fromUtf8(grey.out.split('\n').first());
    EXPECT_EQ(first.count(QChar(0x2588)), 20);
    static const QRegularExpression colour(QStringLiteral("\x1b\\[38;2;(\\d+);(\\d+);(\\d+)m"));
    for (const QRegularExpressionMatch &m : colour.globalMatch(first)) {
        EXPECT_EQ(m.captured(1), m.captured(2));
        EXPECT_EQ(m.captured(2), m.captured(3));
    }
}

TEST(Cli, EachTextMethodGivesTheSameLinesAndLineLengths)
{
    QTemporaryDir dir;
    QImage img(300, 120, QImage::Format_RGB32);
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            img.setPixel(x, y, x < 150 ? qRgb(230, 230, 230) : qRgb(40, 60, 30));
    const QString path = writeImage(dir, QStringLiteral("halves.bmp"), img, "bmp");
    const QString jpeg = writeImage(dir, QStringLiteral("halves.jpg"), img, "jpeg");
    installFontSubstitutions();
    QFont font(rampFonts()[0].face);
    font.setPointSize(8);
    const ToneRamp &ramp = toneRamp(font, rampFonts()[0].ramp);
    for (const QString &picture : {path, jpeg}) {
        const CliRun classic = runCli({QStringLiteral("-c"), QStringLiteral("60"), picture});
        const CliRun byName =
            runCli({QStringLiteral("--method=classic"), QStringLiteral("-c"), QStringLiteral("60"), picture});
        // By ink alone, and with the shapes (the halves then even fields).
        const CliRun tone = runCli({QStringLiteral("--method"), QStringLiteral("tone"), QStringLiteral("--structure"),
                                    QStringLiteral("0"), QStringLiteral("-c"), QStringLiteral("60"), picture});
        const CliRun shaped = runCli(
            {QStringLiteral("--method"), QStringLiteral("tone"), QStringLiteral("-c"), QStringLiteral("60"), picture});
        ASSERT_EQ(tone.status, 0) << tone.err.constData();
        ASSERT_EQ(shaped.status, 0) << shaped.err.constData();
        EXPECT_EQ(classic.out, byName.out);
        const QStringList a = QString::fromUtf8(classic.out).split(QStringLiteral("\r\n"));
        const QStringList b = QString::fromUtf8(tone.out).split(QStringLiteral("\r\n"));
        const QStringList c = QString::fromUtf8(shaped.out).split(QStringLiteral("\r\n"));
        ASSERT_EQ(a.size(), b.size());
        ASSERT_EQ(a.size(), c.size());
        ASSERT_EQ(a.size(), 17); // Int(60 / 2.5 / 2) = 12 rows, at least 16
        for (qsizetype i = 0; i < a.size(); ++i) {
            ASSERT_EQ(a[i].size(), b[i].size()) << i;
            ASSERT_EQ(a[i].size(), c[i].size()) << i;
        }
        // Every character comes from the measured ramp; the light half takes
        // far less ink than the dark one.
        double left = 0, right = 0;
        for (qsizetype i = 0; i + 1 < b.size(); ++i) {
            for (qsizetype j = 0; j < b[i].size(); ++j) {
                const qsizetype k = ramp.chars.indexOf(b[i][j]);
                ASSERT_GE(k, 0) << int(b[i][j].unicode());
                (j < 30 ? left : right) += ramp.level[size_t(k)];
            }
        }
        // Each half's lightness lies at the same fraction of the art's range,
        // from the darkest character's cell to the paper.
        EXPECT_NEAR(left / (30 * 16), testsupport::wantedLevel(ramp, srgbToLinear(230)), 0.03);
        EXPECT_NEAR(right / (30 * 16), testsupport::wantedLevel(ramp, luminance(40, 60, 30)), 0.03);
    }
    // RTF and HTML hold the tone method's characters too.
    const CliRun tone =
        runCli({QStringLiteral("--method"), QStringLiteral("tone"), QStringLiteral("-c"), QStringLiteral("60"), path});
    const CliRun rtf = runCli({QStringLiteral("--method"), QStringLiteral("tone"), QStringLiteral("-c"),
                               QStringLiteral("60"), QStringLiteral("-F"), QStringLiteral("rtf"), path});
    ASSERT_EQ(rtf.status, 0);
    QTextDocument doc;
    ASSERT_TRUE(readRtf(rtf.out, doc));
    EXPECT_EQ(writePlainText(doc), tone.out);

    // The real program, which starts its font machinery for the tone method.
    QProcess p;
    p.start(QStringLiteral(TESSILOR_CLI_PATH),
            {QStringLiteral("--method"), QStringLiteral("tone"), QStringLiteral("-c"), QStringLiteral("60"), jpeg});
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().constData();
    EXPECT_EQ(p.readAllStandardOutput(), runCli({QStringLiteral("--method"), QStringLiteral("tone"),
                                                 QStringLiteral("-c"), QStringLiteral("60"), jpeg})
                                             .out);
}

// The tone method keeps its measured ramp in the user's cache folder. A run
// on a kept ramp (which loads no font) writes the same art as one that
// measures, in every output; a cut record is measured again and rewritten;
// without a real home, or where the folder cannot be made, nothing is kept
// and the run is the same, quietly.
TEST(Cli, ToneRampKeptInTheCacheGivesTheSameArt)
{
    QTemporaryDir dir, caches;
    const QString path = writeImage(dir, QStringLiteral("g.jpg"), gradient(160, 100), "jpeg");
    // The test's own home, with a cache folder of this test's.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CACHE_HOME"), caches.filePath(QStringLiteral("cache")));
    const QDir cache(caches.filePath(QStringLiteral("cache/tessilor")));
    const QStringList common{QStringLiteral("--method"), QStringLiteral("tone"), QStringLiteral("-c"),
                             QStringLiteral("50"), path};
    const QStringList outputs[] = {
        {},
        {QStringLiteral("-F"), QStringLiteral("ansi"), QStringLiteral("--color"), QStringLiteral("picture")},
        {QStringLiteral("--background"), QStringLiteral("dark")},
        {QStringLiteral("-F"), QStringLiteral("rtf")},
    };
    auto same = [&](const QStringList &args, const QByteArray &want, const QProcessEnvironment &e) {
        const ProcessRun r = runProgram(args + common, QString(), e);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err.toStdString(), "");
        EXPECT_EQ(r.out, want);
    };
    for (const QStringList &args : outputs) {
        SCOPED_TRACE(args.join(u' ').toStdString());
        const CliRun measured = runCli(args + common);
        ASSERT_EQ(measured.status, 0);
        same(args, measured.out, env); // measures and keeps the ramp
        same(args, measured.out, env); // the kept ramp
    }
    // One record for the light ramp (text, terminal and RTF), one for dark.
    const QStringList records = cache.entryList(QDir::Files | QDir::Hidden);
    ASSERT_EQ(records.size(), 2) << records.join(u' ').toStdString();
    // A record is replaced by a new file (a new inode) when it is written.
    auto inode = [&cache](const QString &name) {
        struct stat st = {};
        return ::stat(QFile::encodeName(cache.filePath(name)).constData(), &st) == 0 ? st.st_ino : ino_t(0);
    };
    const CliRun text = runCli(common);
    const QStringList dark{QStringLiteral("--background"), QStringLiteral("dark")};
    const CliRun darkText = runCli(dark + common);
    for (const QString &name : records) {
        SCOPED_TRACE(name.toStdString());
        const ino_t before = inode(name);
        QFile record(cache.filePath(name));
        ASSERT_TRUE(record.resize(record.size() / 2));
        same({}, text.out, env);
        same(dark, darkText.out, env);
        const ino_t rewritten = inode(name);
        EXPECT_NE(rewritten, before);
        same({}, text.out, env);
        same(dark, darkText.out, env);
        EXPECT_EQ(inode(name), rewritten); // whole again, and used
    }
    QProcessEnvironment noHome = env;
    noHome.insert(QStringLiteral("HOME"), QStringLiteral("/"));
    noHome.insert(QStringLiteral("XDG_CACHE_HOME"), caches.filePath(QStringLiteral("other")));
    same({}, text.out, noHome);
    EXPECT_FALSE(QFileInfo::exists(caches.filePath(QStringLiteral("other/tessilor"))));
    QProcessEnvironment noFolder = env;
    noFolder.insert(QStringLiteral("XDG_CACHE_HOME"), path); // a file
    same({}, text.out, noFolder);
}

// One JPEG's text to standard output, the classic method's or the tone
// method's on a kept ramp, starts without the GUI libraries (the quick
// start); every other run loads them. Both write what the whole command line
// writes in the test's own process.
TEST(Cli, QuickStartLoadsNoGuiLibrariesAndWritesTheWholeRunsResult)
{
    QTemporaryDir dir, caches;
    // Large enough for the grids and the shapes' detail to reduce it.
    const QString jpeg = writeImage(dir, QStringLiteral("g.jpg"), gradient(640, 400), "jpeg");
    const QString png = writeImage(dir, QStringLiteral("g.png"), gradient(640, 400), "png");
    const QString out = dir.filePath(QStringLiteral("out.txt"));
    const QString loads = dir.filePath(QStringLiteral("loads"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CACHE_HOME"), caches.filePath(QStringLiteral("cache")));
    // The dynamic loader lists what it loads in loads.<pid>.
    QProcessEnvironment traced = env;
    traced.insert(QStringLiteral("LD_DEBUG"), QStringLiteral("files"));
    traced.insert(QStringLiteral("LD_DEBUG_OUTPUT"), loads);
    const QStringList tone{QStringLiteral("--method"), QStringLiteral("tone"), QStringLiteral("-c"),
                           QStringLiteral("50")};
    const QStringList ansi{QStringLiteral("-F"), QStringLiteral("ansi")};
    const QStringList dark{QStringLiteral("--background"), QStringLiteral("dark")};
    const QStringList flat{QStringLiteral("--structure"), QStringLiteral("0")};
    const struct {
        const char *name;
        QStringList args;
        bool quick;
    } cases[] = {
        {"text", tone + QStringList{jpeg}, true},
        {"terminal on black", tone + ansi + dark + QStringList{jpeg}, true},
        {"by ink alone", tone + flat + QStringList{jpeg}, true},
        {"a PNG", tone + QStringList{png}, false},
        {"a grid that enlarges",
         QStringList{QStringLiteral("--method"), QStringLiteral("tone"), QStringLiteral("-c"), QStringLiteral("1000"),
                     jpeg},
         false},
        {"in the picture's colours",
         tone + ansi + QStringList{QStringLiteral("--color"), QStringLiteral("picture"), jpeg}, false},
        {"two pictures", tone + QStringList{jpeg, jpeg}, false},
        {"into a file", tone + QStringList{QStringLiteral("-o"), out, jpeg}, false},
        {"the classic method", QStringList{QStringLiteral("-c"), QStringLiteral("50"), jpeg}, true},
        {"figures", QStringList{QStringLiteral("-m"), QStringLiteral("figures"), jpeg}, false},
        {"a bad option", tone + QStringList{QStringLiteral("--structure"), QStringLiteral("101"), jpeg}, false},
    };
    // The result: standard output, or the file written.
    auto result = [&out](const QByteArray &standardOutput) {
        QFile written(out);
        const QByteArray bytes = written.open(QIODevice::ReadOnly) ? written.readAll() : standardOutput;
        QFile::remove(out);
        return bytes;
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const CliRun whole = runCli(c.args);
        const QByteArray wholeResult = result(whole.out);
        runProgram(c.args, QString(), env); // keeps the ramp
        QFile::remove(out);
        for (const QString &old : QDir(dir.path()).entryList({QStringLiteral("loads.*")}))
            QFile::remove(dir.filePath(old));
        const ProcessRun r = runProgram(c.args, QString(), traced);
        EXPECT_EQ(r.status, whole.status);
        EXPECT_EQ(r.err, whole.err);
        EXPECT_EQ(result(r.out), wholeResult);
        const QStringList traces = QDir(dir.path()).entryList({QStringLiteral("loads.*")});
        ASSERT_EQ(traces.size(), 1);
        QFile trace(dir.filePath(traces.front()));
        ASSERT_TRUE(trace.open(QIODevice::ReadOnly));
        // A sanitized program links the GUI libraries (see src/cli/CMakeLists.txt).
        EXPECT_EQ(!trace.readAll().contains("libQt6Gui"), c.quick && TESSILOR_STARTER_LEAN);
    }
}

// --structure 0 writes the tone method's text byte for byte as the choice
// by ink alone writes it (the conversion without the picture's detail), on
// light paper and on black, for a drawing (decoded whole and, as a JPEG,
// row by row) and a gradient; by default a drawing's lines take other
// characters.
TEST(Cli, ToneStructureZeroIsTheChoiceByInkAlone)
{
    QTemporaryDir dir;
    QImage drawing(480, 360, QImage::Format_RGB32);
    drawing.fill(Qt::white);
    {
        QPainter p(&drawing);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(Qt::black, 6));
        for (int k = 0; k < 6; ++k)
            p.drawLine(QPointF(40 + 80 * k, 20), QPointF(440 - 80 * k, 340));
        p.drawEllipse(QPointF(240, 180), 150, 120);
    }
    const QStringList pictures{writeImage(dir, QStringLiteral("drawing.png"), drawing, "png"),
                               writeImage(dir, QStringLiteral("drawing.jpg"), drawing, "jpeg"),
                               writeImage(dir, QStringLiteral("gradient.bmp"), gradient(300, 200), "bmp")};
    installFontSubstitutions();
    QFont font(rampFonts()[0].face);
    font.setPointSize(8);
    for (const QString &picture : pictures) {
        for (const ArtBackground background : {ArtBackground::Light, ArtBackground::Dark}) {
            const bool dark = background == ArtBackground::Dark;
            SCOPED_TRACE(picture.toStdString() + (dark ? " dark" : " light"));
            // 60 characters a line: 30 classic cells of two characters.
            const PictureSamples grid = testsupport::sampleFile(
                picture, [](QSize) { return QSize(60, 30); }, testsupport::Grids::Luma);
            ASSERT_TRUE(grid.ok());
            QByteArray byInk;
            QBuffer buf(&byInk);
            buf.open(QIODevice::WriteOnly);
            const ToneRamp &ramp = toneRamp(font, rampFonts()[0].ramp, background);
            ASSERT_EQ(convertToToneText(grid.luma, ramp, 0, buf, {}, background).error, ConvertError::None);
            const QStringList options{
                QStringLiteral("--method"),     QStringLiteral("tone"),
                QStringLiteral("--background"), dark ? QStringLiteral("dark") : QStringLiteral("light"),
                QStringLiteral("-c"),           QStringLiteral("60"),
                QStringLiteral("-r"),           QStringLiteral("30")};
            const CliRun zero =
                runCli(options + QStringList{QStringLiteral("--structure"), QStringLiteral("0"), picture});
            ASSERT_EQ(zero.status, 0) << zero.err.constData();
            EXPECT_EQ(zero.out, byInk);
            if (picture.contains(QStringLiteral("drawing"))) {
                EXPECT_NE(runCli(options + QStringList{picture}).out, byInk);
            }
        }
    }
}

// Light on dark: the densest character stands for white, for both methods,
// in txt, ansi (the terminal's own foreground) and html (a black page, light
// text); the characters are those of the light art's ramp.
TEST(Cli, LightOnDarkReadsTheRampFromItsDarkEnd)
{
    QTemporaryDir dir;
    QImage img(480, 120, QImage::Format_RGB32);
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            img.setPixel(x, y, qRgb(x * 255 / 479, x * 255 / 479, x * 255 / 479)); // black to white
    const QString path = writeImage(dir, QStringLiteral("ramp.bmp"), img, "bmp");
    installFontSubstitutions();
    QFont font(rampFonts()[0].face);
    font.setPointSize(8);
    const QString classicRamp = rampFonts()[0].ramp;
    for (const QString &method : {QStringLiteral("classic"), QStringLiteral("tone")}) {
        for (const QString &background : {QStringLiteral("light"), QStringLiteral("dark")}) {
            SCOPED_TRACE((method + u' ' + background).toStdString());
            const bool dark = background == QLatin1String("dark");
            const QStringList args{
                QStringLiteral("--method"), method, QStringLiteral("--background"), background, QStringLiteral("-c"),
                QStringLiteral("80"),       path};
            const CliRun txt = runCli(args);
            ASSERT_EQ(txt.status, 0) << txt.err.constData();
            const QStringList lines = QString::fromUtf8(txt.out).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
            ASSERT_FALSE(lines.isEmpty());
            // Ink of each band of 16 characters, light to dark ramp order.
            const ToneRamp &ramp = toneRamp(font, classicRamp, dark ? ArtBackground::Dark : ArtBackground::Light);
            std::vector<double> bands(size_t(lines.first().size() / 16), 0.0);
            for (const QString &line : lines) {
                for (qsizetype j = 0; j < qsizetype(bands.size()) * 16; ++j) {
                    // The tone method may draw flat light on black with a
                    // shape candidate of the densest character's light.
                    const bool tone = method == QLatin1String("tone");
                    const qsizetype k = tone ? ramp.chars.indexOf(line[j]) : classicRamp.indexOf(line[j]);
                    const qsizetype shape = tone && k < 0 ? ramp.shapeChars.indexOf(line[j]) : -1;
                    ASSERT_TRUE(k >= 0 || shape >= 0) << int(line[j].unicode());
                    bands[size_t(j / 16)] += shape >= 0 ? ramp.shapeLevel[size_t(shape)]
                                             : tone     ? ramp.level[size_t(k)]
                                                        : double(k) / classicRamp.size();
                }
            }
            // The picture grows lighter to the right: on paper the ink falls,
            // on black it grows.
            for (size_t b = 1; b < bands.size(); ++b) {
                if (dark)
                    EXPECT_GT(bands[b], bands[b - 1]) << b;
                else
                    EXPECT_LT(bands[b], bands[b - 1]) << b;
            }
            const CliRun ansi = runCli(args + QStringList{QStringLiteral("-F"), QStringLiteral("ansi")});
            ASSERT_EQ(ansi.status, 0);
            EXPECT_FALSE(ansi.out.contains("\x1b[38;"));
            EXPECT_EQ(QString::fromUtf8(ansi.out).remove(QStringLiteral("\x1b[39m")).remove(QStringLiteral("\x1b[0m")),
                      QString::fromUtf8(txt.out).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
            const CliRun html = runCli(args + QStringList{QStringLiteral("-F"), QStringLiteral("html")});
            ASSERT_EQ(html.status, 0);
            EXPECT_EQ(html.out.contains("background-color:#000000;color:#ffffff"), dark);
            EXPECT_EQ(html.out.contains(";color:#ffffff;line-height"), dark); // the text's own colour
        }
    }
}

TEST(Cli, FilledFiguresCarryFigureAndBackgroundColours)
{
    QTemporaryDir dir;
    QImage img(40, 20, QImage::Format_RGB32);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 40; ++x)
            img.setPixel(x, y, qRgb(x * 6, 200 - y * 9, 90));
    const QString path = writeImage(dir, QStringLiteral("g.bmp"), img, "bmp");
    const CliRun r = runCli({QStringLiteral("-m"), QStringLiteral("figures"), QStringLiteral("--fill"),
                             QStringLiteral("-F"), QStringLiteral("colors"), QStringLiteral("-c"), QStringLiteral("20"),
                             QStringLiteral("-r"), QStringLiteral("16"), path});
    ASSERT_EQ(r.status, 0) << r.err.constData();
    const QList<QByteArray> lines = r.out.split('\n');
    ASSERT_EQ(lines.size(), 20 * 16 + 1);
    // The glyph's ink in its font and size, as the figure mode draws it.
    QFont font(InstallFont(programFilesFolder() + QStringLiteral("/GLYFA__1.TTF")));
    font.setPointSize(8);
    // Drawn darker than its background a glyph takes more light than drawn
    // lighter (its soft edges blend as sRGB values); its ink as the window
    // draws it.
    const FillInk ink = figureInkAsDrawn(font, QChar(u'V'));
    ASSERT_GT(ink.onDark, 0.1);
    ASSERT_LT(ink.onLight, 0.5);
    ASSERT_GT(ink.onLight, ink.onDark);
    const QImage grid = resampleBox(img, 20, 16);
    for (int i = 0; i < 20 * 16; ++i) {
        const QList<QByteArray> numbers = lines[i].simplified().split(' ');
        ASSERT_EQ(numbers.size(), 2) << lines[i].constData();
        const quint32 sampled = figureCellColor(grid.pixel(i % 20, i / 20), false);
        const quint32 fig = numbers[0].toUInt(), back = numbers[1].toUInt();
        EXPECT_NE(fig, back) << i;
        const int s[3] = {redOf(sampled), greenOf(sampled), blueOf(sampled)};
        const int f[3] = {redOf(fig), greenOf(fig), blueOf(fig)};
        const int b[3] = {redOf(back), greenOf(back), blueOf(back)};
        // Each channel of the cell, drawn, has the sampled light (as near as
        // 8-bit colours come).
        for (int c = 0; c < 3; ++c)
            ASSERT_NEAR(drawnCellLight(ink, f[c], b[c]), srgbToLinear(s[c]), 0.006) << i;
    }
    // HTML shows the backgrounds.
    const CliRun html =
        runCli({QStringLiteral("-m"), QStringLiteral("figures"), QStringLiteral("--fill"), QStringLiteral("-F"),
                QStringLiteral("html"), QStringLiteral("-c"), QStringLiteral("20"), path});
    ASSERT_EQ(html.status, 0);
    EXPECT_GE(html.out.count("background-color:"), 20 * 10);

    // A grey field, drawn as the window draws it (-F png) and seen from a
    // distance, has its grey: dark, mid and light, small and large type.
    for (const int grey : {30, 100, 128, 200, 230}) {
        QImage flat(120, 120, QImage::Format_RGB32);
        flat.fill(qRgb(grey, grey, grey));
        const QString field = writeImage(dir, QStringLiteral("flat.bmp"), flat, "bmp");
        for (const char *size : {"8", "18"}) {
            const CliRun png =
                runCli({QStringLiteral("-m"), QStringLiteral("figures"), QStringLiteral("--fill"),
                        QStringLiteral("--gray"), QStringLiteral("-s"), QString::fromLatin1(size), QStringLiteral("-c"),
                        QStringLiteral("12"), QStringLiteral("-F"), QStringLiteral("png"), field});
            ASSERT_EQ(png.status, 0) << png.err.constData();
            QImage drawn;
            ASSERT_TRUE(drawn.loadFromData(png.out, "PNG"));
            double light = 0;
            int n = 0;
            for (int y = drawn.height() / 4; y < drawn.height() * 3 / 4; ++y)
                for (int x = drawn.width() / 4; x < drawn.width() * 3 / 4; ++x, ++n)
                    light += srgbToLinear(qGreen(drawn.pixel(x, y)));
            EXPECT_NEAR(linearToSrgb(light / n) * 255, grey, 6.0) << grey << " at " << size << " pt";
        }
    }
}

TEST(Cli, PictureArgumentsAreFilesAndErrorsSayWhatHappened)
{
    QTemporaryDir dir;
    ASSERT_TRUE(gradient(30, 20).save(dir.path() + QStringLiteral("/:colon.bmp"), "BMP"));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("pictures.jpg")));
    struct Case {
        QString image;
        int status;
        const char *message;
    };
    const Case cases[] = {
        {QString(), 1, "no such file"},                               // an empty name is no file
        {QStringLiteral(":colon.bmp"), 0, ""},                        // a file, though the name starts with ':'
        {QStringLiteral(":/tessilor/sample.jpg"), 1, "no such file"}, // not the built-in picture
        {QStringLiteral("pictures.jpg"), 1, "is a folder"},
        {QStringLiteral("missing.jpg"), 1, "no such file"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.image.toStdString());
        const ProcessRun r = runProgram({QStringLiteral("-c"), QStringLiteral("20"), c.image}, dir.path());
        EXPECT_EQ(r.status, c.status) << r.err.constData();
        if (c.status == 0) {
            EXPECT_EQ(r.out.count('\n'), 16);
            EXPECT_TRUE(r.err.isEmpty()) << r.err.constData();
        } else {
            EXPECT_TRUE(r.err.contains(c.message)) << r.err.constData();
            EXPECT_TRUE(r.out.isEmpty());
        }
    }
}

TEST(Cli, FileNamesKeepTheirBytes)
{
    // Names in another encoding than UTF-8 (CP1251 here), as a shell hands
    // them over: the picture is read, the output written under its own
    // bytes, and a message names a missing file as it was given.
    QTemporaryDir dir;
    const QByteArray folder = QFile::encodeName(dir.path());
    const QByteArray picture = folder + "/pic\xcf\xf0.bmp";
    QBuffer bmp;
    bmp.open(QIODevice::WriteOnly);
    ASSERT_TRUE(gradient(40, 30).save(&bmp, "BMP"));
    const int fd = ::open(picture.constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, bmp.data().constData(), size_t(bmp.size())), ssize_t(bmp.size()));
    ::close(fd);

    const auto runWithBytes = [&](const QString &script) {
        QProcess p;
        p.setWorkingDirectory(dir.path());
        p.start(QStringLiteral("sh"), {QStringLiteral("-c"), script, QStringLiteral(TESSILOR_CLI_PATH)});
        EXPECT_TRUE(p.waitForFinished(60000));
        return std::make_pair(p.exitCode(), p.readAllStandardError());
    };
    auto [status, err] = runWithBytes(
        QStringLiteral("exec \"$0\" -c 20 -o \"$(printf 'out\\317\\360.txt')\" \"$(printf 'pic\\317\\360.bmp')\""));
    EXPECT_EQ(status, 0) << err.constData();
    struct stat st;
    EXPECT_EQ(::stat((folder + "/out\xcf\xf0.txt").constData(), &st), 0);

    std::tie(status, err) = runWithBytes(QStringLiteral("exec \"$0\" \"$(printf 'miss\\317.bmp')\""));
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(err.contains("miss\xcf.bmp: no such file")) << err.toHex().constData();
    // Qt's own file classes cannot name these files; they go as they came.
    ::unlink(picture.constData());
    ::unlink((folder + "/out\xcf\xf0.txt").constData());
}

TEST(Cli, StandardOutputThatCannotTakeItAllIsAnError)
{
    // A full device, and a file that can grow to 2000 bytes only (a file
    // size limit stands in for a file system that fills up part-way): exit
    // 1 and a message, whatever the output. Before, output small enough for
    // the C library's buffer was lost at exit without a word, and output cut
    // part-way ended with status 0.
    QTemporaryDir dir;
    const QString cut = dir.filePath(QStringLiteral("cut.txt"));
    struct Case {
        QStringList args;
        QString output;
    };
    const QString full = QStringLiteral("/dev/full");
    const Case cases[] = {
        {{QStringLiteral("-c"), QStringLiteral("20")}, full},
        {{QStringLiteral("--help")}, full},
        {{}, cut},
        {{QStringLiteral("-m"), QStringLiteral("figures"), QStringLiteral("-c"), QStringLiteral("300")}, cut},
        {{QStringLiteral("-F"), QStringLiteral("rtf"), QStringLiteral("-c"), QStringLiteral("300")}, cut},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE((c.args.join(u' ') + QStringLiteral(" > ") + c.output).toStdString());
        if (c.output == full && !QFile::exists(full))
            continue;
        QProcess p;
        p.setStandardOutputFile(c.output, QIODevice::Truncate);
        p.setChildProcessModifier([] {
            std::signal(SIGXFSZ, SIG_IGN); // a write past the limit fails instead of killing
            const rlimit lim{2000, 2000};
            ::setrlimit(RLIMIT_FSIZE, &lim);
        });
        p.start(QStringLiteral(TESSILOR_CLI_PATH), c.args);
        ASSERT_TRUE(p.waitForFinished(60000));
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), 1);
        EXPECT_TRUE(p.readAllStandardError().contains("cannot write to standard output"));
    }
}

namespace {

enum class Kind { Missing, Regular, Link, Fifo, CharDevice, Other };

Kind kindOf(const QString &path)
{
    struct stat st;
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return Kind::Missing;
    if (S_ISREG(st.st_mode))
        return Kind::Regular;
    if (S_ISLNK(st.st_mode))
        return Kind::Link;
    if (S_ISFIFO(st.st_mode))
        return Kind::Fifo;
    if (S_ISCHR(st.st_mode))
        return Kind::CharDevice;
    return Kind::Other;
}

} // namespace

TEST(Cli, OutputFilesAreReplacedStreamsWrittenAndLinksNeverFollowed)
{
    QTemporaryDir dir;
    const QString picture = dir.filePath(QStringLiteral("pic.bmp"));
    ASSERT_TRUE(gradient(40, 30).save(picture, "BMP"));
    const QByteArray pictureBytes = fileBytes(picture);
    const QStringList common{QStringLiteral("-c"), QStringLiteral("20"), picture};
    const CliRun reference = runCli(common);
    ASSERT_EQ(reference.status, 0);
    auto path = [&](const char *name) { return dir.filePath(QLatin1String(name)); };
    auto writeFile = [](const QString &p, const QByteArray &bytes) {
        QFile f(p);
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
    };

    ASSERT_TRUE(writeFile(path("target.txt"), "keep me"));
    ASSERT_TRUE(QFile::link(path("target.txt"), path("link.txt")));
    ASSERT_TRUE(QFile::link(path("nowhere.txt"), path("dangling.txt")));
    ASSERT_TRUE(writeFile(path("old.txt"), "an earlier result"));
    ASSERT_TRUE(QFile::setPermissions(path("old.txt"),
                                      QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup));
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("fifo")).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(path("fifo"), path("fifo-link")));
    // A device node of one's own, never the system's: a private /dev/null.
    const bool device = ::mknod(QFile::encodeName(path("null")).constData(), S_IFCHR | 0666, makedev(1, 3)) == 0;

    struct Case {
        const char *output;
        Kind before;
        Kind after;          // of the output name after the run
        bool receivesResult; // the result can be read back from the name
    };
    const Case cases[] = {
        {"new.txt", Kind::Missing, Kind::Regular, true},
        {"old.txt", Kind::Regular, Kind::Regular, true},
        {"link.txt", Kind::Link, Kind::Regular, true}, // the link is replaced, its target kept
        {"dangling.txt", Kind::Link, Kind::Regular, true},
        {"fifo", Kind::Fifo, Kind::Fifo, false},      // written through as a stream
        {"fifo-link", Kind::Link, Kind::Link, false}, // a link to a stream (as /dev/stdout is)
        {"null", Kind::CharDevice, Kind::CharDevice, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.output);
        const QString out = path(c.output);
        if (c.before == Kind::CharDevice && !device)
            continue; // making a device node takes root
        ASSERT_EQ(kindOf(out), c.before);
        int reader = -1;
        if (c.before == Kind::Fifo || QLatin1String(c.output) == QLatin1String("fifo-link"))
            reader = ::open(QFile::encodeName(path("fifo")).constData(), O_RDONLY | O_NONBLOCK);
        const ProcessRun r = runProgram(QStringList{QStringLiteral("-o"), out} + common);
        EXPECT_EQ(r.status, 0) << r.err.constData();
        EXPECT_TRUE(r.err.isEmpty()) << r.err.constData();
        EXPECT_EQ(kindOf(out), c.after);
        if (c.receivesResult) {
            EXPECT_EQ(fileBytes(out), reference.out);
        }
        if (reader >= 0) {
            QByteArray got(65536, '\0');
            const ssize_t n = ::read(reader, got.data(), size_t(got.size()));
            ::close(reader);
            EXPECT_EQ(got.left(qMax<ssize_t>(n, 0)), reference.out);
        }
    }
    EXPECT_EQ(fileBytes(path("target.txt")), QByteArray("keep me"));
    EXPECT_FALSE(QFile::exists(path("nowhere.txt")));
    EXPECT_EQ(QFile::permissions(path("old.txt")) & 0x0777, QFileDevice::Permissions(0x0640)); // mode kept

    // The picture itself, under any spelling, is never an output.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("sub")));
    for (const QString &self : {picture, dir.path() + QStringLiteral("/sub/../pic.bmp")}) {
        const ProcessRun r =
            runProgram(QStringList{QStringLiteral("-F"), QStringLiteral("txt"), QStringLiteral("-o"), self} + common);
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(r.err.contains("the picture itself")) << r.err.constData();
        EXPECT_EQ(fileBytes(picture), pictureBytes);
    }
    // Names up to the longest the folder takes are written: the hidden
    // temporary name, 8 bytes longer, is cut short where needed (names of
    // 248 to 255 bytes failed with "File name too long"). One byte more is
    // refused before anything is made.
    for (const int length : {247, 248, 255, 256}) {
        SCOPED_TRACE(length);
        const QString out = dir.filePath(QString(length - 4, u'n') + QStringLiteral(".txt"));
        const CliRun r = runCli(QStringList{QStringLiteral("-o"), out} + common);
        if (length <= 255) {
            EXPECT_EQ(r.status, 0) << r.err.constData();
            EXPECT_EQ(fileBytes(out), reference.out);
            QFile::remove(out);
        } else {
            EXPECT_EQ(r.status, 1);
            EXPECT_TRUE(r.err.contains("File name too long")) << r.err.constData();
        }
    }
    // No temporary file is left behind.
    QStringList names =
        QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    names.removeAll(QStringLiteral("null"));
    names.sort();
    EXPECT_EQ(names, (QStringList{QStringLiteral("dangling.txt"), QStringLiteral("fifo"), QStringLiteral("fifo-link"),
                                  QStringLiteral("link.txt"), QStringLiteral("new.txt"), QStringLiteral("old.txt"),
                                  QStringLiteral("pic.bmp"), QStringLiteral("sub"), QStringLiteral("target.txt")}));
}

TEST(Cli, SuccessIsQuietAndLeavesNothingButTheOutput)
{
    // As a batch job starts it: no runtime folder named, a temporary folder
    // and a home of its own. A success writes nothing on stderr (Qt printed
    // "QStandardPaths: XDG_RUNTIME_DIR not set" and its JPEG plugin every
    // libjpeg remark) and creates nothing but the output (Qt made
    // runtime-<user> in the temporary folder).
    QTemporaryDir work, temp, home, shared;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.insert(QStringLiteral("TMPDIR"), temp.path());
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_CACHE_HOME"), home.filePath(QStringLiteral(".cache")));
    // The folders the program shares fonts and their aliases in are this
    // test's own as well: figure fonts an earlier test shared in this
    // process's data folder, their fontconfig cache kept elsewhere, were
    // scanned again here and that cache written into the home.
    env.insert(QStringLiteral("XDG_DATA_HOME"), shared.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), shared.filePath(QStringLiteral("config")));
    // A JPEG with junk bytes before its end marker: whole, but libjpeg
    // remarks on it.
    QByteArray jpeg;
    QBuffer buf(&jpeg);
    buf.open(QIODevice::WriteOnly);
    ASSERT_TRUE(QImageWriter(&buf, "jpeg").write(gradient(64, 40)));
    jpeg.insert(jpeg.size() - 2, QByteArray(100, '\0'));
    QFile pic(work.filePath(QStringLiteral("junk-before-end.jpg")));
    ASSERT_TRUE(pic.open(QIODevice::WriteOnly));
    pic.write(jpeg);
    pic.close();
    const QStringList cases[] = {
        {QStringLiteral("-c"), QStringLiteral("40")},
        {QStringLiteral("-c"), QStringLiteral("40"), QStringLiteral("junk-before-end.jpg")},
        {QStringLiteral("-F"), QStringLiteral("rtf"), QStringLiteral("-o"), QStringLiteral("out.rtf")},
        {QStringLiteral("-m"), QStringLiteral("figures"), QStringLiteral("-o"), QStringLiteral("out.html")},
    };
    for (const QStringList &args : cases) {
        SCOPED_TRACE(args.join(u' ').toStdString());
        const ProcessRun r = runProgram(args, work.path(), env);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err.toStdString(), "");
    }
    const auto entries = [](const QString &path) {
        return QDir(path)
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)
            .join(u' ')
            .toStdString();
    };
    EXPECT_EQ(entries(temp.path()), "");
    EXPECT_EQ(entries(home.path()), "");

    // Without a home (as under cron) an RTF result's fonts are not shared
    // with other applications, and that is said only when asked for with
    // --verbose (it was a note on every successful run). The private font
    // cache folder in the temporary folder goes at the end.
    QTemporaryDir bare;
    QProcessEnvironment noHome = env;
    noHome.remove(QStringLiteral("HOME"));
    noHome.remove(QStringLiteral("XDG_CACHE_HOME"));
    noHome.insert(QStringLiteral("XDG_DATA_HOME"), bare.filePath(QStringLiteral("data")));
    noHome.insert(QStringLiteral("XDG_CONFIG_HOME"), bare.filePath(QStringLiteral("config")));
    const QStringList rtf{QStringLiteral("-m"),  QStringLiteral("figures"), QStringLiteral("-F"),
                          QStringLiteral("rtf"), QStringLiteral("-o"),      QStringLiteral("out.rtf")};
    ProcessRun r = runProgram(rtf, work.path(), noHome);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err.toStdString(), "");
    r = runProgram(QStringList{QStringLiteral("--verbose")} + rtf, work.path(), noHome);
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.err.contains("HOME is not set")) << r.err.constData();
    EXPECT_EQ(entries(temp.path()), "");
    EXPECT_EQ(entries(bare.path()), "");
    EXPECT_EQ(entries(work.path()), "junk-before-end.jpg out.html out.rtf");
}

TEST(Cli, JobsAtOnceAreQuietAndWriteWhatOneAtATimeWrites)
{
    // A text document lays itself out with timers, which Qt refused on the
    // batch's threads: "QBasicTimer::start: QBasicTimer can only be used with
    // threads started with QThread", 16 to 76 lines on a successful run.
    QTemporaryDir dir;
    const QStringList pictures{writeImage(dir, QStringLiteral("a.bmp"), gradient(120, 90), "bmp"),
                               writeImage(dir, QStringLiteral("b.png"), gradient(90, 120).mirrored(), "png"),
                               writeImage(dir, QStringLiteral("c.bmp"), gradient(64, 64).mirrored(true, false), "bmp")};
    static const QRegularExpression date(QStringLiteral("/CreationDate \\(D:[^)]*\\)"));
    for (const char *format : {"png", "rtf", "html", "pdf", "ansi"}) {
        std::map<QString, QByteArray> results[2];
        for (const int jobs : {1, 2}) {
            SCOPED_TRACE(std::string(format) + " -j " + std::to_string(jobs));
            const QString out = dir.filePath(QStringLiteral("%1-%2").arg(QLatin1String(format)).arg(jobs));
            ASSERT_TRUE(QDir().mkdir(out));
            const ProcessRun r = runProgram(
                QStringList{QStringLiteral("-j"), QString::number(jobs), QStringLiteral("-F"), QLatin1String(format),
                            QStringLiteral("-c"), QStringLiteral("1024"), QStringLiteral("-r"), QStringLiteral("200"),
                            QStringLiteral("--output-dir"), out} +
                pictures);
            EXPECT_EQ(r.status, 0);
            EXPECT_EQ(r.err.toStdString(), "");
            for (const QString &name : QDir(out).entryList(QDir::Files)) {
                QByteArray bytes = fileBytes(QDir(out).filePath(name));
                if (QLatin1String(format) == QLatin1String("pdf"))
                    bytes = QString::fromLatin1(bytes).remove(date).toLatin1();
                results[jobs - 1][name] = bytes;
            }
        }
        EXPECT_EQ(results[0].size(), 3u) << format;
        EXPECT_TRUE(results[0] == results[1]) << format << ": -j 2 wrote other bytes than -j 1";
    }
}

TEST(Cli, LosslessPngWebpAndTiffGiveTheArtOfTheSamePixelsInBmp)
{
    QTemporaryDir dir;
    const QImage img = gradient(120, 80);
    const QString bmp = writeImage(dir, QStringLiteral("same.bmp"), img, "bmp");
    struct Picture {
        const char *format;
        int quality;
        int compression;
    };
    // WebP at quality 100 is lossless; TIFF compression 1 is LZW.
    const Picture pictures[] = {{"png", -1, -1}, {"webp", 100, -1}, {"tiff", -1, 0}, {"tiff", -1, 1}};
    const QStringList runs[] = {
        {QStringLiteral("-c"), QStringLiteral("60")},
        {QStringLiteral("--method"), QStringLiteral("tone"), QStringLiteral("-c"), QStringLiteral("60")},
        {QStringLiteral("-m"), QStringLiteral("figures"), QStringLiteral("-F"), QStringLiteral("colors"),
         QStringLiteral("-c"), QStringLiteral("30")},
        {QStringLiteral("-m"), QStringLiteral("figures"), QStringLiteral("--fill"), QStringLiteral("-F"),
         QStringLiteral("rtf")},
    };
    int n = 0;
    for (const Picture &p : pictures) {
        const QString path = dir.filePath(QStringLiteral("same%1").arg(n++));
        QImageWriter w(path, p.format);
        w.setQuality(p.quality);
        w.setCompression(p.compression);
        ASSERT_TRUE(w.write(img));
        for (const QStringList &args : runs) {
            SCOPED_TRACE(std::string(p.format) + " " + args.join(u' ').toStdString());
            const CliRun expected = runCli(args + QStringList{bmp});
            const CliRun got = runCli(args + QStringList{path});
            ASSERT_EQ(got.status, 0) << got.err.constData();
            EXPECT_FALSE(got.out.isEmpty());
            EXPECT_EQ(got.out, expected.out);
        }
        // The program says nothing on a success.
        const ProcessRun r = runProgram({QStringLiteral("-c"), QStringLiteral("40"), path});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err.toStdString(), "");
    }
}
