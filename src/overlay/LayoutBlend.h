#pragma once
// Blending two layouts of one style during an animated change (t = 0 gives the first, 1 the
// second; a spring may overshoot): numbers, rectangles and opacities.

#include <QRectF>
#include <algorithm>

namespace trellick::blend {

inline double value(double a, double b, double t) {
    return a + (b - a) * t;
}

// A rectangle present on one side only stays where it is.
inline QRectF rect(const QRectF& a, const QRectF& b, double t) {
    if (a.isNull()) return b;
    if (b.isNull()) return a;
    return QRectF(value(a.x(), b.x(), t), value(a.y(), b.y(), t), value(a.width(), b.width(), t),
                  value(a.height(), b.height(), t));
}

inline double opacity(double a, double b, double t) {
    return std::clamp(value(a, b, t), 0.0, 1.0);
}

// Places `r`, which lies under `from`, the same way under `to`, scaled with its width: a part
// that fades while the row above it changes moves and shrinks with that row.
inline QRectF under(const QRectF& r, const QRectF& from, const QRectF& to) {
    const double k = from.width() > 0 ? to.width() / from.width() : 1;
    return QRectF(to.left() + (r.left() - from.left()) * k, to.bottom() + (r.top() - from.bottom()), r.width() * k,
                  r.height());
}

}  // namespace trellick::blend
