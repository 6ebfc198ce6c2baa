#include "app/AppDelegate.h"

namespace trellick {

AppDelegate::AppDelegate(Platform platform) : p_(std::move(platform)) {
    settings_ = std::make_shared<SettingsStore>(*p_.preferences, *p_.loginItems);
    diagnostics_ = std::make_shared<Diagnostics>();
}

AppDelegate::~AppDelegate() {
    // The engine's touch thread must be gone before the components it calls.
    if (monitor_) monitor_->stop();
}

void AppDelegate::applicationDidFinishLaunching() {
    activationPolicy_ = ActivationPolicy::accessory;
    std::weak_ptr<AppDelegate> weak = weak_from_this();

    workspace_ = WindowWorkspace::create(p_.windows, p_.desktopEntries);
    appTracker_ = AppTracker::create({workspace_, p_.windows, p_.mainQueue, diagnostics_, nullptr, 0});
    windowTracker_ = WindowTracker::create({workspace_, p_.windows, p_.mainQueue, diagnostics_, nullptr, 0});
    hud_ = p_.makeHUD ? p_.makeHUD() : nullptr;
    if (!hud_) hud_ = std::make_shared<NullHUD>();
    favourites_ = std::make_shared<Favourites>(workspace_);
    touchSource_ = p_.makeTouchSource ? p_.makeTouchSource(diagnostics_) : nullptr;

    MultitouchMonitor::Collaborators c;
    c.settings = settings_;
    c.appTracker = appTracker_;
    c.windowTracker = windowTracker_;
    c.favourites = favourites_;
    c.hud = hud_;
    c.diagnostics = diagnostics_;
    c.mainQueue = p_.mainQueue;
    c.touchDevices = touchSource_;
    c.scrollBlocker = p_.scrollBlocker;
    c.keyMonitor = p_.keyMonitor;
    c.haptics = p_.haptics ? std::make_shared<Haptics>(p_.haptics, p_.clock) : nullptr;
    c.notifications = notifications_;
    monitor_ = MultitouchMonitor::create(std::move(c));

    windowTracker_->start();

    usageTracker_ = std::make_shared<UsageTracker>(workspace_, p_.preferences, std::string(bundleIdentifier));
    usageTracker_->start();

    favSettingsObserver_ = notifications_->observe(kOpenFavouritesSettings, [weak] {
        auto self = weak.lock();
        if (!self) return;
        self->settings_->requestedTab.set(std::string("Favourites"));
        self->openSettings();
    });

    cancellables_.push_back(settings_->granularity.subscribe([weak](const Granularity& g) {
        auto self = weak.lock();
        if (!self) return;
        if (prefs::lenientBool(*self->p_.preferences, keys::onboarded) && g == Granularity::window)
            self->windowTracker_->refreshTrust(true);
    }));

    monitorStarted_ = monitor_->start();
    if (!monitorStarted_) {
        std::weak_ptr<MultitouchMonitor> weakMonitor = monitor_;
        p_.mainQueue->postAfter(monitorRetryDelay, [weak, weakMonitor] {
            auto monitor = weakMonitor.lock();
            if (!monitor) return;
            bool started = monitor->start();
            if (auto self = weak.lock()) self->monitorStarted_ = started;
        });
    }
}

void AppDelegate::applicationWillTerminate() {
    if (monitor_) monitor_->stop();
    // Settings are written as they change; one whose write failed gets its last chance here.
    if (p_.preferences) p_.preferences->flush();
}

void AppDelegate::openSettings() {
    ++settingsOpenRequests_;
}

}  // namespace trellick
