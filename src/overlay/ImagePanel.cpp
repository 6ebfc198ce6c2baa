#include "overlay/ImagePanel.h"

#include <QPainter>
#include <chrono>
#include <cmath>

namespace trellick {

ImagePanel::ImagePanel(const HUDModel& live, std::function<double()> clock)
    : renderer_(live), clock_(std::move(clock)) {
    if (!clock_) {
        clock_ = [] {
            return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
        };
    }
}

QSizeF ImagePanel::fittingSize(const HUDModel& model) {
    return renderer_.fittingSize(model);
}

void ImagePanel::show(double fadeSeconds) {
    visible_ = true;
    // Without a compositor a window cannot fade: it is shown at once.
    if (renderer_.context().composited) {
        fade_.start(clock_(), fadeSeconds);
    } else {
        fade_.finish();
    }
}

void ImagePanel::prefetch(const std::vector<SwitchTarget>& targets) {
    for (const auto& t : targets) renderer_.prefetch(t.icon);
}

QImage ImagePanel::render(bool settled) {
    QImage image;
    renderInto(image, settled);
    return image;
}

void ImagePanel::renderInto(QImage& image, bool settled) {
    if (!visible_) {
        image = QImage();
        return;
    }
    const double dpr = renderer_.context().devicePixelRatio;
    const QSize device(static_cast<int>(std::lround(frame_.width() * dpr)),
                       static_cast<int>(std::lround(frame_.height() * dpr)));
    if (image.size() != device || image.format() != QImage::Format_ARGB32_Premultiplied)
        image = QImage(device, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::transparent);
    const double now = clock_();
    renderer_.update(now);
    renderer_.advance(now);
    if (settled) {
        renderer_.settle();
        fade_.finish();
    }
    QPainter p(&image);
    if (!renderer_.context().composited) {
        // As an opaque window cut to the card's shape shows it.
        p.setClipRegion(renderer_.cardRegion(frame_.size()));
        p.fillRect(QRectF(QPointF(0, 0), frame_.size()), renderer_.edgeColour());
    }
    renderer_.paint(p, frame_.size());
    if (double opacity = fade_.opacity(now); opacity < 1) {
        // The window's opacity, as a compositor would apply it.
        p.setClipping(false);
        p.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        p.fillRect(QRectF(QPointF(0, 0), frame_.size()), QColor::fromRgbF(0, 0, 0, static_cast<float>(opacity)));
    }
}

}  // namespace trellick
