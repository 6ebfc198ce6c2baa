#pragma once
// The system side of the touch source: udev for finding touchpads and hearing about changes,
// libevdev for reading them. Kept thin: everything that decides lives in tested code.

#include <memory>

#include "platform/evdev/TouchpadBackend.h"

namespace trellick::evdev {

// udev: input devices marked ID_INPUT_TOUCHPAD=1 that have an event node. Enumeration and the
// monitor use separate udev contexts, since they run on different threads.
std::unique_ptr<TouchpadDiscovery> makeUdevDiscovery();

// libevdev: opens a node without blocking, switches its event times to CLOCK_MONOTONIC and
// reads it, resyncing after SYN_DROPPED. Refuses devices without usable position ranges.
std::unique_ptr<TouchpadOpener> makeEvdevOpener();

// CLOCK_MONOTONIC in seconds: the clock of the event times above.
double monotonicNow();

}  // namespace trellick::evdev
