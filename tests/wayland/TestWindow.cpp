// A small Wayland client for the sway rig: a Qt window with the given app id and title.
// With --report-wheel it writes a line "wheel" to standard error for each scroll it receives.
// Usage: wayland_test_window --class APP_ID [--title T] [--report-wheel]

#include <QApplication>
#include <QWheelEvent>
#include <QWidget>
#include <cstdio>
#include <map>
#include <string>

namespace {

class Window : public QWidget {
public:
    bool reportWheel = false;

protected:
    void wheelEvent(QWheelEvent* event) override {
        if (reportWheel) {
            std::fputs("wheel\n", stderr);
            std::fflush(stderr);
        }
        QWidget::wheelEvent(event);
    }
};

}  // namespace

int main(int argc, char** argv) {
    std::map<std::string, std::string> arg{{"--class", "TestWindow"}, {"--title", "test window"}};
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        arg[a] = arg.count(a) && i + 1 < argc ? argv[++i] : "";
    }
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QString::fromStdString(arg["--class"]));
    Window window;
    window.reportWheel = arg.count("--report-wheel") > 0;
    window.setWindowTitle(QString::fromStdString(arg["--title"]));
    window.resize(320, 200);
    window.show();
    return QApplication::exec();
}
