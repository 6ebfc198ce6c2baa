#pragma once
// What the touch source needs from the system, as small interfaces: the udev side (which
// touchpads exist, and when that changes) and the evdev side (an open touchpad's events).
// The system implementations are thin (SystemTouchpads); tests drive the logic with in-memory doubles.

#include <memory>
#include <string>
#include <vector>

#include "common/Result.h"
#include "input/InputEvent.h"

namespace trellick::evdev {

enum class ReadResult {
    event,   // `ev` holds the next event
    empty,   // nothing more to read now
    gone,    // the device went away (ENODEV)
    failed,  // any other read error: the device cannot be read any more
};

// One open touchpad, read without blocking on the touch thread.
class TouchpadReader {
public:
    virtual ~TouchpadReader() = default;
    // Becomes readable when events are waiting.
    virtual int fd() const = 0;
    virtual const input::DeviceInfo& info() const = 0;
    // The next event. After the kernel dropped events this yields SYN_DROPPED, then the events
    // that bring the state up to date, ending with a SYN_REPORT.
    virtual ReadResult next(input::InputEvent& ev) = 0;
};

struct TouchpadNode {
    std::string devnode;  // /dev/input/eventN: also the device's id
    std::string name;
};

struct TouchpadChange {
    enum class Kind { added, removed, changed };
    Kind kind;
    TouchpadNode node;
};

// The udev side. enumerate() is called on the main thread, receiveChanges() on the touch
// thread; implementations keep the two apart.
class TouchpadDiscovery {
public:
    virtual ~TouchpadDiscovery() = default;
    // The touchpad event nodes present now, in a stable order.
    virtual std::vector<TouchpadNode> enumerate() = 0;
    // Readable when changes are waiting; -1 when there is no monitor.
    virtual int monitorFd() const = 0;
    virtual std::vector<TouchpadChange> receiveChanges() = 0;
};

// Opens touchpads for reading (main thread).
class TouchpadOpener {
public:
    virtual ~TouchpadOpener() = default;
    // A reader (never null), or why not: the errno's text, and the errno as the code (EACCES or
    // EPERM when access is refused).
    virtual Result<std::unique_ptr<TouchpadReader>> open(const TouchpadNode& node) = 0;
};

}  // namespace trellick::evdev
