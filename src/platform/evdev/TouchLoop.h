#pragma once
// The touch thread: one thread waits (epoll) on every open touchpad, the udev monitor and a
// wake-up eventfd, assembles each device's events into frames and hands every frame to that
// device's handler on this thread. Devices are added and removed from the main thread.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gesture/TouchDevices.h"
#include "input/PalmRules.h"
#include "platform/evdev/TouchpadBackend.h"

namespace trellick::evdev {

class TouchLoop {
public:
    // Called on the touch thread after a device was dropped because it went away or failed.
    using GoneHandler = std::function<void()>;
    // Called on the touch thread just before a frame that left touching contacts out (palms,
    // thumbs) is handed on: those contacts, and the frame's time.
    using RejectedHandler = std::function<void(const std::vector<input::RejectedContact>&, double time)>;

    // `now` gives monotonic seconds (the clock of the kernel's event times); it dates the
    // empty frame of a device that goes away.
    explicit TouchLoop(std::function<double()> now);
    ~TouchLoop();
    TouchLoop(const TouchLoop&) = delete;
    TouchLoop& operator=(const TouchLoop&) = delete;

    // False when epoll or the eventfd could not be created: nothing can be read then.
    bool ok() const;

    // Starts reading the device (starting the thread if needed). False when the loop cannot
    // take it (not ok, or the id is taken).
    bool add(const std::string& id, std::unique_ptr<TouchpadReader> reader, FrameHandler handler, GoneHandler onGone,
             RejectedHandler onRejected = {});
    // Stops reading the device and closes it. No frame of it is delivered after this returns.
    // Safe from any thread, the touch thread included.
    void remove(const std::string& id);
    // Drops a device as if it went away (its touchpad was unplugged): the gesture ends with an
    // empty frame if fingers were down, then onGone runs. Touch thread only.
    void drop(const std::string& id);

    // Calls onReadable on the touch thread whenever fd is readable (the udev monitor).
    bool watch(int fd, std::function<void()> onReadable);

    // Stops the thread and waits for it; devices stay registered but are no longer read.
    void stop();

private:
    struct Core;
    std::shared_ptr<Core> core_;
};

}  // namespace trellick::evdev
