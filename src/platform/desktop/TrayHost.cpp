#include "platform/desktop/TrayHost.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusServiceWatcher>
#include <QTimer>

namespace trellick::desktop {

namespace {

constexpr const char* kWatcherService = "org.kde.StatusNotifierWatcher";

}  // namespace

TrayHostWatcher::TrayHostWatcher(std::function<void()> appeared, const MakeTrayHostWatch& other, QDBusConnection bus)
    : appeared_(std::move(appeared)), bus_(std::move(bus)) {
    if (bus_.isConnected()) {
        auto* names = new QDBusServiceWatcher(kWatcherService, bus_, QDBusServiceWatcher::WatchForRegistration, this);
        connect(names, &QDBusServiceWatcher::serviceRegistered, this, &TrayHostWatcher::check);
        // The watcher can come before any host registers with it. A D-Bus signal reaches only a
        // slot: a timer's start() stands in for one.
        auto* hostRegistered = new QTimer(this);
        hostRegistered->setSingleShot(true);
        hostRegistered->setInterval(0);
        connect(hostRegistered, &QTimer::timeout, this, &TrayHostWatcher::check);
        bus_.connect(kWatcherService, "/StatusNotifierWatcher", kWatcherService, "StatusNotifierHostRegistered",
                     hostRegistered, SLOT(start()));
    }
    if (other) other_ = other([this] { check(); });
}

bool TrayHostWatcher::present() {
    return statusNotifierHost() || (other_.present && other_.present());
}

bool TrayHostWatcher::statusNotifierHost() const {
    if (!bus_.isConnected() || !bus_.interface()->isServiceRegistered(kWatcherService)) return false;
    QDBusInterface watcher(kWatcherService, "/StatusNotifierWatcher", kWatcherService, bus_);
    return watcher.property("IsStatusNotifierHostRegistered").toBool();
}

void TrayHostWatcher::check() {
    if (fired_ || !present()) return;
    fired_ = true;
    if (appeared_) appeared_();
}

}  // namespace trellick::desktop
