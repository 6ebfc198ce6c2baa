#pragma once
// The desktop that `trellick debug-gestures` runs the engine against: time taken from the
// frames, a recency list of numbered entries, favourites that all resolve, an Escape key the
// input presses, and no grab, autostart entry or window behind any of it. Everything runs on
// the command's one thread.

#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "common/MainQueue.h"
#include "gesture/InputServices.h"
#include "settings/LoginItem.h"
#include "tracking/MRUSwitcher.h"

namespace trellick {

// The main queue and the clock on the time of the frames. Work posted while a frame is handled
// runs before the next frame; delayed work runs, in due order, at the first frame whose time
// reaches it, the clock reading its due time meanwhile.
class FrameTime : public MainQueue, public Clock {
public:
    explicit FrameTime(double start = 0) : now_(start) {}

    void post(std::function<void()> fn) override;
    void postAfter(double seconds, std::function<void()> fn) override;
    double now() const override;

    // Runs posted work, and what it posts, until none is ready.
    void runReady();
    // Moves the clock to t, running the delayed work due by then on the way (and what it posts).
    void advanceTo(double t);
    // Sets the clock without running anything.
    void set(double t);
    // End of input: runs everything left, delayed work included, the clock following.
    void drain();

private:
    struct Delayed {
        double due;
        unsigned long seq;
        std::function<void()> fn;
    };
    std::optional<Delayed> takeDue(double t);
    std::optional<double> nextDue() const;

    mutable std::mutex m_;  // post() may be called from any thread
    double now_;
    std::deque<std::function<void()>> ready_;
    std::vector<Delayed> delayed_;
    unsigned long seq_ = 0;
};

// "Entry 1" to "Entry N", most recent first; switching to one moves it to the front.
class SimulatedRecents : public MRUSwitcher {
public:
    explicit SimulatedRecents(int count);
    void activatePrevious() override;
    std::vector<SwitchTarget> orderedTargets() override;
    int orderedCount() const override { return static_cast<int>(titles_.size()); }

private:
    void moveToFront(const std::string& title);
    std::vector<std::string> titles_;
};

// Every pinned identifier resolves, titled with the identifier itself.
class SimulatedFavourites : public FavouriteTargetSource {
public:
    std::vector<SwitchTarget> targets(const std::vector<std::string>& desktopIds) override;
};

// Scrolling is never really blocked: the trace says when the engine wants it blocked.
class NoScrollBlocker : public ScrollBlocker {
public:
    bool create() override { return true; }
    void setEnabled(bool) override {}
    void setLostHandler(std::function<void()>) override {}
};

// The Escape key of the input (`T escape` lines of a scenario).
class ScriptedKeyMonitor : public KeyMonitor {
public:
    std::optional<Token> addEscapeMonitor(std::function<void()> onEscape) override;
    void removeMonitor(Token token) override { monitors_.erase(token); }
    // Calls every installed monitor, in the order they were installed.
    void pressEscape();

private:
    std::map<Token, std::function<void()>> monitors_;
    Token last_ = 0;
};

// Launch at login as a flag in memory: a debug run never touches the user's autostart entry.
class MemoryLoginItem : public LoginItemService {
public:
    bool isEnabled() const override { return enabled_; }
    Result<> registerItem() override;
    Result<> unregisterItem() override;

private:
    bool enabled_ = false;
};

}  // namespace trellick
