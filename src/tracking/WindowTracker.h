#pragma once
// The most-recently-used order of individual windows across all regular applications, as the
// switcher of the "window" granularity. Learns focus from application activations and from
// per-application focus observers, verifies windows lazily, raises with one short retry and
// keeps the diagnostics page told of window control and of the head of the list. Below the
// active window the list starts from the window manager's stacking order, so that the first
// switch after launch has somewhere to go.
// Main thread only, apart from the liveness check on its own serial queue.

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

struct WindowEntry {
    WindowId id = 0;
    int pid = 0;
    std::string title;  // when last recorded; may be empty
};

class WindowTracker : public MRUSwitcher, public std::enable_shared_from_this<WindowTracker> {
public:
    static constexpr int maxDepth = 30;
    static constexpr int publishedTitles = 8;
    static constexpr double reconcileInterval = 60.0;
    static constexpr double raiseRetryDelay = 0.08;

    struct Deps {
        std::shared_ptr<Workspace> workspace;
        std::shared_ptr<WindowSystem> windows;
        std::shared_ptr<MainQueue> mainQueue;
        std::weak_ptr<Diagnostics> diagnostics;
        std::shared_ptr<WorkQueue> livenessQueue;  // a SerialQueue "trellick.WindowTracker.liveness" when empty
        int ownPID = 0;                            // this process when 0
    };

    static std::shared_ptr<WindowTracker> create(Deps deps);
    WindowTracker(const WindowTracker&) = delete;
    WindowTracker& operator=(const WindowTracker&) = delete;

    // Begins observing; a second call does nothing.
    void start();
    // Re-reads window control: the window manager or compositor either offers it or not.
    void refreshWindowControl();

    void activatePrevious() override;
    std::vector<SwitchTarget> orderedTargets() override;
    int orderedCount() const override { return static_cast<int>(mru_.size()); }

    // Inspection and the timer's work (tests call it by hand).
    const std::vector<WindowEntry>& mru() const { return mru_; }
    void reconcileObservers();

private:
    explicit WindowTracker(Deps deps);
    void windowControlChanged();
    void attach(int pid);
    void attachAll();
    void detach(int pid);
    void recordFocusedWindow(int pid);
    void record(WindowId window, int pid);
    void publish();
    void pruneDead();
    void scheduleLivenessPrune();
    // True when the window system took the request (the window is still one of its own).
    bool raise(const WindowEntry& entry);
    SwitchTarget target(const WindowEntry& entry);
    void scheduleReconcile();
    void focusChanged(WindowId window);
    bool seed();

    Deps d_;
    std::vector<WindowEntry> mru_;
    std::set<int> observers_;  // applications whose focus changes are followed
    std::vector<Subscription> workspaceObservers_;
    Subscription focusObserver_, windowControlObserver_, listObserver_;
    // Windows listed from the stacking order that have not been focused since: a guess that a
    // fresher stacking order replaces, while real focus changes never move.
    std::set<WindowId> guessed_;
    // Window control was gained and no focus change has been seen since: the manager may
    // still be taking on its windows one by one, so each client-list change re-seeds.
    bool seeding_ = false;
    bool started_ = false;
    bool pruneInFlight_ = false;
    unsigned raiseGeneration_ = 0;
};

}  // namespace trellick
