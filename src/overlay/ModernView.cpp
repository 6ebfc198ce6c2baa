#include "overlay/ModernView.h"

#include <QLinearGradient>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "overlay/AppIcons.h"
#include "overlay/Drawing.h"
#include "overlay/OverlayFonts.h"
#include "overlay/Symbols.h"
#include "overlay/Widgets.h"

namespace trellick {

namespace {

using M = ModernMetrics;

// Icon sides drawn at rest; pixmaps are made for these when a list arrives.
constexpr double restingSides[] = {M::peekIcon, M::fullIcon, M::fullIcon* M::selectedIconScale};

bool sameColours(const ModernColours& a, const ModernColours& b) {
    return a.material == b.material && a.gradientTop == b.gradientTop && a.border == b.border &&
           a.primary == b.primary && a.secondary == b.secondary && a.accent == b.accent;
}

QRectF scaledAbout(const QRectF& r, double k) {
    if (k == 1) return r;
    QPointF c = r.center();
    return QRectF(c.x() - r.width() * k / 2, c.y() - r.height() * k / 2, r.width() * k, r.height() * k);
}

}  // namespace

ModernView::ModernView() : PartsView(restingSides, 0.16) {}

// Texts per entry, by mode: the caption's two lines, or the per-icon label's three.
std::vector<TextRecipe> ModernView::recipesFor(HUDLabelStyle style) const {
    using F = TextRecipe::Field;
    if (style == HUDLabelStyle::caption) {
        return {{F::title, 18, QFont::DemiBold, M::captionWidth, M::captionWidth},
                {F::subtitle, 14, QFont::Normal, M::captionWidth, M::captionWidth}};
    }
    const double rw = M::recentsCell(style) - 6, fw = M::favCell - 6;
    return {{F::title, 13, QFont::DemiBold, rw, fw},
            {F::title, 13, QFont::Medium, rw, fw},
            {F::subtitle, 11, QFont::Normal, rw, fw}};
}

void ModernView::prepareTexts(const OverlayFonts& fonts) {
    space_.prepare(QTransform(), fonts.font(18, QFont::DemiBold));
}

QSizeF ModernView::fittingSize(const HUDModel& model, const StyleContext& ctx) const {
    ModernLayout layout;
    layoutModern(model, *ctx.fonts, ctx.appearance, ctx.composited, layout);
    return layout.size;
}

double ModernView::plateTarget() const {
    const ModernRow& row = focus_ == SwitcherRow::favourites ? layout_.target.favourites : layout_.target.recents;
    return row.plate.left() - row.cells.left();
}

void ModernView::warmIcon(const AppIconCache::Entry* icon, PaintResources& res, double dpr) const {
    PartsView::warmIcon(icon, res, dpr);
    if (icon && icon->kind() != AppIconCache::Kind::addFavourites)
        res.icons.shadow(icon, M::fullIcon * M::selectedIconScale, dpr, M::iconShadowBlur);
}

void ModernView::sync(const HUDModel& m, const StyleContext& ctx, PaintResources& res, double now) {
    const Start start = begin(m, ctx, res, now);
    layoutModern(m, *ctx.fonts, ctx.appearance, ctx.composited, layout_.next);
    const bool restart = layout_.restarts(start.fresh);
    layout_.take(restart, start.focusChanged, focusBlend_, now);
    const ModernLayout& target = layout_.target;
    if (restart) {
        plateX_.snap(plateTarget());
        thumb_.snap(target.scroll.thumb().offset);
        leading_.snap(target.leading.opacity);
        trailing_.snap(target.trailing.opacity);
        ring_.snap(target.ringProgress);
    } else {
        // The plate belongs to the focused row: it slides along a row, and appears in the
        // row that takes the focus.
        if (start.focusChanged) {
            plateX_.snap(plateTarget());
        } else {
            plateX_.retarget(plateTarget(), now);
        }
        thumb_.retarget(target.scroll.thumb().offset, now);
        leading_.retarget(target.leading.opacity, now);
        trailing_.retarget(target.trailing.opacity, now);
        ring_.retarget(target.ringProgress, now);
    }
    updateCaption(target.caption, m, now, restart, !restart);
    updateBrushes();
    compose(now);
}

void ModernView::compose(double now) {
    now_ = now;
    layout_.compose(focusBlend_, now);
    ModernLayout& shown = layout_.shown;
    // Along a row the plate slides on its spring; while the focus changes rows it stays with
    // the blended icon box.
    ModernRow& row = focus_ == SwitcherRow::favourites ? shown.favourites : shown.recents;
    if (!layout_.blending && row.selection >= 0) row.plate.moveLeft(row.cells.left() + plateX_.value(now));
    shown.leading.opacity = leading_.value(now);
    shown.trailing.opacity = trailing_.value(now);
    shown.ringProgress = ring_.value(now);
}

bool ModernView::advance(double now) {
    compose(now);
    return layout_.blending || !plateX_.settled(now) || !thumb_.settled(now) || !leading_.settled(now) ||
           !trailing_.settled(now) || !captionFade_.settled(now) || !ring_.settled(now);
}

void ModernView::settle() {
    layout_.blending = false;
    focusBlend_.snap(1);
    plateX_.snap(plateX_.target());
    thumb_.snap(thumb_.target());
    leading_.snap(leading_.target());
    trailing_.snap(trailing_.target());
    captionFade_.snap(1);
    ring_.snap(ring_.target());
    compose(now_);
}

QPainterPath ModernView::cardOutline() const {
    return layout_.shown.empty ? QPainterPath() : continuousRoundedRect(layout_.shown.card, M::cardRadius);
}

void ModernView::updateBrushes() {
    const ModernColours& c = layout_.target.colours;
    if (brushesMade_ && sameColours(c, brushColours_)) return;
    brushesMade_ = true;
    brushColours_ = c;
    material_ = QBrush(c.material);
    QLinearGradient sheen(0, 0, 0, 1);
    sheen.setCoordinateMode(QGradient::ObjectMode);
    sheen.setColorAt(0, c.gradientTop);
    sheen.setColorAt(0.5, withAlpha(c.gradientTop, 0));
    sheen_ = QBrush(sheen);
    QLinearGradient plate(0, 0, 0, 1);
    plate.setCoordinateMode(QGradient::ObjectMode);
    plate.setColorAt(0, c.plateTop);
    plate.setColorAt(1, c.plateBottom);
    plateFill_ = QBrush(plate);
    secondary_ = QBrush(c.secondary);
    accent_ = QBrush(c.accent);
    thumbBrush_ = QBrush(withAlpha(c.secondary, ScrollTrack::thumbOpacity));
    border_ = QPen(c.border, 1);
    plateBorder_ = QPen(c.plateBorder, 1.5);
    primaryText_ = QPen(c.primary);
    secondaryText_ = QPen(c.secondary);
}

namespace {

constexpr double glowMargin = 20;  // room for the plate's glow: three deviations and a pixel

void punchOut(QPainter& p, const QPainterPath& shape) {
    p.setCompositionMode(QPainter::CompositionMode_DestinationOut);
    p.fillPath(shape, Qt::black);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

}  // namespace

const QImage& ModernView::cardLayer(PaintResources& res) {
    const ModernLayout& L = layout_.shown;
    const double dpr = ctx_.devicePixelRatio;
    // The card sits at the shadow margin of its layer, as it does in the content.
    const QSizeF size(L.card.width() + 2 * M::shadowPad, L.card.height() + 2 * M::shadowPad);
    if (card_.size == size && layerFits(card_.image, size, dpr) && sameColours(card_.colours, L.colours) &&
        card_.composited == ctx_.composited)
        return card_.image;
    card_ = Layer{layerImage(size, dpr), size, dpr, L.colours, ctx_.composited};
    QPainter p(&card_.image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF card(M::shadowPad, M::shadowPad, L.card.width(), L.card.height());
    const QPainterPath outline = continuousRoundedRect(card, M::cardRadius);
    if (ctx_.composited) {
        res.shadows.drawRoundedRect(p, card, M::cardRadius, M::shadowBlur, L.colours.shadow, {0, M::shadowOffsetY},
                                    dpr);
        // Only around the card: under translucent material it would darken the middle.
        punchOut(p, outline);
    }
    p.fillPath(outline, material_);
    if (L.colours.gradientTop.alpha() > 0) p.fillPath(outline, sheen_);
    p.strokePath(continuousRoundedRect(card.adjusted(0.5, 0.5, -0.5, -0.5), M::cardRadius - 0.5), border_);
    return card_.image;
}

const QImage& ModernView::plateLayer(PaintResources& res) {
    const ModernColours& c = layout_.shown.colours;
    const double dpr = ctx_.devicePixelRatio;
    const QSizeF size(M::plate + 2 * glowMargin, M::plate + 2 * glowMargin);
    if (layerFits(plate_.image, size, dpr) && sameColours(plate_.colours, c)) return plate_.image;
    plate_ = Layer{layerImage(size, dpr), size, dpr, c, ctx_.composited};
    QPainter p(&plate_.image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF plate(glowMargin, glowMargin, M::plate, M::plate);
    const QPainterPath outline = continuousRoundedRect(plate, M::plateRadius);
    res.shadows.drawRoundedRect(p, plate, M::plateRadius, M::glowBlur, c.plateGlow, {}, dpr);
    punchOut(p, outline);
    p.fillPath(outline, plateFill_);
    p.strokePath(continuousRoundedRect(plate.adjusted(0.75, 0.75, -0.75, -0.75), M::plateRadius - 0.75), plateBorder_);
    return plate_.image;
}

void ModernView::paintRow(QPainter& p, const ModernRow& row, const HUDModel& m, SwitcherRow which,
                          PaintResources& res) {
    const double dpr = ctx_.devicePixelRatio;
    if (!row.glyph.isNull()) {
        p.setOpacity(row.glyphOpacity);
        drawSymbol(p, Symbol::pinFill, row.glyph, secondary_);
    }
    if (row.plateOpacity > 0) {
        p.setOpacity(row.plateOpacity);
        // Scaled with its box while the focus moves between rows; 1:1 at rest.
        const double g = glowMargin * row.plate.width() / M::plate;
        p.drawImage(row.plate.adjusted(-g, -g, g, g), plateLayer(res));
    }
    for (std::size_t i = 0; i < row.cellList.size(); ++i) {
        const PartCell& c = row.cellList[i];
        const StyleTexts::Entry* e = texts_.at(m, which, static_cast<int>(i));
        const QRectF icon = scaledAbout(c.icon, c.iconScale);
        const AppIconCache::Entry* ie = iconOf(e, res);
        p.setOpacity(c.iconOpacity);
        if (c.shadowOpacity > 0 && ie->kind() != AppIconCache::Kind::addFavourites) {
            const double side = M::fullIcon * M::selectedIconScale;
            if (const QImage* shadow = res.icons.shadow(ie, side, dpr, M::iconShadowBlur)) {
                const double k = icon.width() / side;
                const double margin = std::ceil(M::iconShadowBlur * dpr) / dpr * k;
                p.setOpacity(c.iconOpacity * c.shadowOpacity);
                p.drawImage(icon.translated(0, M::iconShadowOffsetY).adjusted(-margin, -margin, margin, margin),
                            *shadow);
                p.setOpacity(c.iconOpacity);
            }
        }
        if (ie->kind() == AppIconCache::Kind::addFavourites) {
            // A hint, not an entry: the symbol at the size the style gives symbols.
            drawSymbol(p, Symbol::plusCircleFill, scaledAbout(icon, addFavouritesSymbolScale), secondary_);
        } else {
            paintIcon(p, ie, icon, secondary_, res);
        }
        if (e) paintLabel(p, c, *e, primaryText_, secondaryText_);
    }
}

void ModernView::paint(QPainter& p, const HUDModel& m, PaintResources& res) {
    const ModernLayout& L = layout_.shown;
    if (L.empty) return;
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.setOpacity(1);
    p.drawImage(L.card.topLeft() - QPointF(M::shadowPad, M::shadowPad), cardLayer(res));

    if (L.favourites.present) paintRow(p, L.favourites, m, SwitcherRow::favourites, res);
    paintRow(p, L.recents, m, SwitcherRow::recents, res);
    for (const ModernChevron* c : {&L.leading, &L.trailing}) {
        if (c->opacity <= 0.001) continue;
        p.setOpacity(c->opacity);
        drawSymbol(p, c == &L.leading ? Symbol::chevronCompactLeft : Symbol::chevronCompactRight, c->glyph, secondary_,
                   SymbolWeight::semibold);
    }
    if (L.scrollPresent && L.scrollOpacity > 0) {
        p.setOpacity(L.scrollOpacity);
        paintScrollThumb(p, L.scrollTrack.topLeft(), L.scroll.height, {L.scroll.thumb().length, thumb_.value(now_)},
                         thumbBrush_);
    }
    if (L.caption.present) paintCaptions(p, L.caption, 3, primaryText_, secondaryText_);
    if (L.ringPresent) {
        p.setOpacity(L.ringOpacity);
        paintCancelRing(p, L.ring, L.ringProgress, L.colours.primary, L.colours.accent);
    }
    p.setOpacity(1);
}

}  // namespace trellick
