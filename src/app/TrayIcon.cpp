#include "app/TrayIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace trellick {

QIcon drawTrayIcon() {
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 32.0, size / 32.0);
        QPen pen(QColor(230, 230, 230), 2.2);
        pen.setJoinStyle(Qt::RoundJoin);
        pen.setCapStyle(Qt::RoundCap);
        p.setPen(pen);
        // The back window, then the front one covering its lower right.
        p.drawRoundedRect(QRectF(3, 4, 17, 13), 2.5, 2.5);
        p.setBrush(QColor(60, 60, 60));
        p.drawRoundedRect(QRectF(12, 13, 17, 13), 2.5, 2.5);
        p.setBrush(Qt::NoBrush);
        // The swap: an arrow going right along the bottom, one going left along the top.
        QPainterPath arrows;
        arrows.moveTo(15, 21);
        arrows.lineTo(26, 21);
        arrows.moveTo(23, 18.5);
        arrows.lineTo(26, 21);
        arrows.lineTo(23, 23.5);
        p.drawPath(arrows);
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

}  // namespace trellick
