#include "platform/wayland/WaylandWindowSystem.h"

#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>

#include "wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"

namespace trellick::wayland {

// Listed from its first `done`.
struct WaylandWindowSystem::Toplevel : ListedWindow {
    WaylandWindowSystem* owner = nullptr;
    zwlr_foreign_toplevel_handle_v1* handle = nullptr;
};

// The C callbacks, forwarding to the members.
struct Listeners {
    using T = WaylandWindowSystem::Toplevel;
    static T& of(void* data) { return *static_cast<T*>(data); }

    static void title(void* data, zwlr_foreign_toplevel_handle_v1*, const char* s) {
        std::lock_guard lock(of(data).owner->lock_);
        of(data).title = s;
    }
    static void appId(void* data, zwlr_foreign_toplevel_handle_v1*, const char* s) {
        std::lock_guard lock(of(data).owner->lock_);
        of(data).appId = s;
    }
    static void outputEnter(void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {}
    static void outputLeave(void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {}
    static void state(void* data, zwlr_foreign_toplevel_handle_v1*, wl_array* states) {
        bool activated = false, minimised = false;
        const auto* begin = static_cast<const uint32_t*>(states->data);
        for (const auto* s = begin; s < begin + states->size / sizeof(uint32_t); ++s) {
            activated |= *s == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED;
            minimised |= *s == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_MINIMIZED;
        }
        std::lock_guard lock(of(data).owner->lock_);
        of(data).active = activated;
        of(data).minimised = minimised;
    }
    static void done(void* data, zwlr_foreign_toplevel_handle_v1*) { of(data).owner->toplevelDone(of(data)); }
    static void closed(void* data, zwlr_foreign_toplevel_handle_v1*) { of(data).owner->toplevelClosed(of(data)); }
    static void parent(void* data, zwlr_foreign_toplevel_handle_v1*, zwlr_foreign_toplevel_handle_v1* parent) {
        std::lock_guard lock(of(data).owner->lock_);
        of(data).parent = parent;
    }
    static constexpr zwlr_foreign_toplevel_handle_v1_listener handle = {title, appId, outputEnter, outputLeave,
                                                                        state, done,  closed,      parent};

    // After `stop` (data null) the compositor may still announce toplevels until `finished`.
    static void toplevel(void* data, zwlr_foreign_toplevel_manager_v1*, zwlr_foreign_toplevel_handle_v1* handle) {
        if (data)
            static_cast<WaylandWindowSystem*>(data)->toplevelAnnounced(handle);
        else
            zwlr_foreign_toplevel_handle_v1_destroy(handle);
    }
    static void finished(void* data, zwlr_foreign_toplevel_manager_v1* manager) {
        if (data)
            static_cast<WaylandWindowSystem*>(data)->managerFinished();
        else
            zwlr_foreign_toplevel_manager_v1_destroy(manager);
    }
    static constexpr zwlr_foreign_toplevel_manager_v1_listener manager = {toplevel, finished};
};

std::shared_ptr<WaylandWindowSystem> WaylandWindowSystem::create(std::shared_ptr<WaylandConnection> connection,
                                                                 std::string ownAppId) {
    std::shared_ptr<WaylandWindowSystem> ws(new WaylandWindowSystem(std::move(connection), std::move(ownAppId)));
    // Version 3 brings `parent`; sway 1.7 offers it.
    ws->manager_ = ws->conn_->bind<zwlr_foreign_toplevel_manager_v1>(zwlr_foreign_toplevel_manager_v1_interface, 3);
    ws->seat_ = ws->conn_->bind<wl_seat>(wl_seat_interface, 1);
    if (ws->manager_ && ws->seat_) {
        zwlr_foreign_toplevel_manager_v1_add_listener(ws->manager_, &Listeners::manager, ws.get());
        ws->control_ = true;
        // The toplevels already open, each with its first `done`.
        ws->conn_->roundtrip();
    }
    std::weak_ptr<WaylandWindowSystem> weak = ws;
    ws->lostSub_ = ws->conn_->onLost([weak] {
        if (auto self = weak.lock()) self->lost();
    });
    return ws;
}

std::vector<std::string> WaylandWindowSystem::missingProtocols(const WaylandConnection& connection) {
    std::vector<std::string> missing;
    for (const wl_interface* i : {&zwlr_foreign_toplevel_manager_v1_interface, &wl_seat_interface})
        if (!connection.offers(*i)) missing.emplace_back(i->name);
    return missing;
}

WaylandWindowSystem::WaylandWindowSystem(std::shared_ptr<WaylandConnection> connection, std::string ownAppId)
    : conn_(std::move(connection)), ownAppId_(std::move(ownAppId)) {}

WaylandWindowSystem::~WaylandWindowSystem() {
    for (auto& [id, t] : toplevels_) zwlr_foreign_toplevel_handle_v1_destroy(t->handle);
    // Destroyed at once, the manager would leave toplevels announced meanwhile without an
    // object to land in, and libwayland drops the connection over that: stop, and let
    // `finished` destroy it.
    if (seat_) wl_seat_destroy(seat_);
    if (manager_) {
        zwlr_foreign_toplevel_manager_v1_set_user_data(manager_, nullptr);
        zwlr_foreign_toplevel_manager_v1_stop(manager_);
        // Wait for `finished` here: the connection may close right after (at exit), and the
        // manager would never be freed.
        wl_display_roundtrip(conn_->display());
    }
    conn_->flush();
}

void WaylandWindowSystem::toplevelAnnounced(zwlr_foreign_toplevel_handle_v1* handle) {
    auto t = std::make_unique<Toplevel>();
    t->owner = this;
    t->handle = handle;
    zwlr_foreign_toplevel_handle_v1_add_listener(handle, &Listeners::handle, t.get());
    std::lock_guard lock(lock_);
    t->id = nextId_++;
    toplevels_[t->id] = std::move(t);
}

void WaylandWindowSystem::toplevelDone(Toplevel& t) {
    bool listChanged = false, activated = false;
    {
        std::lock_guard lock(lock_);
        listChanged = setListed(t, true);
        activated = followActive(t);
    }
    if (listChanged) listChanged_.notify();
    if (activated) activeChanged_.notify(t.id);
}

void WaylandWindowSystem::toplevelClosed(Toplevel& t) {
    bool wasListed = false;
    {
        std::lock_guard lock(lock_);
        wasListed = setListed(t, false);
        for (auto& [other, o] : toplevels_)
            if (o->parent == t.handle) o->parent = nullptr;
        zwlr_foreign_toplevel_handle_v1_destroy(t.handle);
        toplevels_.erase(t.id);  // t is gone from here on
    }
    if (wasListed) listChanged_.notify();
}

void WaylandWindowSystem::managerFinished() {
    {
        std::lock_guard lock(lock_);
        control_ = false;
    }
    controlChanged_.notify();
}

ListedWindow* WaylandWindowSystem::find(WindowId window) {
    auto it = toplevels_.find(window);
    return it == toplevels_.end() || !it->second->listed ? nullptr : it->second.get();
}

int WaylandWindowSystem::processOf(ListedWindow& t) {
    if (!ownAppId_.empty() && t.appId == ownAppId_) return static_cast<int>(::getpid());
    const std::string key = t.appId.empty() ? "\n" + std::to_string(t.id) : t.appId;
    auto [it, added] = appKeys_.try_emplace(key, nextKey_);
    if (added) ++nextKey_;
    return it->second;
}

WindowClassHints WaylandWindowSystem::classHints(WindowId window) {
    std::lock_guard lock(lock_);
    WindowClassHints h;
    if (ListedWindow* t = find(window)) {
        h.gtkApplicationId = t->appId;
        h.className = t->appId;
    }
    return h;
}

bool WaylandWindowSystem::activate(WindowId window) {
    {
        std::lock_guard lock(lock_);
        auto* t = static_cast<Toplevel*>(find(window));
        if (!control_ || !t) return false;
        // Also unminimises it on wlroots compositors.
        zwlr_foreign_toplevel_handle_v1_activate(t->handle, seat_);
    }
    conn_->flush();
    return true;
}

}  // namespace trellick::wayland
