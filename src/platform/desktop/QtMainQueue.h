#pragma once
// The main queue on the Qt event loop, and the monotonic clock of the touch frames.

#include <QObject>

#include <memory>

#include "common/MainQueue.h"

namespace trellick::desktop {

// post = a queued call onto the QCoreApplication's thread; postAfter = a single-shot timer
// started there. Create it on the main thread, after the QCoreApplication. Work still
// queued or waiting on a timer when it is destroyed is dropped.
class QtMainQueue : public MainQueue {
public:
    QtMainQueue();
    ~QtMainQueue() override;
    QtMainQueue(const QtMainQueue&) = delete;
    QtMainQueue& operator=(const QtMainQueue&) = delete;

    void post(std::function<void()> fn) override;
    void postAfter(double seconds, std::function<void()> fn) override;

private:
    std::unique_ptr<QObject> context_;
};

// std::chrono::steady_clock in seconds. On Linux that is CLOCK_MONOTONIC, the clock the
// touchpad events are stamped with, so frame times and now() can be compared.
class SteadyClock : public Clock {
public:
    double now() const override;
};

}  // namespace trellick::desktop
