#pragma once
// The gesture engine as the rest of the program meets it. It owns the touchpads, the
// settings snapshot the two threads share, and three parts: the frame state machine with
// its directional walk (touch thread) and the walk's selection (main thread). Work for the
// main thread is posted, holding the engine weakly.

#include <memory>
#include <vector>

#include "common/MainQueue.h"
#include "common/ThreadSafety.h"
#include "common/TouchContact.h"
#include "gesture/FrameStateMachine.h"
#include "gesture/GestureTrace.h"
#include "gesture/HUD.h"
#include "gesture/Haptics.h"
#include "gesture/InputServices.h"
#include "gesture/ScrollSuppressor.h"
#include "gesture/SharedSettings.h"
#include "gesture/TouchDevices.h"
#include "gesture/WalkSelection.h"
#include "settings/Diagnostics.h"
#include "settings/SettingsStore.h"
#include "tracking/MRUSwitcher.h"

namespace trellick {

class MultitouchMonitor : public std::enable_shared_from_this<MultitouchMonitor>, private FrameStateMachine::Outbox {
public:
    using State = GestureState;
    using Shared = trellick::Shared;

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
        std::function<void()> openFavouritesSettings;  // the overlay's "Add Favourites" entry
        std::shared_ptr<GestureTrace> trace;           // optional
    };

    // Builds the engine and subscribes it to the settings. The main thread: this binds it.
    static std::shared_ptr<MultitouchMonitor> create(Collaborators collaborators);
    ~MultitouchMonitor() override;
    MultitouchMonitor(const MultitouchMonitor&) = delete;
    MultitouchMonitor& operator=(const MultitouchMonitor&) = delete;

    // Main thread. Starts every touchpad; true when at least one started.
    bool start();
    void stop();

    // Touch thread: one contact frame at `now` (monotonic seconds).
    void handleFrame(const TouchContact* fingers, int numFingers, double now) {
        frames_.handleFrame(fingers, numFingers, now);
    }

    // Main thread: the walk's half there, one message per frame posted by the touch thread, in
    // the order the walk changed: an Escape's cancel, the cancel pull's feel and progress, the
    // selection, then at the lift how the walk ends.
    void walk(const WalkMessage& message);
    // Main thread: a toggle swipe, or a walk lifted before the overlay showed.
    void switchToPrevious();

    // The switcher chosen by the granularity setting (main thread).
    MRUSwitcher& switcher() const;

    ScrollSuppressor& scrollSuppressor() { return *scrollSuppressor_; }

private:
    explicit MultitouchMonitor(Collaborators collaborators);
    // Keeps `settings_` and the shared walk settings up to date with the store.
    void watchSettings();
    // Posts fn(monitor) to the main queue, holding the monitor weakly.
    template <typename F>
    void postMain(F&& fn) {
        std::weak_ptr<MultitouchMonitor> weak = weak_from_this();
        c_.mainQueue->post([weak, fn = std::forward<F>(fn)]() mutable {
            auto self = weak.lock();
            if (!self) return;
            self->mainThread_.check("work posted to the main thread");
            fn(*self);
        });
    }
    void postDiagnostics(std::function<void(Diagnostics&)> fn);
    bool hapticsOn() const;

    // FrameStateMachine::Outbox: the touch thread's hand-over.
    void postFingerCount(int count) override;
    void postSpread(float spread, bool rejected) override;
    void postSwipe(float dx, double endTime) override;
    void postRecentsCount(std::uint32_t gesture) override;
    void postSwitchToPrevious() override;
    void postWalk(const WalkMessage& message) override;
    void cancelHaptic(bool firm);

    void onHotplug(const TouchDevice& device, bool added);
    FrameHandler frameHandler();
    void publishDeviceCount() REQUIRES(mainThread_);

    Collaborators c_;
    ThreadRole mainThread_{"the main thread"};
    std::shared_ptr<ScrollSuppressor> scrollSuppressor_;
    std::shared_ptr<SharedSettings> shared_ = std::make_shared<SharedSettings>();
    EngineSettings settings_ GUARDED_BY(mainThread_);
    std::vector<Subscription> settingsWatch_;
    FrameStateMachine frames_;
    WalkSelection selection_;
    std::vector<TouchDevice> devices_ GUARDED_BY(mainThread_);
};

}  // namespace trellick
