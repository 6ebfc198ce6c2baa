#include "gesture/WalkSelection.h"

#include <algorithm>

#include "common/Log.h"

namespace trellick {

WalkSelection::WalkSelection(Services services, ScrollSuppressor& scroll, std::shared_ptr<SharedSettings> shared,
                             const EngineSettings& settings)
    : s_(std::move(services)), scroll_(scroll), shared_(std::move(shared)), settings_(settings) {
    mainThread_.check();
}

SwitchTarget WalkSelection::addFavouritesTarget() const {
    SwitchTarget t;
    // The overlay draws this named symbol itself (a plus in a circle, in the secondary colour).
    t.icon = IconHandle{"trellick-add-favourites", nullptr};
    t.title = "Add Favourites";
    t.subtitle = "Open Settings";
    t.activate = s_.openFavouritesSettings;
    t.isPlaceholder = true;
    return t;
}

void WalkSelection::update(MRUSwitcher& switcher, SwitcherRow focus, int index, bool beginning, std::uint32_t gesture) {
    mainThread_.check();
    if (beginning) freeze(switcher, gesture);
    if (directionalSnapshot_.empty() && favouriteSnapshot_.empty()) return;

    SwitcherRow prevFocus = currentFocus_;
    currentFocus_ = focus;
    bool moved = moveCursor(focus, index);
    bool inFavourites = focus == SwitcherRow::favourites;
    if (s_.trace) s_.trace->selected(focus, inFavourites ? favCursor_ : cursorIndex_, beginning);
    if (settings_.showOverlay) show(focus);
    if (!beginning && focus == prevFocus && !moved) return;
    if (hapticsOn()) s_.haptics->selectionTick();
}

// The rows of this walk: entries that appear or go while it runs are not part of it.
void WalkSelection::publishCount(int count, std::uint32_t gesture) {
    mainThread_.check();
    shared_->write([count, gesture](Shared& sh) {
        sh.recentsCount = count;
        sh.recentsGesture = gesture;
    });
}

void WalkSelection::freeze(MRUSwitcher& switcher, std::uint32_t gesture) {
    directionalSnapshot_ = switcher.orderedTargets();
    publishCount(static_cast<int>(directionalSnapshot_.size()), gesture);
    std::vector<SwitchTarget> favourites;
    if (settings_.walk.favouritesEnabled) {
        if (s_.favourites) favourites = s_.favourites->targets(settings_.favouriteApps);
        if (favourites.empty()) favourites.push_back(addFavouritesTarget());
    }
    favouriteSnapshot_ = std::move(favourites);
    cursorIndex_ = 0;
    favCursor_ = 0;
    currentFocus_ = SwitcherRow::recents;
    scroll_.installIfNeeded();  // the blocker may have been refused at launch
    if (settings_.showOverlay) installEscapeMonitor();
}

// Puts the focused row's cursor at `index`, limited to the row; an empty row keeps its
// cursor. True when the cursor moved.
bool WalkSelection::moveCursor(SwitcherRow focus, int index) {
    bool favourites = focus == SwitcherRow::favourites;
    const auto& row = favourites ? favouriteSnapshot_ : directionalSnapshot_;
    int& cursor = favourites ? favCursor_ : cursorIndex_;
    if (row.empty()) return false;
    int limited = std::clamp(index, 0, static_cast<int>(row.size()) - 1);
    bool moved = limited != cursor;
    cursor = limited;
    return moved;
}

void WalkSelection::show(SwitcherRow focus) {
    if (!s_.hud) return;
    s_.hud->showList(directionalSnapshot_, cursorIndex_, favouriteSnapshot_, favCursor_, focus, settings_.labelStyle,
                     settings_.overlayStyle, settings_.compactPeekSpacing);
}

bool WalkSelection::hapticsOn() const {
    return s_.haptics && settings_.haptics;
}

void WalkSelection::commit() {
    mainThread_.check();
    bool inFavourites = currentFocus_ == SwitcherRow::favourites;
    auto& row = inFavourites ? favouriteSnapshot_ : directionalSnapshot_;
    int cursor = inFavourites ? favCursor_ : cursorIndex_;
    std::optional<SwitchTarget> target;
    if (cursor >= 0 && cursor < static_cast<int>(row.size())) target = std::move(row[cursor]);

    if (s_.trace) s_.trace->committed(currentFocus_, target ? cursor : -1);
    log::debug(log::gesture, [&] {
        if (!target) return std::string("commit: nothing to switch to");
        return std::string("commit: switch to ") + (inFavourites ? "favourite " : "entry ") + std::to_string(cursor) +
               ", " + target->title;
    });
    if (target) {
        if (target->activate) target->activate();  // first: the rest need not delay the switch
        if (auto d = s_.diagnostics.lock()) d->increment(d->actionsTriggered);
        if (hapticsOn()) s_.haptics->switchTick();
    }
    directionalSnapshot_.clear();
    favouriteSnapshot_.clear();
    if (s_.hud) s_.hud->hide();
    removeEscapeMonitor();
}

void WalkSelection::cancel() {
    mainThread_.check();
    log::debug(log::gesture, [] { return "walk cancelled: no switch"; });
    directionalSnapshot_.clear();
    favouriteSnapshot_.clear();
    if (s_.trace) s_.trace->cancelled();
    if (s_.hud) s_.hud->hide();
    removeEscapeMonitor();
}

void WalkSelection::installEscapeMonitor() {
    mainThread_.check();
    if (escapeMonitor_ || !s_.keyMonitor) return;
    // Escape typed into any application: the touch thread cancels the walk at its next frame.
    escapeMonitor_ = s_.keyMonitor->addEscapeMonitor([weak = std::weak_ptr<SharedSettings>(shared_)] {
        if (auto shared = weak.lock()) shared->write([](Shared& sh) { ++sh.escapes; });
    });
}

void WalkSelection::removeEscapeMonitor() {
    mainThread_.check();
    if (!escapeMonitor_) return;
    if (s_.keyMonitor) s_.keyMonitor->removeMonitor(*escapeMonitor_);
    escapeMonitor_.reset();
}

}  // namespace trellick
