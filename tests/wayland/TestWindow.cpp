// A Qt window for the Wayland rigs: wayland_test_window --class APP_ID [--title T] writes "wheel" to standard error for
// each scroll; given an activation token, it asks for the focus with it once shown, as applications do.

#include <QApplication>
#include <QWheelEvent>
#include <QWidget>
#include <cstdio>
#include <map>
#include <string>
#include <utility>

namespace {

class Window : public QWidget {
protected:
    void paintEvent(QPaintEvent* event) override {
        QWidget::paintEvent(event);
        // Queued: the compositor takes a request for a window only once its first frame is in.
        if (std::exchange(firstPaint_, false) && qEnvironmentVariableIsSet("XDG_ACTIVATION_TOKEN"))
            QMetaObject::invokeMethod(
                this, [this] { activateWindow(); }, Qt::QueuedConnection);
    }
    void wheelEvent(QWheelEvent* event) override {
        std::fputs("wheel\n", stderr);
        std::fflush(stderr);
        QWidget::wheelEvent(event);
    }

private:
    bool firstPaint_ = true;
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
    window.setWindowTitle(QString::fromStdString(arg["--title"]));
    window.resize(320, 200);
    window.show();
    return QApplication::exec();
}
