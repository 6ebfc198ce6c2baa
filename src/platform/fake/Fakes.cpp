#include "platform/fake/Fakes.h"

#include <algorithm>
#include <limits>

namespace trellick::fake {

void FakeMainQueue::post(std::function<void()> fn) {
    std::lock_guard lock(m_);
    ready_.push_back(std::move(fn));
}

void FakeMainQueue::postAfter(double seconds, std::function<void()> fn) {
    double due = clock_->now() + seconds;
    std::lock_guard lock(m_);
    delayed_.push_back({due, seq_++, std::move(fn)});
}

int runQueued(std::mutex& lock, std::deque<std::function<void()>>& queue) {
    int ran = 0;
    for (;;) {
        std::function<void()> fn;
        {
            std::lock_guard guard(lock);
            if (queue.empty()) return ran;
            fn = std::move(queue.front());
            queue.pop_front();
        }
        fn();
        ++ran;
    }
}

int FakeMainQueue::runPending() {
    return runQueued(m_, ready_);
}

void FakeMainQueue::advanceTo(double t) {
    runPending();
    for (;;) {
        std::function<void()> fn;
        {
            std::lock_guard lock(m_);
            auto it = std::min_element(delayed_.begin(), delayed_.end(), [](auto& a, auto& b) {
                return a.due < b.due || (a.due == b.due && a.seq < b.seq);
            });
            if (it == delayed_.end() || it->due > t) break;
            fn = std::move(it->fn);
            double due = it->due;
            delayed_.erase(it);
            if (due > clock_->now()) clock_->set(due);
        }
        fn();
        runPending();
    }
    if (t > clock_->now()) clock_->set(t);
}

void FakeMainQueue::drain() {
    runPending();
    for (;;) {
        double next = nextDueTime();
        if (next == std::numeric_limits<double>::infinity()) break;
        advanceTo(next);
    }
}

std::size_t FakeMainQueue::pendingCount() const {
    std::lock_guard lock(m_);
    return ready_.size() + delayed_.size();
}

double FakeMainQueue::nextDueTime() const {
    std::lock_guard lock(m_);
    double best = std::numeric_limits<double>::infinity();
    for (auto& d : delayed_) best = std::min(best, d.due);
    return best;
}

void FakeSwitcher::activatePrevious() {
    ++previousCalls;
    if (onActivatePrevious) onActivatePrevious();
    if (names_.size() < 2) return;
    std::swap(names_[0], names_[1]);
    activations.push_back(names_[0]);
}

std::vector<SwitchTarget> FakeSwitcher::orderedTargets() {
    std::vector<SwitchTarget> out;
    for (auto& n : names_) {
        SwitchTarget t;
        t.title = n;
        t.activate = [this, n] {
            activations.push_back(n);
            auto it = std::find(names_.begin(), names_.end(), n);
            if (it != names_.end()) std::rotate(names_.begin(), it, it + 1);
        };
        out.push_back(std::move(t));
    }
    return out;
}

std::vector<SwitchTarget> FakeFavourites::targets(const std::vector<std::string>& ids) {
    std::vector<SwitchTarget> out;
    for (auto& id : ids) {
        if (std::find(missing.begin(), missing.end(), id) != missing.end()) continue;
        SwitchTarget t;
        t.title = id;
        t.activate = [this, id] { activations.push_back(id); };
        out.push_back(std::move(t));
    }
    return out;
}

void FakeHUD::showList(const std::vector<SwitchTarget>& recents, int recentsSelected,
                       const std::vector<SwitchTarget>& favourites, int favSelected, SwitcherRow focus, HUDLabelStyle,
                       HUDStyle, bool) {
    bool placeholder = std::any_of(favourites.begin(), favourites.end(), [](auto& t) { return t.isPlaceholder; });
    shown.push_back({static_cast<int>(recents.size()), recentsSelected, static_cast<int>(favourites.size()),
                     favSelected, focus, placeholder});
    visible = true;
}

bool FakeTouchDevices::startDevice(const TouchDevice& d, FrameHandler handler) {
    if (std::find(refuse.begin(), refuse.end(), d.id) != refuse.end()) return false;
    started[d.id] = std::move(handler);
    return true;
}

void FakeTouchDevices::stopDevice(const TouchDevice& d) {
    started.erase(d.id);
    stopped.push_back(d.id);
}

void FakeTouchDevices::rescan() {
    for (const auto& d : std::vector<TouchDevice>(present)) {
        bool refused = std::find(refuse.begin(), refuse.end(), d.id) != refuse.end();
        if (!refused && !started.count(d.id) && hotplug) hotplug(d, true);
    }
}

void FakeTouchDevices::deliver(const std::string& id, const std::vector<TouchContact>& fingers, double t) {
    auto it = started.find(id);
    if (it != started.end()) it->second(fingers.data(), static_cast<int>(fingers.size()), t);
}

TouchContact finger(float x, float y) {
    TouchContact f;
    f.x = x;
    f.y = y;
    return f;
}

}  // namespace trellick::fake
