#include <QGuiApplication>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    // Image decoding and fonts need an application object; the offscreen
    // platform keeps the tests free of a display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
