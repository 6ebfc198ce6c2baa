#include "platform/x11/X11Connection.h"

#include <cstdlib>
#include <cstring>

namespace trellick::x11 {

namespace {
constexpr const char* kWakeAtom = "_TRELLICK_WAKE";
}

bool X11Connection::displayReachable() {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    bool ok = c && !xcb_connection_has_error(c);
    if (c) xcb_disconnect(c);
    return ok;
}

Result<std::shared_ptr<X11Connection>> X11Connection::open(std::shared_ptr<MainQueue> mainQueue, const char* display) {
    int screenNumber = 0;
    xcb_connection_t* c = xcb_connect(display, &screenNumber);
    if (!c || xcb_connection_has_error(c)) {
        if (c) xcb_disconnect(c);
        const char* name = display ? display : std::getenv("DISPLAY");
        return Error{name && *name ? std::string("cannot connect to the X server at ") + name
                                   : std::string("no X11 display (DISPLAY is not set)")};
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber && it.rem; ++i) xcb_screen_next(&it);
    if (!it.rem) {
        xcb_disconnect(c);
        return Error{"the X server has no such screen"};
    }
    return std::shared_ptr<X11Connection>(new X11Connection(std::move(mainQueue), c, it.data));
}

X11Connection::X11Connection(std::shared_ptr<MainQueue> mainQueue, xcb_connection_t* c, xcb_screen_t* screen)
    : mainQueue_(std::move(mainQueue)), c_(c), root_(screen->root) {
    own_ = xcb_generate_id(c_);
    uint32_t mask = XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK;
    uint32_t values[] = {1, XCB_EVENT_MASK_PROPERTY_CHANGE};
    xcb_create_window(c_, XCB_COPY_FROM_PARENT, own_, root_, -1, -1, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, mask, values);
    // Named, so that the rig (and xwininfo) can tell a Trellick process is connected.
    const char name[] = "Trellick window tracking";
    const char cls[] = "trellick\0Trellick";
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, own_, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, sizeof name - 1, name);
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, own_, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8, sizeof cls, cls);
    wakeAtom_ = atom(kWakeAtom);
}

X11Connection::~X11Connection() {
    stopping_ = true;
    if (reader_.joinable()) {
        if (!broken()) {
            // Wake the reader with a message to ourselves.
            xcb_client_message_event_t ev{};
            ev.response_type = XCB_CLIENT_MESSAGE;
            ev.format = 32;
            ev.window = own_;
            ev.type = wakeAtom_;
            xcb_send_event(c_, 0, own_, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&ev));
            xcb_flush(c_);
        }
        reader_.join();
    }
    xcb_disconnect(c_);
}

xcb_atom_t X11Connection::atom(const std::string& name) {
    {
        std::lock_guard lock(atomsLock_);
        if (auto it = atoms_.find(name); it != atoms_.end()) return it->second;
    }
    auto cookie = xcb_intern_atom(c_, 0, static_cast<uint16_t>(name.size()), name.c_str());
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(c_, cookie, nullptr);
    xcb_atom_t a = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(reply);
    if (a != XCB_ATOM_NONE) {
        std::lock_guard lock(atomsLock_);
        atoms_[name] = a;
    }
    return a;
}

void X11Connection::startReading() {
    if (reader_.joinable()) return;
    reader_ = std::thread([this] { readLoop(); });
}

void X11Connection::readLoop() {
    std::weak_ptr<X11Connection> weak = weak_from_this();
    for (;;) {
        xcb_generic_event_t* raw = xcb_wait_for_event(c_);
        if (!raw) {
            if (stopping_) return;
            // The server went away.
            mainQueue_->post([weak] {
                auto self = weak.lock();
                if (!self || self->lostReported_) return;
                self->lostReported_ = true;
                self->lost_.notify();
            });
            return;
        }
        Event ev(raw, free);
        uint8_t type = raw->response_type & 0x7f;
        if (type == XCB_CLIENT_MESSAGE && reinterpret_cast<const xcb_client_message_event_t*>(raw)->type == wakeAtom_ &&
            stopping_)
            return;
        if (type == XCB_PROPERTY_NOTIFY) lastTime_ = reinterpret_cast<const xcb_property_notify_event_t*>(raw)->time;
        mainQueue_->post([weak, ev] {
            if (auto self = weak.lock()) self->events_.notify(ev);
        });
    }
}

}  // namespace trellick::x11
