#pragma once
// Desktop entries through GIO's GDesktopAppInfo: the XDG data dirs, localized names, icons
// and launching. Main thread only.

#include "tracking/DesktopEntries.h"

namespace trellick::desktop {

class GioDesktopEntries : public DesktopEntries {
public:
    std::optional<DesktopEntry> find(const std::string& id) override;
    std::optional<std::string> idForWMClass(const std::string& wmClass) override;
    bool launch(const std::string& id) override;
    std::vector<DesktopEntry> installed() override;
};

}  // namespace trellick::desktop
