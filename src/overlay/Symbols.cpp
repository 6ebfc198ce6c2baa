#include "overlay/Symbols.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPathStroker>
#include <QPixmap>
#include <QPolygonF>
#include <QtMath>
#include <array>

#include "overlay/Drawing.h"

namespace trellick {

namespace {

struct Shape {
    const char* name;
    double height;  // of the glyph box, in font sizes
    double aspect;  // width over height
    double units;   // the path's box height
};

// Glyphs are built 100 units high: path operations flatten curves at the path's own scale,
// so a unit-sized circle would come out as an octagon. The windows' symbols, drawn at 12 to
// 24 pixels, are built in a 20 x 20 box.
constexpr double K = 100;
constexpr double windowUnits = 20;

constexpr std::array<Shape, 28> shapes{{
    {"pin.fill", 1.0, 0.66, K},
    {"chevron.compact.left", 1.0, 0.4, K},
    {"chevron.compact.right", 1.0, 0.4, K},
    {"xmark", 0.75, 1.0, K},
    {"rectangle.2.swap", 0.8, 1.2, K},
    {"minus", 0.75, 1.0, K},
    {"square", 0.8, 1.0, K},
    {"arrowtriangle.left.fill", 0.75, 0.9, K},
    {"arrowtriangle.right.fill", 0.75, 0.9, K},
    {"plus.circle.fill", 1.0, 1.0, K},
    {"gearshape.fill", 1.0, 1.0, windowUnits},
    {"hand.draw.fill", 1.0, 1.0, windowUnits},
    {"rectangle.stack.fill", 1.0, 1.0, windowUnits},
    {"star.fill", 1.0, 1.0, windowUnits},
    {"waveform.path.ecg", 1.0, 1.0, windowUnits},
    {"chevron.up", 1.0, 1.0, windowUnits},
    {"chevron.down", 1.0, 1.0, windowUnits},
    {"minus.circle.fill", 1.0, 1.0, windowUnits},
    {"plus", 1.0, 1.0, windowUnits},
    {"plus.circle.fill", 1.0, 1.0, windowUnits},
    {"app.dashed", 1.0, 1.0, windowUnits},
    {"folder", 1.0, 1.0, windowUnits},
    {"info.circle.fill", 1.0, 1.0, windowUnits},
    {"lock.shield", 1.0, 1.0, windowUnits},
    {"checkmark.circle.fill", 1.0, 1.0, windowUnits},
    {"exclamationmark.circle", 1.0, 1.0, windowUnits},
    {"power", 1.0, 1.0, windowUnits},
    {"doc.on.doc", 1.0, 1.0, windowUnits},
}};

const Shape& shapeOf(Symbol s) {
    return shapes[static_cast<std::size_t>(s)];
}

// Stroke width per weight, in font sizes.
double strokeFor(SymbolWeight w) {
    constexpr double widths[] = {0.075, 0.085, 0.095, 0.11, 0.13, 0.15};
    return widths[static_cast<int>(w)];
}

QPainterPath stroked(const QPainterPath& line, double width, Qt::PenCapStyle cap = Qt::RoundCap,
                     Qt::PenJoinStyle join = Qt::RoundJoin) {
    QPainterPathStroker s;
    s.setWidth(width);
    s.setCapStyle(cap);
    s.setJoinStyle(join);
    return s.createStroke(line).simplified();
}

QPainterPath rounded(double x, double y, double w, double h, double r) {
    QPainterPath p;
    p.addRoundedRect(QRectF(x * K, y * K, w * K, h * K), r * K, r * K);
    return p;
}

QPainterPath polygon(std::initializer_list<QPointF> points) {
    QPolygonF poly;
    for (QPointF pt : points) poly << pt * K;
    QPainterPath p;
    p.addPolygon(poly);
    p.closeSubpath();
    return p;
}

QPainterPath polyline(std::initializer_list<QPointF> points) {
    QPainterPath p;
    bool first = true;
    for (QPointF pt : points) {
        if (first)
            p.moveTo(pt * K);
        else
            p.lineTo(pt * K);
        first = false;
    }
    return p;
}

QPainterPath mirrored(const QPainterPath& p, double width) {
    return QTransform(-1, 0, 0, 1, width * K, 0).map(p);
}

QPainterPath buildGlyph(Symbol s, SymbolWeight weight) {
    const Shape& sh = shapeOf(s);
    const double w = strokeFor(weight) / sh.height * K;  // stroke, in the symbol's units
    const double a = sh.aspect;
    QPainterPath path;
    switch (s) {
    case Symbol::pinFill:
        path = rounded(0.17, 0.02, 0.32, 0.12, 0.04)
                   .united(polygon({{0.22, 0.13}, {0.44, 0.13}, {0.47, 0.5}, {0.19, 0.5}}))
                   .united(rounded(0.05, 0.48, 0.56, 0.12, 0.05))
                   .united(polygon({{0.31, 0.59}, {0.35, 0.59}, {0.34, 0.98}, {0.32, 0.98}}));
        break;
    case Symbol::chevronCompactLeft:
    case Symbol::chevronCompactRight:
        path = stroked(polyline({{0.30, 0.12}, {0.10, 0.5}, {0.30, 0.88}}), w);
        if (s == Symbol::chevronCompactRight) path = mirrored(path, a);
        break;
    case Symbol::xmark: {
        QPainterPath lines = polyline({{0.14, 0.14}, {0.86, 0.86}});
        lines.addPath(polyline({{0.86, 0.14}, {0.14, 0.86}}));
        path = stroked(lines, w);
        break;
    }
    case Symbol::minus:
        path = stroked(polyline({{0.12, 0.5}, {0.88, 0.5}}), w);
        break;
    case Symbol::square:
        path =
            stroked(polygon({{0.14, 0.14}, {0.86, 0.14}, {0.86, 0.86}, {0.14, 0.86}}), w, Qt::SquareCap, Qt::MiterJoin);
        break;
    case Symbol::rectangle2Swap: {
        // Two windows, the front one covering a corner of the one behind.
        const double g = w / K;
        // Inset so that the heaviest stroke still stays in the box.
        QPainterPath back = rounded(0.1, 0.1, 0.64, 0.46, 0.06), front = rounded(0.46, 0.44, 0.64, 0.46, 0.06);
        path = stroked(back, w)
                   .subtracted(rounded(0.46 - g, 0.44 - g, 0.64 + 2 * g, 0.46 + 2 * g, 0.06))
                   .united(stroked(front, w));
        break;
    }
    case Symbol::arrowtriangleLeftFill:
    case Symbol::arrowtriangleRightFill: {
        QPainterPath tri = polygon({{0.82, 0.1}, {0.1, 0.5}, {0.82, 0.9}});
        // Slightly rounded tips, as the toolkit's filled triangles have.
        path = tri.united(stroked(tri, 0.08 * K));
        if (s == Symbol::arrowtriangleRightFill) path = mirrored(path, a);
        break;
    }
    case Symbol::plusCircleFill: {
        QPainterPath circle;
        circle.addEllipse(QRectF(0, 0, K, K));
        path = circle.subtracted(rounded(0.25, 0.455, 0.5, 0.09, 0.02).united(rounded(0.455, 0.25, 0.09, 0.5, 0.02)));
        break;
    }
    default:  // a window symbol: built by window::build
        break;
    }
    // Every path above comes out of simplified() or a boolean operation: odd-even keeps holes.
    return path;
}

// The windows' symbols, in their 20 x 20 box.
namespace window {

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
    case Symbol::plusCircleFillRound:
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
    default:  // a glyph: built by buildGlyph
        return {};
    }
}

}  // namespace window

QPainterPath build(Symbol s, SymbolWeight weight) {
    return shapeOf(s).units == windowUnits ? window::build(s) : buildGlyph(s, weight);
}

}  // namespace

QSizeF symbolSize(Symbol s, double pointSize) {
    const Shape& sh = shapeOf(s);
    return {sh.height * sh.aspect * pointSize, sh.height * pointSize};
}

const QPainterPath& symbolPath(Symbol s, SymbolWeight weight) {
    static std::array<std::array<std::optional<QPainterPath>, 6>, shapes.size()> cache;
    auto& slot = cache[static_cast<std::size_t>(s)][static_cast<std::size_t>(weight)];
    if (!slot) slot = build(s, weight);
    return *slot;
}

void drawSymbol(QPainter& p, Symbol s, const QRectF& box, const QBrush& brush, SymbolWeight weight) {
    const Shape& sh = shapeOf(s);
    const double a = sh.aspect, u = sh.units;
    const double scale = std::min(box.width() / a, box.height());
    if (scale <= 0 || brush.style() == Qt::NoBrush) return;
    const QTransform old = p.worldTransform();
    p.setWorldTransform(
        QTransform(scale / u, 0, 0, scale / u, box.center().x() - a * scale / 2, box.center().y() - scale / 2) * old);
    p.fillPath(symbolPath(s, weight), brush);
    p.setWorldTransform(old);
}

void paintSymbol(QPainter& painter, Symbol s, const QRectF& box, const QColor& colour) {
    const qreal side = std::min(box.width(), box.height());
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(box.center().x() - side / 2, box.center().y() - side / 2);
    const double u = shapeOf(s).units;
    painter.scale(side / u, side / u);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawPath(symbolPath(s));
    painter.restore();
}

QIcon symbolIcon(Symbol s, const QColor& colour, int size) {
    QIcon icon;
    for (qreal ratio : {1.0, 2.0}) {
        QPixmap pm(QSize(size, size) * ratio);
        pm.setDevicePixelRatio(ratio);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        paintSymbol(p, s, QRectF(0, 0, size, size), colour);
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

QPainterPath retroPointerPath() {
    QPainterPath path;
    path.addPolygon(QPolygonF({{0, 0}, {0, 18}, {4, 14}, {6.7, 20}, {9, 19}, {6.2, 13}, {11.5, 13}}));
    path.closeSubpath();
    return path;
}

void drawGenericAppIcon(QPainter& p, const QRectF& box) {
    const double s = std::min(box.width(), box.height());
    const QRectF tile(box.center().x() - s * 0.44, box.center().y() - s * 0.44, s * 0.88, s * 0.88);
    QLinearGradient slate(tile.topLeft(), tile.bottomLeft());
    slate.setColorAt(0, QColor(0x9a, 0xa6, 0xba));
    slate.setColorAt(1, QColor(0x5f, 0x6d, 0x85));
    p.fillPath(continuousRoundedRect(tile, s * 0.2), slate);
    // A window: a light sheet with a title bar and three buttons.
    const QRectF window(tile.left() + s * 0.17, tile.top() + s * 0.22, s * 0.54, s * 0.44);
    p.fillPath(continuousRoundedRect(window, s * 0.05), QColor(0xf4, 0xf6, 0xfa));
    const QRectF bar(window.left(), window.top(), window.width(), s * 0.1);
    QPainterPath barPath = continuousRoundedRect(window, s * 0.05).intersected([&] {
        QPainterPath r;
        r.addRect(bar);
        return r;
    }());
    p.fillPath(barPath, QColor(0xc4, 0xcd, 0xdb));
    for (int i = 0; i < 3; ++i) {
        double d = s * 0.035;
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x5f, 0x6d, 0x85));
        p.drawEllipse(QRectF(bar.left() + s * 0.04 + i * d * 1.7, bar.center().y() - d / 2, d, d));
    }
    p.setBrush(Qt::NoBrush);
}

}  // namespace trellick
