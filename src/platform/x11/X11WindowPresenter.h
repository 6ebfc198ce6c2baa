#pragma once
// Brings Trellick's own windows to the front. On X11 that is a request to the window manager:
// _NET_ACTIVE_WINDOW from an application (source indication 1) with a current server
// timestamp, the window's user time set to match, so focus-stealing prevention lets a window
// the user just asked for through (a menu entry, a second launch, the first start). Each
// window is also marked with the application id, so that Trellick knows its own windows when
// it tracks and counts applications.

#include <xcb/xcb.h>

#include <map>
#include <string>

class QWidget;

namespace trellick::x11 {

class X11WindowPresenter {
public:
    X11WindowPresenter() = default;
    ~X11WindowPresenter();
    X11WindowPresenter(const X11WindowPresenter&) = delete;
    X11WindowPresenter& operator=(const X11WindowPresenter&) = delete;

    // Shows `window` (a top-level widget) and asks for it to become the active window.
    void present(QWidget* window);

private:
    xcb_atom_t atom(xcb_connection_t* c, const char* name);
    // A current server timestamp, from a connection of our own (Qt's reads its own events).
    xcb_timestamp_t serverTime();

    xcb_connection_t* stamp_ = nullptr;
    xcb_window_t stampWindow_ = 0;
    bool stampFailed_ = false;
    std::map<std::string, xcb_atom_t> atoms_;  // on Qt's connection
};

}  // namespace trellick::x11
