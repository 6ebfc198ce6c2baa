#pragma once
// The classic style's view: its layout as the target, its animations, and its painter.
//
// Motion: a change of focus blends the whole layout over 0.18 s ease-in-out (the caption
// cross-fades with it); the scroll thumb follows the cursor with a spring (0.3 s, 0.86); the
// cancel ring follows its progress linearly over 0.06 s. The tile and the ellipses change at
// once as the cursor steps: this style is the plain one.

#include "overlay/ClassicLayout.h"
#include "overlay/PartsView.h"

namespace trellick {

class ClassicHUDView : public PartsView {
public:
    ClassicHUDView();

    QSizeF fittingSize(const HUDModel& model, const StyleContext& ctx) const override;
    void sync(const HUDModel& model, const StyleContext& ctx, PaintResources& res, double now) override;
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
    void paintRow(QPainter& p, const PartRow& row, const HUDModel& model, SwitcherRow which, PaintResources& res);
    const QImage& cardLayer();
    const QImage& tileLayer();

    LayoutBlend<ClassicLayout, blendClassic> layout_;
    Tween focusBlend_{0.18, Curve::easeInOut};
    Spring thumb_{0.3, 0.86, 0.05};
    Tween ring_{0.06, Curve::linear};
    QStaticText ellipsis_;

    // Made once per appearance, so painting allocates nothing.
    bool brushesMade_ = false;
    ClassicColours brushColours_;
    QBrush secondary_, thumbBrush_;
    QPen primaryText_, secondaryText_;
    // The card and the tile, filled once per size, colour and scale and then drawn as images.
    struct Layer {
        QImage image;
        QSizeF size;
        double dpr = 0;
        QColor colour;
    };
    Layer card_, tile_;
};

}  // namespace trellick
