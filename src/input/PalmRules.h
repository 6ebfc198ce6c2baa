#pragma once
// What sets a palm or a resting thumb apart from a fingertip on one touchpad. Few touchpads mark
// palms themselves (MT_TOOL_PALM), so the frame assembler also judges a contact by its size and
// pressure, and by how it behaves (see FrameAssembler.h). Size and pressure only ever count
// against a limit that means something for this device: millimetres where the size axis
// declares its own resolution, a threshold from libinput's quirks database, or a comparison
// with the other contacts beside it. A declared range says nothing about what a finger reads
// (an Apple touchpad's fingertip fills most of its size range), and the approaching tool
// (WIDTH_MAJOR) is not the contact at all, so neither is ever evidence alone.
//
// Distances (edge zones, stillness, flicker) are in millimetres where the pad's physical size
// is known: a believable declared resolution, or a size or resolution hint from the quirks.
// Elsewhere the pad is taken to be about 100 mm wide and distances are fractions of its width.

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "input/InputEvent.h"

namespace trellick::input {

// Why a contact is not a finger.
enum class PalmEvidence : std::uint8_t {
    kernel,    // the device marks it MT_TOOL_PALM (only while it does)
    size,      // its contact is larger than a fingertip's
    pressure,  // it presses far harder than a finger can: for the declared range, or beside the other contacts
    resting,   // it lies still (in an edge zone, or there long before the others) while other
               // contacts touch: left out until it moves
    edge,      // it stayed still in an edge zone while the other contacts moved
    flicker,   // it keeps vanishing and coming back under new tracking ids, or came back where a palm left
    still,     // it lay still, there long before the others, while they moved
};

// Words for a user (`debug-gestures --dump-frames`).
const char* describe(PalmEvidence evidence);

// A touching contact left out of a frame.
struct RejectedContact {
    std::int32_t trackingId = -1;
    std::int32_t slot = -1;
    float x = 0, y = 0;  // normalised as in TouchContact
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
    double touchMajor = none, touchMinor = none;
    double pressure = none;
    // In the lower edge zone, a contact at or above these is the pointing hand's thumb.
    double thumbSize = none, thumbPressure = none;
    // The device reports pressure, or contact size, per contact, so the contacts of a frame
    // can be compared.
    bool comparePressure = false, compareSize = false;
    // A contact touches once its pressure (or size) reaches the first value and lifts when it
    // falls below the second (from the quirks; 0 where the device needs no such filter).
    double pressureDown = 0, pressureUp = 0, sizeDown = 0, sizeUp = 0;

    // The pad's physical size, 0 where unknown, and where it came from ("resolution",
    // "size hint", "resolution hint").
    double widthMm = 0, heightMm = 0;
    const char* sizeSource = "";

    // Edge zones in device coordinates (device y grows toward the user, the lower edge).
    double leftEdge = -none, rightEdge = none, lowerEdge = none;
    // Distances in x units; y differences are multiplied by yScale first (non-square units).
    double yScale = 1;
    double still = 0;          // an edge contact that moves less than this is resting
    double moved = none;       // other contacts that move this far while it rests make it a palm
    double flickerRadius = 0;  // a new contact this close to where one just ended is its return
};

// The pad's physical size in millimetres, where it can be known: a size hint from the quirks,
// else a declared resolution that gives a believable pad, else a resolution hint.
struct PadSize {
    double widthMm = 0, heightMm = 0;
    const char* source = "";
};
std::optional<PadSize> physicalSize(const DeviceInfo& device);

// What is known of the device, a line each, for people (diagnostics, `debug-gestures`): its
// physical size and where it comes from, then the quirks that matched it.
std::vector<std::string> deviceKnowledge(const DeviceInfo& device);

// Fixed tuning, shared by every device.
namespace palm {
// A contact this many times the size of the largest settled finger beside it is a palm: a
// palm's contact is several fingertips' long, while the fingertips of one hand in a swipe
// differ by well under a factor of two.
inline constexpr double sizeRatio = 2.5;
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
// The fingers of a three-finger touch land within about a tenth of a second of each other; a
// contact already down this long when another lands was resting there (a palm, a thumb, a
// finger that pointed first) and counts only once it moves.
inline constexpr double restTime = 0.25;
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
