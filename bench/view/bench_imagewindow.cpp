// Zoom steps and panning of the image window on a 5120 x 2880 picture.
// Run with QT_QPA_PLATFORM=offscreen.
#include "layout/viewlayout.h"
#include "picture/resample.h"
#include "view/imagewindow.h"

#include <QApplication>
#include <QMdiArea>
#include <QScrollBar>
#include <benchmark/benchmark.h>

using namespace tessilor;

namespace {

QImage photo()
{
    static const QImage img = [] {
        QImage i(5120, 2880, QImage::Format_RGB32);
        for (int y = 0; y < i.height(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(i.scanLine(y));
            for (int x = 0; x < i.width(); ++x)
                line[x] = qRgb(x & 255, y & 255, (x ^ y) & 255);
        }
        return i;
    }();
    return img;
}

struct Window {
    QMdiArea area;
    ImageWindow *form = new ImageWindow;
    Window()
    {
        area.resize(1200, 900);
        area.addSubWindow(form);
        area.show();
        form->setPicture(photo(), QStringLiteral("photo.jpg"));
    }
};

Window &window()
{
    static Window w;
    return w;
}

void BM_FitCopy(benchmark::State &state)
{
    const QImage src = photo();
    const QSize size = fitDisplaySize(src.size(), QSize(2745, 2430));
    for (auto _ : state)
        benchmark::DoNotOptimize(resampleBox(src, size.width(), size.height()));
}
BENCHMARK(BM_FitCopy)->Unit(benchmark::kMillisecond);

// Menu item 3 (100 %) then 9 (fit): two full display copies per iteration.
void BM_ZoomHundredThenFit(benchmark::State &state)
{
    Window &w = window();
    for (auto _ : state) {
        w.form->chooseZoomItem(3);
        w.form->chooseZoomItem(9);
    }
}
BENCHMARK(BM_ZoomHundredThenFit)->Unit(benchmark::kMillisecond);

// 500 %: the capped display copy of 10922 x 6144 pixels.
void BM_ZoomFiveHundred(benchmark::State &state)
{
    Window &w = window();
    for (auto _ : state) {
        w.form->chooseZoomItem(0);
        state.PauseTiming();
        w.form->chooseZoomItem(9);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ZoomFiveHundred)->Unit(benchmark::kMillisecond);

// Panning moves the display surface; nothing is rescaled.
void BM_Pan(benchmark::State &state)
{
    Window &w = window();
    w.form->chooseZoomItem(3);
    QScrollBar *h = w.form->hScroll();
    int v = 0;
    for (auto _ : state) {
        v = (v + 37) % (h->maximum() + 1);
        h->setValue(v);
        QCoreApplication::processEvents();
    }
}
BENCHMARK(BM_Pan)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
