#pragma once
// The classic style's view: its layout as the target, its animations, and its painter.
//
// Motion: a change of focus blends the whole layout over 0.18 s ease-in-out (the caption
// cross-fades with it); the scroll thumb follows the cursor with a spring (0.3 s, 0.86); the
// cancel ring follows its progress linearly over 0.06 s. The tile and the ellipses change at
// once as the cursor steps: this style is the plain one.

#include <QBrush>
#include <QPen>
#include <QStaticText>

#include "overlay/Animation.h"
#include "overlay/ClassicLayout.h"
#include "overlay/StyleTexts.h"
#include "overlay/StyleView.h"

namespace trellick {

class ClassicHUDView : public StyleView {
public:
    ClassicHUDView();

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

private:
    struct Caption {
        QStaticText title, subtitle;
        bool hasSubtitle = false;
    };
    void compose(double now);
    void updateCaption(const HUDModel& model, double now, bool fresh, bool fade);
    void updateBrushes();
    void warmIcons(const HUDModel& model, PaintResources& res);
    void paintRow(QPainter& p, const ClassicRow& row, const HUDModel& model, SwitcherRow which, PaintResources& res);
    void paintCaption(QPainter& p, const Caption& c, double opacity);
    const QImage& cardLayer();
    const QImage& tileLayer();

    // target_: the model as laid out now; from_: what was shown when the focus changed;
    // shown_: the blend on screen; next_: scratch for the next layout pass.
    ClassicLayout target_, from_, shown_, next_;
    StyleContext ctx_;
    StyleTexts texts_;
    int generation_ = -1;
    SwitcherRow focus_ = SwitcherRow::recents;
    HUDLabelStyle labelStyle_ = HUDLabelStyle::caption;
    double now_ = 0;

    Tween focusBlend_{0.18, Curve::easeInOut};
    Spring thumb_{0.3, 0.86, 0.05};
    Tween ring_{0.06, Curve::linear};
    Tween captionFade_{0.18, Curve::easeInOut};
    bool blending_ = false;

    Caption caption_, previousCaption_;
    QStaticText space_, ellipsis_;

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
