#include "gesture/MultitouchMonitor.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "common/Log.h"

namespace trellick {

namespace {

struct Centroid {
    float x = 0, y = 0;
};

// Mean of the first k records, summed in record order in 32-bit floats.
Centroid centroidOf(const MTFinger* fingers, int k) {
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

// A converted setting as a float within [lo, hi] (NaN gives lo), so the cast is always defined.
float limited(double v, double lo, double hi) {
    return static_cast<float>(v >= lo ? std::min(v, hi) : lo);
}

// Used when a tracker is missing, so a misconfigured shell cannot crash a gesture.
class EmptySwitcher : public MRUSwitcher {
public:
    void activatePrevious() override {}
    std::vector<SwitchTarget> orderedTargets() override { return {}; }
    int orderedCount() const override { return 0; }
};

}  // namespace

std::shared_ptr<MultitouchMonitor> MultitouchMonitor::create(Collaborators collaborators) {
    std::shared_ptr<MultitouchMonitor> m(new MultitouchMonitor(std::move(collaborators)));
    m->mirrorSettings();
    if (m->c_.touchDevices) {
        std::weak_ptr<MultitouchMonitor> weak = m;
        m->c_.touchDevices->setHotplugHandler([weak](const TouchDevice& device, bool added) {
            if (auto self = weak.lock()) self->onHotplug(device, added);
        });
    }
    return m;
}

MultitouchMonitor::MultitouchMonitor(Collaborators collaborators) : c_(std::move(collaborators)) {
    scrollSuppressor_ = ScrollSuppressor::create(c_.scrollBlocker, c_.mainQueue);
}

MultitouchMonitor::~MultitouchMonitor() {
    if (c_.touchDevices) c_.touchDevices->setHotplugHandler(nullptr);
}

MultitouchMonitor::Shared MultitouchMonitor::sharedSnapshot() const {
    std::lock_guard lock(sharedLock_);
    return shared_;
}

void MultitouchMonitor::postDiagnostics(std::function<void(Diagnostics&)> fn) {
    std::weak_ptr<Diagnostics> diag = c_.diagnostics;
    postMain([diag, fn = std::move(fn)](MultitouchMonitor&) {
        if (auto d = diag.lock()) fn(*d);
    });
}

void MultitouchMonitor::mirrorSettings() {
    if (!c_.settings) return;
    auto& s = *c_.settings;
    std::weak_ptr<MultitouchMonitor> weak = weak_from_this();
    // Each delivery writes one field under the lock; conversions in double, stored as float.
    auto mirror = [&](auto& setting, auto write) {
        cancellables_.push_back(setting.subscribe([weak, write](const auto& value) {
            if (auto self = weak.lock()) self->writeShared([&](Shared& sh) { write(sh, value); });
        }));
    };
    mirror(s.enabled, [](Shared& sh, bool v) { sh.enabled = v; });
    mirror(s.mode, [](Shared& sh, SwitchMode v) { sh.mode = v; });
    mirror(s.invertDirection, [](Shared& sh, bool v) { sh.invertDirection = v; });
    // The settings window offers small ranges, but the file may hold any finite number: each
    // derived quantity is limited so that the walk stays finite and every division and
    // float-to-int conversion stays defined (a zero step would flip the selection between the
    // ends of the row, a negative cancel threshold would make the progress absurd).
    mirror(s.sensitivity, [](Shared& sh, double v) {
        sh.stepDistance = limited((1.0 - v) * 0.12 + 0.04, minStepDistance, maxStepDistance);
    });
    mirror(s.acceleration, [](Shared& sh, double v) { sh.accelGain = limited(v * 0.7, 0.0, maxAccelGain); });
    mirror(s.cancelDistance, [](Shared& sh, double v) {
        sh.cancelDownThreshold = limited(v * 0.3 + 0.15, minCancelThreshold, maxCancelThreshold);
    });
    mirror(s.flickRevealDelay, [](Shared& sh, double v) { sh.flickRevealDelay = v; });
    mirror(s.flickVelocity, [](Shared& sh, double v) {
        sh.flickVelocity = limited(v, -std::numeric_limits<float>::max(), std::numeric_limits<float>::max());
    });
    mirror(s.favouriteApps,
           [](Shared& sh, const std::vector<std::string>& v) { sh.favouritesCount = static_cast<int>(v.size()); });
    mirror(s.favouritesEnabled, [](Shared& sh, bool v) { sh.favouritesEnabled = v; });
}

MRUSwitcher& MultitouchMonitor::switcher() const {
    static EmptySwitcher empty;
    bool app = c_.settings && c_.settings->granularity.get() == Granularity::app;
    auto& chosen = app ? c_.appTracker : c_.windowTracker;
    return chosen ? *chosen : empty;
}

// ---- Devices (main thread) ----

// Frames reach the engine through this; it keeps the engine alive only for each call.
FrameHandler MultitouchMonitor::frameHandler() {
    std::weak_ptr<MultitouchMonitor> weak = weak_from_this();
    return [weak](const MTFinger* fingers, int count, double time) {
        if (auto self = weak.lock()) self->handleFrame(fingers, count, time);
    };
}

void MultitouchMonitor::publishDeviceCount() {
    auto count = static_cast<std::int64_t>(devices_.size());
    postDiagnostics([count](Diagnostics& d) {
        d.multitouchDevicesActive.set(count);
        d.fingerStride.set(kFingerStride);
    });
}

bool MultitouchMonitor::start() {
    scrollSuppressor_->installIfNeeded();
    if (!c_.touchDevices) return false;
    auto list = c_.touchDevices->deviceList();
    if (list.empty()) return false;
    for (const auto& device : list) {
        bool known = std::any_of(devices_.begin(), devices_.end(), [&](auto& d) { return d.id == device.id; });
        if (known) continue;  // a retry must not register a device twice
        bool started = c_.touchDevices->startDevice(device, frameHandler());
        if (started) devices_.push_back(device);
        log::debug(log::gesture, [&] {
            return (started ? "touchpad started: " : "touchpad could not be started: ") + device.id + " (" +
                   device.name + ")";
        });
    }
    publishDeviceCount();
    return !devices_.empty();
}

void MultitouchMonitor::stop() {
    if (c_.touchDevices) {
        for (const auto& device : devices_) {
            c_.touchDevices->stopDevice(device);
            log::debug(log::gesture, [&] { return "touchpad stopped: " + device.id; });
        }
    }
    devices_.clear();
    removeEscapeMonitor();
    scrollSuppressor_->end();
}

void MultitouchMonitor::onHotplug(const TouchDevice& device, bool added) {
    auto it = std::find_if(devices_.begin(), devices_.end(), [&](auto& d) { return d.id == device.id; });
    if (added) {
        if (it != devices_.end() || !c_.touchDevices) return;
        if (!c_.touchDevices->startDevice(device, frameHandler())) return;
        devices_.push_back(device);
        log::debug(log::gesture, [&] { return "touchpad added and started: " + device.id + " (" + device.name + ")"; });
    } else {
        if (it == devices_.end()) return;
        devices_.erase(it);
        log::debug(log::gesture, [&] { return "touchpad gone: " + device.id; });
    }
    publishDeviceCount();
}

// ---- The frame handler (touch thread) ----

bool MultitouchMonitor::frameLooksSane(const MTFinger* fingers, int count) {
    if (count > 32 || count < 0) return false;
    for (int i = 0; i < count; ++i) {
        float x = fingers[i].x, y = fingers[i].y;
        if (!std::isfinite(x) || !(x > -0.2f && x < 1.2f)) return false;
        if (!std::isfinite(y) || !(y > -0.2f && y < 1.2f)) return false;
    }
    return true;
}

float MultitouchMonitor::maxPairwiseSpread(const MTFinger* fingers, int count) {
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

void MultitouchMonitor::setState(State to) {
    if (state_ == to) return;
    log::debug(log::gesture, [&] { return std::string("gesture ") + stateName(state_) + " -> " + stateName(to); });
    state_ = to;
    if (c_.trace) c_.trace->stateChanged(to);
}

void MultitouchMonitor::reportSpread(float spread, bool rejected) {
    if (rejected)
        log::debug(log::gesture, [&] { return "three fingers too far apart (" + num(spread) + "): no gesture"; });
    if (c_.trace) c_.trace->spreadReported(spread, rejected);
    postDiagnostics([spread, rejected](Diagnostics& d) {
        d.lastFingerSpread.set(spread);
        if (rejected) d.increment(d.spreadRejects);
    });
}

void MultitouchMonitor::handleFrame(const MTFinger* fingers, int numFingers, double now) {
    if (numFingers != reportedFingerCount_) {
        reportedFingerCount_ = numFingers;
        auto count = static_cast<std::int64_t>(numFingers);
        postDiagnostics([count](Diagnostics& d) { d.currentFingerCount.set(count); });
    }
    if (!frameLooksSane(fingers, numFingers)) return;
    const Shared settings = sharedSnapshot();

    switch (state_) {
    case State::idle: {
        if (numFingers != 3) {
            spreadRejectReported_ = false;
            return;
        }
        float spread = maxPairwiseSpread(fingers, 3);
        if (spread <= maxFingerSpread) {
            spreadRejectReported_ = false;
            setState(State::watching);
            gestureStartTime_ = now;
            auto c = centroidOf(fingers, 3);
            startCentroidX_ = lastCentroidX_ = c.x;
            startCentroidY_ = lastCentroidY_ = c.y;
            reportSpread(spread, false);
        } else if (!spreadRejectReported_) {
            spreadRejectReported_ = true;
            reportSpread(spread, true);
        }
        return;
    }
    case State::watching: {
        if (numFingers != 3) {
            scrollSuppressor_->end();
            setState(State::idle);
            return;
        }
        if (!(now - gestureStartTime_ > settleTime)) return;
        float spread = maxPairwiseSpread(fingers, 3);
        if (spread > maxFingerSpread) {
            spreadRejectReported_ = true;
            reportSpread(spread, true);
            scrollSuppressor_->end();
            setState(State::idle);
            return;
        }
        setState(State::active);
        auto c = centroidOf(fingers, 3);
        lastCentroidX_ = c.x;
        lastCentroidY_ = c.y;
        beginGestureTracking(c.x, c.y, 3, now);
        return;
    }
    case State::active:
        if (settings.mode == SwitchMode::toggleLastApp) {
            if (numFingers == 3) {
                auto c = centroidOf(fingers, 3);
                lastCentroidX_ = c.x;
                lastCentroidY_ = c.y;
                return;
            }
            evaluateAndFire(now, settings);
            scrollSuppressor_->end();
            setState(State::idle);
            return;
        }
        if (numFingers == 0) {
            liftDecision(settings);
            scrollSuppressor_->end();
            setState(State::idle);
            return;
        }
        {
            auto c = centroidOf(fingers, numFingers);
            trackDirectional(c.x, c.y, numFingers, now, settings);
        }
        return;
    }
}

void MultitouchMonitor::liftDecision(const Shared& settings) {
    if (directionalCancelled_) return;
    // Escape pressed since the last frame: the lift cancels just as the next frame would have,
    // with no haptic of its own (the Escape path plays none).
    if (settings.enabled && settings.cancelRequested) {
        log::debug(log::gesture, [] { return "lift: cancel (Escape)"; });
        directionalCancelled_ = true;
        postMain([](MultitouchMonitor& m) { m.cancelDirectional(); });
        return;
    }
    if (!directionalEngaged_) return;
    if (cancelArmed_ || lastVerticalDown_ - cancelBuffer >= settings.cancelDownThreshold) {
        log::debug(log::gesture, [] { return "lift: cancel (pulled down)"; });
        directionalCancelled_ = true;
        bool playHaptic = !cancelArmed_;
        postMain([playHaptic](MultitouchMonitor& m) {
            if (playHaptic && m.c_.settings && m.c_.settings->hapticFeedback.get() && m.c_.haptics) {
                m.c_.haptics->switchTick();
            }
            m.cancelDirectional();
        });
    } else if (hudRevealed_) {
        log::debug(log::gesture, [] { return "lift: commit the selection"; });
        postMain([](MultitouchMonitor& m) { m.commitDirectional(); });
    } else {
        log::debug(log::gesture, [] { return "lift before the picker opened: quick switch"; });
        postMain([](MultitouchMonitor& m) { m.switchToPrevious(); });
    }
}

void MultitouchMonitor::beginGestureTracking(float cx, float cy, int numFingers, double now) {
    prevCentroidX_ = cx;
    prevCentroidY_ = cy;
    verticalBaseY_ = cy;
    lastVerticalDown_ = 0;
    lastFingerCount_ = numFingers;
    lastFrameTime_ = now;

    accumDx_ = accumDy_ = accumScaledDx_ = 0;
    directionalEngaged_ = directionalCancelled_ = hudRevealed_ = false;
    gestureEngageTime_ = distantPast;
    flickSpeed_ = 0;
    inFavourites_ = false;
    favBaseScaledDx_ = 0;
    lastLiveIndex_ = -1;
    lastFocus_ = SwitcherRow::recents;
    lastCancelProgress_ = -1;
    cancelArmed_ = false;
    lastCancelDetent_ = -1;

    writeShared([](Shared& sh) {
        sh.cancelRequested = false;
        sh.recentsCount = 0;
    });
    postMain([](MultitouchMonitor& m) {
        int count = m.switcher().orderedCount();
        m.writeShared([count](Shared& sh) { sh.recentsCount = count; });
    });
}

void MultitouchMonitor::evaluateAndFire(double endTime, const Shared& settings) {
    float dx = lastCentroidX_ - startCentroidX_;
    float dy = lastCentroidY_ - startCentroidY_;
    double elapsed = endTime - gestureStartTime_;

    std::weak_ptr<Diagnostics> diag = c_.diagnostics;
    postMain([diag, dx, endTime](MultitouchMonitor& m) {
        if (m.c_.trace) m.c_.trace->swipeEvaluated(dx);
        if (auto d = diag.lock()) {
            d->increment(d->swipeEventsSeen);
            d->lastDeltaX.set(dx);
            d->lastEventAt.set(endTime);
        }
    });

    bool fires = elapsed < maxDuration && std::fabs(dx) > dxThreshold &&
                 std::fabs(dy) * horizontalDominance < std::fabs(dx) && settings.enabled &&
                 settings.mode == SwitchMode::toggleLastApp;
    log::debug(log::gesture, [&] {
        return "toggle swipe: dx " + num(dx) + ", dy " + num(dy) + " in " + num(elapsed) +
               " s: " + (fires ? "switch" : "no switch");
    });
    if (fires) postMain([](MultitouchMonitor& m) { m.switchToPrevious(); });
}

// ---- The directional walk (touch thread) ----

MultitouchMonitor::Stepped MultitouchMonitor::steppedIndex(float value, float step, int maxIdx) {
    // Halves round away from zero; the range keeps the cast defined for absurd inputs.
    double raw = std::round(static_cast<double>(value / step));
    if (raw >= 0 && raw <= maxIdx) return {static_cast<int>(raw), std::nullopt};
    int index = raw < 0 ? 0 : maxIdx;
    return {index, step * static_cast<float>(index)};
}

void MultitouchMonitor::trackDirectional(float cx, float cy, int numFingers, double now, const Shared& settings) {
    if (!settings.enabled) return;
    if (directionalCancelled_) return;
    if (settings.cancelRequested) {
        log::debug(log::gesture, [] { return "walk cancelled (Escape)"; });
        directionalCancelled_ = true;
        postMain([](MultitouchMonitor& m) { m.cancelDirectional(); });
        return;
    }

    double dt = now - lastFrameTime_;
    lastFrameTime_ = now;

    if (numFingers == lastFingerCount_) {
        float dtf = std::max(static_cast<float>(dt), frameTimeFloor);
        float dx = cx - prevCentroidX_;
        float dy = cy - prevCentroidY_;
        accumDx_ += dx;
        accumDy_ += dy;
        float speed = std::min(std::fabs(dx) / dtf, maxSpeed);
        accumScaledDx_ += dx * (speed * settings.accelGain + 1);
        flickSpeed_ = speed * flickSpeedSmoothing + flickSpeed_ * (1 - flickSpeedSmoothing);
        // A mostly horizontal slide drags the vertical origin along, so drift never adds up.
        if (std::fabs(dy) <= std::fabs(dx) && !inFavourites_ && lastVerticalDown_ <= cancelBuffer) {
            verticalBaseY_ = cy;
        }
    } else {
        // The centroid jumped because the contact count changed: not a movement.
        verticalBaseY_ += cy - prevCentroidY_;
        flickSpeed_ *= (1 - flickSpeedSmoothing);
    }
    prevCentroidX_ = cx;
    prevCentroidY_ = cy;
    lastFingerCount_ = numFingers;

    // Vertical give: travel beyond a cap counts at a reduced rate, then drags the origin.
    const float upCap = favouritesUpEngage + favouritesUpCapMargin;
    float v = cy - verticalBaseY_;
    float thr = settings.cancelDownThreshold + cancelBuffer;
    float g;
    if (v > upCap) {
        float e = v - upCap;
        g = upCap + std::min(e, verticalGiveRaw) * verticalGiveRate;
        if (e >= verticalGiveRaw) verticalBaseY_ = cy - (upCap + verticalGiveRaw);
    } else if (v < -thr) {
        float e = -v - thr;
        g = -(thr + std::min(e, verticalGiveRaw) * verticalGiveRate);
        if (e >= verticalGiveRaw) verticalBaseY_ = cy + thr + verticalGiveRaw;
    } else {
        g = v;
    }
    lastVerticalDown_ = -g;

    if (!directionalEngaged_) {
        if (std::fabs(accumDx_) <= engageThreshold) return;
        if (std::fabs(accumDx_) <= std::fabs(accumDy_) * horizontalDominance) return;
        log::debug(log::gesture, [&] { return "engaged: horizontal travel " + num(accumDx_); });
        directionalEngaged_ = true;
        gestureEngageTime_ = now;
        scrollSuppressor_->begin();
    }

    float progress;
    if (!hudRevealed_) {
        double t = now - gestureEngageTime_;
        if (t < settings.flickRevealDelay) return;
        if (flickSpeed_ >= settings.flickVelocity && t < flickRevealHardCap) return;  // still flicking
        log::debug(log::gesture, [&] { return "picker opened " + num(t) + " s after engaging"; });
        hudRevealed_ = true;
        // Start one step away from the current entry.
        float start = settings.stepDistance + horizontalBuffer;
        accumScaledDx_ = settings.invertDirection ? -start : start;
        verticalBaseY_ = cy;
        lastVerticalDown_ = 0;
        inFavourites_ = false;
        g = 0;
        cancelArmed_ = false;
        lastCancelDetent_ = -1;
        progress = 0;
    } else if (g >= -cancelBuffer) {
        cancelArmed_ = false;
        lastCancelDetent_ = -1;
        progress = 0;
    } else {
        progress = std::min((-cancelBuffer - g) / settings.cancelDownThreshold, 1.0f);
        updateCancelArming(progress);
    }
    reportCancelProgress(progress);

    SwitcherRow focus;
    int index;
    bool useFavourites;
    if (!settings.favouritesEnabled) {
        inFavourites_ = false;
        useFavourites = false;
    } else if (inFavourites_) {
        if (g < favouritesUpRelease) inFavourites_ = false;
        useFavourites = inFavourites_;
    } else {
        if (g > favouritesUpEngage) {
            inFavourites_ = true;
            favBaseScaledDx_ = accumScaledDx_;
        }
        useFavourites = inFavourites_;
    }

    if (useFavourites) {
        int maxIdx = std::max(settings.favouritesCount - 1, 0);
        float rel = accumScaledDx_ - favBaseScaledDx_;
        if (settings.invertDirection) rel = -rel;
        auto stepped = steppedIndex(rel, favStepDistance, maxIdx);
        if (stepped.pin) {
            // Travel past either end of the row is not stored.
            float pin = settings.invertDirection ? -*stepped.pin : *stepped.pin;
            favBaseScaledDx_ = accumScaledDx_ - pin;
        }
        index = stepped.index;
        focus = SwitcherRow::favourites;
    } else {
        float s = settings.invertDirection ? -accumScaledDx_ : accumScaledDx_;
        float sDead =
            s > horizontalBuffer ? s - horizontalBuffer : (s < -horizontalBuffer ? s + horizontalBuffer : 0.0f);
        int maxIdx = settings.recentsCount >= 1 ? settings.recentsCount - 1 : std::numeric_limits<int>::max();
        auto stepped = steppedIndex(sDead, settings.stepDistance, maxIdx);
        if (stepped.pin) {
            // Travel past either end is not stored. The pin is in dead-zone-adjusted units, so
            // the dead zone goes back on; without it a short step (high sensitivity) would put
            // the walk half a step back and the selection would bounce off the last entry.
            float pin = *stepped.pin;
            if (pin > 0) pin += horizontalBuffer;
            accumScaledDx_ = settings.invertDirection ? -pin : pin;
        }
        index = stepped.index;
        focus = SwitcherRow::recents;
    }

    if (focus == lastFocus_ && index == lastLiveIndex_) return;
    bool beginning = lastLiveIndex_ < 0;
    lastFocus_ = focus;
    lastLiveIndex_ = index;
    postMain([focus, index, beginning](MultitouchMonitor& m) { m.updateSelection(focus, index, beginning); });
}

void MultitouchMonitor::updateCancelArming(float progress) {
    int raw = static_cast<int>(std::floor(progress * static_cast<float>(cancelDetents)));
    int detent = std::min(raw, cancelDetents);
    if (detent > lastCancelDetent_) {
        if (raw <= cancelDetents - 1 && lastCancelDetent_ >= 0) cancelHaptic(false);
        lastCancelDetent_ = detent;
    } else if (detent < lastCancelDetent_) {
        lastCancelDetent_ = detent;
    }
    if (cancelArmed_) {
        if (progress < disarmLevel) cancelArmed_ = false;
    } else if (progress >= 1) {
        log::debug(log::gesture, [] { return "cancel armed"; });
        cancelArmed_ = true;
        cancelHaptic(true);
    }
}

void MultitouchMonitor::reportCancelProgress(float progress) {
    float q = progress > 1 ? 1.0f : std::round(std::max(progress, 0.0f) * 40.0f) / 40.0f;
    if (q == lastCancelProgress_) return;
    lastCancelProgress_ = q;
    postMain([q](MultitouchMonitor& m) {
        if (m.c_.hud) m.c_.hud->setCancelProgress(q);
    });
}

// ---- Main-thread actions ----

void MultitouchMonitor::switchToPrevious() {
    log::debug(log::gesture, [] { return "switch to the previous entry"; });
    if (auto d = c_.diagnostics.lock()) d->increment(d->actionsTriggered);
    if (c_.trace) c_.trace->switchedPrevious();
    switcher().activatePrevious();
    if (c_.settings && c_.settings->hapticFeedback.get() && c_.haptics) c_.haptics->switchTick();
}

void MultitouchMonitor::cancelHaptic(bool firm) {
    postMain([firm](MultitouchMonitor& m) {
        if (!m.c_.settings || !m.c_.settings->hapticFeedback.get() || !m.c_.haptics) return;
        if (!firm) {
            m.c_.haptics->selectionTick();
            return;
        }
        m.c_.haptics->switchTick();
        std::weak_ptr<MultitouchMonitor> weak = m.weak_from_this();
        m.c_.mainQueue->postAfter(0.05, [weak] {  // a double thud
            auto self = weak.lock();
            if (self && self->c_.settings->hapticFeedback.get()) self->c_.haptics->switchTick();
        });
    });
}

void MultitouchMonitor::installEscapeMonitor() {
    if (escapeMonitor_ || !c_.keyMonitor) return;
    std::weak_ptr<MultitouchMonitor> weak = weak_from_this();
    escapeMonitor_ = c_.keyMonitor->addEscapeMonitor([weak] {
        if (auto self = weak.lock()) self->writeShared([](Shared& sh) { sh.cancelRequested = true; });
    });
}

void MultitouchMonitor::removeEscapeMonitor() {
    if (!escapeMonitor_) return;
    if (c_.keyMonitor) c_.keyMonitor->removeMonitor(*escapeMonitor_);
    escapeMonitor_.reset();
}

}  // namespace trellick
