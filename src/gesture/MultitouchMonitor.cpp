#include "gesture/MultitouchMonitor.h"

#include <algorithm>
#include <limits>

#include "common/Log.h"

namespace trellick {

namespace {

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

MultitouchMonitor::MultitouchMonitor(Collaborators collaborators)
    : c_(std::move(collaborators)),
      scrollSuppressor_(ScrollSuppressor::create(c_.scrollBlocker, c_.mainQueue)),
      frames_(*shared_, *scrollSuppressor_, c_.trace.get(), *this),
      selection_({c_.settings, c_.favourites, c_.hud, c_.haptics, c_.keyMonitor, c_.trace, c_.diagnostics,
                  c_.openFavouritesSettings},
                 *scrollSuppressor_, shared_) {
    mainThread_.check();
}

MultitouchMonitor::~MultitouchMonitor() {
    if (c_.touchDevices) c_.touchDevices->setHotplugHandler(nullptr);
}

void MultitouchMonitor::mirrorSettings() {
    if (!c_.settings) return;
    auto& s = *c_.settings;
    std::weak_ptr<SharedSettings> weak = shared_;
    // Each delivery writes one field under the lock; conversions in double, stored as float.
    auto mirror = [&](auto& setting, auto write) {
        cancellables_.push_back(setting.subscribe([weak, write](const auto& value) {
            if (auto shared = weak.lock()) shared->write([&](Shared& sh) { write(sh, value); });
        }));
    };
    mirror(s.enabled, [](Shared& sh, bool v) { sh.enabled = v; });
    mirror(s.mode, [](Shared& sh, SwitchMode v) { sh.mode = v; });
    mirror(s.invertDirection, [](Shared& sh, bool v) { sh.invertDirection = v; });
    // The settings window offers small ranges, but the file may hold any finite number: each
    // derived quantity is limited so that the walk stays finite and every division and
    // float-to-int conversion stays defined (a zero step would flip the selection between the
    // ends of the row, a negative cancel threshold would make the progress absurd).
    // Sensitivity 0..1 maps to 0.16..0.04 pad widths of travel per list step: a whole pad
    // width walks about six entries at the least sensitive, about twenty-five at the most.
    mirror(s.sensitivity, [](Shared& sh, double v) {
        sh.stepDistance = limited((1.0 - v) * 0.12 + 0.04, minStepDistance, maxStepDistance);
    });
    // Acceleration 0..1 maps to a gain of 0..0.7: travel at the top speed (maxSpeed pad
    // widths per second) counts up to 1 + 12 * 0.7, about nine times.
    mirror(s.acceleration, [](Shared& sh, double v) { sh.accelGain = limited(v * 0.7, 0.0, maxAccelGain); });
    // Cancel distance 0..1 maps to a downward pull of 0.15..0.45 pad heights (past the
    // cancelBuffer of drift): short enough to reach on a small pad, long enough not to trip.
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
    mainThread_.check();
    static EmptySwitcher empty;
    bool app = c_.settings && c_.settings->granularity.get() == Granularity::app;
    auto& chosen = app ? c_.appTracker : c_.windowTracker;
    return chosen ? *chosen : empty;
}

bool MultitouchMonitor::hapticsOn() const {
    return c_.settings && c_.settings->hapticFeedback.get() && c_.haptics;
}

void MultitouchMonitor::postDiagnostics(std::function<void(Diagnostics&)> fn) {
    std::weak_ptr<Diagnostics> diag = c_.diagnostics;
    postMain([diag, fn = std::move(fn)](MultitouchMonitor&) {
        if (auto d = diag.lock()) fn(*d);
    });
}

// ---- Devices (main thread) ----

// Frames reach the engine through this; it keeps the engine alive only for each call.
FrameHandler MultitouchMonitor::frameHandler() {
    std::weak_ptr<MultitouchMonitor> weak = weak_from_this();
    return [weak](const TouchContact* fingers, int count, double time) {
        if (auto self = weak.lock()) self->handleFrame(fingers, count, time);
    };
}

void MultitouchMonitor::publishDeviceCount() {
    auto count = static_cast<std::int64_t>(devices_.size());
    postDiagnostics([count](Diagnostics& d) { d.multitouchDevicesActive.set(count); });
}

bool MultitouchMonitor::start() {
    mainThread_.check();
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
    mainThread_.check();
    if (c_.touchDevices) {
        for (const auto& device : devices_) {
            c_.touchDevices->stopDevice(device);
            log::debug(log::gesture, [&] { return "touchpad stopped: " + device.id; });
        }
    }
    devices_.clear();
    frames_.touchpadsStopped();
    selection_.removeEscapeMonitor();
    scrollSuppressor_->end();
}

void MultitouchMonitor::onHotplug(const TouchDevice& device, bool added) {
    mainThread_.check();
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

// ---- Hand-over from the touch thread: each posts to the main thread ----

void MultitouchMonitor::postFingerCount(int count) {
    auto n = static_cast<std::int64_t>(count);
    postDiagnostics([n](Diagnostics& d) { d.currentFingerCount.set(n); });
}

void MultitouchMonitor::postSpread(float spread, bool rejected) {
    postDiagnostics([spread, rejected](Diagnostics& d) {
        d.lastFingerSpread.set(spread);
        if (rejected) d.increment(d.spreadRejects);
    });
}

void MultitouchMonitor::postSwipe(float dx, double endTime) {
    std::weak_ptr<Diagnostics> diag = c_.diagnostics;
    postMain([diag, dx, endTime](MultitouchMonitor& m) {
        if (m.c_.trace) m.c_.trace->swipeEvaluated(dx);
        if (auto d = diag.lock()) {
            d->increment(d->swipeEventsSeen);
            d->lastDeltaX.set(dx);
            d->lastEventAt.set(endTime);
        }
    });
}

void MultitouchMonitor::postRecentsCount(std::uint32_t gesture) {
    postMain([gesture](MultitouchMonitor& m) { m.selection_.publishCount(m.switcher().orderedCount(), gesture); });
}

void MultitouchMonitor::postSwitchToPrevious() {
    postMain([](MultitouchMonitor& m) { m.switchToPrevious(); });
}

void MultitouchMonitor::postWalk(const WalkMessage& message) {
    postMain([message](MultitouchMonitor& m) { m.walk(message); });
}

void MultitouchMonitor::cancelHaptic(bool firm) {
    if (!hapticsOn()) return;
    if (!firm) {
        c_.haptics->selectionTick();
        return;
    }
    c_.haptics->switchTick();
    std::weak_ptr<MultitouchMonitor> weak = weak_from_this();
    c_.mainQueue->postAfter(0.05, [weak] {  // a double thud
        auto self = weak.lock();
        if (self && self->c_.settings->hapticFeedback.get()) self->c_.haptics->switchTick();
    });
}

// ---- Main-thread actions ----

void MultitouchMonitor::switchToPrevious() {
    mainThread_.check();
    log::debug(log::gesture, [] { return "switch to the previous entry"; });
    if (auto d = c_.diagnostics.lock()) d->increment(d->actionsTriggered);
    if (c_.trace) c_.trace->switchedPrevious();
    switcher().activatePrevious();
    if (hapticsOn()) c_.haptics->switchTick();
}

void MultitouchMonitor::walk(const WalkMessage& message) {
    mainThread_.check();
    using Feel = DirectionalWalk::CancelFeel;
    using Lift = DirectionalWalk::Lift;
    const DirectionalWalk::Update& u = message.update;
    if (u.escaped) selection_.cancel();
    if (u.feel != Feel::none) cancelHaptic(u.feel == Feel::armed);
    if (u.cancelProgress && c_.hud) c_.hud->setCancelProgress(*u.cancelProgress);
    if (auto s = u.selection) selection_.update(switcher(), s->row, s->index, s->beginning, message.gesture);
    switch (message.lift) {
    case Lift::nothing:
        return;
    case Lift::cancelWithTick:
        if (hapticsOn()) c_.haptics->switchTick();
        [[fallthrough]];
    case Lift::cancel:
        return selection_.cancel();
    case Lift::commit:
        return selection_.commit();
    case Lift::switchPrevious:
        return switchToPrevious();
    }
}

}  // namespace trellick
