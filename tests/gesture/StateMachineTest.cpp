// The frame handler: its state machine, the toggle decision, devices, ownership and threads.

#include <gtest/gtest.h>

#include <atomic>
#include <ranges>
#include <thread>

#include "EngineRig.h"

namespace trellick::test {
namespace {

using S = GestureState;
const std::pair<std::string, PrefValue> toggle{keys::mode, PrefValue("toggleLastApp")};

std::vector<MTFinger> fingers(float cx) {
    return EngineRig::fingers(EngineRig::three(cx, 0.5f));
}

TEST(StateMachine, OnlyASaneNarrowTouchHeldPastTheSettleTimeBecomesAGesture) {
    EngineRig rig;
    rig.three(0.0, 0.5f, 0.5f);
    rig.three(0.04, 0.5f, 0.5f);  // exactly the settle time: still watching
    rig.lift(0.045);
    EXPECT_EQ(rig.trace->states, (std::vector<S>{S::watching, S::idle}));
    EXPECT_EQ(rig.windows->previousCalls + rig.trace->cancels + rig.trace->commits.size(), 0u);

    rig.frame(0.1, std::vector<Pt>(33, Pt{0.5f, 0.5f}));
    EXPECT_EQ(rig.diagnostics->currentFingerCount.get(), 33);
    rig.frame(0.11, {{0.2f, 0.5f}, {0.3f, 0.5f}, {1.2f, 0.5f}});  // x = 1.2 is outside
    rig.frame(0.12, {{0.2f, 0.5f}, {0.3f, 0.5f}, {0.4f, std::nanf("")}});
    EXPECT_EQ(rig.diagnostics->currentFingerCount.get(), 3);
    int changes = 0;  // the finger count is posted only when it changes
    auto sub = rig.diagnostics->currentFingerCount.subscribe([&](auto) { ++changes; });
    rig.frame(0.13, {{0.2f, 0.5f}, {0.3f, 0.5f}, {1.3f, 0.5f}});
    EXPECT_EQ(changes, 1);  // only the value delivered on subscribe
    EXPECT_EQ(rig.diagnostics->spreadRejects.get(), 0);

    std::vector<Pt> wide{{0.1f, 0.5f}, {0.4f, 0.5f}, {0.7f, 0.5f}};  // spread 0.6
    for (int i = 0; i < 10; ++i) rig.frame(0.2 + 0.01 * i, wide);
    EXPECT_EQ(rig.diagnostics->spreadRejects.get(), 1);
    EXPECT_NEAR(rig.diagnostics->lastFingerSpread.get(), 0.6, 1e-6);
    // Leaving three fingers clears the report; the next wide touch counts again.
    rig.frame(0.3, {{0.1f, 0.5f}, {0.4f, 0.5f}});
    rig.frame(0.4, wide);
    EXPECT_EQ(rig.diagnostics->spreadRejects.get(), 2);
    EXPECT_EQ(rig.trace->states.size(), 2u);  // none of these frames started a gesture

    rig.lift(0.5);
    rig.three(1.0, 0.5f, 0.5f);  // accepted: only the last spread changes
    EXPECT_EQ(rig.diagnostics->spreadRejects.get(), 2);
    EXPECT_LT(rig.diagnostics->lastFingerSpread.get(), 0.55);
    // Spreading while settling is rejected too, and counted once for that touch.
    rig.frame(1.05, wide);
    rig.frame(1.1, wide);
    EXPECT_EQ(rig.diagnostics->spreadRejects.get(), 3);
    rig.lift(1.2);
    rig.three(2.0, 0.5f, 0.5f);
    rig.three(2.0401, 0.5f, 0.5f);
    EXPECT_EQ(rig.monitor->state(), S::active);
    EXPECT_EQ(rig.monitor->sharedSnapshot().recentsCount, 5);  // published at gesture start
}

TEST(StateMachine, ToggleFiresOnlyForQuickHorizontalSwipes) {
    struct Case {
        float dx, dy;
        double duration;
        bool fires, fourthFinger = false, enabled = true;
    };
    for (auto c : {Case{0.12f, 0.05f, 0.5, true}, Case{-0.12f, 0.05f, 0.5, true},   // either direction
                   Case{0.12f, 0.11f, 0.5, false},                                  // 0.11 x 1.2 >= 0.12
                   Case{0.12f, 0.05f, 0.8, false}, Case{0.095f, 0.0f, 0.5, false},  // too slow, too short
                   Case{-0.3f, -0.2f, 0.79, true}, Case{0.2f, 0.0f, 0.3, true, true},
                   Case{0.2f, 0.0f, 0.3, false, false, false}}) {  // switched off: evaluated, never fired
        SCOPED_TRACE(::testing::Message() << "dx " << c.dx << " dy " << c.dy << " for " << c.duration);
        EngineRig rig({toggle, {keys::enabled, PrefValue(c.enabled)}});
        rig.three(0.0, 0.4f, 0.5f);
        rig.three(0.05, 0.4f + c.dx / 2, 0.5f + c.dy / 2);
        rig.three(c.duration - 0.01, 0.4f + c.dx, 0.5f + c.dy);
        // Ended by lifting, or at once by a fourth finger arriving.
        rig.frame(c.duration, c.fourthFinger ? std::vector<Pt>(4, Pt{0.5f, 0.5f}) : std::vector<Pt>{});
        EXPECT_EQ(rig.monitor->state(), S::idle);
        EXPECT_EQ(std::ranges::count(rig.blocker->enableHistory, true), 0);  // never suppresses scrolling
        EXPECT_EQ(rig.windows->previousCalls, c.fires ? 1 : 0);
        EXPECT_EQ(rig.diagnostics->actionsTriggered.get(), c.fires ? 1 : 0);
        EXPECT_EQ(rig.count(HapticPattern::levelChange), c.fires ? 1 : 0);
        EXPECT_EQ(rig.diagnostics->swipeEventsSeen.get(), 1);  // counted, fired or not
        EXPECT_NEAR(rig.diagnostics->lastDeltaX.get(), c.dx, 1e-5);
        EXPECT_EQ(rig.diagnostics->lastEventAt.get(), std::optional<double>(c.duration));
    }
}

TEST(StateMachine, SettingChangesReachTheTouchThread) {
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
    rig.activate(0.0, 0.3f, 0.5f);
    rig.settings->mode.set(SwitchMode::toggleLastApp);  // applies from the next frame
    rig.settings->granularity.set(Granularity::app);
    rig.three(0.1, 0.45f, 0.5f);
    rig.lift(0.2);
    EXPECT_EQ(rig.apps->previousCalls, 1);
    EXPECT_EQ(rig.windows->previousCalls, 0);
}

TEST(Devices, StartStopAndHotplugFeedOneStateMachine) {
    EngineRig rig;
    EXPECT_FALSE(rig.monitor->start());  // no touchpad, but the blocker exists
    EXPECT_TRUE(rig.blocker->created);
    rig.touch->present = {{"a", "built-in"}, {"x", "refused"}, {"b", "external"}};
    rig.touch->refuse = {"x"};
    EXPECT_TRUE(rig.monitor->start());
    EXPECT_TRUE(rig.monitor->start());  // a retry does not register twice
    auto ids = [&] { return rig.monitor->devices() | std::views::transform(&TouchDevice::id); };
    EXPECT_TRUE(std::ranges::equal(ids(), std::vector<std::string>{"a", "b"}));
    rig.queue->runPending();
    EXPECT_EQ(rig.diagnostics->multitouchDevicesActive.get(), 2);
    EXPECT_EQ(rig.diagnostics->fingerStride.get(), 96);
    rig.touch->deliver("a", fingers(0.3f), 0.0);
    rig.touch->deliver("b", fingers(0.3f), 0.05);
    EXPECT_EQ(rig.monitor->state(), S::active);
    for (int i = 0; i < 2; ++i) rig.touch->hotplug({"bt", "Bluetooth trackpad"}, true);  // registered once
    rig.touch->hotplug({"a", "built-in"}, false);
    rig.queue->runPending();
    EXPECT_TRUE(std::ranges::equal(ids(), std::vector<std::string>{"b", "bt"}));
    EXPECT_EQ(rig.diagnostics->multitouchDevicesActive.get(), 2);
    rig.monitor->installEscapeMonitor();
    rig.monitor->stop();
    EXPECT_TRUE(rig.monitor->devices().empty());
    EXPECT_EQ(rig.touch->stopped, (std::vector<std::string>{"b", "bt"}));
    EXPECT_FALSE(rig.monitor->escapeMonitorInstalled());
}

TEST(Ownership, WorkPostedForAGoneEngineOrDiagnosticsDoesNothing) {
    EngineRig rig;
    auto fs = EngineRig::fingers(EngineRig::three(0.3f, 0.5f));
    rig.monitor->handleFrame(fs.data(), 3, 0.0);  // posts diagnostics updates, which hold them weakly
    rig.diagnostics.reset();
    rig.queue->runPending();  // must not touch them
    rig.three(0.05, 0.3f, 0.5f);
    rig.three(0.06, 0.34f, 0.5f);
    rig.three(0.07, 0.38f, 0.5f);  // engaged: the lift will post a quick switch
    rig.monitor->cancelHaptic(true);
    rig.queue->runPending();  // the first thud of an arming; the second is due in 50 ms
    rig.monitor->handleFrame(nullptr, 0, 0.08);
    EXPECT_GT(rig.queue->pendingCount(), 0u);
    rig.monitor.reset();  // gone before either runs
    rig.queue->drain();
    EXPECT_EQ(rig.windows->previousCalls, 0);
    EXPECT_EQ(rig.haptic->played, std::vector<HapticPattern>{HapticPattern::levelChange});
}

// The touch side runs on its own thread and never waits for the main side, while the main
// side changes settings and runs posted work at the same time (checked by ThreadSanitizer).
TEST(Threads, TouchThreadAndMainThreadShareOnlyTheSnapshot) {
    EngineRig rig;
    std::atomic<bool> done{false};
    std::thread touch([&] {
        for (int gesture = 0; gesture < 20; ++gesture) {
            double t0 = gesture * 2.0;
            for (int i = -5; i <= 60; ++i) {  // settle, then slide 0.3 to the right
                auto fs = fingers(0.2f + 0.005f * static_cast<float>(std::max(i, 0)));
                rig.monitor->handleFrame(fs.data(), 3, t0 + 0.05 + 0.01 * i);
            }
            rig.monitor->handleFrame(nullptr, 0, t0 + 1.0);
        }
        done = true;
    });
    while (!done) {
        rig.settings->sensitivity.set(rig.settings->sensitivity.get() == 0.5 ? 0.6 : 0.5);
        rig.queue->runPending();
        std::this_thread::yield();
    }
    touch.join();
    rig.queue->drain();
    EXPECT_EQ(rig.trace->commits.size(), 20u);
    EXPECT_EQ(rig.windows->activations.size(), 20u);
}

}  // namespace
}  // namespace trellick::test
