// One offscreen Qt application for a whole test binary: the overlay's tests (fonts and images),
// the Wayland rigs' and the appearance source's (an event loop).
#include <gtest/gtest.h>
#include <QGuiApplication>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
