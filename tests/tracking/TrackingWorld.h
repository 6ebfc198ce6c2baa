#pragma once
// A desktop in memory for the trackers: fake windows and desktop entries, the workspace
// derived from them, a main queue on virtual time and hand-run background queues.

#include <type_traits>

#include "platform/fake/FakeWorkspace.h"
#include "platform/fake/Fakes.h"
#include "settings/Diagnostics.h"
#include "tracking/AppTracker.h"
#include "tracking/WindowTracker.h"
#include "tracking/WindowWorkspace.h"

namespace trellick::test {

struct TrackingWorld {
    static constexpr int ownPID = 999;
    using Ids = std::vector<WindowId>;
    using Strings = std::vector<std::string>;

    std::shared_ptr<fake::FakeClock> clock = std::make_shared<fake::FakeClock>();
    std::shared_ptr<fake::FakeMainQueue> mainQueue = std::make_shared<fake::FakeMainQueue>(clock);
    std::shared_ptr<fake::FakeWindowSystem> windows = std::make_shared<fake::FakeWindowSystem>();
    std::shared_ptr<fake::FakeDesktopEntries> entries = std::make_shared<fake::FakeDesktopEntries>();
    std::shared_ptr<fake::ManualWorkQueue> background = std::make_shared<fake::ManualWorkQueue>();
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
        auto t =
            Tracker::create({workspace, windows, mainQueue, diagnostics, realWorkers ? nullptr : background, ownPID});
        if constexpr (std::is_same_v<Tracker, WindowTracker>) t->start();
        if (!realWorkers) settle();
        return t;
    }

    // A window of application `name` (its WM_CLASS), process `pid`, maybe with a GTK application id.
    static fake::FakeWindowSystem::Window win(int pid, const std::string& name, const std::string& title = "",
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
        while (background->run() + mainQueue->runPending() > 0) {}
    }
};

}  // namespace trellick::test
