#pragma once
// One contact of a touch frame: a 96-byte record. The engine reads only the normalised
// position at byte offsets 32 (x) and 36 (y); y grows toward the top edge of the pad.

#include <cstddef>
#include <cstdint>

namespace trellick {

struct MTFinger {
    std::int32_t trackingId = -1;  // the kernel's tracking id
    std::int32_t slot = -1;        // multi-touch slot, -1 for synthesised contacts
    float pressure = 0;            // raw device units where known, else 0
    float touchMajor = 0;
    float touchMinor = 0;
    // The pad's physical size in millimetres, 0 where unknown: finger spacing is anatomy.
    float padWidthMm = 0;
    float padHeightMm = 0;
    std::uint8_t reserved0[4] = {};
    float x = 0;  // 0..1 across the pad
    float y = 0;  // 0..1, grows upward
    std::uint8_t reserved1[56] = {};
};

inline constexpr int kFingerStride = 96;

static_assert(sizeof(MTFinger) == kFingerStride);
static_assert(offsetof(MTFinger, x) == 32);
static_assert(offsetof(MTFinger, y) == 36);

}  // namespace trellick
