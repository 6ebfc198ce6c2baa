#include "platform/evdev/EvdevHaptics.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/evdev/SystemTouchpads.h"

namespace trellick::evdev {

namespace {

struct Strength {
    std::uint16_t lengthMs;
    std::uint16_t magnitude;  // of 0xffff
};

// A selection tick is a light click, a switch a firm thud.
Strength strengthOf(HapticPattern p) {
    switch (p) {
    case HapticPattern::alignment:
        return {10, 0x5000};
    case HapticPattern::levelChange:
        return {25, 0xc000};
    case HapticPattern::generic:
        break;
    }
    return {15, 0x8000};
}

std::size_t indexOf(HapticPattern p) {
    return static_cast<std::size_t>(p) % 3;
}

}  // namespace

ff_effect EvdevHaptics::effectFor(HapticPattern pattern, int type) {
    Strength s = strengthOf(pattern);
    ff_effect e{};
    e.id = -1;  // a new effect
    e.replay.length = s.lengthMs;
    if (type == FF_RUMBLE) {
        e.type = FF_RUMBLE;
        e.u.rumble.strong_magnitude = s.magnitude;
        e.u.rumble.weak_magnitude = s.magnitude;
    } else {
        e.type = FF_PERIODIC;
        e.u.periodic.waveform = FF_SINE;
        e.u.periodic.period = 5;
        e.u.periodic.magnitude = static_cast<std::int16_t>(s.magnitude / 2);
    }
    return e;
}

EvdevHaptics::EvdevHaptics(ForceFeedbackFinder finder, std::function<double()> now)
    : finder_(std::move(finder)), now_(std::move(now)) {}

void EvdevHaptics::lookForDevices() {
    devices_.clear();
    looked_ = true;
    lookedAt_ = now_ ? now_() : 0;
    if (!finder_) return;
    for (auto& d : finder_()) {
        if (d && (d->supports(FF_RUMBLE) || d->supports(FF_PERIODIC))) devices_.push_back({std::move(d), {-1, -1, -1}});
    }
}

void EvdevHaptics::perform(HapticPattern pattern) {
    // The moment to play (now, or when drawing completes) makes no difference here: there is
    // no display pipeline to wait for.
    if (!looked_ || (devices_.empty() && now_ && now_() - lookedAt_ >= lookAgainAfter)) lookForDevices();
    std::size_t slot = indexOf(pattern);
    for (auto it = devices_.begin(); it != devices_.end();) {
        int& id = it->ids[slot];
        if (id < 0) {
            ff_effect e = effectFor(pattern, it->device->supports(FF_RUMBLE) ? FF_RUMBLE : FF_PERIODIC);
            id = it->device->upload(e);
        }
        // A device that fails (unplugged, effect memory full) is given up until the next look.
        if (id < 0 || it->device->play(id) < 0) {
            it = devices_.erase(it);
        } else {
            ++it;
        }
    }
}

namespace {

class SystemForceFeedback : public ForceFeedbackDevice {
public:
    SystemForceFeedback(int fd, std::array<unsigned long, (FF_CNT + 8 * sizeof(long) - 1) / (8 * sizeof(long))> bits)
        : fd_(fd), bits_(bits) {}
    ~SystemForceFeedback() override { ::close(fd_); }  // the kernel frees our effects

    bool supports(int type) const override {
        constexpr std::size_t per = 8 * sizeof(long);
        return type >= 0 && type < FF_CNT && (bits_[std::size_t(type) / per] >> (std::size_t(type) % per)) & 1;
    }
    int upload(ff_effect& effect) override {
        if (::ioctl(fd_, EVIOCSFF, &effect) < 0) return -errno;
        return effect.id;
    }
    int play(int id) override {
        input_event ev{};
        ev.type = EV_FF;
        ev.code = static_cast<std::uint16_t>(id);
        ev.value = 1;
        if (::write(fd_, &ev, sizeof ev) != static_cast<ssize_t>(sizeof ev)) return -errno;
        return 0;
    }

private:
    int fd_;
    std::array<unsigned long, (FF_CNT + 8 * sizeof(long) - 1) / (8 * sizeof(long))> bits_;
};

std::vector<std::unique_ptr<ForceFeedbackDevice>> findSystemForceFeedback() {
    std::vector<std::unique_ptr<ForceFeedbackDevice>> out;
    auto discovery = makeUdevDiscovery();
    for (const auto& node : discovery->enumerate()) {
        int fd = ::open(node.devnode.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        std::array<unsigned long, (FF_CNT + 8 * sizeof(long) - 1) / (8 * sizeof(long))> bits{};
        if (::ioctl(fd, EVIOCGBIT(EV_FF, sizeof bits), bits.data()) < 0) {
            ::close(fd);
            continue;
        }
        auto device = std::make_unique<SystemForceFeedback>(fd, bits);
        if (device->supports(FF_RUMBLE) || device->supports(FF_PERIODIC)) out.push_back(std::move(device));
    }
    return out;
}

}  // namespace

std::shared_ptr<EvdevHaptics> EvdevHaptics::createSystem() {
    return std::make_shared<EvdevHaptics>(findSystemForceFeedback, monotonicNow);
}

}  // namespace trellick::evdev
