#pragma once
// The gesture engine in toggle mode over a real window system, fed by a touchpad double: what the
// switch-latency benchmarks of each rig drive, from the lift frame to the window made active.

#include <functional>
#include <memory>

#include "gesture/MultitouchMonitor.h"
#include "platform/desktop/GioDesktopEntries.h"
#include "settings/Diagnostics.h"
#include "simulation/Simulation.h"
#include "tracking/AppTracker.h"
#include "tracking/WindowTracker.h"
#include "tracking/WindowWorkspace.h"

namespace trellick::bench {

struct ToggleEngine {
    MemoryPreferencesStore prefs;
    sim::SimulatedLoginItem login;
    std::shared_ptr<Diagnostics> diagnostics = std::make_shared<Diagnostics>();
    std::shared_ptr<AppTracker> appTracker;
    std::shared_ptr<WindowTracker> windowTracker;
    std::shared_ptr<sim::SimulatedTouchDevices> touch = std::make_shared<sim::SimulatedTouchDevices>();
    std::shared_ptr<MultitouchMonitor> monitor;

    ToggleEngine(const std::shared_ptr<WindowSystem>& windows, const std::shared_ptr<MainQueue>& queue) {
        auto workspace = WindowWorkspace::create(windows, std::make_shared<desktop::GioDesktopEntries>());
        appTracker = AppTracker::create({workspace, windows, queue, diagnostics, nullptr, 0});
        windowTracker = WindowTracker::create({workspace, windows, queue, diagnostics, nullptr, 0});
        windowTracker->start();
        prefs.set(keys::mode, "toggleLastApp");
        prefs.set(keys::granularity, "window");
        prefs.set(keys::hapticFeedback, false);
        touch->present = {{"pad", "bench touchpad"}};
        MultitouchMonitor::Collaborators c;
        c.settings = std::make_shared<SettingsStore>(prefs, login);
        c.appTracker = appTracker;
        c.windowTracker = windowTracker;
        c.favourites = std::make_shared<sim::SimulatedFavourites>();
        c.hud = std::make_shared<NullHUD>();
        c.diagnostics = diagnostics;
        c.mainQueue = queue;
        c.touchDevices = touch;
        monitor = MultitouchMonitor::create(c);
        monitor->start();
    }

    // A toggle swipe up to its lift: three fingers held for 60 ms, then slid 0.2 to the right in
    // 10 ms steps, from `t` on, with `pump` after each frame. The caller delivers the lift.
    void swipe(double t, const std::function<void()>& pump) {
        auto frame = [&](float dx) {
            touch->deliver(
                "pad", {sim::finger(0.40f + dx, 0.5f), sim::finger(0.45f + dx, 0.5f), sim::finger(0.50f + dx, 0.5f)},
                t);
            t += 0.01;
            pump();
        };
        for (int i = 0; i < 6; ++i) frame(0);
        for (int i = 1; i <= 10; ++i) frame(0.02f * static_cast<float>(i));
    }
};

}  // namespace trellick::bench
