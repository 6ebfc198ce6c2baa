#pragma once
// A desktop in memory for the trackers: simulated windows and desktop entries, the workspace
// derived from them, a main queue on virtual time and hand-run background queues.

#include <type_traits>

#include "settings/Diagnostics.h"
#include "simulation/SimulatedDesktop.h"
#include "simulation/VirtualTime.h"
#include "tracking/AppTracker.h"
#include "tracking/WindowTracker.h"
#include "tracking/WindowWorkspace.h"

namespace trellick::test {

struct TrackingWorld {
    static constexpr int ownPID = 999;
    using Ids = std::vector<WindowId>;
    using Strings = std::vector<std::string>;

    std::shared_ptr<sim::VirtualTime> time = std::make_shared<sim::VirtualTime>();
    std::shared_ptr<sim::SimulatedWindowSystem> windows = std::make_shared<sim::SimulatedWindowSystem>();
    std::shared_ptr<sim::SimulatedDesktopEntries> entries = std::make_shared<sim::SimulatedDesktopEntries>();
    std::shared_ptr<sim::ManualWorkQueue> background = std::make_shared<sim::ManualWorkQueue>();
    std::shared_ptr<Diagnostics> diagnostics = std::make_shared<Diagnostics>();
    std::shared_ptr<WindowWorkspace> workspace;

    // Builds the workspace over what the windows hold now (cgroups are all empty).
    void makeWorkspace() {
        workspace = WindowWorkspace::create(windows, entries, [](int) { return std::string(); });
    }

    // An AppTracker or a started WindowTracker over the workspace (built now if not yet);
    // `realWorkers` gives it its own background thread instead of the hand-run queue.
    template <typename Tracker>
    std::shared_ptr<Tracker> make(bool realWorkers = false) {
        if (!workspace) makeWorkspace();
        auto t = Tracker::create({workspace, windows, time, diagnostics, realWorkers ? nullptr : background, ownPID});
        if constexpr (std::is_same_v<Tracker, WindowTracker>) t->start();
        if (!realWorkers) settle();
        return t;
    }

    // A window of application `name` (its WM_CLASS), process `pid`, maybe with a GTK application id.
    static sim::SimulatedWindowSystem::Window win(int pid, const std::string& name, const std::string& title = "",
                                                  WindowKind kind = WindowKind::normal, const std::string& gtkId = "") {
        return {pid, title, kind, false, {name, name, gtkId, ""}, nullptr};
    }

    // The window list's ids, and "title|subtitle" of each target.
    static Ids ids(const WindowTracker& t) {
        Ids out;
        for (auto& e : t.mru()) out.push_back(e.id);
        return out;
    }
    static Strings labels(const std::vector<SwitchTarget>& targets) {
        Strings out;
        for (auto& t : targets) out.push_back(t.title + "|" + t.subtitle.value_or("<none>"));
        return out;
    }

    // Runs background work and what it hands back, until both are idle.
    void settle() {
        while (background->run() + time->runReady() > 0) {}
    }
};

}  // namespace trellick::test
