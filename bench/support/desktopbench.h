#pragma once
// Shared by the benchmarks that drive the real desktop windows: a private
// home for settings, data and the single-instance lock, and a meter of the
// longest event-loop pause during a run.
#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QTemporaryDir>
#include <QTimer>

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
    GapMeter()
    {
        timer.setInterval(0);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            const qint64 now = clock.elapsed();
            maxGap = qMax(maxGap, now - last);
            last = now;
        });
    }
    void start()
    {
        clock.start();
        last = 0;
        timer.start();
    }
};

} // namespace benchsupport
