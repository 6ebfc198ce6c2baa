#pragma once
// Starts Trellick, wires its components together and owns them for the life of the process.
// Everything here runs on the main thread.

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/ShellWindows.h"
#include "common/ApplicationId.h"
#include "common/MainQueue.h"
#include "common/Observable.h"
#include "gesture/HUD.h"
#include "gesture/Haptics.h"
#include "gesture/InputServices.h"
#include "gesture/MultitouchMonitor.h"
#include "gesture/TouchDevices.h"
#include "settings/Diagnostics.h"
#include "settings/LoginItem.h"
#include "settings/PreferencesStore.h"
#include "settings/SettingsStore.h"
#include "settings/TouchpadGrant.h"
#include "settings/UpdateChecker.h"
#include "tracking/AppTracker.h"
#include "tracking/DesktopEntries.h"
#include "tracking/Favourites.h"
#include "tracking/UsageTracker.h"
#include "tracking/WindowSystem.h"
#include "tracking/WindowTracker.h"
#include "tracking/WindowWorkspace.h"

namespace trellick {

class Application : public std::enable_shared_from_this<Application> {
public:
    static constexpr double monitorRetryDelay = 1.0;
    // A window is shown this long after it was asked for, once the menu that asked has closed.
    static constexpr double presentDelay = 0.15;

    // The platform pieces the application is built from; the touch source is made once the
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
        std::shared_ptr<ShellWindowHost> windowHost;          // no windows when empty
        std::shared_ptr<TouchpadAccessGrant> touchpadAccess;  // granting unavailable when empty
        std::shared_ptr<UpdateChecker> updaterController;     // no update check when empty
    };

    // Creates the settings store (loading every setting), the diagnostics object and takes
    // over the update controller.
    explicit Application(Platform platform);
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // The launch sequence: trackers, overlay, engine, usage tracker, favourites notification,
    // granularity subscription, the touch source (with one retry after a second) and, on the
    // first launch, the welcome window.
    void start();
    // Stops touch reading and retries any preferences write that failed.
    void shutdown();

    // Build the window on first use, then present it (again) after presentDelay.
    void openSettings();
    // The overlay's "Add Favourites" entry: Settings, on the Favourites tab.
    void openFavouritesSettings();
    void openAbout();
    void showOnboarding();

    // The welcome window's callbacks. Grant: asks for touchpad access (one request at a time;
    // asking again meanwhile waits for the same answer); touchpads become readable through the
    // touch source's hotplug when it is granted. `done` hears how it went.
    void onGrant(std::function<void(const TouchpadGrant&)> done = nullptr);
    // Done: onboarding is complete; the welcome window closes.
    void onDone();

    const std::shared_ptr<SettingsStore>& settings() const { return settings_; }
    const std::shared_ptr<Diagnostics>& diagnostics() const { return diagnostics_; }
    const std::shared_ptr<Favourites>& favourites() const { return favourites_; }
    const std::shared_ptr<UpdateChecker>& updaterController() const { return p_.updaterController; }
    const std::shared_ptr<DesktopEntries>& desktopEntries() const { return p_.desktopEntries; }
    const std::shared_ptr<WindowWorkspace>& workspace() const { return workspace_; }
    // The last touchpad-access grant and how it went (the welcome window follows it).
    Observable<TouchpadGrant> touchpadGrant;

private:
    Platform p_;
    std::shared_ptr<SettingsStore> settings_;
    std::shared_ptr<Diagnostics> diagnostics_;
    std::shared_ptr<WindowWorkspace> workspace_;
    std::shared_ptr<AppTracker> appTracker_;
    std::shared_ptr<WindowTracker> windowTracker_;
    std::shared_ptr<HUD> hud_;
    std::shared_ptr<Favourites> favourites_;
    std::shared_ptr<TouchDeviceSource> touchSource_;
    std::shared_ptr<MultitouchMonitor> monitor_;
    std::shared_ptr<UsageTracker> usageTracker_;
    std::vector<Subscription> cancellables_;
    void open(ShellWindow window);
    // The gesture engine, given the components it works with.
    void createMonitor();
    void startMonitor();

    std::set<ShellWindow> built_;  // windows are built once and kept
    std::vector<std::function<void(const TouchpadGrant&)>> grantWaiters_;
};

}  // namespace trellick
