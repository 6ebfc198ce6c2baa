#include "overlay/OverlayRenderer.h"

#include <QPainter>
#include <cmath>

namespace trellick {

OverlayRenderer::OverlayRenderer(const HUDModel& live, std::function<void()> changed)
    : live_(live), changed_(std::move(changed)) {
    ctx_.fonts = &fonts_;
    watch_ = live_.observe([this](HUDModel::Field) {
        if (dirty_) return;
        dirty_ = true;
        if (changed_) changed_();
    });
}

void OverlayRenderer::setAppearance(const Appearance& appearance) {
    if (appearance == ctx_.appearance) return;
    ctx_.appearance = appearance;
    dirty_ = true;
}

void OverlayRenderer::setComposited(bool composited) {
    if (composited == ctx_.composited) return;
    ctx_.composited = composited;
    dirty_ = true;
}

void OverlayRenderer::setDevicePixelRatio(double dpr) {
    if (dpr == ctx_.devicePixelRatio || dpr <= 0) return;
    ctx_.devicePixelRatio = dpr;
    dirty_ = true;
}

StyleView& OverlayRenderer::view(HUDStyle style) {
    auto& v = views_[static_cast<std::size_t>(style)];
    if (!v) v = makeStyleView(style);
    return *v;
}

QSizeF OverlayRenderer::fittingSize(const HUDModel& model) {
    return view(model.style()).fittingSize(model, ctx_);
}

void OverlayRenderer::prefetch(const std::optional<IconHandle>& icon) {
    PaintResources res{icons_, shadows_};
    view(live_.style()).warmIcon(icons_.resolve(icon), res, ctx_.devicePixelRatio);
}

void OverlayRenderer::update(double now) {
    if (!dirty_) return;
    dirty_ = false;
    current_ = &view(live_.style());
    PaintResources res{icons_, shadows_};
    current_->sync(live_, ctx_, res, now);
}

bool OverlayRenderer::advance(double now) {
    update(now);
    return current_ && current_->advance(now);
}

void OverlayRenderer::settle() {
    if (current_) current_->settle();
}

QPointF OverlayRenderer::contentOrigin(QSizeF panel) const {
    if (!current_) return {};
    QSizeF content = current_->contentSize();
    return QPointF(std::floor((panel.width() - content.width()) / 2),
                   std::floor((panel.height() - content.height()) / 2));
}

QPainterPath OverlayRenderer::cardOutline(QSizeF panel) const {
    if (!current_) return {};
    return current_->cardOutline().translated(contentOrigin(panel));
}

QRegion OverlayRenderer::cardRegion(QSizeF panel) const {
    return QRegion(cardOutline(panel).toFillPolygon().toPolygon());
}

QRectF OverlayRenderer::cardRect(QSizeF panel) const {
    if (!current_) return {};
    return current_->cardRect().translated(contentOrigin(panel));
}

QColor OverlayRenderer::edgeColour() const {
    return current_ ? current_->edgeColour() : QColor(Qt::transparent);
}

void OverlayRenderer::paint(QPainter& p, QSizeF panel) {
    if (!current_) return;
    PaintResources res{icons_, shadows_};
    const QPointF origin = contentOrigin(panel);
    const QTransform old = p.worldTransform();
    p.setWorldTransform(QTransform::fromTranslate(origin.x(), origin.y()) * old);
    current_->paint(p, live_, res);
    p.setWorldTransform(old);
}

}  // namespace trellick
