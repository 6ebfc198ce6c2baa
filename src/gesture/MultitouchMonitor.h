#pragma once
// The gesture engine: the per-frame state machine (touch thread), the directional walk
// (touch thread) and the walk's selection and commit (main thread).

#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "common/MTFinger.h"
#include "common/MainQueue.h"
#include "common/NotificationCenter.h"
#include "gesture/GestureTrace.h"
#include "gesture/HUD.h"
#include "gesture/Haptics.h"
#include "gesture/InputServices.h"
#include "gesture/ScrollSuppressor.h"
#include "gesture/TouchDevices.h"
#include "settings/Diagnostics.h"
#include "settings/SettingsStore.h"
#include "tracking/MRUSwitcher.h"

namespace trellick {

class MultitouchMonitor : public std::enable_shared_from_this<MultitouchMonitor> {
public:
    using State = GestureState;

    // The lock-protected settings snapshot the touch thread copies once per frame.
    struct Shared {
        bool enabled = true;
        SwitchMode mode = SwitchMode::directionalMRU;
        bool invertDirection = false;
        float stepDistance = 0.08f;
        float accelGain = 0.35f;
        float cancelDownThreshold = 0.3f;
        double flickRevealDelay = 0.1;
        float flickVelocity = 2.5f;
        int favouritesCount = 0;
        int recentsCount = 0;
        bool favouritesEnabled = true;
        bool cancelRequested = false;
    };

    struct Collaborators {
        std::shared_ptr<SettingsStore> settings;
        std::shared_ptr<MRUSwitcher> appTracker;
        std::shared_ptr<MRUSwitcher> windowTracker;
        std::shared_ptr<FavouriteTargetSource> favourites;
        std::shared_ptr<HUD> hud;
        std::weak_ptr<Diagnostics> diagnostics;
        std::shared_ptr<MainQueue> mainQueue;
        std::shared_ptr<TouchDeviceSource> touchDevices;
        std::shared_ptr<ScrollBlocker> scrollBlocker;
        std::shared_ptr<KeyMonitor> keyMonitor;
        std::shared_ptr<Haptics> haptics;
        std::shared_ptr<NotificationCenter> notifications;
        std::shared_ptr<GestureTrace> trace;  // optional
    };

    // State-machine constants.
    static constexpr float maxFingerSpread = 0.55f;
    static constexpr double maxDuration = 0.8;
    static constexpr float dxThreshold = 0.1f;
    static constexpr float horizontalDominance = 1.2f;
    static constexpr double settleTime = 0.04;
    // Walk constants.
    static constexpr float engageThreshold = 0.05f;
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
    static constexpr float progressQuantum = 1.0f / 40.0f;
    // Limits of the converted tuning values (far outside what the settings window offers).
    static constexpr double minStepDistance = 0.01;
    static constexpr double maxStepDistance = 100.0;
    static constexpr double maxAccelGain = 1000.0;
    static constexpr double minCancelThreshold = 0.01;
    static constexpr double maxCancelThreshold = 100.0;

    // Builds the engine and subscribes it to the settings (main thread).
    static std::shared_ptr<MultitouchMonitor> create(Collaborators collaborators);
    ~MultitouchMonitor();
    MultitouchMonitor(const MultitouchMonitor&) = delete;
    MultitouchMonitor& operator=(const MultitouchMonitor&) = delete;

    // Main thread. Starts every touchpad; true when at least one started.
    bool start();
    void stop();
    const std::vector<TouchDevice>& devices() const { return devices_; }

    // Touch thread: one contact frame at `now` (monotonic seconds).
    void handleFrame(const MTFinger* fingers, int numFingers, double now);

    // Pure functions of a frame.
    static bool frameLooksSane(const MTFinger* fingers, int count);
    static float maxPairwiseSpread(const MTFinger* fingers, int count);
    struct Stepped {
        int index;
        std::optional<float> pin;
    };
    static Stepped steppedIndex(float value, float step, int maxIdx);

    // Main thread: the walk's half there, posted by the touch thread.
    void updateSelection(SwitcherRow focus, int index, bool beginning);
    void commitDirectional();
    void cancelDirectional();
    void switchToPrevious();
    void installEscapeMonitor();
    void removeEscapeMonitor();
    // Any thread: plays the cancel detent haptics on the main thread.
    void cancelHaptic(bool firm);

    // The switcher chosen by the granularity setting (main thread).
    MRUSwitcher& switcher() const;
    // The "Add Favourites" entry of an empty favourites row.
    SwitchTarget addFavouritesTarget() const;

    // Inspection (tests, diagnostics).
    State state() const { return state_; }  // touch thread
    Shared sharedSnapshot() const;
    bool escapeMonitorInstalled() const { return escapeMonitor_.has_value(); }
    const std::vector<SwitchTarget>& directionalSnapshot() const { return directionalSnapshot_; }
    const std::vector<SwitchTarget>& favouriteSnapshot() const { return favouriteSnapshot_; }
    int cursorIndex() const { return cursorIndex_; }
    int favCursor() const { return favCursor_; }
    SwitcherRow currentFocus() const { return currentFocus_; }
    ScrollSuppressor& scrollSuppressor() { return *scrollSuppressor_; }

private:
    explicit MultitouchMonitor(Collaborators collaborators);
    void mirrorSettings();
    template <typename F>
    void writeShared(F&& fn) {
        std::lock_guard lock(sharedLock_);
        fn(shared_);
    }
    // Posts fn(monitor) to the main queue, holding the monitor weakly.
    template <typename F>
    void postMain(F&& fn) {
        std::weak_ptr<MultitouchMonitor> weak = weak_from_this();
        c_.mainQueue->post([weak, fn = std::forward<F>(fn)]() mutable {
            if (auto self = weak.lock()) fn(*self);
        });
    }
    void setState(State to);

    void reportSpread(float spread, bool rejected);
    void beginGestureTracking(float cx, float cy, int numFingers, double now);
    void evaluateAndFire(double endTime, const Shared& settings);
    void liftDecision(const Shared& settings);
    void trackDirectional(float cx, float cy, int numFingers, double now, const Shared& settings);
    void updateCancelArming(float progress);
    void reportCancelProgress(float progress);
    void postDiagnostics(std::function<void(Diagnostics&)> fn);
    void onHotplug(const TouchDevice& device, bool added);
    FrameHandler frameHandler();
    void publishDeviceCount();

    Collaborators c_;
    std::shared_ptr<ScrollSuppressor> scrollSuppressor_;
    std::vector<Subscription> cancellables_;
    mutable std::mutex sharedLock_;
    Shared shared_;
    std::vector<TouchDevice> devices_;  // main thread

    // Touch thread: the state machine.
    static constexpr double distantPast = -std::numeric_limits<double>::infinity();
    State state_ = State::idle;
    int reportedFingerCount_ = -1;
    double gestureStartTime_ = distantPast;
    float startCentroidX_ = 0, startCentroidY_ = 0;
    float lastCentroidX_ = 0, lastCentroidY_ = 0;
    bool spreadRejectReported_ = false;

    // Touch thread: the directional walk.
    float prevCentroidX_ = 0, prevCentroidY_ = 0;
    int lastFingerCount_ = 3;
    double lastFrameTime_ = distantPast;
    float accumDx_ = 0, accumDy_ = 0, accumScaledDx_ = 0;
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

    // Main thread: the walk's selection.
    std::vector<SwitchTarget> directionalSnapshot_;
    std::vector<SwitchTarget> favouriteSnapshot_;
    int cursorIndex_ = 0;
    int favCursor_ = 0;
    SwitcherRow currentFocus_ = SwitcherRow::recents;
    std::optional<KeyMonitor::Token> escapeMonitor_;
};

}  // namespace trellick
