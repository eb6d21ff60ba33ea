#pragma once
// Application object for the fuzz programs: image decoding needs one, and the
// offscreen platform keeps them free of a display.
#include <QGuiApplication>

namespace tessilor::fuzz {

inline void ensureApplication()
{
    if (QCoreApplication::instance())
        return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "tessilor-fuzz";
    static char *argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
}

// Stops the run the way a sanitizer finding does, so that libFuzzer keeps
// the input that broke a promise of the code under test.
[[noreturn]] inline void fail(const char *what)
{
    qFatal("fuzz check failed: %s", what);
}

} // namespace tessilor::fuzz

#define FUZZ_CHECK(cond)                                                                                               \
    do {                                                                                                               \
        if (!(cond))                                                                                                   \
            ::tessilor::fuzz::fail(#cond);                                                                             \
    } while (0)
