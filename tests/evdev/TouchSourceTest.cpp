// The live touch source over socket touchpads: frames on one touch thread, lost events on a
// descriptor, devices that vanish part way, hotplug, touchpads refused until access arrives,
// and stopping with no frame afterwards.

#include <gtest/gtest.h>

#include <atomic>

#include "FakeTouchpads.h"
#include "common/Log.h"
#include "gesture/MultitouchMonitor.h"
#include "platform/evdev/EvdevTouchSource.h"

namespace trellick::evdev::test {
namespace {

using Nodes = std::vector<TouchpadNode>;
using Plug = std::pair<std::string, bool>;

struct Rig {
    std::shared_ptr<SignallingQueue> queue = std::make_shared<SignallingQueue>();
    std::shared_ptr<Diagnostics> diagnostics = std::make_shared<Diagnostics>();
    FakeDiscovery* discovery;
    FakeOpener* opener;
    std::shared_ptr<EvdevTouchSource> source;
    FrameLog log;
    std::vector<Plug> hotplug;
    std::vector<std::string> warnings;

    explicit Rig(Nodes nodes, std::map<std::string, int> refuse = {}) {
        log::setSink([this](const std::string&, const std::string& m) { warnings.push_back(m); });
        auto d = std::make_unique<FakeDiscovery>(std::move(nodes));
        auto o = std::make_unique<FakeOpener>();
        o->refuse = std::move(refuse);
        discovery = d.get();
        opener = o.get();
        source = EvdevTouchSource::create(queue, diagnostics, {std::move(d), std::move(o), [] { return 500.0; }});
        source->setHotplugHandler([this](const TouchDevice& dev, bool added) { hotplug.emplace_back(dev.id, added); });
    }
    ~Rig() {
        source.reset();
        log::setSink(nullptr);
    }
    bool start(const std::string& id) { return source->startDevice({id, ""}, log.handlerFor(id)); }
    Pad& pad(const std::string& id) { return *opener->pads.at(id); }
};

const std::string kA = "/dev/input/event5", kB = "/dev/input/event6";

TEST(TouchSource, DeliversEveryDevicesFramesOnOneTouchThread) {
    Rig rig(Nodes{{kA, "Pad A"}, {kB, "Pad B"}});
    auto devices = rig.source->deviceList();
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0].name, "Pad A");
    ASSERT_TRUE(rig.start(kA));
    ASSERT_TRUE(rig.start(kB));
    EXPECT_FALSE(rig.start(kB));  // already running
    EXPECT_EQ(rig.opener->opens[kA], 1);  // the reader opened to list it is the one read

    rig.pad(kA).fingers(10.25, {{250, 250}, {750, 750}});
    rig.log.waitFor(1);
    rig.pad(kB).fingers(10.5, {{500, 0}});
    auto frames = rig.log.waitFor(2);
    ASSERT_EQ(frames.size(), 2u);
    ASSERT_EQ(frames[0].fingers.size(), 2u);
    EXPECT_FLOAT_EQ(frames[0].fingers[1].x, 0.75f);
    EXPECT_FLOAT_EQ(frames[0].fingers[1].y, 0.25f);
    EXPECT_DOUBLE_EQ(frames[0].time, 10.25);
    EXPECT_EQ(frames[1].device, kB);
    EXPECT_EQ(frames[0].thread, frames[1].thread);
    EXPECT_NE(frames[0].thread, std::this_thread::get_id());
}

TEST(TouchSource, LostEventsOnADescriptorGiveOneFrameOfTheResyncedState) {
    Rig rig(Nodes{{kA, "Pad"}});
    rig.source->deviceList();
    ASSERT_TRUE(rig.start(kA));
    rig.pad(kA).fingers(1.0, {{100, 100}, {200, 100}});
    // A packet cut short, SYN_DROPPED, then the resync: slot 1 lifted, slot 0 moved.
    rig.pad(kA).abs(1.1, ABS_MT_SLOT, 0).abs(1.1, ABS_MT_POSITION_X, 150).ev(1.2, EV_SYN, SYN_DROPPED, 0);
    rig.pad(kA).abs(1.2, ABS_MT_POSITION_X, 400).abs(1.2, ABS_MT_SLOT, 1).abs(1.2, ABS_MT_TRACKING_ID, -1);
    rig.pad(kA).abs(1.2, ABS_MT_SLOT, 0).report(1.2).abs(1.3, ABS_MT_POSITION_X, 410).report(1.3);
    auto frames = rig.log.waitFor(3);
    ASSERT_EQ(frames.size(), 3u);
    ASSERT_EQ(frames[1].fingers.size(), 1u);
    EXPECT_FLOAT_EQ(frames[1].fingers[0].x, 0.4f);
    EXPECT_DOUBLE_EQ(frames[1].time, 1.2);
    EXPECT_FLOAT_EQ(frames[2].fingers[0].x, 0.41f);
}

TEST(TouchSource, ADeviceThatVanishesEndsItsGestureAndIsReportedGoneOnce) {
    Rig rig(Nodes{{kA, "Pad A"}, {kB, "Pad B"}});
    rig.source->deviceList();
    ASSERT_TRUE(rig.start(kA));
    ASSERT_TRUE(rig.start(kB));
    // ENODEV part way through a three-finger touch.
    rig.pad(kA).fingers(20.0, {{100, 100}, {200, 100}, {300, 100}}).unplug();
    auto frames = rig.log.waitFor(2);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_TRUE(frames[1].fingers.empty());  // as if the fingers lifted
    EXPECT_GE(frames[1].time, 20.0);
    ASSERT_TRUE(rig.queue->runUntil([&] { return !rig.hotplug.empty(); }));
    EXPECT_EQ(rig.hotplug, (std::vector<Plug>{{kA, false}}));

    // udev reports the removal before any read fails: the gesture still ends first, and the
    // read failure that follows reports nothing more.
    rig.pad(kB).fingers(21.0, {{500, 500}});
    rig.log.waitFor(3);
    rig.discovery->announce({TouchpadChange::Kind::removed, {kB, ""}});
    frames = rig.log.waitFor(4);
    ASSERT_EQ(frames.size(), 4u);
    EXPECT_TRUE(frames[3].fingers.empty());
    rig.pad(kB).close();
    ASSERT_TRUE(rig.queue->runUntil([&] { return rig.hotplug.size() >= 2; }));
    rig.queue->runPending();
    EXPECT_EQ(rig.hotplug, (std::vector<Plug>{{kA, false}, {kB, false}}));
}

TEST(TouchSource, ATouchpadPluggedInWhileRunningIsReportedAndStarts) {
    Rig rig(Nodes{});
    EXPECT_TRUE(rig.source->deviceList().empty());
    rig.discovery->announce({TouchpadChange::Kind::added, {"/dev/input/event9", "Bluetooth Trackpad"}});
    ASSERT_TRUE(rig.queue->runUntil([&] { return !rig.hotplug.empty(); }));
    EXPECT_EQ(rig.hotplug, (std::vector<Plug>{{"/dev/input/event9", true}}));
    ASSERT_TRUE(rig.start("/dev/input/event9"));
    rig.pad("/dev/input/event9").fingers(3.0, {{500, 500}});
    EXPECT_EQ(rig.log.waitFor(1).size(), 1u);
}

TEST(TouchSource, RefusedTouchpadsAreCountedExplainedOnceAndStartedWhenAccessArrives) {
    Rig rig(Nodes{{kA, "Pad A"}, {kB, "Pad B"}, {"/dev/input/event7", "Not a touchpad"}},
            {{kB, EACCES}, {"/dev/input/event7", ENOTSUP}});
    auto devices = rig.source->deviceList();
    ASSERT_EQ(devices.size(), 1u);
    ASSERT_TRUE(rig.start(kA));
    rig.queue->runPending();
    EXPECT_EQ(rig.diagnostics->touchpadsInaccessible.get(), 1);
    EXPECT_EQ(rig.source->inaccessible(), std::vector<std::string>{kB});
    ASSERT_EQ(rig.warnings.size(), 1u);
    for (const char* hint : {"/dev/input/event6", "TAG+=\"uaccess\"", "'input' group"}) {
        EXPECT_NE(rig.warnings[0].find(hint), std::string::npos) << hint;
    }
    rig.source->deviceList();  // asking again does not warn again
    EXPECT_FALSE(rig.start(kB));
    EXPECT_EQ(rig.warnings.size(), 1u);

    // Still refused: a rescan reports nothing.
    rig.source->rescan();
    EXPECT_TRUE(rig.hotplug.empty());
    // The rule is installed and udev re-triggered: the change event makes it readable.
    rig.opener->refuse.erase(kB);
    rig.discovery->announce({TouchpadChange::Kind::changed, {kB, "Pad B"}});
    ASSERT_TRUE(rig.queue->runUntil([&] { return !rig.hotplug.empty(); }));
    EXPECT_EQ(rig.hotplug, (std::vector<Plug>{{kB, true}}));
    rig.queue->runPending();
    EXPECT_EQ(rig.diagnostics->touchpadsInaccessible.get(), 0);
    EXPECT_TRUE(rig.start(kB));
}

TEST(TouchSource, ARescanFindsTouchpadsThatBecameReadable) {
    Rig rig(Nodes{{kA, "Pad"}}, {{kA, EPERM}});
    EXPECT_TRUE(rig.source->deviceList().empty());
    rig.opener->refuse.clear();
    rig.source->rescan();
    rig.queue->runPending();
    EXPECT_EQ(rig.hotplug, (std::vector<Plug>{{kA, true}}));
    EXPECT_EQ(rig.diagnostics->touchpadsInaccessible.get(), 0);
}

TEST(TouchSource, NoFrameIsDeliveredAfterStopDeviceReturns) {
    Rig rig(Nodes{{kA, "Pad"}});
    rig.source->deviceList();
    std::atomic<bool> stopped{false};
    std::atomic<int> late{0}, delivered{0};
    ASSERT_TRUE(rig.source->startDevice({kA, ""}, [&](const MTFinger*, int, double) {
        if (stopped) ++late;
        ++delivered;
    }));
    std::atomic<bool> writing{true};
    std::thread writer([&, pad = &rig.pad(kA)] {
        for (int i = 0; writing; ++i) pad->fingers(i * 0.01, {{i % 1000, 500}});
    });
    while (delivered < 50) std::this_thread::yield();
    rig.source->stopDevice({kA, ""});
    stopped = true;
    writing = false;
    writer.join();
    EXPECT_EQ(late, 0);
}

// The engine's state changes, made on the touch thread.
struct StateLog : GestureTrace {
    std::mutex m;
    std::condition_variable cv;
    std::vector<GestureState> states;
    void stateChanged(GestureState to) override {
        std::lock_guard lock(m);
        states.push_back(to);
        cv.notify_all();
    }
    bool waitFor(GestureState s) {
        std::unique_lock lock(m);
        return cv.wait_for(lock, std::chrono::seconds(10), [&] { return !states.empty() && states.back() == s; });
    }
};

TEST(TouchSource, TheEngineSeesAnUnpluggedTouchpadAsFingersLifting) {
    Rig rig(Nodes{{kA, "Pad"}});
    MemoryPreferencesStore prefs;
    fake::FakeLoginItemService loginItems;
    auto trace = std::make_shared<StateLog>();
    MultitouchMonitor::Collaborators c;
    c.settings = std::make_shared<SettingsStore>(prefs, loginItems);
    c.windowTracker = std::make_shared<fake::FakeSwitcher>(std::vector<std::string>{"a", "b"});
    c.hud = std::make_shared<fake::FakeHUD>();
    c.diagnostics = rig.diagnostics;
    c.mainQueue = rig.queue;
    c.touchDevices = rig.source;
    c.scrollBlocker = std::make_shared<fake::FakeScrollBlocker>();
    c.keyMonitor = std::make_shared<fake::FakeKeyMonitor>();
    c.haptics = std::make_shared<Haptics>(std::make_shared<fake::FakeHaptics>(), std::make_shared<fake::FakeClock>());
    c.trace = trace;
    auto monitor = MultitouchMonitor::create(std::move(c));
    ASSERT_TRUE(monitor->start());
    rig.queue->runPending();
    EXPECT_EQ(rig.diagnostics->multitouchDevicesActive.get(), 1);

    for (double t : {1.0, 1.02, 1.05, 1.08}) rig.pad(kA).fingers(t, {{400, 500}, {500, 520}, {600, 500}});
    ASSERT_TRUE(trace->waitFor(GestureState::active));
    rig.pad(kA).unplug();
    ASSERT_TRUE(trace->waitFor(GestureState::idle));
    ASSERT_TRUE(rig.queue->runUntil([&] { return monitor->devices().empty(); }));
    rig.queue->runPending();
    EXPECT_EQ(rig.diagnostics->multitouchDevicesActive.get(), 0);
    monitor->stop();
}

TEST(TouchLoop, AHandlerMayRemoveItsDeviceAndDestroyTheLoopOnTheTouchThread) {
    auto loop = std::make_shared<TouchLoop>([] { return 0.0; });
    auto [reader, pad] = Pad::make();
    std::atomic<int> calls{0};
    std::mutex m;
    std::condition_variable cv;
    bool destroyed = false;
    ASSERT_TRUE(loop->add("pad", std::move(reader), [&](const MTFinger*, int, double) {
        if (++calls > 1) return;
        loop->remove("pad");  // mid-delivery, on the touch thread
        loop.reset();         // and the last owner lets go here
        std::lock_guard lock(m);
        destroyed = true;
        cv.notify_all();
    }, nullptr));
    pad->fingers(1, {{1, 1}}).fingers(2, {{2, 2}}).fingers(3, {{3, 3}});
    std::unique_lock lock(m);
    ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(10), [&] { return destroyed; }));
    EXPECT_EQ(calls, 1);  // removed: the frames already written are not delivered
}

}  // namespace
}  // namespace trellick::evdev::test
