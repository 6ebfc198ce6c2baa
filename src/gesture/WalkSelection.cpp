// The main-thread half of the directional walk: snapshots, cursors, overlay and commit.

#include "gesture/MultitouchMonitor.h"

#include <algorithm>

#include "common/Log.h"

namespace trellick {

SwitchTarget MultitouchMonitor::addFavouritesTarget() const {
    SwitchTarget t;
    // The overlay draws this named symbol itself (a plus in a circle, in the secondary colour).
    t.icon = IconHandle{"trellick-add-favourites", nullptr};
    t.title = "Add Favourites";
    t.subtitle = "Open Settings";
    std::weak_ptr<NotificationCenter> centre = c_.notifications;
    t.activate = [centre] {
        if (auto c = centre.lock()) c->post(kOpenFavouritesSettings);
    };
    t.isPlaceholder = true;
    return t;
}

void MultitouchMonitor::updateSelection(SwitcherRow focus, int index, bool beginning) {
    auto& settings = *c_.settings;
    if (beginning) {
        directionalSnapshot_ = switcher().orderedTargets();
        int count = static_cast<int>(directionalSnapshot_.size());
        writeShared([count](Shared& sh) { sh.recentsCount = count; });
        std::vector<SwitchTarget> favourites;
        if (settings.favouritesEnabled.get()) {
            if (c_.favourites) favourites = c_.favourites->targets(settings.favouriteApps.get());
            if (favourites.empty()) favourites.push_back(addFavouritesTarget());
        }
        favouriteSnapshot_ = std::move(favourites);
        cursorIndex_ = 0;
        favCursor_ = 0;
        currentFocus_ = SwitcherRow::recents;
        scrollSuppressor_->installIfNeeded();  // the blocker may have been refused at launch
        if (settings.showHUD.get()) installEscapeMonitor();
    }
    if (directionalSnapshot_.empty() && favouriteSnapshot_.empty()) return;

    SwitcherRow prevFocus = currentFocus_;
    int prevCursor = cursorIndex_;
    int prevFav = favCursor_;
    currentFocus_ = focus;
    auto limit = [](int i, std::size_t count) { return std::clamp(i, 0, static_cast<int>(count) - 1); };
    if (focus == SwitcherRow::favourites) {
        if (!favouriteSnapshot_.empty()) favCursor_ = limit(index, favouriteSnapshot_.size());
    } else {
        if (!directionalSnapshot_.empty()) cursorIndex_ = limit(index, directionalSnapshot_.size());
    }
    bool inFavourites = focus == SwitcherRow::favourites;
    if (c_.trace) c_.trace->selected(focus, inFavourites ? favCursor_ : cursorIndex_, beginning);

    if (settings.showHUD.get() && c_.hud) {
        c_.hud->showList(directionalSnapshot_, cursorIndex_, favouriteSnapshot_, favCursor_, focus,
                         settings.hudLabelStyle.get(), settings.hudStyle.get(), settings.compactPeekSpacing.get());
    }
    bool moved = inFavourites ? favCursor_ != prevFav : cursorIndex_ != prevCursor;
    if (!beginning && focus == prevFocus && !moved) return;
    if (settings.hapticFeedback.get() && c_.haptics) c_.haptics->selectionTick();
}

void MultitouchMonitor::commitDirectional() {
    bool inFavourites = currentFocus_ == SwitcherRow::favourites;
    const auto& row = inFavourites ? favouriteSnapshot_ : directionalSnapshot_;
    int cursor = inFavourites ? favCursor_ : cursorIndex_;
    std::optional<SwitchTarget> target;
    if (cursor >= 0 && cursor < static_cast<int>(row.size())) target = row[cursor];
    directionalSnapshot_.clear();
    favouriteSnapshot_.clear();

    if (c_.trace) c_.trace->committed(currentFocus_, target ? cursor : -1);
    log::debug(log::gesture, [&] {
        if (!target) return std::string("commit: nothing to switch to");
        return std::string("commit: switch to ") + (inFavourites ? "favourite " : "entry ") + std::to_string(cursor) +
               ", " + target->title;
    });
    if (target) {
        if (auto d = c_.diagnostics.lock()) d->increment(d->actionsTriggered);
        if (target->activate) target->activate();
        if (c_.settings->hapticFeedback.get() && c_.haptics) c_.haptics->switchTick();
    }
    if (c_.hud) c_.hud->hide();
    removeEscapeMonitor();
}

void MultitouchMonitor::cancelDirectional() {
    log::debug(log::gesture, [] { return "walk cancelled: no switch"; });
    directionalSnapshot_.clear();
    favouriteSnapshot_.clear();
    if (c_.trace) c_.trace->cancelled();
    if (c_.hud) c_.hud->hide();
    removeEscapeMonitor();
}

}  // namespace trellick
