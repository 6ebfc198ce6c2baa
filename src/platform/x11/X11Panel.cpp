#include "platform/x11/X11Panel.h"

#include <QCursor>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QWidget>

#include "overlay/QtScreens.h"

namespace trellick::x11 {

class X11Panel::Window : public QWidget {
public:
    Window(X11Panel& owner, bool composited)
        : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint |
                               Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus | Qt::WindowTransparentForInput),
          owner_(owner) {
        setAttribute(Qt::WA_ShowWithoutActivating);
        setAttribute(Qt::WA_X11DoNotAcceptFocus);
        // The visual is chosen when the native window is made: ARGB only with a compositor.
        setAttribute(Qt::WA_TranslucentBackground, composited);
        setAttribute(Qt::WA_OpaquePaintEvent, !composited);
        setFocusPolicy(Qt::NoFocus);
        setWindowTitle(QStringLiteral("Trellick"));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        owner_.paintWindow(p);
    }

private:
    X11Panel& owner_;
};

X11Panel::X11Panel(const HUDModel& live, std::shared_ptr<AppearanceSource> appearance,
                   std::shared_ptr<CompositorSupport> compositor)
    : renderer_(live,
                [this] {
                    // Drawn at the next paint; the tick then settles the shape and the animations.
                    if (!isVisible()) return;
                    window_->update();
                    if (!ticks_.isActive()) ticks_.start();
                }),
      appearance_(std::move(appearance)),
      compositor_(std::move(compositor)) {
    clock_.start();
    ticks_.setInterval(16);
    ticks_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticks_, &QTimer::timeout, this, [this] { refresh(); });
    prefetching_.setInterval(0);
    QObject::connect(&prefetching_, &QTimer::timeout, this, [this] {
        for (int i = 0; i < 2 && !pending_.empty(); ++i) {
            renderer_.prefetch(pending_.back());
            pending_.pop_back();
        }
        if (pending_.empty() || !isVisible()) {
            pending_.clear();
            prefetching_.stop();
        }
    });
    if (appearance_) {
        appearanceSub_ = appearance_->subscribe([this](const Appearance& a) {
            renderer_.setAppearance(a);
            if (isVisible()) refresh();
        });
    }
    if (compositor_) {
        compositorSub_ = compositor_->subscribe([this](bool active) { compositorActive_ = active; });
    }
}

X11Panel::~X11Panel() = default;

double X11Panel::seconds() const {
    return static_cast<double>(clock_.nsecsElapsed()) / 1e9;
}

bool X11Panel::isVisible() const {
    return window_ && window_->isVisible();
}

QSizeF X11Panel::fittingSize(const HUDModel& model) {
    return renderer_.fittingSize(model);
}

void X11Panel::makeWindow() {
    windowComposited_ = compositorActive_;
    window_ = std::make_unique<Window>(*this, windowComposited_);
    window_->setGeometry(frame_.toAlignedRect());
    window_->winId();  // the native window, so that its shape and blur can be set before mapping
    if (windowComposited_ && compositor_) compositor_->drawsOwnShadow(window_->windowHandle());
    shapeFor_ = QRectF();
    renderer_.setComposited(windowComposited_);
}

void X11Panel::setFrame(const QRectF& frame) {
    frame_ = frame;
    if (!window_) return;
    window_->setGeometry(frame_.toAlignedRect());
    if (isVisible()) {
        refresh();
        window_->repaint();
    }
}

void X11Panel::show(double fadeSeconds) {
    // A compositor that came or went since the window was made needs a window of the other kind.
    if (window_ && windowComposited_ != compositorActive_) window_.reset();
    if (!window_) makeWindow();
    const double now = seconds();
    if (windowComposited_ && fadeSeconds > 0) {
        fade_.start(now, fadeSeconds);
        window_->setWindowOpacity(0);
    } else {
        fade_.finish();
        window_->setWindowOpacity(1);
    }
    renderer_.setDevicePixelRatio(window_->devicePixelRatioF());
    renderer_.update(now);
    moving_ = renderer_.advance(now);
    applyShape();
    window_->show();
    window_->raise();
    ticks_.start();
}

void X11Panel::prefetch(const std::vector<SwitchTarget>& targets) {
    // Those in view are made as they are drawn; the rest nearest the cursor's start first.
    pending_.clear();
    for (auto t = targets.rbegin(); t != targets.rend(); ++t) pending_.push_back(t->icon);
    if (!pending_.empty()) prefetching_.start();
}

void X11Panel::hide() {
    ticks_.stop();
    prefetching_.stop();
    pending_.clear();
    if (window_) window_->hide();
}

void X11Panel::refresh() {
    if (!isVisible()) {
        ticks_.stop();
        return;
    }
    const double now = seconds();
    renderer_.setDevicePixelRatio(window_->devicePixelRatioF());
    renderer_.update(now);
    moving_ = renderer_.advance(now);
    if (windowComposited_) window_->setWindowOpacity(fade_.opacity(now));
    applyShape();
    window_->update();
    if (!moving_ && fade_.done(now)) ticks_.stop();
}

void X11Panel::applyShape() {
    const QRectF card = renderer_.cardRect(frame_.size());
    if (card == shapeFor_ || !window_) return;
    shapeFor_ = card;
    const QRegion region = renderer_.cardRegion(frame_.size());
    if (windowComposited_) {
        if (compositor_) compositor_->setBlurBehind(window_->windowHandle(), region);
    } else {
        window_->setMask(region.isEmpty() ? QRegion(0, 0, 1, 1) : region);
    }
}

void X11Panel::paintWindow(QPainter& p) {
    const double now = seconds();
    renderer_.setDevicePixelRatio(window_->devicePixelRatioF());
    renderer_.update(now);
    moving_ = renderer_.advance(now);
    // Opaque: the shape lets only the card through; its rim blends into the card's colour.
    if (!windowComposited_) p.fillRect(window_->rect(), renderer_.edgeColour());
    renderer_.paint(p, frame_.size());
    if ((moving_ || !fade_.done(now) || renderer_.cardRect(frame_.size()) != shapeFor_) && !ticks_.isActive())
        ticks_.start();
}

std::shared_ptr<HUDController> makeHUDController(std::shared_ptr<AppearanceSource> appearance,
                                                 std::shared_ptr<CompositorSupport> compositor) {
    return std::make_shared<HUDController>(
        [appearance = std::move(appearance), compositor = std::move(compositor)](const HUDModel& live) {
            return std::make_unique<X11Panel>(live, appearance, compositor);
        },
        std::make_shared<QtScreens>());
}

}  // namespace trellick::x11
