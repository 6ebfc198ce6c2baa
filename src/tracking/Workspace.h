#pragma once
// Running applications as the trackers see them: a process that owns at least one managed
// normal window; its desktop id is its desktop entry's.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/Observable.h"
#include "common/SwitchTarget.h"

namespace trellick {

struct RunningApp {
    int pid = 0;
    std::optional<std::string> desktopId;  // desktop entry id, else the WM_CLASS class name
    std::optional<std::string> name;       // localized name
    std::optional<IconHandle> icon;
    bool regular = true;  // owns a managed window one switches to
};

// An installed application found by its desktop id.
struct AppLocation {
    std::string name;
    std::optional<IconHandle> icon;
};

// Main thread only.
class Workspace {
public:
    virtual ~Workspace() = default;
    virtual std::optional<RunningApp> runningApp(int pid) = 0;
    // Every running regular application, in a stable order (lowest process id first).
    virtual std::vector<RunningApp> runningApps() = 0;
    virtual std::optional<RunningApp> frontmostApp() = 0;
    // Brings the application's focused window to the front.
    virtual void activateApp(int pid) = 0;
    // An installed application with that identifier, whether running or not.
    virtual std::optional<AppLocation> locate(const std::string& desktopId) = 0;
    virtual bool launch(const std::string& desktopId) = 0;

    // Notifications, delivered on the main thread.
    virtual Subscription onActivated(std::function<void(const RunningApp& app)> handler) = 0;
    virtual Subscription onLaunched(std::function<void(int pid)> handler) = 0;
    virtual Subscription onTerminated(std::function<void(int pid)> handler) = 0;
};

}  // namespace trellick
