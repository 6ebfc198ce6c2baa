#include "platform/evdev/SystemTouchpads.h"

#include <fcntl.h>
#include <libevdev/libevdev.h>
#include <libudev.h>
#include <linux/input.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

namespace trellick::evdev {

double monotonicNow() {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

namespace {

const char* property(udev_device* d, const char* key) {
    const char* v = udev_device_get_property_value(d, key);
    return v ? v : "";
}

bool isTouchpadNode(udev_device* d, TouchpadNode& out) {
    const char* devnode = udev_device_get_devnode(d);
    if (!devnode || std::strncmp(udev_device_get_sysname(d), "event", 5) != 0) return false;
    if (std::strcmp(property(d, "ID_INPUT_TOUCHPAD"), "1") != 0) return false;
    out.devnode = devnode;
    // The name lives on the parent input device.
    udev_device* parent = udev_device_get_parent_with_subsystem_devtype(d, "input", nullptr);
    const char* name = parent ? udev_device_get_sysattr_value(parent, "name") : nullptr;
    out.name = name ? name : devnode;
    return true;
}

class UdevDiscovery : public TouchpadDiscovery {
public:
    UdevDiscovery() {
        enumUdev_ = udev_new();
        monitorUdev_ = udev_new();
        if (monitorUdev_) monitor_ = udev_monitor_new_from_netlink(monitorUdev_, "udev");
        if (monitor_) {
            if (udev_monitor_filter_add_match_subsystem_devtype(monitor_, "input", nullptr) < 0 ||
                udev_monitor_enable_receiving(monitor_) < 0) {
                udev_monitor_unref(monitor_);
                monitor_ = nullptr;
            }
        }
    }
    ~UdevDiscovery() override {
        if (monitor_) udev_monitor_unref(monitor_);
        if (monitorUdev_) udev_unref(monitorUdev_);
        if (enumUdev_) udev_unref(enumUdev_);
    }

    std::vector<TouchpadNode> enumerate() override {
        std::vector<TouchpadNode> out;
        if (!enumUdev_) return out;
        udev_enumerate* e = udev_enumerate_new(enumUdev_);
        if (!e) return out;
        udev_enumerate_add_match_subsystem(e, "input");
        udev_enumerate_add_match_property(e, "ID_INPUT_TOUCHPAD", "1");
        udev_enumerate_scan_devices(e);
        udev_list_entry* entry;
        udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(e)) {
            udev_device* d = udev_device_new_from_syspath(enumUdev_, udev_list_entry_get_name(entry));
            if (!d) continue;
            TouchpadNode node;
            if (isTouchpadNode(d, node)) out.push_back(std::move(node));
            udev_device_unref(d);
        }
        udev_enumerate_unref(e);
        return out;
    }

    int monitorFd() const override { return monitor_ ? udev_monitor_get_fd(monitor_) : -1; }

    std::vector<TouchpadChange> receiveChanges() override {
        std::vector<TouchpadChange> out;
        if (!monitor_) return out;
        while (udev_device* d = udev_monitor_receive_device(monitor_)) {
            TouchpadNode node;
            const char* action = udev_device_get_action(d);
            bool removal = action && std::strcmp(action, "remove") == 0;
            // A removed device has lost most of its properties: keep any event node.
            if (removal && udev_device_get_devnode(d) && std::strncmp(udev_device_get_sysname(d), "event", 5) == 0) {
                out.push_back({TouchpadChange::Kind::removed, {udev_device_get_devnode(d), ""}});
            } else if (!removal && isTouchpadNode(d, node)) {
                bool add = action && std::strcmp(action, "add") == 0;
                out.push_back({add ? TouchpadChange::Kind::added : TouchpadChange::Kind::changed, node});
            }
            udev_device_unref(d);
        }
        return out;
    }

private:
    udev* enumUdev_ = nullptr;
    udev* monitorUdev_ = nullptr;
    udev_monitor* monitor_ = nullptr;
};

class EvdevReader : public TouchpadReader {
public:
    EvdevReader(int fd, libevdev* dev, input::DeviceInfo info) : fd_(fd), dev_(dev), info_(std::move(info)) {}
    ~EvdevReader() override {
        libevdev_free(dev_);
        ::close(fd_);
    }
    int fd() const override { return fd_; }
    const input::DeviceInfo& info() const override { return info_; }

    ReadResult next(input::InputEvent& out) override {
        input_event ev{};
        int rc;
        if (syncing_) {
            rc = libevdev_next_event(dev_, LIBEVDEV_READ_FLAG_SYNC, &ev);
            if (rc == LIBEVDEV_READ_STATUS_SYNC) return deliver(ev, out);
            syncing_ = false;  // -EAGAIN: the device state is current again
        }
        rc = libevdev_next_event(dev_, LIBEVDEV_READ_FLAG_NORMAL, &ev);
        if (rc == LIBEVDEV_READ_STATUS_SUCCESS) return deliver(ev, out);
        if (rc == LIBEVDEV_READ_STATUS_SYNC) {
            syncing_ = true;  // ev is the SYN_DROPPED
            return deliver(ev, out);
        }
        if (rc == -EAGAIN || rc == -EINTR) return ReadResult::empty;
        if (rc == -ENODEV) return ReadResult::gone;
        return ReadResult::failed;
    }

private:
    static ReadResult deliver(const input_event& ev, input::InputEvent& out) {
        out.time = double(ev.input_event_sec) + double(ev.input_event_usec) / 1e6;
        out.type = ev.type;
        out.code = ev.code;
        out.value = ev.value;
        return ReadResult::event;
    }

    int fd_;
    libevdev* dev_;
    input::DeviceInfo info_;
    bool syncing_ = false;
};

void describe(libevdev* dev, input::DeviceInfo& info) {
    info.name = libevdev_get_name(dev) ? libevdev_get_name(dev) : "";
    for (int code = 0; code < ABS_CNT; ++code) {
        if (!libevdev_has_event_code(dev, EV_ABS, code)) continue;
        info.absCodes.set(code);
        if (const input_absinfo* a = libevdev_get_abs_info(dev, code)) {
            info.abs[code] = {true, a->minimum, a->maximum, a->resolution};
        }
    }
    for (int code = 0; code < KEY_CNT; ++code) {
        if (libevdev_has_event_code(dev, EV_KEY, code)) info.keys.set(code);
    }
    for (int prop = 0; prop < INPUT_PROP_CNT; ++prop) {
        if (libevdev_has_property(dev, prop)) info.props.set(prop);
    }
    info.protocolA = info.hasAbs(ABS_MT_POSITION_X) && !info.hasAbs(ABS_MT_SLOT);
    info.bus = std::uint16_t(libevdev_get_id_bustype(dev));
    info.vendor = std::uint16_t(libevdev_get_id_vendor(dev));
    info.product = std::uint16_t(libevdev_get_id_product(dev));
    info.version = std::uint16_t(libevdev_get_id_version(dev));
    info.idsKnown = true;
    // What libinput's database knows of this touchpad on this machine.
    input::DeviceIdentity id = info.identity();
    id.uniq = libevdev_get_uniq(dev) ? libevdev_get_uniq(dev) : "";
    input::readMachineIdentity(id);
    info.quirks = input::QuirksDatabase::system().lookup(id);
}

class EvdevOpener : public TouchpadOpener {
public:
    Result<std::unique_ptr<TouchpadReader>> open(const TouchpadNode& node) override {
        int fd = ::open(node.devnode.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) return failure(errno);
        libevdev* dev = nullptr;
        int rc = libevdev_new_from_fd(fd, &dev);
        if (rc < 0) {
            ::close(fd);
            return failure(-rc);
        }
        // Event times on the monotonic clock: frame times then never jump with the wall clock.
        int clock = CLOCK_MONOTONIC;
        ::ioctl(fd, EVIOCSCLOCKID, &clock);
        input::DeviceInfo info;
        describe(dev, info);
        if (info.unusableReason()) {
            libevdev_free(dev);
            ::close(fd);
            return failure(ENOTSUP);
        }
        return std::unique_ptr<TouchpadReader>(std::make_unique<EvdevReader>(fd, dev, std::move(info)));
    }

private:
    static Error failure(int err) { return Error{std::strerror(err), err}; }
};

}  // namespace

std::unique_ptr<TouchpadDiscovery> makeUdevDiscovery() {
    return std::make_unique<UdevDiscovery>();
}
std::unique_ptr<TouchpadOpener> makeEvdevOpener() {
    return std::make_unique<EvdevOpener>();
}

}  // namespace trellick::evdev
