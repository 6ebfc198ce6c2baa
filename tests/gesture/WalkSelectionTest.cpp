// The main-thread side: the walk's frozen rows, cursors, overlay and commit; haptics; scrolling.

#include <gtest/gtest.h>

#include <sstream>

#include "EngineRig.h"

namespace trellick::test {
namespace {

using Row = SwitcherRow;
const std::pair<std::string, PrefValue> twoFavourites{keys::favouriteApps,
                                                      PrefValue(PrefArray{PrefValue("f1"), PrefValue("f2")})};
const EngineRig::Prefs gone{{keys::favouriteApps, PrefValue(PrefArray{PrefValue("gone")})}};

// What the touch thread posts, one second apart: "b1" (the walk begins at recents index 1),
// "r3" or "f0" (recents index 3, favourites index 0), "c" (commit), "x" (cancel); "+" is an
// entry arriving in the recency list, and a favourite named "gone" never resolves. Each case:
// the selections as the trace sees them, the selection ticks, the overlay at the end
// (recents+favourites shown @ the selection, "-" when hidden) and what was activated.
TEST(Selection, FollowsTheFrozenRows) {
    struct Script {
        const char* name;
        EngineRig::Prefs prefs;
        const char *calls, *walk;
        int ticks;
        const char *overlay, *activated;
    };
    for (const auto& s :
         {Script{"TheFirstUpdateShowsTheFrozenRowsAndTicks", {}, "b1", "r1", 1, "5+1@r1", ""},
          Script{"AnIndexPastTheEndSelectsTheLastEntry", {}, "b1 r9", "r1 r4", 2, "5+1@r4", ""},
          Script{"ANegativeIndexSelectsTheFirstEntry", {}, "b1 r-3", "r1 r0", 2, "5+1@r0", ""},
          Script{"ASelectionHeldAtTheEndDoesNotTick", {}, "b4 r9", "r4 r4", 1, "5+1@r4", ""},
          Script{"AChangeOfRowTicksAtTheSameIndex", {}, "b0 f0", "r0 f0", 2, "5+1@f0", ""},
          Script{"EntriesArrivingDuringTheWalkAreNotPartOfIt", {}, "b1 + r5", "r1 r4", 2, "5+1@r4", ""},
          Script{"TheFavouritesRowIsLimitedToItsEntries", {twoFavourites}, "b1 f7", "r1 f1", 2, "5+2@f1", ""},
          Script{"ACommitActivatesTheSelectedEntry", {}, "b1 r3 c", "r1 r3", 2, "-", "w3"},
          Script{"ACommitAtIndexZeroActivatesTheCurrentEntry", {}, "b1 r0 c", "r1 r0", 2, "-", "w0"},
          Script{"ACommitInTheFavouritesRowActivatesTheFavourite", {twoFavourites}, "b1 f1 c", "r1 f1", 2, "-", "f2"},
          Script{"AnUnresolvedFavouriteLeavesThePlaceholder", gone, "b1 f0 c", "r1 f0", 2, "-", "settings"},
          Script{
              "WithFavouritesOffOnlyRecentsAreShown", {{keys::favouritesEnabled, false}}, "b1", "r1", 1, "5+0@r1", ""},
          Script{"WithTheOverlayOffTheWalkIsOnlyFelt", {{keys::showHUD, false}}, "b1 r2 c", "r1 r2", 2, "-", "w2"},
          Script{"WithHapticsOffTheWalkIsOnlySeen", {{keys::hapticFeedback, false}}, "b1 r2", "r1 r2", 0, "5+1@r2", ""},
          Script{"AnUpdateAfterACommitShowsNothing", {}, "b1 c r2", "r1", 1, "-", "w1"},
          Script{"AnUpdateAfterACancelShowsNothing", {}, "b1 x r2", "r1", 1, "-", ""}}) {
        SCOPED_TRACE(::testing::Message() << s.name << ": " << s.calls);
        EngineRig rig(s.prefs);
        rig.favourites->missing = {"gone"};
        std::string activated;
        rig.openFavouritesSettings = [&] { activated += "settings"; };
        std::istringstream calls(s.calls);
        for (std::string c; calls >> c;) {
            rig.time->set(rig.time->now() + 1);
            int index = c.size() > 1 ? std::stoi(c.substr(1)) : 0;
            if (c[0] == 'b' || c[0] == 'r' || c[0] == 'f')
                rig.select(c[0] == 'f' ? Row::favourites : Row::recents, index, c[0] == 'b');
            if (c == "c") rig.lift(DirectionalWalk::Lift::commit);
            if (c == "x") rig.lift(DirectionalWalk::Lift::cancel);
            if (c == "+") rig.windows->titles.push_back("late");
        }
        for (const auto& a : rig.windows->activations) activated += a;
        for (const auto& a : rig.favourites->activations) activated += a;
        std::string overlay = "-";
        if (rig.hud->visible) {
            auto& last = rig.hud->shown.back();
            bool recents = last.focus == Row::recents;
            overlay = std::to_string(last.recentsCount) + "+" + std::to_string(last.favouritesCount) + "@" +
                      (recents ? "r" : "f") + std::to_string(recents ? last.recentsSelected : last.favSelected);
        }
        EXPECT_EQ(rig.walk(), s.walk);
        EXPECT_EQ(rig.selectionTicks(), s.ticks);
        EXPECT_EQ(overlay, s.overlay);
        EXPECT_EQ(activated, s.activated);
    }
}

TEST(WalkSelection, AnEmptyWalkShowsFeelsAndSwitchesToNothing) {
    EngineRig rig({{keys::favouritesEnabled, PrefValue(false)}});
    rig.windows->titles.clear();
    rig.select(Row::recents, 1, true);
    rig.lift(DirectionalWalk::Lift::commit);
    EXPECT_TRUE(rig.hud->shown.empty() && rig.haptic->played.empty());
    EXPECT_EQ(rig.trace->ends, "commit r-1");
    EXPECT_EQ(rig.diagnostics->actionsTriggered.get(), 0);
}

TEST(WalkSelection, TheEscapeMonitorIsThereFromTheFirstUpdateWhileTheOverlayShows) {
    for (bool overlay : {true, false}) {
        EngineRig rig({{keys::showHUD, PrefValue(overlay)}});
        rig.select(Row::recents, 1, true);
        EXPECT_EQ(rig.keys->handlers.size(), overlay ? 1u : 0u);
    }
}

TEST(WalkSelection, EntriesThatArriveBeforeTheWalkBeginsCanBeReached) {
    EngineRig rig;
    rig.activate(0.0, 0.3f, 0.5f);
    rig.windows->titles.insert(rig.windows->titles.end(), {"w5", "w6"});
    float x = 0.36f, y = 0.5f;
    rig.move(rig.reveal(0.1), x, y, 0.54f, 0);
    EXPECT_EQ(rig.lastIndex(), 6);
}

TEST(Haptics, SelectionTicksPlayAtMostOnceIn25msAndNotRightAfterASwitch) {
    for (auto [gap, ticks] : {std::pair{0.01, 0}, std::pair{0.03, 2}}) {
        EngineRig rig;
        rig.monitor->switchToPrevious();
        rig.time->set(rig.time->now() + gap);
        rig.select(Row::recents, 1, true);
        rig.time->set(rig.time->now() + gap);
        rig.select(Row::recents, 2, false);
        EXPECT_EQ(rig.selectionTicks(), ticks) << gap;
    }
}

TEST(Haptics, ArmingACancelThudsTwiceUnlessHapticsGoOffBetween) {
    for (bool off : {false, true}) {
        EngineRig rig;
        rig.armCancel();
        rig.time->runReady();
        if (off) rig.settings->hapticFeedback.set(false);
        rig.time->drain();
        EXPECT_EQ(rig.switchTicks(), off ? 1 : 2);
    }
}

struct ScrollRig {
    std::shared_ptr<sim::VirtualTime> queue = std::make_shared<sim::VirtualTime>();
    std::shared_ptr<sim::SimulatedScrollBlocker> blocker = std::make_shared<sim::SimulatedScrollBlocker>();
    std::shared_ptr<ScrollSuppressor> suppressor = ScrollSuppressor::create(blocker, queue);
};

TEST(ScrollSuppressor, BeginAndEndTakeEffectOnTheMainThreadInCallOrderRetryingARefusal) {
    ScrollRig r;
    r.blocker->refuseCreate = true;
    r.suppressor->begin();
    r.queue->runReady();
    r.blocker->refuseCreate = false;
    r.suppressor->begin();
    r.suppressor->end();
    r.suppressor->begin();
    EXPECT_TRUE(r.blocker->enableHistory.empty());
    r.queue->runReady();
    EXPECT_EQ(r.blocker->createCalls, 2);
    EXPECT_EQ(r.blocker->enableHistory, (std::vector<bool>{false, true, false, true}));  // created idle
}

TEST(ScrollSuppressor, ALostGrabIsTakenBackOnlyWhileWanted) {
    ScrollRig r;
    for (bool wanted : {true, false}) {
        wanted ? r.suppressor->begin() : r.suppressor->end();
        r.queue->runReady();
        r.blocker->loseIt();
        EXPECT_EQ(r.blocker->enabled, wanted);
    }
}

TEST(ScrollSuppressor, WorkPostedForAGoneSuppressorDoesNothing) {
    ScrollRig r;
    r.suppressor->begin();
    r.suppressor.reset();
    r.queue->runReady();
    EXPECT_EQ(r.blocker->createCalls, 0);
}

}  // namespace
}  // namespace trellick::test
