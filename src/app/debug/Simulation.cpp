#include "app/debug/Simulation.h"

#include <algorithm>

namespace trellick {

void FrameTime::post(std::function<void()> fn) {
    std::lock_guard lock(m_);
    ready_.push_back(std::move(fn));
}

void FrameTime::postAfter(double seconds, std::function<void()> fn) {
    std::lock_guard lock(m_);
    delayed_.push_back({now_ + seconds, seq_++, std::move(fn)});
}

double FrameTime::now() const {
    std::lock_guard lock(m_);
    return now_;
}

void FrameTime::set(double t) {
    std::lock_guard lock(m_);
    now_ = t;
}

void FrameTime::runReady() {
    for (;;) {
        std::function<void()> fn;
        {
            std::lock_guard lock(m_);
            if (ready_.empty()) return;
            fn = std::move(ready_.front());
            ready_.pop_front();
        }
        fn();  // unlocked: work may post more
    }
}

std::optional<FrameTime::Delayed> FrameTime::takeDue(double t) {
    std::lock_guard lock(m_);
    // The earliest due; of those due together, the first posted.
    auto it = std::min_element(delayed_.begin(), delayed_.end(), [](const Delayed& a, const Delayed& b) {
        return a.due < b.due || (a.due == b.due && a.seq < b.seq);
    });
    if (it == delayed_.end() || it->due > t) return std::nullopt;
    Delayed due = std::move(*it);
    delayed_.erase(it);
    now_ = std::max(now_, due.due);
    return due;
}

void FrameTime::advanceTo(double t) {
    runReady();
    while (auto due = takeDue(t)) {
        due->fn();
        runReady();
    }
    std::lock_guard lock(m_);
    now_ = std::max(now_, t);
}

std::optional<double> FrameTime::nextDue() const {
    std::lock_guard lock(m_);
    if (delayed_.empty()) return std::nullopt;
    return std::min_element(delayed_.begin(), delayed_.end(),
                            [](const Delayed& a, const Delayed& b) { return a.due < b.due; })
        ->due;
}

void FrameTime::drain() {
    runReady();
    while (auto next = nextDue()) advanceTo(*next);
}

SimulatedRecents::SimulatedRecents(int count) {
    for (int i = 1; i <= count; ++i) titles_.push_back("Entry " + std::to_string(i));
}

void SimulatedRecents::activatePrevious() {
    if (titles_.size() >= 2) std::swap(titles_[0], titles_[1]);
}

void SimulatedRecents::moveToFront(const std::string& title) {
    auto it = std::find(titles_.begin(), titles_.end(), title);
    if (it != titles_.end()) std::rotate(titles_.begin(), it, it + 1);
}

std::vector<SwitchTarget> SimulatedRecents::orderedTargets() {
    std::vector<SwitchTarget> targets;
    for (const auto& title : titles_) {
        SwitchTarget t;
        t.title = title;
        // The list outlives every walk of the run that snapshots these targets.
        t.activate = [this, title] { moveToFront(title); };
        targets.push_back(std::move(t));
    }
    return targets;
}

std::vector<SwitchTarget> SimulatedFavourites::targets(const std::vector<std::string>& desktopIds) {
    std::vector<SwitchTarget> targets;
    for (const auto& id : desktopIds) {
        SwitchTarget t;
        t.title = id;
        t.activate = [] {};
        targets.push_back(std::move(t));
    }
    return targets;
}

std::optional<KeyMonitor::Token> ScriptedKeyMonitor::addEscapeMonitor(std::function<void()> onEscape) {
    monitors_[++last_] = std::move(onEscape);
    return last_;
}

void ScriptedKeyMonitor::pressEscape() {
    // A copy: a monitor may remove itself (or others) when it hears the key.
    auto monitors = monitors_;
    for (auto& [token, onEscape] : monitors) onEscape();
}

Result<> MemoryLoginItem::registerItem() {
    enabled_ = true;
    return {};
}

Result<> MemoryLoginItem::unregisterItem() {
    enabled_ = false;
    return {};
}

}  // namespace trellick
