#pragma once
// A gesture engine wired to in-memory doubles, fed frames by hand on virtual time.

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "gesture/MultitouchMonitor.h"
#include "settings/PreferencesStore.h"
#include "settings/SettingsStore.h"
#include "simulation/Simulation.h"
#include "simulation/VirtualTime.h"

namespace trellick::test {

struct Pt {
    float x, y;
};

// Records the engine's touch-thread and main-thread decisions.
struct TraceLog : GestureTrace {
    struct Sel {
        SwitcherRow row;
        int index;
    };
    std::vector<GestureState> states;
    std::vector<Sel> selects;
    std::vector<std::pair<SwitcherRow, int>> commits;
    std::string ends;  // how walks and swipes ended, in order: "commit r1 cancel previous"
    void stateChanged(GestureState to) override { states.push_back(to); }
    void selected(SwitcherRow row, int index, bool) override { selects.push_back({row, index}); }
    void switchedPrevious() override { end("previous"); }
    void committed(SwitcherRow row, int index) override {
        commits.emplace_back(row, index);
        end("commit " + std::string(row == SwitcherRow::recents ? "r" : "f") + std::to_string(index));
    }
    void cancelled() override { end("cancel"); }
    void end(const std::string& how) { ends += (ends.empty() ? "" : " ") + how; }
};

struct EngineRig {
    using Prefs = std::vector<std::pair<std::string, PrefValue>>;
    std::shared_ptr<sim::VirtualTime> time = std::make_shared<sim::VirtualTime>(0);
    MemoryPreferencesStore prefs;
    sim::SimulatedLoginItem loginItems;
    std::shared_ptr<SettingsStore> settings;
    std::shared_ptr<Diagnostics> diagnostics = std::make_shared<Diagnostics>();
    std::shared_ptr<sim::SimulatedRecents> windows =
        std::make_shared<sim::SimulatedRecents>(std::vector<std::string>{"w0", "w1", "w2", "w3", "w4"});
    std::shared_ptr<sim::SimulatedRecents> apps =
        std::make_shared<sim::SimulatedRecents>(std::vector<std::string>{"a0", "a1", "a2"});
    std::shared_ptr<sim::SimulatedFavourites> favourites = std::make_shared<sim::SimulatedFavourites>();
    std::shared_ptr<sim::RecordingHUD> hud = std::make_shared<sim::RecordingHUD>();
    std::shared_ptr<sim::RecordingHaptics> haptic = std::make_shared<sim::RecordingHaptics>();
    std::shared_ptr<sim::SimulatedScrollBlocker> blocker = std::make_shared<sim::SimulatedScrollBlocker>();
    std::shared_ptr<sim::SimulatedKeyMonitor> keys = std::make_shared<sim::SimulatedKeyMonitor>();
    std::shared_ptr<sim::SimulatedTouchDevices> touch = std::make_shared<sim::SimulatedTouchDevices>();
    std::function<void()> openFavouritesSettings;  // what the "Add Favourites" entry did
    std::shared_ptr<TraceLog> trace = std::make_shared<TraceLog>();
    std::shared_ptr<MultitouchMonitor> monitor;

    // Preferences are stored before the settings load, so read rules apply.
    explicit EngineRig(const Prefs& preferences = {}) {
        for (auto& [k, v] : preferences) prefs.set(k, v);
        settings = std::make_shared<SettingsStore>(prefs, loginItems);
        monitor = MultitouchMonitor::create({.settings = settings,
                                             .appTracker = apps,
                                             .windowTracker = windows,
                                             .favourites = favourites,
                                             .hud = hud,
                                             .diagnostics = diagnostics,
                                             .mainQueue = time,
                                             .touchDevices = touch,
                                             .scrollBlocker = blocker,
                                             .keyMonitor = keys,
                                             .haptics = std::make_shared<Haptics>(haptic, time),
                                             .openFavouritesSettings =
                                                 [this] {
                                                     if (openFavouritesSettings) openFavouritesSettings();
                                                 },
                                             .trace = trace});
    }

    // The walk's main-thread half, driven by the messages the touch thread would post.
    void select(SwitcherRow row, int index, bool beginning) {
        WalkMessage m;
        m.update.selection = DirectionalWalk::Selection{row, index, beginning};
        monitor->walk(m);
    }
    void lift(DirectionalWalk::Lift how) {
        WalkMessage m;
        m.lift = how;
        monitor->walk(m);
    }
    void armCancel() {
        WalkMessage m;
        m.update.feel = DirectionalWalk::CancelFeel::armed;
        monitor->walk(m);
    }

    // One frame at time t, then the main queue runs what it posted (and due delayed work)
    // unless the main thread is busy.
    bool mainBusy = false;
    void frame(double t, const std::vector<Pt>& pts) {
        if (!mainBusy) time->advanceTo(t);
        time->set(t);
        auto fs = fingers(pts);
        monitor->handleFrame(fs.data(), static_cast<int>(fs.size()), t);
        if (!mainBusy) time->runReady();
    }
    static std::vector<TouchContact> fingers(const std::vector<Pt>& pts) {
        std::vector<TouchContact> fs;
        for (auto p : pts) fs.push_back(sim::finger(p.x, p.y));
        return fs;
    }
    // Three fingers whose centroid is at (cx, 0.5).
    static std::vector<TouchContact> fingers(float cx) { return fingers(three(cx, 0.5f)); }
    // Three fingers whose centroid is (cx, cy), 0.2 apart.
    static std::vector<Pt> three(float cx, float cy) {
        return {{cx - 0.1f, cy}, {cx, cy + 0.02f}, {cx + 0.1f, cy - 0.02f}};
    }
    void three(double t, float cx, float cy) { frame(t, three(cx, cy)); }
    void lift(double t) { frame(t, {}); }
    // Puts three fingers down at (cx, cy) at t and lets the gesture become active at t+0.05.
    void activate(double t, float cx, float cy) {
        three(t, cx, cy);
        three(t + 0.05, cx, cy);
    }
    // Moves the centroid of three fingers from (x, y) by (dx, dy), `step` along the longer
    // side every 10 ms after t; returns the time of the last frame.
    double move(double t, float& x, float& y, float dx, float dy, float step = 0.005f) {
        int n = static_cast<int>(std::lround(std::max(std::fabs(dx), std::fabs(dy)) / step));
        float x0 = x, y0 = y;
        for (int i = 1; i <= n; ++i) {
            float f = static_cast<float>(i) / static_cast<float>(n);
            three(t += 0.01, x = x0 + dx * f, y = y0 + dy * f);
        }
        return t;
    }
    // Fingers down at x = 0.3 (0.7 with dir -1) at t0, a slow slide of 0.06 that engages, then
    // a rest until the picker opens. Returns the time of the reveal frame.
    double reveal(double t0 = 0, float dir = 1) {
        float x = 0.5f - 0.2f * dir, y = 0.5f;
        auto opened = trace->selects.size();
        activate(t0, x, y);
        double t = move(t0 + 0.05, x, y, 0.06f * dir, 0);
        for (int i = 0; i < 30 && trace->selects.size() == opened; ++i) three(t += 0.01, x, y);
        return t;
    }
    // Every selection so far, "r" for recents and "f" for favourites: "r1 r2 f0".
    std::string walk() const {
        std::string out;
        for (auto& s : trace->selects)
            out += (out.empty() ? "" : " ") + std::string(s.row == SwitcherRow::recents ? "r" : "f") +
                   std::to_string(s.index);
        return out;
    }
    int count(HapticPattern p) const { return static_cast<int>(std::ranges::count(haptic->played, p)); }
    int selectionTicks() const { return count(HapticPattern::alignment); }
    int switchTicks() const { return count(HapticPattern::levelChange); }
    int lastIndex() const { return trace->selects.empty() ? -1 : trace->selects.back().index; }
};

}  // namespace trellick::test
