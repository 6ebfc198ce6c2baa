#include "overlay/Symbols.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPathStroker>
#include <QPolygonF>
#include <array>

#include "overlay/Drawing.h"

namespace trellick {

namespace {

struct Shape {
    const char* name;
    double height;  // of the glyph box, in font sizes
    double aspect;  // width over height
};

constexpr std::array<Shape, 10> shapes{{
    {"pin.fill", 1.0, 0.66},
    {"chevron.compact.left", 1.0, 0.4},
    {"chevron.compact.right", 1.0, 0.4},
    {"xmark", 0.75, 1.0},
    {"rectangle.2.swap", 0.8, 1.2},
    {"minus", 0.75, 1.0},
    {"square", 0.8, 1.0},
    {"arrowtriangle.left.fill", 0.75, 0.9},
    {"arrowtriangle.right.fill", 0.75, 0.9},
    {"plus.circle.fill", 1.0, 1.0},
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

// Symbols are built 100 units high: path operations flatten curves at the path's own
// scale, so a unit-sized circle would come out as an octagon.
constexpr double K = 100;

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

QPainterPath build(Symbol s, SymbolWeight weight) {
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
    }
    // Every path above comes out of simplified() or a boolean operation: odd-even keeps holes.
    return path;
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
    const double a = shapeOf(s).aspect;
    const double scale = std::min(box.width() / a, box.height());
    if (scale <= 0 || brush.style() == Qt::NoBrush) return;
    const QTransform old = p.worldTransform();
    p.setWorldTransform(
        QTransform(scale / K, 0, 0, scale / K, box.center().x() - a * scale / 2, box.center().y() - scale / 2) * old);
    p.fillPath(symbolPath(s, weight), brush);
    p.setWorldTransform(old);
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
