// The frame handler: when a touch becomes a gesture, the toggle decision, settings, devices.

#include <gtest/gtest.h>

#include "EngineRig.h"

namespace trellick::test {
namespace {

using S = GestureState;
const std::vector<Pt> wide{{0.1f, 0.5f}, {0.4f, 0.5f}, {0.7f, 0.5f}};  // spread 0.6
const std::vector<Pt> two{{0.1f, 0.5f}, {0.4f, 0.5f}};

TEST(StateMachine, ATouchBecomesAGestureOnlyAfterTheSettleTime) {
    EngineRig rig;
    rig.three(0.0, 0.5f, 0.5f);
    rig.three(0.04, 0.5f, 0.5f);  // exactly the settle time: still watching
    rig.lift(0.045);
    rig.three(2.0, 0.5f, 0.5f);
    rig.three(2.0401, 0.5f, 0.5f);
    EXPECT_EQ(rig.trace->states, (std::vector<S>{S::watching, S::idle, S::watching, S::active}));
}

TEST(StateMachine, AFrameThatIsNotSaneChangesNothingButTheFingerCount) {
    for (const auto& pts :
         {std::vector<Pt>(33, Pt{0.5f, 0.5f}), std::vector<Pt>{{0.2f, 0.5f}, {0.3f, 0.5f}, {1.2f, 0.5f}},
          std::vector<Pt>{{-0.2f, 0.5f}, {0.1f, 0.5f}, {0.2f, 0.5f}},
          std::vector<Pt>{{0.2f, 0.5f}, {0.3f, 0.5f}, {0.4f, std::nanf("")}}}) {
        EngineRig rig;
        rig.frame(0.0, pts);
        rig.frame(0.05, pts);
        EXPECT_TRUE(rig.trace->states.empty()) << pts.size() << " contacts, the last at " << pts.back().x;
        EXPECT_EQ(rig.diagnostics->currentFingerCount.get(), static_cast<std::int64_t>(pts.size()));
    }
}

TEST(StateMachine, ATooWideHandIsRejectedOncePerTouch) {
    // Frames 50 ms apart and the rejections they count: again only after the count left
    // three, once when the hand spreads while settling, none for a narrow touch.
    const auto narrow = EngineRig::three(0.5f, 0.5f);  // spread 0.201
    struct Case {
        std::vector<std::vector<Pt>> frames;
        int rejects;
        double lastSpread;
    };
    for (const auto& c : {Case{{wide, wide, wide}, 1, 0.6}, Case{{wide, two, wide}, 2, 0.6},
                          Case{{narrow, wide, wide, wide}, 1, 0.6}, Case{{narrow, narrow}, 0, 0.201}}) {
        EngineRig rig;
        double t = 0;
        for (const auto& f : c.frames) rig.frame(t += 0.05, f);
        EXPECT_EQ(rig.diagnostics->spreadRejects.get(), c.rejects) << c.frames.size() << " frames";
        EXPECT_NEAR(rig.diagnostics->lastFingerSpread.get(), c.lastSpread, 1e-3) << c.frames.size() << " frames";
    }
}

// Finger spacing is anatomy: where the frame says how big the pad is, the limit is 88 mm (0.55
// of a 160 mm pad) on every pad; elsewhere 0.55 of this pad's width.
TEST(StateMachine, TheSpreadLimitIsInMillimetresWhereThePadSizeIsKnown) {
    const std::vector<Pt> relaxed{{0.2f, 0.5f}, {0.49f, 0.52f}, {0.78f, 0.5f}};  // 0.58 of the width
    const std::vector<Pt> apart{{0.2f, 0.5f}, {0.37f, 0.5f}, {0.55f, 0.5f}};     // 0.35 of the width
    struct Case {
        const char* what;
        float widthMm, heightMm;
        const std::vector<Pt>& pts;
        bool rejected;
    };
    for (const auto& c : {Case{"a 95 mm pad, fingers 55 mm apart", 95, 55, relaxed, false},
                          Case{"the same pad with no known size", 0, 0, relaxed, true},
                          Case{"a 300 mm pad, fingers 105 mm apart", 300, 200, apart, true},
                          Case{"the same with no known size", 0, 0, apart, false}}) {
        EngineRig rig;
        auto fs = EngineRig::fingers(c.pts);
        for (auto& f : fs) f.padWidthMm = c.widthMm, f.padHeightMm = c.heightMm;
        rig.monitor->handleFrame(fs.data(), 3, 0.0);
        rig.time->runReady();
        EXPECT_EQ(rig.diagnostics->spreadRejects.get(), c.rejected ? 1 : 0) << c.what;
        EXPECT_EQ(rig.trace->states.empty(), c.rejected) << c.what;
    }
}

// With the main thread busy from the gesture start on, only the list length it stored then
// bounds the walk: pushed far past the last entry, one step back leaves it.
TEST(StateMachine, TheListLengthBoundsTheWalkFromTheGestureStart) {
    EngineRig rig({{keys::sensitivity, PrefValue(2.0 / 3.0)}, {keys::acceleration, PrefValue(0.0)}});
    float x = 0.3f, y = 0.5f;
    rig.activate(0.0, x, y);
    rig.mainBusy = true;
    rig.move(rig.move(0.05, x, y, 0.6f, 0), x, y, -0.08f, 0);  // 0.08: one step back
    rig.time->runReady();
    EXPECT_EQ(rig.lastIndex(), 3);
}

// Toggle mode: three fingers rest, move by (dx, dy), and end at `duration` by lifting or by a
// fourth finger arriving. Whether it switches or not, the swipe is reported to diagnostics and
// never swallows scrolling.
TEST(ToggleSwipe, SwitchesToThePreviousEntryOnlyWhenQuickFarAndLevelEnough) {
    struct Swipe {
        const char* name;
        float dx, dy;
        double duration;
        bool fires, fourthFinger = false, enabled = true;
    };
    for (const auto& s :
         {Swipe{"right", 0.12f, 0.05f, 0.5, true}, Swipe{"left", -0.12f, 0.05f, 0.5, true},
          Swipe{"tooSteep", 0.12f, 0.11f, 0.5, false},  // 0.11 x 1.2 >= 0.12
          Swipe{"tooSlow", 0.12f, 0.05f, 0.8, false}, Swipe{"tooShort", 0.095f, 0.0f, 0.5, false},
          Swipe{"farDiagonal", -0.3f, -0.2f, 0.79, true}, Swipe{"fourthFinger", 0.2f, 0.0f, 0.3, true, true},
          Swipe{"switchedOff", 0.2f, 0.0f, 0.3, false, false, false}}) {
        SCOPED_TRACE(s.name);
        EngineRig rig;
        rig.settings->mode.set(SwitchMode::toggleLastApp);
        rig.settings->enabled.set(s.enabled);
        rig.three(0.0, 0.4f, 0.5f);
        rig.three(0.05, 0.4f + s.dx / 2, 0.5f + s.dy / 2);
        rig.three(s.duration - 0.01, 0.4f + s.dx, 0.5f + s.dy);
        rig.frame(s.duration, s.fourthFinger ? std::vector<Pt>(4, Pt{0.5f, 0.5f}) : std::vector<Pt>{});
        int fires = s.fires ? 1 : 0;
        EXPECT_EQ(rig.windows->previousCalls, fires);
        EXPECT_EQ(rig.switchTicks(), fires);
        EXPECT_EQ(rig.diagnostics->actionsTriggered.get(), fires);
        EXPECT_EQ(rig.diagnostics->swipeEventsSeen.get(), 1);
        EXPECT_NEAR(rig.diagnostics->lastDeltaX.get(), s.dx, 1e-5);
        EXPECT_EQ(rig.diagnostics->lastEventAt.get(), std::optional<double>(s.duration));
        EXPECT_EQ(std::ranges::count(rig.blocker->enableHistory, true), 0);
    }
}

TEST(Settings, ChangedWhileRunningTheyMoveWhereATravelLandsTheSelection) {
    // A slide after the reveal, every 10 ms: the step follows the sensitivity, and with
    // acceleration fast travel counts more.
    struct Case {
        double sensitivity, acceleration;
        float slide, perFrame;
        int index;
    };
    for (auto c : {Case{0.0, 0.0, 0.05f, 0.005f, 1}, Case{0.0, 0.0, 0.1f, 0.005f, 2}, Case{0.5, 0.0, 0.1f, 0.005f, 2},
                   Case{0.5, 0.0, 0.24f, 0.005f, 3}, Case{1.0, 0.0, 0.05f, 0.005f, 2}, Case{1.0, 0.0, 0.09f, 0.005f, 3},
                   Case{2.0 / 3, 0.0, 0.1f, 0.02f, 2}, Case{2.0 / 3, 1.0, 0.1f, 0.005f, 3},
                   Case{2.0 / 3, 1.0, 0.1f, 0.02f, 4}}) {
        EngineRig rig;
        rig.settings->sensitivity.set(c.sensitivity);
        rig.settings->acceleration.set(c.acceleration);
        float x = 0.36f, y = 0.5f;
        rig.move(rig.reveal(), x, y, c.slide, 0, c.perFrame);
        EXPECT_EQ(rig.lastIndex(), c.index)
            << c.sensitivity << ", " << c.acceleration << ": " << c.slide << " by " << c.perFrame;
    }
}

TEST(Settings, ModeAndGranularityChangesApplyFromTheNextFrame) {
    EngineRig rig;
    rig.activate(0.0, 0.3f, 0.5f);
    rig.settings->mode.set(SwitchMode::toggleLastApp);
    rig.settings->granularity.set(Granularity::app);
    rig.three(0.1, 0.45f, 0.5f);
    rig.lift(0.2);
    EXPECT_EQ(rig.apps->previousCalls, 1);
    EXPECT_EQ(rig.windows->previousCalls, 0);
}

// The engine reads the store in one place: every setting it reads changes its snapshot, the
// change is heard (a setting read but not watched would go stale on one thread) and it is
// stored, read back the same by the next start.
TEST(Settings, EverySettingTheEngineReadsReachesItsSnapshotWhenChanged) {
    EngineRig rig;
    SettingsStore& s = *rig.settings;
    int heard = 0;
    auto watch = subscribeEngineSettings(s, [&] { ++heard; });
    EXPECT_EQ(heard, 1);
    std::vector<std::function<void()>> changes = {
        [&] { s.enabled.set(false); },
        [&] { s.mode.set(SwitchMode::toggleLastApp); },
        [&] { s.invertDirection.set(true); },
        [&] { s.sensitivity.set(0.9); },
        [&] { s.acceleration.set(0.9); },
        [&] { s.cancelDistance.set(0.9); },
        [&] { s.flickRevealDelay.set(0.3); },
        [&] { s.flickVelocity.set(4.0); },
        [&] { s.favouriteApps.set({"a.desktop"}); },
        [&] { s.favouritesEnabled.set(false); },
        [&] { s.granularity.set(Granularity::app); },
        [&] { s.showHUD.set(false); },
        [&] { s.hudStyle.set(HUDStyle::windows95); },
        [&] { s.hudLabelStyle.set(HUDLabelStyle::perIcon); },
        [&] { s.compactPeekSpacing.set(!s.compactPeekSpacing.get()); },
        [&] { s.hapticFeedback.set(!s.hapticFeedback.get()); },
    };
    for (std::size_t i = 0; i < changes.size(); ++i) {
        EngineSettings before = engineSettings(s);
        changes[i]();
        EXPECT_EQ(heard, static_cast<int>(i) + 2) << "change " << i;
        EXPECT_FALSE(engineSettings(s) == before) << "change " << i;
        EXPECT_TRUE(engineSettings(SettingsStore(rig.prefs, rig.loginItems)) == engineSettings(s)) << "change " << i;
    }
}

TEST(Devices, StartStartsEveryTouchpadThatCanOnceAndPreparesTheScrollBlocker) {
    EngineRig rig;
    EXPECT_FALSE(rig.monitor->start());  // none yet
    EXPECT_TRUE(rig.blocker->created);
    rig.touch->present = {{"a", "built-in"}, {"x", "refused"}, {"b", "external"}};
    rig.touch->refuse = {"x"};
    EXPECT_TRUE(rig.monitor->start());
    EXPECT_TRUE(rig.monitor->start());  // a retry
    rig.time->runReady();
    EXPECT_EQ(rig.diagnostics->multitouchDevicesActive.get(), 2);
}

TEST(Devices, FramesOfEveryTouchpadFeedOneStateMachine) {
    EngineRig rig;
    rig.touch->present = {{"a", "built-in"}, {"b", "external"}};
    rig.monitor->start();
    rig.touch->deliver("a", EngineRig::fingers(0.3f), 0.0);
    rig.touch->deliver("b", EngineRig::fingers(0.3f), 0.05);
    EXPECT_EQ(rig.trace->states, (std::vector<S>{S::watching, S::active}));
}

TEST(Devices, StopStopsTheTouchpadsThatHotplugLeftAndTheEscapeMonitor) {
    EngineRig rig;
    rig.touch->present = {{"a", "built-in"}};
    rig.monitor->start();
    for (int i = 0; i < 2; ++i) rig.touch->hotplug({"bt", "Bluetooth touchpad"}, true);  // started once
    rig.touch->hotplug({"a", "built-in"}, false);
    rig.select(SwitcherRow::recents, 1, true);  // a walk begins: the Escape monitor is in
    rig.monitor->stop();
    EXPECT_EQ(rig.touch->stopped, std::vector<std::string>{"bt"});
    EXPECT_TRUE(rig.keys->handlers.empty());
}

}  // namespace
}  // namespace trellick::test
