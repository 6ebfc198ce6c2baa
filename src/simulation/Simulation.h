#pragma once
// The engine's surroundings in memory, driven by a test, a benchmark or `trellick
// debug-gestures`: recency lists and favourites that switch as told, a touchpad fed by hand, an
// Escape key pressed on cue, and recorders of what the engine asked of the overlay, the
// haptics and the scroll blocker. No window, grab or autostart entry is behind any of it.

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "gesture/HUD.h"
#include "gesture/InputServices.h"
#include "gesture/TouchDevices.h"
#include "settings/LoginItem.h"
#include "tracking/MRUSwitcher.h"

namespace trellick::sim {

// A recency list of titles, most recent first; switching to one moves it to the front.
class SimulatedRecents : public MRUSwitcher {
public:
    explicit SimulatedRecents(std::vector<std::string> titles = {}) : titles(std::move(titles)) {}
    explicit SimulatedRecents(int count);  // "Entry 1" to "Entry N"
    void activatePrevious() override;
    std::vector<SwitchTarget> orderedTargets() override;
    int orderedCount() const override { return static_cast<int>(titles.size()); }

    std::vector<std::string> titles;
    std::vector<std::string> activations;  // titles switched to, in order
    int previousCalls = 0;
};

// Pinned identifiers resolve, titled with the identifier itself, except those in `missing`.
class SimulatedFavourites : public FavouriteTargetSource {
public:
    std::vector<SwitchTarget> targets(const std::vector<std::string>& ids) override;
    std::vector<std::string> missing;
    std::vector<std::string> activations;
};

class RecordingHUD : public HUD {
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

class RecordingHaptics : public HapticPerformer {
public:
    void perform(HapticPattern pattern) override { played.push_back(pattern); }
    std::vector<HapticPattern> played;
};

// Scrolling is never really blocked: this records what the engine asked.
class SimulatedScrollBlocker : public ScrollBlocker {
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
    // The platform drops the blocker (another client took the grab).
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

class SimulatedKeyMonitor : public KeyMonitor {
public:
    std::optional<Token> addEscapeMonitor(std::function<void()> onEscape) override {
        if (refuse) return std::nullopt;
        handlers[++last_] = std::move(onEscape);
        return last_;
    }
    void removeMonitor(Token t) override { handlers.erase(t); }
    // Escape typed anywhere: every installed monitor hears it, in the order installed.
    void pressEscape() {
        auto copy = handlers;  // a monitor may remove itself (or others) when it hears the key
        for (auto& [t, h] : copy) h();
    }
    bool refuse = false;
    std::map<Token, std::function<void()>> handlers;

private:
    Token last_ = 0;
};

// Touchpads fed frames by hand.
class SimulatedTouchDevices : public TouchDeviceSource {
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

// Launch at login as a flag in memory: nothing touches the user's autostart entry.
class SimulatedLoginItem : public LoginItemService {
public:
    bool isEnabled() const override { return enabled; }
    Result<> registerItem() override { return change(true); }
    Result<> unregisterItem() override { return change(false); }
    bool enabled = false;
    int calls = 0;
    std::optional<std::string> failWith;

private:
    Result<> change(bool to) {
        ++calls;
        if (failWith) return Error{*failWith};
        enabled = to;
        return {};
    }
};

// A finger at (x, y) in pad units.
TouchContact finger(float x, float y);

}  // namespace trellick::sim
