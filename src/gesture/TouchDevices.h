#pragma once
// The touchpads, as the gesture engine sees them: a list of devices that can be started
// (frames then arrive on the source's one touch thread) and stopped.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/TouchContact.h"

namespace trellick {

// One contact frame: `count` contacts, contiguous; `time` in
// monotonic seconds (the kernel's event time on Linux).
using FrameHandler = std::function<void(const TouchContact* fingers, int count, double time)>;

struct TouchDevice {
    std::string id;    // stable while the device is present (for example its devnode)
    std::string name;  // human readable
};

class TouchDeviceSource {
public:
    virtual ~TouchDeviceSource() = default;
    // The devices present now, in a stable order. Empty when none can be used.
    virtual std::vector<TouchDevice> deviceList() = 0;
    // Registers the frame handler for the device and starts it. False when it cannot start.
    virtual bool startDevice(const TouchDevice& device, FrameHandler handler) = 0;
    // Stops the device; no frame of it is delivered after this returns.
    virtual void stopDevice(const TouchDevice& device) = 0;

    // Hotplug, delivered on the main thread: a touchpad appeared (or became readable) or went
    // away while running. A device that goes away mid-gesture has first delivered an empty
    // frame, so the gesture ends as if the fingers lifted.
    using HotplugHandler = std::function<void(const TouchDevice& device, bool added)>;
    // NOLINTNEXTLINE(performance-unnecessary-value-param): a sink; the sources with hotplug keep it
    virtual void setHotplugHandler(HotplugHandler /*handler*/) {}
    // Looks again for devices that could not be used before (for example after touchpad access
    // was granted) and reports those that can now be used through the hotplug handler.
    virtual void rescan() {}
};

}  // namespace trellick
