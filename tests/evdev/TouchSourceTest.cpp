// The live touch source over pipe touchpads: frames on one touch thread, lost events on a
// descriptor, devices that vanish part way, hotplug, touchpads that refuse to open until
// access is granted, and stopping with no frame afterwards.

#include <gtest/gtest.h>

#include <atomic>

#include "FakeTouchpads.h"
#include "common/Log.h"
#include "gesture/MultitouchMonitor.h"
#include "platform/evdev/EvdevTouchSource.h"
#include "platform/evdev/TouchLoop.h"

namespace trellick::evdev::test {
namespace {

using Nodes = std::vector<TouchpadNode>;

struct Rig {
    std::shared_ptr<SignallingQueue> queue = std::make_shared<SignallingQueue>();
    std::shared_ptr<Diagnostics> diagnostics = std::make_shared<Diagnostics>();
    FakeDiscovery* discovery;
    FakeOpener* opener;
    std::shared_ptr<EvdevTouchSource> source;
    FrameLog log;
    std::vector<std::pair<std::string, bool>> hotplug;
    std::vector<std::string> warnings;

    explicit Rig(std::vector<TouchpadNode> nodes = {{"/dev/input/event5", "Pad A"}, {"/dev/input/event6", "Pad B"}},
                 std::map<std::string, int> refuse = {}) {
        log::setSink([this](const std::string&, const std::string& m) { warnings.push_back(m); });
        auto d = std::make_unique<FakeDiscovery>();
        auto o = std::make_unique<FakeOpener>();
        d->setNodes(std::move(nodes));
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
};

TEST(TouchSource, DeliversEveryDevicesFramesOnOneTouchThread) {
    Rig rig;
    auto devices = rig.source->deviceList();
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0].id, "/dev/input/event5");
    EXPECT_EQ(devices[0].name, "Pad A");
    ASSERT_TRUE(rig.start("/dev/input/event5"));
    ASSERT_TRUE(rig.start("/dev/input/event6"));
    EXPECT_FALSE(rig.start("/dev/input/event6"));  // already running

    rig.opener->pad("/dev/input/event5").fingers(10.25, {{250, 250}, {750, 750}});
    ASSERT_TRUE(rig.log.waitFor(1));
    rig.opener->pad("/dev/input/event6").fingers(10.5, {{500, 0}});
    ASSERT_TRUE(rig.log.waitFor(2));

    auto frames = rig.log.snapshot();
    EXPECT_EQ(frames[0].device, "/dev/input/event5");
    ASSERT_EQ(frames[0].fingers.size(), 2u);
    EXPECT_FLOAT_EQ(frames[0].fingers[1].x, 0.75f);
    EXPECT_FLOAT_EQ(frames[0].fingers[1].y, 0.25f);
    EXPECT_DOUBLE_EQ(frames[0].time, 10.25);
    EXPECT_EQ(frames[1].device, "/dev/input/event6");
    EXPECT_FLOAT_EQ(frames[1].fingers[0].y, 1.0f);
    EXPECT_EQ(frames[0].thread, frames[1].thread);
    EXPECT_NE(frames[0].thread, std::this_thread::get_id());
}

TEST(TouchSource, LostEventsOnADescriptorGiveOneFrameOfTheResyncedState) {
    Rig rig(Nodes{{"/dev/input/event5", "Pad"}});
    rig.source->deviceList();
    ASSERT_TRUE(rig.start("/dev/input/event5"));
    auto& pad = rig.opener->pad("/dev/input/event5");
    pad.fingers(1.0, {{100, 100}, {200, 100}});
    // A packet cut short, SYN_DROPPED, then the resync: slot 1 lifted, slot 0 moved.
    pad.abs(1.1, ABS_MT_SLOT, 0).abs(1.1, ABS_MT_POSITION_X, 150);
    pad.ev(1.2, EV_SYN, SYN_DROPPED, 0);
    pad.abs(1.2, ABS_MT_SLOT, 0).abs(1.2, ABS_MT_POSITION_X, 400).abs(1.2, ABS_MT_SLOT, 1).abs(1.2, ABS_MT_TRACKING_ID, -1);
    pad.abs(1.2, ABS_MT_SLOT, 0).report(1.2);
    pad.abs(1.3, ABS_MT_POSITION_X, 410).report(1.3);
    ASSERT_TRUE(rig.log.waitFor(3));
    auto frames = rig.log.snapshot();
    ASSERT_EQ(frames.size(), 3u);
    ASSERT_EQ(frames[1].fingers.size(), 1u);
    EXPECT_FLOAT_EQ(frames[1].fingers[0].x, 0.4f);
    EXPECT_DOUBLE_EQ(frames[1].time, 1.2);
    EXPECT_FLOAT_EQ(frames[2].fingers[0].x, 0.41f);
}

TEST(TouchSource, ADeviceThatVanishesPartWayEndsItsGestureAndIsReportedGone) {
    Rig rig;
    rig.source->deviceList();
    ASSERT_TRUE(rig.start("/dev/input/event5"));
    ASSERT_TRUE(rig.start("/dev/input/event6"));
    rig.opener->pad("/dev/input/event5").fingers(20.0, {{100, 100}, {200, 100}, {300, 100}}).unplug();
    ASSERT_TRUE(rig.log.waitFor(2));
    auto frames = rig.log.snapshot();
    EXPECT_EQ(frames[0].fingers.size(), 3u);
    EXPECT_TRUE(frames[1].fingers.empty());  // as if the fingers lifted
    EXPECT_GE(frames[1].time, 20.0);
    ASSERT_TRUE(rig.queue->runUntil([&] { return !rig.hotplug.empty(); }));
    EXPECT_EQ(rig.hotplug, (std::vector<std::pair<std::string, bool>>{{"/dev/input/event5", false}}));

    // A device closed with no finger down goes quietly: no extra frame, still reported.
    rig.opener->pad("/dev/input/event6").close();
    ASSERT_TRUE(rig.queue->runUntil([&] { return rig.hotplug.size() == 2; }));
    EXPECT_EQ(rig.hotplug.back(), (std::pair<std::string, bool>{"/dev/input/event6", false}));
    EXPECT_EQ(rig.log.snapshot().size(), 2u);

    // Gone means gone: starting it again opens it afresh.
    EXPECT_TRUE(rig.start("/dev/input/event5"));
    EXPECT_EQ(rig.opener->opens["/dev/input/event5"], 2);
}

TEST(TouchSource, ReportsTouchpadsPluggedInAndUnpluggedWhileRunning) {
    Rig rig(Nodes{});
    EXPECT_TRUE(rig.source->deviceList().empty());
    rig.discovery->announce({TouchpadChange::Kind::added, {"/dev/input/event9", "Bluetooth Trackpad"}});
    ASSERT_TRUE(rig.queue->runUntil([&] { return !rig.hotplug.empty(); }));
    ASSERT_EQ(rig.hotplug.size(), 1u);
    EXPECT_EQ(rig.hotplug[0], (std::pair<std::string, bool>{"/dev/input/event9", true}));
    ASSERT_TRUE(rig.start("/dev/input/event9"));
    EXPECT_EQ(rig.opener->opens["/dev/input/event9"], 1);  // the reader opened to probe it is the one used

    // udev says it left before any read failed: the gesture still ends first.
    rig.opener->pad("/dev/input/event9").fingers(3.0, {{500, 500}});
    ASSERT_TRUE(rig.log.waitFor(1));
    rig.discovery->announce({TouchpadChange::Kind::removed, {"/dev/input/event9", ""}});
    ASSERT_TRUE(rig.log.waitFor(2));
    EXPECT_TRUE(rig.log.snapshot()[1].fingers.empty());
    ASSERT_TRUE(rig.queue->runUntil([&] { return rig.hotplug.size() == 2; }));
    rig.queue->runPending();
    EXPECT_EQ(rig.hotplug.back(), (std::pair<std::string, bool>{"/dev/input/event9", false}));
    EXPECT_EQ(std::count(rig.hotplug.begin(), rig.hotplug.end(), std::pair<std::string, bool>{"/dev/input/event9", false}), 1);
}

TEST(TouchSource, RefusedTouchpadsAreCountedExplainedOnceAndStartedWhenAccessArrives) {
    Rig rig(Nodes{{"/dev/input/event5", "Pad A"}, {"/dev/input/event6", "Pad B"}, {"/dev/input/event7", "Not a touchpad"}},
            {{"/dev/input/event6", EACCES}, {"/dev/input/event7", ENOTSUP}});
    auto devices = rig.source->deviceList();
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0].id, "/dev/input/event5");
    rig.queue->runPending();
    EXPECT_EQ(rig.diagnostics->touchpadsInaccessible.get(), 1);
    EXPECT_EQ(rig.source->inaccessible(), std::vector<std::string>{"/dev/input/event6"});
    ASSERT_EQ(rig.warnings.size(), 1u);
    EXPECT_NE(rig.warnings[0].find("/dev/input/event6"), std::string::npos);
    EXPECT_NE(rig.warnings[0].find("TAG+=\"uaccess\""), std::string::npos);
    EXPECT_NE(rig.warnings[0].find("'input' group"), std::string::npos);

    rig.source->deviceList();  // asking again does not warn again
    EXPECT_FALSE(rig.start("/dev/input/event6"));
    EXPECT_EQ(rig.warnings.size(), 1u);

    // The rule is installed and udev re-triggered: a change event makes it readable.
    rig.opener->refuse.erase("/dev/input/event6");
    rig.discovery->announce({TouchpadChange::Kind::changed, {"/dev/input/event6", "Pad B"}});
    ASSERT_TRUE(rig.queue->runUntil([&] { return !rig.hotplug.empty(); }));
    EXPECT_EQ(rig.hotplug, (std::vector<std::pair<std::string, bool>>{{"/dev/input/event6", true}}));
    EXPECT_EQ(rig.diagnostics->touchpadsInaccessible.get(), 0);
    EXPECT_TRUE(rig.start("/dev/input/event6"));
}

TEST(TouchSource, ARescanFindsTouchpadsThatBecameReadable) {
    Rig rig(Nodes{{"/dev/input/event5", "Pad"}}, {{"/dev/input/event5", EPERM}});
    EXPECT_TRUE(rig.source->deviceList().empty());
    rig.queue->runPending();
    EXPECT_EQ(rig.diagnostics->touchpadsInaccessible.get(), 1);
    rig.source->rescan();  // still refused: nothing reported
    EXPECT_TRUE(rig.hotplug.empty());
    rig.opener->refuse.clear();
    rig.source->rescan();
    rig.queue->runPending();
    EXPECT_EQ(rig.hotplug, (std::vector<std::pair<std::string, bool>>{{"/dev/input/event5", true}}));
    EXPECT_EQ(rig.diagnostics->touchpadsInaccessible.get(), 0);
}

TEST(TouchSource, NoFrameIsDeliveredAfterStopDeviceReturns) {
    Rig rig(Nodes{{"/dev/input/event5", "Pad"}});
    rig.source->deviceList();
    std::atomic<bool> stopped{false};
    std::atomic<int> late{0}, delivered{0};
    ASSERT_TRUE(rig.source->startDevice({"/dev/input/event5", ""}, [&](const MTFinger*, int, double) {
        if (stopped) ++late;
        ++delivered;
    }));
    auto& pad = rig.opener->pad("/dev/input/event5");
    std::atomic<bool> writing{true};
    std::thread writer([&] {
        for (int i = 0; writing; ++i) pad.fingers(i * 0.01, {{i % 1000, 500}});
    });
    while (delivered < 50) std::this_thread::yield();
    rig.source->stopDevice({"/dev/input/event5", ""});
    stopped = true;
    writing = false;
    writer.join();
    EXPECT_EQ(late, 0);
}

// Records the engine's state changes, which happen on the touch thread.
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
    Rig rig(Nodes{{"/dev/input/event5", "Pad"}});
    MemoryPreferencesStore prefs;
    fake::FakeLoginItemService loginItems;
    auto clock = std::make_shared<fake::FakeClock>();
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
    c.haptics = std::make_shared<Haptics>(std::make_shared<fake::FakeHaptics>(), clock);
    c.notifications = std::make_shared<NotificationCenter>();
    c.trace = trace;
    auto monitor = MultitouchMonitor::create(std::move(c));
    ASSERT_TRUE(monitor->start());
    rig.queue->runPending();
    EXPECT_EQ(rig.diagnostics->multitouchDevicesActive.get(), 1);

    auto& pad = rig.opener->pad("/dev/input/event5");
    for (double t : {1.0, 1.02, 1.05, 1.08}) pad.fingers(t, {{400, 500}, {500, 520}, {600, 500}});
    ASSERT_TRUE(trace->waitFor(GestureState::active));
    pad.unplug();
    ASSERT_TRUE(trace->waitFor(GestureState::idle));
    ASSERT_TRUE(rig.queue->runUntil([&] { return monitor->devices().empty(); }));
    rig.queue->runPending();
    EXPECT_EQ(rig.diagnostics->multitouchDevicesActive.get(), 0);
    monitor->stop();
}

TEST(TouchLoop, AHandlerMayRemoveItsDeviceOrDestroyTheLoopOnTheTouchThread) {
    auto loop = std::make_shared<TouchLoop>([] { return 0.0; });
    auto [reader, writer] = makePad();
    std::atomic<int> calls{0};
    std::mutex m;
    std::condition_variable cv;
    bool destroyed = false;
    std::weak_ptr<TouchLoop> weak = loop;
    auto* owner = &loop;
    ASSERT_TRUE(loop->add("pad", std::move(reader), [&](const MTFinger*, int, double) {
        if (++calls > 1) return;
        if (auto l = weak.lock()) l->remove("pad");  // on the touch thread, mid-delivery
        owner->reset();                                 // the last owner lets go here
        std::lock_guard lock(m);
        destroyed = true;
        cv.notify_all();
    }, nullptr));
    // The loop's last reference is the local `loop`; drop our extra ones so the handler's
    // reset() destroys it on the touch thread.
    writer->fingers(1, {{1, 1}}).fingers(2, {{2, 2}}).fingers(3, {{3, 3}});
    std::unique_lock lock(m);
    ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(10), [&] { return destroyed; }));
    EXPECT_EQ(calls, 1);  // removed: the frames already written are not delivered
}

}  // namespace
}  // namespace trellick::evdev::test
