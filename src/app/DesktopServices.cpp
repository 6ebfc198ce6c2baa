#include "app/DesktopServices.h"

#include <QGuiApplication>

#include "platform/desktop/PortalAppearanceSource.h"
#include "platform/x11/X11CompositorSupport.h"
#include "platform/x11/X11Panel.h"

namespace trellick {

DesktopServices desktopServices(std::shared_ptr<x11::X11Connection> connection,
                                std::shared_ptr<AppearanceSource> appearance) {
    DesktopServices s;
    s.appearance = appearance ? std::move(appearance) : std::make_shared<desktop::PortalAppearanceSource>();
    if (!connection) return s;
    s.compositor = x11::X11CompositorSupport::create(std::move(connection));
    // The panel is an X11 window; Qt on another platform could not make it one.
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return s;
    s.makeHUD = [appearance = s.appearance, compositor = s.compositor]() -> std::shared_ptr<HUD> {
        return x11::makeHUDController(appearance, compositor);
    };
    return s;
}

}  // namespace trellick
