// The live touch source over socket touchpads: frames on one touch thread, lost events on a
// descriptor, devices that vanish part way or come back, touchpads refused until access
// arrives, stopping during a delivery, and the engine on the touch thread.

#include <gtest/gtest.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>

#include "../common/TestSupport.h"
#include "platform/evdev/EvdevTouchSource.h"
#include "simulation/VirtualTime.h"

namespace trellick::evdev {
namespace {

// A touchpad's events through a socket: packets keep each event whole, as a device node
// does; the "unplug" type (no kernel sends it) or a closed end is the device gone (ENODEV).
constexpr std::uint16_t kUnplug = 0xffff;

struct SocketReader : TouchpadReader {
    SocketReader(int fd, input::DeviceInfo info) : fd_(fd), info_(std::move(info)) {}
    ~SocketReader() override { ::close(fd_); }
    int fd() const override { return fd_; }
    const input::DeviceInfo& info() const override { return info_; }
    ReadResult next(input::InputEvent& ev) override {
        ssize_t n = ::read(fd_, &ev, sizeof ev);
        if (n < 0) return errno == EAGAIN ? ReadResult::empty : ReadResult::failed;
        return n == 0 || ev.type == kUnplug ? ReadResult::gone : ReadResult::event;
    }
    int fd_;
    input::DeviceInfo info_;
};

// The test's end of a socket touchpad (1000 x 1000 units, BTN_TOUCH).
struct Pad {
    int fd;
    ~Pad() { close(); }
    Pad& ev(double t, int type, int code, int value) {
        input::InputEvent e{t, std::uint16_t(type), std::uint16_t(code), value};
        [[maybe_unused]] ssize_t n = ::send(fd, &e, sizeof e, MSG_NOSIGNAL);  // no SIGPIPE once closed
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
        if (fd >= 0) ::close(fd);
        fd = -1;
    }

    static std::pair<std::unique_ptr<SocketReader>, std::unique_ptr<Pad>> make() {
        input::DeviceInfo d;
        d.abs[ABS_MT_POSITION_X] = d.abs[ABS_MT_POSITION_Y] = {true, 0, 1000, 0};
        d.keys.set(BTN_TOUCH);
        int fds[2];
        if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds) != 0) return {};
        return {std::make_unique<SocketReader>(fds[0], d), std::unique_ptr<Pad>(new Pad{fds[1]})};
    }
};

// udev stand-in: the listed nodes, and a monitor the test announces changes through.
struct FakeDiscovery : TouchpadDiscovery {
    explicit FakeDiscovery(std::vector<TouchpadNode> n) : nodes(std::move(n)) {}
    ~FakeDiscovery() override { ::close(fd); }
    std::vector<TouchpadNode> enumerate() override { return nodes; }  // main thread, as announce()
    int monitorFd() const override { return fd; }
    std::vector<TouchpadChange> receiveChanges() override {
        std::uint64_t count;
        [[maybe_unused]] ssize_t n = ::read(fd, &count, sizeof count);
        std::lock_guard lock(m);
        return std::exchange(changes, {});
    }
    void announce(TouchpadChange c) {
        if (c.kind == TouchpadChange::Kind::added) nodes.push_back(c.node);
        std::lock_guard lock(m);
        changes.push_back(std::move(c));
        std::uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(fd, &one, sizeof one);
    }
    int fd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    std::mutex m;
    std::vector<TouchpadNode> nodes;
    std::vector<TouchpadChange> changes;
};

// Opens socket touchpads; a node can be made to refuse with an errno. Main thread only.
struct FakeOpener : TouchpadOpener {
    Result<std::unique_ptr<TouchpadReader>> open(const TouchpadNode& node) override {
        ++opens[node.devnode];
        if (auto e = refuse.find(node.devnode); e != refuse.end()) return Error{std::strerror(e->second), e->second};
        auto [reader, pad] = Pad::make();
        pads[node.devnode] = std::move(pad);
        return std::unique_ptr<TouchpadReader>(std::move(reader));
    }
    std::map<std::string, int> refuse, opens;
    std::map<std::string, std::unique_ptr<Pad>> pads;
};

using Nodes = std::vector<TouchpadNode>;
using Plugs = std::vector<std::pair<std::string, bool>>;

struct Rig {
    struct Delivered {
        std::string device;
        std::vector<TouchContact> fingers;
        double time;
        std::thread::id thread;
    };
    std::shared_ptr<sim::VirtualTime> queue = std::make_shared<sim::VirtualTime>();
    std::shared_ptr<Diagnostics> diagnostics = std::make_shared<Diagnostics>();
    test::Warnings warnings;
    std::mutex m;
    std::vector<Delivered> delivered;  // on the touch thread
    Plugs hotplug;
    FakeDiscovery* discovery;
    FakeOpener* opener;
    std::shared_ptr<EvdevTouchSource> source;  // last: its touch thread stops before the rest goes

    explicit Rig(Nodes nodes, std::map<std::string, int> refuse = {}) {
        auto d = std::make_unique<FakeDiscovery>(std::move(nodes));
        auto o = std::make_unique<FakeOpener>();
        o->refuse = std::move(refuse);
        discovery = d.get();
        opener = o.get();
        source = EvdevTouchSource::create(queue, diagnostics, {std::move(d), std::move(o), [] { return 500.0; }});
        source->setHotplugHandler([this](const TouchDevice& dev, bool added) { hotplug.emplace_back(dev.id, added); });
    }
    bool start(const std::string& id) {
        return source->startDevice({id, ""}, [this, id](const TouchContact* f, int n, double t) {
            std::lock_guard lock(m);
            delivered.push_back({id, std::vector<TouchContact>(f, f + n), t, std::this_thread::get_id()});
        });
    }
    Pad& pad(const std::string& id) { return *opener->pads.at(id); }
    std::vector<Delivered> frames(std::size_t n) {
        auto copy = [&] {
            std::lock_guard lock(m);
            return delivered;
        };
        until([&] { return copy().size() >= n; });
        return copy();
    }
    bool until(const std::function<bool()>& done) {
        return test::waitFor(done, 10, [this] { queue->runReady(); });
    }
};

const std::string kA = "/dev/input/event5", kB = "/dev/input/event6";

TEST(TouchSource, TwoTouchpadsReadOnOneThreadThroughUnplugsAndAReconnect) {
    Rig rig(Nodes{{kA, "Pad A"}, {kB, "Pad B"}});
    ASSERT_EQ(rig.source->deviceList().size(), 2u);
    ASSERT_TRUE(rig.start(kA));
    ASSERT_TRUE(rig.start(kB));
    EXPECT_FALSE(rig.start(kB));          // already running
    EXPECT_EQ(rig.opener->opens[kA], 1);  // the reader opened to list it is the one read

    rig.pad(kA).fingers(10.25, {{250, 250}, {750, 750}});
    rig.frames(1);
    rig.pad(kB).fingers(10.5, {{500, 0}});
    rig.frames(2);
    rig.pad(kA).abs(11.2, ABS_MT_SLOT, 1).abs(11.2, ABS_MT_TRACKING_ID, -1).report(11.2);
    // Then ENODEV with a finger still down: the gesture ends as if it lifted.
    rig.pad(kA).unplug();
    auto frames = rig.frames(4);
    ASSERT_EQ(frames.size(), 4u);
    ASSERT_EQ(frames[0].fingers.size(), 2u);
    EXPECT_FLOAT_EQ(frames[0].fingers[1].x, 0.75f);
    EXPECT_FLOAT_EQ(frames[0].fingers[1].y, 0.25f);
    EXPECT_DOUBLE_EQ(frames[0].time, 10.25);
    EXPECT_EQ(frames[1].device, kB);
    EXPECT_EQ(frames[2].fingers.size(), 1u);
    EXPECT_TRUE(frames[3].fingers.empty());
    EXPECT_GE(frames[3].time, 11.2);
    for (const auto& f : frames) EXPECT_EQ(f.thread, frames[0].thread);
    EXPECT_NE(frames[0].thread, std::this_thread::get_id());
    ASSERT_TRUE(rig.until([&] { return !rig.hotplug.empty(); }));
    EXPECT_EQ(rig.hotplug, (Plugs{{kA, false}}));

    // udev reports B's removal before any read fails: its gesture still ends first, and the
    // read failure that follows reports nothing more.
    rig.discovery->announce({TouchpadChange::Kind::removed, {kB, ""}});
    frames = rig.frames(5);
    ASSERT_EQ(frames.size(), 5u);
    EXPECT_EQ(frames[4].device, kB);
    EXPECT_TRUE(frames[4].fingers.empty());
    rig.pad(kB).close();
    ASSERT_TRUE(rig.until([&] { return rig.hotplug.size() >= 2; }));

    // A Bluetooth touchpad reconnecting: reported, started, read, without a restart.
    rig.discovery->announce({TouchpadChange::Kind::added, {kA, "Pad A"}});
    ASSERT_TRUE(rig.until([&] { return rig.hotplug.size() >= 3; }));
    EXPECT_EQ(rig.hotplug, (Plugs{{kA, false}, {kB, false}, {kA, true}}));
    ASSERT_TRUE(rig.start(kA));
    rig.pad(kA).fingers(30.0, {{500, 500}});
    EXPECT_DOUBLE_EQ(rig.frames(6).back().time, 30.0);
}

TEST(TouchSource, RefusedTouchpadsAreCountedExplainedOnceAndStartedWhenAccessArrives) {
    const std::string kC = "/dev/input/event8";
    Rig rig(Nodes{{kA, "Pad A"}, {kB, "Pad B"}, {kC, "Pad C"}, {"/dev/input/event7", "Not a touchpad"}},
            {{kB, EACCES}, {kC, EPERM}, {"/dev/input/event7", ENOTSUP}});
    ASSERT_EQ(rig.source->deviceList().size(), 1u);
    ASSERT_TRUE(rig.start(kA));
    rig.queue->runReady();
    EXPECT_EQ(rig.diagnostics->touchpadsInaccessible.get(), 2);
    EXPECT_EQ(rig.source->inaccessible(), (std::vector<std::string>{kB, kC}));
    ASSERT_EQ(rig.warnings.size(), 1u);
    for (const char* hint : {"/dev/input/event6", "TAG+=\"uaccess\"", "ENV{ID_INPUT_KEYBOARD}!=\"1\""}) {
        EXPECT_NE(rig.warnings[0].find(hint), std::string::npos) << hint;
    }
    // Joining the input group would let every program of the user read every keyboard.
    EXPECT_EQ(rig.warnings[0].find("group"), std::string::npos) << rig.warnings[0];
    rig.source->deviceList();  // asking again does not warn again
    EXPECT_FALSE(rig.start(kB));
    EXPECT_EQ(rig.warnings.size(), 1u);
    rig.source->rescan();  // still refused: nothing to report
    EXPECT_TRUE(rig.hotplug.empty());

    // The rule is installed and udev re-triggered: the change event makes B readable.
    rig.opener->refuse.erase(kB);
    rig.discovery->announce({TouchpadChange::Kind::changed, {kB, "Pad B"}});
    ASSERT_TRUE(rig.until([&] { return !rig.hotplug.empty(); }));
    EXPECT_EQ(rig.hotplug, (Plugs{{kB, true}}));
    EXPECT_TRUE(rig.start(kB));
    // Access given otherwise (an administrator's own rule): the shell's rescan finds C.
    rig.opener->refuse.erase(kC);
    rig.source->rescan();
    rig.queue->runReady();
    EXPECT_EQ(rig.hotplug, (Plugs{{kB, true}, {kC, true}}));
    EXPECT_EQ(rig.diagnostics->touchpadsInaccessible.get(), 0);
}

TEST(TouchSource, NoTouchpadOrNoneThatOpensIsExplainedOnceWhateverTheRetries) {
    struct Case {
        Nodes nodes;
        std::map<std::string, int> refuse;
        const char* says;
    };
    for (const auto& c : {Case{{}, {}, "ID_INPUT_TOUCHPAD=1"},
                          Case{{{kA, "Pad A"}}, {{kA, ENOTSUP}}, "/dev/input/event5 (Operation not supported)"}}) {
        Rig rig(c.nodes, c.refuse);
        for (int retry = 0; retry < 3; ++retry) EXPECT_TRUE(rig.source->deviceList().empty());
        ASSERT_EQ(rig.warnings.size(), 1u) << c.says;
        EXPECT_NE(rig.warnings[0].find(c.says), std::string::npos) << rig.warnings[0];
    }
}

TEST(TouchSource, StopDeviceWaitsForADeliveryInProgressAndNoFrameFollows) {
    Rig rig(Nodes{{kA, "Pad"}});
    rig.source->deviceList();
    std::atomic<int> calls{0};
    std::atomic<bool> stopping{false}, stopped{false}, early{false}, late{false}, done{false};
    ASSERT_TRUE(rig.source->startDevice({kA, ""}, [&](const TouchContact*, int, double) {
        late = late || stopped;
        if (calls++ > 0) return;
        while (!stopping) std::this_thread::yield();
        // Still delivering while stopDevice runs: it must not return before this delivery ends.
        for (int i = 0; i < 100 && !stopped; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        early = stopped.load();
        done = true;
    }));
    rig.pad(kA).fingers(1, {{100, 100}}).fingers(2, {{200, 200}}).fingers(3, {{300, 300}});
    while (calls == 0) std::this_thread::yield();
    stopping = true;
    rig.source->stopDevice({kA, ""});
    stopped = true;
    while (!done) std::this_thread::yield();
    EXPECT_FALSE(early);
    EXPECT_FALSE(late);
}

TEST(TouchLoop, AHandlerMayRemoveItsDeviceAndDestroyTheLoopOnTheTouchThread) {
    auto loop = std::make_shared<TouchLoop>([] { return 0.0; });
    auto [reader, pad] = Pad::make();
    std::atomic<int> calls{0};
    std::atomic<bool> destroyed{false};
    ASSERT_TRUE(loop->add(
        "pad", std::move(reader),
        [&](const TouchContact*, int, double) {
            if (++calls > 1) return;
            loop->remove("pad");  // mid-delivery, on the touch thread
            loop.reset();         // and the last owner lets go here
            destroyed = true;
        },
        nullptr));
    pad->fingers(1, {{1, 1}}).fingers(2, {{2, 2}}).fingers(3, {{3, 3}});
    ASSERT_TRUE(test::waitFor([&] { return destroyed.load(); }, 10));
    EXPECT_EQ(calls, 1);  // removed: the frames already written are not delivered
}

}  // namespace
}  // namespace trellick::evdev
