// Output files: replaced whole, links replaced instead of followed, streams
// written through, nothing left behind on failure.
#include "base/filenames.h"
#include "base/outputfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tessilor;

namespace {

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void writeFile(const QString &path, const QByteArray &bytes, mode_t mode = 0644)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    f.close();
    ::chmod(QFile::encodeName(path).constData(), mode);
}

mode_t modeOf(const QString &path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode : 0;
}

bool write(OutputFile &f, const QByteArray &bytes)
{
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.commit();
}

} // namespace

TEST(OutputFile, WhatIsAtThePathAndWhatItBecomes)
{
    struct Case {
        const char *what;
        OutputFile::Access access;
        std::function<void(const QString &path, const QString &victim)> plant;
        mode_t expectedMode; // 0: a new file's (0666 less the umask)
    };
    const mode_t mask = ::umask(0);
    ::umask(mask);
    const Case cases[] = {
        {"nothing", OutputFile::Access::Document, [](const QString &, const QString &) {}, 0},
        {"nothing, private", OutputFile::Access::Private, [](const QString &, const QString &) {}, 0600},
        {"regular file keeps its permissions", OutputFile::Access::Document,
         [](const QString &p, const QString &) { writeFile(p, "old", 0640); }, 0640},
        {"regular file, private", OutputFile::Access::Private,
         [](const QString &p, const QString &) { writeFile(p, "old", 0644); }, 0600},
        {"symbolic link to a file", OutputFile::Access::Private,
         [](const QString &p, const QString &victim) { QFile::link(victim, p); }, 0600},
        {"dangling symbolic link", OutputFile::Access::Document,
         [](const QString &p, const QString &victim) { QFile::link(victim + ".none", p); }, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir dir;
        const QString path = dir.filePath("out.txt"), victim = dir.filePath("victim.txt");
        writeFile(victim, "precious", 0644);
        c.plant(path, victim);
        OutputFile f(path, c.access);
        ASSERT_TRUE(write(f, "new bytes")) << qPrintable(f.errorString());
        EXPECT_EQ(readFile(path), "new bytes");
        EXPECT_TRUE(S_ISREG(modeOf(path)));
        EXPECT_EQ(modeOf(path) & 07777, c.expectedMode ? c.expectedMode : (0666 & ~mask));
        EXPECT_EQ(readFile(victim), "precious");
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 2)
            << "a temporary file was left behind";
    }
}

TEST(OutputFile, FifoIsWrittenThroughAndStaysAFifo)
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath("pipe");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    // A reader on the other end; opening for reading without blocking.
    const int fd = ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    OutputFile f(fifo);
    ASSERT_TRUE(write(f, "through")) << qPrintable(f.errorString());
    EXPECT_TRUE(f.isStream());
    char buf[16] = {};
    EXPECT_EQ(::read(fd, buf, sizeof buf), 7);
    EXPECT_EQ(QByteArray(buf), "through");
    ::close(fd);
    EXPECT_TRUE(S_ISFIFO(modeOf(fifo)));
}

TEST(OutputFile, FailuresLeaveTheOldFileAndNoTemporaryFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("keep.txt");
    writeFile(path, "old");
    {
        OutputFile cancelled(path);
        ASSERT_TRUE(cancelled.open(QIODevice::WriteOnly));
        cancelled.write("half");
        cancelled.cancelWriting();
    }
    {
        OutputFile dropped(path);
        ASSERT_TRUE(dropped.open(QIODevice::WriteOnly));
        dropped.write("never committed");
    }
    EXPECT_EQ(readFile(path), "old");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 1);

    OutputFile folder(dir.path());
    EXPECT_FALSE(folder.open(QIODevice::WriteOnly));
    EXPECT_FALSE(folder.errorString().isEmpty());
    OutputFile missingFolder(dir.filePath("no/such/folder/file.txt"));
    EXPECT_FALSE(missingFolder.open(QIODevice::WriteOnly));

    // A device that refuses the bytes: the write and the commit fail.
    if (QFileInfo::exists("/dev/full")) {
        OutputFile full("/dev/full");
        ASSERT_TRUE(full.open(QIODevice::WriteOnly));
        const QByteArray big(1 << 16, 'x');
        const bool written = full.write(big) == big.size();
        EXPECT_FALSE(written && full.commit());
    }
}

TEST(FileNames, EveryNameKeepsItsBytes)
{
    struct Case {
        QByteArray bytes;
        bool utf8; // valid UTF-8, read as such
    } const cases[] = {
        {"plain.txt", true},
        {"\xd0\xba\xd0\xbe\xd1\x82.jpg", true}, // Cyrillic in UTF-8
        {"\xf0\x90\x82\x80", true},             // U+10080: its low surrogate lies among the kept bytes
        {"out\xcf\xf0.txt", false},             // CP1251
        {"\xc0\xaf", false},                    // an overlong '/'
        {"\xed\xa0\x80", false},                // a surrogate written as UTF-8
        {"cut\xe2\x82", false},                 // a sequence cut short
        {"\xf4\x90\x80\x80", false},            // past U+10FFFF
        {"\xff\xfe\x80 ok \xd0\xba", false},    // stray bytes among good ones
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.bytes.toHex().toStdString());
        const QString name = decodeFileName(c.bytes);
        EXPECT_EQ(encodeFileName(name), c.bytes);
        if (c.utf8)
            EXPECT_EQ(name, QString::fromUtf8(c.bytes));
        else
            EXPECT_NE(name, QString::fromUtf8(c.bytes));
    }
}

TEST(OutputFile, AFullDiskNamesItsCause)
{
    // The system's reason reaches errorString(), however the bytes came:
    // in lines or in one block, through the new file of a regular path or
    // straight into a device. A disk that fills up is a file-size limit
    // here (the kernel takes what fits, then refuses), or /dev/full.
    struct Case {
        const char *what;
        bool device;
        int lines; // of 100 bytes; 0: one block of 200 KB
    };
    const Case cases[] = {{"file, lines", false, 2000},
                          {"file, one block", false, 0},
                          {"/dev/full, lines", true, 2000},
                          {"/dev/full, one block", true, 0}};
    QTemporaryDir dir;
    const QString path = dir.filePath("result.txt");
    writeFile(path, "old");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        if (c.device && !QFileInfo::exists("/dev/full"))
            continue;
        // 20 KB of room: past it the kernel refuses with EFBIG, and signals
        // SIGXFSZ, which a program that checks its writes ignores.
        rlimit saved{};
        ::getrlimit(RLIMIT_FSIZE, &saved);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        if (!c.device) {
            const rlimit room{20000, saved.rlim_max};
            ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &room), 0);
        }
        OutputFile f(c.device ? QStringLiteral("/dev/full") : path);
        bool written = f.open(QIODevice::WriteOnly);
        if (c.lines == 0) {
            written = written && f.write(QByteArray(200000, 'x')) == 200000;
        }
        for (int i = 0; i < c.lines && written; ++i)
            written = f.write(QByteArray(99, 'x') + '\n') == 100;
        const bool committed = written && f.commit();
        const QString reason = f.errorString();
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);
        EXPECT_FALSE(committed);
        EXPECT_EQ(reason.toStdString(), std::strerror(c.device ? ENOSPC : EFBIG));
        f.cancelWriting();
        EXPECT_EQ(readFile(path), "old");
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 1);
    }
}
