#pragma once
// A panel that draws into images instead of a window: for pictures without a display
// (`trellick debug-gestures --overlay`), for checks of what the styles draw, and for
// benchmarks. Needs a QGuiApplication (the offscreen platform is enough).

#include <QImage>
#include <functional>

#include "overlay/Animation.h"
#include "overlay/HUDPanel.h"
#include "overlay/OverlayRenderer.h"

namespace trellick {

class ImagePanel : public HUDPanel {
public:
    // `clock` gives the time for animations and the fade (seconds); default: a steady clock.
    explicit ImagePanel(const HUDModel& live, std::function<double()> clock = {});

    bool isVisible() const override { return visible_; }
    QSizeF fittingSize(const HUDModel& model) override;
    QRectF frame() const override { return frame_; }
    void setFrame(const QRectF& frame) override { frame_ = frame; }
    void show(double fadeSeconds) override;
    void hide() override { visible_ = false; }
    // At once: pictures and checks want every icon ready.
    void prefetch(const std::vector<SwitchTarget>& targets) override;

    OverlayRenderer& renderer() { return renderer_; }

    // The panel as it looks at the clock's time: transparent outside the card; a null image
    // while the panel is hidden. `settled`: with every animation and the fade finished.
    QImage render(bool settled = false);
    // The same into an image kept by the caller (reused when its size fits).
    void renderInto(QImage& image, bool settled = false);

private:
    OverlayRenderer renderer_;
    std::function<double()> clock_;
    bool visible_ = false;
    QRectF frame_;
    FadeIn fade_;
};

}  // namespace trellick
