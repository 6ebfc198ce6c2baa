// Qt offscreen, for the overlay's tests (fonts and images) and the Wayland rigs' (an event loop).
#include <gtest/gtest.h>
#include <QGuiApplication>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
