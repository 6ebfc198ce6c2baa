#pragma once
// Touchpads made of sockets: the test writes input events into one end, the touch thread
// reads them through the TouchpadReader interface with a device node's readiness signalling.
// Closing the test's end, or writing an "unplug" record, is the device going away (ENODEV).

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

#include "platform/evdev/TouchpadBackend.h"
#include "platform/fake/Fakes.h"

namespace trellick::evdev::test {

struct Record {
    double time;
    std::uint16_t type, code;
    std::int32_t value;
};
inline constexpr std::uint16_t kUnplug = 0xffff;  // a type no kernel sends

class SocketReader : public TouchpadReader {
public:
    SocketReader(int fd, input::DeviceInfo info) : fd_(fd), info_(std::move(info)) {}
    ~SocketReader() override { ::close(fd_); }
    int fd() const override { return fd_; }
    const input::DeviceInfo& info() const override { return info_; }
    ReadResult next(input::InputEvent& ev) override {
        Record r;
        ssize_t n = ::read(fd_, &r, sizeof r);
        if (n < 0) return errno == EAGAIN ? ReadResult::empty : ReadResult::failed;
        if (n == 0 || r.type == kUnplug) return ReadResult::gone;
        ev = {r.time, r.type, r.code, r.value};
        return ReadResult::event;
    }

private:
    int fd_;
    input::DeviceInfo info_;
};

// The test's end of a socket touchpad (1000 x 1000 units, BTN_TOUCH).
class Pad {
public:
    explicit Pad(int fd) : fd_(fd) {}
    ~Pad() { close(); }
    Pad& ev(double t, int type, int code, int value) {
        Record r{t, std::uint16_t(type), std::uint16_t(code), value};
        [[maybe_unused]] ssize_t n = ::send(fd_, &r, sizeof r, MSG_NOSIGNAL);  // no SIGPIPE once closed
        return *this;
    }
    Pad& abs(double t, int code, int value) { return ev(t, EV_ABS, code, value); }
    Pad& report(double t) { return ev(t, EV_SYN, SYN_REPORT, 0); }
    // A frame with fingers in slots 0..n-1 at the given device positions.
    Pad& fingers(double t, std::vector<std::pair<int, int>> pts) {
        for (std::size_t i = 0; i < pts.size(); ++i) {
            abs(t, ABS_MT_SLOT, int(i)).abs(t, ABS_MT_TRACKING_ID, 100 + int(i));
            abs(t, ABS_MT_POSITION_X, pts[i].first).abs(t, ABS_MT_POSITION_Y, pts[i].second);
        }
        return ev(t, EV_KEY, BTN_TOUCH, pts.empty() ? 0 : 1).report(t);
    }
    Pad& unplug() { return ev(0, kUnplug, 0, 0); }
    void close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

    static std::pair<std::unique_ptr<SocketReader>, std::unique_ptr<Pad>> make() {
        input::DeviceInfo d;
        d.abs[ABS_MT_POSITION_X] = {true, 0, 1000, 0};
        d.abs[ABS_MT_POSITION_Y] = {true, 0, 1000, 0};
        d.keys.set(BTN_TOUCH);
        int fds[2];  // packets keep records whole, as a device node does
        if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds) != 0) return {};
        return {std::make_unique<SocketReader>(fds[0], d), std::make_unique<Pad>(fds[1])};
    }

private:
    int fd_;
};

// udev stand-in: the listed nodes, and a monitor the test announces changes through.
class FakeDiscovery : public TouchpadDiscovery {
public:
    explicit FakeDiscovery(std::vector<TouchpadNode> nodes) : nodes_(std::move(nodes)) {
        if (::pipe2(fds_, O_CLOEXEC | O_NONBLOCK) != 0) fds_[0] = fds_[1] = -1;
    }
    ~FakeDiscovery() override {
        ::close(fds_[0]);
        ::close(fds_[1]);
    }
    std::vector<TouchpadNode> enumerate() override {
        std::lock_guard lock(m_);
        return nodes_;
    }
    int monitorFd() const override { return fds_[0]; }
    std::vector<TouchpadChange> receiveChanges() override {
        char buf[64];
        while (::read(fds_[0], buf, sizeof buf) > 0) {
        }
        std::lock_guard lock(m_);
        return std::exchange(changes_, {});
    }
    void announce(TouchpadChange c) {
        {
            std::lock_guard lock(m_);
            if (c.kind == TouchpadChange::Kind::added) nodes_.push_back(c.node);
            changes_.push_back(std::move(c));
        }
        [[maybe_unused]] ssize_t n = ::write(fds_[1], "x", 1);
    }

private:
    std::mutex m_;
    std::vector<TouchpadNode> nodes_;
    std::vector<TouchpadChange> changes_;
    int fds_[2];
};

// Opens socket touchpads; a node can be made to refuse with an errno. Main thread only.
class FakeOpener : public TouchpadOpener {
public:
    Opened open(const TouchpadNode& node) override {
        ++opens[node.devnode];
        if (auto e = refuse.find(node.devnode); e != refuse.end()) return {nullptr, e->second};
        auto [reader, pad] = Pad::make();
        pads[node.devnode] = std::move(pad);
        return {std::move(reader), 0};
    }
    std::map<std::string, int> refuse, opens;
    std::map<std::string, std::unique_ptr<Pad>> pads;
};

// A main queue whose posts wake the waiting test; it runs them on its own thread.
class SignallingQueue : public MainQueue {
public:
    void post(std::function<void()> fn) override {
        queue_.post(std::move(fn));
        std::lock_guard lock(m_);
        cv_.notify_all();
    }
    void postAfter(double, std::function<void()> fn) override { post(std::move(fn)); }
    void runPending() { queue_.runPending(); }
    // Runs posted work as it comes until `done` holds; false after a generous wait.
    template <typename Pred>
    bool runUntil(Pred done) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        for (;;) {
            queue_.runPending();
            if (done()) return true;
            std::unique_lock lock(m_);
            if (queue_.pendingCount() == 0 && cv_.wait_until(lock, deadline) == std::cv_status::timeout) return false;
        }
    }

private:
    fake::FakeMainQueue queue_{std::make_shared<fake::FakeClock>()};
    std::mutex m_;
    std::condition_variable cv_;
};

// Frames delivered on the touch thread, for the test to wait on.
struct FrameLog {
    struct Entry {
        std::string device;
        std::vector<MTFinger> fingers;
        double time;
        std::thread::id thread;
    };
    std::mutex m;
    std::condition_variable cv;
    std::vector<Entry> frames;

    FrameHandler handlerFor(const std::string& device) {
        return [this, device](const MTFinger* f, int n, double t) {
            std::lock_guard lock(m);
            frames.push_back({device, std::vector<MTFinger>(f, f + n), t, std::this_thread::get_id()});
            cv.notify_all();
        };
    }
    std::vector<Entry> waitFor(std::size_t n) {
        std::unique_lock lock(m);
        cv.wait_for(lock, std::chrono::seconds(10), [&] { return frames.size() >= n; });
        return frames;
    }
};

}  // namespace trellick::evdev::test
