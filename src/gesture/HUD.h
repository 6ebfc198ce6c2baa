#pragma once
// What the gesture engine asks of the overlay controller. Main thread only.

#include <vector>

#include "common/SwitchTarget.h"
#include "settings/SettingsStore.h"

namespace trellick {

class HUD {
public:
    virtual ~HUD() = default;
    virtual void showList(const std::vector<SwitchTarget>& recents, int recentsSelected,
                          const std::vector<SwitchTarget>& favourites, int favSelected, SwitcherRow focus,
                          HUDLabelStyle labelStyle, HUDStyle style, bool compactPeek) = 0;
    virtual void hide() = 0;
    virtual void setCancelProgress(double progress) = 0;
};

// An overlay that shows nothing (used until a real one is wired in, and by debug runs).
class NullHUD : public HUD {
public:
    void showList(const std::vector<SwitchTarget>&, int, const std::vector<SwitchTarget>&, int, SwitcherRow,
                  HUDLabelStyle, HUDStyle, bool) override {}
    void hide() override {}
    void setCancelProgress(double) override {}
};

}  // namespace trellick
