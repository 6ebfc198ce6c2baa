#include "platform/x11/XEmbedTray.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <cstdlib>
#include <string>

namespace trellick::x11 {

namespace {

xcb_connection_t* qtConnection() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t internAtom(xcb_connection_t* c, const std::string& name) {
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<uint16_t>(name.size()), name.c_str()), nullptr);
    xcb_atom_t atom = reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

}  // namespace

XEmbedTray::XEmbedTray(std::function<void()> appeared) : appeared_(std::move(appeared)) {
    xcb_connection_t* c = qtConnection();
    if (!c) return;
    // Qt's connection listens on the root window for the MANAGER message a new tray sends.
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    int number = 0;
    for (auto it = xcb_setup_roots_iterator(xcb_get_setup(c)); it.rem && it.data != screen; xcb_screen_next(&it))
        ++number;
    manager_ = internAtom(c, "MANAGER");
    selection_ = internAtom(c, "_NET_SYSTEM_TRAY_S" + std::to_string(number));
    QCoreApplication::instance()->installNativeEventFilter(this);
}

XEmbedTray::~XEmbedTray() {
    if (auto* app = QCoreApplication::instance()) app->removeNativeEventFilter(this);
}

bool XEmbedTray::present() const {
    xcb_connection_t* c = qtConnection();
    if (!c || selection_ == XCB_ATOM_NONE) return false;
    xcb_get_selection_owner_reply_t* reply =
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection_), nullptr);
    bool owned = reply && reply->owner != XCB_WINDOW_NONE;
    std::free(reply);
    return owned;
}

bool XEmbedTray::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t") return false;
    auto* event = static_cast<xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE) return false;
    auto* cm = reinterpret_cast<xcb_client_message_event_t*>(event);
    if (cm->type == manager_ && cm->data.data32[1] == selection_ && appeared_) appeared_();
    return false;  // Qt's own tray code hears it too
}

}  // namespace trellick::x11
