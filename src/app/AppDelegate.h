#pragma once
// Starts Trellick, wires its components together and owns them for the life of the process.
// Everything here runs on the main thread.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/NotificationCenter.h"
#include "common/Observable.h"
#include "gesture/HUD.h"
#include "gesture/Haptics.h"
#include "gesture/MultitouchMonitor.h"
#include "platform/DesktopEntries.h"
#include "platform/InputServices.h"
#include "platform/MainQueue.h"
#include "platform/TouchDevices.h"
#include "platform/WindowSystem.h"
#include "settings/Diagnostics.h"
#include "settings/LoginItem.h"
#include "settings/PreferencesStore.h"
#include "settings/SettingsStore.h"
#include "tracking/AppTracker.h"
#include "tracking/Favourites.h"
#include "tracking/UsageTracker.h"
#include "tracking/WindowTracker.h"
#include "tracking/WindowWorkspace.h"

namespace trellick {

// Linux has no Dock; the policy is kept as state so that windows can follow it.
enum class ActivationPolicy { accessory, regular };

class AppDelegate : public std::enable_shared_from_this<AppDelegate> {
public:
    // This program's own bundle identifier: the id of its desktop entry.
    static constexpr const char* bundleIdentifier = "trellick";
    static constexpr double monitorRetryDelay = 1.0;

    // The platform pieces the delegate is built from; the touch source is made once the
    // diagnostics object exists.
    struct Platform {
        std::shared_ptr<PreferencesStore> preferences;
        std::shared_ptr<LoginItemService> loginItems;
        std::shared_ptr<MainQueue> mainQueue;
        std::shared_ptr<Clock> clock;
        std::shared_ptr<WindowSystem> windows;
        std::shared_ptr<DesktopEntries> desktopEntries;
        std::shared_ptr<ScrollBlocker> scrollBlocker;
        std::shared_ptr<KeyMonitor> keyMonitor;
        std::shared_ptr<HapticPerformer> haptics;
        std::function<std::shared_ptr<TouchDeviceSource>(std::weak_ptr<Diagnostics>)> makeTouchSource;
        // Makes the overlay controller at its place in the launch; NullHUD when empty.
        std::function<std::shared_ptr<HUD>()> makeHUD;
    };

    // Creates the settings store (loading every setting) and the diagnostics object.
    explicit AppDelegate(Platform platform);
    ~AppDelegate();
    AppDelegate(const AppDelegate&) = delete;
    AppDelegate& operator=(const AppDelegate&) = delete;

    // The launch sequence: trackers, overlay, engine, usage tracker, favourites notification,
    // granularity subscription and the touch source (with one retry after a second).
    void applicationDidFinishLaunching();
    // Stops touch reading and retries any preferences write that failed.
    void applicationWillTerminate();

    // Windows of later issues (settings, welcome) hook in here; for now they record the request.
    void openSettings();

    const std::shared_ptr<SettingsStore>& settings() const { return settings_; }
    const std::shared_ptr<Diagnostics>& diagnostics() const { return diagnostics_; }
    const std::shared_ptr<AppTracker>& appTracker() const { return appTracker_; }
    const std::shared_ptr<WindowTracker>& windowTracker() const { return windowTracker_; }
    const std::shared_ptr<MultitouchMonitor>& monitor() const { return monitor_; }
    const std::shared_ptr<UsageTracker>& usageTracker() const { return usageTracker_; }
    const std::shared_ptr<Favourites>& favourites() const { return favourites_; }
    const std::shared_ptr<NotificationCenter>& notifications() const { return notifications_; }
    ActivationPolicy activationPolicy() const { return activationPolicy_; }
    int settingsOpenRequests() const { return settingsOpenRequests_; }
    bool monitorStarted() const { return monitorStarted_; }

private:
    Platform p_;
    std::shared_ptr<SettingsStore> settings_;
    std::shared_ptr<Diagnostics> diagnostics_;
    std::shared_ptr<NotificationCenter> notifications_ = std::make_shared<NotificationCenter>();
    std::shared_ptr<WindowWorkspace> workspace_;
    std::shared_ptr<AppTracker> appTracker_;
    std::shared_ptr<WindowTracker> windowTracker_;
    std::shared_ptr<HUD> hud_;
    std::shared_ptr<Favourites> favourites_;
    std::shared_ptr<TouchDeviceSource> touchSource_;
    std::shared_ptr<MultitouchMonitor> monitor_;
    std::shared_ptr<UsageTracker> usageTracker_;
    Subscription favSettingsObserver_;
    std::vector<Subscription> cancellables_;
    ActivationPolicy activationPolicy_ = ActivationPolicy::regular;
    int settingsOpenRequests_ = 0;
    bool monitorStarted_ = false;
};

}  // namespace trellick
