#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>
#include <vector>

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
