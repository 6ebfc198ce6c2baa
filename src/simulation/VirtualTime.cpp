#include "simulation/VirtualTime.h"

#include <algorithm>

namespace trellick::sim {

void VirtualTime::post(std::function<void()> fn) {
    MutexLock lock(m_);
    ready_.push_back(std::move(fn));
}

void VirtualTime::postAfter(double seconds, std::function<void()> fn) {
    MutexLock lock(m_);
    delayed_.push_back({now_ + seconds, seq_++, std::move(fn)});
}

double VirtualTime::now() const {
    MutexLock lock(m_);
    return now_;
}

void VirtualTime::set(double t) {
    MutexLock lock(m_);
    now_ = t;
}

int VirtualTime::runReady() {
    for (int ran = 0;; ++ran) {
        std::function<void()> fn;
        {
            MutexLock lock(m_);
            if (ready_.empty()) return ran;
            fn = std::move(ready_.front());
            ready_.pop_front();
        }
        fn();
    }
}

std::optional<VirtualTime::Delayed> VirtualTime::takeDue(double t) {
    MutexLock lock(m_);
    auto it = std::min_element(delayed_.begin(), delayed_.end(), [](const Delayed& a, const Delayed& b) {
        return a.due < b.due || (a.due == b.due && a.seq < b.seq);
    });
    if (it == delayed_.end() || it->due > t) return std::nullopt;
    Delayed due = std::move(*it);
    delayed_.erase(it);
    now_ = std::max(now_, due.due);
    return due;
}

void VirtualTime::advanceTo(double t) {
    runReady();
    while (auto due = takeDue(t)) {
        due->fn();
        runReady();
    }
    MutexLock lock(m_);
    now_ = std::max(now_, t);
}

void VirtualTime::drain() {
    runReady();
    while (auto next = nextDue()) advanceTo(*next);
}

std::size_t VirtualTime::pendingCount() const {
    MutexLock lock(m_);
    return ready_.size() + delayed_.size();
}

std::optional<double> VirtualTime::nextDue() const {
    MutexLock lock(m_);
    if (delayed_.empty()) return std::nullopt;
    return std::min_element(delayed_.begin(), delayed_.end(),
                            [](const Delayed& a, const Delayed& b) { return a.due < b.due; })
        ->due;
}

}  // namespace trellick::sim
