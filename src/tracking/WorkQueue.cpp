#include "tracking/WorkQueue.h"

#include <pthread.h>

namespace trellick {

SerialQueue::SerialQueue(std::string label) : label_(std::move(label)) {
    worker_ = std::thread([this] { run(); });
}

SerialQueue::~SerialQueue() {
    {
        std::lock_guard lock(m_);
        stopping_ = true;
        items_.clear();
    }
    cv_.notify_all();
    if (worker_.joinable()) worker_.join();
}

void SerialQueue::async(std::function<void()> fn) {
    {
        std::lock_guard lock(m_);
        if (stopping_) return;
        items_.push_back(std::move(fn));
    }
    cv_.notify_one();
}

void SerialQueue::run() {
    // Thread names are limited to 15 characters: keep the distinctive end of the label.
    std::string name = label_.size() > 15 ? label_.substr(label_.size() - 15) : label_;
    pthread_setname_np(pthread_self(), name.c_str());
    for (;;) {
        std::function<void()> fn;
        {
            std::unique_lock lock(m_);
            cv_.wait(lock, [this] { return stopping_ || !items_.empty(); });
            if (stopping_) return;
            fn = std::move(items_.front());
            items_.pop_front();
        }
        fn();
    }
}

}  // namespace trellick
