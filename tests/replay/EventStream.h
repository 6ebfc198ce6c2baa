#pragma once
// Hand-made evdev streams for the assembler tests.

#include <vector>

#include "replay/FrameAssembler.h"

namespace trellick::input::test {

// A touchpad 0..1000 wide and 0..500 tall, reporting BTN_TOUCH and the tool buttons.
inline DeviceInfo touchpad(bool btnTouch = true, bool distance = false) {
    DeviceInfo d;
    d.name = "test pad";
    d.abs[ABS_MT_POSITION_X] = {true, 0, 1000, 10};
    d.abs[ABS_MT_POSITION_Y] = {true, 0, 500, 10};
    for (int c : {ABS_MT_SLOT, ABS_MT_POSITION_X, ABS_MT_POSITION_Y, ABS_MT_TRACKING_ID}) d.absCodes.set(c);
    if (distance) d.absCodes.set(ABS_MT_DISTANCE);
    if (btnTouch) d.keys.set(BTN_TOUCH);
    for (int c : {BTN_TOOL_FINGER, BTN_TOOL_DOUBLETAP, BTN_TOOL_TRIPLETAP}) d.keys.set(c);
    return d;
}

// Builds events; each report() closes a frame at the current time.
class Stream {
public:
    Stream& at(double t) {
        t_ = t;
        return *this;
    }
    Stream& abs(int code, int value) { return push(EV_ABS, code, value); }
    Stream& key(int code, int value) { return push(EV_KEY, code, value); }
    Stream& slot(int s) { return abs(ABS_MT_SLOT, s); }
    Stream& id(int trackingId) { return abs(ABS_MT_TRACKING_ID, trackingId); }
    Stream& pos(int x, int y) { return abs(ABS_MT_POSITION_X, x).abs(ABS_MT_POSITION_Y, y); }
    // A new touch in slot s at (x, y).
    Stream& down(int s, int trackingId, int x, int y) { return slot(s).id(trackingId).pos(x, y); }
    Stream& up(int s) { return slot(s).id(-1); }
    Stream& mtReport() { return push(EV_SYN, SYN_MT_REPORT, 0); }
    Stream& dropped() { return push(EV_SYN, SYN_DROPPED, 0); }
    Stream& report() { return push(EV_SYN, SYN_REPORT, 0); }

    const std::vector<InputEvent>& events() const { return events_; }

private:
    Stream& push(int type, int code, int value) {
        events_.push_back({t_, std::uint16_t(type), std::uint16_t(code), value});
        return *this;
    }
    double t_ = 0;
    std::vector<InputEvent> events_;
};

struct Out {
    double time;
    std::vector<MTFinger> fingers;
};

// Every frame the stream produces.
inline std::vector<Out> run(FrameAssembler& a, const Stream& s) {
    std::vector<Out> out;
    for (const auto& e : s.events()) {
        if (a.feed(e)) out.push_back({a.frameTime(), a.frame()});
    }
    return out;
}
inline std::vector<Out> run(const DeviceInfo& d, const Stream& s) {
    FrameAssembler a(d);
    return run(a, s);
}

}  // namespace trellick::input::test
