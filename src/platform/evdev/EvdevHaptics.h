#pragma once
// Haptic feedback through the touchpad's force-feedback interface (EV_FF), where the kernel
// offers one: a short rumble (or, lacking that, a short periodic effect) per pattern,
// uploaded once and played on demand. Without such a touchpad, or when the device fails,
// nothing happens and nothing is reported. Main thread only.

#include <linux/input.h>

#include <array>
#include <functional>
#include <memory>
#include <vector>

#include "gesture/InputServices.h"

namespace trellick::evdev {

// One touchpad's force-feedback interface.
class ForceFeedbackDevice {
public:
    virtual ~ForceFeedbackDevice() = default;
    virtual bool supports(int effectType) const = 0;  // FF_RUMBLE, FF_PERIODIC...
    // Uploads the effect; its id (>= 0) or -errno.
    virtual int upload(ff_effect& effect) = 0;
    // Plays an uploaded effect once; 0 or -errno.
    virtual int play(int id) = 0;
};

using ForceFeedbackFinder = std::function<std::vector<std::unique_ptr<ForceFeedbackDevice>>()>;

class EvdevHaptics : public HapticPerformer {
public:
    // A machine without haptic touchpads is asked again at most this often (seconds).
    static constexpr double lookAgainAfter = 10.0;

    EvdevHaptics(ForceFeedbackFinder finder, std::function<double()> now);
    // With the touchpads udev lists (those that can be opened for writing).
    static std::shared_ptr<EvdevHaptics> createSystem();

    void perform(HapticPattern pattern) override;
    // The touchpads changed: look for force feedback again at the next haptic.
    void refresh() { looked_ = false; }

    // The effect played for a pattern on a device that supports `type`.
    static ff_effect effectFor(HapticPattern pattern, int type);

private:
    struct Entry {
        std::unique_ptr<ForceFeedbackDevice> device;
        std::array<int, 3> ids{-1, -1, -1};  // uploaded effect per pattern
    };
    void lookForDevices();

    ForceFeedbackFinder finder_;
    std::function<double()> now_;
    std::vector<Entry> devices_;
    bool looked_ = false;
    double lookedAt_ = 0;
};

}  // namespace trellick::evdev
