#pragma once
// What the styles' views share: the layouts a view keeps while it animates between them, the
// entries' texts and icons made ahead of a showing, the caption that cross-fades when the
// focused entry changes, and the painting of icons, labels and captions. A style's view adds
// its recipes, its own animations and the painting of its own parts.

#include <QBrush>
#include <QPen>
#include <QStaticText>
#include <span>
#include <utility>
#include <vector>

#include "overlay/Animation.h"
#include "overlay/StyleParts.h"
#include "overlay/StyleTexts.h"
#include "overlay/StyleView.h"

namespace trellick {

// The layouts a view keeps: `target`, the model as laid out now; `from`, what was shown when
// the focus changed; `shown`, the blend on screen; `next`, scratch for the next layout pass.
template <class Layout, void (*blendLayouts)(const Layout&, const Layout&, double, Layout&)>
struct LayoutBlend {
    Layout target, from, shown, next;
    bool blending = false;

    // Whether the layout in `next` starts a showing afresh rather than moving from the last.
    bool restarts(bool fresh) const { return fresh || target.empty || next.empty; }

    // Makes `next` the target. When the focus moved to another row the whole layout moves to
    // its new shape from what is on screen, along `motion` (0 to 1); a new showing starts
    // where it is meant to be.
    template <class Motion>
    void take(bool restart, bool focusChanged, Motion& motion, double now) {
        if (restart) {
            blending = false;
            motion.snap(1);
        } else if (focusChanged) {
            blending = sameShape(shown, next);
            if (blending) {
                from = shown;
                motion.snap(0);
                motion.retarget(1, now);
            }
        } else if (blending && !sameShape(from, next)) {
            blending = false;
        }
        std::swap(target, next);
    }

    // Moves `shown` to `now`.
    template <class Motion>
    void compose(const Motion& motion, double now) {
        if (blending && !motion.settled(now)) {
            blendLayouts(from, target, motion.value(now), shown);
        } else {
            blending = false;
            shown = target;
        }
    }
};

class PartsView : public StyleView {
public:
    void warmIcon(const AppIconCache::Entry* icon, PaintResources& res, double dpr) const override;

protected:
    // `restingSides`: the icon sides drawn at rest, smallest first, made ahead when a list
    // arrives; `captionFade`: the seconds a changed caption takes to cross-fade.
    PartsView(std::span<const double> restingSides, double captionFade);

    // The texts per entry for a label style, in the order the painter indexes them.
    virtual std::vector<TextRecipe> recipesFor(HUDLabelStyle style) const = 0;
    // Lays out the style's own texts (and `space_`) when the entries' texts start over.
    virtual void prepareTexts(const OverlayFonts& fonts) = 0;

    struct Start {
        bool fresh;         // a new showing
        bool focusChanged;  // the focus moved to the other row
    };
    // The start of sync(): takes the context and the time, and makes the texts and icons of
    // the model's lists that are not made yet.
    Start begin(const HUDModel& m, const StyleContext& ctx, PaintResources& res, double now);

    // The side of the made pixmap to draw an icon `drawn` wide from.
    double pixmapSide(double drawn) const;
    // The entry's icon, or the generic one where the entry has none yet.
    const AppIconCache::Entry* iconOf(const StyleTexts::Entry* e, PaintResources& res) const;
    // The icon in `rect`; the "Add Favourites" placeholder is its symbol in `symbol`.
    void paintIcon(QPainter& p, const AppIconCache::Entry* icon, const QRectF& rect, const QBrush& symbol,
                   PaintResources& res) const;
    // A cell's per-icon label: title and, where there is one, subtitle (recipes: the selected
    // title, the title, the subtitle).
    void paintLabel(QPainter& p, const PartCell& c, const StyleTexts::Entry& e, const QPen& primary,
                    const QPen& secondary) const;

    // The caption's texts as shown; `fade`: a change cross-fades rather than cuts.
    void updateCaption(const PartCaption& c, const HUDModel& m, double now, bool fresh, bool fade);
    // The caption in `frame`, the outgoing one fading under the incoming (recipes: title,
    // subtitle); the subtitle `lineSpacing` under the title.
    void paintCaptions(QPainter& p, const PartCaption& frame, double lineSpacing, const QPen& primary,
                       const QPen& secondary);

    StyleContext ctx_;
    StyleTexts texts_;
    int generation_ = -1;
    SwitcherRow focus_ = SwitcherRow::recents;
    HUDLabelStyle labelStyle_ = HUDLabelStyle::caption;
    double now_ = 0;
    QStaticText space_;  // the caption's title when the entry has none: keeps its line
    Tween captionFade_;

private:
    struct Caption {
        QStaticText title, subtitle;
        bool hasSubtitle = false;
    };
    void warmIcons(const HUDModel& m, PaintResources& res);
    void paintCaption(QPainter& p, const PartCaption& frame, const Caption& c, double opacity, double lineSpacing,
                      const QPen& primary, const QPen& secondary);

    std::vector<double> restingSides_;
    Caption caption_, previousCaption_;
};

}  // namespace trellick
