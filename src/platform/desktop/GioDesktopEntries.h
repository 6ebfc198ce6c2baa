#pragma once
// Desktop entries through GIO's GDesktopAppInfo: the XDG data dirs, localized names, icons
// and launching. Main thread only.

#include <functional>

#include "tracking/DesktopEntries.h"

namespace trellick::desktop {

class GioDesktopEntries : public DesktopEntries {
public:
    // Where the session hands out activation tokens (Wayland): a token for the entry id about to
    // be launched, or empty. The launched program finds it as XDG_ACTIVATION_TOKEN and
    // DESKTOP_STARTUP_ID, and its first window may take the focus with it.
    using ActivationTokens = std::function<std::string(const std::string& id)>;
    explicit GioDesktopEntries(ActivationTokens tokens = nullptr) : tokens_(std::move(tokens)) {}

    std::optional<DesktopEntry> find(const std::string& id) override;
    std::optional<std::string> idForWMClass(const std::string& wmClass) override;
    bool launch(const std::string& id) override;
    std::vector<DesktopEntry> installed() override;

private:
    ActivationTokens tokens_;
};

}  // namespace trellick::desktop
