// Every hostile file gives a clean load error, read from its path and from
// memory alike.
#include "engine/imageloader.h"
#include "hostile/hostilecorpus.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace tessilor;

namespace {

std::string allowedText(const QList<LoadError> &allowed)
{
    std::string s;
    for (LoadError e : allowed)
        s += loadErrorText(e).toStdString() + "; ";
    return s;
}

} // namespace

TEST(HostileLoader, EveryHostileFileGivesACleanError)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QList<hostile::HostileFile> corpus = hostile::makeCorpus(dir);
    ASSERT_GT(corpus.size(), 40);
    for (const hostile::HostileFile &f : corpus) {
        SCOPED_TRACE(f.name.toStdString() + ": " + f.what.toStdString());
        const LoadedImage r = loadImage(f.path);
        if (r.ok() && f.mayLoadUpTo.isValid()) {
            EXPECT_LE(r.image.width(), f.mayLoadUpTo.width());
            EXPECT_LE(r.image.height(), f.mayLoadUpTo.height());
        } else {
            EXPECT_FALSE(r.ok()) << "loaded as " << r.image.width() << " x " << r.image.height();
            EXPECT_TRUE(r.image.isNull());
            EXPECT_TRUE(f.allowed.contains(r.error))
                << "got: " << loadErrorText(r.error).toStdString() << "; allowed: " << allowedText(f.allowed);
        }

        if (!f.regularFile)
            continue;
        QFile file(f.path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        QByteArray bytes = file.readAll();
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        const LoadedImage m = loadImage(&buffer);
        EXPECT_EQ(m.error, r.error) << "from memory: " << loadErrorText(m.error).toStdString();
    }
}

TEST(HostileLoader, GoodPictureNextToTheHostileOnesStillLoads)
{
    // The loader keeps no state from a failure into the next load.
    QTemporaryDir dir;
    const QList<hostile::HostileFile> corpus = hostile::makeCorpus(dir);
    const QString good = dir.filePath(QStringLiteral("good.bmp"));
    QFile f(good);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(hostile::goodBmp());
    f.close();
    for (const hostile::HostileFile &h : corpus) {
        loadImage(h.path);
        const LoadedImage r = loadImage(good);
        ASSERT_TRUE(r.ok()) << "after " << h.name.toStdString();
        EXPECT_EQ(r.image.size(), QSize(8, 6));
    }
}

TEST(HostileLoader, CompleteBmpVariantsStillLoad)
{
    // The check for cut-short pixel data must not refuse whole files: a
    // top-down BMP, and a BMP with bytes after its rows.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("topdown.bmp"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(hostile::topDownBmp());
    f.close();
    const LoadedImage r = loadImage(path);
    ASSERT_TRUE(r.ok()) << r.detail.toStdString();
    ASSERT_EQ(r.image.size(), QSize(2, 2));
    EXPECT_EQ(r.image.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(r.image.pixel(1, 0), qRgb(0, 255, 0));
    EXPECT_EQ(r.image.pixel(0, 1), qRgb(0, 0, 255));
    EXPECT_EQ(r.image.pixel(1, 1), qRgb(255, 255, 255));

    QByteArray longer = hostile::goodBmp() + QByteArray(100, 'x');
    QBuffer buffer(&longer);
    buffer.open(QIODevice::ReadOnly);
    EXPECT_TRUE(loadImage(&buffer).ok());
}

TEST(HostileLoader, UnreadableFileIsReportedAsUnreadable)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "running as root: file permissions do not stop reading";
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("locked.bmp"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(hostile::goodBmp());
    f.close();
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::Permissions()));
    const LoadedImage r = loadImage(path);
    EXPECT_EQ(r.error, LoadError::Unreadable);
    EXPECT_FALSE(r.detail.isEmpty());
}
