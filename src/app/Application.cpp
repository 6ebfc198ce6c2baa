#include "app/Application.h"

#include <utility>

namespace trellick {

Application::Application(Platform platform) : p_(std::move(platform)) {
    settings_ = std::make_shared<SettingsStore>(*p_.preferences, *p_.loginItems);
    diagnostics_ = std::make_shared<Diagnostics>();
}

Application::~Application() {
    // The engine's touch thread must be gone before the components it calls.
    if (monitor_) monitor_->stop();
}

void Application::start() {
    std::weak_ptr<Application> weak = weak_from_this();

    workspace_ = WindowWorkspace::create(p_.windows, p_.desktopEntries);
    appTracker_ = AppTracker::create({workspace_, p_.windows, p_.mainQueue, diagnostics_, nullptr, 0});
    windowTracker_ = WindowTracker::create({workspace_, p_.windows, p_.mainQueue, diagnostics_, nullptr, 0});
    hud_ = p_.makeHUD ? p_.makeHUD() : nullptr;
    if (!hud_) hud_ = std::make_shared<NullHUD>();
    favourites_ = std::make_shared<Favourites>(workspace_);
    touchSource_ = p_.makeTouchSource ? p_.makeTouchSource(diagnostics_) : nullptr;

    createMonitor();

    windowTracker_->start();

    usageTracker_ = std::make_shared<UsageTracker>(workspace_, p_.preferences, std::string(kApplicationId));
    usageTracker_->start();

    cancellables_.push_back(settings_->granularity.subscribe([weak](const Granularity& g) {
        auto self = weak.lock();
        if (!self) return;
        if (prefs::lenientBool(*self->p_.preferences, keys::onboarded) && g == Granularity::window)
            self->windowTracker_->refreshWindowControl();
    }));

    startMonitor();

    // After launch has completed, so the window comes up over a running application.
    if (!prefs::lenientBool(*p_.preferences, keys::onboarded)) {
        p_.mainQueue->post([weak] {
            if (auto self = weak.lock()) self->showOnboarding();
        });
    }
}

void Application::createMonitor() {
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
    std::weak_ptr<Application> weak = weak_from_this();
    c.openFavouritesSettings = [weak] {
        if (auto self = weak.lock()) self->openFavouritesSettings();
    };
    monitor_ = MultitouchMonitor::create(std::move(c));
}

// One retry after a while when no touchpad could be started.
void Application::startMonitor() {
    if (!monitor_->start()) {
        std::weak_ptr<MultitouchMonitor> weakMonitor = monitor_;
        p_.mainQueue->postAfter(monitorRetryDelay, [weakMonitor] {
            if (auto monitor = weakMonitor.lock()) monitor->start();
        });
    }
}

void Application::shutdown() {
    if (monitor_) monitor_->stop();
    // Settings are written as they change; one whose write failed gets its last chance here.
    if (p_.preferences) p_.preferences->flush();
}

void Application::openSettings() {
    open(ShellWindow::settings);
}

void Application::openFavouritesSettings() {
    settings_->requestedTab.set(SettingsTab::favourites);
    openSettings();
}

void Application::openAbout() {
    open(ShellWindow::about);
}

void Application::showOnboarding() {
    open(ShellWindow::welcome);
}

void Application::open(ShellWindow window) {
    if (!p_.windowHost) return;
    if (built_.insert(window).second) p_.windowHost->build(window);
    std::weak_ptr<Application> weak = weak_from_this();
    p_.mainQueue->postAfter(presentDelay, [weak, window] {
        auto self = weak.lock();
        if (!self) return;
        self->p_.windowHost->present(window);
    });
}

void Application::onGrant(std::function<void(const TouchpadGrant&)> done) {
    if (done) grantWaiters_.push_back(std::move(done));
    if (touchpadGrant.get().state == TouchpadGrant::State::running) return;
    std::weak_ptr<Application> weak = weak_from_this();
    auto finish = [weak](const TouchpadGrant& outcome) {
        auto self = weak.lock();
        if (!self) return;
        self->touchpadGrant.set(outcome);
        // udev's change events start the touchpads; looking again covers a monitor that missed them.
        if (outcome.state == TouchpadGrant::State::granted && self->touchSource_) self->touchSource_->rescan();
        for (auto& waiter : std::exchange(self->grantWaiters_, {})) waiter(outcome);
    };
    if (!p_.touchpadAccess)
        return finish({TouchpadGrant::State::unavailable, "Trellick cannot ask for root rights here."});
    touchpadGrant.set({TouchpadGrant::State::running, ""});
    p_.touchpadAccess->grant(finish);
}

void Application::onDone() {
    p_.preferences->set(keys::onboarded, true);
    if (built_.count(ShellWindow::welcome)) p_.windowHost->close(ShellWindow::welcome);
}

}  // namespace trellick
