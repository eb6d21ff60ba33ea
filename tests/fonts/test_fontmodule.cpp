#include "base/options.h"
#include "base/paths.h"
#include "fonts/fontmodule.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRawFont>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <gtest/gtest.h>

using namespace tessilor;

namespace {

QString builtFont(int which)
{
    return figureFontFile(which, programFilesFolder());
}

// The tests need the generated fonts beside the test program.
bool fontsPresent()
{
    return QFileInfo::exists(builtFont(1)) && QFileInfo::exists(builtFont(2));
}

#define REQUIRE_FONTS()                                                                                                \
    ASSERT_TRUE(fontsPresent()) << "figure fonts missing in " << qPrintable(programFilesFolder())                      \
                                << " (build the figure_fonts target)"

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Glyph outline of code in font, drawn filled into a size x size picture.
QImage glyphPicture(const QRawFont &font, int code, int size)
{
    const QList<quint32> idx = font.glyphIndexesForString(QString(QChar(code)));
    QImage img(size, size, QImage::Format_Grayscale8);
    img.fill(0);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPath(font.pathForGlyph(idx.value(0)).translated(0, font.ascent()));
    p.end();
    return img;
}

} // namespace

TEST(FontModule, TempDirEndsWithASeparatorAndExists)
{
    const QString dir = GetTempDir();
    ASSERT_FALSE(dir.isEmpty());
    EXPECT_TRUE(dir.endsWith(u'/'));
    EXPECT_TRUE(QFileInfo(dir).isDir());
    // A file name is appended without a separator of its own.
    EXPECT_EQ(QFileInfo(GetTempDir() + QStringLiteral("x.tmp")).absolutePath() + u'/', dir);
}

TEST(FontModule, KillIfExistsDeletesFilesOnly)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString file = tmp.filePath(QStringLiteral("scratch.tmp"));
    ASSERT_TRUE(writeFile(file, "x"));
    EXPECT_TRUE(KillIfExists(file));
    EXPECT_FALSE(QFileInfo::exists(file));
    EXPECT_FALSE(KillIfExists(file)); // already gone

    const QString folder = tmp.filePath(QStringLiteral("folder"));
    ASSERT_TRUE(QDir().mkpath(folder));
    EXPECT_FALSE(KillIfExists(folder));
    EXPECT_TRUE(QFileInfo(folder).isDir());

    EXPECT_FALSE(KillIfExists(QString()));
}

TEST(FontModule, FamilyNamesOfTheFigureFonts)
{
    REQUIRE_FONTS();
    EXPECT_EQ(GetFontName(builtFont(1)), QStringLiteral("Quar Tessilor Figures 1"));
    EXPECT_EQ(GetFontName(builtFont(2)), QStringLiteral("Quar Tessilor Figures 2"));
    EXPECT_EQ(GetFontName(builtFont(1)), figureFamily(1));
    EXPECT_EQ(GetFontName(builtFont(2)), figureFamily(2));
}

TEST(FontModule, NoNameForMissingOrBrokenFiles)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    EXPECT_EQ(GetFontName(tmp.filePath(QStringLiteral("absent.ttf"))), QString());
    EXPECT_EQ(GetFontName(QString()), QString());
    EXPECT_EQ(GetFontName(tmp.path()), QString()); // a folder

    const QString text = tmp.filePath(QStringLiteral("fake.ttf"));
    ASSERT_TRUE(writeFile(text, "This is not a font at all.\r\n"));
    EXPECT_EQ(GetFontName(text), QString());

    const QString empty = tmp.filePath(QStringLiteral("empty.ttf"));
    ASSERT_TRUE(writeFile(empty, QByteArray()));
    EXPECT_EQ(GetFontName(empty), QString());

    // A real font cut short after its table directory.
    if (fontsPresent()) {
        QFile f(builtFont(1));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QString cut = tmp.filePath(QStringLiteral("cut.ttf"));
        ASSERT_TRUE(writeFile(cut, f.read(200)));
        EXPECT_EQ(GetFontName(cut), QString());
    }

    EXPECT_EQ(InstallFont(text), QString());
    EXPECT_EQ(InstallFont(tmp.filePath(QStringLiteral("absent.ttf"))), QString());
}

TEST(FontModule, InstalledFontsAreSelectedByTheirName)
{
    REQUIRE_FONTS();
    for (int which : {1, 2}) {
        const QString name = InstallFont(builtFont(which));
        ASSERT_EQ(name, figureFamily(which));
        EXPECT_TRUE(QFontDatabase::families().contains(name));
        QFont font(name);
        font.setPointSize(22);
        EXPECT_EQ(QFontInfo(font).family(), name);
        // A second install answers the same and registers nothing new.
        const int before = int(QFontDatabase::families().count(name));
        EXPECT_EQ(InstallFont(builtFont(which)), name);
        EXPECT_EQ(int(QFontDatabase::families().count(name)), before);
    }
}

TEST(FigureFonts, EveryCodeFrom33To126HasAGlyphInASquareCell)
{
    REQUIRE_FONTS();
    for (int which : {1, 2}) {
        const QRawFont font(builtFont(which), 100, QFont::PreferNoHinting);
        ASSERT_TRUE(font.isValid());
        const qreal em = font.unitsPerEm() * 100.0 / font.unitsPerEm(); // 100 pixels
        // Line height equals the advance, so mosaics tile evenly.
        EXPECT_NEAR(font.ascent() + font.descent(), em, 0.5);
        EXPECT_TRUE(font.supportsCharacter(QChar(u' ')));
        for (int code = kFirstFigureCode; code <= kLastFigureCode; ++code) {
            SCOPED_TRACE(testing::Message() << "font " << which << " code " << code);
            ASSERT_TRUE(font.supportsCharacter(QChar(code)));
            const QList<quint32> idx = font.glyphIndexesForString(QString(QChar(code)));
            ASSERT_EQ(idx.size(), 1);
            EXPECT_NE(idx[0], 0u); // not the missing-glyph box
            const QList<QPointF> adv = font.advancesForGlyphIndexes(idx);
            EXPECT_NEAR(adv.value(0).x(), em, 0.5);
            // Drawn inside the common figure frame, a square centred in the
            // cell that leaves a margin to the neighbouring cells. Shapes
            // that mark a half or a corner sit at that side of the frame.
            const QRectF box = font.pathForGlyph(idx[0]).boundingRect();
            ASSERT_FALSE(box.isEmpty());
            const QPointF mid(em / 2.0, (font.descent() - font.ascent()) / 2.0);
            const QRectF frame(mid - QPointF(47, 47), QSizeF(94, 94));
            EXPECT_TRUE(frame.contains(box))
                << "box " << box.x() << "," << box.y() << " " << box.width() << "x" << box.height();
            // Every figure is of a readable size.
            EXPECT_GE(std::max(box.width(), box.height()), 10.0);
        }
        EXPECT_FALSE(font.supportsCharacter(QChar(127)));
    }
}

TEST(FigureFonts, AllGlyphsAreDistinctAndReadableAtEightPoints)
{
    REQUIRE_FONTS();
    QList<QImage> pictures;
    for (int which : {1, 2}) {
        const QRawFont big(builtFont(which), 48, QFont::PreferNoHinting);
        // 8 points on a 96 dpi display.
        const QRawFont small(builtFont(which), 11, QFont::PreferNoHinting);
        ASSERT_TRUE(big.isValid());
        for (int code = kFirstFigureCode; code <= kLastFigureCode; ++code) {
            pictures.append(glyphPicture(big, code, 48));
            // At 8 points each glyph still covers a visible area.
            const QImage tiny = glyphPicture(small, code, 11);
            int ink = 0;
            for (int y = 0; y < tiny.height(); ++y)
                for (int x = 0; x < tiny.width(); ++x)
                    ink += tiny.pixelColor(x, y).value() > 0 ? 1 : 0;
            EXPECT_GE(ink, 2) << "font " << which << " code " << code;
        }
    }
    ASSERT_EQ(pictures.size(), 188);
    for (int a = 0; a < pictures.size(); ++a) {
        for (int b = a + 1; b < pictures.size(); ++b) {
            // Count differing pixels: near-identical shapes would differ in
            // only a handful.
            int diff = 0;
            for (int y = 0; y < 48; ++y) {
                const uchar *la = pictures[a].constScanLine(y);
                const uchar *lb = pictures[b].constScanLine(y);
                for (int x = 0; x < 48; ++x)
                    diff += (la[x] != lb[x]) ? 1 : 0;
            }
            EXPECT_GT(diff, 20) << "glyphs " << a << " and " << b << " look alike";
        }
    }
}
