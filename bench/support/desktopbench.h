#pragma once
// Shared by the benchmarks that drive the real desktop windows: a private
// home for settings, data and the single-instance lock, a meter of the
// longest event-loop pause during a run, and their common main.
#include "app/globals.h"
#include "art/fontfaces.h"
#include "base/paths.h"
#include "fonts/fontmodule.h"

#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <functional>

namespace benchsupport {

// Points HOME and the XDG folders into home; call before the application
// object exists. Runs offscreen unless another platform is asked for.
inline void isolateDesktop(const QTemporaryDir &home)
{
    const QByteArray d = QFile::encodeName(home.path());
    qputenv("HOME", d);
    qputenv("XDG_CONFIG_HOME", d + "/config");
    qputenv("XDG_DATA_HOME", d + "/data");
    QDir().mkpath(home.path() + QStringLiteral("/runtime"));
    QFile::setPermissions(home.path() + QStringLiteral("/runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", d + "/runtime");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

// Longest pause between two turns of the event loop while a run lasts.
struct GapMeter {
    QTimer timer;
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 maxGap = 0;
    // Optional: true while a run is under way (the stop button is offered);
    // maxArmedGap counts only pauses that begin and end in that state.
    std::function<bool()> armed;
    bool wasArmed = false;
    qint64 maxArmedGap = 0;
    GapMeter()
    {
        timer.setInterval(0);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            const qint64 now = clock.elapsed();
            maxGap = qMax(maxGap, now - last);
            const bool nowArmed = armed && armed();
            if (nowArmed && wasArmed)
                maxArmedGap = qMax(maxArmedGap, now - last);
            wasArmed = nowArmed;
            last = now;
        });
    }
    void start()
    {
        clock.start();
        last = 0;
        wasArmed = false;
        timer.start();
    }
};

// The main of a desktop benchmark: a private home, the application set up
// as the program sets itself up, then `prepare` (the test pictures, made in
// the home) before the benchmarks and `finish` (closing the windows) after.
inline int runDesktopBenchmarks(int argc, char **argv, const std::function<void(const QTemporaryDir &)> &prepare,
                                const std::function<void()> &finish)
{
    QTemporaryDir home;
    isolateDesktop(home);
    QApplication::setApplicationName(QStringLiteral("tessilor"));
    QApplication app(argc, argv);
    tessilor::installFontSubstitutions();
    tessilor::globals::initPaths(tessilor::dataFolder(), tessilor::programFilesFolder());
    prepare(home);

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    finish();
    return 0;
}

} // namespace benchsupport
