// The touch-thread half of the directional walk: engage, reveal, the index, the rows, cancel.

#include <gtest/gtest.h>

#include "EngineRig.h"

namespace trellick::test {
namespace {

using Row = SwitcherRow;

// Step 0.08 pad widths, no acceleration: the numbers of the worked examples.
std::vector<std::pair<std::string, PrefValue>> plain(std::vector<std::pair<std::string, PrefValue>> more = {}) {
    more.emplace_back(keys::sensitivity, PrefValue(2.0 / 3.0));
    more.emplace_back(keys::acceleration, PrefValue(0.0));
    return more;
}

// Activates at x = 0.3, slides slowly to 0.36 (engages), then holds until the picker opens.
// Returns the time of the reveal frame.
double reveal(EngineRig& rig, float y = 0.5f) {
    rig.activate(0.0, 0.3f, y);
    double t = rig.slide(0.05, 0.3f, 0.36f, y);
    for (int i = 0; i < 30 && rig.trace->selects.empty(); ++i) rig.three(t += 0.01, 0.36f, y);
    EXPECT_FALSE(rig.trace->selects.empty()) << "the picker never opened";
    return t;
}

TEST(DirectionalWalk, RevealStartsOneStepAwayAndSlidingWalks) {
    EngineRig rig(plain());
    double t = reveal(rig);
    ASSERT_EQ(rig.trace->selects.size(), 1u);
    EXPECT_EQ(rig.trace->selects[0].row, Row::recents);
    EXPECT_EQ(rig.trace->selects[0].index, 1);
    EXPECT_TRUE(rig.trace->selects[0].beginning);
    EXPECT_TRUE(rig.monitor->scrollSuppressor().wantEnabled());

    t = rig.slide(t, 0.36f, 0.42f, 0.5f);  // the walk goes from 0.11 to 0.17: index 2
    EXPECT_EQ(rig.trace->selects.back().index, 2);
    EXPECT_FALSE(rig.trace->selects.back().beginning);

    rig.lift(t + 0.01);
    ASSERT_EQ(rig.trace->commits.size(), 1u);
    EXPECT_EQ(rig.trace->commits[0], std::make_pair(Row::recents, 2));
    EXPECT_EQ(rig.windows->activations, std::vector<std::string>{"w2"});
    EXPECT_FALSE(rig.monitor->scrollSuppressor().wantEnabled());
}

TEST(DirectionalWalk, SlidingBackPastTheOriginPinsAtTheFirstEntry) {
    EngineRig rig(plain());
    double t = reveal(rig);
    t = rig.slide(t, 0.36f, 0.16f, 0.5f);  // far back past the start
    EXPECT_EQ(rig.trace->selects.back().index, 0);
    // Travel past the start was not stored: 0.09 forward is enough to reach index 1 again.
    t = rig.slide(t, 0.16f, 0.25f, 0.5f);
    EXPECT_EQ(rig.trace->selects.back().index, 1);
}

TEST(DirectionalWalk, PushingPastTheLastEntryStaysThere) {
    // A short step (high sensitivity) is where a pin that forgot the dead zone would bounce.
    for (double sensitivity : {2.0 / 3.0, 1.0}) {
        EngineRig rig({{keys::sensitivity, PrefValue(sensitivity)}, {keys::acceleration, PrefValue(0.0)}});
        double t = reveal(rig);
        t = rig.slide(t, 0.36f, 0.6f, 0.5f);
        ASSERT_EQ(rig.trace->selects.back().index, 4) << "sensitivity " << sensitivity;
        // Pushing on past the end, then resting, never leaves the last entry.
        std::size_t selects = rig.trace->selects.size();
        t = rig.slide(t, 0.6f, 0.9f, 0.5f);
        for (int i = 0; i < 5; ++i) rig.three(t += 0.01, 0.9f, 0.5f);
        EXPECT_EQ(rig.trace->selects.size(), selects) << "sensitivity " << sensitivity;
        // One step back leaves the last entry.
        float step = static_cast<float>((1 - sensitivity) * 0.12 + 0.04);
        t = rig.slide(t, 0.9f, 0.9f - step, 0.5f, step / 8);
        EXPECT_EQ(rig.trace->selects.back().index, 3) << "sensitivity " << sensitivity;
    }
}

TEST(DirectionalWalk, QuickFlickSwitchesWithoutOpeningThePicker) {
    EngineRig rig;
    rig.activate(0.0, 0.3f, 0.5f);
    rig.three(0.06, 0.34f, 0.5f);
    rig.three(0.07, 0.38f, 0.5f);  // engages here, moving at 4 widths/s
    rig.lift(0.12);                // within the reveal delay
    EXPECT_TRUE(rig.trace->selects.empty());
    EXPECT_EQ(rig.trace->previous, 1);
    EXPECT_EQ(rig.windows->previousCalls, 1);
    EXPECT_EQ(rig.diagnostics->actionsTriggered.get(), 1);
    EXPECT_EQ(rig.count(HapticPattern::levelChange), 1);
}

TEST(DirectionalWalk, FlickingDelaysTheRevealButNotBeyondTheHardCap) {
    // A flick velocity of 0.5 lets a steady 1 width/s slide count as flicking throughout.
    EngineRig rig({{keys::flickVelocity, PrefValue(0.5)}});
    rig.activate(0.0, 0.2f, 0.5f);
    double t = 0.05, engagedAt = -1;
    float x = 0.2f;
    while (t < 0.8 && rig.trace->selects.empty()) {
        rig.three(t += 0.01, x += 0.01f, 0.5f);
        if (engagedAt < 0 && rig.monitor->scrollSuppressor().wantEnabled()) engagedAt = t;
    }
    ASSERT_FALSE(rig.trace->selects.empty());
    ASSERT_GE(engagedAt, 0);
    EXPECT_GE(t - engagedAt, 0.5 - 1e-6);
    EXPECT_LT(t - engagedAt, 0.52);

    // Without flicking the picker opens after the reveal delay.
    EngineRig slow({{keys::flickVelocity, PrefValue(6.0)}});
    slow.activate(0.0, 0.2f, 0.5f);
    t = 0.05, engagedAt = -1, x = 0.2f;
    while (t < 0.8 && slow.trace->selects.empty()) {
        slow.three(t += 0.01, x += 0.01f, 0.5f);
        if (engagedAt < 0 && slow.monitor->scrollSuppressor().wantEnabled()) engagedAt = t;
    }
    EXPECT_NEAR(t - engagedAt, 0.1, 0.011);
}

TEST(DirectionalWalk, UpwardMovementReachesTheFavouritesRow) {
    EngineRig rig(plain({{keys::favouriteApps, PrefValue(PrefArray{PrefValue("f1"), PrefValue("f2")})}}));
    double t = reveal(rig);
    for (float dy = 0.01f; dy <= 0.1401f; dy += 0.01f) rig.three(t += 0.01, 0.36f, 0.5f + dy);
    EXPECT_EQ(rig.trace->selects.back().row, Row::favourites);
    EXPECT_EQ(rig.trace->selects.back().index, 0);
    // Sliding along the row walks it, in steps of 0.09.
    t = rig.slide(t, 0.36f, 0.46f, 0.64f);
    EXPECT_EQ(rig.trace->selects.back().index, 1);
    // Dropping back below 0.06 returns to the recents row where the walk now is.
    for (float y = 0.63f; y >= 0.54f; y -= 0.01f) rig.three(t += 0.01, 0.46f, y);
    EXPECT_EQ(rig.trace->selects.back().row, Row::recents);
    EXPECT_EQ(rig.trace->selects.back().index, 2);  // 0.11 + 0.10 travel = 0.21: 0.18 / 0.08
}

TEST(DirectionalWalk, FavouritesDisabledKeepsTheRecentsRow) {
    EngineRig rig(plain({{keys::favouritesEnabled, PrefValue(false)}}));
    double t = reveal(rig);
    for (float dy = 0.01f; dy <= 0.3f; dy += 0.01f) rig.three(t += 0.01, 0.36f, 0.5f + dy);
    for (auto& s : rig.trace->selects) EXPECT_EQ(s.row, Row::recents);
}

TEST(DirectionalWalk, PullingDownArmsTheCancelWithDetents) {
    // Cancel distance 0.5: threshold 0.3 beyond a dead band of 0.1.
    EngineRig rig(plain({{keys::cancelDistance, PrefValue(0.5)}}));
    double t = reveal(rig);
    rig.haptic->played.clear();
    std::vector<double> armedAt;
    for (int i = 1; i <= 45; ++i) {
        rig.three(t += 0.03, 0.36f, 0.5f - 0.01f * static_cast<float>(i));
    }
    int light = rig.count(HapticPattern::alignment);
    int firm = rig.count(HapticPattern::levelChange);
    EXPECT_EQ(light, 3);  // a quarter, a half, three quarters
    EXPECT_EQ(firm, 2);   // the double thud when it arms
    EXPECT_EQ(rig.hud->cancelProgress.back(), 1.0);
    // Progress is posted in steps of 1/40 and only when it changes.
    for (std::size_t i = 1; i < rig.hud->cancelProgress.size(); ++i) {
        EXPECT_NE(rig.hud->cancelProgress[i], rig.hud->cancelProgress[i - 1]);
        double q = rig.hud->cancelProgress[i] * 40;
        EXPECT_NEAR(q, std::round(q), 1e-4);
    }
    rig.lift(t + 0.01);
    EXPECT_EQ(rig.trace->cancels, 1);
    EXPECT_TRUE(rig.trace->commits.empty());
    EXPECT_EQ(rig.count(HapticPattern::levelChange), 2);  // an armed cancel plays nothing more
    EXPECT_TRUE(rig.windows->activations.empty());
}

TEST(DirectionalWalk, ComingBackUpDisarms) {
    EngineRig rig(plain({{keys::cancelDistance, PrefValue(0.5)}}));
    double t = reveal(rig);
    for (int i = 1; i <= 40; ++i) rig.three(t += 0.02, 0.36f, 0.5f - 0.01f * static_cast<float>(i));
    for (int i = 39; i >= 0; --i) rig.three(t += 0.02, 0.36f, 0.5f - 0.01f * static_cast<float>(i));
    rig.lift(t + 0.01);
    EXPECT_EQ(rig.trace->cancels, 0);
    ASSERT_EQ(rig.trace->commits.size(), 1u);
}

TEST(DirectionalWalk, FarPullBeforeThePickerOpensCancelsWithATick) {
    EngineRig rig;
    rig.activate(0.0, 0.3f, 0.8f);
    rig.three(0.06, 0.36f, 0.8f);  // engages
    for (int i = 1; i <= 5; ++i) rig.three(0.06 + 0.01 * i, 0.36f, 0.8f - 0.07f * static_cast<float>(i));
    rig.lift(0.12);
    EXPECT_TRUE(rig.trace->selects.empty());
    EXPECT_EQ(rig.trace->cancels, 1);
    EXPECT_EQ(rig.trace->previous, 0);
    EXPECT_EQ(rig.count(HapticPattern::levelChange), 1);
}

TEST(DirectionalWalk, EscapeCancelsOnTheNextFrameAndTheLiftDoesNothing) {
    EngineRig rig(plain());
    double t = reveal(rig);
    EXPECT_TRUE(rig.monitor->escapeMonitorInstalled());
    rig.keys->pressEscape();
    EXPECT_EQ(rig.trace->cancels, 0);
    rig.three(t += 0.01, 0.37f, 0.5f);
    EXPECT_EQ(rig.trace->cancels, 1);
    EXPECT_FALSE(rig.monitor->escapeMonitorInstalled());
    t = rig.slide(t, 0.37f, 0.6f, 0.5f);
    rig.lift(t + 0.01);
    EXPECT_EQ(rig.trace->cancels, 1);
    EXPECT_TRUE(rig.trace->commits.empty());
    EXPECT_EQ(rig.trace->previous, 0);
    // The next gesture starts clean.
    EXPECT_FALSE(rig.monitor->sharedSnapshot().cancelRequested == true && rig.monitor->state() == GestureState::active);
    reveal(rig);
    EXPECT_FALSE(rig.monitor->sharedSnapshot().cancelRequested);
}

TEST(DirectionalWalk, InvertDirectionWalksTheOtherWay) {
    EngineRig rig(plain({{keys::invertDirection, PrefValue(true)}}));
    rig.activate(0.0, 0.7f, 0.5f);
    double t = rig.slide(0.05, 0.7f, 0.64f, 0.5f);
    for (int i = 0; i < 30 && rig.trace->selects.empty(); ++i) rig.three(t += 0.01, 0.64f, 0.5f);
    ASSERT_FALSE(rig.trace->selects.empty());
    EXPECT_EQ(rig.trace->selects.back().index, 1);
    t = rig.slide(t, 0.64f, 0.58f, 0.5f);
    EXPECT_EQ(rig.trace->selects.back().index, 2);
    t = rig.slide(t, 0.58f, 0.66f, 0.5f);  // back toward the start
    EXPECT_EQ(rig.trace->selects.back().index, 1);
}

TEST(DirectionalWalk, ContactCountChangeIsNotMovement) {
    EngineRig rig(plain());
    double t = reveal(rig);
    size_t selects = rig.trace->selects.size();
    // One finger lifts: the centroid jumps by 0.05 sideways and 0.01 vertically.
    rig.frame(t += 0.01, {{0.26f, 0.5f}, {0.36f, 0.52f}});
    rig.frame(t += 0.01, {{0.26f, 0.5f}, {0.36f, 0.52f}});
    EXPECT_EQ(rig.trace->selects.size(), selects);
    EXPECT_EQ(rig.hud->cancelProgress.back(), 0.0);
    EXPECT_EQ(rig.monitor->state(), GestureState::active);
}

TEST(DirectionalWalk, SteppedIndexRoundsHalvesAwayAndPins) {
    auto s = MultitouchMonitor::steppedIndex(0.14f, 0.08f, 10);
    EXPECT_EQ(s.index, 2);
    EXPECT_FALSE(s.pin);
    EXPECT_EQ(MultitouchMonitor::steppedIndex(0.04f, 0.08f, 10).index, 1);  // 0.5 rounds up
    s = MultitouchMonitor::steppedIndex(-0.2f, 0.08f, 10);
    EXPECT_EQ(s.index, 0);
    ASSERT_TRUE(s.pin);
    EXPECT_EQ(*s.pin, 0.0f);
    s = MultitouchMonitor::steppedIndex(1.0f, 0.09f, 2);
    EXPECT_EQ(s.index, 2);
    ASSERT_TRUE(s.pin);
    EXPECT_FLOAT_EQ(*s.pin, 0.18f);
}

}  // namespace
}  // namespace trellick::test
