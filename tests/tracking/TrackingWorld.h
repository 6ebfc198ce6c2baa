#pragma once
// A desktop in memory for the trackers: fake windows and desktop entries, the workspace
// derived from them, a main queue on virtual time and hand-run background queues.

#include <memory>

#include "platform/fake/FakeWorkspace.h"
#include "platform/fake/Fakes.h"
#include "settings/Diagnostics.h"
#include "tracking/WindowWorkspace.h"

namespace trellick::test {

struct TrackingWorld {
    static constexpr int ownPID = 999;

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

    // A window of application `name` (its WM_CLASS class), process `pid`.
    static fake::FakeWindowSystem::Window win(int pid, const std::string& name, const std::string& title = "") {
        fake::FakeWindowSystem::Window w;
        w.pid = pid;
        w.title = title;
        w.hints.className = name;
        w.hints.instance = name;
        return w;
    }

    // Runs background work and what it hands back, until both are idle.
    void settle() {
        while (background->run() + mainQueue->runPending() > 0) {
        }
    }
};

}  // namespace trellick::test
