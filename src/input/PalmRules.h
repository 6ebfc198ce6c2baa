#pragma once
// What sets a palm or a resting thumb apart from a fingertip on one touchpad. Few touchpads mark
// palms themselves (MT_TOOL_PALM), so the frame assembler also judges a contact by its size and
// pressure against limits worked out here from the ranges and resolutions the device declares,
// and by how it behaves (see FrameAssembler.h). A device that declares no resolution is taken
// to be about 100 mm wide, so its distances are fractions of its width; one that declares no
// range for an axis gives no evidence from that axis.

#include <cstdint>
#include <limits>

#include "input/InputEvent.h"

namespace trellick::input {

// Why a contact is not a finger.
enum class PalmEvidence : std::uint8_t {
    kernel,    // the device marks it MT_TOOL_PALM (only while it does)
    size,      // its contact is larger than a fingertip's
    pressure,  // it presses far harder than a finger can: for the declared range, or beside the other contacts
    resting,   // it lies still in an edge zone while other contacts touch: left out until it moves
    edge,      // it stayed still in an edge zone while the other contacts moved
    flicker,   // it keeps vanishing and coming back under new tracking ids, or came back where a palm left
};

// Words for a user (`debug-gestures --dump-frames`).
const char* describe(PalmEvidence evidence);

// A touching contact left out of a frame.
struct RejectedContact {
    std::int32_t trackingId = -1;
    std::int32_t slot = -1;
    float x = 0, y = 0;  // normalised as in MTFinger
    PalmEvidence evidence = PalmEvidence::kernel;
    bool thumb = false;  // landed in the lower edge zone, where the pointing hand's thumb rests
    bool first = false;  // the first frame that leaves this contact out for good: count it once
};

struct PalmRules {
    static constexpr double none = std::numeric_limits<double>::infinity();

    static PalmRules forDevice(const DeviceInfo& device);

    // Semi-MT pads report the corners of a bounding box in their slots, not contacts: only the
    // kernel's own mark can be believed there.
    bool perContact = true;

    // A contact at or above any of these (device units) is a palm; `none` where the device
    // gives no basis for the limit.
    double touchMajor = none, touchMinor = none, widthMajor = none;
    double pressure = none;
    // The device reports pressure per contact, so the contacts of a frame can be compared.
    bool comparePressure = false;

    // Edge zones in device coordinates (device y grows toward the user, the lower edge).
    double leftEdge = -none, rightEdge = none, lowerEdge = none;
    // Distances in x units; y differences are multiplied by yScale first (non-square units).
    double yScale = 1;
    double still = 0;          // an edge contact that moves less than this is resting
    double moved = none;       // other contacts that move this far while it rests make it a palm
    double flickerRadius = 0;  // a new contact this close to where one just ended is its return
};

// Fixed tuning, shared by every device.
namespace palm {
// A contact must be this much heavier than the heaviest settled finger beside it to be a palm:
// touchpad pressure grows with contact area, a palm's is several fingertips' while one hand's
// fingertips differ by well under a factor of two in a swipe.
inline constexpr double pressureRatio = 2.5;
// A contact is a reference for that comparison once its pressure has settled: readings ramp
// up as the finger flattens, over a few reports on most pads and a quarter second on some,
// and an early reading beside a settled finger would make the settled one look heavy. Settled
// is when it has not grown by more than settleGrowth for settleTime.
inline constexpr double settleGrowth = 1.125;
inline constexpr double settleTime = 0.05;
// A new contact within flickerRadius of one that ended at most this long before continues it.
// A deliberate lift and touch again (a double tap) takes about as long: that is why a single
// return is not enough and it takes flickerReturns of them in a row.
inline constexpr double flickerGap = 0.2;
inline constexpr int flickerReturns = 2;
// Pieces of a flickering palm are short-lived; a contact held longer than this was tracked
// steadily, and one that follows it starts a chain afresh (a finger lifted and put down again
// to go on dragging).
inline constexpr double flickerLife = 0.5;
// Ended contacts remembered for that (a palm breaks into a few pieces at most).
inline constexpr int endedMemory = 8;
}  // namespace palm

}  // namespace trellick::input
