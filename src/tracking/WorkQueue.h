#pragma once
// Serial background queues of the trackers: platform reads run there one at a time, and
// their results go back to the main thread through MainQueue::post.

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace trellick {

class WorkQueue {
public:
    virtual ~WorkQueue() = default;
    // Runs fn later, after the work queued before it, never concurrently with it.
    virtual void async(std::function<void()> fn) = 0;
};

// One worker thread. Destruction waits for the running item and drops the ones not started,
// so queued work must not depend on running to completion.
class SerialQueue : public WorkQueue {
public:
    explicit SerialQueue(std::string label);
    ~SerialQueue() override;
    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    void async(std::function<void()> fn) override;

private:
    void run();

    std::string label_;
    std::mutex m_;
    std::condition_variable cv_;
    std::deque<std::function<void()>> items_;
    bool stopping_ = false;
    std::thread worker_;
};

}  // namespace trellick
