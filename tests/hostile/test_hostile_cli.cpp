// tessilor-cli on every hostile file: exit status 1, a message naming the
// file, nothing on standard output, an existing output file left as it was,
// no hang and bounded memory.
#include "hostile/hostilecorpus.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

// Address space allowed to one run: the 256 MiB picture limit, its 32-bit
// copy and the Qt libraries fit; an unguarded 60000 x 60000 picture does not.
constexpr rlim_t kAddressSpace = rlim_t(1536) * 1024 * 1024;

struct CliRun {
    bool finished = false;
    int status = -1;
    QByteArray out;
    QByteArray err;
};

CliRun runCli(const QStringList &args, rlim_t addressSpace = kAddressSpace)
{
    QProcess p;
    p.setProgram(QStringLiteral(TESSILOR_CLI_PATH));
    p.setArguments(args);
    p.setStandardInputFile(QProcess::nullDevice());
    // The address sanitizer reserves terabytes of address space, so the limit
    // applies to the normal build only.
    if (!kAddressSanitizer) {
        p.setChildProcessModifier([addressSpace] {
            const rlimit lim{addressSpace, addressSpace};
            ::setrlimit(RLIMIT_AS, &lim);
        });
    }
    p.start();
    CliRun r;
    if (!p.waitForStarted(30000))
        return r;
    // Guards against a hang only; a healthy run takes a fraction of a second.
    r.finished = p.waitForFinished(60000);
    if (!r.finished) {
        p.kill();
        p.waitForFinished(5000);
        return r;
    }
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

// The address space (MB) tessilor-cli needs here to start and convert a
// tiny picture with these options: limits for low-memory tests are set
// above it.
rlim_t startupMegabytes(const QStringList &options)
{
    QTemporaryDir dir;
    const QString tiny = dir.filePath(QStringLiteral("tiny.bmp"));
    QFile f(tiny);
    if (!f.open(QIODevice::WriteOnly))
        return 0;
    f.write(hostile::goodBmp());
    f.close();
    for (rlim_t mb = 40; mb < 1024; mb += 10) {
        if (runCli(options + QStringList{tiny}, mb * 1024 * 1024).status == 0)
            return mb;
    }
    return 0;
}

} // namespace

TEST(HostileCli, EveryHostileFileExitsWithOneAndNamesTheFile)
{
    QTemporaryDir dir;
    QTemporaryDir outDir;
    ASSERT_TRUE(dir.isValid() && outDir.isValid());
    const QList<hostile::HostileFile> corpus = hostile::makeCorpus(dir);
    const QString output = outDir.filePath(QStringLiteral("result.txt"));
    const QByteArray earlier("an earlier result\r\n");
    for (const hostile::HostileFile &h : corpus) {
        SCOPED_TRACE(h.name.toStdString() + ": " + h.what.toStdString());
        {
            QFile f(output);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(earlier);
        }
        for (const QStringList &extra : {QStringList(), QStringList{QStringLiteral("-o"), output}}) {
            const CliRun r = runCli(extra + QStringList{QStringLiteral("--mode"), QStringLiteral("figures"), h.path});
            ASSERT_TRUE(r.finished) << "tessilor-cli did not finish";
            if (h.mayLoadUpTo.isValid() && r.status == 0) {
                // Success is quiet: no decoder's warning on the way.
                EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
                continue;
            }
            EXPECT_EQ(r.status, 1) << r.err.toStdString();
            EXPECT_TRUE(r.err.contains(QFile::encodeName(h.path))) << r.err.toStdString();
            // The program's own message alone: what a decoder said is its
            // detail, not lines of its own.
            for (const QByteArray &line : r.err.split('\n'))
                EXPECT_TRUE(line.isEmpty() || line.startsWith("tessilor-cli: ")) << r.err.toStdString();
            EXPECT_TRUE(r.out.isEmpty());
        }
        QFile f(output);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        if (!h.mayLoadUpTo.isValid()) {
            EXPECT_EQ(f.readAll(), earlier) << "the earlier result was touched";
        }
    }
    // No half-written or temporary files beside the output.
    EXPECT_EQ(QDir(outDir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System),
              QStringList{QStringLiteral("result.txt")});
}

TEST(HostileCli, MemoryLimitLeavesRoomForAGoodPicture)
{
    // The limit above must not be what makes the hostile runs fail.
    QTemporaryDir dir;
    const QString good = dir.filePath(QStringLiteral("good.bmp"));
    QFile f(good);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(hostile::goodBmp());
    f.close();
    const CliRun r = runCli({good});
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_FALSE(r.out.isEmpty());
}

TEST(HostileCli, PictureShrinkingWhileReadIsAnErrorNotACrash)
{
    // A JPEG that takes the decoder long (many scans of a large picture) is
    // cut to nothing at several moments of the run: the program ends with a
    // message however far it got, never by a signal (SIGBUS on a mapped file).
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("shrinking.jpg"));
    const QByteArray bytes = hostile::progressiveFlatJpeg(4096, 4096, 1, 300);
    for (int delayMs : {0, 20, 50, 100, 200, 400}) {
        SCOPED_TRACE(delayMs);
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
        f.close();
        QProcess p;
        p.start(QStringLiteral(TESSILOR_CLI_PATH), {QStringLiteral("-c"), QStringLiteral("40"), path});
        ASSERT_TRUE(p.waitForStarted(30000));
        QThread::msleep(ulong(delayMs));
        ASSERT_TRUE(QFile::resize(path, 0));
        ASSERT_TRUE(p.waitForFinished(60000));
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit) << "ended by signal " << p.exitCode();
        EXPECT_EQ(p.exitCode(), 1);
        EXPECT_TRUE(p.readAllStandardError().contains(QFile::encodeName(path)));
    }
}

TEST(HostileCli, EveryFormatUnderLowMemoryEndsWithAMessage)
{
    // A 1024 x 1024 figure result of a picture with a different colour in
    // nearly every cell, in every format, under ever less address space:
    // each run ends normally, with the result or with exit 1 and "not
    // enough memory" naming the picture, and leaves no file behind, never
    // by SIGABRT or SIGSEGV (Qt's PDF engine threw std::bad_alloc from
    // QPainter::end(), and again from the painter's destructor).
    if (kAddressSanitizer)
        GTEST_SKIP() << "the address sanitizer reserves more address space than any limit here";
    QTemporaryDir dir;
    const QString picture = dir.filePath(QStringLiteral("colours.bmp"));
    QImage img(1024, 1024, QImage::Format_RGB32);
    for (int y = 0; y < 1024; ++y)
        for (int x = 0; x < 1024; ++x)
            img.setPixel(x, y, qRgb((x * 37) & 255, (y * 53) & 255, ((x ^ y) * 11) & 255));
    ASSERT_TRUE(img.save(picture, "BMP"));
    const QString out = dir.filePath(QStringLiteral("out"));
    auto run = [&](const QString &format, rlim_t megabytes) {
        QFile::remove(out);
        return runCli({QStringLiteral("-m"), QStringLiteral("figures"), QStringLiteral("-c"), QStringLiteral("1024"),
                       QStringLiteral("-r"), QStringLiteral("1024"), QStringLiteral("-F"), format, QStringLiteral("-o"),
                       out, picture},
                      megabytes * 1024 * 1024);
    };
    const rlim_t rich = startupMegabytes({QStringLiteral("-m"), QStringLiteral("figures"), QStringLiteral("-F"),
                                          QStringLiteral("rtf"), QStringLiteral("-o"), out});
    const rlim_t plain = startupMegabytes({QStringLiteral("-m"), QStringLiteral("figures"), QStringLiteral("-o"), out});
    ASSERT_GT(rich, rlim_t(0));
    ASSERT_GT(plain, rlim_t(0));
    struct Case {
        const char *format;
        rlim_t base;
        std::vector<rlim_t> extra; // megabytes above what a tiny picture takes
        rlim_t roomy;              // of these, one that leaves room for the result (0: none tried)
    };
    const Case cases[] = {
        {"rtf", rich, {20, 100, 200, 400}, 400},
        {"html", rich, {20, 100, 200, 400}, 400},
        {"pdf", rich, {20, 100, 200, 400}, 400},
        {"png", rich, {20, 200}, 0},
        {"txt", plain, {2, 10}, 0},
        {"ansi", plain, {2, 10}, 0},
        {"colors", plain, {2, 10}, 0},
    };
    for (const Case &c : cases) {
        int refused = 0;
        for (rlim_t extra : c.extra) {
            SCOPED_TRACE(std::string(c.format) + " with " + std::to_string(c.base + extra) + " MB");
            const CliRun r = run(QLatin1String(c.format), c.base + extra);
            ASSERT_TRUE(r.finished);
            EXPECT_TRUE(r.status == 0 || r.status == 1) << "ended by a signal: " << r.err.toStdString();
            if (r.status == 1) {
                ++refused;
                EXPECT_TRUE(r.err.contains("not enough memory")) << r.err.toStdString();
                EXPECT_TRUE(r.err.contains(QFile::encodeName(picture))) << r.err.toStdString();
            } else if (r.status == 0) {
                EXPECT_GT(QFile(out).size(), 1024 * 1024);
                QFile::remove(out);
            }
            if (extra == c.roomy) {
                EXPECT_EQ(r.status, 0) << "the largest limit leaves room for the result: " << r.err.toStdString();
            }
            // Nothing but the picture: no result, no hidden temporary file.
            QStringList left = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
            EXPECT_EQ(left.join(u' ').toStdString(), "colours.bmp");
            left.removeAll(QStringLiteral("colours.bmp"));
            for (const QString &name : left)
                QFile::remove(dir.filePath(name)); // so that the next run is judged on its own
        }
        EXPECT_GT(refused, 0) << c.format << ": no limit was low enough to test the refusal";
    }
}

TEST(HostileCli, OutOfMemoryWhileLoadingSaysSo)
{
    // A whole, valid progressive JPEG of 8192 x 8192 in 128 KB whose decoder
    // needs 128 MB for its coefficients: with less address space the
    // message is "not enough memory", not "damaged"; with enough it loads.
    if (kAddressSanitizer)
        GTEST_SKIP() << "the address sanitizer reserves more address space than any limit here";
    QTemporaryDir dir;
    const QString picture = dir.filePath(QStringLiteral("large.jpg"));
    QFile f(picture);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(hostile::progressiveFlatJpeg(8192, 8192, 1, 0));
    f.close();
    const rlim_t base = startupMegabytes({});
    ASSERT_GT(base, rlim_t(0));
    CliRun r = runCli({picture}, (base + 60) * 1024 * 1024);
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("not enough memory")) << r.err.toStdString();
    r = runCli({picture});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
}

TEST(HostileCli, SignalsEndARunAndLeaveNothingItMade)
{
    // SIGINT, SIGTERM and SIGHUP while results are written (-o, a batch into
    // --output-dir, with and without a home): the run removes its hidden
    // temporary files and its private fontconfig cache folder, and ends by
    // the signal, which a shell reports as 128 + n. Before, the default
    // action left .NAME.EXT.XXXXXX files and tessilor-fontcache-XXXXXX.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QImage img(512, 512, QImage::Format_RGB32);
    for (int y = 0; y < 512; ++y)
        for (int x = 0; x < 512; ++x)
            img.setPixel(x, y, qRgb((x * 37) & 255, (y * 53) & 255, ((x ^ y) * 11) & 255));
    const QString a = dir.filePath(QStringLiteral("a.bmp"));
    const QString b = dir.filePath(QStringLiteral("b.bmp"));
    ASSERT_TRUE(img.save(a, "BMP") && img.mirrored().save(b, "BMP"));
    struct Case {
        int signal;
        bool batch; // two pictures into --output-dir, two at once; else -o
        bool home;
        const char *format;
    };
    const Case cases[] = {
        {SIGTERM, false, true, "rtf"},
        {SIGINT, true, true, "png"},
        {SIGHUP, false, false, "pdf"},
        {SIGTERM, true, false, "html"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(strsignal(c.signal)) + (c.batch ? " in a batch" : " with -o") +
                     (c.home ? "" : " without a home") + " to " + c.format);
        QTemporaryDir out, temp, home;
        ASSERT_TRUE(out.isValid() && temp.isValid() && home.isValid());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TMPDIR"), temp.path());
        env.remove(QStringLiteral("HOME"));
        if (c.home) {
            env.insert(QStringLiteral("HOME"), home.path());
            env.insert(QStringLiteral("XDG_CACHE_HOME"), home.filePath(QStringLiteral(".cache")));
        }
        QStringList args{QStringLiteral("-m"),   QStringLiteral("figures"), QStringLiteral("-c"),
                         QStringLiteral("1024"), QStringLiteral("-r"),      QStringLiteral("1024"),
                         QStringLiteral("-F"),   QLatin1String(c.format)};
        if (c.batch)
            args << QStringLiteral("-j") << QStringLiteral("2") << QStringLiteral("--output-dir") << out.path() << a
                 << b;
        else
            args << QStringLiteral("-o") << out.filePath(QStringLiteral("art.") + QLatin1String(c.format)) << a;
        QProcess p;
        p.setProcessEnvironment(env);
        p.setStandardInputFile(QProcess::nullDevice());
        p.start(QStringLiteral(TESSILOR_CLI_PATH), args);
        ASSERT_TRUE(p.waitForStarted(30000));
        // The signal comes once the result is being written.
        const auto hidden = [](const QString &folder) {
            return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
        };
        QElapsedTimer waited;
        waited.start();
        while (hidden(out.path()).isEmpty() && p.state() == QProcess::Running && waited.elapsed() < 30000)
            QThread::msleep(5);
        ASSERT_EQ(p.state(), QProcess::Running) << "the run ended before its result was written";
        ASSERT_FALSE(hidden(out.path()).isEmpty());
        if (!c.home) {
            EXPECT_EQ(QDir(temp.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 1)
                << "the private font cache folder is made in the temporary folder";
        }
        ::kill(pid_t(p.processId()), c.signal);
        ASSERT_TRUE(p.waitForFinished(30000));
        EXPECT_EQ(p.exitStatus(), QProcess::CrashExit) << "exit code " << p.exitCode();
        EXPECT_EQ(p.exitCode(), c.signal);
        EXPECT_EQ(p.readAllStandardError().toStdString(), "");
        const auto everything = [](const QString &folder) {
            return QDir(folder)
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)
                .join(u' ')
                .toStdString();
        };
        EXPECT_EQ(everything(out.path()), "");
        EXPECT_EQ(everything(temp.path()), "");
    }
}

TEST(HostileCli, JobsAtOnceFailNoPictureThatFitsAlone)
{
    // Two pictures whose figure RTF fits into the address space one at a
    // time but not both at once: with -j 2 both were refused for memory.
    // A picture that runs out of memory beside another is converted again
    // alone, and the results are those of -j 1.
    if (kAddressSanitizer)
        GTEST_SKIP() << "the address sanitizer reserves more address space than any limit here";
    QTemporaryDir dir;
    QImage img(512, 512, QImage::Format_RGB32);
    for (int y = 0; y < 512; ++y)
        for (int x = 0; x < 512; ++x)
            img.setPixel(x, y, qRgb((x * 37) & 255, (y * 53) & 255, ((x ^ y) * 11) & 255));
    const QStringList pictures{dir.filePath(QStringLiteral("a.bmp")), dir.filePath(QStringLiteral("b.bmp"))};
    ASSERT_TRUE(img.save(pictures[0], "BMP") && img.mirrored(true, false).save(pictures[1], "BMP"));
    const QStringList options{QStringLiteral("-m"),  QStringLiteral("figures"), QStringLiteral("-c"),
                              QStringLiteral("512"), QStringLiteral("-r"),      QStringLiteral("512"),
                              QStringLiteral("-F"),  QStringLiteral("rtf")};
    const rlim_t base = startupMegabytes(options);
    ASSERT_GT(base, rlim_t(0));
    const auto results = [](const QString &folder) {
        QStringList contents;
        for (const QString &name : QDir(folder).entryList(QDir::Files | QDir::Hidden)) {
            QFile f(QDir(folder).filePath(name));
            contents << name + u' ' + (f.open(QIODevice::ReadOnly) ? QString::number(qHash(f.readAll())) : QString());
        }
        return contents.join(u'\n').toStdString();
    };
    const QString one = dir.filePath(QStringLiteral("one")), two = dir.filePath(QStringLiteral("two"));
    ASSERT_TRUE(QDir().mkdir(one) && QDir().mkdir(two));
    CliRun r =
        runCli(options + QStringList{QStringLiteral("-j"), QStringLiteral("1"), QStringLiteral("--output-dir"), one} +
               pictures);
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    // One such result takes about 140 MB more than a tiny picture, two at
    // once well over 180 MB.
    r = runCli(options + QStringList{QStringLiteral("-j"), QStringLiteral("2"), QStringLiteral("--output-dir"), two} +
                   pictures,
               (base + 180) * 1024 * 1024);
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.err.toStdString(), "");
    EXPECT_EQ(results(two), results(one));
}
