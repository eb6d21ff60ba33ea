#include "support/privatefontconfig.h"

#include <QGuiApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    // The tests run with a home of their own: what the program writes for
    // the user (settings, shared fonts, fontconfig caches) stays out of the
    // real one.
    QTemporaryDir home;
    if (home.isValid())
        testsupport::usePrivateEnvironment(home.path());
    // Image decoding and fonts need an application object; the offscreen
    // platform keeps the tests free of a display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
