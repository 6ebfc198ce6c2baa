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

// Texts per entry, by mode: the caption's two lines, or the per-icon label's three.
enum CaptionText { captionTitle, captionSubtitle };
enum LabelText { labelTitleSelected, labelTitle, labelSubtitle };

constexpr int ellipsisPoints = 20;

std::vector<TextRecipe> recipesFor(HUDLabelStyle style) {
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

// Icon sides drawn at rest; pixmaps are made for these when a list arrives.
constexpr double restingSides[] = {M::peekIcon, M::fullIcon};

double pixmapSide(double drawn) {
    return drawn > M::peekIcon + 0.5 ? M::fullIcon : M::peekIcon;
}

bool sameColours(const ClassicColours& a, const ClassicColours& b) {
    return a.material == b.material && a.primary == b.primary && a.secondary == b.secondary && a.accent == b.accent;
}

}  // namespace

ClassicHUDView::ClassicHUDView() {
    space_.setTextFormat(Qt::PlainText);
    space_.setText(QStringLiteral(" "));
    ellipsis_.setTextFormat(Qt::PlainText);
    ellipsis_.setText(QStringLiteral("\u2026"));
}

QSizeF ClassicHUDView::fittingSize(const HUDModel& model, const StyleContext& ctx) const {
    ClassicLayout layout;
    layoutClassic(model, *ctx.fonts, ctx.appearance, ctx.composited, layout);
    return layout.size;
}

void ClassicHUDView::warmIcon(const AppIconCache::Entry* icon, PaintResources& res, double dpr) const {
    if (!icon || icon->kind() == AppIconCache::Kind::addFavourites) return;
    for (double side : restingSides) res.icons.pixmap(icon, side, dpr);
}

void ClassicHUDView::warmIcons(const HUDModel& m, PaintResources& res) {
    auto warm = [&](SwitcherRow row, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) {
            if (const StyleTexts::Entry* e = texts_.at(m, row, static_cast<int>(i)))
                warmIcon(e->icon, res, ctx_.devicePixelRatio);
        }
    };
    warm(SwitcherRow::recents, m.visible().size());
    warm(SwitcherRow::favourites, m.favourites().size());
}

void ClassicHUDView::sync(const HUDModel& m, const StyleContext& ctx, PaintResources& res, double now) {
    const bool rescale = ctx.devicePixelRatio != ctx_.devicePixelRatio;
    ctx_ = ctx;
    now_ = now;
    const bool fresh = m.generation() != generation_;
    generation_ = m.generation();
    if (fresh || m.labelStyle() != labelStyle_) {
        labelStyle_ = m.labelStyle();
        texts_.use(generation_, recipesFor(labelStyle_), *ctx.fonts);
        space_.prepare(QTransform(), ctx.fonts->font(15, QFont::DemiBold));
        ellipsis_.prepare(QTransform(), ctx.fonts->font(ellipsisPoints, QFont::Bold));
    }
    if (texts_.prepare(m, res.icons) || fresh || rescale) warmIcons(m, res);

    layoutClassic(m, *ctx.fonts, ctx.appearance, ctx.composited, next_);
    const bool focusChanged = m.focus() != focus_;
    focus_ = m.focus();

    if (fresh || target_.empty || next_.empty) {
        // A new showing starts where it is meant to be, with nothing carried over.
        std::swap(target_, next_);
        blending_ = false;
        focusBlend_.snap(1);
        thumb_.snap(target_.scroll.thumb().offset);
        ring_.snap(target_.ringProgress);
        updateCaption(m, now, true, false);
    } else {
        if (focusChanged) {
            blending_ = sameClassicShape(shown_, next_);
            if (blending_) {
                from_ = shown_;
                focusBlend_.snap(0);
                focusBlend_.retarget(1, now);
            }
        } else if (blending_ && !sameClassicShape(from_, next_)) {
            blending_ = false;
        }
        std::swap(target_, next_);
        thumb_.retarget(target_.scroll.thumb().offset, now);
        ring_.retarget(target_.ringProgress, now);
        updateCaption(m, now, false, focusChanged);
    }
    updateBrushes();
    compose(now);
}

void ClassicHUDView::updateCaption(const HUDModel& m, double now, bool fresh, bool fade) {
    const ClassicCaption& c = target_.caption;
    const StyleTexts::Entry* e = c.present && c.index >= 0 ? texts_.at(m, c.row, c.index) : nullptr;
    const QStaticText* title = e && !e->text[captionTitle].text().isEmpty() ? &e->text[captionTitle] : &space_;
    const QStaticText* subtitle =
        e && c.hasSubtitle && !e->text[captionSubtitle].text().isEmpty() ? &e->text[captionSubtitle] : nullptr;
    const bool same = caption_.title.text() == title->text() && caption_.hasSubtitle == (subtitle != nullptr) &&
                      (!subtitle || caption_.subtitle.text() == subtitle->text());
    if (same && !fresh) return;
    if (fade) {
        previousCaption_ = caption_;
        captionFade_.snap(0);
        captionFade_.retarget(1, now);
    } else {
        captionFade_.snap(1);
    }
    caption_.title = *title;
    caption_.subtitle = subtitle ? *subtitle : space_;
    caption_.hasSubtitle = subtitle != nullptr;
}

void ClassicHUDView::compose(double now) {
    now_ = now;
    if (blending_ && !focusBlend_.settled(now)) {
        blendClassic(from_, target_, focusBlend_.value(now), shown_);
    } else {
        blending_ = false;
        shown_ = target_;
    }
    shown_.ringProgress = ring_.value(now);
}

bool ClassicHUDView::advance(double now) {
    compose(now);
    return blending_ || !thumb_.settled(now) || !captionFade_.settled(now) || !ring_.settled(now);
}

void ClassicHUDView::settle() {
    blending_ = false;
    focusBlend_.snap(1);
    thumb_.snap(thumb_.target());
    captionFade_.snap(1);
    ring_.snap(ring_.target());
    compose(now_);
}

QPainterPath ClassicHUDView::cardOutline() const {
    return shown_.empty ? QPainterPath() : continuousRoundedRect(shown_.card, M::cardRadius);
}

void ClassicHUDView::updateBrushes() {
    const ClassicColours& c = target_.colours;
    if (brushesMade_ && sameColours(c, brushColours_)) return;
    brushesMade_ = true;
    brushColours_ = c;
    secondary_ = QBrush(c.secondary);
    thumbBrush_ = QBrush(withAlpha(c.secondary, ScrollTrack::thumbOpacity));
    primaryText_ = QPen(c.primary);
    secondaryText_ = QPen(c.secondary);
}

const QImage& ClassicHUDView::cardLayer() {
    const QSizeF size = shown_.card.size();
    const double dpr = ctx_.devicePixelRatio;
    const QColor colour = shown_.colours.material;
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
    const QColor colour = shown_.colours.tile;
    if (tile_.colour == colour && layerFits(tile_.image, size, dpr)) return tile_.image;
    tile_ = Layer{layerImage(size, dpr), size, dpr, colour};
    QPainter p(&tile_.image);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillPath(continuousRoundedRect(QRectF(QPointF(0, 0), size), M::tileRadius), colour);
    return tile_.image;
}

void ClassicHUDView::paintRow(QPainter& p, const ClassicRow& row, const HUDModel& m, SwitcherRow which,
                              PaintResources& res) {
    const double dpr = ctx_.devicePixelRatio;
    if (!row.glyph.isNull()) {
        p.setOpacity(0.5);
        drawSymbol(p, Symbol::pinFill, row.glyph, secondary_);
    }
    for (std::size_t i = 0; i < row.cellList.size(); ++i) {
        const ClassicCell& c = row.cellList[i];
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
        const AppIconCache::Entry* ie = e ? e->icon : res.icons.resolve(std::nullopt);
        if (ie->kind() == AppIconCache::Kind::addFavourites) {
            drawSymbol(p, Symbol::plusCircleFill, c.icon, secondary_);
        } else if (const QPixmap* pm = res.icons.pixmap(ie, pixmapSide(c.icon.width()), dpr)) {
            p.drawPixmap(c.icon, *pm, QRectF(QPointF(0, 0), pm->size()));
        }
        if (!c.label.isNull() && c.labelOpacity > 0 && e) {
            p.setOpacity(c.labelOpacity);
            const std::size_t t = c.selected ? labelTitleSelected : labelTitle;
            p.setFont(texts_.font(t));
            p.setPen(c.selected ? primaryText_ : secondaryText_);
            drawStaticTextCentred(p, c.labelTitle, e->text[t]);
            if (c.hasLabelSubtitle) {
                p.setFont(texts_.font(labelSubtitle));
                p.setPen(secondaryText_);
                drawStaticTextCentred(p, c.labelSubtitle, e->text[labelSubtitle]);
            }
        }
    }
}

void ClassicHUDView::paintCaption(QPainter& p, const Caption& c, double opacity) {
    if (opacity <= 0.001) return;
    const ClassicCaption& frame = shown_.caption;
    p.setOpacity(opacity);
    p.setFont(texts_.font(captionTitle));
    p.setPen(primaryText_);
    drawStaticTextCentred(p, frame.title, c.title);
    if (c.hasSubtitle) {
        const QRectF sub(frame.title.left(), frame.title.bottom() + 2, frame.title.width(), frame.subtitle.height());
        p.setFont(texts_.font(captionSubtitle));
        p.setPen(secondaryText_);
        drawStaticTextCentred(p, sub, c.subtitle);
    }
}

void ClassicHUDView::paint(QPainter& p, const HUDModel& m, PaintResources& res) {
    const ClassicLayout& L = shown_;
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
        p.setPen(Qt::NoPen);
        p.setBrush(thumbBrush_);
        const double r = L.scroll.height / 2;
        // Scaled with a track that fades while the row above it changes size; 1 at rest.
        const double k = L.scroll.width > 0 ? L.scrollTrack.width() / L.scroll.width : 1;
        p.drawRoundedRect(QRectF(L.scrollTrack.left() + k * thumb_.value(now_), L.scrollTrack.top(),
                                 k * L.scroll.thumb().length, L.scroll.height),
                          r, r);
        p.setBrush(Qt::NoBrush);
    }
    if (L.caption.present) {
        const double mixIn = captionFade_.value(now_);
        paintCaption(p, previousCaption_, 1 - mixIn);
        paintCaption(p, caption_, mixIn);
    }
    if (L.ringPresent) {
        p.setOpacity(L.ringOpacity);
        paintCancelRing(p, L.ring, L.ringProgress, L.colours.primary, L.colours.accent);
    }
    p.setOpacity(1);
}

}  // namespace trellick
