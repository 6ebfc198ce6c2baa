#pragma once
// The framework of the overlay's visual styles.
//
// A style is two halves and a view that joins them:
//  - a layout: a pure function from the model, the fonts and the appearance to geometry
//    (every rectangle, size, opacity and colour the style draws, in content coordinates
//    whose origin is the top left of the fitting size). No painting and no screen: tests
//    read it directly. The layout's size is the panel's fitting size. Example:
//    ModernLayout + layoutModern().
//  - a painter: QPainter calls that draw one laid-out state. It resolves nothing and
//    measures nothing on the way.
//  - a StyleView: keeps the last layout as the target of the style's animations, blends
//    what is shown towards it as time passes, and hands that to the painter. Example:
//    ModernView.
//
// To add a style: write its layout (FooLayout, layoutFoo), its painter and FooView, and
// return it from makeStyleView() for its HUDStyle. Shared pieces: StyleParts.h (the rows of
// cells and the caption, sized by the style's metrics), PartsView.h (the view base: layouts
// blended on a change of focus, texts and icons made ahead, icon, label and caption
// painters), Symbols.h (vector symbols), AppIcons.h (application icons), Widgets.h
// (CancelRing, ScrollTrack), Drawing.h (continuous corners, shadows), Animation.h (springs
// and curves), StyleTexts.h (the entries' texts, elided and laid out once per list).

#include <QPainterPath>
#include <QSizeF>
#include <memory>

#include "overlay/AppIcons.h"
#include "overlay/HUDModel.h"
#include "overlay/OverlayDesktop.h"

class QPainter;

namespace trellick {

class OverlayFonts;
class ShadowCache;

struct StyleContext {
    const OverlayFonts* fonts = nullptr;
    Appearance appearance;
    // A compositor blends the panel: translucent material and shadows. Without one the card
    // is opaque and the panel is cut to its outline, so no shadow is drawn.
    bool composited = true;
    double devicePixelRatio = 1;
};

struct PaintResources {
    AppIconCache& icons;
    ShadowCache& shadows;
};

class StyleView {
public:
    virtual ~StyleView() = default;

    // One layout pass over `model`: the size that shows it whole, margins included.
    virtual QSizeF fittingSize(const HUDModel& model, const StyleContext& ctx) const = 0;

    // Takes the model's current state as the target at `now` (seconds on any steady
    // clock). Changes animate from what is shown; a new generation starts without
    // animation. Resolves the icons and texts of lists it has not seen yet.
    virtual void sync(const HUDModel& model, const StyleContext& ctx, PaintResources& res, double now) = 0;
    // Makes the pictures of an application icon at the sizes this style draws at rest, so
    // that an entry coming into view later costs nothing (`dpr` as it will be drawn).
    virtual void warmIcon(const AppIconCache::Entry* icon, PaintResources& res, double dpr) const = 0;
    // Moves what is shown to `now`; true while something still moves.
    virtual bool advance(double now) = 0;
    // Jumps every animation to its end.
    virtual void settle() = 0;

    // The size of what is shown (animated), and the card's outline in content coordinates
    // (the panel's shape without a compositor, the blur region with one).
    virtual QSizeF contentSize() const = 0;
    virtual QRectF cardRect() const = 0;
    virtual QPainterPath cardOutline() const = 0;
    // The card's colour where it meets its edge: what an opaque panel, cut to the card's
    // outline, is filled with under the card's anti-aliased rim.
    virtual QColor edgeColour() const = 0;

    // Draws what is shown, with its top-left at the painter's origin.
    virtual void paint(QPainter& p, const HUDModel& model, PaintResources& res) = 0;
};

// The view of a style: ModernView, ClassicHUDView or Windows95HUDView.
std::unique_ptr<StyleView> makeStyleView(HUDStyle style);

}  // namespace trellick
