#pragma once
// The most-recently-used order of applications, learnt from application activations, as the
// switcher of the "app" granularity. Main thread only, apart from the title reads, which run
// one at a time on their own serial queue.

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/MainQueue.h"
#include "platform/WindowSystem.h"
#include "platform/Workspace.h"
#include "settings/Diagnostics.h"
#include "tracking/SwitchTarget.h"
#include "tracking/WorkQueue.h"

namespace trellick {

class AppTracker : public MRUSwitcher, public std::enable_shared_from_this<AppTracker> {
public:
    static constexpr int maxDepth = 20;
    static constexpr int publishedNames = 8;

    struct Deps {
        std::shared_ptr<Workspace> workspace;
        std::shared_ptr<WindowSystem> windows;
        std::shared_ptr<MainQueue> mainQueue;
        std::weak_ptr<Diagnostics> diagnostics;
        std::shared_ptr<WorkQueue> titleQueue;  // a SerialQueue "trellick.AppTracker.titles" when empty
        int ownPID = 0;                         // this process when 0
    };

    // Starts recording at once, beginning with the frontmost application.
    static std::shared_ptr<AppTracker> create(Deps deps);
    AppTracker(const AppTracker&) = delete;
    AppTracker& operator=(const AppTracker&) = delete;

    // Enters an activated application.
    void record(const RunningApp& app);

    void activatePrevious() override;
    std::vector<SwitchTarget> orderedTargets() override;
    int orderedCount() const override { return static_cast<int>(mru_.size()); }

    const std::vector<int>& mru() const { return mru_; }
    std::optional<std::string> cachedTitle(int pid) const;

    // The title of an application's focused window, read from the window system; nothing
    // without window control or for an empty title. Any thread.
    static std::optional<std::string> focusedWindowTitle(WindowSystem& windows, int pid);

private:
    explicit AppTracker(Deps deps);
    void refreshTitle(int pid);
    void publishMRU();
    std::optional<RunningApp> previousApp();
    static void activateApp(Workspace& workspace, int pid);

    Deps d_;
    std::vector<int> mru_;
    std::map<int, std::string> titleCache_;
    Subscription observer_;
};

}  // namespace trellick
