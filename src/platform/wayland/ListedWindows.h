#pragma once
// What both Wayland window backends keep of the compositor's windows, and the window system's
// queries answered from it: the listed windows in the order they were listed, their recency
// (most recently active first), the active one, each one's facts and window control. One lock
// guards it all, since reads come from any thread (the trackers' work queues); the backends
// fill it from their protocol's events on the main thread.

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "tracking/WindowSystem.h"

namespace trellick::wayland {

// One window as its backend last heard of it.
struct ListedWindow {
    WindowId id = 0;
    std::string title, appId;
    bool active = false, minimised = false;
    const void* parent = nullptr;  // the parent's protocol object: a dialog has one
    bool listed = false;           // in the lists (the backend's rules say when)
};

class ListedWindows : public WindowSystem {
public:
    bool windowControlAvailable() override;
    std::vector<WindowId> clientList() override;
    // Most recently active first: listed windows join at the end, and each that becomes active
    // moves to the head.
    std::vector<WindowId> stackingOrder() override;
    std::optional<WindowId> activeWindow() override;
    std::optional<WindowId> focusedWindow(int pid) override;
    bool isAlive(WindowId window) override;
    std::optional<WindowKind> kind(WindowId window) override;
    std::optional<std::string> title(WindowId window) override;
    std::optional<bool> isMinimised(WindowId window) override;
    int pid(WindowId window) override;
    Subscription onActiveWindowChanged(std::function<void(WindowId)> handler) override;
    Subscription onClientListChanged(std::function<void()> handler) override;
    Subscription onWindowControlChanged(std::function<void()> handler) override;

protected:
    // lock_ held: the listed window `id`, else null.
    virtual ListedWindow* find(WindowId id) = 0;
    // lock_ held: the process of a listed window (or the number standing for one).
    virtual int processOf(ListedWindow& w) = 0;

    // lock_ held. Puts w in the lists (at their end) or takes it out; true when that changed them.
    bool setListed(ListedWindow& w, bool listed);
    // lock_ held. Follows w's `active`: true when it just became the active window, which then
    // heads the recency list. Nothing active (a panel or the desktop has the focus) leaves
    // recency as it is.
    bool followActive(ListedWindow& w);
    // The connection is gone: so is window control.
    void lost();

    std::mutex lock_;
    bool control_ = false;
    std::vector<WindowId> listed_;   // in the order they were listed
    std::vector<WindowId> recency_;  // most recently active first
    std::optional<WindowId> active_;

    Signal<WindowId> activeChanged_;
    Signal<> listChanged_;
    Signal<> controlChanged_;
};

}  // namespace trellick::wayland
