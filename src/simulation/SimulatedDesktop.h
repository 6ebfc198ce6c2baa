#pragma once
// An in-memory window manager and desktop-entry catalogue, driven by the test: windows are
// opened, focused, minimised and closed by hand, and the window system reports it like an
// EWMH window manager would. Also a work queue that runs only when the test says so.

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "simulation/VirtualTime.h"
#include "tracking/DesktopEntries.h"
#include "tracking/WindowSystem.h"
#include "tracking/WorkQueue.h"
#include "tracking/Workspace.h"

namespace trellick::sim {

class SimulatedWindowSystem : public WindowSystem {
public:
    struct Window {
        int pid = 0;
        std::string title;
        WindowKind kind = WindowKind::normal;
        bool minimised = false;
        WindowClassHints hints;
        std::shared_ptr<const void> icon;  // its _NET_WM_ICON image; none when unset
    };

    // Test side. Each change notifies at once (the test plays the main thread).
    WindowId open(Window w);  // maps it (not focused)
    WindowId openAndFocus(Window w);
    void close(WindowId id);          // unmanaged; gone
    void closeSilently(WindowId id);  // gone, but no notification yet (a race)
    void notifyClientList();
    void focus(WindowId id);  // as if the user clicked it
    void setTitle(WindowId id, std::string title);
    void setMinimised(WindowId id, bool minimised);
    void setIcon(WindowId id, std::shared_ptr<const void> icon);  // silently, as X11 would for us
    void setWindowControl(bool available, bool notify = true);    // the window manager left or came back
    // When false, activate() requests are accepted but the window manager ignores them.
    bool honourActivation = true;

    // What the code under test asked for.
    std::vector<WindowId> activations;
    int aliveChecks() const;

    // WindowSystem.
    bool windowControlAvailable() override;
    std::vector<WindowId> clientList() override;
    std::vector<WindowId> stackingOrder() override;
    std::optional<WindowId> activeWindow() override;
    std::optional<WindowId> focusedWindow(int pid) override;
    bool isAlive(WindowId window) override;
    std::optional<WindowKind> kind(WindowId window) override;
    std::optional<std::string> title(WindowId window) override;
    std::optional<bool> isMinimised(WindowId window) override;
    int pid(WindowId window) override;
    WindowClassHints classHints(WindowId window) override;
    std::optional<IconHandle> icon(WindowId window) override;
    bool activate(WindowId window) override;
    Subscription onActiveWindowChanged(std::function<void(WindowId)> handler) override;
    Subscription onClientListChanged(std::function<void()> handler) override;
    Subscription onWindowControlChanged(std::function<void()> handler) override;

private:
    void raiseLocked(WindowId id);

    mutable std::mutex m_;  // the "any thread" reads may come from a worker
    std::map<WindowId, Window> windows_;
    std::vector<WindowId> stacking_;  // bottom to top
    std::optional<WindowId> active_;
    bool control_ = true;
    WindowId next_ = 0x400001;
    int aliveChecks_ = 0;
    Signal<WindowId> activeChanged_;
    Signal<> listChanged_;
    Signal<> controlChanged_;
};

class SimulatedDesktopEntries : public DesktopEntries {
public:
    struct Entry {
        std::string name;
        std::string icon;
        std::string startupWMClass;
    };
    std::map<std::string, Entry> entries;  // by id
    std::vector<std::string> launched;
    // Called on launch (for example to open the application's window).
    std::function<void(const std::string& id)> onLaunch;

    std::optional<DesktopEntry> find(const std::string& id) override;
    std::optional<std::string> idForWMClass(const std::string& wmClass) override;
    bool launch(const std::string& id) override;
    std::vector<DesktopEntry> installed() override;
};

// A workspace of running and installed applications the test lists by hand, in that order
// (including applications that are not regular), without windows behind them.
class SimulatedWorkspace : public Workspace {
public:
    std::vector<RunningApp> running;
    std::map<std::string, AppLocation> installedApps;  // by desktop id
    std::vector<int> activated;

    std::optional<RunningApp> runningApp(int pid) override;
    std::vector<RunningApp> runningApps() override { return running; }
    std::optional<RunningApp> frontmostApp() override { return std::nullopt; }
    void activateApp(int pid) override { activated.push_back(pid); }
    std::optional<AppLocation> locate(const std::string& desktopId) override;
    bool launch(const std::string& desktopId) override { return installedApps.count(desktopId) > 0; }
    Subscription onActivated(std::function<void(const RunningApp&)>) override { return {}; }
    Subscription onLaunched(std::function<void(int)>) override { return {}; }
    Subscription onTerminated(std::function<void(int)>) override { return {}; }
};

// Work that runs only when the test calls run().
class ManualWorkQueue : public WorkQueue {
public:
    void async(std::function<void()> fn) override { work_.post(std::move(fn)); }
    int run() { return work_.runReady(); }  // everything queued (and what that queues); how many ran
    std::size_t pending() const { return work_.pendingCount(); }

private:
    VirtualTime work_;
};

}  // namespace trellick::sim
