#include "platform/recording/ReplayTouchSource.h"

#include <chrono>

namespace trellick::recording {

ReplayTouchSource::ReplayTouchSource(std::string name, std::vector<Frame> frames, std::shared_ptr<MainQueue> mainQueue,
                                     std::function<void()> finished)
    : name_(std::move(name)),
      frames_(std::move(frames)),
      mainQueue_(std::move(mainQueue)),
      finished_(std::move(finished)) {}

ReplayTouchSource::~ReplayTouchSource() {
    join();
}

std::vector<TouchDevice> ReplayTouchSource::deviceList() {
    return {TouchDevice{"replay:" + name_, name_}};
}

bool ReplayTouchSource::startDevice(const TouchDevice&, FrameHandler handler) {
    std::lock_guard lock(m_);
    if (started_) return false;  // a recording plays once
    started_ = true;
    stopping_ = false;
    thread_ = std::thread([this, handler = std::move(handler)] { play(handler); });
    return true;
}

void ReplayTouchSource::stopDevice(const TouchDevice&) {
    join();
}

void ReplayTouchSource::join() {
    {
        std::lock_guard lock(m_);
        stopping_ = true;
    }
    cv_.notify_all();
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

void ReplayTouchSource::play(const FrameHandler& handler) {
    using clock = std::chrono::steady_clock;
    auto start = clock::now();
    double base = std::chrono::duration<double>(start.time_since_epoch()).count();
    for (auto& frame : frames_) {
        auto due = start + std::chrono::duration_cast<clock::duration>(std::chrono::duration<double>(frame.time));
        {
            std::unique_lock lock(m_);
            if (cv_.wait_until(lock, due, [this] { return stopping_; })) return;
        }
        handler(frame.fingers.data(), static_cast<int>(frame.fingers.size()), base + frame.time);
    }
    if (finished_) mainQueue_->post(finished_);
}

}  // namespace trellick::recording
