// The main-thread half of the walk: snapshots, cursor limits, overlay, ticks and commit.

#include <gtest/gtest.h>

#include "EngineRig.h"

namespace trellick::test {
namespace {

using Row = SwitcherRow;

TEST(WalkSelection, FirstUpdateFreezesTheListsAndShowsTheOverlay) {
    EngineRig rig;
    rig.monitor->updateSelection(Row::recents, 1, true);
    EXPECT_EQ(rig.monitor->cursorIndex(), 1);
    EXPECT_EQ(rig.monitor->directionalSnapshot().size(), 5u);
    EXPECT_EQ(rig.monitor->sharedSnapshot().recentsCount, 5);
    ASSERT_EQ(rig.hud->shown.size(), 1u);
    EXPECT_EQ(rig.hud->shown[0].recentsSelected, 1);
    EXPECT_EQ(rig.count(HapticPattern::alignment), 1);
    EXPECT_TRUE(rig.monitor->escapeMonitorInstalled());
    EXPECT_TRUE(rig.blocker->created);

    // The list is frozen: the tracker changing underneath does not move the walk.
    rig.windows->names_.push_back("late");
    rig.monitor->updateSelection(Row::recents, 2, false);
    EXPECT_EQ(rig.monitor->directionalSnapshot().size(), 5u);
}

TEST(WalkSelection, CursorIsLimitedAndOnlyRealMovesTick) {
    EngineRig rig;
    rig.monitor->updateSelection(Row::recents, 1, true);
    rig.clock->advance(1);
    rig.monitor->updateSelection(Row::recents, 9, false);
    EXPECT_EQ(rig.monitor->cursorIndex(), 4);
    EXPECT_EQ(rig.count(HapticPattern::alignment), 2);
    rig.clock->advance(1);
    rig.monitor->updateSelection(Row::recents, 10, false);
    EXPECT_EQ(rig.monitor->cursorIndex(), 4);
    EXPECT_EQ(rig.count(HapticPattern::alignment), 2);
    rig.monitor->updateSelection(Row::recents, -3, false);
    EXPECT_EQ(rig.monitor->cursorIndex(), 0);
}

TEST(WalkSelection, ChangingRowTicksEvenAtTheSameIndex) {
    EngineRig rig;
    rig.settings->favouriteApps.set({"f1"});
    rig.monitor->updateSelection(Row::recents, 0, true);
    rig.clock->advance(1);
    rig.monitor->updateSelection(Row::favourites, 0, false);
    EXPECT_EQ(rig.monitor->currentFocus(), Row::favourites);
    EXPECT_EQ(rig.count(HapticPattern::alignment), 2);
    rig.monitor->commitDirectional();
    EXPECT_EQ(rig.favourites->activations, std::vector<std::string>{"f1"});
    EXPECT_EQ(rig.diagnostics->actionsTriggered.get(), 1);
}

TEST(WalkSelection, EmptyFavouritesRowHoldsThePlaceholder) {
    EngineRig rig;
    int opened = 0;
    auto sub = rig.notifications->observe(kOpenFavouritesSettings, [&] { ++opened; });
    rig.favourites->missing = {"gone"};
    rig.settings->favouriteApps.set({"gone"});  // configured, but nothing resolves
    rig.monitor->updateSelection(Row::recents, 1, true);
    ASSERT_EQ(rig.monitor->favouriteSnapshot().size(), 1u);
    const auto& placeholder = rig.monitor->favouriteSnapshot()[0];
    EXPECT_TRUE(placeholder.isPlaceholder);
    EXPECT_EQ(placeholder.title, "Add Favourites");
    EXPECT_EQ(placeholder.subtitle, "Open Settings");
    EXPECT_TRUE(rig.hud->shown.back().hasPlaceholder);

    rig.monitor->updateSelection(Row::favourites, 0, false);
    rig.monitor->commitDirectional();
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(rig.diagnostics->actionsTriggered.get(), 1);
}

TEST(WalkSelection, FavouritesDisabledShowsOnlyRecents) {
    EngineRig rig({{keys::favouritesEnabled, PrefValue(false)}});
    rig.monitor->updateSelection(Row::recents, 1, true);
    EXPECT_TRUE(rig.monitor->favouriteSnapshot().empty());
    EXPECT_EQ(rig.hud->shown.back().favouritesCount, 0);
}

TEST(WalkSelection, CommitAtIndexZeroActivatesTheCurrentEntry) {
    EngineRig rig;
    rig.monitor->updateSelection(Row::recents, 0, true);
    rig.monitor->commitDirectional();
    EXPECT_EQ(rig.windows->activations, std::vector<std::string>{"w0"});
    EXPECT_TRUE(rig.monitor->directionalSnapshot().empty());
    EXPECT_TRUE(rig.monitor->favouriteSnapshot().empty());
    EXPECT_FALSE(rig.hud->visible);
    EXPECT_FALSE(rig.monitor->escapeMonitorInstalled());
    EXPECT_EQ(rig.count(HapticPattern::levelChange), 1);
}

TEST(WalkSelection, NothingToShowMeansNoOverlayNoTickNoTarget) {
    EngineRig rig({{keys::favouritesEnabled, PrefValue(false)}});
    rig.windows->names_.clear();
    rig.monitor->updateSelection(Row::recents, 1, true);
    EXPECT_TRUE(rig.hud->shown.empty());
    EXPECT_TRUE(rig.haptic->played.empty());
    rig.monitor->commitDirectional();
    ASSERT_EQ(rig.trace->commits.size(), 1u);
    EXPECT_EQ(rig.trace->commits[0].second, -1);
    EXPECT_EQ(rig.diagnostics->actionsTriggered.get(), 0);
    EXPECT_EQ(rig.hud->hides, 1);
}

TEST(WalkSelection, HapticsOffSilencesEverythingElseUnchanged) {
    EngineRig rig({{keys::hapticFeedback, PrefValue(false)}});
    rig.monitor->updateSelection(Row::recents, 1, true);
    rig.monitor->updateSelection(Row::recents, 2, false);
    rig.monitor->commitDirectional();
    rig.monitor->cancelHaptic(true);
    rig.queue->drain();
    EXPECT_TRUE(rig.haptic->played.empty());
    EXPECT_EQ(rig.windows->activations, std::vector<std::string>{"w2"});
}

TEST(WalkSelection, OverlayOffStillWalksWithoutEscapeMonitor) {
    EngineRig rig({{keys::showHUD, PrefValue(false)}});
    rig.monitor->updateSelection(Row::recents, 2, true);
    EXPECT_TRUE(rig.hud->shown.empty());
    EXPECT_FALSE(rig.monitor->escapeMonitorInstalled());
    EXPECT_EQ(rig.count(HapticPattern::alignment), 1);
    rig.monitor->commitDirectional();
    EXPECT_EQ(rig.windows->activations, std::vector<std::string>{"w2"});
}

TEST(WalkSelection, CancelThrowsTheWalkAway) {
    EngineRig rig;
    rig.monitor->updateSelection(Row::recents, 2, true);
    rig.monitor->cancelDirectional();
    EXPECT_TRUE(rig.monitor->directionalSnapshot().empty());
    EXPECT_FALSE(rig.hud->visible);
    EXPECT_FALSE(rig.monitor->escapeMonitorInstalled());
    EXPECT_TRUE(rig.windows->activations.empty());
    EXPECT_EQ(rig.count(HapticPattern::levelChange), 0);
}

}  // namespace
}  // namespace trellick::test
