#include "art/toneconvert.h"

#include "picture/linearlight.h"

#include <QIODevice>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace tessilor {

double toneContrast(double lightness, qint16 contrast)
{
    if (contrast == 0)
        return lightness;
    const double c = contrast;
    const double middle = 127.5;
    double l = lightness;
    if (l <= middle)
        l = c < 0 ? std::min(l - c, middle) : l - c;
    else
        l = c < 0 ? std::max(l + c, middle) : l + c;
    return std::clamp(l, 0.0, 255.0);
}

namespace {

// The tone curve: the ink level (0 paper .. 1 the ramp's darkest character)
// wanted for a sample of linear luminance y. Text cannot reach black: the
// densest character still leaves most of its cell's light, so the art lives
// in a narrow band of light, and a viewer reads that band by lightness. The
// sample's lightness (sRGB-encoded, after the contrast) is therefore placed
// at the same fraction of the art's lightness range, from the cell of the
// darkest character to the paper (on black: from black to the cell of the
// densest character drawn light), and the level is the one whose displayed
// light has that lightness. Levels are linear in displayed light, so boxes
// and error stay in linear light.
class ToneCurve
{
public:
    ToneCurve(const ToneRamp &ramp, qint16 contrast, ArtBackground background)
    {
        // Ink of the space and of the darkest character: level 0 and 1.
        const double paper = ramp.coverage.empty() ? 0.0 : double(ramp.coverage.front());
        const double darkest = ramp.coverage.empty() ? 1.0 : double(ramp.coverage.back());
        const double span = darkest > paper ? darkest - paper : 1.0;
        // Lightness 0..1 of the art's darkest and lightest cells: the
        // darkest character's cell and paper on light paper, black and the
        // densest character drawn light on black.
        const bool dark = background == ArtBackground::Dark;
        const double low = dark ? linearToSrgb(paper) : linearToSrgb(1.0 - darkest);
        const double high = dark ? linearToSrgb(darkest) : linearToSrgb(1.0 - paper);
        for (int i = 0; i <= kSteps; ++i) {
            const double y = double(i) / kSteps;
            const double l = toneContrast(linearToSrgb(y) * 255.0, contrast) / 255.0;
            const double shown = srgbDecode(low + l * (high - low));
            // Light on paper is what the ink leaves; light on black is the ink.
            const double ink = dark ? shown : 1.0 - shown;
            m_level[size_t(i)] = float(std::clamp((ink - paper) / span, 0.0, 1.0));
        }
    }
    float operator()(float y) const
    {
        const float f = std::clamp(y, 0.0f, 1.0f) * kSteps;
        const int i = std::min(int(f), kSteps - 1);
        const float w = f - float(i);
        return m_level[size_t(i)] + (m_level[size_t(i) + 1] - m_level[size_t(i)]) * w;
    }

private:
    static constexpr int kSteps = 4096;
    std::array<float, kSteps + 1> m_level{};
};

// The ramp level drawn for a wanted ink: of the two levels around it, the
// darker one when the ink lies further up their interval than the
// threshold. A threshold of one half takes the nearest level; thresholds
// from an ordered pattern (below) spread the darker character evenly from
// the first cell of an area on, where the nearest level with the error
// carried alone leaves gaps and streaks wherever one step of the ramp is
// wide (at its dark end) or the ink lies close to a level.
class Quantizer
{
public:
    explicit Quantizer(const std::vector<float> &levels) : m_levels(levels)
    {
        // The last level at or below the start of every bin.
        int j = 0;
        for (int b = 0; b < kBins; ++b) {
            const float v = float(b) / kBins;
            while (j + 1 < int(m_levels.size()) && m_levels[size_t(j) + 1] <= v)
                ++j;
            m_below[size_t(b)] = quint8(j);
        }
    }
    int operator()(float ink, float threshold) const
    {
        const int last = int(m_levels.size()) - 1;
        if (ink <= 0.0f)
            return 0;
        if (ink >= 1.0f)
            return last;
        int j = m_below[size_t(std::min(int(ink * kBins), kBins - 1))];
        while (j < last && m_levels[size_t(j) + 1] <= ink)
            ++j;
        if (j == last)
            return last;
        const float lo = m_levels[size_t(j)];
        const float hi = m_levels[size_t(j) + 1];
        return ink - lo > threshold * (hi - lo) ? j + 1 : j;
    }

private:
    static constexpr int kBins = 1024;
    const std::vector<float> &m_levels;
    std::array<quint8, kBins> m_below{};
};

// Thresholds of an 8 x 8 ordered (Bayer) pattern, (rank + 0.5) / 64.
const std::array<float, 64> &orderedThresholds()
{
    static const std::array<float, 64> t = [] {
        std::array<float, 64> out{};
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 8; ++x) {
                int rank = 0;
                // Bit-reversed interleaving of x ^ y and y.
                for (int bit = 0; bit < 3; ++bit) {
                    const int xy = ((x ^ y) >> bit) & 1;
                    const int yy = (y >> bit) & 1;
                    rank |= (xy << (5 - 2 * bit)) | (yy << (4 - 2 * bit));
                }
                out[size_t(y) * 8 + size_t(x)] = (float(rank) + 0.5f) / 64.0f;
            }
        }
        return out;
    }();
    return t;
}

} // namespace

TextResult convertToToneText(const LumaGrid &grid, const ToneRamp &ramp, qint16 contrast, QIODevice &out,
                             const RunHooks &hooks, ArtBackground background)
{
    TextResult result;
    if (!ramp.valid() || ramp.level.size() != size_t(ramp.chars.size()) ||
        ramp.coverage.size() != size_t(ramp.chars.size()) || ramp.chars.size() > 255) {
        result.error = ConvertError::RampTooShort;
        return result;
    }
    if (grid.isNull() || grid.luma.size() != size_t(grid.width) * size_t(grid.height)) {
        result.error = ConvertError::EmptyGrid;
        return result;
    }
    const int width = grid.width;
    const int lastRow = grid.height - 1;
    std::vector<std::array<char, 4>> bytes(size_t(ramp.chars.size()));
    std::vector<quint8> lengths(size_t(ramp.chars.size()));
    for (qsizetype i = 0; i < ramp.chars.size(); ++i) {
        const QByteArray utf8 = QString(ramp.chars.at(i)).toUtf8();
        std::memcpy(bytes[size_t(i)].data(), utf8.constData(), size_t(std::min<qsizetype>(utf8.size(), 4)));
        lengths[size_t(i)] = quint8(std::min<qsizetype>(utf8.size(), 4));
    }
    const ToneCurve inkOf(ramp, contrast, background);
    const Quantizer quantize(ramp.level);
    const std::vector<float> &level = ramp.level;
    const std::array<float, 64> &thresholds = orderedThresholds();

    // Error carried into the current row and the next one, with a guard
    // column on either side.
    std::vector<float> here(size_t(width) + 2, 0.0f), below(size_t(width) + 2, 0.0f);
    std::vector<quint8> chosen(static_cast<size_t>(width));
    std::vector<char> line(size_t(width) * 4 + 16);

    YieldClock clock(hooks);
    bool stopped = false;
    int i = 0;
    for (; i <= lastRow; ++i) {
        if (clock.stopRequested()) {
            stopped = true;
            break;
        }
        const float *row = grid.luma.data() + size_t(i) * size_t(width);
        std::fill(below.begin(), below.end(), 0.0f);
        const bool forward = (i % 2) == 0;
        const int step = forward ? 1 : -1;
        const float *threshold = thresholds.data() + size_t(i % 8) * 8;
        for (int n = 0, x = forward ? 0 : width - 1; n < width; ++n, x += step) {
            const float want = inkOf(row[x]) + here[size_t(x) + 1];
            const int k = quantize(want, threshold[x % 8]);
            chosen[size_t(x)] = quint8(k);
            const float e = want - level[size_t(k)];
            here[size_t(x + step) + 1] += e * (7.0f / 16.0f);
            below[size_t(x - step) + 1] += e * (3.0f / 16.0f);
            below[size_t(x) + 1] += e * (5.0f / 16.0f);
            below[size_t(x + step) + 1] += e * (1.0f / 16.0f);
        }
        std::swap(here, below);

        // Written left to right a classic cell (two characters) at a time.
        char *p = line.data();
        int walked = 0;
        for (int x = 0; x < width; x += 2) {
            if (clock.stopRequested()) {
                stopped = true;
                break;
            }
            for (int c = x; c < std::min(x + 2, width); ++c) {
                const int k = chosen[size_t(c)];
                std::memcpy(p, bytes[size_t(k)].data(), 4);
                p += lengths[size_t(k)];
            }
            ++walked;
            clock.afterCell();
        }
        if (!finishTextRow(line.data(), p, i, lastRow, walked, out, clock, result))
            return result;
        if (stopped) {
            ++i;
            break;
        }
    }
    result.counts.endRow = i;
    result.counts.stopped = stopped;
    clock.percent(rowPercent(i, lastRow));
    return result;
}

} // namespace tessilor
