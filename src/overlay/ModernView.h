#pragma once
// The modern style's view: its layout as the target, its animations, and its painter.
//
// Motion: a change of focus blends the whole layout with a spring (0.3 s, 0.86); the plate
// slides to a new selection with the same spring, and so does the scroll thumb; the
// chevrons fade over 0.15 s ease-in-out; the caption cross-fades over 0.16 s ease-in-out;
// the cancel ring follows its progress linearly over 0.06 s.

#include "overlay/ModernLayout.h"
#include "overlay/PartsView.h"

namespace trellick {

class ModernView : public PartsView {
public:
    ModernView();

    QSizeF fittingSize(const HUDModel& model, const StyleContext& ctx) const override;
    void sync(const HUDModel& model, const StyleContext& ctx, PaintResources& res, double now) override;
    void warmIcon(const AppIconCache::Entry* icon, PaintResources& res, double dpr) const override;
    bool advance(double now) override;
    void settle() override;
    QSizeF contentSize() const override { return layout_.shown.size; }
    QRectF cardRect() const override { return layout_.shown.card; }
    QPainterPath cardOutline() const override;
    QColor edgeColour() const override { return layout_.shown.colours.material; }
    void paint(QPainter& p, const HUDModel& model, PaintResources& res) override;

private:
    std::vector<TextRecipe> recipesFor(HUDLabelStyle style) const override;
    void prepareTexts(const OverlayFonts& fonts) override;
    void compose(double now);
    void updateBrushes();
    double plateTarget() const;
    void paintRow(QPainter& p, const ModernRow& row, const HUDModel& model, SwitcherRow which, PaintResources& res);

    LayoutBlend<ModernLayout, blendModern> layout_;
    Spring focusBlend_{0.3, 0.86, 0.001};
    Spring plateX_{0.3, 0.86, 0.05};
    Spring thumb_{0.3, 0.86, 0.05};
    Tween leading_{0.15, Curve::easeInOut}, trailing_{0.15, Curve::easeInOut};
    Tween ring_{0.06, Curve::linear};

    // Made once per appearance, so painting allocates nothing.
    bool brushesMade_ = false;
    ModernColours brushColours_;
    QBrush material_, sheen_, plateFill_, secondary_, accent_, thumbBrush_;
    QPen border_, plateBorder_, primaryText_, secondaryText_;
    // The card's surface (shadow, material, sheen, hairline) and the plate (glow, fill,
    // border) drawn once per size, colours and scale, then blended as images: filling and
    // stroking anti-aliased outlines is the dearest part of a repaint.
    struct Layer {
        QImage image;
        QSizeF size;
        double dpr = 0;
        ModernColours colours;
        bool composited = false;
    };
    const QImage& cardLayer(PaintResources& res);
    const QImage& plateLayer(PaintResources& res);
    Layer card_, plate_;
};

}  // namespace trellick
