#pragma once
// The touchpads of a Linux machine as the gesture engine's device source: udev finds them,
// each is opened for reading, and one touch thread (TouchLoop) delivers their frames.
// Touchpads plugged in later, or that become readable later (touchpad access granted), are
// reported through the hotplug handler; unplugged ones end their gesture and are reported
// gone. Touchpads that exist but cannot be opened are counted in Diagnostics and explained
// once in a warning.

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "common/MainQueue.h"
#include "gesture/TouchDevices.h"
#include "platform/evdev/TouchLoop.h"
#include "platform/evdev/TouchpadBackend.h"
#include "settings/Diagnostics.h"

namespace trellick::evdev {

class EvdevTouchSource : public TouchDeviceSource, public std::enable_shared_from_this<EvdevTouchSource> {
public:
    struct Backend {
        std::unique_ptr<TouchpadDiscovery> discovery;
        std::unique_ptr<TouchpadOpener> opener;
        std::function<double()> now;  // monotonic seconds
    };

    // Main thread. Hotplug reports and diagnostics updates are posted to `mainQueue`.
    static std::shared_ptr<EvdevTouchSource> create(std::shared_ptr<MainQueue> mainQueue,
                                                    std::weak_ptr<Diagnostics> diagnostics, Backend backend);
    // With the system's udev and evdev.
    static std::shared_ptr<EvdevTouchSource> createSystem(std::shared_ptr<MainQueue> mainQueue,
                                                          std::weak_ptr<Diagnostics> diagnostics);
    ~EvdevTouchSource() override;

    // TouchDeviceSource (main thread).
    std::vector<TouchDevice> deviceList() override;
    bool startDevice(const TouchDevice& device, FrameHandler handler) override;
    void stopDevice(const TouchDevice& device) override;
    void setHotplugHandler(HotplugHandler handler) override;

    // Looks again for touchpads that were refused or not yet seen, and reports those that can
    // now be read as added (for the shell to call after access was granted). Main thread.
    void rescan() override;

    // Touchpads present that refused to open (permission), by device node. Main thread.
    std::vector<std::string> inaccessible() const { return {refused_.begin(), refused_.end()}; }

    // The warning given (once) when a touchpad cannot be opened for lack of permission.
    static std::string accessWarning(const std::string& devnode);
    // The warning given (once) when the system has no touchpad at all.
    static std::string noTouchpadWarning();

    // Sees the contacts each frame leaves out as palms or thumbs, on the touch thread, just
    // before the frame itself (`debug-gestures --dump-frames`). Set before starting devices.
    using RejectedObserver = std::function<void(const std::string& device, double time,
                                                const std::vector<input::RejectedContact>& rejected)>;
    void setRejectedObserver(RejectedObserver observer) { rejectedObserver_ = std::move(observer); }

private:
    EvdevTouchSource(std::shared_ptr<MainQueue> mainQueue, std::weak_ptr<Diagnostics> diagnostics, Backend backend);
    void startMonitor();
    // Main thread: tries to open a touchpad not started yet; keeps the reader for startDevice.
    bool probe(const TouchpadNode& node);
    void noteRefused(const std::string& devnode, bool refused);
    void publishRefused();
    void onChange(const TouchpadChange& change);  // main thread
    void onGone(const std::string& devnode);      // main thread

    std::shared_ptr<MainQueue> mainQueue_;
    std::weak_ptr<Diagnostics> diagnostics_;
    Backend backend_;
    TouchLoop loop_;
    HotplugHandler hotplug_;
    RejectedObserver rejectedObserver_;

    // Main thread.
    std::map<std::string, std::string> names_;                       // devnode -> name
    std::map<std::string, std::unique_ptr<TouchpadReader>> opened_;  // probed, not started
    std::map<std::string, std::vector<std::string>> knowledge_;      // started: what is known of each
    void publishKnowledge();
    std::set<std::string> started_;
    std::set<std::string> refused_;
    std::int64_t publishedRefused_ = -1;
    bool warned_ = false;
    bool warnedUnusable_ = false;
    std::map<std::string, std::string> failed_;  // devnode -> why it did not open (last listing)
    bool monitoring_ = false;
};

}  // namespace trellick::evdev
