// libFuzzer target for frame assembly: arbitrary event streams (8 bytes an event: type,
// code, value) on a device whose capabilities come from the first bytes.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "input/FrameAssembler.h"

using namespace trellick::input;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 9) return 0;
    DeviceInfo d;
    std::int32_t span;
    std::memcpy(&span, data, 4);
    std::uint8_t flags = data[4];
    d.abs[ABS_MT_POSITION_X] = {true, -(span & 0xffff), 1 + (span & 0xffff), 0};
    d.abs[ABS_MT_POSITION_Y] = {true, 0, 1 + ((span >> 16) & 0xffff), 0};
    if (flags & 1) d.keys.set(BTN_TOUCH);
    if (flags & 2) d.absCodes.set(ABS_MT_DISTANCE);
    d.protocolA = flags & 4;
    // What palms and thumbs are judged by: pressure with or without a range, a contact size
    // with or without a resolution, and semi-MT slots.
    if (flags & 8) d.absCodes.set(ABS_MT_PRESSURE);
    if (flags & 16) d.abs[ABS_MT_PRESSURE] = {true, 0, 255, 0};
    if (flags & 32) d.abs[ABS_MT_TOUCH_MAJOR] = {true, 0, 255, flags & 64 ? 4 : 0};
    if (flags & 128) d.props.set(INPUT_PROP_SEMI_MT);
    FrameAssembler a(d);
    double t = 0;
    for (std::size_t i = 5; i + 8 <= size; i += 8) {
        InputEvent e;
        e.type = static_cast<std::uint16_t>(data[i] & 0x1f);
        std::memcpy(&e.code, data + i + 1, 2);
        e.code &= 0x3ff;
        std::memcpy(&e.value, data + i + 3, 4);
        t += data[i + 7] * 1e-3;
        e.time = t;
        if (a.feed(e)) {
            for (const auto& f : a.frame()) {
                if (f.x != f.x) __builtin_trap();  // positions come from integers: never NaN
            }
            for (const auto& r : a.rejected()) {
                if (r.x != r.x || r.y != r.y) __builtin_trap();
            }
        }
    }
    return 0;
}
