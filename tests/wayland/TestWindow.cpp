// A small Wayland client for the sway rig: a Qt window with the given app id and title.
// Usage: wayland_test_window --class APP_ID [--title T]

#include <QApplication>
#include <QWidget>
#include <map>
#include <string>

int main(int argc, char** argv) {
    std::map<std::string, std::string> arg{{"--class", "TestWindow"}, {"--title", "test window"}};
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        arg[a] = arg.count(a) && i + 1 < argc ? argv[++i] : "";
    }
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QString::fromStdString(arg["--class"]));
    QWidget window;
    window.setWindowTitle(QString::fromStdString(arg["--title"]));
    window.resize(320, 200);
    window.show();
    return QApplication::exec();
}
