#pragma once
// The overlay's window on an X11 desktop: override-redirect (the window manager neither
// frames nor focuses it), never takes the focus, lets every click through to the window
// below (an empty input shape), and stays above the other windows on every workspace.
//
// With a compositor it is an ARGB window: the card's own shadow, translucent material,
// blur-behind for the card where the compositor offers it, and the fade-in as window
// opacity. Without one the card is opaque and the window's shape is cut to the card's
// outline, so no frame shows where the shadow would be; it appears at once. A compositor
// that starts or quits is taken into account at the next showing.
//
// Animation ticks run only while the panel is shown and something moves: hidden, it wakes
// the process up zero times a second.

#include <QElapsedTimer>
#include <QObject>
#include <QPainterPath>
#include <QTimer>
#include <memory>

#include "overlay/Animation.h"
#include "overlay/HUDController.h"
#include "overlay/HUDPanel.h"
#include "overlay/OverlayDesktop.h"
#include "overlay/OverlayRenderer.h"

class QWidget;

namespace trellick::x11 {

class X11Panel : public QObject, public HUDPanel {
public:
    X11Panel(const HUDModel& live, std::shared_ptr<AppearanceSource> appearance,
             std::shared_ptr<CompositorSupport> compositor);
    ~X11Panel() override;

    bool isVisible() const override;
    QSizeF fittingSize(const HUDModel& model) override;
    QRectF frame() const override { return frame_; }
    void setFrame(const QRectF& frame) override;
    void show(double fadeSeconds) override;
    void hide() override;
    // A few icons per turn of the event loop while the panel is shown, after its first paint.
    void prefetch(const std::vector<SwitchTarget>& targets) override;

    // The window's painting (called by the window itself).
    void paintWindow(QPainter& p);

private:
    class Window;
    double seconds() const;
    void makeWindow();
    // Takes the model's changes, moves animations, the fade and the window's shape to now.
    void refresh();
    void applyShape();

    OverlayRenderer renderer_;
    std::shared_ptr<AppearanceSource> appearance_;
    std::shared_ptr<CompositorSupport> compositor_;
    Subscription appearanceSub_, compositorSub_;
    bool compositorActive_ = false;
    std::unique_ptr<Window> window_;
    bool windowComposited_ = false;
    QRectF frame_;
    QElapsedTimer clock_;
    QTimer ticks_;
    QTimer prefetching_;
    std::vector<std::optional<IconHandle>> pending_;  // icons still to get ready, last first

    FadeIn fade_;
    QRectF shapeFor_;  // the card the window's shape or blur region was made for
    bool moving_ = false;
};

// The overlay of an X11 session: an X11 panel over the Qt screens.
std::shared_ptr<HUDController> makeHUDController(std::shared_ptr<AppearanceSource> appearance,
                                                 std::shared_ptr<CompositorSupport> compositor);

}  // namespace trellick::x11
