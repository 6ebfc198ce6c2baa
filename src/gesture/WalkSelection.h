#pragma once
// The main-thread half of a directional walk: it freezes the recency list and the
// favourites row when the walk begins, keeps the cursors inside them, drives the overlay,
// the selection tick and the Escape monitor, and at the end activates the selected entry
// (commit) or drops the walk (cancel).

#include <memory>
#include <optional>
#include <vector>

#include "common/ThreadSafety.h"
#include "gesture/GestureTrace.h"
#include "gesture/HUD.h"
#include "gesture/Haptics.h"
#include "gesture/InputServices.h"
#include "gesture/ScrollSuppressor.h"
#include "gesture/SharedSettings.h"
#include "settings/Diagnostics.h"
#include "tracking/MRUSwitcher.h"

namespace trellick {

class WalkSelection {
public:
    struct Services {
        std::shared_ptr<FavouriteTargetSource> favourites;
        std::shared_ptr<HUD> hud;
        std::shared_ptr<Haptics> haptics;
        std::shared_ptr<KeyMonitor> keyMonitor;
        std::shared_ptr<GestureTrace> trace;
        std::weak_ptr<Diagnostics> diagnostics;
        // What the overlay's "Add Favourites" entry does: open the Favourites settings.
        std::function<void()> openFavouritesSettings;
    };

    // Built on the main thread, which it then belongs to; `settings` is the engine's snapshot,
    // kept current by its owner.
    WalkSelection(Services services, ScrollSuppressor& scroll, std::shared_ptr<SharedSettings> shared,
                  const EngineSettings& settings);

    // `beginning`: the first update of a walk, which freezes the rows from `switcher`.
    void update(MRUSwitcher& switcher, SwitcherRow focus, int index, bool beginning, std::uint32_t gesture = 0);
    // The one writer of the recents length the touch thread limits the walk by.
    void publishCount(int count, std::uint32_t gesture);
    void commit();
    void cancel();
    void installEscapeMonitor();
    void removeEscapeMonitor();

    // The "Add Favourites" entry of an empty favourites row.
    SwitchTarget addFavouritesTarget() const;

private:
    void freeze(MRUSwitcher& switcher, std::uint32_t gesture) REQUIRES(mainThread_);
    bool moveCursor(SwitcherRow focus, int index) REQUIRES(mainThread_);
    void show(SwitcherRow focus) REQUIRES(mainThread_);
    bool hapticsOn() const;

    Services s_;
    ScrollSuppressor& scroll_;
    std::shared_ptr<SharedSettings> shared_;
    const EngineSettings& settings_;

    ThreadRole mainThread_{"the main thread"};
    std::vector<SwitchTarget> directionalSnapshot_ GUARDED_BY(mainThread_);
    std::vector<SwitchTarget> favouriteSnapshot_ GUARDED_BY(mainThread_);
    int cursorIndex_ GUARDED_BY(mainThread_) = 0;
    int favCursor_ GUARDED_BY(mainThread_) = 0;
    SwitcherRow currentFocus_ GUARDED_BY(mainThread_) = SwitcherRow::recents;
    std::optional<KeyMonitor::Token> escapeMonitor_ GUARDED_BY(mainThread_);
};

}  // namespace trellick
