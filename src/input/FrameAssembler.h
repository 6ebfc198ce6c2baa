#pragma once
// Turns a touchpad's evdev event stream into contact frames, one per SYN_REPORT. The same
// code serves live devices and recordings, so a replay sees exactly what a live pad would.
//
// Contacts are the slots (in slot order) holding a tracking id >= 0 that touch the pad:
// BTN_TOUCH down where the device has BTN_TOUCH, ABS_MT_DISTANCE 0 where it reports distance
// (a hovering finger is not a contact), and that are fingers rather than palms or thumbs.
// When BTN_TOOL_DOUBLETAP .. QUINTTAP announce more fingers than the device tracks (two-slot
// and semi-MT pads), the missing ones are added at the centroid of the known fingers.
// Positions are scaled by the device's ranges, y flipped to grow upward, and deliberately not
// clamped: the engine has its own sanity limits for values outside the pad.
//
// Palms and thumbs. A palm handed on as a finger turns a two-finger scroll into a "three-finger
// swipe", so a contact is left out when, in this order of trust:
// - the device marks it MT_TOOL_PALM (for as long as it does);
// - its size or pressure says palm (PalmRules): from then on, for the rest of its tracking id;
// - it landed in a side or lower edge zone and lies still while another contact touches (a
//   resting palm or thumb): left out until it moves, and for good once the others have moved
//   well away while it stayed;
// - it keeps vanishing and coming back in the same place under new tracking ids, or comes back
//   where a palm just left (flickering palms).
// The BTN_TOOL_* count says how many things touch, palms included, so a palm never comes back
// as a stand-in, not even while it flickers out of its slot. Protocol A contacts have no
// identity: only the device's mark and the size and pressure limits apply to them.

#include <cstdint>
#include <optional>
#include <vector>

#include "common/TouchContact.h"
#include "input/InputEvent.h"
#include "input/PalmRules.h"

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

    const std::vector<TouchContact>& frame() const { return frame_; }
    double frameTime() const { return frameTime_; }
    // The touching contacts the last frame left out, and why.
    const std::vector<RejectedContact>& rejected() const { return rejected_; }

    // Back to a neutral device: no contacts, no buttons down, slot 0 current.
    void reset();

private:
    struct Contact {
        std::int32_t trackingId = -1;
        std::int32_t x = 0, y = 0;
        std::int32_t pressure = 0, touchMajor = 0, touchMinor = 0, widthMajor = 0;
        std::int32_t distance = 0, toolType = 0;
        bool hasX = false, hasY = false;
    };

    // Where another contact stood when a resting edge contact landed.
    struct Anchor {
        std::int32_t slot = -1, trackingId = -1, x = 0, y = 0;
    };
    // What is known of the contact (tracking id) a slot holds.
    struct Track {
        std::int32_t trackingId = -1;
        bool landed = false;     // has touched the pad
        bool palm = false;       // for the rest of its life
        bool counted = false;    // reported as left out for good (once)
        bool thumbZone = false;  // landed in the lower edge zone
        bool atEdge = false;     // landed in an edge zone
        bool resting = false;    // at rest (at the edge, or there before the others) and not moved since
        bool kernelPalm = false;
        bool touching = false;  // in the current frame
        bool leftOut = false;   // of the current frame
        PalmEvidence evidence = PalmEvidence::kernel;
        int returns = 0;  // times it came back where a contact had just ended
        double landTime = 0;
        std::int32_t landX = 0, landY = 0, lastX = 0, lastY = 0;
        std::int32_t restX = 0, restY = 0;  // where it came to rest
        // Where it last moved to, and since when it has stayed within `still` of there.
        std::int32_t stillX = 0, stillY = 0;
        double stillSince = 0, stillBefore = 0;  // stillSince, and its value before this report
        std::int32_t peakPressure = 0, peakSize = 0;
        // Pressure and size when either last grew markedly, at settleSince.
        std::int32_t settlePressure = 0, settleSize = 0;
        double settleSince = 0;
        int anchorCount = 0;  // others beyond four count from where they landed
        Anchor anchors[4];
    };
    struct Ended {
        double time = -1e300;
        std::int32_t x = 0, y = 0;
        int returns = 0;
        bool palm = false;
    };

    struct SlotCounts {
        int touching = 0, resting = 0;
    };

    void feedAbs(const InputEvent& e);
    void feedKey(const InputEvent& e);
    // True on SYN_REPORT, which completes a frame.
    bool feedSyn(const InputEvent& e);
    void applyAxis(Contact& c, int code, std::int32_t value);
    void buildFrame(const std::vector<Contact>& contacts, bool fromSlots, double time);
    // The tool count of this report, and the palms away from their slots it accounts for.
    int followAnnounced(double time);
    void addStandIns(int missing, double sumX, double sumY);
    // Decides which slots' contacts the frame leaves out, in the steps below.
    void judgeSlots(double time);
    // Starts and ends of contacts, and what each says about itself.
    SlotCounts followContacts(double time);
    // Pressure and size beside the others: each contact against the heaviest (largest)
    // settled other one.
    void compareContacts(double time);
    void compareBy(std::int32_t Track::*peak, std::int32_t Contact::*now, double ratio, PalmEvidence why, double time);
    // It has travelled, and in the direction another contact travels.
    bool movesWithOthers(std::size_t slot) const;
    // Above the device's touch thresholds (pressure and size), with hysteresis once down.
    bool pressedEnough(const Contact& c, bool landed) const;
    // Edge contacts that stay put while the others move away are resting hands.
    void judgeResting();
    // Who is left out, and why.
    void leaveOut();
    // Contacts at rest when others arrive (a new contact, or a higher tool count): how many.
    int restBesideNewcomers(double time);
    // Touching and not (yet) known as a palm.
    static bool candidate(const Track& t);
    void land(Track& t, std::size_t slot, const Contact& c, double time);
    void end(Track& t, double time);
    std::optional<PalmEvidence> sizeOrPressureSaysPalm(const Contact& c) const;
    void markPalm(Track& t, PalmEvidence why);
    // Squared distance in x units.
    double distance2(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1) const;
    void reject(const Contact& c, std::int32_t slot, PalmEvidence why, bool thumb, bool first);
    int announcedFingers() const;
    bool touches(const Contact& c) const;

    // Scaling.
    double xMin_, xSpan_, yMin_, ySpan_;
    bool hasBtnTouch_, hasDistance_;
    bool protocolA_;
    PalmRules rules_;

    // Device state.
    std::vector<Contact> slots_;
    int currentSlot_ = 0;  // -1 while an out-of-range slot is selected
    bool btnTouch_ = false;
    std::uint8_t tools_ = 0;  // bit n: the BTN_TOOL_* meaning n+1 fingers is down

    // Protocol A: the contact being described, and those closed since the last SYN_REPORT.
    Contact pendingA_;
    std::vector<Contact> packetA_;

    // Palm judgement: per slot, alongside slots_; contacts that ended lately; palms that left
    // their slot while the BTN_TOOL_* count may still include them.
    std::vector<Track> tracks_;
    Ended ended_[palm::endedMemory];
    int endedNext_ = 0;
    int palmsAway_ = 0;
    double palmsAwayUntil_ = 0;
    int lastAnnounced_ = 0;
    bool arrived_ = false;           // a contact landed in this report
    std::size_t lastRejectedA_ = 0;  // protocol A: contacts left out of the previous packet

    std::vector<TouchContact> frame_;
    std::vector<RejectedContact> rejected_;
    double frameTime_ = 0;
};

}  // namespace trellick::input
