#include "platform/x11/X11WindowPresenter.h"

#include <poll.h>

#include <QGuiApplication>

#include <QWidget>
#include <QWindow>
#include "common/ApplicationId.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace trellick::x11 {

namespace {

// Qt keeps the user time on a separate window where the manager supports that.
xcb_window_t userTimeWindow(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property) {
    auto* reply = xcb_get_property_reply(c, xcb_get_property(c, 0, w, property, XCB_ATOM_WINDOW, 0, 1), nullptr);
    xcb_window_t result = w;
    if (reply && reply->format == 32 && xcb_get_property_value_length(reply) == 4)
        result = *static_cast<xcb_window_t*>(xcb_get_property_value(reply));
    std::free(reply);
    return result ? result : w;
}

}  // namespace

xcb_atom_t X11WindowPresenter::atom(xcb_connection_t* c, const char* name) {
    auto it = atoms_.find(name);
    if (it != atoms_.end()) return it->second;
    auto* reply = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::strlen(name), name), nullptr);
    xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    if (atom != XCB_ATOM_NONE) atoms_[name] = atom;
    return atom;
}

X11WindowPresenter::~X11WindowPresenter() {
    if (stamp_) xcb_disconnect(stamp_);
}

xcb_timestamp_t X11WindowPresenter::serverTime() {
    if (!stamp_ && !stampFailed_) {
        stamp_ = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(stamp_)) {
            xcb_disconnect(stamp_);
            stamp_ = nullptr;
            stampFailed_ = true;
            return XCB_CURRENT_TIME;
        }
        xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(stamp_)).data;
        stampWindow_ = xcb_generate_id(stamp_);
        uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_create_window(stamp_, XCB_COPY_FROM_PARENT, stampWindow_, screen->root, -1, -1, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &mask);
    }
    if (!stamp_) return XCB_CURRENT_TIME;
    // Appending nothing to a property still makes the server report the change, with its time.
    xcb_change_property(stamp_, XCB_PROP_MODE_APPEND, stampWindow_, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, 0, nullptr);
    xcb_flush(stamp_);
    pollfd pfd{xcb_get_file_descriptor(stamp_), POLLIN, 0};
    for (int waits = 0; waits < 10;) {
        xcb_generic_event_t* ev = xcb_poll_for_event(stamp_);
        if (!ev) {
            if (xcb_connection_has_error(stamp_) || ::poll(&pfd, 1, 100) <= 0) ++waits;
            continue;
        }
        bool stamp = (ev->response_type & 0x7f) == XCB_PROPERTY_NOTIFY;
        xcb_timestamp_t t = stamp ? reinterpret_cast<xcb_property_notify_event_t*>(ev)->time : 0;
        std::free(ev);
        if (stamp) return t;
    }
    return XCB_CURRENT_TIME;
}

void X11WindowPresenter::present(QWidget* window) {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    xcb_window_t w = c ? static_cast<xcb_window_t>(window->winId()) : 0;
    if (c) {
        // The desktop entry id (KDE's property and GTK's), for window trackers, ours included.
        const std::string id = kApplicationId;
        for (const char* property : {"_KDE_NET_WM_DESKTOP_FILE", "_GTK_APPLICATION_ID"}) {
            xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, atom(c, property), atom(c, "UTF8_STRING"), 8,
                                uint32_t(id.size()), id.data());
        }
    }
    window->show();
    window->raise();
    // On X11 the request below is the one: Qt's own would follow at map time with an older
    // timestamp, and could take the focus back from a window the user has moved to since.
    if (!c) return window->activateWindow();
    xcb_timestamp_t now = serverTime();
    if (now != XCB_CURRENT_TIME) {
        xcb_window_t timeWindow = userTimeWindow(c, w, atom(c, "_NET_WM_USER_TIME_WINDOW"));
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, timeWindow, atom(c, "_NET_WM_USER_TIME"), XCB_ATOM_CARDINAL, 32,
                            1, &now);
    }
    // On Qt's own connection, after its map request: the manager manages the window first.
    xcb_client_message_event_t ev{};
    ev.response_type = XCB_CLIENT_MESSAGE;
    ev.format = 32;
    ev.window = w;
    ev.type = atom(c, "_NET_ACTIVE_WINDOW");
    ev.data.data32[0] = 1;  // an application asking for its own window
    ev.data.data32[1] = now;
    QWindow* focus = QGuiApplication::focusWindow();
    ev.data.data32[2] = focus && focus != window->windowHandle() ? static_cast<uint32_t>(focus->winId()) : 0;
    auto* geometry = xcb_get_geometry_reply(c, xcb_get_geometry(c, w), nullptr);
    if (!geometry) return;
    xcb_window_t root = geometry->root;
    std::free(geometry);
    xcb_send_event(c, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&ev));
    xcb_flush(c);
}

}  // namespace trellick::x11
