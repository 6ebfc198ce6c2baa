#include "tracking/AppTracker.h"

#include <unistd.h>

#include <algorithm>
#include <utility>

#include "tracking/WindowWorkspace.h"

#include "common/Log.h"

namespace trellick {

std::shared_ptr<AppTracker> AppTracker::create(Deps deps) {
    std::shared_ptr<AppTracker> t(new AppTracker(std::move(deps)));
    std::weak_ptr<AppTracker> weak = t;
    t->observer_ = t->d_.workspace->onActivated([weak](const RunningApp& app) {
        auto self = weak.lock();
        if (!self) return;
        self->seeding_ = false;
        self->record(app);
    });
    t->controlObserver_ = t->d_.windows->onWindowControlChanged([weak] {
        if (auto self = weak.lock()) self->windowControlChanged();
    });
    t->listObserver_ = t->d_.windows->onClientListChanged([weak] {
        auto self = weak.lock();
        if (self && self->seeding_) self->seed();
    });
    t->windowControlChanged();
    if (auto front = t->d_.workspace->frontmostApp()) t->record(*front);
    return t;
}

AppTracker::AppTracker(Deps deps) : d_(std::move(deps)) {
    if (d_.ownPID == 0) d_.ownPID = static_cast<int>(::getpid());
    if (!d_.titleQueue) d_.titleQueue = std::make_shared<SerialQueue>("trellick.AppTracker.titles");
}

void AppTracker::record(const RunningApp& app) {
    int pid = app.pid;
    if (pid < 1 || pid == d_.ownPID) return;
    guessed_.erase(pid);
    std::erase(mru_, pid);
    mru_.insert(mru_.begin(), pid);
    if (mru_.size() > static_cast<std::size_t>(maxDepth)) mru_.resize(maxDepth);
    std::erase_if(titleCache_,
                  [this](const auto& kv) { return std::find(mru_.begin(), mru_.end(), kv.first) == mru_.end(); });
    refreshTitle(pid);
    publishMRU();
}

void AppTracker::windowControlChanged() {
    bool now = d_.windows->windowControlAvailable();
    if (now && !hadControl_) {
        seeding_ = true;
        seed();
    }
    hadControl_ = now;
}

void AppTracker::seed() {
    // Earlier guesses go; applications the user has activated keep their places and are not
    // repeated. Each application stands where its top-most window does.
    auto before = mru_;
    auto wasGuessed = std::exchange(guessed_, {});
    std::erase_if(mru_, [&wasGuessed](int pid) { return wasGuessed.count(pid) > 0; });
    for (auto& w : windowsByStacking(*d_.windows, d_.ownPID)) {
        if (mru_.size() >= static_cast<std::size_t>(maxDepth)) break;
        if (std::find(mru_.begin(), mru_.end(), w.pid) != mru_.end()) continue;
        mru_.push_back(w.pid);
        guessed_.insert(w.pid);
    }
    if (mru_ == before) return;
    std::erase_if(titleCache_,
                  [this](const auto& kv) { return std::find(mru_.begin(), mru_.end(), kv.first) == mru_.end(); });
    for (int pid : guessed_)
        if (!wasGuessed.count(pid)) refreshTitle(pid);
    publishMRU();
}

void AppTracker::refreshTitle(int pid) {
    std::weak_ptr<AppTracker> weak = weak_from_this();
    auto windows = d_.windows;
    auto mainQueue = d_.mainQueue;
    // The worker never takes ownership of the tracker: it only reads the window system.
    d_.titleQueue->async([weak, windows, mainQueue, pid] {
        if (weak.expired()) return;
        auto title = focusedWindowTitle(*windows, pid);
        mainQueue->post([weak, pid, title] {
            auto self = weak.lock();
            if (!self) return;
            if (std::find(self->mru_.begin(), self->mru_.end(), pid) == self->mru_.end()) return;
            if (title)
                self->titleCache_[pid] = *title;
            else
                self->titleCache_.erase(pid);
        });
    });
}

std::optional<std::string> AppTracker::focusedWindowTitle(WindowSystem& windows, int pid) {
    if (pid < 1 || !windows.windowControlAvailable()) return std::nullopt;
    auto window = windows.focusedWindow(pid);
    if (!window) return std::nullopt;
    auto title = windows.title(*window);
    if (!title || title->empty()) return std::nullopt;
    return title;
}

void AppTracker::publishMRU() {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < mru_.size() && i < static_cast<std::size_t>(publishedNames); ++i) {
        auto app = d_.workspace->runningApp(mru_[i]);
        if (app && app->name) names.push_back(*app->name);
    }
    log::debug(log::tracking, [&] { return "applications, most recent first: " + log::joined(names); });
    std::weak_ptr<AppTracker> weak = weak_from_this();
    std::weak_ptr<Diagnostics> diagnostics = d_.diagnostics;
    d_.mainQueue->post([weak, diagnostics, names = std::move(names)] {
        if (weak.expired()) return;
        if (auto diag = diagnostics.lock()) diag->mruNames.set(names);
    });
}

std::optional<RunningApp> AppTracker::previousApp() {
    if (mru_.size() < 2) return std::nullopt;
    for (std::size_t i = 1; i < mru_.size(); ++i)
        if (auto app = d_.workspace->runningApp(mru_[i])) return app;
    return std::nullopt;
}

void AppTracker::activateApp(Workspace& workspace, int pid) {
    workspace.activateApp(pid);
}

void AppTracker::activatePrevious() {
    if (auto app = previousApp()) activateApp(*d_.workspace, app->pid);
}

std::vector<SwitchTarget> AppTracker::orderedTargets() {
    std::vector<SwitchTarget> out;
    for (int pid : mru_) {
        auto app = d_.workspace->runningApp(pid);
        if (!app) continue;
        SwitchTarget t;
        t.icon = app->icon;
        t.title = app->name ? *app->name : "Unknown";
        if (auto it = titleCache_.find(pid); it != titleCache_.end() && !it->second.empty()) t.subtitle = it->second;
        std::weak_ptr<Workspace> workspace = d_.workspace;
        t.activate = [workspace, pid] {
            if (auto ws = workspace.lock()) {
                // Quit since the snapshot was taken: nothing to bring forward.
                if (ws->runningApp(pid)) activateApp(*ws, pid);
            }
        };
        out.push_back(std::move(t));
    }
    return out;
}

}  // namespace trellick
