#pragma once
// Touchpad feedback: a light selection tick (rate limited) and a firm switch tick.
// Main thread only.

#include <limits>
#include <memory>

#include "common/MainQueue.h"
#include "common/ThreadSafety.h"
#include "gesture/InputServices.h"

namespace trellick {

class Haptics {
public:
    static constexpr double selectionInterval = 0.025;  // at most one selection tick per this

    Haptics(std::shared_ptr<HapticPerformer> performer, std::shared_ptr<const Clock> clock)
        : performer_(std::move(performer)), clock_(std::move(clock)) {}

    // Alignment pattern at draw-completed time, unless any haptic played < 25 ms ago.
    void selectionTick();
    // Level-change pattern now; stamps the rate limit so a selection tick right after is dropped.
    void switchTick();

private:
    std::shared_ptr<HapticPerformer> performer_;
    std::shared_ptr<const Clock> clock_;
    ThreadRole mainThread_{"the main thread"};
    double lastTick_ GUARDED_BY(mainThread_) = -std::numeric_limits<double>::infinity();
};

}  // namespace trellick
