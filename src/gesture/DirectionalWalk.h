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
    static constexpr float engageThreshold = 0.05f;
    static constexpr float horizontalDominance = 1.2f;
    static constexpr float horizontalBuffer = 0.03f;
    static constexpr float maxSpeed = 12.0f;
    static constexpr float flickSpeedSmoothing = 0.4f;
    static constexpr double flickRevealHardCap = 0.5;
    static constexpr float favouritesUpEngage = 0.13f;
    static constexpr float favouritesUpRelease = 0.06f;
    static constexpr float favouritesUpCapMargin = 0.05f;
    static constexpr float favStepDistance = 0.09f;
    static constexpr float cancelBuffer = 0.1f;
    static constexpr float verticalGiveRaw = 0.1f;
    static constexpr float verticalGiveRate = 0.45f;
    static constexpr int cancelDetents = 4;
    static constexpr float frameTimeFloor = 0.001f;
    static constexpr float disarmLevel = 0.85f;
    static constexpr float progressSteps = 40.0f;  // progress is reported in steps of 1/40

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
