#pragma once
// Live, in-memory counters for the diagnostics page. Main thread only; nothing persisted.
// Writers hold it weakly (std::weak_ptr) and skip the update once it is gone.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/Observable.h"

namespace trellick {

class Diagnostics {
public:
    Diagnostics() = default;
    Diagnostics(const Diagnostics&) = delete;
    Diagnostics& operator=(const Diagnostics&) = delete;

    Observable<std::int64_t> swipeEventsSeen{0};
    Observable<std::int64_t> actionsTriggered{0};
    Observable<double> lastDeltaX{0.0};
    // End time of the last evaluated swipe, in the touch frames' clock (monotonic seconds).
    Observable<std::optional<double>> lastEventAt;
    Observable<std::vector<std::string>> mruNames;
    Observable<std::vector<std::string>> mruWindowTitles;
    Observable<std::int64_t> multitouchDevicesActive{0};
    Observable<std::int64_t> currentFingerCount{0};
    Observable<double> lastFingerSpread{0.0};
    Observable<std::int64_t> spreadRejects{0};
    // Linux only: touching contacts the touchpad reader did not count as fingers, each once.
    Observable<std::int64_t> palmRejects{0};
    Observable<std::int64_t> thumbRejects{0};
    // "Window control": whether the window manager lets us read and raise windows.
    Observable<bool> windowControlAvailable{false};
    // Linux only: touchpads present that could not be opened (permission), and whether
    // touchpad access is granted (no touchpad refused us).
    Observable<std::int64_t> touchpadsInaccessible{0};
    // Linux only: what is known of each touchpad read (its size and the quirks that matched),
    // a line each, "NAME: what".
    Observable<std::vector<std::string>> touchpadKnowledge;

    void increment(Observable<std::int64_t>& counter) { counter.set(counter.get() + 1); }
};

}  // namespace trellick
