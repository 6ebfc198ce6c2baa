#pragma once
// Virtual time: the main queue and the clock in one, moved only by whoever drives it. The
// tests, the benchmarks and `trellick debug-gestures` all run the engine on this scheduler.

#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "common/MainQueue.h"
#include "common/ThreadSafety.h"

namespace trellick::sim {

class VirtualTime : public MainQueue, public Clock {
public:
    // 1000 s by default: a monotonic clock some time after boot.
    explicit VirtualTime(double start = 1000.0) : now_(start) {}

    // Callable from any thread.
    void post(std::function<void()> fn) override;
    void postAfter(double seconds, std::function<void()> fn) override;
    double now() const override;

    // The driving thread's side. Work runs without the lock held, so it may post more.
    // Sets the clock, forwards or back, running nothing.
    void set(double t);
    // Runs posted work, and what it posts, until none is ready. Returns how many ran.
    int runReady();
    // Moves the clock forward to t, running the delayed work due by then in due order (ties in
    // post order), the clock reading each one's due time while it and what it posts run.
    void advanceTo(double t);
    // Runs everything left, delayed work included, the clock following.
    void drain();
    std::size_t pendingCount() const;
    std::optional<double> nextDue() const;  // of the delayed work

private:
    struct Delayed {
        double due;
        unsigned long seq;
        std::function<void()> fn;
    };
    std::optional<Delayed> takeDue(double t);

    mutable Mutex m_;
    double now_ GUARDED_BY(m_);
    std::deque<std::function<void()>> ready_ GUARDED_BY(m_);
    std::vector<Delayed> delayed_ GUARDED_BY(m_);
    unsigned long seq_ GUARDED_BY(m_) = 0;
};

}  // namespace trellick::sim
