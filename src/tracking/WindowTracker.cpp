#include "tracking/WindowTracker.h"

#include <unistd.h>

#include <algorithm>

#include "common/Log.h"
#include "tracking/WindowWorkspace.h"

namespace trellick {

std::shared_ptr<WindowTracker> WindowTracker::create(Deps deps) {
    return std::shared_ptr<WindowTracker>(new WindowTracker(std::move(deps)));
}

WindowTracker::WindowTracker(Deps deps) : d_(std::move(deps)) {
    if (d_.ownPID == 0) d_.ownPID = static_cast<int>(::getpid());
    if (!d_.livenessQueue) d_.livenessQueue = std::make_shared<SerialQueue>("trellick.WindowTracker.liveness");
}

void WindowTracker::start() {
    if (started_) return;
    started_ = true;
    std::weak_ptr<WindowTracker> weak = weak_from_this();
    auto& ws = *d_.workspace;
    workspaceObservers_.push_back(ws.onActivated([weak](const RunningApp& app) {
        auto self = weak.lock();
        if (!self) return;
        // This program becoming active is also when window control is looked at again.
        if (app.pid == self->d_.ownPID) self->refreshWindowControl();
        self->recordFocusedWindow(app.pid);
    }));
    workspaceObservers_.push_back(ws.onLaunched([weak](int pid) {
        if (auto self = weak.lock()) {
            self->detach(pid);
            self->attach(pid);
        }
    }));
    workspaceObservers_.push_back(ws.onTerminated([weak](int pid) {
        if (auto self = weak.lock()) self->detach(pid);
    }));
    windowControlObserver_ = d_.windows->onWindowControlChanged([weak] {
        if (auto self = weak.lock()) self->windowControlChanged();
    });
    // One window-system observer stands in for the per-application focus observers: it
    // reports focus moves of the applications in `observers_` only.
    focusObserver_ = d_.windows->onActiveWindowChanged([weak](WindowId w) {
        if (auto self = weak.lock()) self->focusChanged(w);
    });
    listObserver_ = d_.windows->onClientListChanged([weak] {
        auto self = weak.lock();
        if (self && self->seeding_ && self->seed()) self->publish();
    });
    refreshWindowControl();
    scheduleReconcile();
}

void WindowTracker::scheduleReconcile() {
    std::weak_ptr<WindowTracker> weak = weak_from_this();
    d_.mainQueue->postAfter(reconcileInterval, [weak] {
        auto self = weak.lock();
        if (!self) return;
        self->reconcileObservers();
        self->scheduleReconcile();
    });
}

void WindowTracker::windowControlChanged() {
    std::weak_ptr<WindowTracker> weak = weak_from_this();
    d_.mainQueue->post([weak] {
        if (auto self = weak.lock()) self->refreshWindowControl();
    });
}

void WindowTracker::refreshWindowControl() {
    bool available = d_.windows->windowControlAvailable();
    auto diag = d_.diagnostics.lock();
    bool was = diag ? diag->windowControlAvailable.get() : false;
    if (diag) diag->windowControlAvailable.set(available);
    if (available && !was) {
        attachAll();
        // The rest of the list from the stacking order, then the active window at its head.
        seeding_ = true;
        if (seed()) publish();
        if (auto front = d_.workspace->frontmostApp()) recordFocusedWindow(front->pid);
    }
}

void WindowTracker::attach(int pid) {
    if (pid < 1 || pid == d_.ownPID || observers_.count(pid) || !d_.windows->windowControlAvailable()) return;
    observers_.insert(pid);
}

void WindowTracker::attachAll() {
    for (auto& app : d_.workspace->runningApps())
        if (app.regular) attach(app.pid);
}

void WindowTracker::detach(int pid) {
    observers_.erase(pid);
    auto before = mru_.size();
    std::erase_if(mru_, [pid](const WindowEntry& e) { return e.pid == pid; });
    if (mru_.size() != before) publish();
}

void WindowTracker::reconcileObservers() {
    if (!d_.windows->windowControlAvailable()) return;
    std::set<int> running;
    for (auto& app : d_.workspace->runningApps())
        if (app.regular) running.insert(app.pid);
    auto keys = observers_;
    for (int pid : keys)
        if (!running.count(pid)) detach(pid);
    for (int pid : running) attach(pid);
}

void WindowTracker::focusChanged(WindowId window) {
    // Any focus move settles a pending raise: its retry must never take the focus back. It
    // also ends the seeding: from here on the list follows what the user does.
    ++raiseGeneration_;
    seeding_ = false;
    int pid = d_.windows->pid(window);
    if (pid < 1 || !observers_.count(pid)) return;
    recordFocusedWindow(pid);
}

void WindowTracker::recordFocusedWindow(int pid) {
    if (pid < 1) return;
    attach(pid);
    // Without window control nothing about other applications' windows can be relied on.
    if (!d_.windows->windowControlAvailable()) return;
    auto window = d_.windows->focusedWindow(pid);
    if (!window) return;
    record(*window, pid);
}

void WindowTracker::record(WindowId window, int pid) {
    if (window == 0 || !d_.windows->isAlive(window)) return;
    WindowEntry entry{window, pid, d_.windows->title(window).value_or("")};
    guessed_.erase(window);
    std::erase_if(mru_, [window](const WindowEntry& e) { return e.id == window; });
    mru_.insert(mru_.begin(), std::move(entry));
    if (mru_.size() > static_cast<std::size_t>(maxDepth)) mru_.resize(maxDepth);
    publish();
}

bool WindowTracker::seed() {
    // Earlier guesses go; windows the user has focused keep their places and are not repeated.
    auto ids = [this] {
        std::vector<WindowId> out;
        for (auto& e : mru_) out.push_back(e.id);
        return out;
    };
    auto before = ids();
    std::erase_if(mru_, [this](const WindowEntry& e) { return guessed_.count(e.id) > 0; });
    guessed_.clear();
    for (auto& w : windowsByStacking(*d_.windows, d_.ownPID)) {
        if (mru_.size() >= static_cast<std::size_t>(maxDepth)) break;
        if (std::ranges::any_of(mru_, [&w](const WindowEntry& e) { return e.id == w.id; })) continue;
        mru_.push_back({w.id, w.pid, d_.windows->title(w.id).value_or("")});
        guessed_.insert(w.id);
    }
    return ids() != before;
}

void WindowTracker::publish() {
    std::vector<std::string> labels;
    for (std::size_t i = 0; i < mru_.size() && i < static_cast<std::size_t>(publishedTitles); ++i) {
        auto app = d_.workspace->runningApp(mru_[i].pid);
        std::string name = app && app->name ? *app->name : "?";
        labels.push_back(name + " \u2014 " + (mru_[i].title.empty() ? "(untitled)" : mru_[i].title));
    }
    log::debug(log::tracking, [&] { return "windows, most recent first: " + log::joined(labels); });
    std::weak_ptr<WindowTracker> weak = weak_from_this();
    std::weak_ptr<Diagnostics> diagnostics = d_.diagnostics;
    d_.mainQueue->post([weak, diagnostics, labels = std::move(labels)] {
        if (weak.expired()) return;
        if (auto diag = diagnostics.lock()) diag->mruWindowTitles.set(labels);
    });
}

void WindowTracker::pruneDead() {
    auto before = mru_.size();
    std::erase_if(mru_, [this](const WindowEntry& e) { return !d_.windows->isAlive(e.id); });
    if (mru_.size() != before) publish();
}

void WindowTracker::scheduleLivenessPrune() {
    if (pruneInFlight_ || mru_.empty()) return;
    pruneInFlight_ = true;
    std::vector<WindowId> snapshot;
    for (auto& e : mru_) snapshot.push_back(e.id);
    std::weak_ptr<WindowTracker> weak = weak_from_this();
    auto windows = d_.windows;
    auto mainQueue = d_.mainQueue;
    d_.livenessQueue->async([weak, windows, mainQueue, snapshot = std::move(snapshot)] {
        // Reads the window system only; the tracker's fields stay on the main thread.
        std::set<WindowId> dead;
        if (!weak.expired())
            for (WindowId id : snapshot)
                if (!windows->isAlive(id)) dead.insert(id);
        mainQueue->post([weak, dead = std::move(dead)] {
            auto self = weak.lock();
            if (!self) return;
            self->pruneInFlight_ = false;
            if (dead.empty()) return;
            auto before = self->mru_.size();
            std::erase_if(self->mru_, [&dead](const WindowEntry& e) { return dead.count(e.id) > 0; });
            if (self->mru_.size() != before) self->publish();
        });
    });
}

void WindowTracker::activatePrevious() {
    // Only the request itself is on the lift path. A window that went without our hearing is
    // refused by the window system; only then are the dead pruned and the next one asked.
    while (mru_.size() >= 2) {
        if (raise(mru_[1])) return;
        auto size = mru_.size();
        pruneDead();
        if (mru_.size() == size) return;
    }
}

bool WindowTracker::raise(const WindowEntry& entry) {
    // _NET_ACTIVE_WINDOW both de-iconifies the window and brings its application forward, so
    // un-minimising, activating the application and raising the window are one request here.
    // Activating the application separately first would focus its other window on the way,
    // which would then wrongly move up the recency list.
    WindowId id = entry.id;
    unsigned generation = ++raiseGeneration_;
    if (!d_.windows->activate(id)) return false;  // not a window of the manager's any more
    // Read after the request is on its way, so the switch does not wait for it. Should the
    // manager have acted already, `before` is the window itself, which the check below treats
    // as done.
    auto before = d_.windows->activeWindow();
    // The window manager answers asynchronously: look once more a little later and ask again
    // if it ignored the request. Not when anything else has happened meanwhile (another
    // raise, the user focusing some window): that would steal the focus back.
    std::weak_ptr<WindowTracker> weak = weak_from_this();
    d_.mainQueue->postAfter(raiseRetryDelay, [weak, id, before, generation] {
        auto self = weak.lock();
        if (!self || generation != self->raiseGeneration_) return;
        auto now = self->d_.windows->activeWindow();
        if (now == id || now != before) return;
        self->d_.windows->activate(id);
    });
    return true;
}

SwitchTarget WindowTracker::target(const WindowEntry& entry) {
    SwitchTarget t;
    auto app = d_.workspace->runningApp(entry.pid);
    if (app) t.icon = app->icon;
    t.title = app && app->name ? *app->name : "Unknown";
    if (!entry.title.empty()) t.subtitle = entry.title;
    std::weak_ptr<WindowTracker> weak = weak_from_this();
    t.activate = [weak, entry] {
        if (auto self = weak.lock()) self->raise(entry);
    };
    return t;
}

std::vector<SwitchTarget> WindowTracker::orderedTargets() {
    scheduleLivenessPrune();
    std::vector<SwitchTarget> out;
    out.reserve(mru_.size());
    for (auto& e : mru_) out.push_back(target(e));
    return out;
}

}  // namespace trellick
