#pragma once
// The window system over EWMH: window control is an EWMH window manager (a live
// _NET_SUPPORTING_WM_CHECK window) that supports _NET_ACTIVE_WINDOW; active-window and
// client-list changes come from PropertyNotify on the root. Reads go to the server each time
// (they are cheap and never stale); a window that vanished just yields nothing.

#include <atomic>
#include <map>
#include <memory>
#include <mutex>

#include "platform/x11/X11Connection.h"
#include "tracking/WindowSystem.h"

namespace trellick::x11 {

class X11WindowSystem : public WindowSystem, public std::enable_shared_from_this<X11WindowSystem> {
public:
    // Selects the root's property changes and reads window control. Main thread.
    static std::shared_ptr<X11WindowSystem> create(std::shared_ptr<X11Connection> connection);

    bool windowControlAvailable() override { return control_.load(); }
    std::vector<WindowId> clientList() override;
    std::vector<WindowId> stackingOrder() override;
    std::optional<WindowId> activeWindow() override;
    std::optional<WindowId> focusedWindow(int pid) override;
    bool isAlive(WindowId window) override;
    std::optional<WindowKind> kind(WindowId window) override;
    std::optional<std::string> title(WindowId window) override;
    std::optional<bool> isMinimised(WindowId window) override;
    int pid(WindowId window) override;
    WindowClassHints classHints(WindowId window) override;
    std::optional<IconHandle> icon(WindowId window) override;
    bool activate(WindowId window) override;
    Subscription onActiveWindowChanged(std::function<void(WindowId)> handler) override;
    Subscription onClientListChanged(std::function<void()> handler) override;
    Subscription onWindowControlChanged(std::function<void()> handler) override;

    const std::shared_ptr<X11Connection>& connection() const { return conn_; }

private:
    explicit X11WindowSystem(std::shared_ptr<X11Connection> connection);
    void handle(const X11Connection::Event& ev);
    void refreshControl(bool notify);
    struct Property {
        xcb_atom_t type = XCB_ATOM_NONE;
        uint8_t format = 0;
        std::string bytes;
    };
    // Nothing when the window is gone or the property is absent.
    std::optional<Property> property(xcb_window_t window, xcb_atom_t prop, uint32_t maxLongs = 1u << 16);
    std::vector<uint32_t> cardinals(xcb_window_t window, xcb_atom_t prop);
    static std::vector<uint32_t> cardinals(const Property& p);
    int pidFromXRes(WindowId window);

    std::shared_ptr<X11Connection> conn_;
    std::atomic<bool> control_{false};
    std::atomic<xcb_window_t> wmCheck_{0};
    std::optional<WindowId> lastActive_;  // main thread
    std::mutex pidLock_;
    std::map<WindowId, int> pidCache_;  // the owner of a window never changes
    bool xresAvailable_ = false;
    Signal<WindowId> activeChanged_;
    Signal<> listChanged_;
    Signal<> controlChanged_;
    Subscription eventSub_;
    // Atoms.
    xcb_atom_t aActive_, aClientList_, aStacking_, aCheck_, aSupported_, aName_, aUtf8_, aType_, aTypeNormal_,
        aTypeDialog_, aState_, aHidden_, aPid_, aIcon_, aGtkId_, aKdeFile_;
};

}  // namespace trellick::x11
