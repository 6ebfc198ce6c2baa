#pragma once
// Whether a compositing manager runs on the X screen, followed live, and blur-behind requests
// to it. A compositor owns the manager selection _NET_WM_CM_S<screen>; XFixes reports every
// change of its owner (a compositor starting, quitting or crashing), which the connection's
// reader hands to the main queue. Main thread only.

#include <memory>

#include "overlay/OverlayDesktop.h"
#include "platform/x11/X11Connection.h"

namespace trellick::x11 {

class X11CompositorSupport : public CompositorSupport, public std::enable_shared_from_this<X11CompositorSupport> {
public:
    // Starts watching the selection, then reads its owner: no change in between goes unheard.
    static std::shared_ptr<X11CompositorSupport> create(std::shared_ptr<X11Connection> connection);

    bool compositorActive() const override { return active_; }
    Subscription subscribe(std::function<void(bool active)> handler) override;
    // Sets _KDE_NET_WM_BLUR_BEHIND_REGION on the window (CARDINAL x, y, w, h per rectangle, in
    // device pixels) where blur-behind is offered; deletes it for an empty region or where it
    // is not, so a compositor that appears later never blurs from a stale request. Requests
    // go through Qt's own connection so that they follow the window's creation in order.
    void setBlurBehind(QWindow* window, const QRegion& region) override;
    // Sets _COMPTON_SHADOW to 0 on the window, which picom (and compton before it) honours.
    void drawsOwnShadow(QWindow* window) override;

    // Blur-behind is offered when a compositor runs and announces the blur property on the
    // root window, as KWin does for each effect it has loaded. Asked of the server each time.
    bool blurBehindOffered();

private:
    explicit X11CompositorSupport(std::shared_ptr<X11Connection> connection);
    void handle(const X11Connection::Event& ev);
    void setActive(bool active);

    std::shared_ptr<X11Connection> conn_;
    xcb_atom_t selection_ = XCB_ATOM_NONE;  // _NET_WM_CM_S<screen>
    xcb_atom_t blurRegion_ = XCB_ATOM_NONE;
    xcb_atom_t shadow_ = XCB_ATOM_NONE;  // _COMPTON_SHADOW
    uint8_t selectionNotify_ = 0;        // XFixes' event code, 0 without XFixes
    bool active_ = false;
    Signal<bool> changed_;
    Subscription eventSub_;
};

}  // namespace trellick::x11
