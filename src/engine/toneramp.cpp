#include "engine/toneramp.h"

#include "engine/linearlight.h"

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

QList<GlyphInk> measureGlyphInk(const QRawFont &font, const QString &candidates)
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
    // white the way text is drawn (in sRGB values), then taken as light: ink
    // that reaches past the cell still darkens the art, so it all counts.
    const std::array<float, 256> &lin = srgbToLinearTable();
    std::array<double, 256> taken{};
    for (int a = 0; a < 256; ++a)
        taken[size_t(a)] = 1.0 - double(lin[size_t(255 - a)]);
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
        out.append(GlyphInk{chars[i], sum / (advances[i].x() * height)});
    }
    return out;
}

double glyphCoverage(const QFont &font, QChar ch)
{
    const QList<GlyphInk> ink = measureGlyphInk(QRawFont::fromFont(font), QString(ch));
    return ink.isEmpty() ? 0.0 : ink.first().coverage;
}

QList<GlyphInk> measureGlyphInkAcrossRenderings(const QFont &font, const QString &candidates)
{
    QFont larger = font;
    if (font.pointSizeF() > 0)
        larger.setPointSizeF(font.pointSizeF() * 1.5);
    else
        larger.setPixelSize(std::max(1, int(std::lround(font.pixelSize() * 1.5))));
    std::vector<QFont> drawings;
    for (const QFont &base : {font, larger}) {
        drawings.push_back(base);
        for (const QFont::HintingPreference h : {QFont::PreferNoHinting, QFont::PreferFullHinting}) {
            drawings.push_back(base);
            drawings.back().setHintingPreference(h);
        }
    }
    QList<GlyphInk> merged = measureGlyphInk(QRawFont::fromFont(drawings.front()), candidates);
    std::vector<double> low, high;
    for (const GlyphInk &g : merged) {
        low.push_back(g.coverage);
        high.push_back(g.coverage);
    }
    std::vector<size_t> seen(size_t(merged.size()), 1);
    for (size_t d = 1; d < drawings.size(); ++d) {
        const QList<GlyphInk> inks = measureGlyphInk(QRawFont::fromFont(drawings[d]), candidates);
        // Both lists keep the order of the candidates.
        qsizetype j = 0;
        for (qsizetype i = 0; i < merged.size() && j < inks.size(); ++i) {
            qsizetype k = j;
            while (k < inks.size() && inks[k].ch != merged[i].ch)
                ++k;
            if (k == inks.size())
                continue;
            j = k + 1;
            merged[i].coverage += inks[k].coverage;
            low[size_t(i)] = std::min(low[size_t(i)], inks[k].coverage);
            high[size_t(i)] = std::max(high[size_t(i)], inks[k].coverage);
            ++seen[size_t(i)];
        }
    }
    QList<GlyphInk> out;
    for (qsizetype i = 0; i < merged.size(); ++i) {
        if (seen[size_t(i)] != drawings.size())
            continue;
        const double n = double(drawings.size());
        out.append(GlyphInk{merged[i].ch, merged[i].coverage / n, high[size_t(i)] - low[size_t(i)]});
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

ToneRamp pickToneRamp(const QList<GlyphInk> &inks, int minCount, int maxCount)
{
    ToneRamp ramp;
    const auto space = std::find_if(inks.begin(), inks.end(), [](const GlyphInk &g) { return g.ch == u' '; });
    if (space == inks.end())
        return ramp;
    double darkest = 0;
    for (const GlyphInk &g : inks)
        darkest = std::max(darkest, g.coverage);
    if (!(darkest > space->coverage))
        return ramp;

    QList<GlyphInk> sorted = inks;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const GlyphInk &a, const GlyphInk &b) { return a.coverage < b.coverage; });
    // Letters drawn alike (Latin 'p' and Cyrillic 'р') measure alike: the
    // first candidate stands for them.
    sorted.erase(std::unique(sorted.begin(), sorted.end(),
                             [](const GlyphInk &a, const GlyphInk &b) {
                                 return a.coverage == b.coverage && a.spread == b.spread && a.ch != u' ' &&
                                        b.ch != u' ';
                             }),
                 sorted.end());
    maxCount = std::max(2, maxCount);
    // Evenly spaced targets from the space to the darkest character; each
    // takes the nearest character not taken yet. When neighbouring targets
    // share their nearest character, more targets are tried (up to four
    // times as many) until the ramp has minCount characters.
    std::vector<bool> taken;
    for (int targets = maxCount; targets <= 4 * maxCount; targets += maxCount / 2 + 1) {
        taken.assign(size_t(sorted.size()), false);
        int count = 0;
        for (int k = 0; k < targets && count < maxCount; ++k) {
            const double t = space->coverage + (darkest - space->coverage) * k / double(targets - 1);
            qsizetype best = -1;
            if (k == 0) {
                best = std::distance(sorted.begin(), std::find_if(sorted.begin(), sorted.end(),
                                                                  [](const GlyphInk &g) { return g.ch == u' '; }));
            } else if (k == targets - 1) {
                best = sorted.size() - 1;
            } else {
                for (qsizetype i = 0; i < sorted.size(); ++i) {
                    if (sorted[i].ch == u' ' || taken[size_t(i)])
                        continue;
                    const auto cost = [&](qsizetype j) { return std::abs(sorted[j].coverage - t) + sorted[j].spread; };
                    if (best < 0 || cost(i) < cost(best))
                        best = i;
                }
            }
            if (best >= 0 && !taken[size_t(best)]) {
                taken[size_t(best)] = true;
                ++count;
            }
        }
        if (count >= minCount || count >= sorted.size())
            break;
    }
    const double span = darkest - space->coverage;
    for (qsizetype i = 0; i < sorted.size(); ++i) {
        if (!taken[size_t(i)])
            continue;
        ramp.chars.append(sorted[i].ch);
        ramp.coverage.push_back(float(sorted[i].coverage));
        ramp.level.push_back(float((sorted[i].coverage - space->coverage) / span));
    }
    // The space leads even when another glyph measured as light.
    const qsizetype at = ramp.chars.indexOf(u' ');
    if (at > 0) {
        ramp.chars.remove(at, 1);
        ramp.chars.prepend(u' ');
        ramp.coverage.erase(ramp.coverage.begin() + at);
        ramp.coverage.insert(ramp.coverage.begin(), float(space->coverage));
        ramp.level.erase(ramp.level.begin() + at);
        ramp.level.insert(ramp.level.begin(), 0.0f);
    }
    return ramp;
}

const ToneRamp &toneRamp(const QFont &font, const QString &extraCandidates)
{
    static QMutex mutex;
    static QHash<QString, std::shared_ptr<const ToneRamp>> cache;
    const QString key = font.key() + u'\x1f' + extraCandidates;
    QMutexLocker lock(&mutex);
    const auto it = cache.constFind(key);
    if (it != cache.constEnd())
        return **it;
    auto ramp = std::make_shared<ToneRamp>(
        pickToneRamp(measureGlyphInkAcrossRenderings(font, toneCandidates() + extraCandidates)));
    ramp->family = QRawFont::fromFont(font).familyName();
    cache.insert(key, ramp);
    return *ramp;
}

} // namespace tessilor
