#pragma once
// The retro style's view: its layout as the target, its animations, and its painter.
//
// Motion: a change of focus blends the whole window linearly over 0.08 s; the scroll thumb
// follows the cursor linearly over 0.08 s. The cancel pointer's start follows the selected
// icon with a spring (0.26 s, 0.82) and its progress towards the close button moves linearly
// over 0.06 s. The navy cell and the close button's pressed state change at once.
//
// The layout knows where the selected icon and the close button are from the first frame of
// a showing on, so the pointer rests on the icon from that frame; the fallback start (the
// window's centre area) is used only when no icon is selected.

#include <QImage>

#include "overlay/PartsView.h"
#include "overlay/Windows95Layout.h"

namespace trellick {

class Windows95HUDView : public PartsView {
public:
    Windows95HUDView();

    QSizeF fittingSize(const HUDModel& model, const StyleContext& ctx) const override;
    void sync(const HUDModel& model, const StyleContext& ctx, PaintResources& res, double now) override;
    bool advance(double now) override;
    void settle() override;
    QSizeF contentSize() const override { return layout_.shown.size; }
    QRectF cardRect() const override { return layout_.shown.window; }
    QPainterPath cardOutline() const override;
    QColor edgeColour() const override { return Win95::silver; }
    void paint(QPainter& p, const HUDModel& model, PaintResources& res) override;

private:
    std::vector<TextRecipe> recipesFor(HUDLabelStyle style) const override;
    void prepareTexts(const OverlayFonts& fonts) override;
    void compose(double now);
    void paintRow(QPainter& p, const PartRow& row, const HUDModel& model, SwitcherRow which, PaintResources& res);
    void paintStatus(QPainter& p, const HUDModel& model);
    void paintPointer(QPainter& p);
    const QImage& pointerShadow();

    LayoutBlend<Windows95Layout, blendWindows95> layout_;
    Tween focusBlend_{0.08, Curve::linear};
    Tween thumb_{0.08, Curve::linear};
    Spring startX_{0.26, 0.82, 0.05}, startY_{0.26, 0.82, 0.05};
    Tween progress_{0.06, Curve::linear};
    bool pointerShown_ = false;

    QStaticText titleText_;
    // Made once, so painting allocates nothing.
    QPen ink_, white_, faintInk_, outline_;
    QBrush inkBrush_, whiteBrush_, grayBrush_;
    QImage shadow_;  // the pointer's blurred shadow, made per scale
};

}  // namespace trellick
