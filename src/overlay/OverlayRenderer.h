#pragma once
// Draws the live model in its style: keeps one view per style, the fonts, the icon and
// shadow caches, and the appearance. The on-screen panel and the offscreen pictures both
// draw through it. Main thread only.

#include <QPainterPath>
#include <QRegion>
#include <array>
#include <functional>
#include <memory>

#include "overlay/AppIcons.h"
#include "overlay/Drawing.h"
#include "overlay/HUDModel.h"
#include "overlay/OverlayFonts.h"
#include "overlay/StyleView.h"

namespace trellick {

class OverlayRenderer {
public:
    // `changed` hears that the live model changed (before it is drawn again).
    explicit OverlayRenderer(const HUDModel& live, std::function<void()> changed = {});
    OverlayRenderer(const OverlayRenderer&) = delete;
    OverlayRenderer& operator=(const OverlayRenderer&) = delete;

    void setAppearance(const Appearance& appearance);
    void setComposited(bool composited);
    void setDevicePixelRatio(double dpr);
    const StyleContext& context() const { return ctx_; }

    // One layout pass over any model, in the style it names.
    QSizeF fittingSize(const HUDModel& model);

    // Resolves an entry's icon and makes its pictures for the live model's style: for the
    // entries of the list that are not in view yet, ahead of the steps that bring them in.
    void prefetch(const std::optional<IconHandle>& icon);

    // Takes the live model's changes at `now`, if there were any since the last call.
    void update(double now);
    // Moves the animations to `now`; true while something still moves.
    bool advance(double now);
    void settle();

    // Where the content's top-left lies in a panel of `panel` size: centred, on whole pixels.
    QPointF contentOrigin(QSizeF panel) const;
    // The card's outline in panel coordinates; empty when nothing is shown.
    QPainterPath cardOutline(QSizeF panel) const;
    // The outline as whole pixels: the window's shape without a compositor, the blur region
    // with one.
    QRegion cardRegion(QSizeF panel) const;
    // Cheap to ask each frame: the outline changes only with this rectangle.
    QRectF cardRect(QSizeF panel) const;
    QColor edgeColour() const;
    // Paints the live content centred in a panel of that size (painter at the panel's origin).
    void paint(QPainter& p, QSizeF panel);

private:
    StyleView& view(HUDStyle style);

    const HUDModel& live_;
    std::function<void()> changed_;
    Subscription watch_;
    bool dirty_ = true;
    StyleContext ctx_;
    OverlayFonts fonts_;
    AppIconCache icons_;
    ShadowCache shadows_;
    std::array<std::unique_ptr<StyleView>, 3> views_;
    StyleView* current_ = nullptr;
};

}  // namespace trellick
