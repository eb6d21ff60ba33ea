// Engine benchmarks: text conversion throughput and the grid resampler.
#include "engine/figureconvert.h"
#include "engine/options.h"
#include "engine/resample.h"
#include "engine/textconvert.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QRandomGenerator>
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

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
