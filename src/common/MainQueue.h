#pragma once
// The main thread's serial queue and a clock, injectable so tests run posted work and
// advance time deterministically.

#include <functional>

namespace trellick {

class MainQueue {
public:
    virtual ~MainQueue() = default;
    // Runs fn on the main thread, after work posted before it. Callable from any thread.
    virtual void post(std::function<void()> fn) = 0;
    // Runs fn on the main thread after `seconds`. Callable from any thread.
    virtual void postAfter(double seconds, std::function<void()> fn) = 0;
};

// Monotonic seconds. Only differences are used.
class Clock {
public:
    virtual ~Clock() = default;
    virtual double now() const = 0;
};

}  // namespace trellick
