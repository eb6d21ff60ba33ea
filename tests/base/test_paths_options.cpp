#include "art/fonttables.h"
#include "base/options.h"
#include "base/pastedpicture.h"
#include "base/paths.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

using namespace tessilor;

TEST(Paths, NamePathAndExtensionOfAFile)
{
    EXPECT_EQ(getName(QStringLiteral("/home/u/Pics/Cat.JPG")), QStringLiteral("cat.jpg"));
    EXPECT_EQ(getPath(QStringLiteral("/home/u/Pics/Cat.JPG")), QStringLiteral("/home/u/Pics"));
    EXPECT_EQ(getExt(QStringLiteral("/home/u/Pics/Cat.JPG")), QStringLiteral("jpg"));
}

TEST(Paths, EdgeCases)
{
    EXPECT_EQ(getName(QStringLiteral("cat.jpg")), QString());          // no separator
    EXPECT_EQ(getName(QStringLiteral("/home/u/")), QString());         // ends with one
    EXPECT_EQ(getPath(QStringLiteral("/a.bmp")), QStringLiteral("/")); // root folder
    EXPECT_EQ(getPath(QStringLiteral("a.bmp")), QString());
    EXPECT_EQ(getExt(QStringLiteral("name.")), QString());
    EXPECT_EQ(getExt(QStringLiteral("name.abcdefghijk")), QString()); // 11 characters
    EXPECT_EQ(getExt(QStringLiteral("name.abcdefghij")), QStringLiteral("abcdefghij"));
    EXPECT_EQ(getExt(QStringLiteral("PHOTO.GIF")), QStringLiteral("gif"));
    EXPECT_EQ(getExt(QStringLiteral("noext")), QString());
}

TEST(Paths, ImageExtensions)
{
    for (const char *e : {"jpg", "jpe", "jpeg", "bmp", "dib", "gif", "png", "webp", "tif", "tiff"})
        EXPECT_TRUE(isImageExtension(QString::fromLatin1(e))) << e;
    EXPECT_FALSE(isImageExtension(QStringLiteral("ppm")));
    EXPECT_FALSE(isImageExtension(QStringLiteral("txt")));
    EXPECT_FALSE(isImageExtension(QStringLiteral("JPG"))); // callers lower-case first
}

TEST(PastedPictures, WhatTheClipboardOffersAsAPicture)
{
    QTemporaryDir dir;
    const QString cat = dir.filePath(QStringLiteral("кот 1.png"));
    const QString notes = dir.filePath(QStringLiteral("notes.txt"));
    for (const QString &path : {cat, notes}) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("x");
    }
    const QByteArray catUrl = QUrl::fromLocalFile(cat).toEncoded();
    const QByteArray notesUrl = QUrl::fromLocalFile(notes).toEncoded();
    const QByteArray goneUrl = QUrl::fromLocalFile(dir.filePath(QStringLiteral("gone.png"))).toEncoded();
    struct Case {
        const char *what;
        QList<QPair<QString, QByteArray>> formats;
        QByteArray bytes = {};
        QString extension = {};
        QString file = {};
    } const cases[] = {
        {"png before jpeg",
         {{QStringLiteral("image/jpeg"), "J"}, {QStringLiteral("image/png"), "P"}},
         "P",
         QStringLiteral("png")},
        {"jpeg", {{QStringLiteral("image/jpeg"), "J"}}, "J", QStringLiteral("jpg")},
        {"bmp by an older name", {{QStringLiteral("image/x-ms-bmp"), "B"}}, "B", QStringLiteral("bmp")},
        {"bytes before a file name",
         {{QStringLiteral("text/uri-list"), catUrl}, {QStringLiteral("image/bmp"), "B"}},
         "B",
         QStringLiteral("bmp")},
        {"a file manager's copy",
         {{QStringLiteral("x-special/gnome-copied-files"), "copy\n" + notesUrl + '\n' + catUrl}},
         {},
         {},
         cat},
        {"a cut, without a last line end",
         {{QStringLiteral("x-special/gnome-copied-files"), "cut\n" + catUrl}},
         {},
         {},
         cat},
        {"a URI list with a comment and CR LF",
         {{QStringLiteral("text/uri-list"), "# copied\r\n" + goneUrl + "\r\n" + catUrl + "\r\n"}},
         {},
         {},
         cat},
        {"no picture among the files", {{QStringLiteral("text/uri-list"), notesUrl + '\n' + goneUrl}}, {}, {}, {}},
        {"not a local file", {{QStringLiteral("text/uri-list"), "https://example.org/a.png"}}, {}, {}, {}},
        {"text alone", {{QStringLiteral("text/plain"), cat.toUtf8()}}, {}, {}, {}},
        {"an empty picture", {{QStringLiteral("image/png"), ""}}, {}, {}, {}},
    };
    for (const Case &c : cases) {
        QMimeData data;
        for (const auto &[type, bytes] : c.formats)
            data.setData(type, bytes);
        const ClipboardPicture picture = pictureFromClipboard(data);
        EXPECT_EQ(picture.bytes, c.bytes) << c.what;
        EXPECT_EQ(picture.extension, c.extension) << c.what;
        EXPECT_EQ(picture.file, c.file) << c.what;
        // The cheap check agrees, but for a picture type that holds nothing.
        if (QByteArrayView(c.what) != "an empty picture") {
            EXPECT_EQ(offersPicture(data), !picture.isNull()) << c.what;
        }
    }
}

TEST(PastedPictures, KeptAsFilesOfTheFolderOnceEachAndRemovedWhenNoLongerListed)
{
    QTemporaryDir dir;
    const QString folder = dir.path();
    const QDateTime when(QDate(2025, 3, 14), QTime(15, 30, 12));
    QString why;
    const QString first = keepPastedPicture("PNG one", QStringLiteral("png"), folder, when, &why);
    EXPECT_EQ(first, folder + QStringLiteral("/буфер обмена 2025-03-14 15-30-12.png")) << why.toStdString();
    // Readable by the user alone.
    const QFileDevice::Permissions mode = QFile::permissions(first);
    EXPECT_TRUE(mode.testFlags(QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    EXPECT_EQ(int(mode & 0x0077), 0); // nothing for the group and others
    // The same bytes again: the same file. Others in the same second: a
    // number of their own.
    EXPECT_EQ(keepPastedPicture("PNG one", QStringLiteral("png"), folder, when.addSecs(60)), first);
    const QString second = keepPastedPicture("PNG two", QStringLiteral("png"), folder, when);
    EXPECT_EQ(second, folder + QStringLiteral("/буфер обмена 2025-03-14 15-30-12 (2).png"));
    const QString jpeg = keepPastedPicture("PNG one", QStringLiteral("jpg"), folder, when);
    EXPECT_EQ(jpeg, folder + QStringLiteral("/буфер обмена 2025-03-14 15-30-12.jpg"));
    QFile f(second);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("PNG two"));
    // A folder that cannot take the file says why.
    why.clear();
    EXPECT_TRUE(
        keepPastedPicture("x", QStringLiteral("png"), dir.filePath(QStringLiteral("missing")), when, &why).isEmpty());
    EXPECT_FALSE(why.isEmpty());
    EXPECT_TRUE(keepPastedPicture("x", QStringLiteral("png"), QString(), when, &why).isEmpty());

    // What the recent files still list stays.
    EXPECT_EQ(removeUnlistedPastedPictures(folder, {second, QStringLiteral("/elsewhere/a.png")}), 2);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), QStringList({QFileInfo(second).fileName()}));
    EXPECT_EQ(removeUnlistedPastedPictures(QString(), {}), 0);
}

// Run-length description of a ramp, to compare against the published runs.
static QString runs(const QString &ramp)
{
    QString out;
    for (qsizetype i = 0; i < ramp.size();) {
        qsizetype j = i;
        while (j < ramp.size() && ramp[j] == ramp[i])
            ++j;
        out += QString::number(j - i) + ramp[i] + u' ';
        i = j;
    }
    return out.trimmed();
}

TEST(Ramps, FourFontsWithTheirRampsInListOrder)
{
    const auto &f = rampFonts();
    EXPECT_EQ(f[0].face, QStringLiteral("Courier New Cyr"));
    EXPECT_EQ(f[1].face, QStringLiteral("Fixedsys"));
    EXPECT_EQ(f[2].face, QStringLiteral("Lucida Console"));
    EXPECT_EQ(f[3].face, QStringLiteral("Terminal"));
    EXPECT_EQ(f[0].ramp.size(), 81);
    EXPECT_EQ(f[1].ramp.size(), 49);
    EXPECT_EQ(f[2].ramp.size(), 73);
    EXPECT_EQ(f[3].ramp.size(), 65);
    EXPECT_EQ(
        runs(f[0].ramp),
        QStringLiteral("3  6. 4' 3: 3, 3! 2; 3( 3* 2= 3+ 2% 2$ 32 25 30 28 3A 3Q 3m 3E 3# 3\u0401 4\u0409 3H 4N 3M"));
    EXPECT_EQ(
        runs(f[1].ramp),
        QStringLiteral("5  4' 2` 3, 2: 1+ 2; 2< 1/ 1* 1! 1J 1F 1S 15 12 1E 13 16 1h 1$ 1& 1A 28 1B 1% 1M 2# 3g 3@"));
    EXPECT_EQ(runs(f[2].ramp),
              QStringLiteral("5  6` 3' 3. 3- 3! 2_ 2: 3* 2+ 27 3( 21 24 3I 29 28 3D 3% 3B 3# 3Q 5@ 5M"));
    EXPECT_EQ(runs(f[3].ramp), QStringLiteral("7  7^ 2- 3_ 4' 4! 2( 3; 2? 27 3I 2$ 32 24 3% 3& 3@ 3A 5B 2#"));
}

TEST(Ramps, CyrillicLettersAreCodePageCharacters)
{
    EXPECT_EQ(codePageChar(0xA8), QChar(0x0401)); // Ё
    EXPECT_EQ(codePageChar(0x8A), QChar(0x0409)); // Љ
    EXPECT_EQ(codePageChar(86), QChar(u'V'));
    EXPECT_TRUE(codePageChar(300).isNull());
}

TEST(Options, SizeListsAndFixedSizes)
{
    const auto &s = sizeList();
    EXPECT_EQ(s.size(), 18u);
    EXPECT_EQ(s[2], 8);
    EXPECT_EQ(s[3], 10);
    EXPECT_EQ(std::count(s.begin(), s.end(), 30), 0);
    EXPECT_EQ(s.back(), 48);
    EXPECT_EQ(fixedSizeEntry(1), 0);
    EXPECT_EQ(fixedSizeEntry(2), 4);
    EXPECT_EQ(fixedSizeEntry(3), 0);
    EXPECT_EQ(fixedSizeEntry(4), 3);
}

TEST(Options, FigureKeys)
{
    const QString fam = figureFamily(1);
    EXPECT_EQ(fam, QStringLiteral("Quar Tessilor Figures 1"));
    EXPECT_EQ(figureImageKey(fam, 86), QStringLiteral("fQuar Tessilor Figures 1*86"));
    EXPECT_EQ(figureButtonKey(86), QStringLiteral("k86"));
    EXPECT_EQ(figureCodeFromKey(QStringLiteral("k110")), 110);
    EXPECT_EQ(figureCodeFromKey(QStringLiteral("k")), 0);
}

TEST(Options, PaletteEntriesAsStored)
{
    const auto &p = paletteColors();
    EXPECT_EQ(p[16], rgbValue(254, 0, 0)); // entry 17
    EXPECT_EQ(p[33], rgbValue(255, 204, 153));
    EXPECT_EQ(p[39], rgbValue(254, 254, 254));
    EXPECT_EQ(redOf(rgbValue(10, 20, 30)), 10);
    EXPECT_EQ(greenOf(rgbValue(10, 20, 30)), 20);
    EXPECT_EQ(blueOf(rgbValue(10, 20, 30)), 30);
}

#include "layout/swatches.h"

TEST(Swatches, ColourReadsBackFromTheSwatch)
{
    const QImage s = makeSwatch(rgbValue(10, 20, 30));
    EXPECT_EQ(s.size(), QSize(16, 16));
    EXPECT_EQ(s.pixel(0, 0), qRgb(128, 128, 128));
    EXPECT_EQ(s.pixel(15, 15), qRgb(128, 128, 128));
    EXPECT_EQ(s.pixel(1, 14), qRgb(10, 20, 30));
    EXPECT_EQ(swatchColor(s), rgbValue(10, 20, 30));
}

TEST(Swatches, ListStartsWithThePaletteAndGrows)
{
    SwatchList list;
    EXPECT_EQ(list.count(), 40);
    EXPECT_EQ(list.color(17), rgbValue(254, 0, 0));
    EXPECT_EQ(list.color(1), 0u);
    EXPECT_EQ(list.add(makeSwatch(rgbValue(1, 2, 3))), 41);
    EXPECT_EQ(list.add(makeSwatch(rgbValue(4, 5, 6))), 42);
    EXPECT_EQ(list.color(42), rgbValue(4, 5, 6));
    EXPECT_TRUE(list.image(43).isNull());
}
