#pragma once
// The window system of KDE Plasma (KWin) through org_kde_plasma_window_management: the windows
// with their title, app id, pid, state and parent, KWin's stacking order, and activation.
//
// KWin offers the global only to a program whose desktop file has `Exec=` equal to the absolute
// path of the running binary and `X-KDE-Wayland-Interfaces=org_kde_plasma_window_management`;
// without one it is simply absent (see DesktopFileGate).
//
// - Window ids: each window gets the next number from 1 when it is announced, never reused.
// - Processes: KWin sends each window's pid.
// - Recency: seeded from KWin's stacking order (top-most first) with the active window at its
//   head, then each window that becomes active moves to the head. Windows announced later join
//   at the end until they are activated.
// - Windows that KWin keeps out of its own switcher (skip-switcher: panels, the desktop, tool
//   windows of the shell) are left out of every list.
// - A window with a parent window is a dialog, as a transient window is on X11.
//
// A window is listed once KWin has sent its initial state; later state changes apply as they
// come. Reads may come from any thread (the trackers' work queues); events and requests run on
// the main thread.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/wayland/ListedWindows.h"
#include "platform/wayland/WaylandConnection.h"

struct org_kde_plasma_window_management;
struct org_kde_plasma_window;

namespace trellick::wayland {

class KdeWindowSystem : public ListedWindows {
public:
    // The interface KWin gates behind the desktop file.
    static const char* const kInterface;
    // Whether the compositor offers it, at a version this backend uses (13 or later).
    static bool offered(const WaylandConnection& connection);
    // Whether the compositor is KWin: it offers globals only KWin has (Plasma's shell and
    // virtual desktops, KDE's output devices), or the desktop says KDE.
    static bool underKWin(const WaylandConnection& connection);
    // Binds the window management global where offered and reads the windows already open.
    // Main thread.
    static std::shared_ptr<KdeWindowSystem> create(std::shared_ptr<WaylandConnection> connection);
    // KWin decides which globals a client sees when it connects: after a desktop entry naming
    // this program was written, a new connection (to `display`, else $WAYLAND_DISPLAY) may
    // bring the global. True when window control is available now; the lists are then read
    // and announced as a change of window control.
    bool connectAgain(const char* display = nullptr);
    ~KdeWindowSystem() override;
    KdeWindowSystem(const KdeWindowSystem&) = delete;
    KdeWindowSystem& operator=(const KdeWindowSystem&) = delete;

    // The app id (KWin sends the desktop file name for Wayland windows) as the GTK application
    // id and the class; the X11 resource name of an XWayland window as the instance.
    WindowClassHints classHints(WindowId window) override;
    // The themed icon name KWin sends, else the icon KWin hands over on request (an XWayland
    // window's own pixels, or KWin's generic one), once it has come.
    std::optional<IconHandle> icon(WindowId window) override;
    // Asks KWin to activate (and unminimise) the window; it forces that past focus-stealing
    // prevention. Success shows as the window reporting the active state.
    bool activate(WindowId window) override;

    struct Window;
    struct IconRead;

private:
    explicit KdeWindowSystem(std::shared_ptr<WaylandConnection> connection);
    friend struct KdeListeners;
    bool bindManager();
    void windowAnnounced(const char* uuid);
    void stackingOrderChanged(const char* uuids);
    void initialState(Window& w);
    void stateChanged(Window& w, uint32_t flags);
    void requestIcon(Window& w);
    void iconReadable(WindowId id);
    void unmapped(Window& w);
    void seedRecency();  // lock_ held
    ListedWindow* find(WindowId window) override;
    int processOf(ListedWindow& w) override;

    std::shared_ptr<WaylandConnection> conn_;
    org_kde_plasma_window_management* manager_ = nullptr;
    Subscription lostSub_;

    bool seeded_ = false;                                  // lock_ held
    std::map<WindowId, std::unique_ptr<Window>> windows_;  // lock_ held
    std::vector<std::string> stacking_;                    // lock_ held; uuids, bottom to top, as KWin last sent them
    std::map<WindowId, std::unique_ptr<IconRead>> icons_;  // main thread only
    WindowId nextId_ = 1;
};

}  // namespace trellick::wayland
