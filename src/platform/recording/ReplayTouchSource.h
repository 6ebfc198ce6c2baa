#pragma once
// A recording played in real time as the only touchpad: `trellick --replay FILE`. Frames are
// delivered on a thread of their own (the touch thread), stamped with the monotonic clock so
// that they line up with the engine's other clocks.

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "common/MainQueue.h"
#include "common/TouchContact.h"
#include "gesture/TouchDevices.h"

namespace trellick::recording {

class ReplayTouchSource : public TouchDeviceSource, public std::enable_shared_from_this<ReplayTouchSource> {
public:
    struct Frame {
        double time = 0;  // seconds from the start of the recording
        std::vector<TouchContact> fingers;
    };

    // `finished` runs on the main thread after the last frame was delivered.
    ReplayTouchSource(std::string name, std::vector<Frame> frames, std::shared_ptr<MainQueue> mainQueue,
                      std::function<void()> finished);
    ~ReplayTouchSource() override;

    std::vector<TouchDevice> deviceList() override;
    bool startDevice(const TouchDevice& device, FrameHandler handler) override;
    void stopDevice(const TouchDevice& device) override;

private:
    void play(const FrameHandler& handler);
    void join();

    std::string name_;
    std::vector<Frame> frames_;
    std::shared_ptr<MainQueue> mainQueue_;
    std::function<void()> finished_;
    std::mutex m_;
    std::condition_variable cv_;
    bool stopping_ = false;
    bool started_ = false;
    std::thread thread_;
};

}  // namespace trellick::recording
