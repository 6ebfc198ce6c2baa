#pragma once
// The window system of a wlroots compositor (sway, Hyprland, labwc, wayfire, river) through
// zwlr_foreign_toplevel_manager_v1: the toplevels with their title, app id, state and parent,
// and activation on our seat. Window control is the manager's presence until it says finished.
//
// What the protocol does not give is made up here:
// - Window ids: each toplevel gets the next number from 1 when it is announced, never reused.
// - Processes: no pid is sent, so each app id stands for one application. Its key is a number
//   above any process id the kernel hands out (PID_MAX_LIMIT is 2^22), so nothing mistakes it
//   for a process; Trellick's own app id maps to our own pid, so its windows stay out of the
//   lists as on X11. A toplevel without an app id is an application of its own.
// - Recency: the compositor names no stacking order. The list starts with the activated
//   toplevel, then the others in the order they were announced, and each toplevel that becomes
//   activated moves to its head. When nothing is activated (an empty workspace or a layer
//   surface has the focus), recency does not change.
// - A toplevel with a parent is a dialog, as a transient window is on X11.
//
// State changes apply at the handle's `done`, all at once. Reads may come from any thread (the
// trackers' work queues); events and requests run on the main thread.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/wayland/ListedWindows.h"
#include "platform/wayland/WaylandConnection.h"

struct wl_seat;
struct zwlr_foreign_toplevel_manager_v1;
struct zwlr_foreign_toplevel_handle_v1;

namespace trellick::wayland {

class WaylandWindowSystem : public ListedWindows {
public:
    // Binds the toplevel manager where offered and reads the toplevels already open. `ownAppId`:
    // the app id of Trellick's own windows. Main thread.
    static std::shared_ptr<WaylandWindowSystem> create(std::shared_ptr<WaylandConnection> connection,
                                                       std::string ownAppId);
    // The protocols window control needs that the compositor does not offer; empty when all are.
    static std::vector<std::string> missingProtocols(const WaylandConnection& connection);
    ~WaylandWindowSystem() override;
    WaylandWindowSystem(const WaylandWindowSystem&) = delete;
    WaylandWindowSystem& operator=(const WaylandWindowSystem&) = delete;

    // The app id as the GTK application id (tried as a desktop entry id first) and as the class
    // (matched against StartupWMClass and entry file names), as docks match it.
    WindowClassHints classHints(WindowId window) override;
    std::optional<IconHandle> icon(WindowId) override { return std::nullopt; }  // the protocol has none
    // Asks the compositor to activate the toplevel on our seat. Success shows as the toplevel
    // reporting `activated`.
    bool activate(WindowId window) override;

    struct Toplevel;

private:
    WaylandWindowSystem(std::shared_ptr<WaylandConnection> connection, std::string ownAppId);
    friend struct Listeners;
    void toplevelAnnounced(zwlr_foreign_toplevel_handle_v1* handle);
    void toplevelDone(Toplevel& t);
    void toplevelClosed(Toplevel& t);
    void managerFinished();
    ListedWindow* find(WindowId window) override;
    int processOf(ListedWindow& w) override;  // the app key, see above

    std::shared_ptr<WaylandConnection> conn_;
    std::string ownAppId_;
    zwlr_foreign_toplevel_manager_v1* manager_ = nullptr;
    wl_seat* seat_ = nullptr;
    Subscription lostSub_;

    std::map<WindowId, std::unique_ptr<Toplevel>> toplevels_;  // lock_ held
    std::map<std::string, int> appKeys_;                       // lock_ held
    WindowId nextId_ = 1;
    int nextKey_ = 1 << 23;
};

}  // namespace trellick::wayland
