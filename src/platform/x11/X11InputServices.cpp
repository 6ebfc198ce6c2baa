#include "platform/x11/X11InputServices.h"

#include <xcb/xinput.h>

#include <cstdlib>

namespace trellick::x11 {

namespace {
constexpr xcb_keysym_t kEscape = 0xff1b;  // XK_Escape
}

X11ScrollBlocker::~X11ScrollBlocker() {
    if (grabbed_ && !conn_->broken()) {
        xcb_ungrab_pointer(conn_->xcb(), XCB_CURRENT_TIME);
        xcb_flush(conn_->xcb());
    }
}

bool X11ScrollBlocker::create() {
    if (conn_->broken()) return false;
    if (!lostWatched_) {
        lostWatched_ = true;
        // The only way to lose an active grab on the root is to lose the server.
        lostSub_ = conn_->onLost([this] {
            bool was = grabbed_;
            grabbed_ = false;
            if (was && lost_) lost_();
        });
    }
    return true;
}

void X11ScrollBlocker::setEnabled(bool enabled) {
    if (conn_->broken()) {
        grabbed_ = false;
        return;
    }
    if (!enabled) {
        if (grabbed_) {
            // A round trip: the pointer is free for others once this returns.
            xcb_ungrab_pointer(conn_->xcb(), XCB_CURRENT_TIME);
            free(xcb_get_input_focus_reply(conn_->xcb(), xcb_get_input_focus(conn_->xcb()), nullptr));
        }
        grabbed_ = false;
        return;
    }
    if (grabbed_) return;
    auto cookie =
        xcb_grab_pointer(conn_->xcb(), 0, conn_->root(), XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE,
                         XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC, XCB_NONE, XCB_NONE, XCB_CURRENT_TIME);
    xcb_generic_error_t* err = nullptr;
    auto* reply = xcb_grab_pointer_reply(conn_->xcb(), cookie, &err);
    free(err);
    grabbed_ = reply && reply->status == XCB_GRAB_STATUS_SUCCESS;
    free(reply);
}

std::shared_ptr<X11KeyMonitor> X11KeyMonitor::create(std::shared_ptr<X11Connection> connection) {
    std::shared_ptr<X11KeyMonitor> m(new X11KeyMonitor(std::move(connection)));
    std::weak_ptr<X11KeyMonitor> weak = m;
    m->eventSub_ = m->conn_->onEvent([weak](const X11Connection::Event& ev) {
        if (auto self = weak.lock()) self->handle(ev);
    });
    return m;
}

X11KeyMonitor::X11KeyMonitor(std::shared_ptr<X11Connection> connection) : conn_(std::move(connection)) {
    auto* ext = xcb_get_extension_data(conn_->xcb(), &xcb_input_id);
    if (!ext || !ext->present) return;
    // Raw events reach root selections whatever has the focus or a grab from XI 2.1 on.
    auto cookie = xcb_input_xi_query_version(conn_->xcb(), 2, 2);
    auto* reply = xcb_input_xi_query_version_reply(conn_->xcb(), cookie, nullptr);
    if (reply && (reply->major_version > 2 || (reply->major_version == 2 && reply->minor_version >= 1)))
        xiOpcode_ = ext->major_opcode;
    free(reply);
    syms_ = xcb_key_symbols_alloc(conn_->xcb());
}

X11KeyMonitor::~X11KeyMonitor() {
    if (!handlers_.empty()) select(false);
    if (syms_) xcb_key_symbols_free(syms_);
}

void X11KeyMonitor::select(bool on) {
    if (conn_->broken()) return;
    struct {
        xcb_input_event_mask_t head;
        uint32_t mask;
    } req{{XCB_INPUT_DEVICE_ALL_MASTER, 1}, on ? uint32_t(XCB_INPUT_XI_EVENT_MASK_RAW_KEY_PRESS) : 0u};
    xcb_input_xi_select_events(conn_->xcb(), conn_->root(), 1, &req.head);
    xcb_flush(conn_->xcb());
}

std::optional<KeyMonitor::Token> X11KeyMonitor::addEscapeMonitor(std::function<void()> onEscape) {
    if (!xiOpcode_ || conn_->broken()) return std::nullopt;
    if (handlers_.empty()) select(true);
    Token t = ++next_;
    handlers_[t] = std::move(onEscape);
    return t;
}

void X11KeyMonitor::removeMonitor(Token token) {
    if (!handlers_.erase(token)) return;
    if (handlers_.empty()) select(false);
}

void X11KeyMonitor::handle(const X11Connection::Event& ev) {
    if (handlers_.empty() || (ev->response_type & 0x7f) != XCB_GE_GENERIC) return;
    auto* ge = reinterpret_cast<const xcb_ge_generic_event_t*>(ev.get());
    if (ge->extension != xiOpcode_ || ge->event_type != XCB_INPUT_RAW_KEY_PRESS) return;
    auto* raw = reinterpret_cast<const xcb_input_raw_key_press_event_t*>(ev.get());
    if (!syms_ || xcb_key_symbols_get_keysym(syms_, static_cast<xcb_keycode_t>(raw->detail), 0) != kEscape) return;
    auto copy = handlers_;
    for (auto& [t, h] : copy) h();
}

}  // namespace trellick::x11
