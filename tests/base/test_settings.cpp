#include "base/options.h"
#include "base/recentfiles.h"
#include "base/settings.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tessilor;

TEST(Settings, EmptyStoreGivesEveryDefault)
{
    QTemporaryDir dir;
    SettingsStore store(dir.filePath(QStringLiteral("s.ini")));
    StoredOptions o;
    o.read(store, QStringLiteral("Quar Tessilor Figures 1"));
    EXPECT_EQ(o.type, 1);
    EXPECT_EQ(o.font, 1);
    EXPECT_EQ(o.textSize, 3);
    EXPECT_EQ(o.figureSize, 3);
    EXPECT_EQ(o.prop1, 1);
    EXPECT_EQ(o.prop2, 1);
    EXPECT_EQ(o.figureCode, 86);
    EXPECT_EQ(o.figureFont, QStringLiteral("Quar Tessilor Figures 1"));
    EXPECT_EQ(o.lastResult, QStringLiteral("save"));
    EXPECT_EQ(o.lastResultTip, QStringLiteral("Сохранить"));
    EXPECT_TRUE(o.lastFile.isEmpty());
}

TEST(Settings, WrittenValuesReadBackAsTheirDecimalText)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("s.ini"));
    {
        SettingsStore store(path);
        StoredOptions o;
        o.type = 2;
        o.font = 4;
        o.textSize = 18;
        o.prop2 = 0;
        o.figureFont = QStringLiteral("Quar Tessilor Figures 2");
        o.figureCode = 110;
        o.lastFile = QStringLiteral("/tmp/Кот.jpg");
        o.lastResult = QStringLiteral("print");
        o.lastResultTip = QStringLiteral("Вывести на печать");
        o.write(store);
        ASSERT_TRUE(store.sync());
    }
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString ini = QString::fromUtf8(f.readAll());
    EXPECT_TRUE(ini.contains(QStringLiteral("[ImageTessilor]")));
    EXPECT_TRUE(ini.contains(QStringLiteral("Type=2")));
    EXPECT_TRUE(ini.contains(QStringLiteral("FigureCode=110")));

    SettingsStore store(path);
    StoredOptions o;
    o.read(store, QStringLiteral("x"));
    EXPECT_EQ(o.type, 2);
    EXPECT_EQ(o.font, 4);
    EXPECT_EQ(o.textSize, 18);
    EXPECT_EQ(o.prop2, 0);
    EXPECT_EQ(o.figureFont, QStringLiteral("Quar Tessilor Figures 2"));
    EXPECT_EQ(o.figureCode, 110);
    EXPECT_EQ(o.lastFile, QStringLiteral("/tmp/Кот.jpg"));
    EXPECT_EQ(o.lastResult, QStringLiteral("print"));
    EXPECT_EQ(o.lastResultTip, QStringLiteral("Вывести на печать"));
}

TEST(Settings, CorruptValuesFallBackToTheirDefaults)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("s.ini"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[ImageTessilor]\nType=abc\nFont=9\nTextSize=-1\nFigureCode=12x\nProp1=7\nLastResult=fax\n"
            "garbage line without equals\n\x01\x02\n");
    f.close();
    SettingsStore store(path);
    StoredOptions o;
    o.read(store, QStringLiteral("F"));
    EXPECT_EQ(o.type, 1);
    EXPECT_EQ(o.font, 1);
    EXPECT_EQ(o.textSize, 3);
    EXPECT_EQ(o.figureCode, 86);
    EXPECT_EQ(o.prop1, 1);
    EXPECT_EQ(o.lastResult, QStringLiteral("save"));
}

// A stored figure code outside the figure fonts' range would put control
// characters in the result: it falls back to the default figure.
TEST(Settings, FigureCodeOutsideTheFigureRangeFallsBack)
{
    const struct {
        const char *stored;
        int expected;
    } cases[] = {{"0", 86}, {"32", 86}, {"33", 33}, {"126", 126}, {"127", 86}, {"200", 86}, {"-5", 86}};
    for (const auto &c : cases) {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("s.ini"));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("[ImageTessilor]\nFigureCode=") + c.stored + "\n");
        f.close();
        SettingsStore store(path);
        StoredOptions o;
        o.read(store, QStringLiteral("F"));
        EXPECT_EQ(o.figureCode, c.expected) << c.stored;
    }
}

TEST(Settings, TextMethodAndFigureFillRoundTrip)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("s.ini"));
    {
        SettingsStore store(path);
        StoredOptions o;
        o.read(store, QStringLiteral("F"));
        EXPECT_EQ(o.textMethod, 0); // classic and no fill by default
        EXPECT_FALSE(o.figureFill);
        EXPECT_EQ(o.toneStructure, kDefaultToneStructure);
        o.textMethod = int(TextMethod::Tone);
        o.figureFill = true;
        o.toneStructure = 30;
        o.write(store);
        ASSERT_TRUE(store.sync());
    }
    SettingsStore store(path);
    StoredOptions o;
    o.read(store, QStringLiteral("F"));
    EXPECT_EQ(o.textMethod, 1);
    EXPECT_TRUE(o.figureFill);
    EXPECT_EQ(o.toneStructure, 30);
    EXPECT_EQ(store.read(keys::TextMethod, QString()), QStringLiteral("1"));
    EXPECT_EQ(store.read(keys::FigureFill, QString()), QStringLiteral("1"));
    EXPECT_EQ(store.read(keys::ToneStructure, QString()), QStringLiteral("30"));
    // Stored values the program does not know read as the defaults.
    struct Case {
        const char *method, *fill, *structure;
        int textMethod;
        bool figureFill;
        int toneStructure;
    } const cases[] = {{"0", "0", "0", 0, false, 0},       {"1", "1", "100", 1, true, 100},
                       {"2", "2", "101", 0, false, 50},    {"-1", "yes", "-1", 0, false, 50},
                       {"tone", "", "much", 0, false, 50}, {"1.4", "0.6", "20.2", 1, true, 20}};
    for (const Case &c : cases) {
        store.write(keys::TextMethod, QString::fromLatin1(c.method));
        store.write(keys::FigureFill, QString::fromLatin1(c.fill));
        store.write(keys::ToneStructure, QString::fromLatin1(c.structure));
        o.read(store, QStringLiteral("F"));
        EXPECT_EQ(o.textMethod, c.textMethod) << c.method;
        EXPECT_EQ(o.figureFill, c.figureFill) << c.fill;
        EXPECT_EQ(o.toneStructure, c.toneStructure) << c.structure;
    }
}

TEST(Settings, ContrastTextColourAndFigureColoursRoundTripUnderKeysOfTheirOwn)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("s.ini"));
    {
        SettingsStore store(path);
        StoredOptions o;
        o.read(store, QStringLiteral("F"));
        // The first start: no contrast, palette entry 1, colour figures.
        EXPECT_EQ(o.contrast, 0);
        EXPECT_EQ(o.textColor, paletteColors()[0]);
        EXPECT_FALSE(o.pictureColors);
        EXPECT_EQ(o.colorMode, 1);
        o.contrast = -42;
        o.textColor = rgbValue(12, 200, 7);
        o.pictureColors = true;
        o.colorMode = 2;
        o.write(store);
        ASSERT_TRUE(store.sync());
    }
    SettingsStore store(path);
    StoredOptions o;
    o.read(store, QStringLiteral("F"));
    EXPECT_EQ(o.contrast, -42);
    EXPECT_EQ(o.textColor, rgbValue(12, 200, 7));
    EXPECT_TRUE(o.pictureColors);
    EXPECT_EQ(o.colorMode, 2);
    EXPECT_EQ(store.read(keys::Contrast, QString()), QStringLiteral("-42"));
    EXPECT_EQ(store.read(keys::TextColor, QString()), QString::number(12 + 256 * 200 + 65536 * 7));
    EXPECT_EQ(store.read(keys::PictureColors, QString()), QStringLiteral("1"));
    EXPECT_EQ(store.read(keys::ColorMode, QString()), QStringLiteral("2"));
    // The keys of before keep their names and values beside the new ones.
    EXPECT_EQ(store.read(keys::Type, QString()), QStringLiteral("1"));
    EXPECT_EQ(store.read(keys::Font, QString()), QStringLiteral("1"));
    // Values out of range read as the first start's.
    struct Case {
        const char *contrast, *color, *byPicture, *mode;
        int expectedContrast;
        quint32 expectedColor;
        bool expectedByPicture;
        int expectedMode;
    } const cases[] = {
        {"127", "16777215", "0", "1", 127, 16777215, false, 1},
        {"-127", "0", "1", "2", -127, 0, true, 2},
        {"128", "16777216", "2", "3", 0, 0, false, 1},
        {"-128", "-1", "-1", "0", 0, 0, false, 1},
        {"x", "red", "yes", "grey", 0, 0, false, 1},
    };
    for (const Case &c : cases) {
        store.write(keys::Contrast, QString::fromLatin1(c.contrast));
        store.write(keys::TextColor, QString::fromLatin1(c.color));
        store.write(keys::PictureColors, QString::fromLatin1(c.byPicture));
        store.write(keys::ColorMode, QString::fromLatin1(c.mode));
        o.read(store, QStringLiteral("F"));
        EXPECT_EQ(o.contrast, c.expectedContrast) << c.contrast;
        EXPECT_EQ(o.textColor, c.expectedColor) << c.color;
        EXPECT_EQ(o.pictureColors, c.expectedByPicture) << c.byPicture;
        EXPECT_EQ(o.colorMode, c.expectedMode) << c.mode;
    }
}

TEST(Settings, GeometryRestoreOnFirstStartAndWithLimits)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("s.ini"));
    const QSizeF screen(19200, 10800); // 1280 x 720 pixels
    {
        SettingsStore store(path);
        const WindowGeometry g = restoreGeometry(store, screen, QSizeF(9000, 7000));
        EXPECT_DOUBLE_EQ(g.width, 9000);
        EXPECT_DOUBLE_EQ(g.height, 7000);
        EXPECT_DOUBLE_EQ(g.left, (19200 - 9000) / 2.0);
        EXPECT_DOUBLE_EQ(g.top, (10800 - 7000) / 2.0);
        EXPECT_EQ(g.state, 0);
        // A design smaller than the minimum is enlarged after centring.
        const WindowGeometry s = restoreGeometry(store, screen, QSizeF(3000, 2000));
        EXPECT_DOUBLE_EQ(s.width, 8000);
        EXPECT_DOUBLE_EQ(s.height, 6000);
        EXPECT_DOUBLE_EQ(s.left, (19200 - 3000) / 2.0);
    }
    {
        SettingsStore store(path);
        store.write(keys::Top, QStringLiteral("0"));
        store.write(keys::Left, QStringLiteral("500"));
        store.write(keys::Width, QStringLiteral("30000"));
        store.write(keys::Height, QStringLiteral("5000"));
        store.write(keys::WindowState, QStringLiteral("1"));
        const WindowGeometry g = restoreGeometry(store, screen, QSizeF(9000, 7000));
        EXPECT_DOUBLE_EQ(g.top, (10800 - 5000) / 2.0);
        EXPECT_DOUBLE_EQ(g.left, 500);
        EXPECT_DOUBLE_EQ(g.width, 19200 - 90);
        EXPECT_DOUBLE_EQ(g.height, 6000);
        EXPECT_EQ(g.state, 0); // minimised is restored as normal
    }
}

TEST(Settings, GeometryIsStoredOnlyInNormalState)
{
    QTemporaryDir dir;
    SettingsStore store(dir.filePath(QStringLiteral("s.ini")));
    WindowGeometry g{100, 200, 6000, 8000, 0};
    storeGeometry(store, g);
    EXPECT_EQ(store.read(keys::Top, QString()), QStringLiteral("100"));
    EXPECT_EQ(store.read(keys::Width, QString()), QStringLiteral("8000"));
    EXPECT_EQ(store.read(keys::WindowState, QString()), QStringLiteral("0"));

    WindowGeometry maxed{1, 2, 3, 4, 2};
    storeGeometry(store, maxed);
    EXPECT_EQ(store.read(keys::Top, QString()), QStringLiteral("100"));
    EXPECT_EQ(store.read(keys::WindowState, QString()), QStringLiteral("2"));

    WindowGeometry minimised{1, 2, 3, 4, 1};
    storeGeometry(store, minimised);
    EXPECT_EQ(store.read(keys::Width, QString()), QStringLiteral("8000"));
    EXPECT_EQ(store.read(keys::WindowState, QString()), QStringLiteral("0"));
}

TEST(RecentFiles, NewestFirstEachOnceAtMostEight)
{
    const QStringList eight = {"/a", "/b", "/c", "/d", "/e", "/f", "/g", "/h"};
    struct Case {
        QStringList list;
        QString path;
        QStringList expected;
    };
    const Case cases[] = {
        {{}, "/a", {"/a"}},
        {{"/a", "/b"}, "/c", {"/c", "/a", "/b"}},
        {{"/a", "/b", "/c"}, "/b", {"/b", "/a", "/c"}}, // an earlier entry moves up
        {{"/a", "/b"}, "/a", {"/a", "/b"}},
        {eight, "/i", {"/i", "/a", "/b", "/c", "/d", "/e", "/f", "/g"}}, // the oldest drops off
        {eight, "/h", {"/h", "/a", "/b", "/c", "/d", "/e", "/f", "/g"}},
        {{"/a"}, "", {"/a"}},
        {{"/a"}, "/A", {"/A", "/a"}}, // file names are case-sensitive
    };
    for (const Case &c : cases)
        EXPECT_EQ(withRecentFile(c.list, c.path), c.expected) << c.path.toStdString();
}

TEST(RecentFiles, StoredAsLastFileAndRecentFile2To8WithoutTheMissingOnes)
{
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("s.ini"));
    QStringList files;
    for (int i = 0; i < 8; ++i) {
        files.append(dir.filePath(QStringLiteral("p%1.bmp").arg(i)));
        QFile f(files.last());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    {
        SettingsStore store(ini);
        writeRecentFiles(store, files);
        store.sync();
    }
    QSettings raw(ini, QSettings::IniFormat);
    EXPECT_EQ(raw.value(QStringLiteral("ImageTessilor/LastFile")).toString(), files[0]);
    EXPECT_EQ(raw.value(QStringLiteral("ImageTessilor/RecentFile2")).toString(), files[1]);
    EXPECT_EQ(raw.value(QStringLiteral("ImageTessilor/RecentFile8")).toString(), files[7]);
    SettingsStore store(ini);
    EXPECT_EQ(readRecentFiles(store), files);

    // A file that is gone, an empty key and a duplicate leave no gap.
    QFile::remove(files[2]);
    store.write(QStringLiteral("RecentFile5"), QString());
    store.write(QStringLiteral("RecentFile7"), files[0]);
    const QStringList shown = existingRecentFiles(readRecentFiles(store));
    EXPECT_EQ(shown, (QStringList{files[0], files[1], files[3], files[5], files[7]}));
    writeRecentFiles(store, shown);
    EXPECT_EQ(readRecentFiles(store), shown);
    EXPECT_EQ(store.read(QStringLiteral("RecentFile6"), QStringLiteral("unset")), QString());
}
