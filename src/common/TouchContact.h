#pragma once
// One contact of a touch frame, as the frame assembler hands it to the engine. The engine
// reads the normalised position; y grows toward the top edge of the pad.

#include <cstdint>

namespace trellick {

struct TouchContact {
    std::int32_t trackingId = -1;  // the kernel's tracking id
    std::int32_t slot = -1;        // multi-touch slot, -1 for synthesised contacts
    float pressure = 0;            // raw device units where known, else 0
    float touchMajor = 0;
    float touchMinor = 0;
    // The pad's physical size in millimetres, 0 where unknown: finger spacing is anatomy.
    float padWidthMm = 0;
    float padHeightMm = 0;
    float x = 0;  // 0..1 across the pad
    float y = 0;  // 0..1, grows upward
};

}  // namespace trellick
