#include "overlay/ClassicHUDView.h"

#include <QPainter>
#include <cmath>

#include "overlay/AppIcons.h"
#include "overlay/Drawing.h"
#include "overlay/OverlayFonts.h"
#include "overlay/Symbols.h"
#include "overlay/Widgets.h"

namespace trellick {

namespace {

using M = ClassicMetrics;

constexpr int ellipsisPoints = 20;

// Icon sides drawn at rest; pixmaps are made for these when a list arrives.
constexpr double restingSides[] = {M::peekIcon, M::fullIcon};

bool sameColours(const ClassicColours& a, const ClassicColours& b) {
    return a.material == b.material && a.primary == b.primary && a.secondary == b.secondary && a.accent == b.accent;
}

}  // namespace

ClassicHUDView::ClassicHUDView() : PartsView(restingSides, 0.18) {
    ellipsis_.setTextFormat(Qt::PlainText);
    ellipsis_.setText(QStringLiteral("\u2026"));
}

// Texts per entry, by mode: the caption's two lines, or the per-icon label's three.
std::vector<TextRecipe> ClassicHUDView::recipesFor(HUDLabelStyle style) const {
    using F = TextRecipe::Field;
    if (style == HUDLabelStyle::caption) {
        return {{F::title, 15, QFont::DemiBold, M::captionWidth, M::captionWidth},
                {F::subtitle, 12, QFont::Normal, M::captionWidth, M::captionWidth}};
    }
    const double rw = M::recentsCell(style) - 4, fw = M::favCell - 4;
    return {{F::title, 13, QFont::Bold, rw, fw},
            {F::title, 13, QFont::Medium, rw, fw},
            {F::subtitle, 12, QFont::Normal, rw, fw}};
}

void ClassicHUDView::prepareTexts(const OverlayFonts& fonts) {
    space_.prepare(QTransform(), fonts.font(15, QFont::DemiBold));
    ellipsis_.prepare(QTransform(), fonts.font(ellipsisPoints, QFont::Bold));
}

QSizeF ClassicHUDView::fittingSize(const HUDModel& model, const StyleContext& ctx) const {
    ClassicLayout layout;
    layoutClassic(model, *ctx.fonts, ctx.appearance, ctx.composited, layout);
    return layout.size;
}

void ClassicHUDView::sync(const HUDModel& m, const StyleContext& ctx, PaintResources& res, double now) {
    const Start start = begin(m, ctx, res, now);
    layoutClassic(m, *ctx.fonts, ctx.appearance, ctx.composited, layout_.next);
    const bool restart = layout_.restarts(start.fresh);
    layout_.take(restart, start.focusChanged, focusBlend_, now);
    const ClassicLayout& target = layout_.target;
    if (restart) {
        thumb_.snap(target.scroll.thumb().offset);
        ring_.snap(target.ringProgress);
    } else {
        thumb_.retarget(target.scroll.thumb().offset, now);
        ring_.retarget(target.ringProgress, now);
    }
    // The caption cross-fades with a change of focus; along a row it changes at once.
    updateCaption(target.caption, m, now, restart, !restart && start.focusChanged);
    updateBrushes();
    compose(now);
}

void ClassicHUDView::compose(double now) {
    now_ = now;
    layout_.compose(focusBlend_, now);
    layout_.shown.ringProgress = ring_.value(now);
}

bool ClassicHUDView::advance(double now) {
    compose(now);
    return layout_.blending || !thumb_.settled(now) || !captionFade_.settled(now) || !ring_.settled(now);
}

void ClassicHUDView::settle() {
    layout_.blending = false;
    focusBlend_.snap(1);
    thumb_.snap(thumb_.target());
    captionFade_.snap(1);
    ring_.snap(ring_.target());
    compose(now_);
}

QPainterPath ClassicHUDView::cardOutline() const {
    return layout_.shown.empty ? QPainterPath() : continuousRoundedRect(layout_.shown.card, M::cardRadius);
}

void ClassicHUDView::updateBrushes() {
    const ClassicColours& c = layout_.target.colours;
    if (brushesMade_ && sameColours(c, brushColours_)) return;
    brushesMade_ = true;
    brushColours_ = c;
    secondary_ = QBrush(c.secondary);
    thumbBrush_ = QBrush(withAlpha(c.secondary, ScrollTrack::thumbOpacity));
    primaryText_ = QPen(c.primary);
    secondaryText_ = QPen(c.secondary);
}

const QImage& ClassicHUDView::cardLayer() {
    const QSizeF size = layout_.shown.card.size();
    const double dpr = ctx_.devicePixelRatio;
    const QColor colour = layout_.shown.colours.material;
    if (card_.size == size && card_.colour == colour && layerFits(card_.image, size, dpr)) return card_.image;
    card_ = Layer{layerImage(size, dpr), size, dpr, colour};
    QPainter p(&card_.image);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillPath(continuousRoundedRect(QRectF(QPointF(0, 0), size), M::cardRadius), colour);
    return card_.image;
}

const QImage& ClassicHUDView::tileLayer() {
    const QSizeF size(M::iconBoxFull, M::iconBoxFull);
    const double dpr = ctx_.devicePixelRatio;
    const QColor colour = layout_.shown.colours.tile;
    if (tile_.colour == colour && layerFits(tile_.image, size, dpr)) return tile_.image;
    tile_ = Layer{layerImage(size, dpr), size, dpr, colour};
    QPainter p(&tile_.image);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillPath(continuousRoundedRect(QRectF(QPointF(0, 0), size), M::tileRadius), colour);
    return tile_.image;
}

void ClassicHUDView::paintRow(QPainter& p, const PartRow& row, const HUDModel& m, SwitcherRow which,
                              PaintResources& res) {
    if (!row.glyph.isNull()) {
        p.setOpacity(0.5);
        drawSymbol(p, Symbol::pinFill, row.glyph, secondary_);
    }
    for (std::size_t i = 0; i < row.cellList.size(); ++i) {
        const PartCell& c = row.cellList[i];
        const StyleTexts::Entry* e = texts_.at(m, which, static_cast<int>(i));
        p.setOpacity(c.iconOpacity);
        // The tile is drawn as it is at rest, so a box that grows or shrinks with the focus
        // keeps its corners.
        if (c.tileOpacity > 0) {
            p.setOpacity(c.iconOpacity * c.tileOpacity);
            if (c.box.width() == M::iconBoxFull) {
                p.drawImage(c.box.topLeft(), tileLayer());
            } else {
                p.drawImage(c.box, tileLayer());
            }
            p.setOpacity(c.iconOpacity);
        }
        paintIcon(p, iconOf(e, res), c.icon, secondary_, res);
        if (e) paintLabel(p, c, *e, primaryText_, secondaryText_);
    }
}

void ClassicHUDView::paint(QPainter& p, const HUDModel& m, PaintResources& res) {
    const ClassicLayout& L = layout_.shown;
    if (L.empty) return;
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.setOpacity(1);
    p.drawImage(L.card.topLeft(), cardLayer());

    if (L.favourites.present) paintRow(p, L.favourites, m, SwitcherRow::favourites, res);
    paintRow(p, L.recents, m, SwitcherRow::recents, res);
    p.setPen(secondaryText_);
    p.setFont(ctx_.fonts->font(ellipsisPoints, QFont::Bold));
    for (const ClassicEllipsis* e : {&L.leading, &L.trailing}) {
        if (e->frame.isNull() || e->opacity <= 0.001) continue;
        p.setOpacity(e->opacity);
        drawStaticTextCentred(p, e->frame, ellipsis_);
    }
    if (L.scrollPresent && L.scrollOpacity > 0) {
        p.setOpacity(L.scrollOpacity);
        // Scaled with a track that fades while the row above it changes size; 1 at rest.
        const double k = L.scroll.width > 0 ? L.scrollTrack.width() / L.scroll.width : 1;
        paintScrollThumb(p, L.scrollTrack.topLeft(), L.scroll.height,
                         {k * L.scroll.thumb().length, k * thumb_.value(now_)}, thumbBrush_);
    }
    if (L.caption.present) paintCaptions(p, L.caption, 2, primaryText_, secondaryText_);
    if (L.ringPresent) {
        p.setOpacity(L.ringOpacity);
        paintCancelRing(p, L.ring, L.ringProgress, L.colours.primary, L.colours.accent);
    }
    p.setOpacity(1);
}

}  // namespace trellick
