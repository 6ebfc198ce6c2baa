#include "overlay/Drawing.h"

#include <QPainter>
#include <QStaticText>
#include <algorithm>
#include <cmath>

namespace trellick {

namespace {

// Where a continuous corner leaves the straight edge, and its Bézier handles, in radii. The
// curve's middle lies where a circular corner's would, so the corner looks as large.
constexpr double cornerExtent = 1.3;
constexpr double cornerHandle = 0.35;

}  // namespace

QPainterPath continuousRoundedRect(const QRectF& rect, double radius) {
    QPainterPath path;
    const double x = rect.x(), y = rect.y(), w = rect.width(), h = rect.height();
    double r = std::clamp(radius, 0.0, std::min(w, h) / 2 / cornerExtent);
    if (r <= 0) {
        path.addRect(rect);
        return path;
    }
    const double k = cornerExtent * r, c = cornerHandle * r;
    path.moveTo(x + k, y);
    path.lineTo(x + w - k, y);
    path.cubicTo(x + w - c, y, x + w, y + c, x + w, y + k);
    path.lineTo(x + w, y + h - k);
    path.cubicTo(x + w, y + h - c, x + w - c, y + h, x + w - k, y + h);
    path.lineTo(x + k, y + h);
    path.cubicTo(x + c, y + h, x, y + h - c, x, y + h - k);
    path.lineTo(x, y + k);
    path.cubicTo(x, y + c, x + c, y, x + k, y);
    path.closeSubpath();
    return path;
}

QColor withAlpha(QColor c, double alpha) {
    c.setAlphaF(static_cast<float>(std::clamp(c.alphaF() * alpha, 0.0, 1.0)));
    return c;
}

QImage layerImage(QSizeF size, double dpr) {
    QImage image(static_cast<int>(std::ceil(size.width() * dpr)), static_cast<int>(std::ceil(size.height() * dpr)),
                 QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::transparent);
    return image;
}

bool layerFits(const QImage& image, QSizeF size, double dpr) {
    return !image.isNull() && image.devicePixelRatio() == dpr &&
           image.size() ==
               QSize(static_cast<int>(std::ceil(size.width() * dpr)), static_cast<int>(std::ceil(size.height() * dpr)));
}

void drawStaticTextCentred(QPainter& p, const QRectF& frame, const QStaticText& text) {
    p.drawStaticText(QPointF(std::round(frame.center().x() - text.size().width() / 2), frame.top()), text);
}

void blurAlpha(QImage& img, double sigma) {
    if (sigma <= 0.2 || img.isNull()) return;
    // Three box widths whose succession approximates the Gaussian (Kovesi's rule).
    const int n = 3;
    double ideal = std::sqrt(12 * sigma * sigma / n + 1);
    int wl = static_cast<int>(std::floor(ideal));
    if (wl % 2 == 0) --wl;
    int wu = wl + 2;
    int m = static_cast<int>(std::round((12 * sigma * sigma - n * wl * wl - 4 * n * wl - 3 * n) / (-4.0 * wl - 4)));
    const int w = img.width(), h = img.height();
    std::vector<int> line(static_cast<std::size_t>(std::max(w, h)));
    auto pass = [&](int radius, bool horizontal) {
        const int count = horizontal ? h : w, length = horizontal ? w : h;
        const int span = 2 * radius + 1;
        for (int j = 0; j < count; ++j) {
            auto at = [&](int i) -> uchar& { return horizontal ? img.scanLine(j)[i] : img.scanLine(i)[j]; };
            for (int i = 0; i < length; ++i) line[i] = at(i);
            int sum = 0;
            for (int i = -radius; i <= radius; ++i) sum += (i >= 0 && i < length) ? line[i] : 0;
            for (int i = 0; i < length; ++i) {
                at(i) = static_cast<uchar>((sum + span / 2) / span);
                int out = i - radius, in = i + radius + 1;
                if (out >= 0) sum -= line[out];
                if (in < length) sum += line[in];
            }
        }
    };
    for (int i = 0; i < n; ++i) {
        int radius = ((i < m ? wl : wu) - 1) / 2;
        pass(radius, true);
        pass(radius, false);
    }
}

const ShadowCache::Piece& ShadowCache::piece(double radius, double blur, const QColor& colour, QSizeF size,
                                             double dpr) {
    for (const auto& p : pieces_) {
        if (p.radius == radius && p.blur == blur && p.dpr == dpr && p.colour == colour.rgba() && p.size == size)
            return p;
    }
    if (pieces_.size() >= 12) pieces_.erase(pieces_.begin());
    const double sigma = blur / 2;
    const double margin = std::ceil(3 * sigma) + 1;
    const double k = cornerExtent * radius;
    // The template is large enough that its middle rows and columns are all alike.
    QSizeF shape = size.isEmpty() ? QSizeF(2 * (k + 3 * sigma) + 2, 2 * (k + 3 * sigma) + 2) : size;
    QSize device(static_cast<int>(std::ceil((shape.width() + 2 * margin) * dpr)),
                 static_cast<int>(std::ceil((shape.height() + 2 * margin) * dpr)));
    QImage mask(device, QImage::Format_Alpha8);
    mask.fill(0);
    {
        QPainter mp(&mask);
        mp.setRenderHint(QPainter::Antialiasing);
        mp.scale(dpr, dpr);
        mp.fillPath(continuousRoundedRect(QRectF(QPointF(margin, margin), shape), radius), Qt::black);
    }
    blurAlpha(mask, sigma * dpr);
    QImage image(device, QImage::Format_ARGB32_Premultiplied);
    const int a = colour.alpha();
    for (int y = 0; y < device.height(); ++y) {
        const uchar* src = mask.constScanLine(y);
        auto* dst = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < device.width(); ++x)
            dst[x] = qPremultiply(qRgba(colour.red(), colour.green(), colour.blue(), src[x] * a / 255));
    }
    pieces_.push_back(Piece{radius, blur, dpr, colour.rgba(), size, std::move(image), margin});
    return pieces_.back();
}

void ShadowCache::drawRoundedRect(QPainter& p, const QRectF& rect, double radius, double blurRadius,
                                  const QColor& colour, QPointF offset, double dpr) {
    if (colour.alpha() == 0 || rect.isEmpty()) return;
    radius = std::clamp(radius, 0.0, std::min(rect.width(), rect.height()) / 2 / cornerExtent);
    const double sigma = blurRadius / 2;
    const double span = 2 * (cornerExtent * radius + 3 * sigma) + 2;
    const bool nine = rect.width() >= span && rect.height() >= span;
    const Piece& pc = piece(radius, blurRadius, colour, nine ? QSizeF() : rect.size(), dpr);
    const double m = pc.margin;
    QRectF outer = rect.translated(offset).adjusted(-m, -m, m, m);
    if (!nine) {
        p.drawImage(outer, pc.image);
        return;
    }
    // Corners as they are, edges and middle stretched from their uniform band.
    const double edge = std::ceil(m + cornerExtent * radius + 3 * sigma);
    const double iw = pc.image.width() / dpr, ih = pc.image.height() / dpr;
    const double dx[4] = {outer.left(), outer.left() + edge, outer.right() - edge, outer.right()};
    const double dy[4] = {outer.top(), outer.top() + edge, outer.bottom() - edge, outer.bottom()};
    const double sx[4] = {0, edge, iw - edge, iw};
    const double sy[4] = {0, edge, ih - edge, ih};
    for (int j = 0; j < 3; ++j) {
        for (int i = 0; i < 3; ++i) {
            QRectF target(QPointF(dx[i], dy[j]), QPointF(dx[i + 1], dy[j + 1]));
            QRectF source(QPointF(sx[i] * dpr, sy[j] * dpr), QPointF(sx[i + 1] * dpr, sy[j + 1] * dpr));
            if (target.isEmpty()) continue;
            p.drawImage(target, pc.image, source);
        }
    }
}

}  // namespace trellick
