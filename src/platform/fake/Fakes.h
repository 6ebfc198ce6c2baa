#pragma once
// In-memory doubles of the platform, driven by the test (or by `debug-gestures`).

#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "common/MainQueue.h"
#include "gesture/HUD.h"
#include "gesture/InputServices.h"
#include "gesture/TouchDevices.h"
#include "settings/LoginItem.h"
#include "tracking/MRUSwitcher.h"

namespace trellick::fake {

// Runs queued work, and the work it queues, until the queue is empty; the lock is not held
// while a task runs, so tasks may queue more. Returns how many ran.
int runQueued(std::mutex& lock, std::deque<std::function<void()>>& queue);

// A clock that only moves when told to.
class FakeClock : public Clock {
public:
    double now() const override {
        std::lock_guard lock(m_);
        return t_;
    }
    void set(double t) {
        std::lock_guard lock(m_);
        t_ = t;
    }
    void advance(double dt) { set(now() + dt); }

private:
    mutable std::mutex m_;
    double t_ = 1000.0;
};

// A main queue on virtual time. post() is thread-safe; the test thread drains it.
class FakeMainQueue : public MainQueue {
public:
    explicit FakeMainQueue(std::shared_ptr<FakeClock> clock) : clock_(std::move(clock)) {}
    void post(std::function<void()> fn) override;
    void postAfter(double seconds, std::function<void()> fn) override;

    // Runs posted work (and work it posts) until none is ready. Returns how many ran.
    int runPending();
    // Moves the clock to t, running delayed work in due order (and what it posts) on the way.
    void advanceTo(double t);
    // Runs everything left, delayed work included, moving the clock as needed.
    void drain();
    std::size_t pendingCount() const;
    double nextDueTime() const;  // +inf when nothing is delayed

private:
    struct Delayed {
        double due;
        unsigned long seq;
        std::function<void()> fn;
    };
    std::shared_ptr<FakeClock> clock_;
    mutable std::mutex m_;
    std::deque<std::function<void()>> ready_;
    std::vector<Delayed> delayed_;
    unsigned long seq_ = 0;
};

// A recency list of named entries; activating one moves it to the front.
class FakeSwitcher : public MRUSwitcher {
public:
    explicit FakeSwitcher(std::vector<std::string> names = {}) : names_(std::move(names)) {}
    void activatePrevious() override;
    std::vector<SwitchTarget> orderedTargets() override;
    int orderedCount() const override { return static_cast<int>(names_.size()); }

    std::vector<std::string> names_;
    std::vector<std::string> activations;  // names activated, in order
    int previousCalls = 0;
    std::function<void()> onActivatePrevious;  // optional hook
};

// Favourites that all resolve (or none, for ids listed in `missing`).
class FakeFavourites : public FavouriteTargetSource {
public:
    std::vector<SwitchTarget> targets(const std::vector<std::string>& ids) override;
    std::vector<std::string> missing;
    std::vector<std::string> activations;
};

class FakeHUD : public HUD {
public:
    struct Shown {
        int recentsCount, recentsSelected, favouritesCount, favSelected;
        SwitcherRow focus;
        bool hasPlaceholder;
    };
    void showList(const std::vector<SwitchTarget>& recents, int recentsSelected,
                  const std::vector<SwitchTarget>& favourites, int favSelected, SwitcherRow focus, HUDLabelStyle,
                  HUDStyle, bool) override;
    void hide() override {
        ++hides;
        visible = false;
    }
    void setCancelProgress(double p) override { cancelProgress.push_back(p); }

    std::vector<Shown> shown;
    std::vector<double> cancelProgress;
    int hides = 0;
    bool visible = false;
};

class FakeHaptics : public HapticPerformer {
public:
    void perform(HapticPattern pattern) override { played.push_back(pattern); }
    std::vector<HapticPattern> played;
};

class FakeScrollBlocker : public ScrollBlocker {
public:
    bool create() override {
        ++createCalls;
        if (refuseCreate) return false;
        created = true;
        return true;
    }
    void setEnabled(bool e) override {
        enabled = e;
        enableHistory.push_back(e);
    }
    void setLostHandler(std::function<void()> h) override { lost = std::move(h); }
    // Simulates the platform dropping the blocker (another client took the grab).
    void loseIt() {
        enabled = false;
        if (lost) lost();
    }

    bool refuseCreate = false;
    bool created = false;
    bool enabled = false;
    int createCalls = 0;
    std::vector<bool> enableHistory;
    std::function<void()> lost;
};

class FakeKeyMonitor : public KeyMonitor {
public:
    std::optional<Token> addEscapeMonitor(std::function<void()> onEscape) override {
        if (refuse) return std::nullopt;
        handlers[++next_] = std::move(onEscape);
        return next_;
    }
    void removeMonitor(Token t) override { handlers.erase(t); }
    // Simulates Escape typed into another application.
    void pressEscape() {
        auto copy = handlers;
        for (auto& [t, h] : copy) h();
    }
    bool refuse = false;
    std::map<Token, std::function<void()>> handlers;

private:
    Token next_ = 0;
};

// Devices that the test feeds frames into by hand.
class FakeTouchDevices : public TouchDeviceSource {
public:
    std::vector<TouchDevice> deviceList() override { return present; }
    bool startDevice(const TouchDevice& d, FrameHandler handler) override;
    void stopDevice(const TouchDevice& d) override;
    void setHotplugHandler(HotplugHandler h) override { hotplug = std::move(h); }
    // Reports the present devices that are neither started nor refused as added.
    void rescan() override;
    // Delivers a frame as device `id` (only while it is started).
    void deliver(const std::string& id, const std::vector<TouchContact>& fingers, double t);

    std::vector<TouchDevice> present;
    std::vector<std::string> refuse;  // ids whose start fails
    std::map<std::string, FrameHandler> started;
    std::vector<std::string> stopped;
    HotplugHandler hotplug;
};

class FakeLoginItemService : public LoginItemService {
public:
    bool isEnabled() const override { return enabled; }
    Result<> registerItem() override {
        ++calls;
        if (failWith) return Error{*failWith};
        enabled = true;
        return {};
    }
    Result<> unregisterItem() override {
        ++calls;
        if (failWith) return Error{*failWith};
        enabled = false;
        return {};
    }
    bool enabled = false;
    int calls = 0;
    std::optional<std::string> failWith;
};

// A finger at (x, y) in pad units.
TouchContact finger(float x, float y);

}  // namespace trellick::fake
