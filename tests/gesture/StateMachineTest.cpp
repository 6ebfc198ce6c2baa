// The per-frame state machine and the toggle-mode decision.

#include <gtest/gtest.h>

#include "EngineRig.h"

namespace trellick::test {
namespace {

using S = GestureState;

PrefValue toggleMode() { return PrefValue("toggleLastApp"); }

TEST(StateMachine, ShortTouchNeverBecomesAGesture) {
    EngineRig rig;
    rig.three(0.00, 0.5f, 0.5f);
    rig.three(0.03, 0.5f, 0.5f);  // still inside the settle time
    rig.lift(0.035);
    EXPECT_EQ(rig.trace->states, (std::vector<S>{S::watching, S::idle}));
    EXPECT_EQ(rig.windows->previousCalls, 0);
    EXPECT_TRUE(rig.trace->commits.empty());
}

TEST(StateMachine, SettleTimeMustBeExceeded) {
    EngineRig rig;
    rig.three(0.00, 0.5f, 0.5f);
    rig.three(0.04, 0.5f, 0.5f);
    EXPECT_EQ(rig.monitor->state(), S::watching);
    rig.three(0.0401, 0.5f, 0.5f);
    EXPECT_EQ(rig.monitor->state(), S::active);
}

TEST(StateMachine, InsaneFramesOnlyUpdateTheFingerCount) {
    EngineRig rig;
    std::vector<Pt> many(33, Pt{0.5f, 0.5f});
    rig.frame(0.0, many);
    EXPECT_EQ(rig.diagnostics->currentFingerCount.get(), 33);
    rig.frame(0.01, {{0.2f, 0.5f}, {0.3f, 0.5f}, {1.2f, 0.5f}});  // x = 1.2 is outside
    rig.frame(0.02, {{0.2f, 0.5f}, {0.3f, 0.5f}, {0.4f, std::nanf("")}});
    EXPECT_EQ(rig.monitor->state(), S::idle);
    EXPECT_TRUE(rig.trace->spreads.empty());
    EXPECT_EQ(rig.diagnostics->currentFingerCount.get(), 3);

    // The finger count is posted only when it changes.
    int changes = 0;
    auto sub = rig.diagnostics->currentFingerCount.subscribe([&](auto) { ++changes; });
    rig.frame(0.03, {{0.2f, 0.5f}, {0.3f, 0.5f}, {1.3f, 0.5f}});
    EXPECT_EQ(changes, 1);  // only the value delivered on subscribe
}

TEST(StateMachine, WideHandIsRejectedOncePerTouch) {
    EngineRig rig;
    std::vector<Pt> wide{{0.1f, 0.5f}, {0.4f, 0.5f}, {0.7f, 0.5f}};  // spread 0.6
    for (int i = 0; i < 10; ++i) rig.frame(0.01 * i, wide);
    EXPECT_EQ(rig.monitor->state(), S::idle);
    ASSERT_EQ(rig.trace->spreads.size(), 1u);
    EXPECT_NEAR(rig.trace->spreads[0].first, 0.6f, 1e-6);
    EXPECT_TRUE(rig.trace->spreads[0].second);
    EXPECT_EQ(rig.diagnostics->spreadRejects.get(), 1);
    EXPECT_NEAR(rig.diagnostics->lastFingerSpread.get(), 0.6, 1e-6);

    // Leaving three fingers clears the report; the next wide touch counts again.
    rig.frame(0.2, {{0.1f, 0.5f}, {0.4f, 0.5f}});
    rig.frame(0.3, wide);
    EXPECT_EQ(rig.diagnostics->spreadRejects.get(), 2);

    // An accepted touch only updates the last spread.
    rig.lift(0.4);
    rig.three(0.5, 0.5f, 0.5f);
    EXPECT_EQ(rig.diagnostics->spreadRejects.get(), 2);
    EXPECT_LT(rig.diagnostics->lastFingerSpread.get(), 0.55);
}

TEST(StateMachine, HandThatSpreadsWhileSettlingIsRejected) {
    EngineRig rig;
    rig.three(0.0, 0.5f, 0.5f);
    rig.frame(0.05, {{0.1f, 0.5f}, {0.4f, 0.5f}, {0.7f, 0.5f}});
    EXPECT_EQ(rig.monitor->state(), S::idle);
    EXPECT_EQ(rig.diagnostics->spreadRejects.get(), 1);
    EXPECT_EQ(rig.blocker->enableHistory, std::vector<bool>{});  // end() with nothing begun
    EXPECT_FALSE(rig.monitor->scrollSuppressor().wantEnabled());
}

struct ToggleCase {
    float dx, dy;
    double duration;
    bool fires;
};

class ToggleSwipe : public ::testing::TestWithParam<ToggleCase> {};

TEST_P(ToggleSwipe, FiresOnlyForQuickHorizontalSwipes) {
    auto p = GetParam();
    EngineRig rig({{keys::mode, toggleMode()}});
    rig.three(0.0, 0.4f, 0.5f);
    rig.three(0.05, 0.4f + p.dx / 2, 0.5f + p.dy / 2);
    rig.three(p.duration - 0.01, 0.4f + p.dx, 0.5f + p.dy);
    rig.lift(p.duration);
    EXPECT_EQ(rig.windows->previousCalls, p.fires ? 1 : 0);
    EXPECT_EQ(rig.diagnostics->actionsTriggered.get(), p.fires ? 1 : 0);
    // Every evaluated swipe is counted, fired or not.
    EXPECT_EQ(rig.diagnostics->swipeEventsSeen.get(), 1);
    EXPECT_NEAR(rig.diagnostics->lastDeltaX.get(), p.dx, 1e-5);
    ASSERT_TRUE(rig.diagnostics->lastEventAt.get().has_value());
    EXPECT_DOUBLE_EQ(*rig.diagnostics->lastEventAt.get(), p.duration);
    EXPECT_EQ(rig.count(HapticPattern::levelChange), p.fires ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, ToggleSwipe,
                         ::testing::Values(ToggleCase{0.12f, 0.05f, 0.5, true},    // the plain case
                                           ToggleCase{-0.12f, 0.05f, 0.5, true},   // either direction
                                           ToggleCase{0.12f, 0.11f, 0.5, false},   // 0.11 x 1.2 >= 0.12
                                           ToggleCase{0.12f, 0.05f, 0.8, false},   // too slow
                                           ToggleCase{0.095f, 0.0f, 0.5, false},   // not far enough
                                           ToggleCase{-0.3f, -0.2f, 0.79, true}));

TEST(StateMachine, ToggleEndsWhenAFourthFingerArrives) {
    EngineRig rig({{keys::mode, toggleMode()}});
    rig.activate(0.0, 0.3f, 0.5f);
    rig.three(0.2, 0.5f, 0.5f);
    auto four = EngineRig::three(0.5f, 0.5f);
    four.push_back({0.8f, 0.5f});
    rig.frame(0.25, four);
    EXPECT_EQ(rig.monitor->state(), S::idle);
    EXPECT_EQ(rig.windows->previousCalls, 1);
    // Toggle swipes never suppress scrolling.
    EXPECT_TRUE(rig.blocker->enableHistory.empty() || rig.blocker->enableHistory == std::vector<bool>{false});
}

TEST(StateMachine, DisabledStillCountsButNeverSwitches) {
    EngineRig rig({{keys::mode, toggleMode()}, {keys::enabled, PrefValue(false)}});
    rig.activate(0.0, 0.3f, 0.5f);
    rig.three(0.2, 0.6f, 0.5f);
    rig.lift(0.3);
    EXPECT_EQ(rig.windows->previousCalls, 0);
    EXPECT_EQ(rig.diagnostics->swipeEventsSeen.get(), 1);

    EngineRig directional({{keys::enabled, PrefValue(false)}});
    directional.activate(0.0, 0.3f, 0.5f);
    double t = directional.slide(0.05, 0.3f, 0.6f, 0.5f);
    directional.lift(t + 0.01);
    EXPECT_EQ(directional.windows->previousCalls, 0);
    EXPECT_TRUE(directional.trace->selects.empty());
    EXPECT_TRUE(directional.trace->commits.empty());
}

TEST(StateMachine, ModeChangeAppliesOnTheNextFrame) {
    EngineRig rig;
    rig.activate(0.0, 0.3f, 0.5f);
    rig.settings->mode.set(SwitchMode::toggleLastApp);
    rig.three(0.1, 0.45f, 0.5f);
    rig.lift(0.2);  // evaluated as a toggle swipe
    EXPECT_EQ(rig.windows->previousCalls, 1);
}

TEST(StateMachine, DirectionalGestureSurvivesFingersLiftingOneByOne) {
    EngineRig rig;
    rig.activate(0.0, 0.5f, 0.5f);
    rig.frame(0.10, {{0.4f, 0.5f}, {0.5f, 0.5f}});
    rig.frame(0.15, {{0.4f, 0.5f}});
    EXPECT_EQ(rig.monitor->state(), S::active);
    rig.lift(0.2);
    EXPECT_EQ(rig.monitor->state(), S::idle);
}

TEST(StateMachine, GranularityChoosesTheSwitcher) {
    EngineRig rig({{keys::mode, toggleMode()}, {keys::granularity, PrefValue("app")}});
    rig.activate(0.0, 0.3f, 0.5f);
    rig.three(0.2, 0.5f, 0.5f);
    rig.lift(0.3);
    EXPECT_EQ(rig.apps->previousCalls, 1);
    EXPECT_EQ(rig.windows->previousCalls, 0);
    rig.settings->granularity.set(Granularity::window);
    rig.activate(1.0, 0.3f, 0.5f);
    rig.three(1.2, 0.5f, 0.5f);
    rig.lift(1.3);
    EXPECT_EQ(rig.windows->previousCalls, 1);
}

TEST(StateMachine, SettingsAreMirroredIntoTheSnapshot) {
    EngineRig rig;
    rig.settings->sensitivity.set(0.5);
    rig.settings->acceleration.set(1.0);
    rig.settings->cancelDistance.set(1.0);
    rig.settings->favouriteApps.set({"a", "b"});
    auto sh = rig.monitor->sharedSnapshot();
    EXPECT_FLOAT_EQ(sh.stepDistance, 0.1f);
    EXPECT_FLOAT_EQ(sh.accelGain, 0.7f);
    EXPECT_FLOAT_EQ(sh.cancelDownThreshold, 0.45f);
    EXPECT_EQ(sh.favouritesCount, 2);
    rig.settings->sensitivity.set(0.0);
    EXPECT_FLOAT_EQ(rig.monitor->sharedSnapshot().stepDistance, 0.16f);
}

TEST(StateMachine, GestureStartPublishesTheListLength) {
    EngineRig rig;
    rig.three(0.0, 0.5f, 0.5f);
    rig.monitor->handleFrame(nullptr, 0, 0.01);  // just to show a null frame of 0 is fine
    rig.activate(1.0, 0.5f, 0.5f);
    EXPECT_EQ(rig.monitor->sharedSnapshot().recentsCount, 5);
}

}  // namespace
}  // namespace trellick::test
