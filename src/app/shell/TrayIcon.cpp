#include "app/shell/TrayIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include "app/Application.h"

namespace trellick {

namespace {

// Light strokes inside a dark outline: legible on light panels and on dark ones alike, since
// no panel can match both colours.
const QColor kStroke(245, 245, 245);
const QColor kOutline(20, 20, 20, 235);
const QColor kFill(45, 45, 45);
constexpr double kWidth = 2.2, kOutlineWidth = 4.6;

QPen pen(const QColor& colour, double width) {
    QPen p(colour, width);
    p.setJoinStyle(Qt::RoundJoin);
    p.setCapStyle(Qt::RoundCap);
    return p;
}

}  // namespace

QIcon drawTrayIcon() {
    QIcon icon;
    QPainterPath back, front, arrow;
    back.addRoundedRect(QRectF(3, 4, 17, 13), 2.5, 2.5);
    front.addRoundedRect(QRectF(12, 13, 17, 13), 2.5, 2.5);
    // The swap: an arrow going right inside the front window.
    arrow.moveTo(16, 19.5);
    arrow.lineTo(25, 19.5);
    arrow.moveTo(22, 16.8);
    arrow.lineTo(25, 19.5);
    arrow.lineTo(22, 22.2);
    for (int size : {16, 22, 24, 32, 48, 64}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 32.0, size / 32.0);
        // The back window, then the front one covering its lower right.
        p.strokePath(back, pen(kOutline, kOutlineWidth));
        p.strokePath(back, pen(kStroke, kWidth));
        p.strokePath(front, pen(kOutline, kOutlineWidth));
        p.fillPath(front, kFill);
        p.strokePath(front, pen(kStroke, kWidth));
        p.strokePath(arrow, pen(kStroke, kWidth * 0.9));
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

QIcon applicationIcon() {
    return QIcon::fromTheme(kApplicationId, drawTrayIcon());
}

}  // namespace trellick
