#pragma once
// The window system of a session Trellick cannot steer (Wayland): no window control, no
// windows. The trackers then stay empty and the diagnostics show window control as
// unavailable; touch input works all the same.

#include "tracking/WindowSystem.h"

namespace trellick::desktop {

class UnavailableWindowSystem : public WindowSystem {
public:
    bool windowControlAvailable() override { return false; }
    std::vector<WindowId> clientList() override { return {}; }
    std::vector<WindowId> stackingOrder() override { return {}; }
    std::optional<WindowId> activeWindow() override { return std::nullopt; }
    std::optional<WindowId> focusedWindow(int) override { return std::nullopt; }
    bool isAlive(WindowId) override { return false; }
    std::optional<WindowKind> kind(WindowId) override { return std::nullopt; }
    std::optional<std::string> title(WindowId) override { return std::nullopt; }
    std::optional<bool> isMinimised(WindowId) override { return std::nullopt; }
    int pid(WindowId) override { return 0; }
    WindowClassHints classHints(WindowId) override { return {}; }
    std::optional<IconHandle> icon(WindowId) override { return std::nullopt; }
    bool activate(WindowId) override { return false; }
    Subscription onActiveWindowChanged(std::function<void(WindowId)>) override { return {}; }
    Subscription onClientListChanged(std::function<void()>) override { return {}; }
    Subscription onWindowControlChanged(std::function<void()>) override { return {}; }
};

}  // namespace trellick::desktop
