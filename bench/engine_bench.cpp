// Engine benchmarks: text conversion throughput (the tone method's glyph
// choice and its whole conversion among them), the grid resampler, the tone
// ramp measured and kept across runs, and sharing the fonts with other
// applications at start.
#include "../tests/support/privatefontconfig.h"

#include "art/figureconvert.h"
#include "art/fontfaces.h"
#include "art/rampcache.h"
#include "art/textconvert.h"
#include "art/toneconvert.h"
#include "art/toneramp.h"
#include "art/fonttables.h"
#include "base/options.h"
#include "base/paths.h"
#include "document/conversion.h"
#include "fonts/fontmodule.h"
#include "picture/picturesource.h"
#include "picture/resample.h"

#include <QBuffer>
#include <QDir>
#include <QGuiApplication>
#include <QPainter>
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

// A picture with lines for the choice by shape: a photo-like ground under
// strokes in every direction and circles.
static QImage drawingLike(int w, int h)
{
    QImage img = photoLike(w, h);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, std::max(1, w / 200)));
    for (int k = 0; k < 24; ++k) {
        p.drawLine(QPointF(w * k / 24.0, 0), QPointF(w - w * k / 24.0, h));
        p.drawEllipse(QPointF(w / 2.0, h / 2.0), w * k / 50.0, h * k / 50.0);
    }
    return img;
}

// The glyph-choice kernel of the tone method: a grid of 160 characters by
// 120 lines, from the luminance grid and its detail to the text, choosing
// by ink alone (structure 0) or by shape as well (the default 50, and 100).
static void BM_ToneKernel160x120(benchmark::State &state)
{
    const QImage picture = drawingLike(1280, 1920);
    const LumaGrid grid = makeLumaGrid(picture, 160, 120);
    const DetailGrid detail = makeDetailGrid(picture, 160 * kShapeColumns, 120 * kShapeRows);
    const ToneRamp &ramp = toneRamp(textFont(8), rampFonts()[0].ramp);
    const ToneStructure structure{&detail, int(state.range(0))};
    QByteArray bytes;
    for (auto _ : state) {
        bytes.clear();
        QBuffer buf(&bytes);
        buf.open(QIODevice::WriteOnly);
        const TextResult r = convertToToneText(grid, ramp, 0, buf, {}, ArtBackground::Light, structure);
        benchmark::DoNotOptimize(r.counts.gridRows);
    }
    state.SetItemsProcessed(state.iterations() * 160 * 120);
}
BENCHMARK(BM_ToneKernel160x120)->ArgName("structure")->Arg(0)->Arg(50)->Arg(100)->Unit(benchmark::kMillisecond);

// The whole conversion as tessilor-cli runs it on a 640 x 480 JPEG, 80
// columns (160 characters) by 120 lines: decoding and sampling the grid
// and its detail, the choice, the text (the ramp measured before).
static void BM_ToneConversionWhole160x120(benchmark::State &state)
{
    QByteArray jpeg;
    {
        QBuffer buf(&jpeg);
        buf.open(QIODevice::WriteOnly);
        drawingLike(640, 480).save(&buf, "JPEG", 90);
    }
    ConversionOptions options;
    options.setFontEntry(1);
    options.method = TextMethod::Tone;
    options.textSize = 8;
    options.columns = 80;
    options.rows = 120;
    options.structure = int(state.range(0));
    const EncodedPicture picture(jpeg);
    toneRamp(options.textFont(), options.ramp);
    QByteArray bytes;
    for (auto _ : state) {
        bytes.clear();
        QBuffer buf(&bytes);
        buf.open(QIODevice::WriteOnly);
        ConversionOutputs outputs;
        outputs.text = &buf;
        const ConversionResult r = convertPicture(options, picture, outputs);
        if (!r.ok())
            state.SkipWithError("conversion failed");
        benchmark::DoNotOptimize(bytes.size());
    }
}
BENCHMARK(BM_ToneConversionWhole160x120)->ArgName("structure")->Arg(0)->Arg(50)->Unit(benchmark::kMillisecond);

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
