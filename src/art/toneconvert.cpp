#include "art/toneconvert.h"

#include "art/figureconvert.h"
#include "picture/linearlight.h"

#include <QIODevice>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>

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

// Smooth step from 0 at lo to 1 at hi.
float smoothStep(float v, float lo, float hi)
{
    const float t = std::clamp((v - lo) / (hi - lo), 0.0f, 1.0f);
    return t * t * (3.0f - 2.0f * t);
}

// A [1 2 1] / 4 blur of a cell's boxes each way, the edges repeated: a
// stroke one box off its place still matches, as it does to the eye.
void softenBoxes(float *boxes)
{
    std::array<float, kShapeBoxes> t{};
    for (int y = 0; y < kShapeRows; ++y) {
        const float *r = boxes + y * kShapeColumns;
        for (int x = 0; x < kShapeColumns; ++x)
            t[size_t(y * kShapeColumns + x)] =
                0.25f * r[std::max(x - 1, 0)] + 0.5f * r[x] + 0.25f * r[std::min(x + 1, kShapeColumns - 1)];
    }
    for (int y = 0; y < kShapeRows; ++y) {
        const float *above = t.data() + std::max(y - 1, 0) * kShapeColumns;
        const float *here = t.data() + y * kShapeColumns;
        const float *below = t.data() + std::min(y + 1, kShapeRows - 1) * kShapeColumns;
        for (int x = 0; x < kShapeColumns; ++x)
            boxes[y * kShapeColumns + x] = 0.25f * above[x] + 0.5f * here[x] + 0.25f * below[x];
    }
}

// The choice by shape (see ToneStructure). Characters are numbered as the
// conversion numbers them: the ramp's first, then the shape candidates.
class ShapeChooser
{
public:
    // How clearly a cell has an edge: its detail's contrast (the root mean
    // square of its ink levels about their mean) from kFaint to kClear, and
    // the coherence of its structure tensor (0 for no direction, 1 for one)
    // from kLoose to kOneWay; the product of the two smooth steps. Soft
    // photographic detail stays below the contrast, texture below the
    // coherence.
    static constexpr float kFaint = 0.10f;
    static constexpr float kClear = 0.30f;
    static constexpr float kLoose = 0.10f;
    static constexpr float kOneWay = 0.50f;
    // The ink distance that costs as much as a shape term of weight one, and
    // the weight at strength 100.
    static constexpr float kInkTolerance = 0.20f;
    static constexpr float kStrongest = 4.0f;
    // The fill of flat dense cells (see flat): how far below the densest
    // ink it may lie, how much less its ink must step, and how far below the
    // densest ink the ramp's characters lie that give way to it.
    static constexpr float kFillReach = 0.07f;
    static constexpr float kFillCalmer = 0.8f;
    static constexpr float kFilledReach = 0.14f;

    // Even fields (see findFields and prepareEvenChoice): a cell is flat
    // when its detail's contrast stays below kFlatDetail and its ink lies
    // within kFlatStep of a neighbour on either side, across and down (so
    // that the cells along a field's edges are flat too); flat cells that
    // touch and lie within kFieldSpread of one another make a field, which
    // counts from kFieldCells cells on. The lightness an even character
    // misses costs as much as a ripple of kRipple when it would lower a
    // flat area's similarity (in SSIM's sense, its constant kToneFloor) by
    // kToneLoss.
    static constexpr float kFlatDetail = 0.006f;
    static constexpr float kFlatStep = 0.002f;
    static constexpr float kFieldSpread = 0.003f;
    static constexpr int kFieldCells = 16;
    // A field ends at edges: of the cells around it at most kSoftShare may
    // lie within kSoftStep of its ink. A photograph's smooth area (the dark
    // of a cup of coffee, the moon's face) fades into what surrounds it, a
    // fill of a drawing stops at a line or a change of colour.
    static constexpr float kSoftStep = 0.02f;
    static constexpr float kSoftShare = 0.5f;
    static constexpr double kToneLoss = 0.01;
    static constexpr double kToneFloor = 1e-4;
    static constexpr double kRipple = 0.3;
    // Lines (see findFields): a cell holds a line across when every row of
    // its boxes keeps within kLineSame of its mean, its inked rows stand out
    // of their ground by kLineContrast (a line of ink, not a gap or a
    // slope), and its rows keep within kLineSame of a neighbour's across; a
    // line down likewise with columns. Lines count from kLineRun cells on.
    static constexpr float kLineSame = 0.02f;
    static constexpr float kLineContrast = 0.03f;
    static constexpr int kLineRun = 4;
    static constexpr float kLineShape = 1.0f;

    ShapeChooser(const ToneStructure &structure, const ToneRamp &ramp, const ToneCurve &inkOf, const LumaGrid &grid,
                 ArtBackground background)
        : m_dark(background == ArtBackground::Dark), m_inkOf(inkOf), m_detail(*structure.detail),
          m_detailWidth(structure.detail->width), m_detailHeight(structure.detail->height),
          m_rampCount(int(ramp.chars.size())),
          m_weight(kStrongest * float(std::clamp(structure.strength, 0, 100)) / 100.0f)
    {
        m_band.resize(size_t(kBandRows) * size_t(m_detailWidth));
        prepareCandidates(ramp);
        if (!m_levels.empty()) {
            prepareEvenChoice(ramp);
            findFields(grid);
        }
    }

    // Takes the detail's wanted ink levels of grid row y and of the detail
    // rows just above and below it (the edges repeated), the detail rows
    // shared with row y - 1 taken from its band.
    void startRow(int y)
    {
        if (m_levels.empty())
            return;
        const size_t dw = size_t(m_detailWidth);
        int first = 0;
        if (y > 0 && y == m_bandRow + 1) {
            std::copy_n(m_band.begin() + std::ptrdiff_t(kShapeRows * dw), 2 * dw, m_band.begin());
            first = 2;
        }
        for (int k = first; k < kBandRows; ++k) {
            const int dy = std::clamp(y * kShapeRows - 1 + k, 0, m_detailHeight - 1);
            const float *luma = m_detail.line(dy);
            float *ink = m_band.data() + size_t(k) * dw;
            if (m_detail.column.empty()) {
                for (size_t i = 0; i < dw; ++i)
                    ink[i] = m_inkOf(luma[i]);
            } else {
                for (size_t i = 0; i < dw; ++i)
                    ink[i] = m_inkOf(luma[m_detail.column[i]]);
            }
        }
        m_bandRow = y;
    }

    // The character for cell (x, y) of the row startRow() took last, whose
    // own ink is want, the ramp having chosen rampChoice for it with the ink
    // carried to it; the chosen character's level goes into level. The
    // shape candidates are judged by the cell's own ink: the ink carried
    // along a line would otherwise alternate its characters (| ; | ;).
    // A cell of an even field or on a faint line is drawn by its own ink
    // alone; carriesNothing says so, and its error is then not carried on.
    int choose(int x, float want, int rampChoice, const std::vector<float> &rampLevel, float &level,
               bool &carriesNothing) const
    {
        level = rampLevel[size_t(rampChoice)];
        carriesNothing = false;
        if (m_levels.empty())
            return rampChoice;
        if (m_field[size_t(m_bandRow) * size_t(m_gridWidth) + size_t(x)]) {
            const int c = m_evenChoice[size_t(std::clamp(int(want * (kEvenBins - 1) + 0.5f), 0, kEvenBins - 1))];
            if (c < 0)
                return flat(rampChoice);
            carriesNothing = true;
            level = m_levels[size_t(c)];
            return m_rampCount + c;
        }
        // The cell's detail and its contrast; a cell without clear contrast
        // keeps the ramp's choice before its structure is looked at.
        std::array<float, kShapeBoxes> cell{};
        float sum = 0, squares = 0;
        const int dw = m_detailWidth;
        const int x0 = x * kShapeColumns;
        for (int by = 0; by < kShapeRows; ++by) {
            const float *line = m_band.data() + size_t(by + 1) * size_t(dw) + size_t(x0);
            for (int bx = 0; bx < kShapeColumns; ++bx) {
                const float v = line[bx];
                sum += v;
                squares += v * v;
                cell[size_t(by * kShapeColumns + bx)] = v;
            }
        }
        const float mean = sum / kShapeBoxes;
        const float rms = std::sqrt(std::max(0.0f, squares / kShapeBoxes - mean * mean));
        // A cell on a faint line (a chart's grid line, fainter than an
        // edge) draws it by its own ink and shape and carries nothing, so
        // its neighbours along the line take the same character: the
        // diffusion would dot the line.
        if (m_line[size_t(m_bandRow) * size_t(m_gridWidth) + size_t(x)] && rms < kFaint) {
            if (const int c = lineChoice(cell, want, level, carriesNothing); c >= 0)
                return c;
            return flat(rampChoice);
        }
        const float clear = smoothStep(rms, kFaint, kClear);
        if (clear <= 0.0f)
            return flat(rampChoice);
        // Its structure tensor (central differences over the whole detail,
        // so that an edge on the cell's border counts).
        float jxx = 0, jxy = 0, jyy = 0;
        for (int by = 0; by < kShapeRows; ++by) {
            const float *line = m_band.data() + size_t(by + 1) * size_t(dw);
            const float *up = line - dw;
            const float *down = line + dw;
            for (int bx = 0; bx < kShapeColumns; ++bx) {
                const int dx = x0 + bx;
                const float gx = line[std::min(dx + 1, dw - 1)] - line[std::max(dx - 1, 0)];
                const float gy = down[dx] - up[dx];
                jxx += gx * gx;
                jxy += gx * gy;
                jyy += gy * gy;
            }
        }
        const float trace = jxx + jyy;
        if (trace < 1e-12f)
            return flat(rampChoice);
        const float coherence = ((jxx - jyy) * (jxx - jyy) + 4.0f * jxy * jxy) / (trace * trace);
        const float gate = clear * smoothStep(coherence, kLoose, kOneWay);
        if (gate <= 0.0f)
            return flat(rampChoice);

        if (!normalise(cell))
            return rampChoice;

        const float weight = gate * m_weight;
        const int own = m_rampToShape[size_t(rampChoice)];
        float best = own >= 0 ? weight * (1.0f - correlation(cell, own)) : weight;
        int chosen = -1;
        // Only a candidate whose ink term stays below the ramp choice's
        // shape term can win.
        const float reach = kInkTolerance * std::sqrt(best);
        const int from = int(std::lower_bound(m_levels.begin(), m_levels.end(), want - reach) - m_levels.begin());
        const int to = int(std::upper_bound(m_levels.begin(), m_levels.end(), want + reach) - m_levels.begin());
        if (from >= to)
            return rampChoice;
        correlations(cell, from, to);
        for (int c = from; c < to; ++c) {
            const float d = (m_levels[size_t(c)] - want) / kInkTolerance;
            const float cost = d * d + weight * (1.0f - m_dots[size_t(c)]);
            if (cost < best) {
                best = cost;
                chosen = c;
            }
        }
        if (chosen < 0)
            return rampChoice;
        level = m_levels[size_t(chosen)];
        return m_rampCount + chosen;
    }

private:
    // The detail rows a grid row's cells look at: its own and one on either
    // side.
    static constexpr int kBandRows = kShapeRows + 2;
    // Shape candidates are correlated kLanes at a time, each lane adding up
    // its own candidate's products in the order of the boxes (so a
    // candidate's correlation is the one a plain loop gives).
    using Quad = float __attribute__((vector_size(16)));
    static constexpr int kLanes = 16;

    // The character of a cell on a line: of every candidate, the one whose
    // lightness (costed as in an even field, against the cell's own ink) and
    // shape (kLineShape times the strength's share for one minus the
    // correlation) cost least.
    int lineChoice(std::array<float, kShapeBoxes> &cell, float want, float &level, bool &carriesNothing) const
    {
        if (!normalise(cell))
            return -1;
        const int n = int(m_levels.size());
        correlations(cell, 0, n);
        float best = std::numeric_limits<float>::max();
        int chosen = 0;
        const double wanted = shownLevel(want);
        for (int c = 0; c < n; ++c) {
            const float cost = float(toneCost(m_lightness[size_t(c)], wanted)) +
                               m_weight / kStrongest * kLineShape * (1.0f - m_dots[size_t(c)]);
            if (cost < best) {
                best = cost;
                chosen = c;
            }
        }
        carriesNothing = true;
        level = m_levels[size_t(chosen)];
        return m_rampCount + chosen;
    }

    // The detail, softened, relative to its mean and of length one; false
    // for a detail without contrast.
    static bool normalise(std::array<float, kShapeBoxes> &cell)
    {
        softenBoxes(cell.data());
        float softMean = 0;
        for (const float v : cell)
            softMean += v;
        softMean /= kShapeBoxes;
        float norm = 0;
        for (float &v : cell) {
            v -= softMean;
            norm += v * v;
        }
        if (norm < 1e-8f)
            return false;
        const float scale = 1.0f / std::sqrt(norm);
        for (float &v : cell)
            v *= scale;
        return true;
    }

    // Every shape candidate's shape, softened as the detail is, relative to
    // its mean and of length one (all zero for a character without shape,
    // such as the space); kept box by box, the candidates side by side.
    // A cell without an edge keeps the ramp's choice, but for the ramp's
    // dense characters, which fill the paper's far end (black ink on light
    // paper, the light of a drawing on dark paper): their strokes (a
    // Cyrillic De's bar and feet, an Ef's ring) would draw lines across a
    // field the picture has flat, and a field a little short of the far end
    // would alternate two of them (Ф W Ф W), so the evenest dense candidate
    // takes the place of every ramp character within kFilledReach of the
    // densest ink there. Its ink counts as the ramp character's, whose
    // error is carried on: such a field is drawn evenly at the fill's ink.
    int flat(int rampChoice) const
    {
        return rampChoice >= m_filledFrom && m_fill >= 0 ? m_rampCount + m_fill : rampChoice;
    }

    // The fill for flat cells (see flat): of the candidates within kFillReach
    // of the densest ink, the one whose ink steps least between neighbouring
    // boxes, where it steps clearly less than the densest character's.
    void prepareFill(const ToneRamp &ramp)
    {
        m_fill = -1;
        const int densest = m_rampToShape[size_t(m_rampCount - 1)];
        if (densest < 0)
            return;
        const auto steps = [&ramp](int c) {
            const float *shape = ramp.shapes.data() + size_t(c) * kShapeBoxes;
            float energy = 0;
            for (int y = 0; y < kShapeRows; ++y)
                for (int x = 0; x < kShapeColumns; ++x) {
                    const float v = shape[y * kShapeColumns + x];
                    if (x + 1 < kShapeColumns)
                        energy += (shape[y * kShapeColumns + x + 1] - v) * (shape[y * kShapeColumns + x + 1] - v);
                    if (y + 1 < kShapeRows)
                        energy += (shape[(y + 1) * kShapeColumns + x] - v) * (shape[(y + 1) * kShapeColumns + x] - v);
                }
            return energy;
        };
        m_filledFrom = m_rampCount - 1;
        while (m_filledFrom > 0 && ramp.level[size_t(m_filledFrom) - 1] >= ramp.level.back() - kFilledReach)
            --m_filledFrom;
        float best = kFillCalmer * steps(densest);
        const float floor = ramp.level.back() - kFillReach;
        for (int c = 0; c < int(m_levels.size()); ++c) {
            if (m_levels[size_t(c)] < floor || c == densest)
                continue;
            const float e = steps(c);
            if (e < best) {
                best = e;
                m_fill = c;
            }
        }
    }

    void prepareCandidates(const ToneRamp &ramp)
    {
        if (!ramp.hasShapes())
            return;
        const int n = int(ramp.shapeChars.size());
        m_levels = ramp.shapeLevel;
        m_stride = (n + kLanes - 1) / kLanes * kLanes;
        m_shapes.assign(size_t(n) * kShapeBoxes, 0.0f);
        m_byBox.assign(size_t(m_stride) * kShapeBoxes, 0.0f);
        m_dots.assign(size_t(m_stride), 0.0f);
        for (int c = 0; c < n; ++c) {
            float *shape = m_shapes.data() + size_t(c) * kShapeBoxes;
            std::copy_n(ramp.shapes.begin() + std::ptrdiff_t(c) * kShapeBoxes, kShapeBoxes, shape);
            softenBoxes(shape);
            float mean = 0;
            for (int b = 0; b < kShapeBoxes; ++b)
                mean += shape[b];
            mean /= kShapeBoxes;
            float norm = 0;
            for (int b = 0; b < kShapeBoxes; ++b)
                norm += (shape[b] - mean) * (shape[b] - mean);
            const float scale = norm < 1e-10f ? 0.0f : 1.0f / std::sqrt(norm);
            for (int b = 0; b < kShapeBoxes; ++b) {
                shape[b] = (shape[b] - mean) * scale;
                m_byBox[size_t(b) * size_t(m_stride) + size_t(c)] = shape[b];
            }
        }
        m_rampToShape.assign(size_t(m_rampCount), -1);
        for (int k = 0; k < m_rampCount; ++k)
            m_rampToShape[size_t(k)] = int(ramp.shapeChars.indexOf(ramp.chars.at(k)));
        prepareFill(ramp);
    }

    double lightOfLevel(double level) const
    {
        return m_dark ? m_paper + level * m_span : 1.0 - m_paper - level * m_span;
    }
    // The lightness a level shows, stretched over the art's range (0 its
    // darkest cell, 1 its lightest).
    double shownLevel(double level) const
    {
        return (linearToSrgb(std::clamp(lightOfLevel(level), 0.0, 1.0)) - m_low) / (m_high - m_low);
    }
    // The loss of similarity (in SSIM's sense) a lightness a makes against
    // a flat area of lightness b, in units of kToneLoss.
    static double toneCost(double a, double b) { return (a - b) * (a - b) / (a * a + b * b + kToneFloor) / kToneLoss; }

    // The even character for every wanted ink (kEvenBins steps), or -1
    // where dithering the two ramp levels around it costs less. Costs are
    // taken as the art is seen: lightness stretched over the art's range
    // (0 its darkest cell, 1 its lightest). A character costs the loss of
    // similarity its lightness makes against the field's, and the
    // amplitude of its ripple (the first harmonic of its ink from row to
    // row of boxes, a row of characters being one period; the eye and a
    // blur of half a character leave little else of a field of one
    // character), weighted by the strength. Dithering keeps the lightness
    // but ripples by the difference of the two levels as well as by their
    // own rows.
    void prepareEvenChoice(const ToneRamp &ramp)
    {
        const int n = int(m_levels.size());
        m_paper = double(ramp.coverage.front());
        m_span = std::max(double(ramp.coverage.back()) - m_paper, 1e-6);
        m_low = m_dark ? linearToSrgb(m_paper) : linearToSrgb(1.0 - m_paper - m_span);
        m_high = m_dark ? linearToSrgb(m_paper + m_span) : linearToSrgb(1.0 - m_paper);
        // The fill stands for the densest ink (see flat).
        const auto levelOf = [&](int c) {
            return c == m_fill ? std::max(m_levels[size_t(c)], ramp.level.back()) : m_levels[size_t(c)];
        };
        std::vector<double> ripple(static_cast<size_t>(n), 0.0);
        m_lightness.assign(size_t(n), 0.0);
        for (int c = 0; c < n; ++c) {
            const float *shape = ramp.shapes.data() + size_t(c) * kShapeBoxes;
            double re = 0, im = 0;
            for (int y = 0; y < kShapeRows; ++y) {
                double row = 0;
                for (int x = 0; x < kShapeColumns; ++x)
                    row += shape[y * kShapeColumns + x];
                row /= kShapeColumns;
                re += row * std::cos(2.0 * M_PI * y / kShapeRows);
                im += row * std::sin(2.0 * M_PI * y / kShapeRows);
            }
            // The amplitude in light, as lightness: times the slope of the
            // sRGB curve at the cell's light.
            const double light = std::max(lightOfLevel(levelOf(c)), 0.004);
            const double slope = 1.055 / 2.4 * std::pow(light, 1.0 / 2.4 - 1.0);
            ripple[size_t(c)] = 2.0 * std::sqrt(re * re + im * im) / kShapeRows * slope / (m_high - m_low);
            m_lightness[size_t(c)] = shownLevel(levelOf(c));
        }
        // 1 at the default strength of 50.
        const double weight = double(m_weight) / kStrongest * 2.0;
        const auto rippleCost = [weight](double squared) { return weight * squared / (kRipple * kRipple); };
        const std::vector<float> &level = ramp.level;
        const float filled = ramp.level.back() - kFilledReach;
        m_evenChoice.resize(kEvenBins);
        for (int b = 0; b < kEvenBins; ++b) {
            const double want = double(b) / (kEvenBins - 1);
            const double wanted = shownLevel(want);
            double best = std::numeric_limits<double>::max();
            int chosen = 0;
            for (int c = 0; c < n; ++c) {
                const double cost =
                    toneCost(m_lightness[size_t(c)], wanted) + rippleCost(ripple[size_t(c)] * ripple[size_t(c)]);
                if (cost < best) {
                    best = cost;
                    chosen = c;
                }
            }
            const int above = int(std::lower_bound(level.begin(), level.end(), float(want)) - level.begin());
            if (above > 0 && above < int(level.size()) && level[size_t(above)] > want) {
                const int below = above - 1;
                const double p = (want - level[size_t(below)]) / (level[size_t(above)] - level[size_t(below)]);
                const double step = shownLevel(level[size_t(above)]) - shownLevel(level[size_t(below)]);
                const int lo = m_rampToShape[size_t(below)], hi = m_rampToShape[size_t(above)];
                const double rl = lo >= 0 ? ripple[size_t(lo)] : 0.0, rh = hi >= 0 ? ripple[size_t(hi)] : 0.0;
                if (rippleCost(step * step * p * (1 - p) + (1 - p) * rl * rl + p * rh * rh) < best)
                    chosen = -1;
            }
            // The dense end in the one even fill, as in cells without an edge.
            if (chosen >= 0 && m_fill >= 0 && m_levels[size_t(chosen)] >= filled)
                chosen = m_fill;
            m_evenChoice[size_t(b)] = chosen;
        }
    }

    // The cells of even fields (see kFlatDetail) and of lines of ink on
    // paper (see kLineSame): m_field and m_line, a byte a cell. On black a
    // line the picture draws dark on light is a gap in the art's light,
    // which the choice by ink draws better (measured).
    void findFields(const LumaGrid &grid)
    {
        const int w = grid.width, h = grid.height;
        m_gridWidth = w;
        const size_t cells = size_t(w) * size_t(h);
        std::vector<float> ink(cells);
        for (size_t i = 0; i < cells; ++i)
            ink[i] = m_inkOf(grid.luma[i]);
        const auto at = [&](int x, int y) {
            return ink[size_t(std::clamp(y, 0, h - 1)) * size_t(w) + size_t(std::clamp(x, 0, w - 1))];
        };
        // Every cell's detail: its ink by box, row profile, column profile.
        struct CellDetail {
            float mean = 0, variance = 0;
            std::array<float, kShapeRows> rows{};
            std::array<float, kShapeColumns> columns{};
            float acrossRows = 0; // largest step of a box from its row's mean
            float downColumns = 0;
        };
        std::array<std::vector<CellDetail>, 3> details;
        for (auto &d : details)
            d.resize(size_t(w));
        // The detail's ink of a grid row, a detail row at a time.
        std::vector<float> rowInk(size_t(kShapeRows) * size_t(m_detailWidth));
        const auto measureRow = [&](int y, std::vector<CellDetail> &out) {
            for (int by = 0; by < kShapeRows; ++by) {
                const float *luma = m_detail.line(y * kShapeRows + by);
                float *ink = rowInk.data() + size_t(by) * size_t(m_detailWidth);
                if (m_detail.column.empty()) {
                    for (int dx = 0; dx < m_detailWidth; ++dx)
                        ink[dx] = m_inkOf(luma[dx]);
                } else {
                    for (int dx = 0; dx < m_detailWidth; ++dx)
                        ink[dx] = m_inkOf(luma[m_detail.column[size_t(dx)]]);
                }
            }
            for (int x = 0; x < w; ++x) {
                CellDetail &d = out[size_t(x)];
                d = CellDetail{};
                float squares = 0;
                for (int by = 0; by < kShapeRows; ++by) {
                    const float *r = rowInk.data() + size_t(by) * size_t(m_detailWidth) + size_t(x) * kShapeColumns;
                    float sum = 0;
                    for (int bx = 0; bx < kShapeColumns; ++bx) {
                        sum += r[bx];
                        squares += r[bx] * r[bx];
                        d.columns[size_t(bx)] += r[bx];
                    }
                    d.rows[size_t(by)] = sum / kShapeColumns;
                    d.mean += sum;
                }
                d.mean /= kShapeBoxes;
                d.variance = squares / kShapeBoxes - d.mean * d.mean;
                for (float &c : d.columns)
                    c /= kShapeRows;
                for (int by = 0; by < kShapeRows; ++by) {
                    const float *r = rowInk.data() + size_t(by) * size_t(m_detailWidth) + size_t(x) * kShapeColumns;
                    for (int bx = 0; bx < kShapeColumns; ++bx) {
                        d.acrossRows = std::max(d.acrossRows, std::abs(r[bx] - d.rows[size_t(by)]));
                        d.downColumns = std::max(d.downColumns, std::abs(r[bx] - d.columns[size_t(bx)]));
                    }
                }
            }
        };
        const auto largestStep = [](const auto &a, const auto &b) {
            float m = 0;
            for (size_t i = 0; i < a.size(); ++i)
                m = std::max(m, std::abs(a[i] - b[i]));
            return m;
        };
        // How far a profile's inked part stands out of its ground: 0 for a
        // gap (less ink than the ground) or a slope rather than a line.
        const auto standsOut = [](const auto &a) {
            auto sorted = a;
            std::sort(sorted.begin(), sorted.end());
            const float median = 0.5f * (sorted[sorted.size() / 2 - 1] + sorted[sorted.size() / 2]);
            return sorted.back() - median <= 2.0f * (median - sorted.front()) ? 0.0f : sorted.back() - median;
        };
        std::vector<quint8> flat(cells, 0), across(cells, 0), down(cells, 0);
        measureRow(0, details[1]);
        for (int y = 0; y < h; ++y) {
            // details[0..2]: rows y - 1, y, y + 1 (the edge rows repeated).
            if (y == 0) {
                details[0] = details[1];
            } else {
                std::swap(details[0], details[1]);
                std::swap(details[1], details[2]);
            }
            if (y + 1 < h)
                measureRow(y + 1, details[2]);
            else
                details[2] = details[1];
            const std::vector<CellDetail> &row = details[1];
            for (int x = 0; x < w; ++x) {
                const CellDetail &d = row[size_t(x)];
                const size_t i = size_t(y) * size_t(w) + size_t(x);
                const CellDetail &left = row[size_t(std::max(x - 1, 0))], &right = row[size_t(std::min(x + 1, w - 1))];
                // A line across: every row of boxes even, the rows as the
                // neighbour's on one side, the rows not all alike.
                if (!m_dark && d.acrossRows < kLineSame && standsOut(d.rows) >= kLineContrast &&
                    std::min(largestStep(d.rows, left.rows), largestStep(d.rows, right.rows)) < kLineSame)
                    across[i] = 1;
                if (!m_dark && d.downColumns < kLineSame && standsOut(d.columns) >= kLineContrast &&
                    std::min(largestStep(d.columns, details[0][size_t(x)].columns),
                             largestStep(d.columns, details[2][size_t(x)].columns)) < kLineSame)
                    down[i] = 1;
                if (d.variance >= kFlatDetail * kFlatDetail)
                    continue;
                const float c = at(x, y);
                const float step = std::max(std::min(std::abs(c - at(x - 1, y)), std::abs(at(x + 1, y) - c)),
                                            std::min(std::abs(c - at(x, y - 1)), std::abs(at(x, y + 1) - c)));
                if (step < kFlatStep)
                    flat[i] = 1;
            }
        }
        // Lines count from kLineRun cells along them on.
        m_line.assign(cells, 0);
        const auto keepRuns = [&](const std::vector<quint8> &marks, int count, int length, auto index) {
            for (int k = 0; k < count; ++k) {
                int start = 0;
                for (int j = 0; j <= length; ++j) {
                    if (j < length && marks[index(k, j)])
                        continue;
                    if (j - start >= kLineRun)
                        for (int t = start; t < j; ++t)
                            m_line[index(k, t)] = 1;
                    start = j + 1;
                }
            }
        };
        keepRuns(across, h, w, [w](int y, int x) { return size_t(y) * size_t(w) + size_t(x); });
        keepRuns(down, w, h, [w](int x, int y) { return size_t(y) * size_t(w) + size_t(x); });
        // Calls f with the index of every cell of the 3 x 3 around cell i
        // (i itself too) that lies in the grid.
        const auto aroundCell = [w, h](int i, auto f) {
            const int x = i % w, y = i / w;
            for (int yy = std::max(y - 1, 0); yy <= std::min(y + 1, h - 1); ++yy)
                for (int xx = std::max(x - 1, 0); xx <= std::min(x + 1, w - 1); ++xx)
                    f(size_t(yy) * size_t(w) + size_t(xx));
        };
        // Fields grown from each flat cell not yet in one.
        m_field.assign(cells, 0);
        std::vector<quint8> seen(cells, 0);
        std::vector<int> members, queue, mark(cells, 0);
        int region = 0;
        for (int start = 0; start < w * h; ++start) {
            if (!flat[size_t(start)] || seen[size_t(start)])
                continue;
            const float origin = ink[size_t(start)];
            members.clear();
            queue.assign(1, start);
            seen[size_t(start)] = 1;
            while (!queue.empty()) {
                const int i = queue.back();
                queue.pop_back();
                members.push_back(i);
                aroundCell(i, [&](size_t j) {
                    if (flat[j] && !seen[j] && std::abs(ink[j] - origin) < kFieldSpread) {
                        seen[j] = 1;
                        queue.push_back(int(j));
                    }
                });
            }
            if (int(members.size()) < kFieldCells)
                continue;
            // The cells just around it, each once.
            ++region;
            for (const int i : members)
                mark[size_t(i)] = 2 * region;
            int around = 0, soft = 0;
            for (const int i : members)
                aroundCell(i, [&](size_t j) {
                    if (mark[j] >= 2 * region)
                        return;
                    mark[j] = 2 * region + 1;
                    ++around;
                    if (std::abs(ink[j] - origin) < kSoftStep)
                        ++soft;
                });
            if (float(soft) <= kSoftShare * float(around))
                for (const int i : members)
                    m_field[size_t(i)] = 1;
        }
    }

    float correlation(const std::array<float, kShapeBoxes> &cell, int candidate) const
    {
        const float *shape = m_shapes.data() + size_t(candidate) * kShapeBoxes;
        float dot = 0;
        for (int b = 0; b < kShapeBoxes; ++b)
            dot += cell[size_t(b)] * shape[b];
        return dot;
    }

    // The correlations of candidates from .. to-1 with the cell, into
    // m_dots[from .. to-1] (whole groups of lanes are written).
    void correlations(const std::array<float, kShapeBoxes> &cell, int from, int to) const
    {
        const auto load = [](const float *p) {
            Quad q;
            std::memcpy(&q, p, sizeof q);
            return q;
        };
        for (int g = from / kLanes * kLanes; g < to; g += kLanes) {
            // Four groups of lanes at once, each its own sum.
            Quad d0{}, d1{}, d2{}, d3{};
            const float *column = m_byBox.data() + size_t(g);
            for (int b = 0; b < kShapeBoxes; ++b) {
                const Quad v = Quad{} + cell[size_t(b)];
                const float *shape = column + size_t(b) * size_t(m_stride);
                d0 += v * load(shape);
                d1 += v * load(shape + 4);
                d2 += v * load(shape + 8);
                d3 += v * load(shape + 12);
            }
            float *out = m_dots.data() + g;
            std::memcpy(out, &d0, sizeof d0);
            std::memcpy(out + 4, &d1, sizeof d1);
            std::memcpy(out + 8, &d2, sizeof d2);
            std::memcpy(out + 12, &d3, sizeof d3);
        }
    }

    static constexpr int kEvenBins = 1024;
    bool m_dark;
    const ToneCurve &m_inkOf;
    const DetailGrid &m_detail;
    int m_detailWidth;
    int m_detailHeight;
    int m_rampCount;
    float m_weight;
    std::vector<float> m_band; // the wanted ink levels of the detail rows of a grid row
    int m_bandRow = -1;
    std::vector<float> m_levels; // of the shape candidates, rising
    std::vector<float> m_shapes;
    std::vector<float> m_byBox; // m_shapes box by box, m_stride candidates a box
    int m_stride = 0;
    mutable std::vector<float> m_dots; // the correlations of the current cell
    std::vector<int> m_rampToShape;
    int m_fill = -1;                 // the flat dense cells' candidate, or -1
    std::vector<int> m_evenChoice;   // see prepareEvenChoice
    std::vector<quint8> m_field;     // see findFields
    std::vector<quint8> m_line;      // see findFields
    std::vector<double> m_lightness; // of each candidate, as shownLevel
    double m_paper = 0, m_span = 1, m_low = 0, m_high = 1;
    int m_gridWidth = 0;
    int m_filledFrom = 0; // the first ramp character the fill stands for
};

} // namespace

TextResult convertToToneText(const LumaGrid &grid, const ToneRamp &ramp, qint16 contrast, QIODevice &out,
                             const RunHooks &hooks, ArtBackground background, const ToneStructure &structure,
                             const ToneColors &colors)
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
    const bool shaped = structure.active() && ramp.hasShapes();
    if (shaped && (structure.detail->width != grid.width * kShapeColumns ||
                   structure.detail->height != grid.height * kShapeRows || !structure.detail->valid())) {
        result.error = ConvertError::EmptyGrid;
        return result;
    }
    if (colors.active() && (colors.grid.width != grid.width || colors.grid.height != grid.height)) {
        result.error = ConvertError::EmptyGrid;
        return result;
    }
    const int width = grid.width;
    const int lastRow = grid.height - 1;
    // The ramp's characters, then the shape candidates.
    const QString chars = shaped ? ramp.chars + ramp.shapeChars : ramp.chars;
    std::vector<std::array<char, 4>> bytes(size_t(chars.size()));
    std::vector<quint8> lengths(size_t(chars.size()));
    for (qsizetype i = 0; i < chars.size(); ++i) {
        const QByteArray utf8 = QString(chars.at(i)).toUtf8();
        std::memcpy(bytes[size_t(i)].data(), utf8.constData(), size_t(std::min<qsizetype>(utf8.size(), 4)));
        lengths[size_t(i)] = quint8(std::min<qsizetype>(utf8.size(), 4));
    }
    const ToneCurve inkOf(ramp, contrast, background);
    const Quantizer quantize(ramp.level);
    const std::vector<float> &level = ramp.level;
    const std::array<float, 64> &thresholds = orderedThresholds();
    std::optional<ShapeChooser> shapes;
    if (shaped)
        shapes.emplace(structure, ramp, inkOf, grid, background);

    // Error carried into the current row and the next one, with a guard
    // column on either side.
    std::vector<float> here(size_t(width) + 2, 0.0f), below(size_t(width) + 2, 0.0f);
    std::vector<quint16> chosen(static_cast<size_t>(width));
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
        if (shapes)
            shapes->startRow(i);
        for (int n = 0, x = forward ? 0 : width - 1; n < width; ++n, x += step) {
            const float own = inkOf(row[x]);
            const float want = own + here[size_t(x) + 1];
            int k = quantize(want, threshold[x % 8]);
            float drawn = level[size_t(k)];
            if (shapes) {
                bool carriesNothing = false;
                k = shapes->choose(x, own, k, level, drawn, carriesNothing);
                if (carriesNothing)
                    drawn = want;
            }
            chosen[size_t(x)] = quint16(k);
            const float e = want - drawn;
            here[size_t(x + step) + 1] += e * (7.0f / 16.0f);
            below[size_t(x - step) + 1] += e * (3.0f / 16.0f);
            below[size_t(x) + 1] += e * (5.0f / 16.0f);
            below[size_t(x + step) + 1] += e * (1.0f / 16.0f);
        }
        std::swap(here, below);

        // Written left to right a classic cell (two characters) at a time.
        char *p = line.data();
        const QRgb *pixels = colors.active() ? colors.grid.row(i) : nullptr;
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
                if (pixels && lengths[size_t(k)] > 0)
                    colors.colors->push_back(figureCellColor(pixels[c], false));
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
