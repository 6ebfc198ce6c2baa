// The touch-thread half of the directional walk: engage, reveal, the index, the rows, cancel.

#include <gtest/gtest.h>

#include "EngineRig.h"

namespace trellick::test {
namespace {

using Row = SwitcherRow;
using Commits = std::vector<std::pair<Row, int>>;

// Step 0.08 pad widths, no acceleration: the numbers of the worked examples.
EngineRig::Prefs plain(EngineRig::Prefs more = {}) {
    more.emplace_back(keys::sensitivity, PrefValue(2.0 / 3.0));
    more.emplace_back(keys::acceleration, PrefValue(0.0));
    return more;
}

// Fingers down at x = 0.3 (0.7 with dir -1) at t0, a slow slide of 0.06 that engages, then
// a rest until the picker opens. Returns the time of the reveal frame.
double reveal(EngineRig& rig, double t0 = 0, float dir = 1) {
    float x0 = 0.5f - 0.2f * dir, x1 = x0 + 0.06f * dir;
    auto opened = rig.trace->selects.size();
    rig.activate(t0, x0, 0.5f);
    double t = rig.slide(t0 + 0.05, x0, x1, 0.5f);
    for (int i = 0; i < 30 && rig.trace->selects.size() == opened; ++i) rig.three(t += 0.01, x1, 0.5f);
    EXPECT_GT(rig.trace->selects.size(), opened) << "the picker never opened";
    return t;
}

TEST(DirectionalWalk, RevealStepsAndPinsAtTheStartInBothDirections) {
    for (bool invert : {false, true}) {
        SCOPED_TRACE(invert ? "inverted" : "plain");
        EngineRig rig(plain({{keys::invertDirection, PrefValue(invert)}}));
        float d = invert ? -1.0f : 1.0f, x = 0.5f - 0.14f * d;  // where the reveal leaves the fingers
        double t = reveal(rig, 0, d);
        ASSERT_EQ(rig.trace->selects.size(), 1u);  // the walk at 0.11: index 1
        EXPECT_EQ(rig.trace->selects[0].row, Row::recents);
        EXPECT_EQ(rig.trace->selects[0].index, 1);
        EXPECT_TRUE(rig.trace->selects[0].beginning);
        EXPECT_TRUE(rig.monitor->scrollSuppressor().wantEnabled());
        t = rig.slide(t, x, x + 0.06f * d, 0.5f);  // 0.17: index 2
        EXPECT_EQ(rig.trace->selects.back().index, 2);
        EXPECT_FALSE(rig.trace->selects.back().beginning);
        t = rig.slide(t, x + 0.06f * d, x - 0.185f * d, 0.5f);  // back past the start, to -0.075
        EXPECT_EQ(rig.trace->selects.back().index, 0);
        // Travel past the start was not stored: 0.09 forward is enough to reach index 1 again.
        rig.lift(rig.slide(t, x - 0.185f * d, x - 0.095f * d, 0.5f) + 0.01);
        EXPECT_EQ(rig.trace->selects.back().index, 1);
        EXPECT_EQ(rig.trace->commits, (Commits{{Row::recents, 1}}));
        EXPECT_EQ(rig.windows->activations, std::vector<std::string>{"w1"});
        EXPECT_EQ(rig.count(HapticPattern::levelChange), 1);
        EXPECT_TRUE(rig.monitor->directionalSnapshot().empty() && rig.monitor->favouriteSnapshot().empty());
        EXPECT_FALSE(rig.hud->visible || rig.monitor->escapeMonitorInstalled());
        EXPECT_FALSE(rig.monitor->scrollSuppressor().wantEnabled());
    }
    EXPECT_EQ(MultitouchMonitor::steppedIndex(0.04f, 0.08f, 9).index, 1);  // halves round away from 0
}

TEST(DirectionalWalk, PushingPastTheLastEntryStaysThere) {
    // A short step (high sensitivity) is where a pin that forgot the dead zone would bounce.
    for (double sensitivity : {2.0 / 3.0, 1.0}) {
        SCOPED_TRACE(sensitivity);
        EngineRig rig({{keys::sensitivity, PrefValue(sensitivity)}, {keys::acceleration, PrefValue(0.0)}});
        double t = rig.slide(reveal(rig), 0.36f, 0.6f, 0.5f);
        ASSERT_EQ(rig.trace->selects.back().index, 4);
        // Pushing on past the end, then resting, never leaves the last entry.
        std::size_t selects = rig.trace->selects.size();
        t = rig.slide(t, 0.6f, 0.9f, 0.5f);
        for (int i = 0; i < 5; ++i) rig.three(t += 0.01, 0.9f, 0.5f);
        EXPECT_EQ(rig.trace->selects.size(), selects);
        // One step back leaves the last entry.
        float step = static_cast<float>((1 - sensitivity) * 0.12 + 0.04);
        rig.slide(t, 0.9f, 0.9f - step, 0.5f, step / 8);
        EXPECT_EQ(rig.trace->selects.back().index, 3);
    }
}

TEST(DirectionalWalk, BeforeThePickerOpensALiftSwitchesQuicklyOrAFarPullCancels) {
    enum { flick, pulled, disabled };
    for (int c : {flick, pulled, disabled}) {
        SCOPED_TRACE(c);
        EngineRig rig({{keys::enabled, PrefValue(c != disabled)}});  // switched off, the walk does nothing
        rig.activate(0.0, 0.3f, 0.8f);
        rig.three(0.06, 0.34f, 0.8f);
        rig.three(0.07, 0.38f, 0.8f);  // engages here, moving at 4 widths/s
        for (int i = 1; c == pulled && i <= 5; ++i) rig.three(0.07 + 0.008 * i, 0.38f, 0.8f - 0.07f * float(i));
        rig.lift(0.12);  // within the reveal delay
        EXPECT_TRUE(rig.trace->selects.empty());
        EXPECT_EQ(rig.windows->previousCalls, c == flick ? 1 : 0);
        EXPECT_EQ(rig.diagnostics->actionsTriggered.get(), c == flick ? 1 : 0);
        EXPECT_EQ(rig.trace->cancels, c == pulled ? 1 : 0);
        EXPECT_EQ(rig.count(HapticPattern::levelChange), c == disabled ? 0 : 1);  // the switch, or the cancel's tick
    }
}

TEST(DirectionalWalk, FlickingDelaysTheRevealButNotBeyondTheHardCap) {
    // A steady 1 width/s slide; returns how long after engaging the picker opened.
    auto revealAfter = [](double flickVelocity) {
        EngineRig rig({{keys::flickVelocity, PrefValue(flickVelocity)}});
        rig.activate(0.0, 0.2f, 0.5f);
        double t = 0.05, engagedAt = -1;
        for (float x = 0.2f; t < 0.8 && rig.trace->selects.empty();) {
            rig.three(t += 0.01, x += 0.01f, 0.5f);
            if (engagedAt < 0 && rig.monitor->scrollSuppressor().wantEnabled()) engagedAt = t;
        }
        EXPECT_TRUE(engagedAt >= 0 && !rig.trace->selects.empty());
        return t - engagedAt;
    };
    double capped = revealAfter(0.5);  // the slide counts as flicking throughout
    EXPECT_GE(capped, 0.5 - 1e-6);
    EXPECT_LT(capped, 0.52);
    EXPECT_NEAR(revealAfter(6.0), 0.1, 0.011);  // never flicking: just the reveal delay
}

TEST(DirectionalWalk, UpwardMovementReachesTheFavouritesRowUnlessDisabled) {
    EngineRig rig(plain({{keys::favouriteApps, PrefValue(PrefArray{PrefValue("f1"), PrefValue("f2")})}}));
    double t = reveal(rig);
    for (float dy = 0.01f; dy <= 0.1401f; dy += 0.01f) rig.three(t += 0.01, 0.36f, 0.5f + dy);
    EXPECT_EQ(rig.trace->selects.back().row, Row::favourites);
    EXPECT_EQ(rig.trace->selects.back().index, 0);
    t = rig.slide(t, 0.36f, 0.46f, 0.64f);  // the row walks in steps of 0.09
    EXPECT_EQ(rig.trace->selects.back().index, 1);
    // Dropping back below 0.06 returns to the recents row where the walk now is.
    for (float y = 0.63f; y >= 0.54f; y -= 0.01f) rig.three(t += 0.01, 0.46f, y);
    EXPECT_EQ(rig.trace->selects.back().row, Row::recents);
    EXPECT_EQ(rig.trace->selects.back().index, 2);  // 0.11 + 0.10 travel = 0.21: 0.18 / 0.08

    EngineRig off(plain({{keys::favouritesEnabled, PrefValue(false)}}));
    t = reveal(off);
    for (float dy = 0.01f; dy <= 0.3f; dy += 0.01f) off.three(t += 0.01, 0.36f, 0.5f + dy);
    for (auto& s : off.trace->selects) EXPECT_EQ(s.row, Row::recents);
}

TEST(DirectionalWalk, PullingDownArmsTheCancelWithDetentsUntilBelowTheDisarmLevel) {
    // Cancel distance 0.5: threshold 0.3 beyond a dead band of 0.1; the centroid at 0.5 - i/100.
    EngineRig rig(plain({{keys::cancelDistance, PrefValue(0.5)}}));
    auto pull = [&](double t, int from, int to) {
        for (int i = from, d = from < to ? 1 : -1; i != to + d; i += d) rig.three(t += 0.03, 0.36f, 0.5f - 0.01f * i);
        return t;
    };
    double t = reveal(rig);
    rig.haptic->played.clear();
    t = pull(t, 1, 45);
    EXPECT_EQ(rig.count(HapticPattern::alignment), 3);    // a quarter, a half, three quarters
    EXPECT_EQ(rig.count(HapticPattern::levelChange), 2);  // the double thud when it arms
    EXPECT_EQ(rig.hud->cancelProgress.back(), 1.0);
    // Progress is posted in steps of 1/40 and only when it changes.
    for (std::size_t i = 1; i < rig.hud->cancelProgress.size(); ++i) {
        EXPECT_NE(rig.hud->cancelProgress[i], rig.hud->cancelProgress[i - 1]);
        double q = rig.hud->cancelProgress[i] * 40;
        EXPECT_NEAR(q, std::round(q), 1e-4);
    }
    // Back up to progress 0.9: still armed, and the lift cancels without another haptic.
    rig.lift(pull(t, 44, 37) + 0.01);
    EXPECT_EQ(rig.trace->cancels, 1);
    EXPECT_TRUE(rig.trace->commits.empty());
    EXPECT_EQ(rig.count(HapticPattern::levelChange), 2);
    // Back up to progress 0.7 disarms: the lift commits.
    t = pull(reveal(rig, 10), 1, 45);
    rig.lift(pull(t, 44, 31) + 0.01);
    EXPECT_EQ(rig.trace->cancels, 1);
    EXPECT_EQ(rig.windows->activations.size(), 1u);
}

TEST(DirectionalWalk, FewerFingersAreNotMovementAndEscapeCancelsOnTheNextFrame) {
    EngineRig rig(plain());
    double t = reveal(rig);
    std::size_t selects = rig.trace->selects.size();
    // Down to two fingers: the centroid jumps 0.05 back and 0.14 down; then to one.
    rig.frame(t += 0.01, {{0.26f, 0.35f}, {0.36f, 0.37f}});
    rig.frame(t += 0.01, {{0.26f, 0.35f}, {0.36f, 0.37f}});
    rig.frame(t += 0.01, {{0.26f, 0.35f}});
    EXPECT_EQ(rig.trace->selects.size(), selects);
    EXPECT_EQ(rig.hud->cancelProgress.back(), 0.0);
    rig.keys->pressEscape();
    EXPECT_EQ(rig.trace->cancels, 0);
    rig.frame(t += 0.01, {{0.27f, 0.35f}});
    EXPECT_EQ(rig.trace->cancels, 1);
    EXPECT_TRUE(rig.monitor->directionalSnapshot().empty() && rig.monitor->favouriteSnapshot().empty());
    EXPECT_FALSE(rig.hud->visible || rig.monitor->escapeMonitorInstalled());
    rig.frame(t += 0.01, {{0.6f, 0.35f}});  // the gesture goes on, the walk does not
    EXPECT_EQ(rig.monitor->state(), GestureState::active);
    rig.lift(t + 0.01);
    EXPECT_EQ(rig.trace->cancels, 1);
    EXPECT_EQ(rig.trace->selects.size(), selects);
    EXPECT_EQ(rig.trace->commits.size() + rig.trace->previous + rig.haptic->played.size(), 1u);  // the first tick
    reveal(rig, 2.0);  // the next gesture starts clean
    EXPECT_FALSE(rig.monitor->sharedSnapshot().cancelRequested);
}

// Tuning values only a hand-edited file can hold: the walk still opens one step away, walks
// one way for a one-way slide, and a far pull fills the cancel indicator just when the lift
// then cancels.
struct Extreme {
    const char* key;
    double value;
    bool farPullCancels;
    friend void PrintTo(const Extreme& e, std::ostream* os) { *os << e.key << "=" << e.value; }
};
class ExtremeTuning : public ::testing::TestWithParam<Extreme> {};

TEST_P(ExtremeTuning, KeepsTheWalkOrderlyAndTheCancelConsistent) {
    auto [key, value, cancels] = GetParam();
    auto prefs = plain();
    prefs.emplace_back(key, PrefValue(value));  // the later value wins
    EngineRig rig(prefs);
    double t = reveal(rig);
    for (int i = 0; i < 3; ++i) rig.three(t += 0.01, 0.36f, 0.5f);  // resting walks nowhere
    const auto& selects = rig.trace->selects;
    EXPECT_TRUE(selects.size() == 1 && selects[0].index == 1);
    t = rig.slide(t, 0.36f, 0.7f, 0.5f);
    for (std::size_t i = 1; i < selects.size(); ++i) EXPECT_GE(selects[i].index, selects[i - 1].index);
    for (int i = 1; i <= 50; ++i) rig.three(t += 0.01, 0.7f, 0.5f - 0.01f * static_cast<float>(i));
    for (double p : rig.hud->cancelProgress) EXPECT_TRUE(p >= 0 && p <= 1) << p;
    EXPECT_EQ(rig.hud->cancelProgress.back(), cancels ? 1.0 : 0.0);
    rig.lift(t + 0.01);
    EXPECT_EQ(rig.trace->cancels, cancels ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    HandEdited, ExtremeTuning,
    ::testing::Values(Extreme{keys::sensitivity, 1.3333333333333333, true}, Extreme{keys::sensitivity, 1e300, true},
                      Extreme{keys::sensitivity, -1e300, true}, Extreme{keys::acceleration, 1e39, true},
                      Extreme{keys::acceleration, -1e39, true}, Extreme{keys::cancelDistance, -0.50000000001, true},
                      Extreme{keys::cancelDistance, 1e300, false}, Extreme{keys::flickVelocity, 1e300, true},
                      Extreme{keys::flickRevealDelay, -1e300, true}));

}  // namespace
}  // namespace trellick::test
