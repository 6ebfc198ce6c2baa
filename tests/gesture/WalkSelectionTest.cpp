// The main-thread side: the walk's snapshots, cursors, overlay and commit, haptics, scrolling.

#include <gtest/gtest.h>

#include "EngineRig.h"

namespace trellick::test {
namespace {

using Row = SwitcherRow;

TEST(WalkSelection, FirstUpdateFreezesTheRowsAndLaterIndicesAreLimited) {
    EngineRig rig;
    int opened = 0;
    auto sub = rig.notifications->observe(kOpenFavouritesSettings, [&] { ++opened; });
    rig.favourites->missing = {"gone"};
    rig.settings->favouriteApps.set({"gone"});  // configured, but nothing resolves
    rig.monitor->updateSelection(Row::recents, 1, true);
    EXPECT_EQ(rig.monitor->cursorIndex(), 1);
    EXPECT_EQ(rig.monitor->sharedSnapshot().recentsCount, 5);
    ASSERT_EQ(rig.hud->shown.size(), 1u);
    EXPECT_EQ(rig.hud->shown[0].recentsSelected, 1);
    EXPECT_TRUE(rig.hud->shown[0].hasPlaceholder);
    EXPECT_EQ(rig.count(HapticPattern::alignment), 1);
    EXPECT_TRUE(rig.monitor->escapeMonitorInstalled());
    EXPECT_TRUE(rig.blocker->created);
    // The empty favourites row holds the placeholder.
    ASSERT_EQ(rig.monitor->favouriteSnapshot().size(), 1u);
    const auto& placeholder = rig.monitor->favouriteSnapshot()[0];
    EXPECT_TRUE(placeholder.isPlaceholder);
    EXPECT_EQ(placeholder.title, "Add Favourites");
    EXPECT_EQ(placeholder.subtitle, "Open Settings");
    // An entry arriving now is not part of this walk: index 9 selects the fifth entry.
    rig.windows->names_.push_back("late");
    rig.clock->advance(1);
    rig.monitor->updateSelection(Row::recents, 9, false);
    EXPECT_EQ(rig.monitor->cursorIndex(), 4);
    EXPECT_EQ(rig.count(HapticPattern::alignment), 2);
    rig.clock->advance(1);
    rig.monitor->updateSelection(Row::recents, 10, false);  // no move, no tick
    EXPECT_EQ(rig.monitor->cursorIndex(), 4);
    EXPECT_EQ(rig.count(HapticPattern::alignment), 2);
    rig.monitor->updateSelection(Row::recents, -3, false);
    EXPECT_EQ(rig.monitor->cursorIndex(), 0);
    rig.clock->advance(1);
    rig.monitor->updateSelection(Row::favourites, 0, false);  // the row changed: a tick at the same index
    EXPECT_EQ(rig.count(HapticPattern::alignment), 4);
    rig.monitor->commitDirectional();  // the placeholder posts the notification
    EXPECT_EQ(opened, 1);
    EXPECT_TRUE(rig.windows->activations.empty());
    EXPECT_EQ(rig.diagnostics->actionsTriggered.get(), 1);
}

TEST(WalkSelection, FavouritesDisabledShowsOnlyRecentsAndAnEmptyListNothing) {
    EngineRig rig({{keys::favouritesEnabled, PrefValue(false)}});
    rig.monitor->updateSelection(Row::recents, 1, true);
    EXPECT_TRUE(rig.monitor->favouriteSnapshot().empty());
    EXPECT_EQ(rig.hud->shown.back().favouritesCount, 0);
    // No recency list either: the walk runs but nothing is shown or felt, and nothing commits.
    rig.windows->names_.clear();
    rig.clock->advance(1);
    rig.monitor->updateSelection(Row::recents, 1, true);
    rig.monitor->commitDirectional();
    EXPECT_EQ(rig.hud->shown.size(), 1u);
    EXPECT_EQ(rig.haptic->played.size(), 1u);
    EXPECT_EQ(rig.trace->commits, (std::vector<std::pair<Row, int>>{{Row::recents, -1}}));
    EXPECT_EQ(rig.diagnostics->actionsTriggered.get(), 0);
    EXPECT_EQ(rig.hud->hides, 1);
}

TEST(WalkSelection, TicksAreRateLimitedAndHapticsOrOverlayOffChangeNothingElse) {
    EngineRig quiet({{keys::hapticFeedback, PrefValue(false)}});
    EngineRig noOverlay({{keys::showHUD, PrefValue(false)}});
    for (auto* rig : {&quiet, &noOverlay}) {
        rig->monitor->updateSelection(Row::recents, 1, true);
        EXPECT_EQ(rig->monitor->escapeMonitorInstalled(), rig == &quiet);
        rig->clock->advance(0.01);
        rig->monitor->updateSelection(Row::recents, 2, false);  // 10 ms after a tick: none
        rig->clock->advance(0.02);
        rig->monitor->updateSelection(Row::recents, 3, false);  // 30 ms after it: a tick
        rig->clock->advance(0.03);
        rig->monitor->commitDirectional();
        EXPECT_EQ(rig->windows->activations, std::vector<std::string>{"w3"});
        rig->monitor->updateSelection(Row::recents, 1, true);  // right after the switch tick: none
        rig->monitor->cancelHaptic(true);                      // an arming's double thud
        rig->queue->runPending();
    }
    noOverlay.settings->hapticFeedback.set(false);  // turned off before the second thud
    quiet.queue->drain();
    noOverlay.queue->drain();
    EXPECT_TRUE(quiet.haptic->played.empty());
    EXPECT_EQ(quiet.hud->shown.size(), 4u);
    EXPECT_TRUE(noOverlay.hud->shown.empty());
    using enum HapticPattern;
    EXPECT_EQ(noOverlay.haptic->played, (std::vector<HapticPattern>{alignment, alignment, levelChange, levelChange}));
}

TEST(ScrollSuppressor, RetriesARefusedBlockerAndAppliesBeginAndEndInCallOrder) {
    auto queue = std::make_shared<fake::FakeMainQueue>(std::make_shared<fake::FakeClock>());
    auto blocker = std::make_shared<fake::FakeScrollBlocker>();
    blocker->refuseCreate = true;
    auto s = ScrollSuppressor::create(blocker, queue);
    s->begin();
    queue->runPending();
    EXPECT_FALSE(s->installed());
    blocker->refuseCreate = false;
    s->begin();
    s->end();
    s->begin();
    EXPECT_TRUE(blocker->enableHistory.empty());  // nothing happens off the main thread
    queue->runPending();
    s->installIfNeeded();
    EXPECT_EQ(blocker->createCalls, 2);  // the refusal, then created once, idle first
    EXPECT_EQ(blocker->enableHistory, (std::vector<bool>{false, true, false, true}));
    // A grab lost while wanted is taken again; after end it stays released.
    blocker->loseIt();
    EXPECT_TRUE(blocker->enabled);
    s->end();
    queue->runPending();
    blocker->loseIt();
    EXPECT_FALSE(blocker->enabled);
    s->begin();  // posted for a suppressor that is then gone: does nothing
    s.reset();
    queue->runPending();
    EXPECT_FALSE(blocker->enabled);
}

}  // namespace
}  // namespace trellick::test
