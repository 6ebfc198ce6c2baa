#include "overlay/PartsView.h"

#include <QPainter>

#include "overlay/Drawing.h"
#include "overlay/OverlayFonts.h"
#include "overlay/Symbols.h"

namespace trellick {

namespace {

enum CaptionText { captionTitle, captionSubtitle };
enum LabelText { labelTitleSelected, labelTitle, labelSubtitle };

}  // namespace

PartsView::PartsView(std::span<const double> restingSides, double captionFade)
    : captionFade_(captionFade, Curve::easeInOut), restingSides_(restingSides.begin(), restingSides.end()) {
    space_.setTextFormat(Qt::PlainText);
    space_.setText(QStringLiteral(" "));
}

void PartsView::warmIcon(const AppIconCache::Entry* icon, PaintResources& res, double dpr) const {
    if (!icon || icon->kind() == AppIconCache::Kind::addFavourites) return;
    for (double side : restingSides_) res.icons.pixmap(icon, side, dpr);
}

void PartsView::warmIcons(const HUDModel& m, PaintResources& res) {
    auto warm = [&](SwitcherRow row, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) {
            if (const StyleTexts::Entry* e = texts_.at(m, row, static_cast<int>(i)))
                warmIcon(e->icon, res, ctx_.devicePixelRatio);
        }
    };
    warm(SwitcherRow::recents, m.visible().size());
    warm(SwitcherRow::favourites, m.favourites().size());
}

PartsView::Start PartsView::begin(const HUDModel& m, const StyleContext& ctx, PaintResources& res, double now) {
    const bool rescale = ctx.devicePixelRatio != ctx_.devicePixelRatio;
    ctx_ = ctx;
    now_ = now;
    const bool fresh = m.generation() != generation_;
    generation_ = m.generation();
    if (fresh || m.labelStyle() != labelStyle_) {
        labelStyle_ = m.labelStyle();
        texts_.use(generation_, recipesFor(labelStyle_), *ctx.fonts);
        prepareTexts(*ctx.fonts);
    }
    if (texts_.prepare(m, res.icons) || fresh || rescale) warmIcons(m, res);
    const bool focusChanged = m.focus() != focus_;
    focus_ = m.focus();
    return {fresh, focusChanged};
}

double PartsView::pixmapSide(double drawn) const {
    for (double s : restingSides_)
        if (s >= drawn - 0.5) return s;
    return restingSides_.back();
}

const AppIconCache::Entry* PartsView::iconOf(const StyleTexts::Entry* e, PaintResources& res) const {
    return e ? e->icon : res.icons.resolve(std::nullopt);
}

void PartsView::paintIcon(QPainter& p, const AppIconCache::Entry* icon, const QRectF& rect, const QBrush& symbol,
                          PaintResources& res) const {
    if (icon->kind() == AppIconCache::Kind::addFavourites) {
        drawSymbol(p, Symbol::plusCircleFill, rect, symbol);
    } else if (const QPixmap* pm = res.icons.pixmap(icon, pixmapSide(rect.width()), ctx_.devicePixelRatio)) {
        p.drawPixmap(rect, *pm, QRectF(QPointF(0, 0), pm->size()));
    }
}

void PartsView::paintLabel(QPainter& p, const PartCell& c, const StyleTexts::Entry& e, const QPen& primary,
                           const QPen& secondary) const {
    if (c.label.isNull() || c.labelOpacity <= 0) return;
    p.setOpacity(c.labelOpacity);
    const std::size_t t = c.selected ? labelTitleSelected : labelTitle;
    p.setFont(texts_.font(t));
    p.setPen(c.selected ? primary : secondary);
    drawStaticTextCentred(p, c.labelTitle, e.text[t]);
    if (c.hasLabelSubtitle) {
        p.setFont(texts_.font(labelSubtitle));
        p.setPen(secondary);
        drawStaticTextCentred(p, c.labelSubtitle, e.text[labelSubtitle]);
    }
}

void PartsView::updateCaption(const PartCaption& c, const HUDModel& m, double now, bool fresh, bool fade) {
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

void PartsView::paintCaption(QPainter& p, const PartCaption& frame, const Caption& c, double opacity,
                             double lineSpacing, const QPen& primary, const QPen& secondary) {
    if (opacity <= 0.001) return;
    p.setOpacity(opacity);
    p.setFont(texts_.font(captionTitle));
    p.setPen(primary);
    drawStaticTextCentred(p, frame.title, c.title);
    if (c.hasSubtitle) {
        const QRectF sub(frame.title.left(), frame.title.bottom() + lineSpacing, frame.title.width(),
                         frame.subtitle.height());
        p.setFont(texts_.font(captionSubtitle));
        p.setPen(secondary);
        drawStaticTextCentred(p, sub, c.subtitle);
    }
}

void PartsView::paintCaptions(QPainter& p, const PartCaption& frame, double lineSpacing, const QPen& primary,
                              const QPen& secondary) {
    const double mixIn = captionFade_.value(now_);
    paintCaption(p, frame, previousCaption_, 1 - mixIn, lineSpacing, primary, secondary);
    paintCaption(p, frame, caption_, mixIn, lineSpacing, primary, secondary);
}

}  // namespace trellick
