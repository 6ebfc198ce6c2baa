#pragma once
// Activation tokens of xdg_activation_v1: the compositor lets a surface take the focus only with
// a token it handed out. Trellick asks for one when it launches an application (passed on in the
// launched program's environment) and when a second launch asks the first to open its settings.
// The token carries no surface and no input serial: Trellick acts on a touchpad gesture it reads
// itself, so it has neither; wlroots compositors hand tokens out without them, stricter ones may
// refuse. Main thread only.

#include <memory>
#include <string>

#include "platform/wayland/WaylandConnection.h"

struct xdg_activation_v1;

namespace trellick::wayland {

class XdgActivation {
public:
    // Null when the compositor does not offer xdg_activation_v1.
    static std::shared_ptr<XdgActivation> create(std::shared_ptr<WaylandConnection> connection);
    ~XdgActivation();
    XdgActivation(const XdgActivation&) = delete;
    XdgActivation& operator=(const XdgActivation&) = delete;

    // A new token for the application `appId` (may be empty); empty when the compositor gives
    // none. Waits for the compositor's answer without dispatching other events.
    std::string token(const std::string& appId = {});

private:
    XdgActivation(std::shared_ptr<WaylandConnection> connection, xdg_activation_v1* activation);
    std::shared_ptr<WaylandConnection> conn_;
    xdg_activation_v1* activation_;
};

}  // namespace trellick::wayland
