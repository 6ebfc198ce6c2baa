#pragma once
// Turns a touchpad's evdev event stream into contact frames, one per SYN_REPORT. The same
// code serves live devices and recordings, so a replay sees exactly what a live pad would.
//
// Contacts are the slots (in slot order) holding a tracking id >= 0 that touch the pad:
// BTN_TOUCH down where the device has BTN_TOUCH, ABS_MT_DISTANCE 0 where it reports distance
// (a hovering finger is not a contact), and not marked MT_TOOL_PALM. When BTN_TOOL_DOUBLETAP ..
// QUINTTAP announce more fingers than the device tracks (two-slot and semi-MT pads), the
// missing ones are added at the centroid of the known contacts. Positions are scaled by the
// device's ranges, y flipped to grow upward, and deliberately not clamped: the engine has its
// own sanity limits for values outside the pad.

#include <cstdint>
#include <vector>

#include "gesture/MTFinger.h"
#include "replay/InputEvent.h"

namespace trellick::input {

class FrameAssembler {
public:
    // Slots beyond this are ignored (no touchpad has more; protects against corrupt input).
    static constexpr int maxSlots = 64;

    // `device` must be usable (DeviceInfo::unusableReason() empty).
    explicit FrameAssembler(const DeviceInfo& device);

    // Applies one event. True when it completed a frame: read it with frame()/frameTime()
    // before the next call.
    bool feed(const InputEvent& event);

    const std::vector<MTFinger>& frame() const { return frame_; }
    double frameTime() const { return frameTime_; }

    // Back to a neutral device: no contacts, no buttons down, slot 0 current.
    void reset();

private:
    struct Contact {
        std::int32_t trackingId = -1;
        std::int32_t x = 0, y = 0;
        std::int32_t pressure = 0, touchMajor = 0, touchMinor = 0;
        std::int32_t distance = 0, toolType = 0;
        bool hasX = false, hasY = false;
    };

    void applyAxis(Contact& c, int code, std::int32_t value);
    void buildFrame(const std::vector<Contact>& contacts, bool fromSlots, double time);
    int announcedFingers() const;
    bool touches(const Contact& c) const;

    // Scaling.
    double xMin_, xSpan_, yMin_, ySpan_;
    bool hasBtnTouch_, hasDistance_;
    bool protocolA_;

    // Device state.
    std::vector<Contact> slots_;
    int currentSlot_ = 0;  // -1 while an out-of-range slot is selected
    bool btnTouch_ = false;
    std::uint8_t tools_ = 0;  // bit n: the BTN_TOOL_* meaning n+1 fingers is down

    // Protocol A: the contact being described, and those closed since the last SYN_REPORT.
    Contact pendingA_;
    std::vector<Contact> packetA_;

    std::vector<MTFinger> frame_;
    double frameTime_ = 0;
};

}  // namespace trellick::input
