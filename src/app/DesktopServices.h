#pragma once
// The desktop services of the tray application beyond the window system, and its overlay:
// the light or dark scheme and the accent colour from the XDG desktop portal, the compositor
// on the X screen, and the overlay controller drawn with them.

#include <functional>
#include <memory>

#include "gesture/HUD.h"
#include "overlay/OverlayDesktop.h"

namespace trellick {

namespace x11 {
class X11Connection;
}

struct DesktopServices {
    // For the overlay and the application's windows alike.
    std::shared_ptr<AppearanceSource> appearance;
    // None without an X11 connection.
    std::shared_ptr<CompositorSupport> compositor;
    // Makes the overlay controller when the application's launch sequence reaches it (after the
    // trackers, before the engine). Empty where there is no overlay: without an X11
    // connection (a Wayland session), or where Qt does not draw through X11. A held swipe
    // then walks the list unseen, as with the overlay turned off.
    std::function<std::shared_ptr<HUD>()> makeHUD;
};

// Call after the QApplication exists, on the main thread, with the appearance the application's
// windows already follow. Nothing here waits: the portal is asked without blocking, and both
// services only listen afterwards (D-Bus signals, X events), so they wake the process up only
// when something changes.
DesktopServices desktopServices(std::shared_ptr<x11::X11Connection> connection,
                                std::shared_ptr<AppearanceSource> appearance);

}  // namespace trellick
