// The touch-thread half of the directional walk: engage, reveal, the index, the rows, cancel.

#include <gtest/gtest.h>

#include "EngineRig.h"

namespace trellick::test {
namespace {

// Step 0.08 pad widths, no acceleration: the numbers of the worked examples.
EngineRig::Prefs plain(EngineRig::Prefs more = {}) {
    more.emplace_back(keys::sensitivity, PrefValue(2.0 / 3.0));
    more.emplace_back(keys::acceleration, PrefValue(0.0));
    return more;
}
const auto inverted = plain({{keys::invertDirection, PrefValue(true)}});
const EngineRig::Prefs shortStep{{keys::sensitivity, PrefValue(1.0)}, {keys::acceleration, PrefValue(0.0)}};  // 0.04
const auto noFavourites = plain({{keys::favouritesEnabled, PrefValue(false)}});
const auto favourites = plain({{keys::favouriteApps, PrefValue(PrefArray{PrefValue("f1"), PrefValue("f2")})}});
EngineRig::Prefs cancelDistance(double d) {
    return plain({{keys::cancelDistance, PrefValue(d)}});
}

// After the picker opens (one step away: "r1"), the fingers move by each (dx, dy) in turn,
// dx toward older entries (leftward when inverted), and lift; Escape is pressed where the
// path says so. Each case: the selections the walk makes, and how it ends.
struct Move {
    float dx = 0, dy = 0;
    bool escape = false;
};
const Move escape{0, 0, true};
TEST(Walks, GoWhereTheFingersLeadAndLeaveNothingBehind) {
    struct Walk {
        const char* name;
        EngineRig::Prefs prefs;
        std::vector<Move> path;
        const char* walk;
        const char* end;
    };
    for (const auto& w :
         {Walk{"OneStepPer0_08", plain(), {{0.06f}}, "r1 r2", "commit r2"},  // 0.17 - 0.03 = 0.14
          Walk{"BackPastTheStartIsNotStored", plain(), {{0.06f}, {-0.245f}, {0.09f}}, "r1 r2 r1 r0 r1", "commit r1"},
          Walk{"InvertedTheOtherWay", inverted, {{0.06f}, {-0.245f}, {0.09f}}, "r1 r2 r1 r0 r1", "commit r1"},
          Walk{"PastTheLastEntryHoldsUntilOneStepBack", plain(), {{0.54f}, {-0.08f}}, "r1 r2 r3 r4 r3", "commit r3"},
          // A short step is where a pin that forgot the dead zone would bounce off the end.
          Walk{"PastTheLastEntryWithAShortStep", shortStep, {{0.54f}, {-0.04f}}, "r1 r2 r3 r4 r3", "commit r3"},
          Walk{"UpIntoTheFavouritesRowAndAlongIt", favourites, {{0, 0.14f}, {0.1f}}, "r1 f0 f1", "commit f1"},
          Walk{"FavouritesHoldAboveTheRelease", favourites, {{0, 0.14f}, {0, -0.06f}, {0.1f}}, "r1 f0 f1", "commit f1"},
          // Back in recents where the walk now is: 0.11 + 0.10 = 0.21, 0.18 / 0.08.
          Walk{"DownOutOfTheFavouritesRow", favourites, {{0, 0.14f}, {0.1f}, {0, -0.1f}}, "r1 f0 f1 r2", "commit r2"},
          Walk{"NoFavouritesRowWhenSwitchedOff", noFavourites, {{0, 0.3f}, {0.1f}}, "r1 r2", "commit r2"},
          // A cancel distance of 0 arms at a pull of 0.25.
          Walk{"APullShortOfTheCancelCommits", cancelDistance(0), {{0, -0.24f}}, "r1", "commit r1"},
          Walk{"APullToTheCancelCancels", cancelDistance(0), {{0, -0.26f}}, "r1", "cancel"},
          Walk{"AnArmedCancelHoldsAboveTheDisarmLevel", cancelDistance(0.5), {{0, -0.45f}, {0, 0.08f}}, "r1", "cancel"},
          Walk{"BelowTheDisarmLevelTheLiftCommits", cancelDistance(0.5), {{0, -0.45f}, {0, 0.14f}}, "r1", "commit r1"},
          Walk{"EscapeStopsTheWalkAtTheNextFrame", plain(), {escape, {0.24f}}, "r1", "cancel"},
          Walk{"EscapeJustBeforeTheLiftCancels", plain(), {{0.06f}, escape}, "r1 r2", "cancel"}}) {
        SCOPED_TRACE(w.name);
        EngineRig rig(w.prefs);
        float d = rig.settings->invertDirection.get() ? -1.0f : 1.0f;
        float x = 0.5f - 0.14f * d, y = 0.5f;  // where the reveal leaves the fingers
        double t = rig.reveal(0, d);
        ASSERT_TRUE(rig.hud->visible && !rig.keys->handlers.empty() && rig.blocker->enabled);
        for (auto m : w.path) {
            if (m.escape) rig.keys->pressEscape();
            if (!m.escape) t = rig.move(t, x, y, m.dx * d, m.dy);
        }
        rig.lift(t + 0.01);
        EXPECT_EQ(rig.walk(), w.walk);
        EXPECT_EQ(rig.trace->ends, w.end);
        EXPECT_FALSE(rig.hud->visible);
        EXPECT_TRUE(rig.keys->handlers.empty());
        EXPECT_FALSE(rig.blocker->enabled);
    }
}

TEST(DirectionalWalk, ALiftBeforeThePickerOpensSwitchesAtOnceOrCancels) {
    // A flick lifted within the reveal delay, pulled down far or not, with the engine on or off.
    for (auto [enabled, pull, end, ticks] : {std::tuple{true, false, "previous", 1},
                                             std::tuple{true, true, "cancel", 1}, std::tuple{false, false, "", 0}}) {
        EngineRig rig({{keys::enabled, PrefValue(enabled)}});
        rig.activate(0.0, 0.3f, 0.8f);
        rig.three(0.06, 0.34f, 0.8f);
        rig.three(0.07, 0.38f, 0.8f);  // engages here, moving at 4 widths/s
        for (int i = 1; pull && i <= 5; ++i) rig.three(0.07 + 0.008 * i, 0.38f, 0.8f - 0.07f * float(i));
        rig.lift(0.12);
        EXPECT_TRUE(rig.trace->selects.empty());
        EXPECT_EQ(rig.trace->ends, end);
        EXPECT_EQ(rig.switchTicks(), ticks) << end;
    }
}

TEST(DirectionalWalk, FlickingDelaysThePickerButNotBeyondTheHardCap) {
    // A steady 1 width/s slide: the picker opens that long after engaging (the scroll grab).
    for (auto [velocity, earliest, latest] : {std::tuple{0.5, 0.5, 0.52}, std::tuple{6.0, 0.09, 0.111}}) {
        EngineRig rig({{keys::flickVelocity, PrefValue(velocity)}});
        rig.activate(0.0, 0.2f, 0.5f);
        double t = 0.05, engagedAt = -1;
        for (float x = 0.2f; t < 0.8 && rig.trace->selects.empty();) {
            rig.three(t += 0.01, x += 0.01f, 0.5f);
            if (engagedAt < 0 && rig.blocker->enabled) engagedAt = t;
        }
        EXPECT_TRUE(engagedAt >= 0 && t - engagedAt >= earliest - 1e-6 && t - engagedAt < latest) << velocity;
    }
}

TEST(DirectionalWalk, AChangeOfFingerCountIsNoMovement) {
    EngineRig rig(plain());
    double t = rig.reveal();
    // Down to two fingers: the centroid jumps 0.05 back and 0.14 down; then to one.
    rig.frame(t += 0.01, {{0.26f, 0.35f}, {0.36f, 0.37f}});
    rig.frame(t += 0.01, {{0.26f, 0.35f}, {0.36f, 0.37f}});
    rig.frame(t += 0.01, {{0.26f, 0.35f}});
    EXPECT_EQ(rig.walk(), "r1");
    EXPECT_EQ(rig.hud->cancelProgress.back(), 0.0);
}

TEST(DirectionalWalk, AfterAnEscapeTheNextGestureStartsClean) {
    EngineRig rig(plain());
    double t = rig.reveal();
    rig.keys->pressEscape();
    rig.lift(t + 0.01);
    rig.lift(rig.reveal(2.0) + 0.01);
    EXPECT_EQ(rig.trace->ends, "cancel commit r1");
}

// Tuning values only a hand-edited file can hold: the walk still opens one step away, walks
// one way for a one-way slide, and a far pull fills the cancel indicator just when the lift
// then cancels.
TEST(ExtremeTuning, KeepsTheWalkOrderlyAndTheCancelConsistent) {
    for (auto [key, value, cancels] :
         {std::tuple{keys::sensitivity, 1.3333333333333333, true}, std::tuple{keys::sensitivity, 1e300, true},
          std::tuple{keys::sensitivity, -1e300, true}, std::tuple{keys::acceleration, 1e39, true},
          std::tuple{keys::acceleration, -1e39, true}, std::tuple{keys::cancelDistance, -0.50000000001, true},
          std::tuple{keys::cancelDistance, 1e300, false}, std::tuple{keys::flickVelocity, 1e300, true},
          std::tuple{keys::flickRevealDelay, -1e300, true}}) {
        SCOPED_TRACE(::testing::Message() << key << " = " << value);
        auto prefs = plain();
        prefs.emplace_back(key, PrefValue(value));  // the later value wins
        EngineRig rig(prefs);
        double t = rig.reveal();
        for (int i = 0; i < 3; ++i) rig.three(t += 0.01, 0.36f, 0.5f);  // resting walks nowhere
        EXPECT_EQ(rig.walk(), "r1");
        float x = 0.36f, y = 0.5f;
        t = rig.move(t, x, y, 0.34f, 0);
        for (std::size_t i = 1; i < rig.trace->selects.size(); ++i)
            EXPECT_GE(rig.trace->selects[i].index, rig.trace->selects[i - 1].index);
        t = rig.move(t, x, y, 0, -0.5f, 0.01f);
        for (double p : rig.hud->cancelProgress) EXPECT_TRUE(p >= 0 && p <= 1) << p;
        EXPECT_EQ(rig.hud->cancelProgress.back(), cancels ? 1.0 : 0.0);
        rig.lift(t + 0.01);
        EXPECT_EQ(rig.trace->ends, cancels ? "cancel" : "commit r4");
    }
}

}  // namespace
}  // namespace trellick::test
