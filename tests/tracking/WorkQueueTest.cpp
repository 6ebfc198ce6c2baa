#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "../common/TestSupport.h"
#include "TrackingWorld.h"
#include "tracking/WorkQueue.h"

using namespace trellick;

TEST(SerialQueueTest, RunsWorkInOrderOnOneOtherThread) {
    SerialQueue q("trellick.test");
    std::vector<std::pair<int, std::thread::id>> ran;
    std::promise<void> done;
    for (int i = 0; i < 50; ++i) q.async([&, i] { ran.emplace_back(i, std::this_thread::get_id()); });
    q.async([&] { done.set_value(); });
    done.get_future().wait();
    ASSERT_EQ(ran.size(), 50u);
    for (int i = 0; i < 50; ++i) EXPECT_EQ(ran[i], std::make_pair(i, ran[0].second));
    EXPECT_NE(ran[0].second, std::this_thread::get_id());
}

TEST(SerialQueueTest, DestructionWaitsForTheRunningItem) {
    std::atomic<bool> finished{false};
    {
        SerialQueue q("trellick.test");
        std::promise<void> started;
        q.async([&] {
            started.set_value();
            std::this_thread::sleep_for(std::chrono::milliseconds(50));  // still running as the queue goes
            finished = true;
        });
        for (int i = 0; i < 100; ++i) q.async([] {});  // queued behind it: may or may not run
        started.get_future().wait();
    }
    EXPECT_TRUE(finished) << "the running item completed before the queue went away";
}

// The trackers' background reads on real worker threads (this is what ThreadSanitizer checks).
namespace {

class RealQueuesTest : public ::testing::Test, protected trellick::test::TrackingWorld {};

TEST_F(RealQueuesTest, TitlesAndLivenessComeBackFromTheirWorkers) {
    auto apps = make<AppTracker>(/*realWorkers=*/true);
    auto wins = make<WindowTracker>(/*realWorkers=*/true);
    WindowId a = windows->openAndFocus(win(10, "Alpha", "alpha title"));
    windows->openAndFocus(win(20, "Beta", "beta title"));
    auto pump = [&] { time->runReady(); };
    auto titled = [&] { return labels(apps->orderedTargets()) == Strings{"Beta|beta title", "Alpha|alpha title"}; };
    ASSERT_TRUE(test::waitFor(titled, 10, pump));
    windows->closeSilently(a);
    for (int walk = 0; walk < 20; ++walk) wins->orderedTargets();  // overlapping walks: one check at a time
    ASSERT_TRUE(test::waitFor([&] { return wins->orderedCount() == 1; }, 10, pump));
    apps.reset();  // workers still holding work must not touch the gone trackers
    wins.reset();
    time->runReady();
}

}  // namespace
