// Page layout of results on a preview page surface (portrait A4 at 96 dpi)
// and the reduction of that surface into the preview box.
#include "layout/printlayout.h"
#include "picture/resample.h"

#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace tessilor;

namespace {

QTemporaryDir &scratch()
{
    static QTemporaryDir dir;
    return dir;
}

QImage pageSurface(PageLimits limits)
{
    QImage img(twipsToPixels(limits.width), twipsToPixels(limits.height), QImage::Format_RGB32);
    img.setDotsPerMeterX(3780);
    img.setDotsPerMeterY(3780);
    img.fill(Qt::white);
    return img;
}

PrintSource textResult(int columns, int rows)
{
    PrintSource s;
    s.resultKind = 3;
    s.gridColumns = columns;
    s.gridRows = rows;
    s.textPath = scratch().filePath(QStringLiteral("bench-text.tmp"));
    s.fontName = QStringLiteral("Liberation Mono");
    s.fontSize = 8;
    const QString ramp = QStringLiteral("ЖЖ##@@%%==++--::..  ");
    QByteArray bytes;
    for (int y = 0; y < rows; ++y) {
        QString line;
        for (int x = 0; x < columns; ++x)
            line += ramp.mid(((x + y) % 10) * 2, 2);
        bytes += line.toUtf8() + "\r\n";
    }
    QFile f(s.textPath);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
    return s;
}

PrintSource figureResult(int columns, int rows)
{
    PrintSource s;
    s.resultKind = 2;
    s.gridColumns = columns;
    s.gridRows = rows;
    s.colorPath = scratch().filePath(QStringLiteral("bench-color.tmp"));
    s.fontName = QStringLiteral("DejaVu Sans Mono");
    s.fontSize = 22;
    s.glyph = QChar(0x25B2);
    QByteArray bytes;
    for (int i = 0; i < columns * rows; ++i)
        bytes += ' ' + QByteArray::number((i * 7919) % 16777216) + " \r\n";
    QFile f(s.colorPath);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
    return s;
}

void layoutOnPage(benchmark::State &state, const PrintSource &source)
{
    const PageLimits limits = previewLimits(11906, 16838);
    QImage page = pageSurface(limits);
    for (auto _ : state) {
        page.fill(Qt::white);
        QPainter painter(&page);
        const PageLayoutInfo info = layoutPage(painter, source, limits);
        benchmark::DoNotOptimize(info.itemsDrawn);
    }
}

void BM_PreviewText160x120(benchmark::State &state)
{
    layoutOnPage(state, textResult(160, 120));
}

void BM_PreviewFigures100x140(benchmark::State &state)
{
    layoutOnPage(state, figureResult(100, 140));
    state.SetItemsProcessed(state.iterations() * 100 * 140);
}

void BM_PreviewReduceToBox(benchmark::State &state)
{
    const PageLimits limits = previewLimits(11906, 16838);
    const QImage page = pageSurface(limits);
    const PreviewBox box = previewBox(limits);
    for (auto _ : state) {
        const QImage small = resampleBox(page, twipsToPixels(box.width), twipsToPixels(box.height));
        benchmark::DoNotOptimize(small.constBits());
    }
}

// The largest mosaic on a preview surface fine enough for its cells
// (previewSurfaceDpi), and on a 300 dpi page of a PDF file.
void BM_PreviewFigures1024(benchmark::State &state)
{
    const PrintSource source = figureResult(1024, 1024);
    const PageLimits limits = previewLimits(11906, 16838);
    const double dpi = previewSurfaceDpi(limits, 1024, 1024, 24'000'000);
    QImage page(surfacePixels(limits.width, dpi), surfacePixels(limits.height, dpi), QImage::Format_RGB32);
    page.setDotsPerMeterX(int(dpi / 0.0254 + 0.5));
    page.setDotsPerMeterY(int(dpi / 0.0254 + 0.5));
    for (auto _ : state) {
        page.fill(Qt::white);
        QPainter painter(&page);
        const PageLayoutInfo info = layoutPage(painter, source, limits);
        benchmark::DoNotOptimize(info.itemsDrawn);
    }
    state.SetItemsProcessed(state.iterations() * 1024 * 1024);
}

void BM_PrintFigures1024ToPdf(benchmark::State &state)
{
    const PrintSource source = figureResult(1024, 1024);
    const QString out = scratch().filePath(QStringLiteral("bench.pdf"));
    for (auto _ : state) {
        QPdfWriter pdf(out);
        pdf.setResolution(300);
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        QPainter painter(&pdf);
        const PageLimits limits = printLimits(11906, 16838);
        const PageLayoutInfo info = layoutPage(painter, source, limits);
        painter.end();
        benchmark::DoNotOptimize(info.itemsDrawn);
    }
    state.SetItemsProcessed(state.iterations() * 1024 * 1024);
}

} // namespace

BENCHMARK(BM_PreviewFigures1024)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_PrintFigures1024ToPdf)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_PreviewText160x120)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PreviewFigures100x140)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PreviewReduceToBox)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
