#pragma once
// The modern style's view: its layout as the target, its animations, and its painter.
//
// Motion: a change of focus blends the whole layout with a spring (0.3 s, 0.86); the plate
// slides to a new selection with the same spring, and so does the scroll thumb; the
// chevrons fade over 0.15 s ease-in-out; the caption cross-fades over 0.16 s ease-in-out;
// the cancel ring follows its progress linearly over 0.06 s.

#include <QBrush>
#include <QPen>
#include <QStaticText>

#include "overlay/Animation.h"
#include "overlay/ModernLayout.h"
#include "overlay/StyleTexts.h"
#include "overlay/StyleView.h"

namespace trellick {

class ModernView : public StyleView {
public:
    ModernView();

    QSizeF fittingSize(const HUDModel& model, const StyleContext& ctx) const override;
    void sync(const HUDModel& model, const StyleContext& ctx, PaintResources& res, double now) override;
    void warmIcon(const AppIconCache::Entry* icon, PaintResources& res, double dpr) const override;
    bool advance(double now) override;
    void settle() override;
    QSizeF contentSize() const override { return shown_.size; }
    QRectF cardRect() const override { return shown_.card; }
    QPainterPath cardOutline() const override;
    QColor edgeColour() const override { return shown_.colours.material; }
    void paint(QPainter& p, const HUDModel& model, PaintResources& res) override;

    // What is shown now (the target blended with the running animations).
    const ModernLayout& shown() const { return shown_; }

private:
    struct Caption {
        QStaticText title, subtitle;
        bool hasSubtitle = false;
    };
    void compose(double now);
    void updateCaption(const HUDModel& model, double now, bool fresh);
    void updateBrushes();
    void warmIcons(const HUDModel& model, PaintResources& res);
    double plateTarget() const;
    void paintRow(QPainter& p, const ModernRow& row, const HUDModel& model, SwitcherRow which, PaintResources& res);
    void paintCaption(QPainter& p, const Caption& c, double opacity);

    // target_: the model as laid out now; from_: what was shown when the focus changed;
    // shown_: the blend on screen; next_: scratch for the next layout pass.
    ModernLayout target_, from_, shown_, next_;
    StyleContext ctx_;
    StyleTexts texts_;
    int generation_ = -1;
    SwitcherRow focus_ = SwitcherRow::recents;
    HUDLabelStyle labelStyle_ = HUDLabelStyle::caption;
    double now_ = 0;

    Spring focusBlend_{0.3, 0.86, 0.001};
    Spring plateX_{0.3, 0.86, 0.05};
    Spring thumb_{0.3, 0.86, 0.05};
    Tween leading_{0.15, Curve::easeInOut}, trailing_{0.15, Curve::easeInOut};
    Tween captionFade_{0.16, Curve::easeInOut};
    Tween ring_{0.06, Curve::linear};
    bool blending_ = false;

    Caption caption_, previousCaption_;
    QStaticText space_;

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
