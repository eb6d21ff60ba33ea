// Exports of the biggest results: the PNG picture of a 1024 x 1024 figure
// mosaic (with and without the figure fill), drawn and compressed the way
// the result window and tessilor-cli write it, and tessilor-cli's terminal
// output against its plain text.
//   export_bench --benchmark_filter=Png
//   export_bench --benchmark_filter=Cli
//   export_bench --benchmark_filter=OutputDirNames
#include "cli/cli.h"
#include "document/artimage.h"
#include "document/documentfill.h"
#include "document/fastdeflate.h"
#include "document/mosaiclayout.h"

#include "art/figureconvert.h"
#include "art/figurefill.h"
#include "art/toneramp.h"
#include "base/options.h"
#include "base/paths.h"
#include "fonts/fontmodule.h"
#include "picture/imageloader.h"
#include "picture/resample.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextDocument>
#include <benchmark/benchmark.h>
#include <memory>
#include <zlib.h>

using namespace tessilor;

namespace {

constexpr int kCells = 1024;

// The sample photograph spread over 1024 x 1024 cells; with grain, a little
// noise in every cell, so that neighbouring cells rarely share a colour (a
// photograph's grain, the hard case for compression).
const QImage &photoGrid(bool grain)
{
    static const QImage plain = [] {
        const LoadedImage loaded = loadImage(QStringLiteral(TESSILOR_SAMPLE_PHOTO));
        return resampleBox(loaded.image, kCells, kCells);
    }();
    static const QImage grainy = [] {
        QImage g = plain.copy();
        QRandomGenerator rng(7);
        for (int y = 0; y < g.height(); ++y) {
            QRgb *line = reinterpret_cast<QRgb *>(g.scanLine(y));
            for (int x = 0; x < g.width(); ++x) {
                const int d = int(rng.bounded(9)) - 4;
                line[x] = qRgb(qBound(0, qRed(line[x]) + d, 255), qBound(0, qGreen(line[x]) - d, 255),
                               qBound(0, qBlue(line[x]) + d, 255));
            }
        }
        return g;
    }();
    return grain ? grainy : plain;
}

// Discards what it is given, counting the bytes.
class NullDevice : public QIODevice
{
public:
    NullDevice() { open(QIODevice::WriteOnly); }
    qint64 bytes = 0;

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *, qint64 size) override
    {
        bytes += size;
        return size;
    }
};

// A figure result as the result window holds it: the mosaic layout, the
// figure font at the given size, the window's paragraph indent.
std::unique_ptr<QTextDocument> figureDocument(int points, bool fill, bool grain = false)
{
    auto doc = std::make_unique<QTextDocument>();
    prepareResultDocument(*doc);
    const QChar glyph = codePageChar(kDefaultFigureCode);
    QFont font(figureFamily(1));
    font.setPointSize(points);
    const MosaicLayout::Fill display(doc.get(), glyph);
    FigureDocumentSink sink(doc.get(), glyph, font, 0);
    convertToFigures(photoGrid(grain), false, fill ? glyphFillInk(font, glyph) : FillInk(), nullptr, &sink);
    sink.finish();
    return doc;
}

} // namespace

// PNG of a 1024 x 1024 figure result: arguments are the font size in points,
// the figure fill (0/1) and grain (0/1). Time is wall-clock, CPU that of all
// threads.
static void BM_PngFigures1024(benchmark::State &state)
{
    const auto doc = figureDocument(int(state.range(0)), state.range(1) != 0, state.range(2) != 0);
    const QSize size = artImageSize(*doc);
    qint64 bytes = 0;
    for (auto _ : state) {
        NullDevice out;
        if (writeArtPng(*doc, out) != ArtImageError::None)
            state.SkipWithError("PNG not written");
        bytes = out.bytes;
    }
    state.counters["pixels"] = double(size.width()) * size.height();
    state.counters["bytes"] = double(bytes);
}
BENCHMARK(BM_PngFigures1024)
    ->ArgNames({"pt", "fill", "grain"})
    ->Args({4, 0, 0})
    ->Args({8, 0, 0})
    ->Args({8, 1, 0})
    ->Args({8, 0, 1})
    ->Args({8, 1, 1})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime() // the compression runs on threads of its own
    ->UseRealTime()
    ->Iterations(2);

// The drawing alone (no compression), for the share of each in the PNG.
static void BM_DrawFigures1024(benchmark::State &state)
{
    const auto doc = figureDocument(8, false, state.range(0) != 0);
    const QSize size = artImageSize(*doc);
    QImage band(size.width(), 256, QImage::Format_RGB32);
    for (auto _ : state) {
        for (int top = 0; top < size.height(); top += band.height())
            drawArtBand(*doc, band, top);
    }
}
BENCHMARK(BM_DrawFigures1024)->ArgName("grain")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(2);

// The picture compressor against zlib's fastest level, one thread each, on
// 512 rows of the drawn 8-point mosaic as PNG rows (a filter byte, then RGB):
// argument 0 the program's compressor, 1 zlib level 1; grain 0/1.
static void BM_DeflateArtRows(benchmark::State &state)
{
    const auto doc = figureDocument(8, false, state.range(1) != 0);
    const QSize size = artImageSize(*doc);
    QImage band(size.width(), 512, QImage::Format_RGB32);
    drawArtBand(*doc, band, size.height() / 4);
    std::vector<std::uint8_t> rows;
    for (int y = 0; y < band.height(); ++y) {
        rows.push_back(0);
        const QRgb *line = reinterpret_cast<const QRgb *>(band.constScanLine(y));
        for (int x = 0; x < band.width(); ++x)
            rows.insert(rows.end(),
                        {std::uint8_t(qRed(line[x])), std::uint8_t(qGreen(line[x])), std::uint8_t(qBlue(line[x]))});
    }
    std::size_t bytes = 0;
    for (auto _ : state) {
        if (state.range(0) == 0) {
            bytes = deflatePiece(rows.data(), rows.size(), 0, true).size();
        } else {
            uLongf length = compressBound(uLong(rows.size()));
            std::vector<Bytef> out(length);
            compress2(out.data(), &length, rows.data(), uLong(rows.size()), 1);
            bytes = length;
        }
    }
    state.SetBytesProcessed(qint64(state.iterations()) * qint64(rows.size()));
    state.counters["ratio"] = double(rows.size()) / double(bytes);
}
BENCHMARK(BM_DeflateArtRows)->ArgNames({"zlib", "grain"})->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond);

// tessilor-cli from the picture to /dev/null, by format: the terminal codes
// against plain text, for the largest text grid (1024 characters x 1024
// lines) and the largest mosaic. Arguments: 0 text, 1 text in the picture's
// colours, 2 figures; 0 txt, 1 ansi.
static void BM_CliTextOrAnsi(benchmark::State &state)
{
    QStringList args{QStringLiteral("-c"), QStringLiteral("1024"),
                     QStringLiteral("-r"), QStringLiteral("1024"),
                     QStringLiteral("-o"), QStringLiteral("/dev/null"),
                     QStringLiteral("-F"), state.range(1) ? QStringLiteral("ansi") : QStringLiteral("txt")};
    if (state.range(0) == 1)
        args << QStringLiteral("--color") << QStringLiteral("picture");
    if (state.range(0) == 2)
        args << QStringLiteral("-m") << QStringLiteral("figures");
    args << QStringLiteral(TESSILOR_SAMPLE_PHOTO);
    for (auto _ : state) {
        QBuffer out, err;
        out.open(QIODevice::WriteOnly);
        err.open(QIODevice::WriteOnly);
        if (cli::run(args, out, err) != 0)
            state.SkipWithError("tessilor-cli failed");
    }
}
BENCHMARK(BM_CliTextOrAnsi)
    ->ArgNames({"kind", "ansi"})
    ->ArgsProduct({{0, 1, 2}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

// tessilor-cli with tens of thousands of pictures into one folder: the
// check that no two would write one file, then a message for each (the
// pictures do not exist). Argument: the number of pictures.
static void BM_CliOutputDirNames(benchmark::State &state)
{
    QTemporaryDir folder;
    QStringList args{QStringLiteral("--output-dir"), folder.path()};
    for (int i = 0; i < state.range(0); ++i)
        args << QStringLiteral("m/p%1.png").arg(i);
    for (auto _ : state) {
        QBuffer out, err;
        out.open(QIODevice::WriteOnly);
        err.open(QIODevice::WriteOnly);
        if (cli::run(args, out, err) != 1)
            state.SkipWithError("tessilor-cli did not report the missing pictures");
    }
}
BENCHMARK(BM_CliOutputDirNames)->Arg(60000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    for (int which : {1, 2})
        InstallFont(figureFontFolder() + QStringLiteral("/GLYFA__%1.TTF").arg(which));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
