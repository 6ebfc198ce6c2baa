#include "platform/wayland/ListedWindows.h"

#include <algorithm>

namespace trellick::wayland {

bool ListedWindows::setListed(ListedWindow& w, bool listed) {
    if (w.listed == listed) return false;
    w.listed = listed;
    if (listed) {
        listed_.push_back(w.id);
        recency_.push_back(w.id);
    } else {
        std::erase(listed_, w.id);
        std::erase(recency_, w.id);
        if (active_ == w.id) active_.reset();
    }
    return true;
}

bool ListedWindows::followActive(ListedWindow& w) {
    if (w.active && active_ != w.id) {
        active_ = w.id;
        std::erase(recency_, w.id);
        recency_.insert(recency_.begin(), w.id);
        return true;
    }
    if (!w.active && active_ == w.id) active_.reset();
    return false;
}

void ListedWindows::lost() {
    {
        std::lock_guard lock(lock_);
        if (!control_) return;
        control_ = false;
    }
    controlChanged_.notify();
}

bool ListedWindows::windowControlAvailable() {
    std::lock_guard lock(lock_);
    return control_;
}

std::vector<WindowId> ListedWindows::clientList() {
    std::lock_guard lock(lock_);
    return listed_;
}

std::vector<WindowId> ListedWindows::stackingOrder() {
    std::lock_guard lock(lock_);
    return recency_;
}

std::optional<WindowId> ListedWindows::activeWindow() {
    std::lock_guard lock(lock_);
    return active_;
}

std::optional<WindowId> ListedWindows::focusedWindow(int wantedPid) {
    std::lock_guard lock(lock_);
    if (wantedPid < 1) return std::nullopt;
    std::optional<WindowId> minimisedOne;
    for (WindowId id : recency_) {
        ListedWindow* w = find(id);
        if (!w || processOf(*w) != wantedPid) continue;
        if (w->active || !w->minimised) return id;  // the active one heads the list
        if (!minimisedOne) minimisedOne = id;
    }
    return minimisedOne;
}

bool ListedWindows::isAlive(WindowId window) {
    std::lock_guard lock(lock_);
    return find(window) != nullptr;
}

std::optional<WindowKind> ListedWindows::kind(WindowId window) {
    std::lock_guard lock(lock_);
    ListedWindow* w = find(window);
    if (!w) return std::nullopt;
    return w->parent ? WindowKind::dialog : WindowKind::normal;
}

std::optional<std::string> ListedWindows::title(WindowId window) {
    std::lock_guard lock(lock_);
    ListedWindow* w = find(window);
    if (!w) return std::nullopt;
    return w->title;
}

std::optional<bool> ListedWindows::isMinimised(WindowId window) {
    std::lock_guard lock(lock_);
    ListedWindow* w = find(window);
    if (!w) return std::nullopt;
    return w->minimised;
}

int ListedWindows::pid(WindowId window) {
    std::lock_guard lock(lock_);
    ListedWindow* w = find(window);
    return w ? processOf(*w) : 0;
}

Subscription ListedWindows::onActiveWindowChanged(std::function<void(WindowId)> handler) {
    return activeChanged_.connect(std::move(handler));
}
Subscription ListedWindows::onClientListChanged(std::function<void()> handler) {
    return listChanged_.connect([h = std::move(handler)] { h(); });
}
Subscription ListedWindows::onWindowControlChanged(std::function<void()> handler) {
    return controlChanged_.connect([h = std::move(handler)] { h(); });
}

}  // namespace trellick::wayland
