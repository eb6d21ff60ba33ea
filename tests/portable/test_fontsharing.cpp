// The figure fonts and the text-font aliases made visible to other
// applications through fontconfig: copied once into the user's folders,
// found by the fontconfig tools afterwards, left alone when fontconfig has
// them already, and never written into another user's folder or through a
// symbolic link. Every test has a home of its own (see TestHome).
#include "portabletestsupport.h"

#include "engine/fontfaces.h"
#include "engine/fontmodule.h"
#include "engine/options.h"
#include "engine/paths.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <unistd.h>

using namespace tessilor;
using portabletest::TestHome;

namespace {

QStringList figureFontFiles()
{
    return {figureFontFile(1), figureFontFile(2)};
}

QByteArray bytesOf(const QString &file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeBytes(const QString &file, const QByteArray &bytes)
{
    QFile f(file);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Files fontconfig's own tool lists for a family, run as another
// application of the test's user would.
QStringList fcListFiles(const TestHome &home, const QString &family)
{
    const portabletest::Run r =
        home.run(QStringLiteral("fc-list"), {QStringLiteral("-f"), QStringLiteral("%{file}\n"), family});
    return QString::fromUtf8(r.out).split(u'\n', Qt::SkipEmptyParts);
}

// True when fontconfig finds the figure fonts without the user's folder
// (the package is installed): then nothing is ever copied.
bool systemHasFigureFonts()
{
    TestHome home;
    const FontShare r = shareFontsWithUser(figureFontFiles(), home.path(QStringLiteral("unused")));
    return r.outcome == FontShare::AlreadyVisible;
}

#define REQUIRE_FIGURE_FONTS_NOT_INSTALLED()                                                                           \
    if (systemHasFigureFonts())                                                                                        \
    GTEST_SKIP() << "this system's fontconfig has the figure fonts already (is the package installed?)"

#define REQUIRE_FONTCONFIG_TOOLS()                                                                                     \
    if (!portabletest::haveProgram(QStringLiteral("fc-list")) ||                                                       \
        !portabletest::haveProgram(QStringLiteral("fc-match")))                                                        \
    GTEST_SKIP() << "fc-list and fc-match (Debian package fontconfig) are not installed"

} // namespace

TEST(FontSharing, FigureFontsAreCopiedOnceAndFoundByOtherApplications)
{
    REQUIRE_FONTCONFIG_TOOLS();
    REQUIRE_FIGURE_FONTS_NOT_INSTALLED();
    TestHome home;
    const QString folder = home.path(QStringLiteral("data/fonts/tessilor"));
    ASSERT_EQ(userFontFolder(), folder);
    for (int which : {1, 2})
        ASSERT_TRUE(fcListFiles(home, figureFamily(which)).isEmpty()) << "the test home must start without the fonts";

    FontShare r = shareFontsWithUser(figureFontFiles());
    ASSERT_EQ(r.outcome, FontShare::Shared) << qPrintable(r.error);
    const QStringList copies{folder + QStringLiteral("/GLYFA__1.TTF"), folder + QStringLiteral("/GLYFA__2.TTF")};
    EXPECT_EQ(r.written, copies);
    for (int which : {1, 2}) {
        EXPECT_EQ(bytesOf(copies[which - 1]), bytesOf(figureFontFiles()[which - 1]));
        EXPECT_EQ(fcListFiles(home, figureFamily(which)), QStringList{copies[which - 1]});
    }
    EXPECT_EQ(QFileInfo(copies[0]).permissions() & (QFileDevice::ReadOther | QFileDevice::WriteOther),
              QFileDevice::ReadOther);

    // Seen now: a second start writes nothing.
    const QDateTime written = QFileInfo(copies[0]).lastModified();
    r = shareFontsWithUser(figureFontFiles());
    EXPECT_EQ(r.outcome, FontShare::AlreadyVisible) << qPrintable(r.error);
    EXPECT_TRUE(r.written.isEmpty());
    EXPECT_EQ(QFileInfo(copies[0]).lastModified(), written);

    // A copy that differs (an older program's) is replaced, the other kept.
    ASSERT_TRUE(writeBytes(copies[0], bytesOf(figureFontFiles()[1])));
    r = shareFontsWithUser(figureFontFiles());
    ASSERT_EQ(r.outcome, FontShare::Shared) << qPrintable(r.error);
    EXPECT_EQ(r.written, QStringList{copies[0]});
    EXPECT_EQ(bytesOf(copies[0]), bytesOf(figureFontFiles()[0]));
    EXPECT_EQ(fcListFiles(home, figureFamily(1)), QStringList{copies[0]});
}

TEST(FontSharing, NothingIsCopiedWhereFontconfigHasTheFontsAlready)
{
    // As with the package, which puts them into the system font folder.
    TestHome system;
    const QString fonts = system.path(QStringLiteral("usr/share/fonts/truetype/tessilor"));
    ASSERT_TRUE(QDir().mkpath(fonts));
    for (const QString &file : figureFontFiles())
        ASSERT_TRUE(QFile::copy(file, fonts + u'/' + QFileInfo(file).fileName()));
    TestHome home("<dir>" + fonts.toHtmlEscaped().toUtf8() + "</dir>\n");
    const FontShare r = shareFontsWithUser(figureFontFiles());
    EXPECT_EQ(r.outcome, FontShare::AlreadyVisible) << qPrintable(r.error);
    EXPECT_TRUE(r.written.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(home.path(QStringLiteral("data/fonts"))));
}

TEST(FontSharing, NeverWritesIntoAnotherUsersFolderNorThroughALink)
{
    REQUIRE_FIGURE_FONTS_NOT_INSTALLED();
    const bool root = ::geteuid() == 0;
    struct Case {
        const char *what;
        bool needsRoot; // chown to another user
        // Prepares the home; returns the folder to share into and the file
        // that must stay as it is.
        std::function<std::pair<QString, QString>(TestHome &)> prepare;
    };
    const QByteArray victim("not a font: must stay as it is");
    const QList<Case> cases{
        {"the font folder is a link to another folder", false,
         [&](TestHome &h) {
             QDir().mkpath(h.path(QStringLiteral("data/fonts")));
             QDir().mkpath(h.path(QStringLiteral("elsewhere")));
             writeBytes(h.path(QStringLiteral("elsewhere/GLYFA__1.TTF")), victim);
             QFile::link(h.path(QStringLiteral("elsewhere")), h.path(QStringLiteral("data/fonts/tessilor")));
             return std::pair(h.path(QStringLiteral("data/fonts/tessilor")),
                              h.path(QStringLiteral("elsewhere/GLYFA__1.TTF")));
         }},
        {"a font file is a link", false,
         [&](TestHome &h) {
             QDir().mkpath(h.path(QStringLiteral("data/fonts/tessilor")));
             writeBytes(h.path(QStringLiteral("victim")), victim);
             QFile::link(h.path(QStringLiteral("victim")), h.path(QStringLiteral("data/fonts/tessilor/GLYFA__1.TTF")));
             return std::pair(h.path(QStringLiteral("data/fonts/tessilor")), h.path(QStringLiteral("victim")));
         }},
        {"the data folder belongs to another user", true,
         [&](TestHome &h) {
             const QString other = h.path(QStringLiteral("other"));
             QDir().mkpath(other);
             writeBytes(other + QStringLiteral("/file"), victim);
             [[maybe_unused]] const int rc = ::chown(QFile::encodeName(other).constData(), 65534, 65534);
             return std::pair(other + QStringLiteral("/fonts/tessilor"), other + QStringLiteral("/file"));
         }},
        {"a font file belongs to another user", true,
         [&](TestHome &h) {
             const QString folder = h.path(QStringLiteral("data/fonts/tessilor"));
             QDir().mkpath(folder);
             writeBytes(folder + QStringLiteral("/GLYFA__1.TTF"), victim);
             [[maybe_unused]] const int rc =
                 ::chown(QFile::encodeName(folder + QStringLiteral("/GLYFA__1.TTF")).constData(), 65534, 65534);
             return std::pair(folder, folder + QStringLiteral("/GLYFA__1.TTF"));
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        if (c.needsRoot && !root) {
            std::printf("skipped (needs root to give a file to another user): %s\n", c.what);
            continue;
        }
        TestHome home;
        const auto [folder, kept] = c.prepare(home);
        const QFileInfo before(kept);
        const FontShare r = shareFontsWithUser(figureFontFiles(), folder);
        EXPECT_EQ(r.outcome, FontShare::Failed);
        EXPECT_TRUE(r.written.isEmpty());
        EXPECT_FALSE(r.error.isEmpty());
        EXPECT_EQ(bytesOf(kept), victim);
        EXPECT_EQ(QFileInfo(kept).lastModified(), before.lastModified());
        EXPECT_FALSE(QFileInfo::exists(QFileInfo(kept).path() + QStringLiteral("/GLYFA__2.TTF")));
    }
    // Without a home there is no folder to write into: nothing is made in
    // the current folder or the root.
    for (const QString &folder : {QString(), QStringLiteral("fonts/tessilor")}) {
        const FontShare r = shareFontsWithUser(figureFontFiles(), folder);
        EXPECT_EQ(r.outcome, FontShare::Failed);
        EXPECT_FALSE(QFileInfo::exists(QStringLiteral("fonts")));
    }
}

TEST(FontSharing, TextFontAliasesMakeTheFourFontsMonospaced)
{
    REQUIRE_FONTCONFIG_TOOLS();
    TestHome home;
    if (textFontsResolveMonospaced())
        GTEST_SKIP()
            << "this system's fontconfig already sets the four text fonts monospaced (is the package installed?)";
    FontShare r = shareTextFontAliases(textFontAliasFile());
    ASSERT_EQ(r.outcome, FontShare::Shared) << qPrintable(r.error);
    const QString conf = home.path(QStringLiteral("config/fontconfig/conf.d/")) + QLatin1String(kTextFontAliasFileName);
    EXPECT_EQ(r.written, QStringList{conf});
    EXPECT_EQ(bytesOf(conf), bytesOf(textFontAliasFile()));
    for (const RampFont &f : rampFonts()) {
        SCOPED_TRACE(f.face.toStdString());
        const portabletest::Run m = home.run(QStringLiteral("fc-match"),
                                             {QStringLiteral("-f"), QStringLiteral("%{family}|%{spacing}"), f.face});
        const QStringList fields = QString::fromUtf8(m.out).split(u'|');
        ASSERT_EQ(fields.size(), 2) << m.out.constData();
        EXPECT_EQ(fields[0], monospaceStandIns(f.face).value(0));
        EXPECT_EQ(fields[1], QStringLiteral("100")); // FC_MONO
    }
    r = shareTextFontAliases(textFontAliasFile());
    EXPECT_EQ(r.outcome, FontShare::AlreadyVisible) << qPrintable(r.error);
    EXPECT_TRUE(r.written.isEmpty());
}

TEST(FontSharing, TheCommandLineSharesWhatItsRtfNeeds)
{
    struct Case {
        QStringList args;
        bool fonts;   // figure fonts copied
        bool aliases; // fontconfig file copied
    };
    const QList<Case> cases{
        {{QStringLiteral("-m"), QStringLiteral("figures"), QStringLiteral("-F"), QStringLiteral("rtf"),
          QStringLiteral("-o"), QStringLiteral("out.rtf")},
         true,
         false},
        {{QStringLiteral("-F"), QStringLiteral("rtf"), QStringLiteral("-f"), QStringLiteral("3")}, false, true},
        {{QStringLiteral("-m"), QStringLiteral("figures"), QStringLiteral("-F"), QStringLiteral("html"),
          QStringLiteral("-o"), QStringLiteral("out.html")},
         false,
         false},
        {{QStringLiteral("-m"), QStringLiteral("figures"), QStringLiteral("-o"), QStringLiteral("out.txt")},
         false,
         false},
    };
    const bool aliasesNeeded = [] {
        TestHome h;
        return !textFontsResolveMonospaced();
    }();
    const bool fontsNeeded = !systemHasFigureFonts();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.args.join(u' ').toStdString());
        TestHome home;
        const portabletest::Run r = home.run(QStringLiteral(TESSILOR_CLI_PATH), c.args);
        ASSERT_EQ(r.status, 0) << r.err.constData();
        EXPECT_FALSE(r.err.contains("note:")) << r.err.constData();
        EXPECT_EQ(QFileInfo::exists(home.path(QStringLiteral("data/fonts/tessilor/GLYFA__1.TTF"))),
                  c.fonts && fontsNeeded);
        EXPECT_EQ(QFileInfo::exists(home.path(QStringLiteral("config/fontconfig/conf.d/")) +
                                    QLatin1String(kTextFontAliasFileName)),
                  c.aliases && aliasesNeeded);
    }

    // The RTF is written all the same when the fonts cannot be shared, and
    // the user is told why.
    if (!fontsNeeded)
        return;
    TestHome home;
    QDir().mkpath(home.path(QStringLiteral("data/fonts")));
    QDir().mkpath(home.path(QStringLiteral("elsewhere")));
    QFile::link(home.path(QStringLiteral("elsewhere")), home.path(QStringLiteral("data/fonts/tessilor")));
    const portabletest::Run r = home.run(QStringLiteral(TESSILOR_CLI_PATH), cases[0].args);
    EXPECT_EQ(r.status, 0) << r.err.constData();
    EXPECT_TRUE(r.err.contains("note:") && r.err.contains("data/fonts/tessilor")) << r.err.constData();
    EXPECT_TRUE(bytesOf(home.path(QStringLiteral("out.rtf"))).startsWith("{\\rtf1"));
    EXPECT_TRUE(QDir(home.path(QStringLiteral("elsewhere"))).isEmpty());
}
