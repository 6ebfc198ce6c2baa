#pragma once
// The running applications of a desktop, derived from its windows: an application is a
// process owning at least one managed normal (or dialog) window. Activation, launch and
// termination notifications follow the active window and the client list. Its desktop id is
// the desktop entry's, found the way docks find it. Main thread only.

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tracking/DesktopEntries.h"
#include "tracking/WindowSystem.h"
#include "tracking/Workspace.h"

namespace trellick {

struct StackedWindow {
    WindowId id = 0;
    int pid = 0;
};

// The windows one can switch to (normal or dialog, of a known process other than `ownPID`),
// most recently used first as far as the window manager's stacking order tells: visible ones
// top-most first, then minimised ones top-most first, wherever the manager stacks those (a
// window put away is one the user is done with for now). Nothing without window control: a
// departed manager's lists are stale. What the recency lists are seeded from before they have
// seen activations of their own.
std::vector<StackedWindow> windowsByStacking(WindowSystem& windows, int ownPID);

class WindowWorkspace : public Workspace {
public:
    // Reads /proc/PID/cgroup; replaceable for tests.
    using CgroupReader = std::function<std::string(int pid)>;

    static std::shared_ptr<WindowWorkspace> create(std::shared_ptr<WindowSystem> windows,
                                                   std::shared_ptr<DesktopEntries> entries,
                                                   CgroupReader cgroup = nullptr);
    WindowWorkspace(const WindowWorkspace&) = delete;
    WindowWorkspace& operator=(const WindowWorkspace&) = delete;

    std::optional<RunningApp> runningApp(int pid) override;
    std::vector<RunningApp> runningApps() override;
    std::optional<RunningApp> frontmostApp() override;
    void activateApp(int pid) override;
    std::optional<AppLocation> locate(const std::string& desktopId) override;
    bool launch(const std::string& desktopId) override;
    Subscription onActivated(std::function<void(const RunningApp&)> handler) override;
    Subscription onLaunched(std::function<void(int)> handler) override;
    Subscription onTerminated(std::function<void(int)> handler) override;

    // Re-reads the client list now (also done on every change notification).
    void rescan();

    // The application id a systemd unit name of /proc/PID/cgroup carries ("app-gnome-
    // org.gnome.TextEditor-4711.scope" gives candidates "gnome-org.gnome.TextEditor" and
    // "org.gnome.TextEditor"), most specific first. Empty when it is not an app unit.
    static std::vector<std::string> cgroupCandidates(const std::string& cgroupFile);
    static std::string readCgroupFile(int pid);

private:
    WindowWorkspace(std::shared_ptr<WindowSystem> windows, std::shared_ptr<DesktopEntries> entries,
                    CgroupReader cgroup);
    void onActiveWindow(WindowId window);
    RunningApp describe(int pid, WindowId window);
    void addWindowIcon(RunningApp& app, WindowId window);
    std::optional<std::string> resolveEntryId(int pid, const WindowClassHints& hints);

    std::shared_ptr<WindowSystem> windows_;
    std::shared_ptr<DesktopEntries> entries_;
    CgroupReader cgroup_;
    std::map<int, RunningApp> apps_;  // pid -> application
    std::optional<int> frontmostPid_;
    Signal<RunningApp> activated_;
    Signal<int> launched_;
    Signal<int> terminated_;
    Subscription activeSub_, listSub_;
};

}  // namespace trellick
