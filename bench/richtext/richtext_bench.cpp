// Benchmarks of the rich text control with the biggest results the
// conversions make: a 1024 x 1024 figure mosaic and 1024 lines of text.
//   richtext_bench --benchmark_filter=FigureFill   (peak memory: /usr/bin/time -v)
#include "document/documentfill.h"
#include "document/htmlpage.h"
#include "document/mosaiclayout.h"
#include "document/rtf.h"
#include "richtext/richtextcontrol.h"
#include "richtext/textzoom.h"

#include "art/figureconvert.h"
#include "picture/imageloader.h"
#include "picture/resample.h"

#include <QApplication>
#include <QPixmap>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTextEdit>
#include <QTemporaryDir>
#include <QTextDocument>
#include <benchmark/benchmark.h>
#include <ctime>
#include <memory>

using namespace tessilor;

namespace {

constexpr int kCells = 1024;

// The sample photograph spread over 1024 x 1024 cells, with a little noise
// so that neighbouring cells rarely share a colour (the hard case).
const QImage &photoGrid()
{
    static const QImage grid = [] {
        const LoadedImage loaded = loadImage(QStringLiteral(TESSILOR_SAMPLE_PHOTO));
        QImage g = resampleBox(loaded.image, kCells, kCells);
        QRandomGenerator rng(7);
        for (int y = 0; y < g.height(); ++y) {
            QRgb *line = reinterpret_cast<QRgb *>(g.scanLine(y));
            for (int x = 0; x < g.width(); ++x) {
                const int d = int(rng.bounded(7)) - 3;
                line[x] = qRgb(qBound(0, qRed(line[x]) + d, 255), qBound(0, qGreen(line[x]) - d, 255),
                               qBound(0, qBlue(line[x]) + d, 255));
            }
        }
        return g;
    }();
    return grid;
}

struct Control {
    QWidget parent;
    RichTextControl rich;
    Control()
    {
        parent.resize(800, 600);
        rich.Create(&parent, kResultEditStyle, 0, 21, 800, 579);
        rich.SetUndoLim(1024);
        rich.setParagraphOffsets(1, 50);
        rich.setWordWrap(false);
        rich.setLocked(true);
        parent.show();
    }
};

// With `shown`, the document is shown through the mosaic layout, as the
// result window shows a figure result.
void fillMosaic(QTextDocument *doc, bool shown = false)
{
    std::unique_ptr<MosaicLayout::Fill> display;
    if (shown)
        display = std::make_unique<MosaicLayout::Fill>(doc, QChar(u'V'));
    FigureDocumentSink sink(doc, QChar(u'V'), QFont(QStringLiteral("Quar Tessilor Figures 1"), 8), 0);
    convertToFigures(photoGrid(), false, nullptr, &sink);
}

} // namespace

static double cpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// The figure conversion into the live control of the result window, shown
// through the mosaic layout (shown:1) or the standard layout (shown:0).
static void BM_FigureFill1024_Control(benchmark::State &state)
{
    const bool shown = state.range(0) != 0;
    photoGrid();
    double fill = 0, events = 0, teardown = 0;
    for (auto _ : state) {
        auto c = std::make_unique<Control>();
        double t0 = cpuMs();
        fillMosaic(c->rich.hwnd()->document(), shown);
        double t1 = cpuMs();
        QApplication::processEvents();
        double t2 = cpuMs();
        benchmark::DoNotOptimize(c->rich.hwnd()->document()->characterCount());
        c.reset();
        double t3 = cpuMs();
        fill += t1 - t0;
        events += t2 - t1;
        teardown += t3 - t2;
    }
    const double n = double(state.iterations());
    state.counters["fill_cpu_ms"] = fill / n;
    state.counters["events_cpu_ms"] = events / n;
    state.counters["teardown_cpu_ms"] = teardown / n;
}
BENCHMARK(BM_FigureFill1024_Control)->ArgName("shown")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(2);

// Repainting the whole visible part of a 1024 x 1024 mosaic shown through
// the mosaic layout, at the top left and scrolled to the bottom right (what
// a scroll step costs at most).
static void BM_MosaicRepaint1024(benchmark::State &state)
{
    photoGrid();
    Control c;
    fillMosaic(c.rich.hwnd()->document(), true);
    QApplication::processEvents();
    QTextEdit *edit = c.rich.hwnd();
    const bool bottom = state.range(0) != 0;
    edit->horizontalScrollBar()->setValue(bottom ? edit->horizontalScrollBar()->maximum() : 0);
    edit->verticalScrollBar()->setValue(bottom ? edit->verticalScrollBar()->maximum() : 0);
    QApplication::processEvents();
    for (auto _ : state) {
        const QPixmap shot = edit->viewport()->grab();
        benchmark::DoNotOptimize(shot.cacheKey());
    }
}
BENCHMARK(BM_MosaicRepaint1024)->ArgName("bottom")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(20);

// Repainting the view of a 1024 x 1024 mosaic zoomed (percent, or 0 for
// the whole mosaic in view): what a zoom step or the fit costs on screen.
static void BM_MosaicZoomedRepaint1024(benchmark::State &state)
{
    photoGrid();
    Control c;
    fillMosaic(c.rich.hwnd()->document(), true);
    QApplication::processEvents();
    QTextEdit *edit = c.rich.hwnd();
    TextZoom zoom(edit);
    if (state.range(0) == 0)
        zoom.fitWhole();
    else
        zoom.setZoom(state.range(0) / 100.0);
    // The first picture may need more work (the cells of a far zoom).
    const double t0 = cpuMs();
    benchmark::DoNotOptimize(edit->viewport()->grab().cacheKey());
    state.counters["first_cpu_ms"] = cpuMs() - t0;
    for (auto _ : state) {
        const QPixmap shot = edit->viewport()->grab();
        benchmark::DoNotOptimize(shot.cacheKey());
    }
    state.counters["zoom_percent"] = zoom.zoom() * 100;
}
BENCHMARK(BM_MosaicZoomedRepaint1024)
    ->ArgName("percent")
    ->Arg(200)
    ->Arg(50)
    ->Arg(33)
    ->Arg(25)
    ->Arg(10)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// The grid walk alone, with a sink that only counts: the part of the fill
// that is not the document's.
static void BM_FigureWalk1024(benchmark::State &state)
{
    struct Counting : FigureSink {
        qint64 n = 0;
        void cell(quint32 c) override { n += c & 1; }
        void endRow(int, int) override { ++n; }
    };
    photoGrid();
    for (auto _ : state) {
        Counting sink;
        convertToFigures(photoGrid(), false, nullptr, &sink);
        benchmark::DoNotOptimize(sink.n);
    }
}
BENCHMARK(BM_FigureWalk1024)->Unit(benchmark::kMillisecond)->Iterations(3);

// The same into a document without a window.
static void BM_FigureFill1024_Document(benchmark::State &state)
{
    photoGrid();
    for (auto _ : state) {
        QTextDocument doc;
        fillMosaic(&doc);
        benchmark::DoNotOptimize(doc.characterCount());
    }
}
BENCHMARK(BM_FigureFill1024_Document)->Unit(benchmark::kMillisecond)->Iterations(2);

// Text assign of 1024 lines of 1024 characters, as the text conversion loads
// its temporary file.
static void BM_TextAssign1024x1024(benchmark::State &state)
{
    QString text;
    text.reserve(1026 * 1024);
    for (int line = 0; line < 1024; ++line) {
        for (int i = 0; i < 1024; ++i)
            text.append(QChar(u'Ж' + (line + i) % 32));
        text.append(QStringLiteral("\r\n"));
    }
    Control c;
    c.rich.setFont(0, QFont(QStringLiteral("Courier New Cyr"), 8));
    c.rich.setFontColor(0, 0);
    for (auto _ : state) {
        c.rich.setText(false, text);
        QApplication::processEvents();
        benchmark::DoNotOptimize(c.rich.hwnd()->document()->characterCount());
    }
}
BENCHMARK(BM_TextAssign1024x1024)->Unit(benchmark::kMillisecond)->Iterations(5);

// SaveFile as RTF of the mosaic.
static void BM_SaveRtfMosaic1024(benchmark::State &state)
{
    Control c;
    fillMosaic(c.rich.hwnd()->document());
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("mosaic.rtf"));
    for (auto _ : state) {
        const bool ok = c.rich.SaveFile(path, true);
        if (!ok)
            state.SkipWithError("save failed");
    }
    state.counters["bytes"] = double(QFileInfo(path).size());
}
BENCHMARK(BM_SaveRtfMosaic1024)->Unit(benchmark::kMillisecond)->Iterations(3);

// Reading that RTF back (LoadFile), for comparison.
static void BM_LoadRtfMosaic1024(benchmark::State &state)
{
    Control c;
    fillMosaic(c.rich.hwnd()->document());
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("mosaic.rtf"));
    c.rich.SaveFile(path, true);
    Control other;
    for (auto _ : state) {
        other.rich.LoadFile(path, true);
        benchmark::DoNotOptimize(other.rich.hwnd()->document()->characterCount());
    }
}
BENCHMARK(BM_LoadRtfMosaic1024)->Unit(benchmark::kMillisecond)->Iterations(2);

// The mosaic as an HTML page (tessilor-cli -F html, the clipboard's HTML),
// against Qt's own toHtml, which the clipboard used before (qt:1).
static void BM_HtmlMosaic1024(benchmark::State &state)
{
    QTextDocument doc;
    fillMosaic(&doc);
    qsizetype bytes = 0;
    for (auto _ : state) {
        bytes = state.range(0) ? doc.toHtml().toUtf8().size() : writeHtmlPage(doc).size();
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["bytes"] = double(bytes);
}
BENCHMARK(BM_HtmlMosaic1024)->ArgName("qt")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(2);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
