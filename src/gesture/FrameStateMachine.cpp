#include "gesture/FrameStateMachine.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "common/Log.h"

namespace trellick {

namespace {

struct Centroid {
    float x = 0, y = 0;
};

// Mean of the first k records, summed in record order in 32-bit floats.
Centroid centroidOf(const TouchContact* fingers, int k) {
    Centroid c;
    for (int i = 0; i < k; ++i) {
        c.x += fingers[i].x;
        c.y += fingers[i].y;
    }
    c.x /= static_cast<float>(k);
    c.y /= static_cast<float>(k);
    return c;
}

const char* stateName(GestureState s) {
    switch (s) {
    case GestureState::idle:
        return "idle";
    case GestureState::watching:
        return "watching";
    case GestureState::active:
        return "active";
    }
    return "?";
}

// Numbers in debug lines.
std::string num(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.3f", v);
    return buf;
}

}  // namespace

bool FrameStateMachine::frameLooksSane(const TouchContact* fingers, int count) {
    if (count > maxContacts || count < 0) return false;
    for (int i = 0; i < count; ++i) {
        float x = fingers[i].x, y = fingers[i].y;
        if (!std::isfinite(x) || !(x > -0.2f && x < 1.2f)) return false;
        if (!std::isfinite(y) || !(y > -0.2f && y < 1.2f)) return false;
    }
    return true;
}

float FrameStateMachine::maxPairwiseSpread(const TouchContact* fingers, int count) {
    if (count < 2) return 0;
    float best = 0;
    for (int i = 0; i < count; ++i) {
        for (int j = i + 1; j < count; ++j) {
            float dx = fingers[i].x - fingers[j].x;
            float dy = fingers[i].y - fingers[j].y;
            best = std::max(best, dx * dx + dy * dy);
        }
    }
    return std::sqrt(best);
}

float FrameStateMachine::judgedSpread(const TouchContact* fingers, int count) {
    float w = count > 0 ? fingers[0].padWidthMm : 0, h = count > 0 ? fingers[0].padHeightMm : 0;
    if (!(w > 0 && h > 0)) return maxPairwiseSpread(fingers, count);
    float best = 0;
    for (int i = 0; i < count; ++i) {
        for (int j = i + 1; j < count; ++j) {
            float dx = (fingers[i].x - fingers[j].x) * w;
            float dy = (fingers[i].y - fingers[j].y) * h;
            best = std::max(best, dx * dx + dy * dy);
        }
    }
    return std::sqrt(best) / referencePadWidthMm;
}

void FrameStateMachine::handleFrame(const TouchContact* fingers, int numFingers, double now) {
    touchThread_.check();
    // The count is reported before and regardless of the sanity test.
    if (numFingers != reportedFingerCount_) {
        reportedFingerCount_ = numFingers;
        out_.postFingerCount(numFingers);
    }
    if (!frameLooksSane(fingers, numFingers)) return;
    Shared settings = shared_.copy();
    settings.cancelRequested = settings.escapes != escapesAtStart_;
    if (settings.recentsGesture != gesture_) settings.recentsCount = 0;  // not yet counted for this one
    switch (state_) {
    case GestureState::idle:
        return onIdle(fingers, numFingers, now);
    case GestureState::watching:
        return onWatching(fingers, numFingers, now);
    case GestureState::active:
        // The mode of this frame's snapshot: a change applies from the next frame.
        if (settings.mode == SwitchMode::toggleLastApp) return onToggle(fingers, numFingers, now, settings);
        return onDirectional(fingers, numFingers, now, settings);
    }
}

// A narrow three-finger touch starts watching; a too-wide one is reported once per touch.
void FrameStateMachine::onIdle(const TouchContact* fingers, int numFingers, double now) {
    if (numFingers != 3) {
        spreadRejectReported_ = false;
        return;
    }
    float spread = judgedSpread(fingers, 3);
    if (spread <= maxFingerSpread) {
        spreadRejectReported_ = false;
        setState(GestureState::watching);
        gestureStartTime_ = now;
        auto c = centroidOf(fingers, 3);
        startCentroidX_ = lastCentroidX_ = c.x;
        startCentroidY_ = lastCentroidY_ = c.y;
        reportSpread(spread, false);
    } else if (!spreadRejectReported_) {
        spreadRejectReported_ = true;
        reportSpread(spread, true);
    }
}

// Three fingers that stay down, and narrow, past the settle time become a gesture.
void FrameStateMachine::onWatching(const TouchContact* fingers, int numFingers, double now) {
    if (numFingers != 3) return endGesture();
    if (!(now - gestureStartTime_ > settleTime)) return;
    float spread = judgedSpread(fingers, 3);
    if (spread > maxFingerSpread) {
        spreadRejectReported_ = true;
        reportSpread(spread, true);
        return endGesture();
    }
    setState(GestureState::active);
    auto c = centroidOf(fingers, 3);
    lastCentroidX_ = c.x;
    lastCentroidY_ = c.y;
    beginGestureTracking(c.x, c.y, 3, now);
}

// A toggle swipe follows three fingers and is judged when any finger lifts or arrives.
void FrameStateMachine::onToggle(const TouchContact* fingers, int numFingers, double now, const Shared& settings) {
    if (numFingers == 3) {
        auto c = centroidOf(fingers, 3);
        lastCentroidX_ = c.x;
        lastCentroidY_ = c.y;
        return;
    }
    evaluateAndFire(now, settings);
    endGesture();
}

// A directional walk goes on with any number of fingers; only lifting them all ends it.
void FrameStateMachine::onDirectional(const TouchContact* fingers, int numFingers, double now, const Shared& settings) {
    if (numFingers == 0) {
        handOver(walk_.lift(settings));
        return endGesture();
    }
    auto c = centroidOf(fingers, numFingers);
    handOver(walk_.track(c.x, c.y, numFingers, now, settings));
}

void FrameStateMachine::setState(GestureState to) {
    if (state_ == to) return;
    const char* from = stateName(state_);
    log::debug(log::gesture, [&] { return std::string("gesture ") + from + " -> " + stateName(to); });
    state_ = to;
    if (trace_) trace_->stateChanged(to);
}

void FrameStateMachine::endGesture() {
    scroll_.end();
    setState(GestureState::idle);
}

void FrameStateMachine::reportSpread(float spread, bool rejected) {
    if (rejected)
        log::debug(log::gesture, [&] { return "three fingers too far apart (" + num(spread) + "): no gesture"; });
    if (trace_) trace_->spreadReported(spread, rejected);
    out_.postSpread(spread, rejected);
}

void FrameStateMachine::beginGestureTracking(float cx, float cy, int numFingers, double now) {
    walk_ = DirectionalWalk(cx, cy, numFingers, now);
    ++gesture_;
    escapesAtStart_ = shared_.copy().escapes;
    out_.postRecentsCount(gesture_);
}

// A toggle swipe switches when it was quick, long enough and mostly horizontal, either way.
void FrameStateMachine::evaluateAndFire(double endTime, const Shared& settings) {
    float dx = lastCentroidX_ - startCentroidX_;
    float dy = lastCentroidY_ - startCentroidY_;
    double elapsed = endTime - gestureStartTime_;
    out_.postSwipe(dx, endTime);
    bool fires = elapsed < maxDuration && std::fabs(dx) > dxThreshold &&
                 std::fabs(dy) * horizontalDominance < std::fabs(dx) && settings.enabled &&
                 settings.mode == SwitchMode::toggleLastApp;
    log::debug(log::gesture, [&] {
        return "toggle swipe: dx " + num(dx) + ", dy " + num(dy) + " in " + num(elapsed) +
               " s: " + (fires ? "switch" : "no switch");
    });
    if (fires) out_.postSwitchToPrevious();
}

// What a frame of the walk changed, to the main thread in the walk's order.
void FrameStateMachine::handOver(const DirectionalWalk::Update& update) {
    if (update.engaged) scroll_.begin();  // scrolling is swallowed until the gesture ends
    const bool changed =
        update.escaped || update.feel != DirectionalWalk::CancelFeel::none || update.cancelProgress || update.selection;
    if (changed) out_.postWalk({update, DirectionalWalk::Lift::nothing, gesture_});
}

void FrameStateMachine::handOver(DirectionalWalk::Lift lift) {
    if (lift != DirectionalWalk::Lift::nothing) out_.postWalk({{}, lift, gesture_});
}

}  // namespace trellick
