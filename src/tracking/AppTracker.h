#pragma once
// The most-recently-used order of applications, learnt from application activations, as the
// switcher of the "app" granularity. Below the frontmost application the list starts from the
// window manager's stacking order (at start and whenever window control is gained), so that
// the first switch after launch has somewhere to go. Main thread only, apart from the title
// reads, which run one at a time on their own serial queue.

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "common/MainQueue.h"
#include "settings/Diagnostics.h"
#include "tracking/MRUSwitcher.h"
#include "tracking/WindowSystem.h"
#include "tracking/WorkQueue.h"
#include "tracking/Workspace.h"

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

    // Starts recording at once, beginning with the frontmost application and the others in
    // stacking order.
    static std::shared_ptr<AppTracker> create(Deps deps);
    AppTracker(const AppTracker&) = delete;
    AppTracker& operator=(const AppTracker&) = delete;

    // Enters an activated application.
    void record(const RunningApp& app);

    void activatePrevious() override;
    std::vector<SwitchTarget> orderedTargets() override;
    int orderedCount() const override { return static_cast<int>(mru_.size()); }

    const std::vector<int>& mru() const { return mru_; }

    // The title of an application's focused window, read from the window system; nothing
    // without window control or for an empty title. Any thread.
    static std::optional<std::string> focusedWindowTitle(WindowSystem& windows, int pid);

private:
    explicit AppTracker(Deps deps);
    void refreshTitle(int pid);
    void publishMRU();
    std::optional<RunningApp> previousApp();
    void windowControlChanged();
    void seed();
    static void activateApp(Workspace& workspace, int pid);

    Deps d_;
    std::vector<int> mru_;
    std::map<int, std::string> titleCache_;
    Subscription observer_, controlObserver_, listObserver_;
    // As in the window tracker: applications listed from the stacking order and not activated
    // since, and whether client-list changes still re-seed (until the first activation after
    // window control was gained).
    std::set<int> guessed_;
    bool seeding_ = false;
    bool hadControl_ = false;
};

}  // namespace trellick
