#pragma once
// The per-frame state machine of the touch thread, one handler per state: `idle` waits for a
// narrow three-finger touch, `watching` waits out the settle time, `active` runs the gesture
// (a toggle swipe judged at its end, or a directional walk decided at lift). It never waits
// for the main thread: everything for the main thread goes through the outbox, which posts.

#include <limits>

#include "common/ThreadSafety.h"
#include "common/TouchContact.h"
#include "gesture/DirectionalWalk.h"
#include "gesture/GestureTrace.h"
#include "gesture/ScrollSuppressor.h"
#include "gesture/SharedSettings.h"

namespace trellick {

// What one frame of a directional walk hands to the main thread, in one message: what the frame
// changed, or, at the lift, how the walk ends.
struct WalkMessage {
    DirectionalWalk::Update update;
    DirectionalWalk::Lift lift = DirectionalWalk::Lift::nothing;
    std::uint32_t gesture = 0;  // the touch thread's number of the gesture
};

class FrameStateMachine {
public:
    // The widest three-finger hand that still makes a gesture, in widths of the pad it was set
    // for: a large glass touchpad about referencePadWidthMm wide (the 16-inch class laptops'
    // and external touchpads' 160 mm). Finger spacing is anatomy, so where the frame says how
    // big the pad is, the limit is that many millimetres (88 mm) on every pad.
    static constexpr float maxFingerSpread = 0.55f;
    static constexpr float referencePadWidthMm = 160.0f;
    // A toggle swipe is quick: from the fingers' landing to the lift, under this many seconds.
    static constexpr double maxDuration = 0.8;
    // A toggle swipe's horizontal travel, in pad widths: a tenth of the pad, well past a
    // resting hand's drift.
    static constexpr float dxThreshold = 0.1f;
    static constexpr float horizontalDominance = DirectionalWalk::horizontalDominance;
    // Seconds after the third finger lands before travel counts: fingers land a few frames
    // apart, and the centroid jumps while they do.
    static constexpr double settleTime = 0.04;
    // Contacts read per frame; a larger count is a corrupt frame and is dropped.
    static constexpr int maxContacts = 32;

    // What the touch thread hands to the main thread. Every call posts and returns at once.
    class Outbox {
    public:
        virtual void postFingerCount(int count) = 0;
        virtual void postSpread(float spread, bool rejected) = 0;
        virtual void postSwipe(float dx, double endTime) = 0;
        // The switcher's list length into `Shared`, counted for gesture number `gesture`.
        virtual void postRecentsCount(std::uint32_t gesture) = 0;
        virtual void postSwitchToPrevious() = 0;  // a toggle swipe fired
        virtual void postWalk(const WalkMessage& message) = 0;

    protected:
        virtual ~Outbox() = default;
    };

    FrameStateMachine(SharedSettings& shared, ScrollSuppressor& scroll, GestureTrace* trace, Outbox& out)
        : shared_(shared), scroll_(scroll), trace_(trace), out_(out) {}

    // One contact frame at `now` (monotonic seconds). The touch thread: the first frame binds it.
    void handleFrame(const TouchContact* fingers, int numFingers, double now);
    // Every touchpad has stopped: frames may come from another thread after a restart.
    void touchpadsStopped() { touchThread_.unbind(); }

    static bool frameLooksSane(const TouchContact* fingers, int count);
    static float maxPairwiseSpread(const TouchContact* fingers, int count);
    // The spread judged against maxFingerSpread: in reference-pad widths where the pad's size
    // is known, else in widths of this pad.
    static float judgedSpread(const TouchContact* fingers, int count);

private:
    void onIdle(const TouchContact* fingers, int numFingers, double now) REQUIRES(touchThread_);
    void onWatching(const TouchContact* fingers, int numFingers, double now) REQUIRES(touchThread_);
    void onToggle(const TouchContact* fingers, int numFingers, double now, const Shared& settings)
        REQUIRES(touchThread_);
    void onDirectional(const TouchContact* fingers, int numFingers, double now, const Shared& settings)
        REQUIRES(touchThread_);
    void setState(GestureState to) REQUIRES(touchThread_);
    void endGesture() REQUIRES(touchThread_);
    void reportSpread(float spread, bool rejected);
    void beginGestureTracking(float cx, float cy, int numFingers, double now) REQUIRES(touchThread_);
    void evaluateAndFire(double endTime, const Shared& settings) REQUIRES(touchThread_);
    void handOver(const DirectionalWalk::Update& update) REQUIRES(touchThread_);
    void handOver(DirectionalWalk::Lift lift) REQUIRES(touchThread_);

    SharedSettings& shared_;
    ScrollSuppressor& scroll_;
    GestureTrace* trace_;
    Outbox& out_;

    ThreadRole touchThread_{"the touch thread"};
    static constexpr double distantPast = -std::numeric_limits<double>::infinity();
    GestureState state_ GUARDED_BY(touchThread_) = GestureState::idle;
    int reportedFingerCount_ GUARDED_BY(touchThread_) = -1;
    double gestureStartTime_ GUARDED_BY(touchThread_) = distantPast;
    float startCentroidX_ GUARDED_BY(touchThread_) = 0;
    float startCentroidY_ GUARDED_BY(touchThread_) = 0;
    float lastCentroidX_ GUARDED_BY(touchThread_) = 0;
    float lastCentroidY_ GUARDED_BY(touchThread_) = 0;
    bool spreadRejectReported_ GUARDED_BY(touchThread_) = false;
    DirectionalWalk walk_ GUARDED_BY(touchThread_);
    std::uint32_t gesture_ GUARDED_BY(touchThread_) = 0;         // gestures begun so far
    std::uint32_t escapesAtStart_ GUARDED_BY(touchThread_) = 0;  // `Shared::escapes` then
};

}  // namespace trellick
