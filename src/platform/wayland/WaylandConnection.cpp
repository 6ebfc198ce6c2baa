#include "platform/wayland/WaylandConnection.h"

#include <poll.h>
#include <wayland-client.h>

#include <QAbstractEventDispatcher>
#include <QSocketNotifier>
#include <QThread>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace trellick::wayland {

Result<std::shared_ptr<WaylandConnection>> WaylandConnection::open(const char* name) {
    wl_display* display = wl_display_connect(name);
    if (!display) {
        const char* which = name ? name : std::getenv("WAYLAND_DISPLAY");
        return Error{std::string("cannot connect to the Wayland display ") +
                         (which ? which : "(WAYLAND_DISPLAY unset)") + ": " + std::strerror(errno),
                     errno};
    }
    std::shared_ptr<WaylandConnection> c(new WaylandConnection(display));
    // The first round trip brings the globals.
    if (!c->roundtrip()) return Error{"the Wayland compositor closed the connection at once", 0};
    return c;
}

WaylandConnection::WaylandConnection(wl_display* display) : display_(display) {
    static const wl_registry_listener listener = {&WaylandConnection::global, &WaylandConnection::globalRemove};
    registry_ = wl_display_get_registry(display_);
    wl_registry_add_listener(registry_, &listener, this);
    notifier_ = std::make_unique<QSocketNotifier>(wl_display_get_fd(display_), QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { readable(); });
    // Requests made anywhere in a turn of the loop (and events read meanwhile by a round trip)
    // are handled once, before the loop sleeps.
    if (auto* dispatcher = QAbstractEventDispatcher::instance(QThread::currentThread()))
        sleepHook_ =
            QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] { prepareToSleep(); });
}

WaylandConnection::~WaylandConnection() {
    QObject::disconnect(sleepHook_);
    notifier_.reset();
    if (registry_) wl_registry_destroy(registry_);
    wl_display_disconnect(display_);
}

void WaylandConnection::global(void* data, wl_registry*, uint32_t name, const char* interface, uint32_t version) {
    auto* self = static_cast<WaylandConnection*>(data);
    self->globals_.push_back({name, interface, version});
    self->added_.notify(self->globals_.back());
}

void WaylandConnection::globalRemove(void* data, wl_registry*, uint32_t name) {
    auto* self = static_cast<WaylandConnection*>(data);
    std::erase_if(self->globals_, [name](const Global& g) { return g.name == name; });
    self->removed_.notify(name);
}

bool WaylandConnection::offers(const wl_interface& interface) const {
    return std::any_of(globals_.begin(), globals_.end(),
                       [&](const Global& g) { return g.interface == interface.name; });
}

void* WaylandConnection::bind(const wl_interface& interface, uint32_t maxVersion) {
    for (const Global& g : globals_)
        if (g.interface == interface.name) return bind(g, interface, maxVersion);
    return nullptr;
}

void* WaylandConnection::bind(const Global& global, const wl_interface& interface, uint32_t maxVersion) {
    return wl_registry_bind(registry_, global.name, &interface, std::min(global.version, maxVersion));
}

bool WaylandConnection::broken() const {
    return wl_display_get_error(display_) != 0;
}

bool WaylandConnection::roundtrip() {
    if (wl_display_roundtrip(display_) < 0) {
        reportLost();
        return false;
    }
    return true;
}

void WaylandConnection::flush() {
    if (wl_display_flush(display_) < 0 && errno != EAGAIN) reportLost();
}

void WaylandConnection::readable() {
    // Reads only what is there: a round trip made since the notifier fired may have read it
    // already, and a blocking read would then wait for the compositor's next event.
    while (wl_display_prepare_read(display_) != 0) {
        if (wl_display_dispatch_pending(display_) < 0) return reportLost();
    }
    pollfd fd{wl_display_get_fd(display_), POLLIN, 0};
    if (poll(&fd, 1, 0) > 0) {
        if (wl_display_read_events(display_) < 0) return reportLost();
    } else {
        wl_display_cancel_read(display_);
    }
    if (wl_display_dispatch_pending(display_) < 0) return reportLost();
    // What the handlers asked for goes out now, not only when the loop next sleeps.
    flush();
}

void WaylandConnection::prepareToSleep() {
    if (lostReported_) return;
    if (wl_display_dispatch_pending(display_) < 0) {
        reportLost();
        return;
    }
    flush();
}

void WaylandConnection::reportLost() {
    if (lostReported_) return;
    lostReported_ = true;
    notifier_->setEnabled(false);
    lost_.notify();
}

}  // namespace trellick::wayland
