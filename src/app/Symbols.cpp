#include "app/Symbols.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPathStroker>
#include <QPixmap>
#include <QtMath>
#include <map>

namespace trellick::ui {

namespace {

QPainterPath stroked(const QPainterPath& path, qreal width, Qt::PenCapStyle cap = Qt::RoundCap) {
    QPainterPathStroker s;
    s.setWidth(width);
    s.setCapStyle(cap);
    s.setJoinStyle(Qt::RoundJoin);
    return s.createStroke(path).simplified();
}

QPainterPath circle(qreal cx, qreal cy, qreal r) {
    QPainterPath p;
    p.addEllipse(QPointF(cx, cy), r, r);
    return p;
}

QPainterPath roundedRect(qreal x, qreal y, qreal w, qreal h, qreal r) {
    QPainterPath p;
    p.addRoundedRect(QRectF(x, y, w, h), r, r);
    return p;
}

QPainterPath polyline(std::initializer_list<QPointF> points) {
    QPainterPath p;
    bool first = true;
    for (const QPointF& pt : points) {
        if (first)
            p.moveTo(pt);
        else
            p.lineTo(pt);
        first = false;
    }
    return p;
}

QPainterPath gear() {
    QPainterPath body = circle(10, 10, 6.4);
    for (int i = 0; i < 8; ++i) {
        QTransform t;
        t.translate(10, 10);
        t.rotate(i * 45.0);
        body = body.united(t.map(roundedRect(-1.7, -9.3, 3.4, 4.5, 0.9)));
    }
    return body.subtracted(circle(10, 10, 2.7));
}

QPainterPath hand() {
    // An open hand, with two motion strokes beside it for the swipe.
    QPainterPath p = roundedRect(3.2, 8.6, 9.6, 9.6, 3.6);
    p = p.united(roundedRect(3.4, 4.6, 2.2, 8.0, 1.1));
    p = p.united(roundedRect(5.9, 2.4, 2.2, 9.0, 1.1));
    p = p.united(roundedRect(8.4, 3.0, 2.2, 8.6, 1.1));
    p = p.united(roundedRect(10.8, 5.0, 2.0, 7.0, 1.0));
    QTransform t;
    t.translate(12.2, 12.6);
    t.rotate(-40);
    p = p.united(t.map(roundedRect(-1.1, -4.6, 2.2, 5.6, 1.1)));
    QPainterPath motion;
    motion.moveTo(15.6, 5.2);
    motion.quadTo(17.6, 8.2, 15.6, 11.2);
    motion.moveTo(17.8, 3.8);
    motion.quadTo(20.4, 8.2, 17.8, 12.6);
    return p.united(stroked(motion, 1.3));
}

QPainterPath stack() {
    QPainterPath p = roundedRect(1.8, 7.2, 16.4, 10.8, 2.4);
    p = p.united(roundedRect(3.8, 4.2, 12.4, 1.7, 0.85));
    return p.united(roundedRect(6.0, 1.6, 8.0, 1.5, 0.75));
}

QPainterPath star() {
    QPolygonF poly;
    for (int i = 0; i < 10; ++i) {
        qreal r = (i % 2 == 0) ? 8.6 : 3.7;
        qreal a = qDegreesToRadians(-90.0 + i * 36.0);
        poly << QPointF(10 + r * std::cos(a), 10.6 + r * std::sin(a));
    }
    QPainterPath p;
    p.addPolygon(poly);
    p.closeSubpath();
    // Softened points, as the system's symbols have.
    return p.united(stroked(p, 1.4));
}

QPainterPath ecg() {
    return stroked(
        polyline(
            {{1.2, 10.5}, {5.0, 10.5}, {7.0, 5.6}, {9.6, 16.2}, {12.2, 3.2}, {14.2, 12.4}, {15.6, 10.5}, {18.8, 10.5}}),
        1.9);
}

QPainterPath chevron(bool up) {
    QPainterPath p =
        up ? polyline({{4.5, 13.2}, {10, 7.2}, {15.5, 13.2}}) : polyline({{4.5, 7.4}, {10, 13.4}, {15.5, 7.4}});
    return stroked(p, 2.3);
}

QPainterPath plusBars(qreal half, qreal width) {
    QPainterPath bars;
    bars.moveTo(10 - half, 10);
    bars.lineTo(10 + half, 10);
    bars.moveTo(10, 10 - half);
    bars.lineTo(10, 10 + half);
    return stroked(bars, width);
}

QPainterPath dashedApp() {
    QPainterPathStroker s;
    s.setWidth(1.5);
    s.setDashPattern(QVector<qreal>{2.2, 1.6});
    s.setCapStyle(Qt::FlatCap);
    return s.createStroke(roundedRect(2.5, 2.5, 15, 15, 4)).simplified();
}

QPainterPath folderOutline() {
    QPainterPath p;
    p.moveTo(2.2, 5.2);
    p.quadTo(2.2, 3.6, 3.8, 3.6);
    p.lineTo(7.6, 3.6);
    p.lineTo(9.4, 5.6);
    p.lineTo(16.2, 5.6);
    p.quadTo(17.8, 5.6, 17.8, 7.2);
    p.lineTo(17.8, 15.0);
    p.quadTo(17.8, 16.6, 16.2, 16.6);
    p.lineTo(3.8, 16.6);
    p.quadTo(2.2, 16.6, 2.2, 15.0);
    p.closeSubpath();
    QPainterPath tab;
    tab.moveTo(2.2, 8.2);
    tab.lineTo(17.8, 8.2);
    return stroked(p, 1.5).united(stroked(tab, 1.3));
}

QPainterPath info() {
    QPainterPath mark = circle(10, 6.0, 1.3).united(roundedRect(8.9, 8.6, 2.2, 6.6, 1.1));
    return circle(10, 10, 9).subtracted(mark);
}

QPainterPath lockShield() {
    QPainterPath shield;
    shield.moveTo(10, 1.6);
    shield.lineTo(16.8, 4.2);
    shield.lineTo(16.8, 9.4);
    shield.cubicTo(16.8, 13.8, 13.8, 16.8, 10, 18.4);
    shield.cubicTo(6.2, 16.8, 3.2, 13.8, 3.2, 9.4);
    shield.lineTo(3.2, 4.2);
    shield.closeSubpath();
    QPainterPath shackle;
    shackle.moveTo(8.2, 9.4);
    shackle.lineTo(8.2, 8.0);
    shackle.arcTo(QRectF(8.2, 6.2, 3.6, 3.6), 180, -180);
    shackle.lineTo(11.8, 9.4);
    return stroked(shield, 1.5).united(roundedRect(7.0, 9.2, 6.0, 4.8, 1.0)).united(stroked(shackle, 1.3, Qt::FlatCap));
}

QPainterPath checkmarkCircle() {
    return circle(10, 10, 9).subtracted(stroked(polyline({{5.8, 10.4}, {8.8, 13.3}, {14.4, 7.2}}), 2.1));
}

QPainterPath exclamationCircle() {
    QPainterPath ring = circle(10, 10, 8.9).subtracted(circle(10, 10, 7.4));
    return ring.united(roundedRect(9.05, 4.8, 1.9, 6.8, 0.95)).united(circle(10, 14.4, 1.15));
}

QPainterPath powerSymbol() {
    QPainterPath arc;
    // Open at the top, where the bar stands.
    arc.arcMoveTo(QRectF(3, 3.6, 14, 14), 125);
    arc.arcTo(QRectF(3, 3.6, 14, 14), 125, 290);
    QPainterPath bar;
    bar.moveTo(10, 2.2);
    bar.lineTo(10, 9.4);
    return stroked(arc, 1.8).united(stroked(bar, 1.8));
}

QPainterPath copies() {
    QPainterPath back = stroked(roundedRect(6.6, 2.2, 10.8, 12.2, 2), 1.5);
    QPainterPath front = roundedRect(2.6, 5.8, 10.8, 12.2, 2);
    return back.subtracted(front.united(stroked(front, 2.6))).united(stroked(front, 1.5));
}

QPainterPath build(Symbol s) {
    switch (s) {
    case Symbol::gearshapeFill:
        return gear();
    case Symbol::handDrawFill:
        return hand();
    case Symbol::rectangleStackFill:
        return stack();
    case Symbol::starFill:
        return star();
    case Symbol::waveformPathEcg:
        return ecg();
    case Symbol::chevronUp:
        return chevron(true);
    case Symbol::chevronDown:
        return chevron(false);
    case Symbol::minusCircleFill: {
        QPainterPath bar;
        bar.moveTo(5.6, 10);
        bar.lineTo(14.4, 10);
        return circle(10, 10, 9).subtracted(stroked(bar, 2.2));
    }
    case Symbol::plus:
        return plusBars(7, 2.0);
    case Symbol::plusCircleFill:
        return circle(10, 10, 9).subtracted(plusBars(4.6, 2.1));
    case Symbol::appDashed:
        return dashedApp();
    case Symbol::folder:
        return folderOutline();
    case Symbol::infoCircleFill:
        return info();
    case Symbol::lockShield:
        return lockShield();
    case Symbol::checkmarkCircleFill:
        return checkmarkCircle();
    case Symbol::exclamationmarkCircle:
        return exclamationCircle();
    case Symbol::power:
        return powerSymbol();
    case Symbol::docOnDoc:
        return copies();
    }
    return {};
}

}  // namespace

QPainterPath symbolPath(Symbol symbol) {
    // Boolean path operations are not cheap; every symbol is built once.
    static std::map<Symbol, QPainterPath> cache;
    auto it = cache.find(symbol);
    if (it == cache.end()) it = cache.emplace(symbol, build(symbol)).first;
    return it->second;
}

void paintSymbol(QPainter& painter, Symbol symbol, const QRectF& box, const QColor& colour) {
    const qreal side = std::min(box.width(), box.height());
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(box.center().x() - side / 2, box.center().y() - side / 2);
    painter.scale(side / 20.0, side / 20.0);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawPath(symbolPath(symbol));
    painter.restore();
}

QIcon symbolIcon(Symbol symbol, const QColor& colour, int size) {
    QIcon icon;
    for (qreal ratio : {1.0, 2.0}) {
        QPixmap pm(QSize(size, size) * ratio);
        pm.setDevicePixelRatio(ratio);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        paintSymbol(p, symbol, QRectF(0, 0, size, size), colour);
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

}  // namespace trellick::ui
