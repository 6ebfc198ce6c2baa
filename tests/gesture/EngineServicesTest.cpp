// Haptics, scroll suppression, the Escape monitor, devices and the two threads.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "EngineRig.h"

namespace trellick::test {
namespace {

TEST(Haptics, SelectionTicksAreRateLimited) {
    auto clock = std::make_shared<fake::FakeClock>();
    auto performer = std::make_shared<fake::FakeHaptics>();
    Haptics h(performer, clock);
    h.selectionTick();
    clock->advance(0.010);
    h.selectionTick();
    EXPECT_EQ(performer->played.size(), 1u);
    clock->advance(0.020);  // 30 ms after the first
    h.selectionTick();
    EXPECT_EQ(performer->played.size(), 2u);

    clock->advance(1);
    h.switchTick();
    clock->advance(0.010);
    h.selectionTick();  // swallowed by the switch tick's stamp
    EXPECT_EQ(performer->played,
              (std::vector<HapticPattern>{HapticPattern::alignment, HapticPattern::alignment, HapticPattern::levelChange}));
}

TEST(Haptics, ArmingDoubleThudRespectsTheSettingAndTheOwner) {
    EngineRig rig;
    rig.monitor->cancelHaptic(true);
    rig.queue->runPending();
    EXPECT_EQ(rig.count(HapticPattern::levelChange), 1);
    rig.queue->advanceTo(rig.clock->now() + 0.05);
    EXPECT_EQ(rig.count(HapticPattern::levelChange), 2);

    rig.monitor->cancelHaptic(true);
    rig.queue->runPending();
    rig.settings->hapticFeedback.set(false);  // turned off between the two thuds
    rig.queue->drain();
    EXPECT_EQ(rig.count(HapticPattern::levelChange), 3);

    rig.settings->hapticFeedback.set(true);
    rig.monitor->cancelHaptic(true);
    rig.queue->runPending();
    rig.monitor.reset();  // the engine goes away before the second thud
    rig.queue->drain();
    EXPECT_EQ(rig.count(HapticPattern::levelChange), 4);
}

TEST(ScrollSuppressor, BeginAndEndTakeEffectInCallOrder) {
    auto clock = std::make_shared<fake::FakeClock>();
    auto queue = std::make_shared<fake::FakeMainQueue>(clock);
    auto blocker = std::make_shared<fake::FakeScrollBlocker>();
    auto s = ScrollSuppressor::create(blocker, queue);
    s->begin();
    s->end();
    s->begin();
    EXPECT_TRUE(blocker->enableHistory.empty());  // nothing happens off the main thread
    queue->runPending();
    EXPECT_EQ(blocker->createCalls, 1);  // created once, idle first
    EXPECT_EQ(blocker->enableHistory, (std::vector<bool>{false, true, false, true}));
    EXPECT_TRUE(s->wantEnabled());

    // A grab lost while wanted is taken again; after end it stays released.
    blocker->loseIt();
    EXPECT_TRUE(blocker->enabled);
    s->end();
    queue->runPending();
    blocker->loseIt();
    EXPECT_FALSE(blocker->enabled);
}

TEST(ScrollSuppressor, RefusedBlockerIsRetriedAtTheNextBegin) {
    auto clock = std::make_shared<fake::FakeClock>();
    auto queue = std::make_shared<fake::FakeMainQueue>(clock);
    auto blocker = std::make_shared<fake::FakeScrollBlocker>();
    blocker->refuseCreate = true;
    auto s = ScrollSuppressor::create(blocker, queue);
    s->installIfNeeded();
    EXPECT_FALSE(s->installed());
    s->begin();
    queue->runPending();
    EXPECT_FALSE(blocker->enabled);
    blocker->refuseCreate = false;
    s->begin();
    queue->runPending();
    EXPECT_TRUE(s->installed());
    EXPECT_TRUE(blocker->enabled);
    s->installIfNeeded();
    EXPECT_EQ(blocker->createCalls, 3);

    // Work posted for a suppressor that is gone does nothing.
    s->end();
    s.reset();
    queue->runPending();
    EXPECT_TRUE(blocker->enabled);
}

TEST(EscapeMonitor, OnlyAnInstalledMonitorRequestsACancel) {
    EngineRig rig;
    rig.keys->pressEscape();
    EXPECT_FALSE(rig.monitor->sharedSnapshot().cancelRequested);
    rig.monitor->removeEscapeMonitor();  // harmless without a monitor
    rig.monitor->installEscapeMonitor();
    rig.monitor->installEscapeMonitor();
    EXPECT_EQ(rig.keys->handlers.size(), 1u);
    rig.keys->pressEscape();
    EXPECT_TRUE(rig.monitor->sharedSnapshot().cancelRequested);
    rig.monitor->removeEscapeMonitor();
    EXPECT_TRUE(rig.keys->handlers.empty());

    rig.keys->refuse = true;  // the platform refusing leaves the walk cancellable by swiping
    rig.monitor->installEscapeMonitor();
    EXPECT_FALSE(rig.monitor->escapeMonitorInstalled());
}

TEST(Devices, StartRegistersEveryDeviceAndFeedsOneStateMachine) {
    EngineRig rig;
    rig.touch->present = {{"/dev/input/event5", "built-in"}, {"/dev/input/event9", "external"}};
    EXPECT_TRUE(rig.monitor->start());
    ASSERT_EQ(rig.monitor->devices().size(), 2u);
    EXPECT_EQ(rig.monitor->devices()[0].id, "/dev/input/event5");
    rig.queue->runPending();
    EXPECT_EQ(rig.diagnostics->multitouchDevicesActive.get(), 2);
    EXPECT_EQ(rig.diagnostics->fingerStride.get(), 96);
    EXPECT_TRUE(rig.blocker->created);

    // Frames from both devices drive the same gesture.
    auto fs = [](float cx) {
        std::vector<MTFinger> v;
        for (auto p : EngineRig::three(cx, 0.5f)) v.push_back(fake::finger(p.x, p.y));
        return v;
    };
    rig.touch->deliver("/dev/input/event5", fs(0.3f), 0.0);
    rig.touch->deliver("/dev/input/event9", fs(0.3f), 0.05);
    EXPECT_EQ(rig.monitor->state(), GestureState::active);

    rig.monitor->installEscapeMonitor();
    rig.monitor->stop();
    EXPECT_TRUE(rig.monitor->devices().empty());
    EXPECT_EQ(rig.touch->stopped.size(), 2u);
    EXPECT_FALSE(rig.monitor->escapeMonitorInstalled());
}

TEST(Devices, NoDeviceMeansFalseButTheBlockerExists) {
    EngineRig rig;
    EXPECT_FALSE(rig.monitor->start());
    EXPECT_TRUE(rig.blocker->created);
    rig.touch->present = {{"a", "refused"}, {"b", "fine"}};
    rig.touch->refuse = {"a"};
    EXPECT_TRUE(rig.monitor->start());
    EXPECT_EQ(rig.monitor->devices().size(), 1u);
    EXPECT_TRUE(rig.monitor->start());  // a second start does not register twice
    EXPECT_EQ(rig.monitor->devices().size(), 1u);
}

TEST(Devices, HotplugAddsAndRemoves) {
    EngineRig rig;
    rig.monitor->start();
    rig.touch->hotplug({"bt", "Bluetooth trackpad"}, true);
    EXPECT_EQ(rig.monitor->devices().size(), 1u);
    EXPECT_EQ(rig.touch->started.count("bt"), 1u);
    rig.queue->runPending();
    EXPECT_EQ(rig.diagnostics->multitouchDevicesActive.get(), 1);
    rig.touch->hotplug({"bt", "Bluetooth trackpad"}, false);
    rig.queue->runPending();
    EXPECT_TRUE(rig.monitor->devices().empty());
    EXPECT_EQ(rig.diagnostics->multitouchDevicesActive.get(), 0);
}

TEST(Ownership, WorkPostedForAGoneEngineOrDiagnosticsDoesNothing) {
    EngineRig rig;
    rig.activate(0.0, 0.3f, 0.5f);
    rig.three(0.1, 0.3f, 0.5f);
    // Lift posts the quick switch; the engine is gone before it runs.
    rig.queue->advanceTo(0.2);
    std::vector<MTFinger> none;
    rig.monitor->handleFrame(none.data(), 0, 0.2);
    EXPECT_GT(rig.queue->pendingCount(), 0u);
    rig.monitor.reset();
    rig.queue->drain();
    EXPECT_EQ(rig.windows->previousCalls, 0);

    EngineRig other;
    other.three(0.0, 0.5f, 0.5f);  // posts a diagnostics update
    other.diagnostics.reset();
    other.queue->drain();  // must not crash
    SUCCEED();
}

// The touch side runs on its own thread and never waits for the main side, while the main
// side changes settings and runs posted work at the same time (checked by ThreadSanitizer).
TEST(Threads, TouchThreadAndMainThreadShareOnlyTheSnapshot) {
    EngineRig rig;
    std::atomic<bool> done{false};
    std::thread touch([&] {
        for (int gesture = 0; gesture < 20; ++gesture) {
            double t0 = gesture * 2.0;
            std::vector<MTFinger> fs;
            auto put = [&](double t, float cx) {
                fs.clear();
                for (auto p : EngineRig::three(cx, 0.5f)) fs.push_back(fake::finger(p.x, p.y));
                rig.monitor->handleFrame(fs.data(), 3, t);
            };
            put(t0, 0.2f);
            put(t0 + 0.05, 0.2f);
            for (int i = 1; i <= 60; ++i) put(t0 + 0.05 + 0.01 * i, 0.2f + 0.005f * static_cast<float>(i));
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
