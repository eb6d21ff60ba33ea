// Engine benchmarks: text conversion throughput, the grid resampler, the
// tone ramp measured and kept across runs, and sharing the fonts with other
// applications at start.
#include "../tests/support/privatefontconfig.h"

#include "art/figureconvert.h"
#include "art/fontfaces.h"
#include "art/rampcache.h"
#include "art/textconvert.h"
#include "art/toneconvert.h"
#include "art/toneramp.h"
#include "base/options.h"
#include "base/paths.h"
#include "fonts/fontmodule.h"
#include "picture/resample.h"

#include <QBuffer>
#include <QDir>
#include <QGuiApplication>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace tessilor;

static QImage photoLike(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    QRandomGenerator rng(42);
    for (int y = 0; y < h; ++y) {
        QRgb *line = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < w; ++x)
            line[x] = qRgb((x * 3 + y) & 255, (y * 5) & 255, int(rng.bounded(256)));
    }
    return img;
}

static void BM_TextConversion512x1024(benchmark::State &state)
{
    const QImage grid = photoLike(512, 1024);
    QByteArray bytes;
    bytes.reserve(4 << 20);
    for (auto _ : state) {
        bytes.clear();
        QBuffer buf(&bytes);
        buf.open(QIODevice::WriteOnly);
        const TextResult r = convertToText(grid, rampFonts()[0].ramp, 0, buf);
        benchmark::DoNotOptimize(r.counts.gridRows);
    }
    state.SetItemsProcessed(state.iterations() * 512 * 1024);
}
BENCHMARK(BM_TextConversion512x1024)->Unit(benchmark::kMillisecond);

static void BM_Resample5120x2880To512x1024(benchmark::State &state)
{
    const QImage src = photoLike(5120, 2880);
    for (auto _ : state) {
        QImage g = resampleBox(src, 512, 1024);
        benchmark::DoNotOptimize(g.constBits());
    }
}
BENCHMARK(BM_Resample5120x2880To512x1024)->Unit(benchmark::kMillisecond);

// The image window's 500 % zoom of a large photo (capped display copy).
static void BM_Resample5120x2880Enlarge(benchmark::State &state)
{
    const QImage src = photoLike(5120, 2880);
    for (auto _ : state) {
        QImage g = resampleBox(src, 10922, 6144);
        benchmark::DoNotOptimize(g.constBits());
    }
}
BENCHMARK(BM_Resample5120x2880Enlarge)->Unit(benchmark::kMillisecond);

static void BM_FigureColours1024x1024(benchmark::State &state)
{
    const QImage grid = photoLike(1024, 1024);
    QByteArray bytes;
    for (auto _ : state) {
        bytes.clear();
        QBuffer buf(&bytes);
        buf.open(QIODevice::WriteOnly);
        const FigureResult r = convertToFigures(grid, false, &buf, nullptr);
        benchmark::DoNotOptimize(r.counts.gridRows);
    }
    state.SetItemsProcessed(state.iterations() * 1024 * 1024);
}
BENCHMARK(BM_FigureColours1024x1024)->Unit(benchmark::kMillisecond);

static QFont textFont(int points)
{
    installFontSubstitutions();
    QFont font(rampFonts()[0].face);
    font.setPointSize(points);
    return font;
}

// The very first measurement of a ramp in this process, font loading
// included (registered first, so it runs before anything touched the font).
static void BM_ToneRampFirstMeasurement(benchmark::State &state)
{
    for (auto _ : state) {
        const ToneRamp &ramp = toneRamp(textFont(8), rampFonts()[0].ramp);
        benchmark::DoNotOptimize(ramp.chars.size());
    }
}
BENCHMARK(BM_ToneRampFirstMeasurement)->Iterations(1)->Unit(benchmark::kMillisecond);

// A measurement past the cache (a font size not measured before).
static void BM_ToneRampMeasurement(benchmark::State &state)
{
    const QFont font = textFont(int(state.range(0)));
    for (auto _ : state) {
        const ToneRamp ramp =
            pickToneRamp(measureGlyphInkAcrossRenderings(font, toneCandidates() + rampFonts()[0].ramp));
        benchmark::DoNotOptimize(ramp.chars.size());
    }
}
BENCHMARK(BM_ToneRampMeasurement)->Arg(8)->Arg(48)->Unit(benchmark::kMillisecond);

// The ramp kept in the cache folder by an earlier run, as a run without a
// cache in memory takes it: the record read, its checksum and request
// checked, every file it was measured from looked at (fontconfig's
// configuration and font folders, the faces' files), the ramp checked.
// Against BM_ToneRampMeasurement/8 (the same font measured).
static void BM_ToneRampFromCacheFolder(benchmark::State &state)
{
    const QFont font = textFont(8);
    const QString folder = QDir::homePath() + QStringLiteral("/ramp-cache");
    cachedOrMeasuredToneRamp(font, rampFonts()[0].ramp, ArtBackground::Light, folder);
    for (auto _ : state) {
        const std::optional<ToneRamp> ramp = cachedToneRamp(font, rampFonts()[0].ramp, ArtBackground::Light, folder);
        if (!ramp) {
            state.SkipWithError("no valid record");
            break;
        }
        benchmark::DoNotOptimize(ramp->chars.size());
    }
}
BENCHMARK(BM_ToneRampFromCacheFolder)->Unit(benchmark::kMicrosecond);

// A run that finds no record: the ramp measured, its files looked up in
// fontconfig and the record written whole (flushed to the disk, renamed).
static void BM_ToneRampMeasuredAndKept(benchmark::State &state)
{
    const QFont font = textFont(8);
    const QString folder = QDir::homePath() + QStringLiteral("/ramp-cache-cold");
    for (auto _ : state) {
        state.PauseTiming();
        QDir(folder).removeRecursively();
        state.ResumeTiming();
        RampOrigin origin = RampOrigin::Cache;
        const ToneRamp ramp =
            cachedOrMeasuredToneRamp(font, rampFonts()[0].ramp, ArtBackground::Light, folder, &origin);
        if (origin != RampOrigin::Measured) {
            state.SkipWithError("not measured");
            break;
        }
        benchmark::DoNotOptimize(ramp.chars.size());
    }
}
BENCHMARK(BM_ToneRampMeasuredAndKept)->Unit(benchmark::kMillisecond);

static void BM_ToneRampCached(benchmark::State &state)
{
    const QFont font = textFont(8);
    toneRamp(font, rampFonts()[0].ramp);
    for (auto _ : state)
        benchmark::DoNotOptimize(toneRamp(font, rampFonts()[0].ramp).chars.size());
}
BENCHMARK(BM_ToneRampCached);

// The tone method on the largest grid (512 cells, 1024 characters a line,
// 1024 lines), from the luminance grid to the text: contrast, and art for
// light paper (0) or for black (1).
static void BM_ToneConversion1024x1024(benchmark::State &state)
{
    const LumaGrid grid = makeLumaGrid(photoLike(1024, 1024), 1024, 1024);
    const ArtBackground background = state.range(1) ? ArtBackground::Dark : ArtBackground::Light;
    const ToneRamp &ramp = toneRamp(textFont(8), rampFonts()[0].ramp, background);
    QByteArray bytes;
    bytes.reserve(4 << 20);
    for (auto _ : state) {
        bytes.clear();
        QBuffer buf(&bytes);
        buf.open(QIODevice::WriteOnly);
        const TextResult r = convertToToneText(grid, ramp, qint16(state.range(0)), buf, {}, background);
        benchmark::DoNotOptimize(r.counts.gridRows);
    }
    state.SetItemsProcessed(state.iterations() * 1024 * 1024);
}
BENCHMARK(BM_ToneConversion1024x1024)
    ->ArgNames({"contrast", "dark"})
    ->Args({0, 0})
    ->Args({40, 0})
    ->Args({0, 1})
    ->Unit(benchmark::kMillisecond);

static void BM_LumaGrid5120x2880To1024x1024(benchmark::State &state)
{
    const QImage src = photoLike(5120, 2880);
    for (auto _ : state) {
        const LumaGrid g = makeLumaGrid(src, 1024, 1024);
        benchmark::DoNotOptimize(g.luma.data());
    }
}
BENCHMARK(BM_LumaGrid5120x2880To1024x1024)->Unit(benchmark::kMillisecond);

// What the desktop program does at every start: a freshly loaded fontconfig
// configuration is asked for the figure fonts (copy:0, shared already) or,
// on the first start, they are copied and the folder's cache is written
// (copy:1). The home is a private one (see main).
static void BM_ShareFigureFonts(benchmark::State &state)
{
    const QStringList fonts{figureFontFolder() + QStringLiteral("/GLYFA__1.TTF"),
                            figureFontFolder() + QStringLiteral("/GLYFA__2.TTF")};
    shareFontsWithUser(fonts);
    for (auto _ : state) {
        if (state.range(0)) {
            state.PauseTiming();
            QDir(userFontFolder()).removeRecursively();
            state.ResumeTiming();
        }
        const FontShare r = shareFontsWithUser(fonts);
        if (r.outcome == FontShare::Failed)
            state.SkipWithError(qPrintable(r.error));
    }
}
BENCHMARK(BM_ShareFigureFonts)->ArgName("copy")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The same for the text-font aliases, in force already.
static void BM_ShareTextFontAliases(benchmark::State &state)
{
    shareTextFontAliases(textFontAliasFile());
    for (auto _ : state) {
        const FontShare r = shareTextFontAliases(textFontAliasFile());
        if (r.outcome == FontShare::Failed)
            state.SkipWithError(qPrintable(r.error));
    }
}
BENCHMARK(BM_ShareTextFontAliases)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    // Fonts are shared into a home of the benchmark's own.
    QTemporaryDir home;
    testsupport::usePrivateEnvironment(home.path());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
