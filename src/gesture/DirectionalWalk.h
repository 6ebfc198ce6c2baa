#pragma once
// The touch-thread half of a directional walk, as a value: one per active directional
// gesture. Fed the centroid of every frame, it integrates the finger motion, decides when
// the gesture engages and when the picker opens, follows the downward cancel pull and the
// favourites row, and turns travel into a list index. It posts nothing: each frame returns
// what changed, and the frame handler hands that to the main thread.

#include <limits>
#include <optional>

#include "common/SwitchTarget.h"
#include "gesture/SharedSettings.h"

namespace trellick {

class DirectionalWalk {
public:
    // Units: the centroid is normalised, so horizontal distances are in pad widths, vertical
    // ones in pad heights, speeds in pad widths per second and times in seconds.

    // Horizontal travel before a held swipe engages: a resting hand drifts less than this.
    static constexpr float engageThreshold = 0.05f;
    // Horizontal travel must exceed the vertical by this factor: sideways, not a diagonal scroll.
    static constexpr float horizontalDominance = 1.2f;
    // Dead zone before the first step and past each end of the row, so the selection does not
    // flicker on a boundary.
    static constexpr float horizontalBuffer = 0.03f;
    // Faster centroid motion is a finger landing or lifting, not travel; it also bounds the
    // acceleration.
    static constexpr float maxSpeed = 12.0f;
    // Weight of the newest frame in the smoothed flick speed (a moving average of a few frames).
    static constexpr float flickSpeedSmoothing = 0.4f;
    // However fast the fingers still flick, the overlay opens this long after engaging.
    static constexpr double flickRevealHardCap = 0.5;
    // Upward pull that reaches the favourites row, and the lower level that leaves it again
    // (hysteresis, so a hand on the boundary does not flip rows).
    static constexpr float favouritesUpEngage = 0.13f;
    static constexpr float favouritesUpRelease = 0.06f;
    // Upward travel beyond the engage level that still counts in full before it gives.
    static constexpr float favouritesUpCapMargin = 0.05f;
    // Travel per favourite: the row holds at most three, so a fixed step, not the sensitivity.
    static constexpr float favStepDistance = 0.09f;
    // Downward drift that is not yet a cancel pull: a hand sinks a little as it swipes.
    static constexpr float cancelBuffer = 0.1f;
    // Past either cap the next verticalGiveRaw of pull counts at verticalGiveRate (an elastic
    // feel), then the origin follows the fingers so that moving back reacts at once.
    static constexpr float verticalGiveRaw = 0.1f;
    static constexpr float verticalGiveRate = 0.45f;
    // Haptic ticks on the way to an armed cancel.
    static constexpr int cancelDetents = 4;
    // Shortest frame interval a speed is computed over: two frames with one timestamp would
    // divide by zero.
    static constexpr float frameTimeFloor = 0.001f;
    // An armed cancel disarms only when the pull falls below this share of the threshold.
    static constexpr float disarmLevel = 0.85f;
    // Cancel progress is reported in steps of 1/40: finer than the eye sees in the overlay, and
    // coarse enough not to post a message for every frame.
    static constexpr float progressSteps = 40.0f;

    enum class CancelFeel { none, detent, armed };
    struct Selection {
        SwitcherRow row;
        int index;
        bool beginning;  // the first selection of the walk: the picker opens
    };
    // What one frame changed, in the order the main thread is to hear it.
    struct Update {
        bool escaped = false;  // Escape cancelled the walk; nothing else happened
        bool engaged = false;  // the gesture became a horizontal swipe: swallow scrolling
        CancelFeel feel = CancelFeel::none;
        std::optional<float> cancelProgress;
        std::optional<Selection> selection;
    };
    // What lifting every finger means.
    enum class Lift { nothing, cancel, cancelWithTick, commit, switchPrevious };

    struct Stepped {
        int index;
        std::optional<float> pin;  // where the travel is held when the index was limited
    };
    // `value` in steps of `step`, halves away from zero, limited to 0 ... maxIdx.
    static Stepped steppedIndex(float value, float step, int maxIdx);

    DirectionalWalk() = default;
    // A walk from the gesture's starting centroid.
    DirectionalWalk(float cx, float cy, int numFingers, double now);

    Update track(float cx, float cy, int numFingers, double now, const Shared& settings);
    Lift lift(const Shared& settings);

private:
    void travel(float cx, float cy, int numFingers, double now, float accelGain);
    static float accelerated(float dx, float speed, float accelGain);
    float verticalGive(float cy, float cancelDownThreshold);
    bool engage(double now);
    bool stillFlicking(double now, const Shared& settings) const;
    void reveal(float cy, const Shared& settings);
    float followCancel(float give, const Shared& settings, Update& update);
    CancelFeel armCancel(float progress);
    std::optional<float> reportCancelProgress(float progress);
    bool inFavouritesRow(float give, const Shared& settings);
    int favouritesIndex(const Shared& settings);
    int recentsIndex(const Shared& settings);
    std::optional<Selection> select(SwitcherRow row, int index);

    static constexpr double distantPast = -std::numeric_limits<double>::infinity();

    float prevCentroidX_ = 0, prevCentroidY_ = 0;
    int lastFingerCount_ = 3;
    double lastFrameTime_ = distantPast;
    float accumDx_ = 0, accumDy_ = 0;
    float accumScaledDx_ = 0;  // the walk position: accelerated horizontal travel
    float flickSpeed_ = 0;
    float verticalBaseY_ = 0;
    float lastVerticalDown_ = 0;
    bool directionalEngaged_ = false;
    bool directionalCancelled_ = false;
    double gestureEngageTime_ = distantPast;
    bool hudRevealed_ = false;
    bool inFavourites_ = false;
    float favBaseScaledDx_ = 0;
    int lastLiveIndex_ = -1;
    SwitcherRow lastFocus_ = SwitcherRow::recents;
    float lastCancelProgress_ = -1;
    bool cancelArmed_ = false;
    int lastCancelDetent_ = -1;
};

}  // namespace trellick
