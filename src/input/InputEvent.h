#pragma once
// Kernel input events and what a device says about itself: the vocabulary shared by live
// touchpads and recordings of them.

#include <linux/input-event-codes.h>

#include <array>
#include <bitset>
#include <cstdint>
#include <optional>
#include <string>

#include "input/Quirks.h"

namespace trellick::input {

// One evdev event. `time` is in seconds: monotonic for live devices, counted from the first
// event for recordings.
struct InputEvent {
    double time = 0;
    std::uint16_t type = 0;
    std::uint16_t code = 0;
    std::int32_t value = 0;
};

struct AbsAxis {
    bool known = false;  // a range was declared (header, .desc file or the device)
    std::int32_t minimum = 0;
    std::int32_t maximum = 0;
    std::int32_t resolution = 0;
};

// The capabilities that matter for frame assembly. For a live device they come from the
// kernel; for a recording from its header, its events and a description file.
struct DeviceInfo {
    std::string name;
    // Bus type, vendor, product and version (evdev's input_id), where known.
    std::uint16_t bus = 0, vendor = 0, product = 0, version = 0;
    bool idsKnown = false;
    // What libinput's quirks database knows of this device (PalmRules reads it).
    DeviceQuirks quirks;
    std::array<AbsAxis, ABS_CNT> abs{};
    std::bitset<ABS_CNT> absCodes;  // axes the device reports
    std::bitset<KEY_CNT> keys;      // keys and buttons the device reports
    std::bitset<INPUT_PROP_CNT> props;
    // Contacts come as SYN_MT_REPORT-separated lists (no slots).
    bool protocolA = false;

    bool hasKey(int code) const { return code >= 0 && code < KEY_CNT && keys.test(code); }
    bool hasAbs(int code) const { return code >= 0 && code < ABS_CNT && absCodes.test(code); }

    // The axes positions are scaled by: the multi-touch ones, else the single-touch ones.
    std::optional<AbsAxis> xAxis() const { return axis(ABS_MT_POSITION_X, ABS_X); }
    std::optional<AbsAxis> yAxis() const { return axis(ABS_MT_POSITION_Y, ABS_Y); }

    // The device as quirks sections match it (the machine's DMI and device tree not filled in).
    DeviceIdentity identity() const {
        DeviceIdentity id;
        id.name = name;
        id.bus = bus, id.vendor = vendor, id.product = product, id.version = version;
        id.idsKnown = idsKnown;
        return id;
    }

    // Why frames cannot be assembled for this device, or nothing when they can.
    std::optional<std::string> unusableReason() const;

private:
    std::optional<AbsAxis> axis(int mt, int st) const {
        if (abs[mt].known) return abs[mt];
        if (abs[st].known) return abs[st];
        return std::nullopt;
    }
};

}  // namespace trellick::input
