// Figure mode timings, measured on the real windows (offscreen):
//  - FigureStartToResult/256: click on "Пуск" until the result window is
//    shown, for a 256 x 256 figure grid. Target: at most 0.3 s.
//  - FigureStartToResult/1024: the same for the largest grid, 1024 x 1024,
//    from a 4096 x 3072 photograph-like JPEG, with and without the figure
//    fill. Target: at most 1 s and at most 300 MiB peak memory.
//  - FigureResultToPng: the result window saving that 1024 x 1024 result
//    as a PNG picture (the save dialog's "Рисунки PNG", without the
//    dialog). Target: at most 2 s.
// Counters: max_gap_ms, the longest pause of the event loop from the click
// to the result; run_gap_ms, the longest pause while the stop button is
// offered (how long a stop can wait); and peak_rss_mib, the
// process's peak resident memory so far (run one size per process to read
// it for that size alone).
#include "app/mainwindow.h"
#include "app/resultfile.h"
#include "support/desktopbench.h"
#include "support/findchild.h"
#include "app/globals.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QRadialGradient>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <benchmark/benchmark.h>
#include <memory>
#include <sys/resource.h>

using namespace tessilor;

namespace {

const QTemporaryDir *g_home = nullptr;
QString g_photo;
std::unique_ptr<MainWindow> g_form;

// A picture with the structure of a photograph: soft colour gradients,
// round highlights and fine grain, saved as JPEG.
QString makePhoto()
{
    const QString path = g_home->filePath(QStringLiteral("photo.jpg"));
    QImage img(4096, 3072, QImage::Format_RGB32);
    QPainter p(&img);
    QLinearGradient sky(0, 0, 0, img.height());
    sky.setColorAt(0, QColor(70, 120, 200));
    sky.setColorAt(0.6, QColor(230, 200, 150));
    sky.setColorAt(1, QColor(40, 90, 30));
    p.fillRect(img.rect(), sky);
    QRandomGenerator rng(11);
    for (int i = 0; i < 60; ++i) {
        const QPointF c(rng.bounded(img.width()), rng.bounded(img.height()));
        const qreal r = 80 + rng.bounded(500);
        QRadialGradient g(c, r);
        g.setColorAt(0, QColor::fromHsv(int(rng.bounded(360)), 160, 240, 200));
        g.setColorAt(1, QColor(0, 0, 0, 0));
        p.setBrush(g);
        p.setPen(Qt::NoPen);
        p.drawEllipse(c, r, r);
    }
    p.end();
    for (int y = 0; y < img.height(); ++y) {
        QRgb *line = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            const int n = int(rng.bounded(17)) - 8;
            const QRgb c = line[x];
            line[x] = qRgb(qBound(0, qRed(c) + n, 255), qBound(0, qGreen(c) + n, 255), qBound(0, qBlue(c) + n, 255));
        }
    }
    img.save(path, "JPEG", 90);
    return path;
}

MainWindow *form()
{
    if (!g_form) {
        g_form = std::make_unique<MainWindow>();
        g_form->showAsStored();
        g_form->loadPicture(g_photo);
        g_form->updateOpenState();
        // Figure mode.
        apptest::child<QComboBox>(g_form.get(), "ImageCombo1")->setCurrentIndex(1);
        g_form->modeChosen();
    }
    return g_form.get();
}

double peakRssMiB()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_maxrss) / 1024.0; // ru_maxrss is in KiB on Linux
}

void BM_FigureStartToResult(benchmark::State &state)
{
    const int n = int(state.range(0));
    MainWindow *f = form();
    QToolButton *go = apptest::child<QToolButton>(f, "go");
    const bool gray = state.range(1) != 0;
    apptest::child<QComboBox>(f, "ImageCombo3")->setCurrentIndex(gray ? 1 : 0);
    apptest::child<QCheckBox>(f, "fillBox")->setChecked(state.range(2) != 0);
    double maxGap = 0, runGap = 0;
    for (auto _ : state) {
        apptest::child<QLineEdit>(f, "Text4")->setText(QString::number(n));
        apptest::child<QLineEdit>(f, "Text5")->setText(QString::number(n));
        benchsupport::GapMeter gaps;
        gaps.armed = [go] { return go->text() == QStringLiteral("Стоп"); };
        QElapsedTimer t;
        gaps.start();
        t.start();
        QTest::mouseClick(go, Qt::LeftButton, {}, QPoint(8, 8)); // runs to the end
        const double seconds = double(t.nsecsElapsed()) / 1e9;
        gaps.timer.stop();
        maxGap = qMax(maxGap, double(gaps.maxGap));
        runGap = qMax(runGap, double(gaps.maxArmedGap));
        state.SetIterationTime(seconds);
        ResultWindow *result = f->existingResultWindow();
        if (globals::GridRows != n || globals::GridColumns != n || globals::ResultKind != 2)
            state.SkipWithError("the run did not produce the full figure grid");
        else if (!result || !result->isVisible())
            state.SkipWithError("the result window is not shown");
    }
    state.counters["max_gap_ms"] = maxGap;
    state.counters["run_gap_ms"] = runGap;
    state.counters["peak_rss_mib"] = peakRssMiB();
}
BENCHMARK(BM_FigureStartToResult)
    ->ArgNames({"grid", "gray", "fill"})
    ->Args({256, 0, 0})
    ->Args({256, 1, 0})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK(BM_FigureStartToResult)
    ->ArgNames({"grid", "gray", "fill"})
    ->Args({1024, 0, 0})
    ->Args({1024, 0, 1})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

void BM_FigureResultToPng(benchmark::State &state)
{
    MainWindow *f = form();
    apptest::child<QComboBox>(f, "ImageCombo3")->setCurrentIndex(0);
    apptest::child<QLineEdit>(f, "Text4")->setText(QStringLiteral("1024"));
    apptest::child<QLineEdit>(f, "Text5")->setText(QStringLiteral("1024"));
    QTest::mouseClick(apptest::child<QToolButton>(f, "go"), Qt::LeftButton, {}, QPoint(8, 8));
    ResultWindow *result = f->existingResultWindow();
    if (globals::GridRows != 1024 || !result) {
        state.SkipWithError("no 1024 x 1024 result");
        return;
    }
    const QString path = g_home->filePath(QStringLiteral("mosaic.png"));
    for (auto _ : state) {
        if (!saveResultFile(path, result->richText(), result->printSource(), QPageLayout()).saved)
            state.SkipWithError("the picture was not saved");
    }
    state.counters["file_mib"] = double(QFileInfo(path).size()) / (1024.0 * 1024.0);
}
BENCHMARK(BM_FigureResultToPng)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime()->Iterations(3);

} // namespace

int main(int argc, char **argv)
{
    return benchsupport::runDesktopBenchmarks(
        argc, argv,
        [](const QTemporaryDir &home) {
            g_home = &home;
            g_photo = makePhoto();
        },
        [] {
            if (g_form)
                g_form->close();
            g_form.reset();
        });
}
