#pragma once
// The desktop's windows as the window system reports them: the managed client list, the active
// window, window titles, types, state and owners, and activation through the window manager or
// compositor.
// Qt-free so that the recency logic can run over an in-memory double.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/Observable.h"
#include "common/SwitchTarget.h"

namespace trellick {

// A window id, as the backend numbers windows. 0 is never a window.
using WindowId = std::uint32_t;

// _NET_WM_WINDOW_TYPE, reduced to what decides whether a window can be switched to. A window
// without the property is a normal one.
enum class WindowKind { normal, dialog, other };

// The identity hints of a client window, empty strings where a property is missing.
struct WindowClassHints {
    std::string instance;          // WM_CLASS, first string
    std::string className;         // WM_CLASS, second string
    std::string gtkApplicationId;  // _GTK_APPLICATION_ID
    std::string kdeDesktopFile;    // _KDE_NET_WM_DESKTOP_FILE
};

class WindowSystem {
public:
    virtual ~WindowSystem() = default;

    // "Window control": a window manager announces EWMH (_NET_SUPPORTING_WM_CHECK) and
    // supports _NET_ACTIVE_WINDOW. Any thread.
    virtual bool windowControlAvailable() = 0;

    // Reads of the server's current state; each may be called from any thread. A window that
    // has vanished simply yields nothing (or false, 0, empty).
    virtual std::vector<WindowId> clientList() = 0;  // _NET_CLIENT_LIST
    // The managed windows, top-most first: the window manager's own record of which windows
    // were raised last, on every desktop, minimised ones included.
    virtual std::vector<WindowId> stackingOrder() = 0;
    virtual std::optional<WindowId> activeWindow() = 0;  // never 0
    // The window an application has focus in: its active window when it is active, otherwise
    // its topmost managed window in the stacking order (visible ones before minimised ones).
    virtual std::optional<WindowId> focusedWindow(int pid) = 0;
    // Still managed (in the client list) and of a kind one switches to (normal or dialog).
    virtual bool isAlive(WindowId window) = 0;
    virtual std::optional<WindowKind> kind(WindowId window) = 0;
    virtual std::optional<std::string> title(WindowId window) = 0;  // _NET_WM_NAME, else WM_NAME
    virtual std::optional<bool> isMinimised(WindowId window) = 0;   // _NET_WM_STATE_HIDDEN
    virtual int pid(WindowId window) = 0;                           // _NET_WM_PID, else XRes; 0 unknown
    virtual WindowClassHints classHints(WindowId window) = 0;
    virtual std::optional<IconHandle> icon(WindowId window) = 0;  // _NET_WM_ICON

    // Asks the window manager to activate the window (which also de-iconifies it). False when
    // the request could not be made: no window control, or the window is not managed. Whether
    // it worked shows as a change of the active window.
    virtual bool activate(WindowId window) = 0;

    // Change notifications, delivered on the main thread; subscribe there too.
    // The active window changed to `window` (a transient 0 is not reported).
    virtual Subscription onActiveWindowChanged(std::function<void(WindowId window)> handler) = 0;
    virtual Subscription onClientListChanged(std::function<void()> handler) = 0;
    // The window manager came, went or was replaced: re-read windowControlAvailable().
    virtual Subscription onWindowControlChanged(std::function<void()> handler) = 0;
};

}  // namespace trellick
