// Who owns what: work posted for a gone engine, the two threads at once, and a call from the
// wrong thread (which debug builds stop).

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "EngineRig.h"

namespace trellick::test {
namespace {

TEST(Ownership, TheEngineHoldsDiagnosticsWeakly) {
    EngineRig rig;
    auto fs = EngineRig::fingers(0.3f);
    rig.monitor->handleFrame(fs.data(), 3, 0.0);  // posts diagnostics updates
    std::weak_ptr<Diagnostics> held = rig.diagnostics;
    rig.diagnostics.reset();
    EXPECT_TRUE(held.expired());
    rig.time->runReady();  // must not touch them
}

TEST(Ownership, WorkPostedForAGoneEngineDoesNothing) {
    EngineRig rig;
    rig.activate(0.0, 0.3f, 0.5f);
    rig.three(0.06, 0.34f, 0.5f);
    rig.three(0.07, 0.38f, 0.5f);  // engaged: the lift will post a quick switch
    rig.armCancel();
    rig.time->runReady();  // the first thud of an arming; the second is due in 50 ms
    rig.monitor->handleFrame(nullptr, 0, 0.08);
    rig.monitor.reset();
    rig.time->drain();
    EXPECT_EQ(rig.windows->previousCalls, 0);
    EXPECT_EQ(rig.switchTicks(), 1);
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
                auto fs = EngineRig::fingers(0.2f + 0.005f * static_cast<float>(std::max(i, 0)));
                rig.monitor->handleFrame(fs.data(), 3, t0 + 0.05 + 0.01 * i);
            }
            rig.monitor->handleFrame(nullptr, 0, t0 + 1.0);
        }
        done = true;
    });
    while (!done) {
        rig.settings->sensitivity.set(rig.settings->sensitivity.get() == 0.5 ? 0.6 : 0.5);
        rig.time->runReady();
        std::this_thread::yield();
    }
    touch.join();
    rig.time->drain();
    EXPECT_EQ(rig.trace->commits.size(), 20u);
    EXPECT_EQ(rig.windows->activations.size(), 20u);
}

// Debug builds stop a call made off the thread that owns the function, naming it; release
// builds compile the check out and let it run.
TEST(ThreadChecksDeathTest, ACallFromTheWrongThreadStopsADebugBuild) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EngineRig rig;  // created here: this is the main thread
    EXPECT_DEBUG_DEATH(std::thread([&] { rig.lift(DirectionalWalk::Lift::commit); }).join(),
                       "walk called off the main thread");
    std::thread([&] { rig.monitor->handleFrame(nullptr, 0, 0.0); }).join();  // the first frame binds the touch thread
    EXPECT_DEBUG_DEATH(rig.monitor->handleFrame(nullptr, 0, 0.1), "handleFrame called off the touch thread");
}

TEST(ThreadChecks, AfterStopFramesMayComeFromANewThread) {
    EngineRig rig;
    std::thread([&] { rig.monitor->handleFrame(nullptr, 0, 0.0); }).join();
    rig.monitor->stop();
    rig.three(1.0, 0.5f, 0.5f);
    EXPECT_EQ(rig.trace->states, std::vector<GestureState>{GestureState::watching});
}

}  // namespace
}  // namespace trellick::test
