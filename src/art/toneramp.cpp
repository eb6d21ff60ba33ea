#include "art/toneramp.h"

#include "art/fontfaces.h"
#include "art/rampcache.h"
#include "picture/linearlight.h"

#include <QGlyphRun>
#include <QHash>
#include <QImage>
#include <QMutex>
#include <QPainter>
#include <QRawFont>
#include <algorithm>
#include <cmath>
#include <memory>

namespace tessilor {

namespace {

// The boxes each pixel [p, p + 1) falls into, among boxes equal parts of
// the span [start, start + length), with the share of the box it covers:
// pixel p's are shares[from[p]] .. shares[from[p + 1] - 1].
struct BoxShare {
    int box;
    float share;
};
struct BoxShares {
    std::vector<BoxShare> shares;
    std::vector<int> from;
};
BoxShares boxShares(int pixels, double start, double length, int boxes)
{
    BoxShares out;
    out.from.reserve(size_t(std::max(pixels, 0)) + 1);
    const double box = length / boxes;
    for (int p = 0; p < pixels; ++p) {
        out.from.push_back(int(out.shares.size()));
        const int first = std::max(0, int(std::floor((p - start) / box)));
        const int last = std::min(boxes - 1, int(std::floor((p + 1 - start) / box)));
        for (int b = first; b <= last; ++b) {
            const double lo = std::max(double(p), start + b * box);
            const double hi = std::min(double(p + 1), start + (b + 1) * box);
            if (hi > lo)
                out.shares.push_back({b, float((hi - lo) / box)});
        }
    }
    out.from.push_back(int(out.shares.size()));
    return out;
}

// Where a glyph's ink lies in its cell (advance x line height, the baseline
// at the ascent), from its coverage mask as the rasteriser makes it (the
// mask's corner at the glyph's bounding rectangle), every pixel taken as the
// drawing takes it and averaged over the kShapeColumns x kShapeRows boxes of
// the cell. Ink outside the cell is left out: the neighbouring cells' boxes
// do not see it either.
std::vector<float> glyphShape(const QImage &mask, const QRectF &bounds, double advance, double ascent, double height,
                              const std::array<double, 256> &taken)
{
    std::vector<float> shape(size_t(kShapeBoxes), 0.0f);
    const bool mono = mask.format() == QImage::Format_Mono || mask.format() == QImage::Format_MonoLSB;
    const int width = mask.width();
    const int pixelRows = mask.height();
    const BoxShares columns = boxShares(width, -bounds.left(), advance, kShapeColumns);
    const BoxShares rows = boxShares(pixelRows, -(ascent + bounds.top()), height, kShapeRows);
    for (int y = 0; y < pixelRows; ++y) {
        const int r0 = rows.from[size_t(y)], r1 = rows.from[size_t(y) + 1];
        if (r0 == r1)
            continue;
        const uchar *line = mask.constScanLine(y);
        for (int x = 0; x < width; ++x) {
            const int alpha = mono ? (mask.pixelIndex(x, y) ? 255 : 0) : line[x];
            const int c0 = columns.from[size_t(x)], c1 = columns.from[size_t(x) + 1];
            if (alpha == 0 || c0 == c1)
                continue;
            const float ink = float(taken[size_t(alpha)]);
            for (int r = r0; r < r1; ++r) {
                const BoxShare &row = rows.shares[size_t(r)];
                for (int c = c0; c < c1; ++c) {
                    const BoxShare &column = columns.shares[size_t(c)];
                    shape[size_t(row.box) * kShapeColumns + size_t(column.box)] += ink * row.share * column.share;
                }
            }
        }
    }
    return shape;
}

} // namespace

QList<GlyphInk> measureGlyphInk(const QRawFont &font, const QString &candidates, InkBlend blend)
{
    QList<GlyphInk> out;
    if (!font.isValid())
        return out;
    QString chars;
    QList<quint32> glyphs;
    for (const QChar c : candidates) {
        if (c.isSurrogate() || chars.contains(c) || !font.supportsCharacter(c))
            continue;
        const QList<quint32> index = font.glyphIndexesForString(QString(c));
        if (index.size() != 1 || index.first() == 0)
            continue;
        chars.append(c);
        glyphs.append(index.first());
    }
    if (chars.isEmpty())
        return out;
    const QList<QPointF> advances = font.advancesForGlyphIndexes(glyphs);
    const double height = font.ascent() + font.descent();
    if (!(height > 0))
        return out;

    // Each glyph's coverage as the rasteriser makes it, blended black on
    // white the way the drawing blends it, then taken as light: ink that
    // reaches past the cell still darkens the art, so it all counts.
    const std::array<float, 256> &lin = srgbToLinearTable();
    std::array<double, 256> taken{};
    for (int a = 0; a < 256; ++a)
        taken[size_t(a)] = blend == InkBlend::Light         ? a / 255.0
                           : blend == InkBlend::SrgbOnBlack ? double(lin[size_t(a)])
                                                            : 1.0 - double(lin[size_t(255 - a)]);
    for (qsizetype i = 0; i < chars.size(); ++i) {
        const QImage mask = font.alphaMapForGlyph(glyphs[i], QRawFont::PixelAntialiasing);
        double sum = 0;
        for (int y = 0; y < mask.height(); ++y) {
            const uchar *line = mask.constScanLine(y);
            if (mask.format() == QImage::Format_Mono || mask.format() == QImage::Format_MonoLSB) {
                for (int x = 0; x < mask.width(); ++x)
                    sum += mask.pixelIndex(x, y) ? taken[255] : 0.0;
                continue;
            }
            for (int x = 0; x < mask.width(); ++x)
                sum += taken[line[x]];
        }
        out.append(
            GlyphInk{chars[i],
                     sum / (advances[i].x() * height),
                     0,
                     {},
                     glyphShape(mask, font.boundingRect(glyphs[i]), advances[i].x(), font.ascent(), height, taken)});
    }
    return out;
}

std::vector<InkDrawing> artDrawings(const QFont &font, ArtBackground background)
{
    // The window blends text as sRGB values (so its soft edges take more
    // light than they cover on paper, and give less drawn light on black);
    // larger drawings have few soft edges and are taken as physical ink,
    // as print is and as renderers that blend in linear light draw it.
    const InkBlend window = background == ArtBackground::Dark ? InkBlend::SrgbOnBlack : InkBlend::Srgb;
    const InkBlend screen = background == ArtBackground::Dark ? InkBlend::SrgbOnBlack : InkBlend::Light;
    std::vector<InkDrawing> out;
    const double points = font.pointSizeF() > 0 ? font.pointSizeF() : font.pixelSize() * 0.75;
    // The window, plainly and as other programs may hint it.
    out.push_back({font, window});
    for (const QFont::HintingPreference h : {QFont::PreferNoHinting, QFont::PreferFullHinting}) {
        out.push_back({font, window});
        out.back().font.setHintingPreference(h);
    }
    // A zoomed view.
    QFont zoomed = font;
    zoomed.setPointSizeF(points * 2);
    out.push_back({zoomed, screen});
    // Print, in the face printing uses, at 600 dpi (large sizes capped:
    // past some 100 pixels a glyph's ink no longer changes).
    QFont printed(pageFontName(font.family()));
    printed.setPixelSize(std::clamp(int(std::lround(points * 600.0 / 72.0)), 24, 96));
    printed.setHintingPreference(QFont::PreferNoHinting);
    out.push_back({printed, InkBlend::Light});
    // Terminal cells 16, 20 and 24 pixels high, in the face of the screen.
    QFont probe = font;
    probe.setPixelSize(100);
    const QRawFont raw = QRawFont::fromFont(probe);
    const double lineOfPixel = raw.isValid() ? (raw.ascent() + raw.descent()) / 100.0 : 1.2;
    for (const int cell : {16, 20, 24}) {
        QFont terminal = font;
        terminal.setPixelSize(std::max(1, int(std::lround(cell / lineOfPixel))));
        out.push_back({terminal, screen});
    }
    return out;
}

FillInk glyphFillInk(const QFont &font, QChar ch)
{
    const QRawFont raw = QRawFont::fromFont(font);
    const QList<GlyphInk> onLight = measureGlyphInk(raw, QString(ch), InkBlend::Srgb);
    const QList<GlyphInk> onDark = measureGlyphInk(raw, QString(ch), InkBlend::SrgbOnBlack);
    if (onLight.isEmpty() || onDark.isEmpty())
        return {};
    return {onLight.first().coverage, onDark.first().coverage};
}

QList<GlyphInk> measureGlyphInkAcrossRenderings(const QFont &font, const QString &candidates, ArtBackground background)
{
    const std::vector<InkDrawing> drawings = artDrawings(font, background);
    std::vector<QList<GlyphInk>> measured;
    for (const InkDrawing &d : drawings)
        measured.push_back(measureGlyphInk(QRawFont::fromFont(d.font), candidates, d.blend));
    // Characters every drawing has, in the order of the candidates (every
    // list keeps it).
    QList<GlyphInk> out;
    std::vector<qsizetype> at(drawings.size(), 0);
    for (const GlyphInk &first : measured.front()) {
        GlyphInk g{first.ch, 0, 0, {}};
        bool everywhere = true;
        for (size_t d = 0; d < measured.size() && everywhere; ++d) {
            qsizetype k = at[d];
            while (k < measured[d].size() && measured[d][k].ch != first.ch)
                ++k;
            everywhere = k < measured[d].size();
            if (everywhere) {
                g.drawings.push_back(float(measured[d][k].coverage));
                const std::vector<float> &shape = measured[d][k].shape;
                g.shape.resize(shape.size());
                for (size_t b = 0; b < shape.size(); ++b)
                    g.shape[b] += shape[b] / float(measured.size());
                at[d] = k + 1;
            }
        }
        if (everywhere)
            out.append(g);
    }
    // Each drawing's ink relative to its darkest character: the spread is
    // taken on that scale (a drawing darker as a whole is no worse), then
    // given back in ink.
    std::vector<float> darkest(drawings.size(), 0.0f);
    for (const GlyphInk &g : out)
        for (size_t d = 0; d < drawings.size(); ++d)
            darkest[d] = std::max(darkest[d], g.drawings[d]);
    double meanDarkest = 0;
    for (const float v : darkest)
        meanDarkest += v / double(drawings.size());
    for (GlyphInk &g : out) {
        double sum = 0, low = 1e9, high = -1e9;
        for (size_t d = 0; d < drawings.size(); ++d) {
            sum += g.drawings[d];
            const double relative = darkest[d] > 0 ? g.drawings[d] / darkest[d] : 0.0;
            low = std::min(low, relative);
            high = std::max(high, relative);
        }
        g.coverage = sum / double(drawings.size());
        g.spread = (high - low) * meanDarkest;
    }
    return out;
}

QString printableAscii()
{
    QString s;
    for (char16_t c = 0x20; c < 0x7F; ++c)
        s.append(QChar(c));
    return s;
}

QString toneCandidates()
{
    QString s = printableAscii();
    for (char16_t c = 0x410; c < 0x450; ++c) // А .. я
        s.append(QChar(c));
    s.append(QChar(u'\u0401')); // Ё
    s.append(QChar(u'\u0451')); // ё
    return s;
}

namespace {

// True when b carries more ink than a in every drawing measured.
bool inkOrderHolds(const GlyphInk &a, const GlyphInk &b)
{
    if (a.drawings.size() != b.drawings.size())
        return true;
    for (size_t d = 0; d < a.drawings.size(); ++d)
        if (!(b.drawings[d] > a.drawings[d]))
            return false;
    return true;
}

// The ramp's shape candidates (see ToneRamp::shapeChars): a character
// whose ink differs between the drawings by more than half the ramp's span would not show the tone it is chosen for.
void addShapeCandidates(ToneRamp &ramp, const QList<GlyphInk> &inks, double paper, double span)
{
    constexpr double kSteadiest = 0.5;
    struct Candidate {
        const GlyphInk *ink;
        float level;
    };
    std::vector<Candidate> candidates;
    for (const GlyphInk &g : inks) {
        if (g.shape.size() != size_t(kShapeBoxes))
            return; // measured without shapes
        const double level = (g.coverage - paper) / span;
        const bool inRamp = ramp.chars.contains(g.ch);
        if (!inRamp && (level < 0 || level > 1 || g.spread > kSteadiest * span))
            continue;
        // Letters drawn alike (Latin 'A' and Cyrillic 'А'): the first stands for them.
        const bool drawnBefore = std::any_of(candidates.begin(), candidates.end(), [&g](const Candidate &c) {
            return c.ink->coverage == g.coverage && c.ink->shape == g.shape;
        });
        if (!drawnBefore)
            candidates.push_back({&g, float(std::clamp(level, 0.0, 1.0))});
    }
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const Candidate &a, const Candidate &b) { return a.level < b.level; });
    for (const Candidate &c : candidates) {
        ramp.shapeChars.append(c.ink->ch);
        ramp.shapeLevel.push_back(c.level);
        ramp.shapes.insert(ramp.shapes.end(), c.ink->shape.begin(), c.ink->shape.end());
    }
}

} // namespace

ToneRamp pickToneRamp(const QList<GlyphInk> &inks, int maxCount)
{
    ToneRamp ramp;
    const auto spaceAt = std::find_if(inks.begin(), inks.end(), [](const GlyphInk &g) { return g.ch == u' '; });
    if (spaceAt == inks.end())
        return ramp;
    const GlyphInk space = *spaceAt;
    // The dark end: the most ink once the spread is taken off.
    const GlyphInk *dark = nullptr;
    for (const GlyphInk &g : inks)
        if (g.ch != u' ' && g.coverage > space.coverage &&
            (!dark || g.coverage - g.spread > dark->coverage - dark->spread))
            dark = &g;
    if (!dark)
        return ramp;
    const double darkest = dark->coverage;

    QList<GlyphInk> sorted;
    for (const GlyphInk &g : inks)
        if (g.ch != u' ' && g.coverage > space.coverage && (g.coverage < darkest || g.ch == dark->ch))
            sorted.append(g);
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const GlyphInk &a, const GlyphInk &b) { return a.coverage < b.coverage; });
    // Letters drawn alike (Latin 'p' and Cyrillic 'р') measure alike: the
    // first candidate stands for them.
    sorted.erase(std::unique(sorted.begin(), sorted.end(),
                             [dark](const GlyphInk &a, const GlyphInk &b) {
                                 return a.coverage == b.coverage && a.spread == b.spread && a.ch != dark->ch &&
                                        b.ch != dark->ch;
                             }),
                 sorted.end());
    sorted.prepend(space);
    const int n = int(sorted.size()); // the space first, the dark end last
    // Evenly spaced targets from the space to the dark end, one character
    // each, every character darker than the one before in every drawing:
    // the cheapest such chain (distance to the target plus spread) by
    // dynamic programming. As many targets as there are characters, up to
    // maxCount, fewer when no chain that long keeps its order.
    const int most = std::min(std::max(2, maxCount), n);
    std::vector<int> chain;
    for (int targets = most; targets >= 2 && chain.empty(); --targets) {
        constexpr double kNone = 1e300;
        // cost[k][j]: the cheapest chain of targets 0..k ending in j.
        std::vector<std::vector<double>> cost(size_t(targets), std::vector<double>(size_t(n), kNone));
        std::vector<std::vector<int>> from(size_t(targets), std::vector<int>(size_t(n), -1));
        cost[0][0] = 0;
        for (int k = 1; k < targets; ++k) {
            const double t = space.coverage + (darkest - space.coverage) * k / double(targets - 1);
            for (int j = 1; j < n; ++j) {
                if ((k == targets - 1) != (j == n - 1))
                    continue; // the dark end closes the chain
                double best = kNone;
                int at = -1;
                for (int i = 0; i < j; ++i) {
                    if (cost[size_t(k) - 1][size_t(i)] < best && inkOrderHolds(sorted[i], sorted[j])) {
                        best = cost[size_t(k) - 1][size_t(i)];
                        at = i;
                    }
                }
                if (at < 0)
                    continue;
                cost[size_t(k)][size_t(j)] = best + std::abs(sorted[j].coverage - t) + sorted[j].spread;
                from[size_t(k)][size_t(j)] = at;
            }
        }
        if (cost[size_t(targets) - 1][size_t(n) - 1] >= kNone)
            continue;
        for (int k = targets - 1, j = n - 1; k >= 0; j = from[size_t(k)][size_t(j)], --k)
            chain.push_back(j);
        std::reverse(chain.begin(), chain.end()); // from the space to the dark end
    }
    const double span = darkest - space.coverage;
    for (const int i : chain) {
        ramp.chars.append(sorted[i].ch);
        ramp.coverage.push_back(float(sorted[i].coverage));
        ramp.level.push_back(float((sorted[i].coverage - space.coverage) / span));
    }
    addShapeCandidates(ramp, inks, space.coverage, span);
    return ramp;
}

ToneRamp measureToneRamp(const QFont &font, const QString &extraCandidates, ArtBackground background)
{
    ToneRamp ramp = pickToneRamp(measureGlyphInkAcrossRenderings(font, toneCandidates() + extraCandidates, background));
    ramp.family = QRawFont::fromFont(font).familyName();
    ramp.printFamily = QRawFont::fromFont(QFont(pageFontName(font.family()))).familyName();
    return ramp;
}

namespace {

// The ramps of this run, by font, extras and background.
struct RampMemory {
    QMutex mutex;
    QHash<QString, std::shared_ptr<const ToneRamp>> ramps;
};

RampMemory &rampMemory()
{
    static RampMemory memory;
    return memory;
}

QString memoryKey(const ToneFont &font, const QString &extraCandidates, ArtBackground background)
{
    return font.key() + u'\x1f' + extraCandidates + (background == ArtBackground::Dark ? u'D' : u'L');
}

} // namespace

ToneFont::ToneFont(const QFont &font) : family(font.family()), pointSize(font.pointSizeF() > 0 ? font.pointSizeF() : 0)
{}

QFont ToneFont::font() const
{
    QFont f(family);
    if (pointSize > 0)
        f.setPointSizeF(pointSize);
    return f;
}

const ToneRamp &toneRamp(const ToneFont &font, const QString &extraCandidates, ArtBackground background)
{
    RampMemory &memory = rampMemory();
    const QString key = memoryKey(font, extraCandidates, background);
    QMutexLocker lock(&memory.mutex);
    const auto it = memory.ramps.constFind(key);
    if (it != memory.ramps.constEnd())
        return **it;
    auto ramp =
        std::make_shared<ToneRamp>(cachedOrMeasuredToneRamp(font, extraCandidates, background, toneRampCacheFolder()));
    memory.ramps.insert(key, ramp);
    return *ramp;
}

bool preloadToneRamp(const ToneFont &font, const QString &extraCandidates, ArtBackground background)
{
    RampMemory &memory = rampMemory();
    const QString key = memoryKey(font, extraCandidates, background);
    QMutexLocker lock(&memory.mutex);
    if (memory.ramps.contains(key))
        return true;
    std::optional<ToneRamp> cached = cachedToneRamp(font, extraCandidates, background, toneRampCacheFolder());
    if (!cached)
        return false;
    memory.ramps.insert(key, std::make_shared<ToneRamp>(std::move(*cached)));
    return true;
}

} // namespace tessilor
