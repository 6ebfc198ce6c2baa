#include "platform/x11/X11CompositorSupport.h"

#include <xcb/xfixes.h>

#include <QtGui/qguiapplication_platform.h>
#include <QGuiApplication>
#include <QWindow>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "common/Log.h"

namespace trellick::x11 {

namespace {

int screenNumber(xcb_connection_t* c, xcb_window_t root) {
    int n = 0;
    for (auto it = xcb_setup_roots_iterator(xcb_get_setup(c)); it.rem; xcb_screen_next(&it), ++n)
        if (it.data->root == root) return n;
    return 0;
}

}  // namespace

std::shared_ptr<X11CompositorSupport> X11CompositorSupport::create(std::shared_ptr<X11Connection> connection) {
    std::shared_ptr<X11CompositorSupport> cs(new X11CompositorSupport(std::move(connection)));
    std::weak_ptr<X11CompositorSupport> weak = cs;
    cs->eventSub_ = cs->conn_->onEvent([weak](const X11Connection::Event& ev) {
        if (auto self = weak.lock()) self->handle(ev);
    });
    return cs;
}

X11CompositorSupport::X11CompositorSupport(std::shared_ptr<X11Connection> connection) : conn_(std::move(connection)) {
    xcb_connection_t* c = conn_->xcb();
    selection_ = conn_->atom("_NET_WM_CM_S" + std::to_string(screenNumber(c, conn_->root())));
    blurRegion_ = conn_->atom("_KDE_NET_WM_BLUR_BEHIND_REGION");
    shadow_ = conn_->atom("_COMPTON_SHADOW");
    if (conn_->broken()) return;
    // Watch first, then read: a change in between is heard rather than lost.
    const xcb_query_extension_reply_t* ext = xcb_get_extension_data(c, &xcb_xfixes_id);
    if (ext && ext->present) {
        // The version must be announced before XFixes accepts other requests.
        auto* version = xcb_xfixes_query_version_reply(c, xcb_xfixes_query_version(c, 5, 0), nullptr);
        if (version) {
            selectionNotify_ = ext->first_event + XCB_XFIXES_SELECTION_NOTIFY;
            xcb_xfixes_select_selection_input(c, conn_->ownWindow(), selection_,
                                              XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                                                  XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                                                  XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
        }
        free(version);
    }
    if (!selectionNotify_)
        log::warning("trellick.overlay", "the X server lacks XFixes: a compositor starting or quitting goes unnoticed");
    auto* owner = xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection_), nullptr);
    active_ = owner && owner->owner != XCB_NONE;
    free(owner);
}

void X11CompositorSupport::handle(const X11Connection::Event& ev) {
    if (!selectionNotify_ || (ev->response_type & 0x7f) != selectionNotify_) return;
    auto* sn = reinterpret_cast<const xcb_xfixes_selection_notify_event_t*>(ev.get());
    // Events arrive in the server's order, so the last one tells the current owner; a
    // compositor that quits or dies leaves the selection to nobody.
    if (sn->selection == selection_) setActive(sn->owner != XCB_NONE);
}

void X11CompositorSupport::setActive(bool active) {
    if (active == active_) return;
    active_ = active;
    changed_.notify(active);
}

Subscription X11CompositorSupport::subscribe(std::function<void(bool)> handler) {
    handler(active_);
    return changed_.connect(std::move(handler));
}

bool X11CompositorSupport::blurBehindOffered() {
    if (!active_ || conn_->broken()) return false;
    xcb_connection_t* c = conn_->xcb();
    auto* reply = xcb_list_properties_reply(c, xcb_list_properties(c, conn_->root()), nullptr);
    if (!reply) return false;
    const xcb_atom_t* atoms = xcb_list_properties_atoms(reply);
    bool offered = std::find(atoms, atoms + xcb_list_properties_atoms_length(reply), blurRegion_) !=
                   atoms + xcb_list_properties_atoms_length(reply);
    free(reply);
    return offered;
}

void X11CompositorSupport::setBlurBehind(QWindow* window, const QRegion& region) {
    if (!window || QGuiApplication::platformName() != QLatin1String("xcb")) return;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection()) return;
    xcb_connection_t* qc = x11->connection();
    auto id = static_cast<xcb_window_t>(window->winId());
    // Rectangles left of or above the window have no pixels to blur.
    QRegion inside = region.intersected(QRect(0, 0, INT_MAX / 4, INT_MAX / 4));
    if (inside.isEmpty() || !blurBehindOffered()) {
        xcb_delete_property(qc, id, blurRegion_);
    } else {
        const double dpr = window->devicePixelRatio();
        std::vector<uint32_t> values;
        for (const QRect& r : inside) {
            // Outwards to whole device pixels, so a fractional scale leaves no unblurred seam.
            auto x0 = static_cast<uint32_t>(std::floor(r.x() * dpr));
            auto y0 = static_cast<uint32_t>(std::floor(r.y() * dpr));
            auto x1 = static_cast<uint32_t>(std::ceil((r.x() + r.width()) * dpr));
            auto y1 = static_cast<uint32_t>(std::ceil((r.y() + r.height()) * dpr));
            values.insert(values.end(), {x0, y0, x1 - x0, y1 - y0});
        }
        xcb_change_property(qc, XCB_PROP_MODE_REPLACE, id, blurRegion_, XCB_ATOM_CARDINAL, 32,
                            static_cast<uint32_t>(values.size()), values.data());
    }
    xcb_flush(qc);
}

void X11CompositorSupport::drawsOwnShadow(QWindow* window) {
    if (!window || QGuiApplication::platformName() != QLatin1String("xcb")) return;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection()) return;
    const uint32_t none = 0;
    xcb_change_property(x11->connection(), XCB_PROP_MODE_REPLACE, static_cast<xcb_window_t>(window->winId()), shadow_,
                        XCB_ATOM_CARDINAL, 32, 1, &none);
    xcb_flush(x11->connection());
}

}  // namespace trellick::x11
