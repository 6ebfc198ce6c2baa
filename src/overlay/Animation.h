#pragma once
// The overlay's motion: damped springs given as (response, damping fraction), and timed
// curves. Both are solved in closed form from the moment they were last retargeted, so a
// value can be read at any time (the panel's timer, a picture at a given frame time) and a
// retarget in flight carries position and velocity over. Pure; no clock of their own.

namespace trellick {

class Spring {
public:
    // `response`: seconds of one undamped oscillation; `dampingFraction`: 1 is critical,
    // below 1 overshoots. `precision`: how close to the target counts as at rest.
    Spring(double response, double dampingFraction, double precision = 0.01);

    // At rest on `value`.
    void snap(double value);
    // Heads for `target` from wherever it is at `now`, keeping its velocity.
    void retarget(double target, double now);
    double target() const { return target_; }
    double value(double now) const;
    double velocity(double now) const;
    bool settled(double now) const { return now >= start_ + settleAfter_; }

private:
    double displacement(double t) const;
    double omega_, zeta_, precision_;
    double target_ = 0, x0_ = 0, v0_ = 0, start_ = 0, settleAfter_ = 0;
};

enum class Curve { linear, easeIn, easeOut, easeInOut };

// Progress along `curve` at `t` in 0..1 (the usual cubic Béziers of the desktop toolkits).
double curveAt(Curve curve, double t);

class Tween {
public:
    Tween(double duration, Curve curve) : duration_(duration), curve_(curve) {}
    void snap(double value);
    // Heads for `target` from the value shown at `now`; no-op when already heading there.
    void retarget(double target, double now);
    double target() const { return to_; }
    double value(double now) const;
    bool settled(double now) const { return now >= start_ + duration_; }

private:
    double duration_;
    Curve curve_;
    double from_ = 0, to_ = 0, start_ = -1e9;
};

// The panel's fade-in: opacity from 0 to 1 over `seconds` with an ease-out curve.
class FadeIn {
public:
    void start(double now, double seconds) {
        start_ = now;
        duration_ = seconds;
    }
    void finish() { duration_ = 0; }
    double opacity(double now) const {
        return duration_ <= 0 ? 1.0 : curveAt(Curve::easeOut, (now - start_) / duration_);
    }
    bool done(double now) const { return duration_ <= 0 || now >= start_ + duration_; }

private:
    double start_ = 0, duration_ = 0;
};

}  // namespace trellick
