#include "platform/x11/X11WindowSystem.h"

#include <xcb/res.h>
#include <xcb/xcb_icccm.h>

#include <QImage>

#include <algorithm>
#include <cstring>

#include "common/Text.h"

namespace trellick::x11 {

namespace {

// What other clients name their windows and themselves is kept to this many bytes: a title
// as long as a list can show, a class or application id as long as any real one.
constexpr uint32_t kMaxTitleBytes = 1024;
constexpr uint32_t kMaxNameBytes = 256;

std::string latin1ToUtf8(const std::string& s) {
    std::string out;
    for (unsigned char ch : s) {
        if (ch < 0x80) {
            out += static_cast<char>(ch);
        } else {
            out += static_cast<char>(0xc0 | (ch >> 6));
            out += static_cast<char>(0x80 | (ch & 0x3f));
        }
    }
    return out;
}

std::string firstString(const std::string& bytes) {
    auto nul = bytes.find('\0');
    return nul == std::string::npos ? bytes : bytes.substr(0, nul);
}

}  // namespace

std::shared_ptr<X11WindowSystem> X11WindowSystem::create(std::shared_ptr<X11Connection> connection) {
    std::shared_ptr<X11WindowSystem> ws(new X11WindowSystem(std::move(connection)));
    std::weak_ptr<X11WindowSystem> weak = ws;
    ws->eventSub_ = ws->conn_->onEvent([weak](const X11Connection::Event& ev) {
        if (auto self = weak.lock()) self->handle(ev);
    });
    uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(ws->conn_->xcb(), ws->conn_->root(), XCB_CW_EVENT_MASK, &mask);
    ws->refreshControl(false);
    ws->lastActive_ = ws->activeWindow();
    return ws;
}

X11WindowSystem::X11WindowSystem(std::shared_ptr<X11Connection> connection) : conn_(std::move(connection)) {
    auto& c = *conn_;
    aActive_ = c.atom("_NET_ACTIVE_WINDOW");
    aClientList_ = c.atom("_NET_CLIENT_LIST");
    aStacking_ = c.atom("_NET_CLIENT_LIST_STACKING");
    aCheck_ = c.atom("_NET_SUPPORTING_WM_CHECK");
    aSupported_ = c.atom("_NET_SUPPORTED");
    aName_ = c.atom("_NET_WM_NAME");
    aUtf8_ = c.atom("UTF8_STRING");
    aType_ = c.atom("_NET_WM_WINDOW_TYPE");
    aTypeNormal_ = c.atom("_NET_WM_WINDOW_TYPE_NORMAL");
    aTypeDialog_ = c.atom("_NET_WM_WINDOW_TYPE_DIALOG");
    aState_ = c.atom("_NET_WM_STATE");
    aHidden_ = c.atom("_NET_WM_STATE_HIDDEN");
    aPid_ = c.atom("_NET_WM_PID");
    aIcon_ = c.atom("_NET_WM_ICON");
    aGtkId_ = c.atom("_GTK_APPLICATION_ID");
    aKdeFile_ = c.atom("_KDE_NET_WM_DESKTOP_FILE");
    auto* ext = xcb_get_extension_data(c.xcb(), &xcb_res_id);
    xresAvailable_ = ext && ext->present;
}

std::optional<X11WindowSystem::Property> X11WindowSystem::property(xcb_window_t window, xcb_atom_t prop,
                                                                   uint32_t maxLongs) {
    if (window == 0 || prop == XCB_ATOM_NONE) return std::nullopt;
    auto cookie = xcb_get_property(conn_->xcb(), 0, window, prop, XCB_GET_PROPERTY_TYPE_ANY, 0, maxLongs);
    xcb_generic_error_t* err = nullptr;
    xcb_get_property_reply_t* reply = xcb_get_property_reply(conn_->xcb(), cookie, &err);
    free(err);  // BadWindow: the window has gone, which is an answer, not a failure
    if (!reply) return std::nullopt;
    std::optional<Property> out;
    if (reply->type != XCB_ATOM_NONE) {
        out = Property{reply->type, reply->format,
                       std::string(static_cast<const char*>(xcb_get_property_value(reply)),
                                   static_cast<std::size_t>(xcb_get_property_value_length(reply)))};  // bytes
    }
    free(reply);
    return out;
}

std::vector<uint32_t> X11WindowSystem::cardinals(xcb_window_t window, xcb_atom_t prop) {
    auto p = property(window, prop);
    return p ? cardinals(*p) : std::vector<uint32_t>{};
}

std::vector<uint32_t> X11WindowSystem::cardinals(const Property& p) {
    std::vector<uint32_t> out;
    if (p.format != 32) return out;
    out.resize(p.bytes.size() / 4);
    if (!out.empty()) std::memcpy(out.data(), p.bytes.data(), out.size() * 4);
    return out;
}

void X11WindowSystem::refreshControl(bool notify) {
    // A live check window names itself; a stale root property (the manager died) does not.
    xcb_window_t check = 0;
    auto onRoot = cardinals(conn_->root(), aCheck_);
    if (!onRoot.empty() && onRoot[0] != 0) {
        auto onSelf = cardinals(onRoot[0], aCheck_);
        if (!onSelf.empty() && onSelf[0] == onRoot[0]) check = onRoot[0];
    }
    bool available = false;
    if (check) {
        auto supported = cardinals(conn_->root(), aSupported_);
        available = std::find(supported.begin(), supported.end(), aActive_) != supported.end();
        // Hear of the manager's exit through its check window's destruction.
        uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        xcb_change_window_attributes(conn_->xcb(), check, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(conn_->xcb());
    }
    xcb_window_t oldCheck = wmCheck_.exchange(available ? check : 0);
    bool old = control_.exchange(available);
    if (notify && (old != available || oldCheck != wmCheck_.load())) controlChanged_.notify();
}

void X11WindowSystem::handle(const X11Connection::Event& ev) {
    uint8_t type = ev->response_type & 0x7f;
    if (type == XCB_PROPERTY_NOTIFY) {
        auto* pn = reinterpret_cast<const xcb_property_notify_event_t*>(ev.get());
        if (pn->window != conn_->root()) return;
        if (pn->atom == aActive_) {
            // Some managers clear the property before setting the new window: ignore the 0.
            auto active = activeWindow();
            if (active && active != lastActive_) {
                lastActive_ = active;
                activeChanged_.notify(*active);
            }
        } else if (pn->atom == aClientList_) {
            {
                // Window ids are reused once their client is gone: forget owners of the departed.
                auto list = clientList();
                std::lock_guard lock(pidLock_);
                std::erase_if(pidCache_, [&list](const auto& kv) {
                    return std::find(list.begin(), list.end(), kv.first) == list.end();
                });
                // Likewise the last active window: a new window given its id must still be
                // reported when it becomes active.
                if (lastActive_ && std::find(list.begin(), list.end(), *lastActive_) == list.end()) lastActive_.reset();
            }
            listChanged_.notify();
        } else if (pn->atom == aCheck_ || pn->atom == aSupported_) {
            refreshControl(true);
        }
    } else if (type == XCB_DESTROY_NOTIFY) {
        auto* dn = reinterpret_cast<const xcb_destroy_notify_event_t*>(ev.get());
        if (dn->window == wmCheck_.load()) refreshControl(true);
    }
}

std::vector<WindowId> X11WindowSystem::clientList() {
    auto ids = cardinals(conn_->root(), aClientList_);
    return {ids.begin(), ids.end()};
}

// Recency at launch. The recency lists learn from activations, so at start (and whenever
// window control is gained) they would hold the active entry alone and the first swipe would
// have nowhere to go. A window manager raises the window it activates, so the stacking order,
// read from the top down, is the best record of recent use there is before Trellick has seen
// an activation of its own: both trackers seed their lists from it below the active entry
// (switchable windows of other processes, within the usual limits), and real activations
// reorder them as before.
// - It spans every desktop: a window of another desktop stays where its last use left it,
//   and activating it switches desktop as at any other time.
// - Minimised windows stay wherever the manager puts them (many lower them to the bottom,
//   some leave them in place): the trackers rank them after the visible ones themselves.
// - _NET_CLIENT_LIST_STACKING is optional in EWMH. Without it, _NET_CLIENT_LIST, which lists
//   windows in the order they were first mapped, is read newest first: the nearest guess left.
// - With no active window, or one nobody switches to (a desktop, a panel), the top-most
//   switchable window heads the lists, as it would had Trellick been running all along:
//   focus on such windows is never recorded.
// - A manager that starts after Trellick takes on the existing windows one at a time, so the
//   trackers seed again at each client-list change until the first focus change.
std::vector<WindowId> X11WindowSystem::stackingOrder() {
    auto p = property(conn_->root(), aStacking_);
    std::vector<uint32_t> ids = p ? cardinals(*p) : cardinals(conn_->root(), aClientList_);
    return {ids.rbegin(), ids.rend()};  // both list bottom (or oldest) first
}

std::optional<WindowId> X11WindowSystem::activeWindow() {
    auto ids = cardinals(conn_->root(), aActive_);
    if (ids.empty() || ids[0] == 0) return std::nullopt;
    return ids[0];
}

std::optional<WindowId> X11WindowSystem::focusedWindow(int wantedPid) {
    if (wantedPid < 1) return std::nullopt;
    if (auto active = activeWindow(); active && pid(*active) == wantedPid) {
        auto k = kind(*active);
        if (k && *k != WindowKind::other) return active;
    }
    std::optional<WindowId> minimisedOne;
    for (WindowId w : stackingOrder()) {
        if (pid(w) != wantedPid) continue;
        auto k = kind(w);
        if (!k || *k == WindowKind::other) continue;
        if (isMinimised(w).value_or(false)) {
            if (!minimisedOne) minimisedOne = w;
            continue;
        }
        return w;
    }
    return minimisedOne;
}

bool X11WindowSystem::isAlive(WindowId window) {
    if (window == 0) return false;
    auto list = clientList();
    if (std::find(list.begin(), list.end(), window) == list.end()) return false;
    auto k = kind(window);
    return k && *k != WindowKind::other;
}

std::optional<WindowKind> X11WindowSystem::kind(WindowId window) {
    auto cookie = xcb_get_property(conn_->xcb(), 0, window, aType_, XCB_ATOM_ATOM, 0, 64);
    xcb_generic_error_t* err = nullptr;
    auto* reply = xcb_get_property_reply(conn_->xcb(), cookie, &err);
    free(err);
    if (!reply) return std::nullopt;                     // gone
    std::optional<WindowKind> out = WindowKind::normal;  // no type: a normal window
    if (reply->type == XCB_ATOM_ATOM && reply->format == 32) {
        auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
        int n = xcb_get_property_value_length(reply) / 4;
        if (n > 0) out = WindowKind::other;
        // The first type we know decides (EWMH lists them by preference).
        for (int i = 0; i < n; ++i) {
            if (atoms[i] == aTypeNormal_) {
                out = WindowKind::normal;
                break;
            }
            if (atoms[i] == aTypeDialog_) {
                out = WindowKind::dialog;
                break;
            }
        }
    }
    free(reply);
    return out;
}

std::optional<std::string> X11WindowSystem::title(WindowId window) {
    // Any client can set any title: only as much as a list shows is fetched and kept.
    if (auto p = property(window, aName_, kMaxTitleBytes / 4); p && p->type == aUtf8_)
        return text::foreign(firstString(p->bytes), kMaxTitleBytes);
    auto p = property(window, XCB_ATOM_WM_NAME, kMaxTitleBytes / 4);
    if (!p) {
        // Distinguish "no title" from "no window".
        if (!kind(window)) return std::nullopt;
        return std::string();
    }
    if (p->type == XCB_ATOM_STRING) return text::foreign(latin1ToUtf8(firstString(p->bytes)), kMaxTitleBytes);
    return text::foreign(firstString(p->bytes), kMaxTitleBytes);
}

std::optional<bool> X11WindowSystem::isMinimised(WindowId window) {
    auto cookie = xcb_get_property(conn_->xcb(), 0, window, aState_, XCB_ATOM_ATOM, 0, 64);
    xcb_generic_error_t* err = nullptr;
    auto* reply = xcb_get_property_reply(conn_->xcb(), cookie, &err);
    free(err);
    if (!reply) return std::nullopt;
    bool hidden = false;
    if (reply->type == XCB_ATOM_ATOM && reply->format == 32) {
        auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
        int n = xcb_get_property_value_length(reply) / 4;
        hidden = std::find(atoms, atoms + n, aHidden_) != atoms + n;
    }
    free(reply);
    return hidden;
}

int X11WindowSystem::pid(WindowId window) {
    if (window == 0) return 0;
    {
        std::lock_guard lock(pidLock_);
        if (auto it = pidCache_.find(window); it != pidCache_.end()) return it->second;
    }
    int result = 0;
    auto ids = cardinals(window, aPid_);
    if (!ids.empty() && ids[0] > 0)
        result = static_cast<int>(ids[0]);
    else
        result = pidFromXRes(window);
    if (result > 0) {
        std::lock_guard lock(pidLock_);
        if (pidCache_.size() > 4096) pidCache_.clear();  // ids are reused; keep it bounded
        pidCache_[window] = result;
    }
    return result;
}

int X11WindowSystem::pidFromXRes(WindowId window) {
    if (!xresAvailable_) return 0;
    xcb_res_client_id_spec_t clientId{window, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
    auto cookie = xcb_res_query_client_ids(conn_->xcb(), 1, &clientId);
    xcb_generic_error_t* err = nullptr;
    auto* reply = xcb_res_query_client_ids_reply(conn_->xcb(), cookie, &err);
    free(err);
    if (!reply) return 0;
    int result = 0;
    for (auto it = xcb_res_query_client_ids_ids_iterator(reply); it.rem; xcb_res_client_id_value_next(&it)) {
        // The value begins with the client id it answers for.
        xcb_res_client_id_spec_t id;
        std::memcpy(&id, it.data, sizeof id);
        if ((id.mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID) && it.data->length >= 4) {
            result = static_cast<int>(*xcb_res_client_id_value_value(it.data));
            break;
        }
    }
    free(reply);
    return result;
}

WindowClassHints X11WindowSystem::classHints(WindowId window) {
    // Names end up in the usage counts of the preferences file and in logs: a client's
    // oversized or control-laden names are cut and cleaned here, where they enter.
    auto name = [](const std::string& s) { return text::foreign(s, kMaxNameBytes); };
    WindowClassHints h;
    if (auto p = property(window, XCB_ATOM_WM_CLASS, kMaxNameBytes / 2)) {
        const std::string& b = p->bytes;
        auto nul = b.find('\0');
        h.instance = name(b.substr(0, nul));
        if (nul != std::string::npos) h.className = name(firstString(b.substr(nul + 1)));
    }
    if (auto p = property(window, aGtkId_, kMaxNameBytes / 4)) h.gtkApplicationId = name(firstString(p->bytes));
    if (auto p = property(window, aKdeFile_, kMaxNameBytes / 4)) h.kdeDesktopFile = name(firstString(p->bytes));
    return h;
}

std::optional<IconHandle> X11WindowSystem::icon(WindowId window) {
    auto p = property(window, aIcon_, 1u << 20);
    if (!p || p->format != 32) return std::nullopt;
    // Pick the size nearest 128 pixels, preferring larger ones: the overlay draws icons of up
    // to 56 logical pixels, which is 112 device pixels at a device pixel ratio of 2.
    const auto* d = reinterpret_cast<const uint32_t*>(p->bytes.data());
    std::size_t n = p->bytes.size() / 4, best = n;
    uint32_t bestW = 0, bestH = 0;
    for (std::size_t i = 0; i + 2 <= n;) {
        uint32_t w = d[i], h = d[i + 1];
        if (w == 0 || h == 0 || w > 1024 || h > 1024 || i + 2 + std::size_t(w) * h > n) break;
        auto score = [](uint32_t s) { return s >= 128 ? s - 128 : (128 - s) * 4; };
        if (best == n || score(w) < score(bestW)) {
            best = i;
            bestW = w;
            bestH = h;
        }
        i += 2 + std::size_t(w) * h;
    }
    if (best == n) return std::nullopt;
    auto image = std::make_shared<QImage>(int(bestW), int(bestH), QImage::Format_ARGB32);
    for (uint32_t y = 0; y < bestH; ++y)
        for (uint32_t x = 0; x < bestW; ++x) image->setPixel(int(x), int(y), d[best + 2 + std::size_t(y) * bestW + x]);
    return IconHandle{"", std::shared_ptr<const void>(image, image.get())};
}

bool X11WindowSystem::activate(WindowId window) {
    if (!control_.load() || window == 0) return false;
    auto list = clientList();
    if (std::find(list.begin(), list.end(), window) == list.end()) return false;
    // Source indication 2 (a pager acting for the user): managers honour it without focus
    // stealing prevention, and de-iconify the window on the way.
    xcb_client_message_event_t ev{};
    ev.response_type = XCB_CLIENT_MESSAGE;
    ev.format = 32;
    ev.window = window;
    ev.type = aActive_;
    ev.data.data32[0] = 2;
    ev.data.data32[1] = conn_->lastTime();
    ev.data.data32[2] = lastActive_.value_or(0);
    xcb_send_event(conn_->xcb(), 0, conn_->root(),
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&ev));
    xcb_flush(conn_->xcb());
    return true;
}

Subscription X11WindowSystem::onActiveWindowChanged(std::function<void(WindowId)> handler) {
    return activeChanged_.connect(std::move(handler));
}
Subscription X11WindowSystem::onClientListChanged(std::function<void()> handler) {
    return listChanged_.connect([h = std::move(handler)] { h(); });
}
Subscription X11WindowSystem::onWindowControlChanged(std::function<void()> handler) {
    return controlChanged_.connect([h = std::move(handler)] { h(); });
}

}  // namespace trellick::x11
