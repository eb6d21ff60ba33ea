// The figure fonts and the text-font aliases made visible to other
// applications through fontconfig: copied once into the user's folders,
// found by the fontconfig tools afterwards, left alone when fontconfig has
// them already, and never written into another user's folder or through a
// symbolic link. Every test has a home of its own (see TestHome).
#include "portabletestsupport.h"

#include "art/fontfaces.h"
#include "art/fonttables.h"
#include "base/options.h"
#include "base/paths.h"
#include "fonts/fontmodule.h"

#include <QDateTime>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <sys/resource.h>
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

// Every entry below folder, links not followed: its kind, size and time.
std::map<std::string, std::string> treeOf(const QString &folder, const QStringList &skip = {})
{
    std::map<std::string, std::string> tree;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString relative = path.mid(folder.size() + 1);
        if (std::any_of(skip.begin(), skip.end(), [&](const QString &s) { return relative.startsWith(s); }))
            continue;
        const QFileInfo info(path);
        const QString entry =
            info.isSymLink() ? QStringLiteral("link ") + info.symLinkTarget()
            : info.isDir()   ? QStringLiteral("folder")
                           : QStringLiteral("file %1 %2").arg(info.size()).arg(info.lastModified().toMSecsSinceEpoch());
        tree[relative.toStdString()] = entry.toStdString();
    }
    return tree;
}

// The fontconfig caches the tests and the program write; they change freely.
const QStringList kCacheFolders{QStringLiteral("cache"), QStringLiteral("fontconfig-cache")};

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

// A link at any level of the path below the home, a home that is missing
// or not the user's, and a write that fails part way: each ends with
// nothing written (neither through the link nor into the home), no cut or
// temporary file left behind, and the cause in the error.
TEST(FontSharing, NothingIsWrittenThroughALinkAtAnyLevelWithoutAHomeOrWhenAWriteFails)
{
    REQUIRE_FIGURE_FONTS_NOT_INSTALLED();
    const bool aliasesNeeded = [] {
        TestHome h;
        return !textFontsResolveMonospaced();
    }();
    const QString aliasName = QLatin1String(kTextFontAliasFileName);
    struct Case {
        QString what;
        bool aliases;        // the fontconfig file, else the figure fonts
        QString link;        // this path below the home becomes a link to "elsewhere/<its name>"
        QByteArray home;     // HOME: "unset", "/", "file", "other" (another user's), "relative", or the test's
        rlim_t fileSize = 0; // a limit on the size of files written, so that writes fail
        QString error;       // part of the error
    };
    QList<Case> cases;
    const QStringList fontLevels{QStringLiteral("data"), QStringLiteral("data/fonts"),
                                 QStringLiteral("data/fonts/tessilor"),
                                 QStringLiteral("data/fonts/tessilor/GLYFA__1.TTF")};
    const QStringList aliasLevels{QStringLiteral("config"), QStringLiteral("config/fontconfig"),
                                  QStringLiteral("config/fontconfig/conf.d"),
                                  QStringLiteral("config/fontconfig/conf.d/") + aliasName};
    for (const QString &level : fontLevels)
        cases.append({QStringLiteral("link at ") + level, false, level, {}, 0, QStringLiteral("link")});
    for (const QString &level : aliasLevels)
        cases.append({QStringLiteral("link at ") + level, true, level, {}, 0, QStringLiteral("link")});
    for (bool aliases : {false, true}) {
        for (const char *home : {"unset", "/", "file", "other", "relative"})
            cases.append({QStringLiteral("HOME %1, %2").arg(QLatin1String(home), aliases ? "aliases" : "fonts"),
                          aliases, QString(), home, 0, QStringLiteral("HOME")});
        cases.append({QStringLiteral("writes fail part way, ") + (aliases ? "aliases" : "fonts"),
                      aliases,
                      QString(),
                      {},
                      1024,
                      QString::fromLocal8Bit(std::strerror(EFBIG))});
    }
    const bool root = ::geteuid() == 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what.toStdString());
        if (c.aliases && !aliasesNeeded) {
            std::printf("skipped (fontconfig sets the text fonts monospaced already): %s\n", qPrintable(c.what));
            continue;
        }
        if (c.home == "other" && !root) {
            std::printf("skipped (needs root to give a folder to another user): %s\n", qPrintable(c.what));
            continue;
        }
        TestHome home;
        const QString victim = QStringLiteral("must stay as it is");
        QDir().mkpath(home.path(QStringLiteral("elsewhere")));
        if (!c.link.isEmpty()) {
            QDir().mkpath(QFileInfo(home.path(c.link)).path());
            const QString to = home.path(QStringLiteral("elsewhere/") + QFileInfo(c.link).fileName());
            if (c.link.endsWith(QLatin1String(".TTF")) || c.link.endsWith(QLatin1String(".conf")))
                ASSERT_TRUE(writeBytes(to, c.aliases ? QByteArray("<?xml version=\"1.0\"?>\n<fontconfig/>\n")
                                                     : victim.toUtf8()));
            else
                ASSERT_TRUE(QDir().mkpath(to));
            ASSERT_TRUE(QFile::link(to, home.path(c.link)));
        }
        if (c.home == "unset") {
            qunsetenv("HOME");
        } else if (c.home == "file") {
            ASSERT_TRUE(writeBytes(home.path(QStringLiteral("a file")), "x"));
            qputenv("HOME", QFile::encodeName(home.path(QStringLiteral("a file"))));
        } else if (c.home == "other") {
            const QString other = home.path(QStringLiteral("other"));
            QDir().mkpath(other);
            ASSERT_EQ(::chown(QFile::encodeName(other).constData(), 65534, 65534), 0);
            qputenv("HOME", QFile::encodeName(other));
        } else if (!c.home.isEmpty()) {
            qputenv("HOME", c.home == "relative" ? QByteArray("home") : c.home);
        }
        const auto before = treeOf(home.path(), kCacheFolders);

        struct rlimit saved = {};
        ::getrlimit(RLIMIT_FSIZE, &saved);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        if (c.fileSize) {
            struct rlimit limited = saved;
            limited.rlim_cur = c.fileSize;
            ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
        }
        const FontShare r =
            c.aliases ? shareTextFontAliases(textFontAliasFile()) : shareFontsWithUser(figureFontFiles());
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);

        EXPECT_EQ(r.outcome, FontShare::Failed);
        EXPECT_TRUE(r.written.isEmpty()) << qPrintable(r.written.join(u' '));
        EXPECT_TRUE(r.error.contains(c.error)) << qPrintable(r.error);
        // Folders of the user's own may have been made on the way; no file.
        auto after = treeOf(home.path(), kCacheFolders);
        for (auto it = after.begin(); it != after.end();)
            it = before.count(it->first) || it->second != "folder" || it->first.starts_with("elsewhere")
                     ? std::next(it)
                     : after.erase(it);
        EXPECT_EQ(after, before);
        EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/.local/share/fonts/tessilor")));
        EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/.config/fontconfig/conf.d/") + aliasName));
    }

    // The command line says why in its note when asked to (--verbose; a
    // run without a home is quiet otherwise), and writes its result.
    TestHome home;
    QProcessEnvironment env = home.environment();
    env.remove(QStringLiteral("HOME"));
    const portabletest::Run r =
        home.run(QStringLiteral(TESSILOR_CLI_PATH),
                 {QStringLiteral("--verbose"), QStringLiteral("-m"), QStringLiteral("figures"), QStringLiteral("-F"),
                  QStringLiteral("rtf"), QStringLiteral("-o"), QStringLiteral("out.rtf")},
                 120000, env);
    EXPECT_EQ(r.status, 0) << r.err.constData();
    EXPECT_TRUE(r.err.contains("note:") && r.err.contains("HOME is not set")) << r.err.constData();
    EXPECT_TRUE(bytesOf(home.path(QStringLiteral("out.rtf"))).startsWith("{\\rtf1"));
    EXPECT_FALSE(QFileInfo::exists(home.path(QStringLiteral("data/fonts"))));
}

// The configuration's own cache folders (the system's, for a process of
// root) are never written: a scan of the program and of tessilor-cli goes
// into the user's cache folder, complete.
TEST(FontSharing, FontconfigCachesGoToTheUsersCacheFolderOnly)
{
    REQUIRE_FIGURE_FONTS_NOT_INSTALLED();
    REQUIRE_FONTCONFIG_TOOLS();
    // A font folder without a cache, as after a system update.
    TestHome fresh;
    const QString extra = fresh.path(QStringLiteral("extra fonts"));
    ASSERT_TRUE(QDir().mkpath(extra));
    ASSERT_TRUE(QFile::copy(figureFontFiles()[1], extra + QStringLiteral("/copy.ttf")));
    TestHome home("<dir>" + extra.toHtmlEscaped().toUtf8() + "</dir>\n");
    const QString system = home.path(QStringLiteral("fontconfig-cache"));
    QDir().mkpath(system);
    const auto before = treeOf(system);

    const FontShare r = shareFontsWithUser(figureFontFiles());
    ASSERT_EQ(r.outcome, FontShare::Shared) << qPrintable(r.error);
    const portabletest::Run cli = home.run(QStringLiteral(TESSILOR_CLI_PATH),
                                           {QStringLiteral("-m"), QStringLiteral("figures"), QStringLiteral("-F"),
                                            QStringLiteral("rtf"), QStringLiteral("-o"), QStringLiteral("out.rtf")});
    EXPECT_EQ(cli.status, 0) << cli.err.constData();
    EXPECT_EQ(treeOf(system), before);
    // The user's cache holds the folder's cache, with both fonts.
    const QString folder = home.path(QStringLiteral("data/fonts/tessilor"));
    const portabletest::Run cat = home.run(QStringLiteral("fc-cat"), {folder});
    EXPECT_TRUE(cat.out.contains("GLYFA__1.TTF") && cat.out.contains("GLYFA__2.TTF")) << cat.out.constData();
    EXPECT_FALSE(QDir(home.path(QStringLiteral("cache/fontconfig"))).isEmpty());
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
