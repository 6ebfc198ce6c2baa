#pragma once
// Touchpads made of sockets: the test writes kernel input events into one end and the touch
// thread reads them back through the TouchpadReader interface, with the same readiness
// signalling as a device node. Closing the test's end, or writing an "unplug" record, makes
// the device go away (ENODEV).

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

#include "platform/MainQueue.h"
#include "platform/evdev/TouchpadBackend.h"
#include "platform/fake/Fakes.h"

namespace trellick::evdev::test {

inline constexpr std::uint16_t kUnplug = 0xffff;  // a record type no kernel sends
inline constexpr std::uint16_t kReadError = 0xfffe;

// What the pipe carries: like the kernel's input_event, with a plain double time.
struct Record {
    double time;
    std::uint16_t type, code;
    std::int32_t value;
};

inline input::DeviceInfo padInfo() {
    input::DeviceInfo d;
    d.name = "Pipe Touchpad";
    d.abs[ABS_MT_POSITION_X] = {true, 0, 1000, 0};
    d.abs[ABS_MT_POSITION_Y] = {true, 0, 1000, 0};
    d.absCodes.set(ABS_MT_SLOT);
    d.absCodes.set(ABS_MT_POSITION_X);
    d.absCodes.set(ABS_MT_POSITION_Y);
    d.keys.set(BTN_TOUCH);
    return d;
}

class PipeReader : public TouchpadReader {
public:
    PipeReader(int readFd, input::DeviceInfo info) : fd_(readFd), info_(std::move(info)) {}
    ~PipeReader() override { ::close(fd_); }
    int fd() const override { return fd_; }
    const input::DeviceInfo& info() const override { return info_; }
    ReadResult next(input::InputEvent& ev) override {
        if (gone_) return ReadResult::gone;
        Record r;
        ssize_t n = ::read(fd_, &r, sizeof r);
        if (n < 0) return errno == EAGAIN ? ReadResult::empty : ReadResult::failed;
        if (n == 0 || r.type == kUnplug) {
            gone_ = true;
            return ReadResult::gone;
        }
        if (r.type == kReadError) return ReadResult::failed;
        ev = {r.time, r.type, r.code, r.value};
        return ReadResult::event;
    }

private:
    int fd_;
    input::DeviceInfo info_;
    bool gone_ = false;
};

// The test's end of a pipe touchpad.
class PadWriter {
public:
    explicit PadWriter(int fd) : fd_(fd) {}
    ~PadWriter() { close(); }
    PadWriter& ev(double t, int type, int code, int value) {
        Record r{t, std::uint16_t(type), std::uint16_t(code), value};
        // No SIGPIPE once the source has closed its end.
        [[maybe_unused]] ssize_t n = ::send(fd_, &r, sizeof r, MSG_NOSIGNAL);
        return *this;
    }
    PadWriter& abs(double t, int code, int value) { return ev(t, EV_ABS, code, value); }
    PadWriter& report(double t) { return ev(t, EV_SYN, SYN_REPORT, 0); }
    // A frame of fingers in slots 0..n-1 at the given device positions, BTN_TOUCH down.
    PadWriter& fingers(double t, std::vector<std::pair<int, int>> pts, int firstId = 100) {
        for (std::size_t i = 0; i < pts.size(); ++i) {
            abs(t, ABS_MT_SLOT, int(i)).abs(t, ABS_MT_TRACKING_ID, firstId + int(i));
            abs(t, ABS_MT_POSITION_X, pts[i].first).abs(t, ABS_MT_POSITION_Y, pts[i].second);
        }
        ev(t, EV_KEY, BTN_TOUCH, pts.empty() ? 0 : 1);
        return report(t);
    }
    PadWriter& unplug() { return ev(0, kUnplug, 0, 0); }
    void close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_;
};

// Makes a socket touchpad: the reader for the source, the writer for the test. Packets keep
// each record whole, as a device node does.
inline std::pair<std::unique_ptr<PipeReader>, std::unique_ptr<PadWriter>> makePad(input::DeviceInfo info = padInfo()) {
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds) != 0) return {};
    return {std::make_unique<PipeReader>(fds[0], std::move(info)), std::make_unique<PadWriter>(fds[1])};
}

// udev stand-in: the listed nodes, and a monitor fed by the test.
class FakeDiscovery : public TouchpadDiscovery {
public:
    FakeDiscovery() {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
            readFd_ = fds[0];
            writeFd_ = fds[1];
        }
    }
    ~FakeDiscovery() override {
        ::close(readFd_);
        ::close(writeFd_);
    }
    std::vector<TouchpadNode> enumerate() override {
        std::lock_guard lock(m_);
        return nodes;
    }
    int monitorFd() const override { return readFd_; }
    std::vector<TouchpadChange> receiveChanges() override {
        char buf[64];
        while (::read(readFd_, buf, sizeof buf) > 0) {
        }
        std::lock_guard lock(m_);
        std::vector<TouchpadChange> out(changes_.begin(), changes_.end());
        changes_.clear();
        return out;
    }
    // Announces a change through the monitor (and updates the node list to match).
    void announce(TouchpadChange change) {
        {
            std::lock_guard lock(m_);
            if (change.kind == TouchpadChange::Kind::added) nodes.push_back(change.node);
            if (change.kind == TouchpadChange::Kind::removed) {
                std::erase_if(nodes, [&](auto& n) { return n.devnode == change.node.devnode; });
            }
            changes_.push_back(std::move(change));
        }
        char one = 1;
        [[maybe_unused]] ssize_t n = ::write(writeFd_, &one, 1);
    }
    void setNodes(std::vector<TouchpadNode> n) {
        std::lock_guard lock(m_);
        nodes = std::move(n);
    }

private:
    std::mutex m_;
    std::vector<TouchpadNode> nodes;
    std::deque<TouchpadChange> changes_;
    int readFd_ = -1, writeFd_ = -1;
};

// Opens pipe touchpads; a node can be made to refuse with an errno.
class FakeOpener : public TouchpadOpener {
public:
    Opened open(const TouchpadNode& node) override {
        std::lock_guard lock(m_);
        ++opens[node.devnode];
        if (auto e = refuse.find(node.devnode); e != refuse.end()) return {nullptr, e->second};
        auto [reader, writer] = makePad();
        writers[node.devnode] = std::move(writer);
        return {std::move(reader), 0};
    }
    PadWriter& pad(const std::string& devnode) {
        std::lock_guard lock(m_);
        return *writers.at(devnode);
    }
    std::map<std::string, int> refuse;
    std::map<std::string, int> opens;

private:
    std::mutex m_;
    std::map<std::string, std::unique_ptr<PadWriter>> writers;
};

// A main queue on virtual time that wakes a waiting test when work is posted.
class SignallingQueue : public MainQueue {
public:
    SignallingQueue() : clock_(std::make_shared<fake::FakeClock>()), queue_(clock_) {}
    void post(std::function<void()> fn) override {
        queue_.post(std::move(fn));
        signal();
    }
    void postAfter(double s, std::function<void()> fn) override {
        queue_.postAfter(s, std::move(fn));
        signal();
    }
    int runPending() { return queue_.runPending(); }
    // Runs posted work as it comes until `done` holds. False if it still does not after a
    // generous wait (the touch thread never posted what was expected).
    template <typename Pred>
    bool runUntil(Pred done) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        for (;;) {
            queue_.runPending();
            if (done()) return true;
            std::unique_lock lock(m_);
            if (!cv_.wait_until(lock, deadline, [&] { return posted_ > 0; })) return false;
            posted_ = 0;
        }
    }

private:
    void signal() {
        std::lock_guard lock(m_);
        ++posted_;
        cv_.notify_all();
    }
    std::shared_ptr<fake::FakeClock> clock_;
    fake::FakeMainQueue queue_;
    std::mutex m_;
    std::condition_variable cv_;
    int posted_ = 0;
};

// Collects frames delivered on the touch thread; the test waits for them.
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
    // Waits (bounded) until at least n frames arrived.
    bool waitFor(std::size_t n) {
        std::unique_lock lock(m);
        return cv.wait_for(lock, std::chrono::seconds(10), [&] { return frames.size() >= n; });
    }
    std::vector<Entry> snapshot() {
        std::lock_guard lock(m);
        return frames;
    }
};

}  // namespace trellick::evdev::test
