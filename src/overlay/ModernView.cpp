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

// Texts per entry, by mode: the caption's two lines, or the per-icon label's three.
enum CaptionText { captionTitle, captionSubtitle };
enum LabelText { labelTitleSelected, labelTitle, labelSubtitle };

std::vector<TextRecipe> recipesFor(HUDLabelStyle style) {
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

// Icon sides drawn at rest; pixmaps are made for these when a list arrives.
constexpr double restingSides[] = {M::peekIcon, M::fullIcon, M::fullIcon* M::selectedIconScale};

double pixmapSide(double drawn) {
    for (double s : restingSides)
        if (s >= drawn - 0.5) return s;
    return restingSides[std::size(restingSides) - 1];
}

QRectF scaledAbout(const QRectF& r, double k) {
    if (k == 1) return r;
    QPointF c = r.center();
    return QRectF(c.x() - r.width() * k / 2, c.y() - r.height() * k / 2, r.width() * k, r.height() * k);
}

void drawTextCentred(QPainter& p, const QRectF& frame, const QStaticText& text) {
    p.drawStaticText(QPointF(std::round(frame.center().x() - text.size().width() / 2), frame.top()), text);
}

bool sameColours(const ModernColours& a, const ModernColours& b) {
    return a.material == b.material && a.gradientTop == b.gradientTop && a.border == b.border &&
           a.primary == b.primary && a.secondary == b.secondary && a.accent == b.accent;
}

}  // namespace

ModernView::ModernView() {
    space_.setTextFormat(Qt::PlainText);
    space_.setText(QStringLiteral(" "));
}

QSizeF ModernView::fittingSize(const HUDModel& model, const StyleContext& ctx) const {
    ModernLayout layout;
    layoutModern(model, *ctx.fonts, ctx.appearance, ctx.composited, layout);
    return layout.size;
}

double ModernView::plateTarget() const {
    const ModernRow& row = focus_ == SwitcherRow::favourites ? target_.favourites : target_.recents;
    return row.plate.left() - row.cells.left();
}

void ModernView::warmIcon(const AppIconCache::Entry* icon, PaintResources& res, double dpr) const {
    if (!icon || icon->kind() == AppIconCache::Kind::addFavourites) return;
    for (double side : restingSides) res.icons.pixmap(icon, side, dpr);
    res.icons.shadow(icon, M::fullIcon * M::selectedIconScale, dpr, M::iconShadowBlur);
}

void ModernView::warmIcons(const HUDModel& m, PaintResources& res) {
    auto warm = [&](SwitcherRow row, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) {
            if (const StyleTexts::Entry* e = texts_.at(m, row, static_cast<int>(i)))
                warmIcon(e->icon, res, ctx_.devicePixelRatio);
        }
    };
    warm(SwitcherRow::recents, m.visible().size());
    warm(SwitcherRow::favourites, m.favourites().size());
}

void ModernView::sync(const HUDModel& m, const StyleContext& ctx, PaintResources& res, double now) {
    const bool rescale = ctx.devicePixelRatio != ctx_.devicePixelRatio;
    ctx_ = ctx;
    now_ = now;
    const bool fresh = m.generation() != generation_;
    generation_ = m.generation();
    if (fresh || m.labelStyle() != labelStyle_) {
        labelStyle_ = m.labelStyle();
        texts_.use(generation_, recipesFor(labelStyle_), *ctx.fonts);
        space_.prepare(QTransform(), ctx.fonts->font(18, QFont::DemiBold));
    }
    if (texts_.prepare(m, res.icons) || fresh || rescale) warmIcons(m, res);

    layoutModern(m, *ctx.fonts, ctx.appearance, ctx.composited, next_);
    const bool focusChanged = m.focus() != focus_;
    focus_ = m.focus();

    if (fresh || target_.empty || next_.empty) {
        // A new showing starts where it is meant to be, with nothing carried over.
        std::swap(target_, next_);
        blending_ = false;
        focusBlend_.snap(1);
        plateX_.snap(plateTarget());
        thumb_.snap(target_.scroll.thumb().offset);
        leading_.snap(target_.leading.opacity);
        trailing_.snap(target_.trailing.opacity);
        ring_.snap(target_.ringProgress);
        updateCaption(m, now, true);
    } else {
        if (focusChanged) {
            // The whole card moves to its new shape from what is on screen now.
            blending_ = sameModernShape(shown_, next_);
            if (blending_) {
                from_ = shown_;
                focusBlend_.snap(0);
                focusBlend_.retarget(1, now);
            }
        } else if (blending_ && !sameModernShape(from_, next_)) {
            blending_ = false;
        }
        std::swap(target_, next_);
        // The plate belongs to the focused row: it slides along a row, and appears in the
        // row that takes the focus.
        if (focusChanged) {
            plateX_.snap(plateTarget());
        } else {
            plateX_.retarget(plateTarget(), now);
        }
        thumb_.retarget(target_.scroll.thumb().offset, now);
        leading_.retarget(target_.leading.opacity, now);
        trailing_.retarget(target_.trailing.opacity, now);
        ring_.retarget(target_.ringProgress, now);
        updateCaption(m, now, false);
    }
    updateBrushes();
    compose(now);
}

void ModernView::updateCaption(const HUDModel& m, double now, bool fresh) {
    const ModernCaption& c = target_.caption;
    const StyleTexts::Entry* e = c.present && c.index >= 0 ? texts_.at(m, c.row, c.index) : nullptr;
    const QStaticText* title = e && !e->text[captionTitle].text().isEmpty() ? &e->text[captionTitle] : &space_;
    const QStaticText* subtitle =
        e && c.hasSubtitle && !e->text[captionSubtitle].text().isEmpty() ? &e->text[captionSubtitle] : nullptr;
    const bool same = caption_.title.text() == title->text() && caption_.hasSubtitle == (subtitle != nullptr) &&
                      (!subtitle || caption_.subtitle.text() == subtitle->text());
    if (same && !fresh) return;
    if (fresh) {
        previousCaption_.hasSubtitle = false;
        previousCaption_.title = space_;
        captionFade_.snap(1);
    } else {
        previousCaption_ = caption_;
        captionFade_.snap(0);
        captionFade_.retarget(1, now);
    }
    caption_.title = *title;
    caption_.subtitle = subtitle ? *subtitle : space_;
    caption_.hasSubtitle = subtitle != nullptr;
}

void ModernView::compose(double now) {
    now_ = now;
    if (blending_ && !focusBlend_.settled(now)) {
        blendModern(from_, target_, focusBlend_.value(now), shown_);
    } else {
        blending_ = false;
        shown_ = target_;
    }
    // Along a row the plate slides on its spring; while the focus changes rows it stays with
    // the blended icon box.
    ModernRow& row = focus_ == SwitcherRow::favourites ? shown_.favourites : shown_.recents;
    if (!blending_ && row.selection >= 0) row.plate.moveLeft(row.cells.left() + plateX_.value(now));
    shown_.leading.opacity = leading_.value(now);
    shown_.trailing.opacity = trailing_.value(now);
    shown_.ringProgress = ring_.value(now);
}

bool ModernView::advance(double now) {
    compose(now);
    return blending_ || !plateX_.settled(now) || !thumb_.settled(now) || !leading_.settled(now) ||
           !trailing_.settled(now) || !captionFade_.settled(now) || !ring_.settled(now);
}

void ModernView::settle() {
    blending_ = false;
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
    return shown_.empty ? QPainterPath() : continuousRoundedRect(shown_.card, M::cardRadius);
}

void ModernView::updateBrushes() {
    const ModernColours& c = target_.colours;
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

bool fresh(const QImage& image, QSizeF size, double dpr) {
    return !image.isNull() && image.devicePixelRatio() == dpr &&
           image.size() ==
               QSize(static_cast<int>(std::ceil(size.width() * dpr)), static_cast<int>(std::ceil(size.height() * dpr)));
}

void punchOut(QPainter& p, const QPainterPath& shape) {
    p.setCompositionMode(QPainter::CompositionMode_DestinationOut);
    p.fillPath(shape, Qt::black);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

QImage blankLayer(QSizeF size, double dpr) {
    QImage image(static_cast<int>(std::ceil(size.width() * dpr)), static_cast<int>(std::ceil(size.height() * dpr)),
                 QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::transparent);
    return image;
}

}  // namespace

const QImage& ModernView::cardLayer(PaintResources& res) {
    const ModernLayout& L = shown_;
    const double dpr = ctx_.devicePixelRatio;
    // The card sits at the shadow margin of its layer, as it does in the content.
    const QSizeF size(L.card.width() + 2 * M::shadowPad, L.card.height() + 2 * M::shadowPad);
    if (card_.size == size && fresh(card_.image, size, dpr) && sameColours(card_.colours, L.colours) &&
        card_.composited == ctx_.composited)
        return card_.image;
    card_ = Layer{blankLayer(size, dpr), size, dpr, L.colours, ctx_.composited};
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
    const ModernColours& c = shown_.colours;
    const double dpr = ctx_.devicePixelRatio;
    const QSizeF size(M::plate + 2 * glowMargin, M::plate + 2 * glowMargin);
    if (fresh(plate_.image, size, dpr) && sameColours(plate_.colours, c)) return plate_.image;
    plate_ = Layer{blankLayer(size, dpr), size, dpr, c, ctx_.composited};
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
        const ModernCell& c = row.cellList[i];
        const StyleTexts::Entry* e = texts_.at(m, which, static_cast<int>(i));
        const QRectF icon = scaledAbout(c.icon, c.iconScale);
        const AppIconCache::Entry* ie = e ? e->icon : res.icons.resolve(std::nullopt);
        p.setOpacity(c.iconOpacity);
        if (ie->kind() == AppIconCache::Kind::addFavourites) {
            drawSymbol(p, Symbol::plusCircleFill, scaledAbout(icon, addFavouritesSymbolScale), secondary_);
        } else {
            if (c.shadowOpacity > 0) {
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
            if (const QPixmap* pm = res.icons.pixmap(ie, pixmapSide(icon.width()), dpr))
                p.drawPixmap(icon, *pm, QRectF(QPointF(0, 0), pm->size()));
        }
        if (!c.label.isNull() && c.labelOpacity > 0 && e) {
            p.setOpacity(c.labelOpacity);
            const std::size_t t = c.selected ? labelTitleSelected : labelTitle;
            p.setFont(texts_.font(t));
            p.setPen(c.selected ? primaryText_ : secondaryText_);
            drawTextCentred(p, c.labelTitle, e->text[t]);
            if (c.hasLabelSubtitle) {
                p.setFont(texts_.font(labelSubtitle));
                p.setPen(secondaryText_);
                drawTextCentred(p, c.labelSubtitle, e->text[labelSubtitle]);
            }
        }
    }
}

void ModernView::paintCaption(QPainter& p, const Caption& c, double opacity) {
    if (opacity <= 0.001) return;
    const ModernCaption& frame = shown_.caption;
    p.setOpacity(opacity);
    p.setFont(texts_.font(captionTitle));
    p.setPen(primaryText_);
    drawTextCentred(p, frame.title, c.title);
    if (c.hasSubtitle) {
        QRectF sub(frame.title.left(), frame.title.bottom() + 3, frame.title.width(), frame.subtitle.height());
        p.setFont(texts_.font(captionSubtitle));
        p.setPen(secondaryText_);
        drawTextCentred(p, sub, c.subtitle);
    }
}

void ModernView::paint(QPainter& p, const HUDModel& m, PaintResources& res) {
    const ModernLayout& L = shown_;
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
        const ScrollTrack::Thumb thumb{L.scroll.thumb().length, thumb_.value(now_)};
        p.setPen(Qt::NoPen);
        p.setBrush(thumbBrush_);
        const double r = L.scroll.height / 2;
        p.drawRoundedRect(
            QRectF(L.scrollTrack.left() + thumb.offset, L.scrollTrack.top(), thumb.length, L.scroll.height), r, r);
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
