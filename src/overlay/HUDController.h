#pragma once
// Owns the overlay panel: windows the recency list into at most nine entries, writes the
// model, sizes the panel to its content without jitter while a gesture is held, centres it
// on the screen under the pointer and fades it in. Driven by the gesture engine on the main
// thread.

#include <functional>
#include <memory>
#include <optional>

#include "gesture/HUD.h"
#include "overlay/HUDModel.h"
#include "overlay/HUDPanel.h"

namespace trellick {

class AppearanceSource;
class CompositorSupport;

class HUDController : public HUD {
public:
    static constexpr int maxVisible = 9;
    static constexpr double fadeInSeconds = 0.14;
    // The cancel indicator shows above this progress, and the panel refits when it crosses it.
    static constexpr double cancelIndicatorThreshold = 0.1;

    // The layout inputs of a size decision; equal keys need no measuring.
    struct SizeKey {
        HUDStyle style;
        HUDLabelStyle labelStyle;
        bool compactPeek;
        int visibleCount;
        int favouritesCount;
        bool moreBefore;
        bool moreAfter;
        bool operator==(const SizeKey&) const = default;
    };

    // Makes the panel on first use; it shows `live`, the controller's model, for good.
    using PanelFactory = std::function<std::unique_ptr<HUDPanel>(const HUDModel& live)>;

    HUDController(PanelFactory makePanel, std::shared_ptr<ScreenLocator> screens);

    void showList(const std::vector<SwitchTarget>& recents, int recentsSelected,
                  const std::vector<SwitchTarget>& favourites, int favSelected, SwitcherRow focus,
                  HUDLabelStyle labelStyle, HUDStyle style, bool compactPeek) override;
    void setCancelProgress(double progress) override;
    void hide() override;

    const HUDModel& model() const { return model_; }

private:
    HUDPanel& ensurePanel();
    // Shows the window of at most nine recents around the cursor `s`, written afresh when it
    // moved or `fresh`; returns the index of its first entry.
    int showWindow(const std::vector<SwitchTarget>& recents, int s, bool fresh);
    // Sizes and places the panel for the content `key` describes, when that changed.
    void fit(HUDPanel& panel, bool wasVisible, const SizeKey& key);
    QSizeF stableFittingSize();
    // The frame of a panel of `size` centred on the screen under the pointer, or at its old
    // origin when no screen can be found.
    QRectF centred(QSizeF size) const;
    void refitGrowingDown();

    HUDModel model_;
    PanelFactory makePanel_;
    std::unique_ptr<HUDPanel> panel_;
    std::shared_ptr<ScreenLocator> screens_;
    std::unique_ptr<HUDModel> probeModel_;
    QSizeF lastSize_{0, 0};
    QSizeF gestureStableSize_{0, 0};
    std::optional<SizeKey> lastSizeKey_;
    int lastLo_ = -1;
    int lastHi_ = -1;
};

}  // namespace trellick
