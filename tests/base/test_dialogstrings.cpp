#include "base/dialogstrings.h"

#include <gtest/gtest.h>
#include <limits>

using namespace tessilor;

static QString nul(const char *s)
{
    // '|' stands for a NUL character in the expected texts below.
    QString t = QString::fromUtf8(s);
    t.replace(u'|', QChar(u'\0'));
    return t;
}

TEST(DialogStrings, AddBackslashAppendsTheSeparatorOnce)
{
    EXPECT_EQ(AddBackslash(QStringLiteral("/home/out")), QStringLiteral("/home/out/"));
    EXPECT_EQ(AddBackslash(QStringLiteral("/")), QStringLiteral("/"));
    EXPECT_EQ(AddBackslash(QStringLiteral("/home/out/")), QStringLiteral("/home/out/"));
    EXPECT_EQ(AddBackslash(QString()), QString());
}

TEST(DialogStrings, NulSeparatedTokens)
{
    EXPECT_EQ(TrimAtDoubleNull(nul("a|b||c")), nul("a|b"));
    EXPECT_EQ(TrimAtDoubleNull(nul("abc")), QStringLiteral("abc"));
    EXPECT_EQ(TrimAtDoubleNull(nul("||")), QString());
    EXPECT_EQ(NullBuffer(3), nul("|||"));
    EXPECT_EQ(NullBuffer(512).size(), 512);
    EXPECT_TRUE(NullBuffer(0).isEmpty());
    EXPECT_TRUE(NullBuffer(-4).isEmpty());

    QString s = nul("a|b");
    EXPECT_EQ(NextNullToken(s), QStringLiteral("a"));
    EXPECT_EQ(s, QStringLiteral("b"));
    EXPECT_EQ(NextNullToken(s), QStringLiteral("b"));
    EXPECT_TRUE(s.isEmpty());
    s = nul("|x");
    EXPECT_EQ(NextNullToken(s), QString());
    EXPECT_EQ(s, QStringLiteral("x"));
}

TEST(DialogStrings, FilterStringFromTheTable)
{
    FilterTable images;
    images.entries = {
        {QStringLiteral("Изображение (Jpeg, Bmp, Gif)"), QStringLiteral("*.jpg;*.jpe;*.jpeg;*.bmp;*.dib;*.gif")},
        {},
        {}};
    EXPECT_EQ(BuildFilterString(images), nul("Изображение (Jpeg, Bmp, Gif)|*.jpg;*.jpe;*.jpeg;*.bmp;*.dib;*.gif|||"));

    FilterTable mixed;
    mixed.entries = {{QString(), QStringLiteral("*.rtf")},
                     {QStringLiteral("Один"), QStringLiteral("*")},
                     {QStringLiteral("x"), QStringLiteral("*.txt")}};
    EXPECT_EQ(BuildFilterString(mixed), nul("Разные файлы|*.rtf|Разные файлы|*.txt|||"));

    FilterTable none;
    EXPECT_EQ(BuildFilterString(none), nul("Все файлы|*.*||"));

    FilterTable threeRows;
    threeRows.rows = 3;
    threeRows.entries = images.entries;
    EXPECT_TRUE(BuildFilterString(threeRows).isEmpty());
}

TEST(DialogStrings, QtFiltersFromTheFilterString)
{
    FilterTable save;
    save.entries = {{QStringLiteral("Документы RichText  (*.rtf)"), QStringLiteral("*.rtf")},
                    {QStringLiteral("Текстовые файлы (*.txt)"), QStringLiteral("*.txt")}};
    EXPECT_EQ(QtNameFilters(BuildFilterString(save)),
              QStringList({QStringLiteral("Документы RichText (*.rtf)"), QStringLiteral("Текстовые файлы (*.txt)")}));

    FilterTable images;
    images.entries = {{QStringLiteral("Изображение (Jpeg, Bmp, Gif)"), QStringLiteral("*.jpg;*.gif")}};
    EXPECT_EQ(QtNameFilters(BuildFilterString(images)),
              QStringList({QStringLiteral("Изображение (Jpeg, Bmp, Gif) (*.jpg *.gif)")}));
    EXPECT_EQ(QtNameFilters(BuildFilterString(FilterTable())), QStringList({QStringLiteral("Все файлы (*.*)")}));
    EXPECT_TRUE(QtNameFilters(QString()).isEmpty());
}

TEST(DialogStrings, ChangingTheTypeChangesTheExtensionOfATypesName)
{
    EXPECT_EQ(FilterExtension(QStringLiteral("Рисунки PNG (*.png)")), QStringLiteral("png"));
    EXPECT_EQ(FilterExtension(QStringLiteral("Изображение (*.jpg *.gif)")), QString());
    EXPECT_EQ(FilterExtension(QStringLiteral("Все файлы (*.*)")), QString());
    const QStringList types = {QStringLiteral("rtf"), QStringLiteral("txt"), QStringLiteral("png"),
                               QStringLiteral("pdf"), QStringLiteral("html")};
    struct Case {
        const char *name, *to, *expected;
    } const cases[] = {
        {"кот.rtf", "png", "кот.png"},
        {"кот.RTF", "pdf", "кот.pdf"},
        {"кот.jpg.txt", "html", "кот.jpg.html"},
        {"кот.jpg", "png", "кот.jpg"}, // not a type's extension
        {"кот", "png", "кот"},
        {".rtf", "png", ".rtf"}, // a hidden name, not an extension
        {"", "png", ""},
        {"кот.rtf", "", "кот.rtf"}, // a type of several patterns
    };
    for (const Case &c : cases)
        EXPECT_EQ(NameForType(QString::fromUtf8(c.name), QString::fromUtf8(c.to), types), QString::fromUtf8(c.expected))
            << c.name << " to " << c.to;
}

// Sizes and times of the file dialogs are Russian whatever the locale.
TEST(DialogStrings, FileSizesAndTimesAsARussianLocaleWritesThem)
{
    const struct {
        qint64 bytes;
        const char *text;
    } sizes[] = {
        {0, "0 байт"},
        {1023, "1\u00a0023 байт"}, // digits grouped by a no-break space
        {1024, "1,00 КиБ"},
        {723000, "706,05 КиБ"},
        {1254220, "1,20 МиБ"},
        {qint64(5) << 30, "5,00 ГиБ"},
        {std::numeric_limits<qint64>::max(), "8,00 ЭиБ"},
    };
    for (const auto &c : sizes)
        EXPECT_EQ(dialogFileSize(c.bytes), QString::fromUtf8(c.text)) << c.bytes;
    const struct {
        QDateTime time;
        const char *text;
    } times[] = {
        {QDateTime(QDate(2026, 12, 9), QTime(11, 56, 45)), "9 дек. 2026 11:56"},
        {QDateTime(QDate(2025, 5, 31), QTime(7, 5)), "31 мая 2025 07:05"},
        {QDateTime(QDate(2024, 9, 1), QTime(23, 59)), "1 сент. 2024 23:59"},
    };
    for (const auto &c : times)
        EXPECT_EQ(dialogFileTime(c.time), QString::fromUtf8(c.text)) << c.text;
}
