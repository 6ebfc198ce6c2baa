#include "gesture/MultitouchMonitor.h"

#include <algorithm>

#include "common/Log.h"

namespace trellick {

namespace {

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
    m->watchSettings();
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
      selection_(
          {c_.favourites, c_.hud, c_.haptics, c_.keyMonitor, c_.trace, c_.diagnostics, c_.openFavouritesSettings},
          *scrollSuppressor_, shared_, settings_) {
    mainThread_.check();
}

MultitouchMonitor::~MultitouchMonitor() {
    if (c_.touchDevices) c_.touchDevices->setHotplugHandler(nullptr);
}

void MultitouchMonitor::watchSettings() {
    if (!c_.settings) return;
    std::weak_ptr<MultitouchMonitor> weak = weak_from_this();
    settingsWatch_ = subscribeEngineSettings(*c_.settings, [weak] {
        auto self = weak.lock();
        if (!self) return;
        self->mainThread_.check("a settings change");
        self->settings_ = engineSettings(*self->c_.settings);
        WalkSettings walk = self->settings_.walk;
        self->shared_->write([&walk](Shared& sh) { static_cast<WalkSettings&>(sh) = walk; });
    });
}

MRUSwitcher& MultitouchMonitor::switcher() const {
    mainThread_.check();
    static EmptySwitcher empty;
    auto& chosen = settings_.granularity == Granularity::app ? c_.appTracker : c_.windowTracker;
    return chosen ? *chosen : empty;
}

bool MultitouchMonitor::hapticsOn() const {
    mainThread_.check();
    return settings_.haptics && c_.haptics;
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
        if (self && self->hapticsOn()) self->c_.haptics->switchTick();
    });
}

// ---- Main-thread actions ----

void MultitouchMonitor::switchToPrevious() {
    mainThread_.check();
    if (c_.trace) c_.trace->switchedPrevious();
    switcher().activatePrevious();  // first: the rest is bookkeeping the switch need not wait for
    log::debug(log::gesture, [] { return "switch to the previous entry"; });
    if (auto d = c_.diagnostics.lock()) d->increment(d->actionsTriggered);
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
