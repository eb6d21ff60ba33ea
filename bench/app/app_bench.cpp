// Desktop program timings, measured on the real windows (offscreen):
//  - StartToResult: click on "Пуск" until the result window is shown, for
//    the largest text grid (1024 characters x 1024 lines) from a
//    5120 x 2880 JPEG. Target: at most 1 s.
//  - StopLatency: click on "Стоп" until the run has ended and the partial
//    result is shown. Target: at most 100 ms.
//  - LivePreview: with "Автопросмотр" on and a 160-column text result of a
//    24-megapixel photograph on screen, the contrast changes after a quiet
//    spell; the time from the change to the new result shown. Target: at
//    most 50 ms. Counter burst_ms: the same when the change ends a burst
//    and waits for the options to settle.
// Both also report the longest pause of the event loop during the run
// (counter max_gap_ms), which shows that the window keeps repainting.
#include "app/mainwindow.h"
#include "app/livepreview.h"
#include "support/desktopbench.h"
#include "support/findchild.h"
#include "app/globals.h"
#include "widgets/progress.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEventLoop>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QSettings>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <benchmark/benchmark.h>
#include <memory>

using namespace tessilor;

namespace {

const QTemporaryDir *g_home = nullptr;
QString g_jpeg;
QString g_jpeg24;
std::unique_ptr<MainWindow> g_form;

QString makeJpeg(int width = 5120, int height = 2880, const char *name = "photo.jpg")
{
    const QString path = g_home->filePath(QString::fromLatin1(name));
    QImage img(width, height, QImage::Format_RGB32);
    QRandomGenerator rng(7);
    for (int y = 0; y < img.height(); ++y) {
        QRgb *line = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            const int n = int(rng.bounded(32));
            line[x] = qRgb((x / 20 + n) & 255, (y / 12 + n) & 255, ((x + y) / 31) & 255);
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
        g_form->loadPicture(g_jpeg);
        g_form->updateOpenState();
    }
    return g_form.get();
}

void setMode(MainWindow *f, int index)
{
    apptest::child<QComboBox>(f, "ImageCombo1")->setCurrentIndex(index);
    f->modeChosen();
}

void BM_StartToResult(benchmark::State &state)
{
    MainWindow *f = form();
    setMode(f, 0);
    QToolButton *go = apptest::child<QToolButton>(f, "go");
    double maxGap = 0;
    for (auto _ : state) {
        apptest::child<QLineEdit>(f, "Text1")->setText(QStringLiteral("1024"));
        apptest::child<QLineEdit>(f, "Text2")->setText(QStringLiteral("1024"));
        benchsupport::GapMeter gaps;
        QElapsedTimer t;
        gaps.start();
        t.start();
        QTest::mouseClick(go, Qt::LeftButton, {}, QPoint(8, 8)); // runs to the end
        const double seconds = double(t.nsecsElapsed()) / 1e9;
        gaps.timer.stop();
        maxGap = qMax(maxGap, double(gaps.maxGap));
        state.SetIterationTime(seconds);
        if (globals::GridRows != 1024 || globals::GridColumns != 512)
            state.SkipWithError("the run did not produce the full grid");
    }
    state.counters["max_gap_ms"] = maxGap;
}
BENCHMARK(BM_StartToResult)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

void stopLatency(benchmark::State &state, int mode)
{
    MainWindow *f = form();
    setMode(f, mode);
    QToolButton *go = apptest::child<QToolButton>(f, "go");
    double maxGap = 0;
    int stoppedEarly = 0;
    for (auto _ : state) {
        apptest::child<QLineEdit>(f, "Text1")->setText(QStringLiteral("1024"));
        apptest::child<QLineEdit>(f, "Text2")->setText(QStringLiteral("1024"));
        apptest::child<QLineEdit>(f, "Text4")->setText(QStringLiteral("1024"));
        apptest::child<QLineEdit>(f, "Text5")->setText(QStringLiteral("1024"));
        QElapsedTimer sinceStop;
        QTimer poll;
        poll.setInterval(0);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (MainWindow::imageKey(go) != QLatin1String("canc") ||
                apptest::child<Progress>(f, "Progress1")->percent() < 1)
                return;
            poll.stop();
            sinceStop.start();
            QTest::mouseClick(go, Qt::LeftButton, {}, QPoint(8, 8));
        });
        benchsupport::GapMeter gaps;
        gaps.start();
        poll.start();
        QTest::mouseClick(go, Qt::LeftButton, {}, QPoint(8, 8));
        gaps.timer.stop();
        maxGap = qMax(maxGap, double(gaps.maxGap));
        if (!sinceStop.isValid()) {
            state.SkipWithError("the run ended before it could be stopped");
            break;
        }
        if (globals::GridRows < 1024)
            ++stoppedEarly;
        state.SetIterationTime(double(sinceStop.nsecsElapsed()) / 1e9);
    }
    state.counters["max_gap_ms"] = maxGap;
    state.counters["stopped_runs"] = stoppedEarly;
}

void BM_StopLatencyFigures(benchmark::State &state)
{
    stopLatency(state, 1);
}
BENCHMARK(BM_StopLatencyFigures)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_StopLatencyText(benchmark::State &state)
{
    stopLatency(state, 0);
}
BENCHMARK(BM_StopLatencyText)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_LivePreview(benchmark::State &state)
{
    auto f = std::make_unique<MainWindow>();
    f->showAsStored();
    f->loadPicture(g_jpeg24);
    f->updateOpenState();
    setMode(f.get(), 0);
    apptest::child<QLineEdit>(f.get(), "Text1")->setText(QStringLiteral("160"));
    apptest::child<QLineEdit>(f.get(), "Text2")->setText(QStringLiteral("53"));
    QTest::mouseClick(apptest::child<QToolButton>(f.get(), "go"), Qt::LeftButton, {}, QPoint(8, 8));
    auto *preview = f->findChild<LivePreview *>();
    qint64 lastShown = -1;
    QEventLoop wait;
    QObject::connect(preview, &LivePreview::shown, [&](qint64 ms) {
        lastShown = ms;
        wait.quit();
    });
    auto waitForPreview = [&] {
        QTimer::singleShot(10000, &wait, &QEventLoop::quit);
        lastShown = -1;
        wait.exec();
        return lastShown >= 0;
    };
    apptest::child<QCheckBox>(f.get(), "autoPreview")->setChecked(true);
    if (!waitForPreview()) { // the first one makes the picture's reduced copy
        state.SkipWithError("no preview was shown");
        return;
    }
    auto *contrast = apptest::child<QSlider>(f.get(), "Slider1");
    double maxGap = 0, burst = 0;
    int value = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QTest::qWait(LivePreview::kSettleMs + 50);
        state.ResumeTiming();
        benchsupport::GapMeter gaps;
        gaps.start();
        contrast->setValue(++value % 100);
        if (!waitForPreview()) {
            state.SkipWithError("no preview was shown");
            break;
        }
        const qint64 lone = lastShown;
        // The next change comes at once: it waits for the options to settle.
        contrast->setValue(++value % 100);
        if (!waitForPreview()) {
            state.SkipWithError("no preview was shown");
            break;
        }
        burst = qMax(burst, double(lastShown));
        gaps.timer.stop();
        maxGap = qMax(maxGap, double(gaps.maxGap));
        state.SetIterationTime(double(lone) / 1000.0);
    }
    state.counters["max_gap_ms"] = maxGap;
    state.counters["burst_ms"] = burst;
    f->close();
}
BENCHMARK(BM_LivePreview)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace

int main(int argc, char **argv)
{
    return benchsupport::runDesktopBenchmarks(
        argc, argv,
        [](const QTemporaryDir &home) {
            g_home = &home;
            g_jpeg = makeJpeg();
            g_jpeg24 = makeJpeg(6000, 4000, "photo24.jpg");
        },
        [] {
            if (g_form)
                g_form->close();
            g_form.reset();
        });
}
