#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "TrackingWorld.h"
#include "tracking/AppTracker.h"
#include "tracking/WindowTracker.h"
#include "tracking/WorkQueue.h"

using namespace trellick;

TEST(SerialQueueTest, RunsWorkInOrderOnOneOtherThread) {
    SerialQueue q("trellick.test");
    std::vector<int> order;
    std::vector<std::thread::id> threads;
    std::promise<void> done;
    for (int i = 0; i < 50; ++i)
        q.async([&, i] {
            order.push_back(i);
            threads.push_back(std::this_thread::get_id());
        });
    q.async([&] { done.set_value(); });
    done.get_future().wait();
    ASSERT_EQ(order.size(), 50u);
    for (int i = 0; i < 50; ++i) EXPECT_EQ(order[i], i);
    for (auto& t : threads) EXPECT_EQ(t, threads.front());
    EXPECT_NE(threads.front(), std::this_thread::get_id());
}

TEST(SerialQueueTest, DestructionWaitsForTheRunningItem) {
    std::promise<void> started, release;
    auto releaseFuture = release.get_future();
    std::atomic<bool> finished{false};
    std::atomic<int> queuedRan{0};  // may or may not run: only safety is asserted
    std::thread releaser;
    {
        SerialQueue q("trellick.test");
        q.async([&] {
            started.set_value();
            releaseFuture.wait();
            finished = true;
        });
        for (int i = 0; i < 100; ++i) q.async([&] { ++queuedRan; });
        started.get_future().wait();
        releaser = std::thread([&] { release.set_value(); });
    }
    EXPECT_TRUE(finished) << "the running item completed before the queue went away";
    releaser.join();
}

// The trackers' background reads on real worker threads (this is what ThreadSanitizer checks).
namespace {

// Runs the main queue until `done`, giving the workers a bounded amount of wall time.
template <typename F>
bool spinUntil(trellick::fake::FakeMainQueue& q, F done) {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < end) {
        q.runPending();
        if (done()) return true;
        std::this_thread::yield();
    }
    return false;
}

class RealQueuesTest : public ::testing::Test, protected trellick::test::TrackingWorld {};

TEST_F(RealQueuesTest, TitlesAndLivenessComeBackFromTheirWorkers) {
    makeWorkspace();
    auto apps = AppTracker::create({workspace, windows, mainQueue, diagnostics, nullptr, ownPID});
    auto wins = WindowTracker::create({workspace, windows, mainQueue, diagnostics, nullptr, ownPID});
    wins->start();
    WindowId a = windows->openAndFocus(win(10, "Alpha", "alpha title"));
    windows->openAndFocus(win(20, "Beta", "beta title"));
    ASSERT_TRUE(spinUntil(*mainQueue, [&] { return apps->cachedTitle(20) == "beta title"; }));
    ASSERT_TRUE(spinUntil(*mainQueue, [&] { return apps->cachedTitle(10) == "alpha title"; }));
    windows->closeSilently(a);
    for (int walk = 0; walk < 20; ++walk) wins->orderedTargets();  // overlapping walks: one check at a time
    ASSERT_TRUE(spinUntil(*mainQueue, [&] { return wins->orderedCount() == 1 && !wins->pruneInFlight(); }));
    apps.reset();  // workers still holding work must not touch the gone trackers
    wins.reset();
    mainQueue->runPending();
}

}  // namespace
