// The tone method (measured ramp, linear light, error diffusion) and the
// figure fill.
#include "art/figurefill.h"
#include "art/fontfaces.h"
#include "art/rampcache.h"
#include "art/toneconvert.h"
#include "art/toneramp.h"
#include "art/fonttables.h"
#include "base/options.h"
#include "picture/picturesource.h"
#include "picture/imageloader.h"
#include "picture/linearlight.h"
#include "support/picturefile.h"
#include "support/tonelevel.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QImageWriter>
#include <QPainter>
#include <QRawFont>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <cmath>
#include <cstring>
#include <functional>
#include <sys/stat.h>

using namespace tessilor;
using tessilor::testsupport::wantedLevel;

namespace {

LumaGrid flatGrid(int w, int h, float y)
{
    LumaGrid g;
    g.width = w;
    g.height = h;
    g.luma.assign(size_t(w) * size_t(h), y);
    return g;
}

QStringList toneLines(const LumaGrid &grid, const ToneRamp &ramp, qint16 contrast = 0, TextResult *result = nullptr,
                      const RunHooks &hooks = {}, ArtBackground background = ArtBackground::Light,
                      const ToneStructure &structure = {})
{
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    const TextResult r = convertToToneText(grid, ramp, contrast, buf, hooks, background, structure);
    if (result)
        *result = r;
    QStringList lines = QString::fromUtf8(bytes).split(QStringLiteral("\r\n"));
    EXPECT_TRUE(lines.last().isEmpty()); // the last line ends with CR LF too
    lines.removeLast();
    return lines;
}

// Mean ramp level (ink, 0 white .. 1 black) of the characters of lines.
double meanLevel(const QStringList &lines, const ToneRamp &ramp, int from = 0, int to = -1)
{
    double sum = 0;
    int n = 0;
    for (const QString &line : lines) {
        const int end = to < 0 ? int(line.size()) : to;
        for (int i = from; i < end; ++i) {
            const qsizetype k = ramp.chars.indexOf(line.at(i));
            EXPECT_GE(k, 0) << "not a ramp character: " << int(line.at(i).unicode());
            sum += ramp.level[size_t(std::max<qsizetype>(k, 0))];
            ++n;
        }
    }
    return n ? sum / n : 0;
}

// Lines drawn in a font as text is drawn (dark on white, or light on
// black), cell under cell, and looked at from a distance: the lightness of
// their light away from the edges, and how far the light of a patch of 8 x 4
// characters strays from it.
struct DrawnLight {
    double lightness = 0;
    double worstPatch = 0;
};

DrawnLight drawnLight(const QStringList &lines, const QFont &font, ArtBackground background)
{
    const bool dark = background == ArtBackground::Dark;
    QImage probe(1, 1, QImage::Format_RGB32);
    const QFontMetricsF fm(font, &probe);
    const double cellW = fm.horizontalAdvance(QLatin1Char('M'));
    const double cellH = fm.ascent() + fm.descent();
    const int columns = int(lines.first().size());
    QImage image(int(std::ceil(cellW * columns)) + 2, int(std::ceil(cellH * lines.size())) + 2, QImage::Format_RGB32);
    image.fill(dark ? Qt::black : Qt::white);
    {
        QPainter p(&image);
        p.setFont(font);
        p.setPen(dark ? Qt::white : Qt::black);
        for (qsizetype i = 0; i < lines.size(); ++i)
            p.drawText(QPointF(0, double(i) * cellH + fm.ascent()), lines[i]);
    }
    // Light of a block of characters (columns c0.., rows r0..).
    auto light = [&](int c0, int c1, int r0, int r1) {
        const int x0 = int(std::lround(c0 * cellW)), x1 = int(std::lround(c1 * cellW));
        const int y0 = int(std::lround(r0 * cellH)), y1 = int(std::lround(r1 * cellH));
        double sum = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                sum += srgbToLinear(qGreen(image.pixel(x, y)));
        return sum / (double(x1 - x0) * double(y1 - y0));
    };
    const int rows = int(lines.size());
    DrawnLight out;
    out.lightness = linearToSrgb(light(2, columns - 2, 1, rows - 1));
    for (int r = 1; r + 4 <= rows - 1; r += 4)
        for (int c = 2; c + 8 <= columns - 2; c += 8)
            out.worstPatch =
                std::max(out.worstPatch, std::abs(linearToSrgb(light(c, c + 8, r, r + 4)) - out.lightness));
    return out;
}

const ToneRamp &liberationRamp(ArtBackground background = ArtBackground::Light)
{
    installFontSubstitutions();
    QFont font(rampFonts()[0].face);
    font.setPointSize(8);
    return toneRamp(font, rampFonts()[0].ramp, background);
}

// A picture for the choice by shape: columns x rows characters of 16 x 32
// pixels (four pixels a detail box), drawn by draw on white, with its grid
// and its detail.
struct ShapedPicture {
    LumaGrid grid;
    DetailGrid detail;
};

ShapedPicture shapedPicture(int columns, int rows, const std::function<void(QPainter &)> &draw,
                            QColor paper = Qt::white)
{
    QImage image(columns * 16, rows * 32, QImage::Format_RGB32);
    image.fill(paper);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        draw(p);
    }
    return {makeLumaGrid(image, columns, rows), makeDetailGrid(image, columns * kShapeColumns, rows * kShapeRows)};
}

// Every sample of a detail grid, row by row.
std::vector<float> samplesOf(const DetailGrid &detail)
{
    std::vector<float> out;
    for (int y = 0; y < detail.height; ++y)
        for (int x = 0; x < detail.width; ++x)
            out.push_back(detail.at(x, y));
    return out;
}

} // namespace

TEST(LinearLight, DecodingAndLuminance)
{
    struct Case {
        QRgb rgb;
        double luminance;
    } const cases[] = {
        {qRgb(0, 0, 0), 0.0},          {qRgb(255, 255, 255), 1.0},  {qRgb(128, 128, 128), 0.2158605},
        {qRgb(0, 255, 0), 0.7152},     {qRgb(255, 0, 0), 0.2126},   {qRgb(0, 0, 255), 0.0722},
        {qRgb(10, 10, 10), 0.0030353}, {qRgb(255, 128, 0), 0.3669},
    };
    for (const Case &c : cases)
        EXPECT_NEAR(luminance(qRed(c.rgb), qGreen(c.rgb), qBlue(c.rgb)), c.luminance, 1e-4) << std::hex << c.rgb;
    for (int v = 0; v < 256; ++v)
        EXPECT_EQ(linearToSrgb8(srgbToLinear(v)), v);
    // Rounded encoding by table, the same as by the formula everywhere, the
    // steps between two values and the ends included.
    auto byFormula = [](double l) { return int(std::lround(linearToSrgb(l) * 255.0)); };
    for (int i = -10; i <= 200010; ++i) {
        const double l = i / 200000.0;
        ASSERT_EQ(linearToSrgb8(l), byFormula(l)) << l;
    }
    for (int v = 0; v < 255; ++v) {
        const double s = (v + 0.5) / 255.0;
        const double step = s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
        for (const double l : {std::nextafter(step, 0.0), step, std::nextafter(step, 1.0), step - 2e-9, step + 2e-9})
            ASSERT_EQ(linearToSrgb8(l), byFormula(l)) << v << " " << l;
    }
}

TEST(LinearLight, GridBoxesAverageLightNotValues)
{
    // Black and white columns: half the light, where averaging the values
    // would give mid-grey 128, a fifth of it.
    QImage stripes(40, 20, QImage::Format_RGB32);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 40; ++x)
            stripes.setPixel(x, y, x % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    const LumaGrid reduced = makeLumaGrid(stripes, 10, 5);
    ASSERT_EQ(reduced.width, 10);
    ASSERT_EQ(reduced.height, 5);
    for (float y : reduced.luma)
        EXPECT_NEAR(y, 0.5, 1e-6);
    // Boxes as the resampler's: 5 source columns into 2 take 0-1 and 2-4.
    QImage row(5, 1, QImage::Format_RGB32);
    const int values[5] = {255, 0, 255, 255, 0};
    for (int x = 0; x < 5; ++x)
        row.setPixel(x, 0, qRgb(values[x], values[x], values[x]));
    const LumaGrid two = makeLumaGrid(row, 2, 1);
    EXPECT_NEAR(two.at(0, 0), 0.5, 1e-6);
    EXPECT_NEAR(two.at(1, 0), 2.0 / 3.0, 1e-6);
    // Enlarging repeats pixels.
    const LumaGrid big = makeLumaGrid(row, 10, 3);
    ASSERT_EQ(big.width, 10);
    EXPECT_NEAR(big.at(0, 2), 1.0, 1e-6);
    EXPECT_NEAR(big.at(3, 1), 0.0, 1e-6);
    EXPECT_TRUE(makeLumaGrid(QImage(), 4, 4).isNull());
    EXPECT_TRUE(makeLumaGrid(row, 0, 4).isNull());
}

TEST(LinearLight, JpegDecodedStraightIntoTheGridMatchesTheWholePicture)
{
    QTemporaryDir dir;
    QImage img(1600, 1200, QImage::Format_RGB32);
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            img.setPixel(x, y, qRgb((x / 7) % 256, (y / 5) % 256, ((x + y) / 11) % 256));
    const QString path = dir.filePath(QStringLiteral("p.jpg"));
    ASSERT_TRUE(QImageWriter(path, "jpeg").write(img));
    const LoadedImage decoded = loadImage(path);
    ASSERT_TRUE(decoded.ok());
    // Grids far smaller and somewhat smaller than the picture: the same
    // samples as of the whole decoded picture, to the bit.
    for (const QSize grid : {QSize(24, 12), QSize(400, 300)}) {
        const PictureSamples streamed = testsupport::sampleFile(
            path,
            [&](QSize image) {
                EXPECT_EQ(image, img.size());
                return grid;
            },
            testsupport::Grids::Luma);
        ASSERT_TRUE(streamed.ok());
        EXPECT_TRUE(streamed.streamed);
        const LumaGrid whole = makeLumaGrid(decoded.image, grid.width(), grid.height());
        EXPECT_EQ(whole.luma, streamed.luma.luma) << grid.width();
    }
    // With the tone method's detail beside the grid (each pixel's luminance
    // taken once for both): still the samples of each grid alone, streamed
    // and from the whole picture, where the detail is a reduction and where
    // it enlarges.
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    // An enlarged detail keeps each source pixel once the way it enlarges.
    struct Case {
        QSize grid;
        QSize stored; // of the detail
    } const cases[] = {
        {{24, 12}, {96, 96}},        {{400, 150}, {1600, 1200}}, {{500, 100}, {1600, 800}}, // wider than the picture
        {{300, 200}, {1200, 1200}},                                                         // higher
        {{1000, 400}, {1600, 1200}},                                                        // both
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.grid.width());
        const QSize detail(c.grid.width() * kShapeColumns, c.grid.height() * kShapeRows);
        const LumaGrid alone = makeLumaGrid(decoded.image, c.grid.width(), c.grid.height());
        const std::vector<float> detailAlone = makeLumaGrid(decoded.image, detail.width(), detail.height()).luma;
        SamplingRequest request;
        request.sizeFor = [&](QSize) { return c.grid; };
        request.luma = true;
        request.lumaDetail = QSize(kShapeColumns, kShapeRows);
        const PictureSamples samples = EncodedPicture(bytes).sample(request);
        ASSERT_TRUE(samples.ok());
        EXPECT_EQ(samples.streamed, detail.width() <= img.width() && detail.height() <= img.height());
        EXPECT_EQ(samples.luma.luma, alone.luma);
        ASSERT_TRUE(samples.lumaDetail.valid());
        EXPECT_EQ(QSize(samples.lumaDetail.stored.width, samples.lumaDetail.stored.height), c.stored);
        EXPECT_EQ(samplesOf(samples.lumaDetail), detailAlone);
        LumaGrid both;
        DetailGrid bothDetail;
        ASSERT_TRUE(makeLumaGrids(decoded.image, c.grid, both, detail, bothDetail));
        EXPECT_EQ(both.luma, alone.luma);
        EXPECT_EQ(samplesOf(bothDetail), detailAlone);
    }
}

TEST(ToneRamp, MeasuredInTheFaceThatShowsTheArt)
{
    installFontSubstitutions();
    struct Case {
        int entry;
        int points;
        const char *family;
        const char *printFamily; // printing draws the fixed-size fonts in another face
    } const cases[] = {{1, 8, "Liberation Mono", "Liberation Mono"},   {1, 48, "Liberation Mono", "Liberation Mono"},
                       {2, 10, "DejaVu Sans Mono", "Liberation Mono"}, {3, 4, "DejaVu Sans Mono", "DejaVu Sans Mono"},
                       {3, 8, "DejaVu Sans Mono", "DejaVu Sans Mono"}, {4, 8, "DejaVu Sans Mono", "Liberation Mono"}};
    QStringList inEightPoints;
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.entry << " " << c.points << "pt");
        QFont font(rampFonts()[size_t(c.entry - 1)].face);
        font.setPointSize(c.points);
        const ToneRamp &ramp = toneRamp(font, rampFonts()[size_t(c.entry - 1)].ramp);
        EXPECT_EQ(ramp.family.toLower(), QString::fromLatin1(c.family).toLower());
        EXPECT_EQ(ramp.printFamily.toLower(), QString::fromLatin1(c.printFamily).toLower());
        if (c.points == 8)
            inEightPoints.append(ramp.chars);
        ASSERT_GE(ramp.chars.size(), 16);
        ASSERT_LE(ramp.chars.size(), 32);
        EXPECT_EQ(ramp.chars.at(0), u' ');
        EXPECT_EQ(ramp.level.front(), 0.0f);
        EXPECT_EQ(ramp.level.back(), 1.0f);
        for (size_t i = 1; i < ramp.level.size(); ++i) {
            EXPECT_GT(ramp.coverage[i], ramp.coverage[i - 1]) << i;
            EXPECT_GE(ramp.level[i], ramp.level[i - 1]) << i;
        }
        for (const QChar ch : ramp.chars)
            EXPECT_TRUE(toneCandidates().contains(ch) || rampFonts()[size_t(c.entry - 1)].ramp.contains(ch));
        // No wide step at the dark end (in Liberation Mono ASCII alone leaves
        // one of a quarter of the range below '@').
        EXPECT_LT(ramp.level.back() - ramp.level[ramp.level.size() - 2], 0.15f);
        // The ramp keeps its order of ink in every drawing measured: the
        // window's, zoomed, printed, terminal cells of 16-24 px.
        const QList<GlyphInk> drawn = measureGlyphInkAcrossRenderings(font, ramp.chars);
        ASSERT_EQ(drawn.size(), ramp.chars.size());
        ASSERT_EQ(drawn.front().drawings.size(), artDrawings(font).size());
        ASSERT_GE(drawn.front().drawings.size(), 8u);
        for (qsizetype i = 1; i < drawn.size(); ++i)
            for (size_t d = 0; d < drawn[i].drawings.size(); ++d)
                EXPECT_GT(drawn[i].drawings[d], drawn[i - 1].drawings[d])
                    << "'" << QString(drawn[i].ch).toStdString() << "' drawing " << d;
        // Measured once: the second call is the cache's.
        EXPECT_EQ(&toneRamp(font, rampFonts()[size_t(c.entry - 1)].ramp), &ramp);
    }
    // Entries 3 and 4 print in different faces, so their ramps differ.
    ASSERT_EQ(inEightPoints.size(), 3);
    EXPECT_NE(inEightPoints[1], inEightPoints[2]);
}

TEST(ToneRamp, CharactersTheFaceLacksAreLeftOut)
{
    const QRawFont liberation(QStringLiteral("/usr/share/fonts/truetype/liberation/LiberationMono-Regular.ttf"), 20);
    ASSERT_TRUE(liberation.isValid());
    // CJK and a private-use character are not in the face; another face
    // would show them, so they are not measured.
    const QList<GlyphInk> inks = measureGlyphInk(liberation, QStringLiteral(" A\u4E2D\uE000.A\u0416"));
    QString chars;
    for (const GlyphInk &g : inks)
        chars.append(g.ch);
    EXPECT_EQ(chars, QStringLiteral(" A.\u0416"));
    EXPECT_EQ(inks[0].coverage, 0.0);
    EXPECT_GT(inks[1].coverage, inks[2].coverage); // 'A' carries more ink than '.'
    EXPECT_GT(inks[2].coverage, 0.0);
    EXPECT_TRUE(measureGlyphInk(QRawFont(), QStringLiteral("A")).isEmpty());
}

TEST(ToneRamp, PickingEvenlySpacedCharacters)
{
    auto inks = [](int count, double darkest, bool space) {
        QList<GlyphInk> list;
        if (space)
            list.append(GlyphInk{QChar(u' '), 0.0});
        for (int i = 1; i <= count; ++i)
            list.append(GlyphInk{QChar(char16_t(0x40 + i)), darkest * i / count});
        return list;
    };
    struct Case {
        QList<GlyphInk> inks;
        int expected; // characters kept, 0 for no ramp
    } const cases[] = {
        {inks(100, 0.4, true), 32},                            // plenty: the largest ramp
        {inks(20, 0.3, true), 21},                             // few: all of them
        {inks(5, 0.3, true), 6},    {inks(30, 0.3, false), 0}, // no space to start from
        {inks(30, 0.0, true), 0},                              // no ink
    };
    for (const Case &c : cases) {
        const ToneRamp r = pickToneRamp(c.inks);
        EXPECT_EQ(r.chars.size(), c.expected);
        if (!c.expected)
            continue;
        EXPECT_EQ(r.chars.at(0), u' ');
        EXPECT_EQ(r.level.back(), 1.0f);
        for (size_t i = 1; i < r.level.size(); ++i)
            EXPECT_LT(r.level[i] - r.level[i - 1], 2.5 / (r.level.size() - 1)) << i;
    }
    // A character whose ink depends on how it is drawn gives way to a
    // steadier one nearly as close to the target.
    QList<GlyphInk> shaky = inks(1, 0.4, true);
    shaky.append(GlyphInk{QChar(u'x'), 0.2, 0.1});
    shaky.append(GlyphInk{QChar(u'y'), 0.23, 0.0});
    EXPECT_EQ(pickToneRamp(shaky, 3).chars, QStringLiteral(" yA"));
}

// A ramp kept in the cache folder comes back whole; a record that is cut,
// damaged, foreign, of another font, size or version, of files changed
// since, or with values no measurement gives is not used: the ramp is
// measured again, as without a cache, and the file rewritten. A place that
// cannot take the file leaves the ramp measured all the same.
TEST(ToneRamp, KeptAcrossRunsOnlyWhileItsRecordHoldsForThisFont)
{
    installFontSubstitutions();
    // Inside the home: the cache folder is reached from it without links.
    QTemporaryDir dir(QDir::homePath() + QStringLiteral("/ramp-cache-XXXXXX"));
    ASSERT_TRUE(dir.isValid());
    const QString folder = dir.filePath(QStringLiteral("tessilor"));
    const QString extras = rampFonts()[0].ramp;
    QFont font(rampFonts()[0].face);
    font.setPointSize(8);
    const QString file = rampCacheFile(folder, font, extras, ArtBackground::Light);
    const ToneRamp measured = measureToneRamp(font, extras);
    ASSERT_TRUE(measured.valid());

    RampOrigin origin = RampOrigin::Cache;
    EXPECT_EQ(cachedOrMeasuredToneRamp(font, extras, ArtBackground::Light, folder, &origin), measured);
    EXPECT_EQ(origin, RampOrigin::Measured);
    EXPECT_EQ(QFile::permissions(file) & 0x0777, QFileDevice::ReadUser | QFileDevice::WriteUser);
    EXPECT_EQ(cachedOrMeasuredToneRamp(font, extras, ArtBackground::Light, folder, &origin), measured);
    EXPECT_EQ(origin, RampOrigin::Cache);
    QFile kept(file);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    const QByteArray good = kept.readAll();
    kept.close();

    // Records of other fonts and settings, each kept in its own file.
    auto recordOf = [&](const QFont &other, ArtBackground background) {
        cachedOrMeasuredToneRamp(other, extras, background, folder);
        QFile f(rampCacheFile(folder, other, extras, background));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    QFont otherFace(rampFonts()[2].face);
    otherFace.setPointSize(8);
    QFont otherSize = font;
    otherSize.setPointSize(10);
    const RampCacheKey key{rampRequest(font, extras, ArtBackground::Light), rampFiles(measured)};
    ASSERT_FALSE(key.files.empty());
    auto resealed = [](QByteArray record) {
        record.chop(32);
        return record + QCryptographicHash::hash(record, QCryptographicHash::Blake2b_256);
    };
    auto withRamp = [&](const std::function<void(ToneRamp &)> &change) {
        ToneRamp r = measured;
        change(r);
        return rampRecord(key, r);
    };
    RampCacheKey changedFile = key;
    changedFile.files.back().modified += 1;
    RampCacheKey otherProgram = key;
    otherProgram.request.replace(QStringLiteral("program="), QStringLiteral("program=0."));
    // The lowest bit of the ink of the ramp's third character: a record
    // that still reads as a plausible ramp, told by its checksum alone.
    QByteArray flipped = good;
    const qsizetype ink = good.size() - 32 - 4 * (2 * measured.chars.size() + 1) + 4 * 2;
    flipped[ink] = char(flipped[ink] ^ 0x01);
    QByteArray nextVersion = good;
    nextVersion[8] = char(nextVersion[8] + 1);
    QByteArray longer = good;
    longer.insert(good.size() - 32, "x");
    const struct {
        const char *name;
        QByteArray bytes;
    } damaged[] = {
        {"empty", QByteArray()},
        {"cut in the header", good.left(12)},
        {"cut in the ramp", good.left(good.size() - 40)},
        {"cut checksum", good.left(good.size() - 1)},
        {"one bit changed", flipped},
        {"a byte more, resealed", resealed(longer)},
        {"foreign", QByteArray("\x89PNG\r\n\x1a\n") + QByteArray(200, '\0')},
        {"another face", recordOf(otherFace, ArtBackground::Light)},
        {"another size", recordOf(otherSize, ArtBackground::Light)},
        {"another background", recordOf(font, ArtBackground::Dark)},
        {"another record version, resealed", resealed(nextVersion)},
        {"another program version", rampRecord(otherProgram, measured)},
        {"a font file changed since", rampRecord(changedFile, measured)},
        {"ink out of range", withRamp([](ToneRamp &r) { r.coverage[3] = 7.0f; })},
        {"level not a number", withRamp([](ToneRamp &r) { r.level[2] = std::nanf(""); })},
        {"a character no candidate", withRamp([](ToneRamp &r) { r.chars[2] = QChar(0x4E2D); })},
        {"levels out of order", withRamp([](ToneRamp &r) { std::swap(r.level[2], r.level[5]); })},
        {"fewer levels than characters", withRamp([](ToneRamp &r) { r.level.pop_back(); })},
    };
    for (const auto &c : damaged) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(c.bytes.isEmpty() && std::strcmp(c.name, "empty") != 0);
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(c.bytes);
        f.close();
        EXPECT_FALSE(cachedToneRamp(font, extras, ArtBackground::Light, folder));
        EXPECT_EQ(cachedOrMeasuredToneRamp(font, extras, ArtBackground::Light, folder, &origin), measured);
        EXPECT_EQ(origin, RampOrigin::Measured);
        // Rewritten: whole again.
        EXPECT_EQ(cachedToneRamp(font, extras, ArtBackground::Light, folder), measured);
    }

    // A link in the file's place is replaced, its target left as it was; a
    // FIFO there is neither waited on nor written through.
    const QString target = dir.filePath(QStringLiteral("target"));
    QFile t(target);
    ASSERT_TRUE(t.open(QIODevice::WriteOnly));
    t.write(good);
    t.close();
    QFile::remove(file);
    ASSERT_TRUE(QFile::link(target, file));
    EXPECT_EQ(cachedOrMeasuredToneRamp(font, extras, ArtBackground::Light, folder, &origin), measured);
    EXPECT_EQ(origin, RampOrigin::Measured);
    EXPECT_FALSE(QFileInfo(file).isSymLink());
    EXPECT_EQ(cachedToneRamp(font, extras, ArtBackground::Light, folder), measured);
    EXPECT_EQ(QFileInfo(target).size(), good.size());
    QFile::remove(file);
    ASSERT_EQ(::mkfifo(QFile::encodeName(file).constData(), 0600), 0);
    EXPECT_EQ(cachedOrMeasuredToneRamp(font, extras, ArtBackground::Light, folder, &origin), measured);
    EXPECT_EQ(origin, RampOrigin::Measured);
    EXPECT_EQ(QFileInfo(file).size(), 0);

    // Folders that cannot take it: a file in the folder's place, a link on
    // the way (not followed), a folder outside the home.
    const QString real = dir.filePath(QStringLiteral("real"));
    ASSERT_TRUE(QDir().mkpath(real));
    ASSERT_TRUE(QFile::link(real, dir.filePath(QStringLiteral("link"))));
    QTemporaryDir outside;
    for (const QString &place : {target + QStringLiteral("/tessilor"), dir.filePath(QStringLiteral("link/tessilor")),
                                 outside.filePath(QStringLiteral("tessilor"))}) {
        SCOPED_TRACE(place.toStdString());
        EXPECT_EQ(cachedOrMeasuredToneRamp(font, extras, ArtBackground::Light, place, &origin), measured);
        EXPECT_FALSE(cachedToneRamp(font, extras, ArtBackground::Light, place));
    }
    EXPECT_TRUE(QDir(real).isEmpty());
}

TEST(ToneConversion, FlatFieldsDrawnInTheFaceShowTheirLightnessInTheArtsRange)
{
    // Through the whole chain: a flat field of lightness L is converted,
    // the characters are drawn in the face, blurred, and read as lightness.
    // On paper it lies at the same fraction of the art's range, between the
    // darkest character's cell and the paper; on black, between black and
    // the densest character drawn light.
    installFontSubstitutions();
    struct Case {
        int entry;
        double pixels; // the face drawn at this size (0: the window's 8 pt)
        ArtBackground background;
    } const cases[] = {
        {1, 0, ArtBackground::Light}, {1, 20, ArtBackground::Light}, {3, 0, ArtBackground::Light},
        {1, 0, ArtBackground::Dark},  {3, 20, ArtBackground::Dark},
    };
    for (const Case &c : cases) {
        QFont font(rampFonts()[size_t(c.entry - 1)].face);
        font.setPointSize(8);
        const ToneRamp &ramp = toneRamp(font, rampFonts()[size_t(c.entry - 1)].ramp, c.background);
        ASSERT_TRUE(ramp.valid());
        QFont drawn = font;
        if (c.pixels > 0)
            drawn.setPixelSize(int(c.pixels));
        const bool dark = c.background == ArtBackground::Dark;
        const double densest =
            drawnLight(QStringList(8, QString(64, ramp.chars.back())), drawn, c.background).lightness;
        for (const double l : {0.0, 0.12, 0.3, 0.5, 0.7, 0.88, 1.0}) {
            SCOPED_TRACE(testing::Message() << "font " << c.entry << ", " << c.pixels << " px, "
                                            << (dark ? "dark" : "light") << ", lightness " << l);
            TextResult r;
            const QStringList lines = toneLines(flatGrid(64, 24, float(srgbDecode(l))), ramp, 0, &r, {}, c.background);
            ASSERT_EQ(lines.size(), 24);
            for (const QString &line : lines)
                ASSERT_EQ(line.size(), 64); // one character a sample
            EXPECT_EQ(r.counts.gridRows, 24);
            EXPECT_EQ(r.counts.gridColumns, 32); // classic cells of two characters
            const DrawnLight seen = drawnLight(lines, drawn, c.background);
            const double want = dark ? l * densest : densest + l * (1.0 - densest);
            EXPECT_NEAR(seen.lightness, want, 0.02);
            // No blotches: every patch of 8 x 4 characters, blurred, shows it.
            EXPECT_LT(seen.worstPatch, 0.035);
        }
    }
}

TEST(ToneConversion, DarkAreasShowTheirLightFromTheirFirstRows)
{
    // Between two far apart levels a little light is carried a long way
    // before a lighter character appears: the top of a dark area would stay
    // black and the light pile up below.
    const ToneRamp &ramp = liberationRamp();
    for (const float y : {0.01f, 0.03f}) {
        SCOPED_TRACE(y);
        const QStringList lines = toneLines(flatGrid(64, 32, y), ramp);
        ASSERT_EQ(lines.size(), 32);
        for (int band = 0; band < 4; ++band)
            EXPECT_NEAR(meanLevel(lines.mid(band * 8, 8), ramp), wantedLevel(ramp, y), 0.004) << band;
        // The top three rows alone see three rows of the ordered pattern,
        // a share of the widest step at the dark end off at most; light
        // piled up below would leave them at the darkest level.
        EXPECT_NEAR(meanLevel(lines.mid(0, 3), ramp), wantedLevel(ramp, y), 0.012);
    }
}

TEST(ToneConversion, GradientsDarkenSteadily)
{
    const ToneRamp &ramp = liberationRamp();
    // Light falling from left to right (and, turned, from top to bottom):
    // the ink of every band of 8 columns (rows) grows with it.
    LumaGrid across = flatGrid(256, 32, 0), down = flatGrid(32, 256, 0);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 32; ++x) {
            across.luma[size_t(x) * 256 + size_t(y)] = 1.0f - y / 255.0f;
            down.luma[size_t(y) * 32 + size_t(x)] = 1.0f - y / 255.0f;
        }
    const QStringList a = toneLines(across, ramp);
    const QStringList d = toneLines(down, ramp);
    // Drawn light on black the densest character stands for white: the ink
    // falls with the light.
    const QStringList onBlack = toneLines(across, ramp, 0, nullptr, {}, ArtBackground::Dark);
    double lastA = -1, lastD = -1, lastB = 2;
    for (int band = 0; band < 32; ++band) {
        const double inkA = meanLevel(a, ramp, band * 8, band * 8 + 8);
        const double inkD = meanLevel(d.mid(band * 8, 8), ramp);
        const double inkB = meanLevel(onBlack, ramp, band * 8, band * 8 + 8);
        EXPECT_GT(inkA, lastA) << band;
        EXPECT_GT(inkD, lastD) << band;
        EXPECT_LT(inkB, lastB) << band;
        EXPECT_NEAR(inkA, wantedLevel(ramp, 1.0 - (band * 8 + 3.5) / 255.0), 0.03) << band;
        lastA = inkA;
        lastD = inkD;
        lastB = inkB;
    }
}

TEST(ToneConversion, ContrastActsAsInTheClassicMethod)
{
    struct Case {
        double lightness;
        qint16 contrast;
        double expected;
    } const cases[] = {
        {100, 0, 100},     {100, 20, 80},   {200, 20, 220},    {10, 20, 0},       {250, 20, 255},  {100, -20, 120},
        {120, -20, 127.5}, {200, -20, 180}, {130, -20, 127.5}, {127.5, 127, 0.5}, {128, 127, 255},
    };
    for (const Case &c : cases)
        EXPECT_DOUBLE_EQ(toneContrast(c.lightness, c.contrast), c.expected) << c.lightness << " " << c.contrast;
    // A dark grey gets darker with contrast, a light one lighter; -127
    // brings both to the middle.
    const ToneRamp &ramp = liberationRamp();
    const LumaGrid dark = flatGrid(64, 32, float(srgbToLinear(90)));
    const LumaGrid light = flatGrid(64, 32, float(srgbToLinear(170)));
    EXPECT_GT(meanLevel(toneLines(dark, ramp, 40), ramp), meanLevel(toneLines(dark, ramp, 0), ramp) + 0.05);
    EXPECT_LT(meanLevel(toneLines(light, ramp, 40), ramp), meanLevel(toneLines(light, ramp, 0), ramp) - 0.05);
    const double middle = wantedLevel(ramp, std::pow((127.5 / 255.0 + 0.055) / 1.055, 2.4));
    EXPECT_NEAR(meanLevel(toneLines(dark, ramp, -127), ramp), middle, 0.01);
    EXPECT_NEAR(meanLevel(toneLines(light, ramp, -127), ramp), middle, 0.01);
}

TEST(ToneConversion, StopKeepsWholeCellsOfThePartialRow)
{
    const ToneRamp &ramp = liberationRamp();
    qint16 stop = 0;
    int cells = 0;
    RunHooks hooks;
    hooks.stopFlag = &stop;
    hooks.yieldIntervalMs = 0;
    hooks.yield = [&] {
        if (++cells == 3 * 21 + 7) // every cell and every row end yields
            stop = -1;
    };
    TextResult r;
    const QStringList lines = toneLines(flatGrid(40, 10, 0.0f), ramp, 0, &r, hooks);
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[2].size(), 40);
    EXPECT_EQ(lines[3].size(), 14); // 7 cells of two characters
    EXPECT_TRUE(r.counts.stopped);
    EXPECT_EQ(r.counts.gridRows, 4);
    EXPECT_EQ(r.counts.endRow, 4);
    QBuffer sink;
    sink.open(QIODevice::WriteOnly);
    EXPECT_EQ(convertToToneText(LumaGrid(), ramp, 0, sink).error, ConvertError::EmptyGrid);
    EXPECT_EQ(convertToToneText(flatGrid(4, 4, 0.5f), ToneRamp(), 0, sink).error, ConvertError::RampTooShort);
}

// Where a cell holds a stroke the tone method draws it with the character
// of its shape, on light paper and drawn light on black (a stroke drawn
// light on a black picture); the choice by ink alone does not.
TEST(ToneStructure, StrokesAreDrawnWithCharactersOfTheirShape)
{
    struct Case {
        const char *stroke;
        QChar expected;
        QLineF line; // in pixels of a picture of 12 x 6 characters of 16 x 32
        QRect cells; // characters along it, and how many must show it
        int atLeast;
    } const cases[] = {
        {"vertical bar", u'|', QLineF(88, 0, 88, 192), QRect(5, 1, 1, 4), 4},
        {"floor", u'_', QLineF(0, 93, 192, 93), QRect(1, 2, 10, 1), 10},
        {"rising diagonal", u'/', QLineF(0, 192, 96, 0), QRect(1, 1, 4, 4), 4}, // one a row
        {"falling diagonal", u'\\', QLineF(0, 0, 96, 192), QRect(1, 1, 4, 4), 4},
    };
    auto count = [](const QStringList &lines, const Case &c) {
        int n = 0;
        for (int y = c.cells.top(); y <= c.cells.bottom(); ++y)
            n += int(lines[y].mid(c.cells.left(), c.cells.width()).count(c.expected));
        return n;
    };
    for (const ArtBackground background : {ArtBackground::Light, ArtBackground::Dark}) {
        const bool dark = background == ArtBackground::Dark;
        const ToneRamp &ramp = liberationRamp(background);
        ASSERT_TRUE(ramp.hasShapes());
        for (const Case &c : cases) {
            SCOPED_TRACE(std::string(c.stroke) + (dark ? " on black" : " on paper"));
            // Light strokes are thinner: the thin characters give less light
            // than they take away on paper.
            const ShapedPicture picture = shapedPicture(
                12, 6,
                [&](QPainter &p) {
                    p.setPen(QPen(dark ? Qt::white : Qt::black, dark ? 4 : 8));
                    p.drawLine(c.line);
                },
                dark ? Qt::black : Qt::white);
            const QStringList shaped =
                toneLines(picture.grid, ramp, 0, nullptr, {}, background, {&picture.detail, kDefaultToneStructure});
            EXPECT_GE(count(shaped, c), c.atLeast) << shaped.join(u'\n').toStdString();
            EXPECT_LT(count(toneLines(picture.grid, ramp, 0, nullptr, {}, background), c), c.atLeast);
        }
    }
}

// A faint rule across the picture (a chart's grid line) is one unbroken row
// of one character on paper, where the choice by ink dots it.
TEST(ToneStructure, FaintRulesAreUnbroken)
{
    const ToneRamp &ramp = liberationRamp();
    for (const int grey : {200, 150}) {
        SCOPED_TRACE(grey);
        const ShapedPicture rule = shapedPicture(12, 6, [grey](QPainter &p) {
            p.setPen(QPen(QColor(grey, grey, grey), 3));
            p.drawLine(QLineF(0, 80, 192, 80));
        });
        const QString shaped =
            toneLines(rule.grid, ramp, 0, nullptr, {}, ArtBackground::Light, {&rule.detail, kDefaultToneStructure})[2];
        EXPECT_NE(shaped.front(), QLatin1Char(' '));
        EXPECT_EQ(shaped.count(shaped.front()), shaped.size()) << shaped.toStdString();
        const QString byInk = toneLines(rule.grid, ramp)[2];
        EXPECT_NE(byInk.count(byInk.front()), byInk.size()) << byInk.toStdString();
    }
}

// A field of one flat grey is drawn in one even character (or, where that
// would miss its lightness, by ink): the diffusion would alternate two
// characters, a weave the picture does not have. Smooth gradients, soft
// light and shade and a flat patch fading into its surroundings have no
// field and nothing for the shape to follow: they keep the characters of the choice by ink at every strength,
// but that on black the densest characters' strokes give way to an evener
// character of nearly the densest light in cells without an edge.
TEST(ToneStructure, FlatFieldsAreEvenAndGradientsKeepTheChoiceByInk)
{
    std::vector<ShapedPicture> flats, smooth;
    for (const int grey : {0, 40, 90, 128, 170, 220, 250, 255})
        flats.push_back(shapedPicture(
            24, 8, [](QPainter &) {}, QColor(grey, grey, grey)));
    for (const QLineF &direction : {QLineF(0, 0, 384, 0), QLineF(0, 0, 0, 256), QLineF(0, 0, 384, 256)}) {
        smooth.push_back(shapedPicture(24, 8, [&](QPainter &p) {
            QLinearGradient g(direction.p1(), direction.p2());
            g.setColorAt(0, Qt::white);
            g.setColorAt(1, Qt::black);
            p.fillRect(QRect(0, 0, 384, 256), g);
        }));
    }
    // Soft light and shade a few characters across, as a photograph's sky.
    smooth.push_back(shapedPicture(24, 8, [](QPainter &p) {
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 384; ++x) {
                const int grey = 124 + int(std::lround(4 * std::sin(x / 23.0) * std::cos(y / 17.0)));
                p.setPen(QColor(grey, grey, grey));
                p.drawPoint(x, y);
            }
    }));
    // A flat patch that fades into its surroundings, as the dark of a cup of
    // coffee in a photograph: not a field.
    smooth.push_back(shapedPicture(24, 8, [](QPainter &p) {
        QRadialGradient g(QPointF(192, 128), 220);
        g.setColorAt(0, QColor(100, 100, 100));
        g.setColorAt(0.45, QColor(100, 100, 100));
        g.setColorAt(1, QColor(125, 125, 125));
        p.fillRect(QRect(0, 0, 384, 256), g);
    }));
    QFont face(rampFonts()[0].face);
    face.setPointSize(8);
    for (const ArtBackground background : {ArtBackground::Light, ArtBackground::Dark}) {
        const bool dark = background == ArtBackground::Dark;
        const ToneRamp &ramp = liberationRamp(background);
        const auto dense = [&ramp](QChar c) {
            const qsizetype k = ramp.chars.indexOf(c);
            return k >= 0 && ramp.level[size_t(k)] >= ramp.level.back() - 0.14f;
        };
        for (size_t i = 0; i < smooth.size(); ++i) {
            SCOPED_TRACE(testing::Message() << "smooth picture " << i << (dark ? " on black" : " on paper"));
            const ShapedPicture &picture = smooth[i];
            const QStringList byInk = toneLines(picture.grid, ramp, 0, nullptr, {}, background);
            for (const int strength : {kDefaultToneStructure, kMaxToneStructure}) {
                const QStringList shaped =
                    toneLines(picture.grid, ramp, 0, nullptr, {}, background, {&picture.detail, strength});
                ASSERT_EQ(shaped.size(), byInk.size());
                for (qsizetype y = 0; y < shaped.size(); ++y) {
                    ASSERT_EQ(shaped[y].size(), byInk[y].size());
                    for (qsizetype x = 0; x < shaped[y].size(); ++x) {
                        if (shaped[y][x] == byInk[y][x])
                            continue;
                        // Only the dense characters on black give way.
                        EXPECT_TRUE(dark && dense(byInk[y][x])) << strength << ": " << y << ' ' << x;
                        const qsizetype fill = ramp.shapeChars.indexOf(shaped[y][x]);
                        ASSERT_GE(fill, 0);
                        EXPECT_GT(ramp.shapeLevel[size_t(fill)], 0.9f);
                    }
                }
            }
        }
        int even = 0;
        for (size_t i = 0; i < flats.size(); ++i) {
            SCOPED_TRACE(testing::Message() << "flat picture " << i << (dark ? " on black" : " on paper"));
            const ShapedPicture &picture = flats[i];
            const QStringList byInk = toneLines(picture.grid, ramp, 0, nullptr, {}, background);
            const QStringList shaped =
                toneLines(picture.grid, ramp, 0, nullptr, {}, background, {&picture.detail, kDefaultToneStructure});
            const QString field = shaped.join(QString());
            if (shaped != byInk) {
                ++even;
                EXPECT_EQ(field.count(field.front()), field.size()) << field.toStdString();
                EXPECT_NEAR(drawnLight(shaped, face, background).lightness,
                            drawnLight(byInk, face, background).lightness, 0.06);
            }
            // The densest character's strokes never fill white on black.
            if (dark && i + 1 == flats.size()) {
                EXPECT_FALSE(field.contains(ramp.chars.back())) << field.toStdString();
            }
        }
        // The greys between paper and the densest ink, at least, are even.
        EXPECT_GE(even, 4) << even;
    }
}

TEST(FigureFill, FigureAndBackgroundMixToTheSampledColour)
{
    const LinearRgb colours[] = {
        {0, 0, 0},           {1, 1, 1},         {0.2158, 0.2158, 0.2158}, {0.9, 0.05, 0.02},  {0.02, 0.3, 0.8},
        {0.001, 0.002, 0.0}, {0.99, 0.98, 0.5}, {0.5, 0.5, 0.0},          {0.05, 0.05, 0.06}, {0.7, 0.45, 0.3},
    };
    for (const double a : {0.05, 0.27, 0.5, 0.9}) {
        for (const LinearRgb &s : colours) {
            SCOPED_TRACE(testing::Message() << a << " " << s.r << "," << s.g << "," << s.b);
            const LinearFill f = figureFillLinear(s, a);
            const double fig[3] = {f.figure.r, f.figure.g, f.figure.b};
            const double back[3] = {f.background.r, f.background.g, f.background.b};
            const double want[3] = {s.r, s.g, s.b};
            for (int c = 0; c < 3; ++c) {
                EXPECT_NEAR(a * fig[c] + (1 - a) * back[c], want[c], 1e-12) << c;
                EXPECT_GE(fig[c], 0.0);
                EXPECT_LE(fig[c], 1.0);
                EXPECT_GE(back[c], 0.0);
                EXPECT_LE(back[c], 1.0);
            }
        }
    }
    // Away from the corners of the colour space the figure stands out from
    // its background.
    for (const LinearRgb &s : {LinearRgb{0.2158, 0.2158, 0.2158}, LinearRgb{0.02, 0.3, 0.8}, LinearRgb{0.7, 0.45, 0.3},
                               LinearRgb{0.05, 0.05, 0.06}, LinearRgb{0.8, 0.8, 0.8}}) {
        const LinearFill f = figureFillLinear(s, 0.27);
        EXPECT_GT(std::abs(lightnessOf(f.figure) - lightnessOf(f.background)), 12.0) << s.r << "," << s.g << "," << s.b;
    }
    // A coverage outside (0, 1) leaves the colour as it is.
    const LinearFill none = figureFillLinear({0.3, 0.2, 0.1}, 0.0);
    EXPECT_EQ(none.figure.r, 0.3);
    EXPECT_EQ(none.background.b, 0.1);
}

TEST(FigureFill, EightBitColoursMixToTheSampledColour)
{
    for (const quint32 c : {rgbValue(0, 0, 0), rgbValue(255, 255, 255), rgbValue(128, 128, 128), rgbValue(200, 30, 10),
                            rgbValue(10, 120, 220), rgbValue(250, 250, 120), rgbValue(33, 20, 40)}) {
        const FillColors f = figureFill(c, 0.27);
        const int want[3] = {redOf(c), greenOf(c), blueOf(c)};
        const int fig[3] = {redOf(f.figure), greenOf(f.figure), blueOf(f.figure)};
        const int back[3] = {redOf(f.background), greenOf(f.background), blueOf(f.background)};
        for (int ch = 0; ch < 3; ++ch)
            EXPECT_NEAR(0.27 * srgbToLinear(fig[ch]) + 0.73 * srgbToLinear(back[ch]), srgbToLinear(want[ch]), 0.004)
                << std::hex << c << " " << ch;
    }
}
