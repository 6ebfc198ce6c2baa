#include "app/debug/DebugOverlay.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <cmath>
#include <cstdio>

#include "common/Text.h"
#include "overlay/HUDController.h"
#include "overlay/ImagePanel.h"

namespace trellick {

namespace {

int bad(const std::string& message) {
    std::fprintf(stderr, "trellick: %s\nTry 'trellick debug-gestures --help'.\n", message.c_str());
    return 0;
}

// The pictures need fonts and images, not a display: Qt's offscreen platform. The application
// is owned by the pictures and ends with them: a static one would outlive Qt's own thread
// storage and make it warn at exit.
std::unique_ptr<QGuiApplication> guiApplication() {
    if (QCoreApplication::instance()) return nullptr;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "trellick";
    static char* argv[] = {name, nullptr};
    return std::make_unique<QGuiApplication>(argc, argv);
}

// One 1920 x 1080 screen with the pointer in its middle.
class PictureScreen : public ScreenLocator {
public:
    QPointF pointer() const override { return {960, 540}; }
    std::vector<QRectF> screens() const override { return {QRectF(0, 0, 1920, 1080)}; }
    std::optional<QRectF> primary() const override { return QRectF(0, 0, 1920, 1080); }
};

}  // namespace

int parseOverlayOption(const std::vector<std::string>& args, std::size_t& i, OverlayPictureOptions& o) {
    const std::string& a = args[i];
    if (a != "--overlay" && a != "--overlay-appearance" && a != "--overlay-scale") return -1;
    if (i + 1 >= args.size()) return bad(a + " needs a value");
    const std::string& v = args[++i];
    if (a == "--overlay") {
        if (v.empty()) return bad("--overlay needs a folder");
        o.dir = v;
    } else if (a == "--overlay-appearance") {
        if (v != "light" && v != "dark") return bad("--overlay-appearance takes light or dark, not " + text::quoted(v));
        o.dark = v == "dark";
    } else {
        char* end = nullptr;
        double s = std::strtod(v.c_str(), &end);
        if (v.empty() || *end || !(s >= 1 && s <= 4)) return bad("--overlay-scale takes a number from 1 to 4");
        o.scale = s;
    }
    return 1;
}

struct OverlayPictures::Impl {
    std::unique_ptr<QGuiApplication> app;  // first: it outlives the panel and the controller
    OverlayPictureOptions options;
    double t = 0;
    int written = 0;
    ImagePanel* panel = nullptr;
    std::unique_ptr<HUDController> controller;
};

std::shared_ptr<OverlayPictures> OverlayPictures::create(const OverlayPictureOptions& options) {
    if (!QDir().mkpath(QString::fromStdString(options.dir))) {
        std::fprintf(stderr, "trellick: %s: cannot make the folder for the overlay pictures\n", options.dir.c_str());
        return nullptr;
    }
    auto d = std::make_unique<Impl>();
    d->app = guiApplication();
    d->options = options;
    Impl* raw = d.get();
    d->controller = std::make_unique<HUDController>(
        [raw](const HUDModel& live) {
            auto panel = std::make_unique<ImagePanel>(live, [raw] { return raw->t; });
            Appearance look;
            look.scheme = raw->options.dark ? ColorScheme::dark : ColorScheme::light;
            panel->renderer().setAppearance(look);
            panel->renderer().setDevicePixelRatio(raw->options.scale);
            raw->panel = panel.get();
            return panel;
        },
        std::make_shared<PictureScreen>());
    return std::shared_ptr<OverlayPictures>(new OverlayPictures(std::move(d)));
}

OverlayPictures::OverlayPictures(std::unique_ptr<Impl> impl) : d_(std::move(impl)) {}
OverlayPictures::~OverlayPictures() = default;

void OverlayPictures::setTime(double t) {
    d_->t = t;
}

int OverlayPictures::written() const {
    return d_->written;
}

const std::string& OverlayPictures::dir() const {
    return d_->options.dir;
}

void OverlayPictures::picture() {
    if (!d_->panel || !d_->panel->isVisible()) return;
    // As the overlay settles after this update: the end of its animations.
    QImage image = d_->panel->render(true);
    // Sized by a first call: a huge time has hundreds of digits, and the name must keep ".png".
    const char* format = "overlay-%04d-t%.3f.png";
    std::string name(std::size_t(std::snprintf(nullptr, 0, format, d_->written + 1, d_->t)), '\0');
    std::snprintf(name.data(), name.size() + 1, format, d_->written + 1, d_->t);
    QString path = QDir(QString::fromStdString(d_->options.dir)).filePath(QString::fromStdString(name));
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "trellick: %s: cannot write the picture\n", path.toLocal8Bit().constData());
        return;
    }
    ++d_->written;
}

void OverlayPictures::showList(const std::vector<SwitchTarget>& recents, int recentsSelected,
                               const std::vector<SwitchTarget>& favourites, int favSelected, SwitcherRow focus,
                               HUDLabelStyle labelStyle, HUDStyle style, bool compactPeek) {
    d_->controller->showList(recents, recentsSelected, favourites, favSelected, focus, labelStyle, style, compactPeek);
    picture();
}

void OverlayPictures::hide() {
    d_->controller->hide();
}

void OverlayPictures::setCancelProgress(double progress) {
    double before = d_->controller->model().cancelProgress();
    d_->controller->setCancelProgress(progress);
    if (d_->controller->model().cancelProgress() != before) picture();
}

}  // namespace trellick
