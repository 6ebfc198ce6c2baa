#include "overlay/Widgets.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

#include "overlay/Drawing.h"
#include "overlay/Symbols.h"

namespace trellick {

ScrollTrack::Thumb ScrollTrack::thumb() const {
    double length, position = 0;
    if (count >= 1) {
        double fraction = static_cast<double>(visible) / count;
        length = fraction < 1 ? fraction * width : width;
        length = std::max(length, minThumb);
        if (count > 1) position = static_cast<double>(absolute) / (count - 1);
    } else {
        length = std::max(width, minThumb);
    }
    length = std::min(length, width);
    // A cursor outside the list still keeps the thumb inside its track.
    position = std::clamp(position, 0.0, 1.0);
    return {length, position * (width - length)};
}

void paintScrollThumb(QPainter& p, QPointF origin, double height, ScrollTrack::Thumb thumb, const QBrush& brush) {
    if (thumb.length <= 0) return;
    QRectF r(origin.x() + thumb.offset, origin.y(), thumb.length, height);
    p.setPen(Qt::NoPen);
    p.setBrush(brush);
    double radius = height / 2;
    p.drawRoundedRect(r, radius, radius);
    p.setBrush(Qt::NoBrush);
}

double CancelRing::shownProgress() const {
    return std::isnan(progress) ? 0.0 : std::clamp(progress, 0.0, 1.0);
}

void paintCancelRing(QPainter& p, const QRectF& frame, double progress, const QColor& primary, const QColor& accent) {
    progress = CancelRing{progress}.shownProgress();
    const QRectF circle = frame;  // stroked on the frame's circle: half the line lies outside
    QPen track(withAlpha(primary, CancelRing::trackOpacity), CancelRing::lineWidth);
    p.setBrush(Qt::NoBrush);
    p.setPen(track);
    p.drawEllipse(circle);
    if (progress > 0) {
        QPen arc(accent, CancelRing::lineWidth, Qt::SolidLine, Qt::RoundCap);
        p.setPen(arc);
        // Qt's angles run counter-clockwise from three o'clock in 1/16 degree.
        p.drawArc(circle, 90 * 16, -static_cast<int>(std::lround(progress * 360 * 16)));
    }
    p.setPen(Qt::NoPen);
    QSizeF s = symbolSize(Symbol::xmark, CancelRing::symbolPoints);
    drawSymbol(p, Symbol::xmark, QRectF(frame.center() - QPointF(s.width() / 2, s.height() / 2), s), accent,
               SymbolWeight::bold);
}

}  // namespace trellick
