#include "app/DesktopOverlay.h"

#include <QGuiApplication>

#include "overlay/HUDController.h"
#include "platform/desktop/PortalAppearanceSource.h"
#include "platform/x11/X11CompositorSupport.h"

namespace trellick {

std::function<std::shared_ptr<HUD>()> desktopOverlay(std::shared_ptr<X11Connection> connection) {
    // The panel is an X11 window; Qt on another platform could not make it one.
    if (!connection || QGuiApplication::platformName() != QLatin1String("xcb")) return nullptr;
    return [connection]() -> std::shared_ptr<HUD> {
        // Both only listen (D-Bus signals, X events): nothing wakes the process while hidden.
        auto appearance = std::make_shared<PortalAppearanceSource>();
        auto compositor = X11CompositorSupport::create(connection);
        return makeHUDController(std::move(appearance), std::move(compositor));
    };
}

}  // namespace trellick
