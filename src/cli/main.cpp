#include "cli/cli.h"

#include <QFile>
#include <QGuiApplication>
#include <cstdio>
#include <memory>
#include <unistd.h>

int main(int argc, char **argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args.append(QString::fromLocal8Bit(argv[i]));
    // Rich output needs fonts and so a GUI application object, but never a
    // display: it runs on the offscreen platform unless another one is asked
    // for. Text and colour output start faster without it.
    std::unique_ptr<QCoreApplication> app;
    if (tessilor::cli::needsFonts(args)) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setApplicationName(QStringLiteral("tessilor"));
    // Straight to the file descriptors, unbuffered: every write reaches the
    // system at once and is checked there. Through the C library's stream, an
    // output small enough for its buffer was written only at exit, where a
    // failure went unseen.
    QFile out;
    QFile err;
    out.open(STDOUT_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered);
    err.open(STDERR_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered);
    return tessilor::cli::run(args, out, err);
}
