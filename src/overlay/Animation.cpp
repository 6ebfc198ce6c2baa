#include "overlay/Animation.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace trellick {

Spring::Spring(double response, double dampingFraction, double precision)
    : omega_(2 * std::numbers::pi / std::max(response, 1e-3)),
      zeta_(std::max(dampingFraction, 0.0)),
      precision_(precision) {}

void Spring::snap(double value) {
    target_ = value;
    x0_ = v0_ = 0;
    settleAfter_ = 0;
    start_ = -1e9;
}

// x'' + 2ζω x' + ω² x = 0 with x(0) = x0, x'(0) = v0, x measured from the target.
double Spring::displacement(double t) const {
    const double w = omega_, z = zeta_;
    if (z < 1) {
        double wd = w * std::sqrt(1 - z * z);
        return std::exp(-z * w * t) * (x0_ * std::cos(wd * t) + (v0_ + z * w * x0_) / wd * std::sin(wd * t));
    }
    if (z == 1) return (x0_ + (v0_ + w * x0_) * t) * std::exp(-w * t);
    double s = w * std::sqrt(z * z - 1);
    double r1 = -z * w + s, r2 = -z * w - s;
    double c2 = (v0_ - r1 * x0_) / (r2 - r1);
    double c1 = x0_ - c2;
    return c1 * std::exp(r1 * t) + c2 * std::exp(r2 * t);
}

double Spring::value(double now) const {
    if (settled(now)) return target_;
    return target_ + displacement(std::max(now - start_, 0.0));
}

double Spring::velocity(double now) const {
    if (settled(now)) return 0;
    double t = std::max(now - start_, 0.0), h = 1e-6;
    return (displacement(t + h) - displacement(std::max(t - h, 0.0))) / (t + h - std::max(t - h, 0.0));
}

void Spring::retarget(double target, double now) {
    double x = value(now), v = velocity(now);
    target_ = target;
    x0_ = x - target;
    v0_ = v;
    start_ = now;
    if (std::abs(x0_) < precision_ && std::abs(v0_) < precision_) {
        snap(target);
        return;
    }
    // At rest once the decaying envelope A·e^(-rate·t) is within `precision` of the target.
    const double w = omega_, z = zeta_;
    double amplitude, rate;
    if (z < 1) {
        double wd = w * std::sqrt(1 - z * z);
        amplitude = std::hypot(x0_, (v0_ + z * w * x0_) / wd);
        rate = z * w;
    } else if (z == 1) {
        // (a + b·t)·e^(-wt) <= (a + 2b/(e·w))·e^(-wt/2)
        amplitude = std::abs(x0_) + 2 * std::abs(v0_ + w * x0_) / (std::numbers::e * w);
        rate = w / 2;
    } else {
        double s = w * std::sqrt(z * z - 1);
        double c2 = (v0_ - (-z * w + s) * x0_) / (-2 * s);
        amplitude = std::abs(x0_ - c2) + std::abs(c2);
        rate = z * w - s;  // the slower of the two decays
    }
    settleAfter_ = rate > 0 ? std::log(std::max(amplitude, precision_) / precision_) / rate : 1e9;
}

namespace {

// The y of a cubic Bézier timing curve through (0,0), (x1,y1), (x2,y2), (1,1) at x.
double bezier(double x1, double y1, double x2, double y2, double x) {
    auto coord = [](double a, double b, double t) {
        return 3 * a * t * (1 - t) * (1 - t) + 3 * b * t * t * (1 - t) + t * t * t;
    };
    double lo = 0, hi = 1, t = x;
    for (int i = 0; i < 40; ++i) {  // bisection: monotonic in x, always converges
        t = (lo + hi) / 2;
        (coord(x1, x2, t) < x ? lo : hi) = t;
    }
    return coord(y1, y2, t);
}

}  // namespace

double curveAt(Curve curve, double t) {
    t = std::clamp(t, 0.0, 1.0);
    switch (curve) {
    case Curve::linear:
        return t;
    case Curve::easeIn:
        return bezier(0.42, 0, 1, 1, t);
    case Curve::easeOut:
        return bezier(0, 0, 0.58, 1, t);
    case Curve::easeInOut:
        return bezier(0.42, 0, 0.58, 1, t);
    }
    return t;
}

void Tween::snap(double value) {
    from_ = to_ = value;
    start_ = -1e9;
}

void Tween::retarget(double target, double now) {
    if (target == to_) return;
    from_ = value(now);
    to_ = target;
    start_ = now;
}

double Tween::value(double now) const {
    if (settled(now) || duration_ <= 0) return to_;
    return from_ + (to_ - from_) * curveAt(curve_, (now - start_) / duration_);
}

}  // namespace trellick
