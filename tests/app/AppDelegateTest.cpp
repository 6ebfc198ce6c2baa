#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

#include "app/AppDelegate.h"
#include "app/ReplayTouchSource.h"
#include "platform/fake/FakeWorkspace.h"
#include "platform/fake/Fakes.h"

using namespace trellick;

namespace {

class AppDelegateTest : public ::testing::Test {
protected:
    std::shared_ptr<fake::FakeClock> clock = std::make_shared<fake::FakeClock>();
    std::shared_ptr<fake::FakeMainQueue> queue = std::make_shared<fake::FakeMainQueue>(clock);
    std::shared_ptr<MemoryPreferencesStore> prefs = std::make_shared<MemoryPreferencesStore>();
    std::shared_ptr<fake::FakeWindowSystem> windows = std::make_shared<fake::FakeWindowSystem>();
    std::shared_ptr<fake::FakeTouchDevices> touch = std::make_shared<fake::FakeTouchDevices>();
    std::function<std::shared_ptr<HUD>()> makeHUD;
    AppDelegate* launching = nullptr;

    std::shared_ptr<AppDelegate> launch() {
        auto d = std::make_shared<AppDelegate>(AppDelegate::Platform{
            prefs, std::make_shared<fake::FakeLoginItemService>(), queue, clock, windows,
            std::make_shared<fake::FakeDesktopEntries>(), std::make_shared<fake::FakeScrollBlocker>(),
            std::make_shared<fake::FakeKeyMonitor>(), std::make_shared<fake::FakeHaptics>(),
            [this](std::weak_ptr<Diagnostics>) { return touch; }, makeHUD});
        launching = d.get();
        d->applicationDidFinishLaunching();
        queue->runPending();
        return d;
    }
    static fake::FakeWindowSystem::Window win(int pid, const std::string& cls) {
        fake::FakeWindowSystem::Window w;
        w.pid = pid;
        w.hints.className = cls;
        w.title = cls + " window";
        return w;
    }
};

TEST_F(AppDelegateTest, LaunchWiresTrackersToTheEngineAndStartsTheTouchpads) {
    touch->present = {{"pad", "Touchpad"}};
    WindowId a = windows->openAndFocus(win(10, "Alpha"));
    auto d = launch();
    EXPECT_EQ(d->activationPolicy(), ActivationPolicy::accessory);
    EXPECT_TRUE(d->monitorStarted());
    EXPECT_EQ(touch->started.count("pad"), 1u);
    EXPECT_EQ(d->appTracker()->orderedCount(), 1) << "the frontmost application at launch";
    EXPECT_EQ(d->windowTracker()->orderedCount(), 1);
    EXPECT_TRUE(d->diagnostics()->accessibilityTrusted.get());

    // The usage tracker counts from now on.
    windows->openAndFocus(win(20, "Beta"));
    windows->focus(a);
    EXPECT_EQ(prefs->object(keys::usageCounts), PrefValue(PrefObject{{"Alpha", PrefValue(1)}, {"Beta", PrefValue(1)}}));

    // The favourites placeholder asks for the favourites tab.
    d->notifications()->post(kOpenFavouritesSettings);
    EXPECT_EQ(d->settings()->requestedTab.get(), std::optional<std::string>("Favourites"));
    EXPECT_EQ(d->settingsOpenRequests(), 1);

    d->applicationWillTerminate();
    EXPECT_EQ(touch->stopped, std::vector<std::string>{"pad"});
}

TEST_F(AppDelegateTest, TheOverlayIsMadeOnceAfterTheTrackersAndBeforeTheEngine) {
    int made = 0;
    makeHUD = [&]() -> std::shared_ptr<HUD> {
        ++made;
        EXPECT_TRUE(launching->appTracker() && launching->windowTracker());
        EXPECT_FALSE(launching->monitor());
        return std::make_shared<fake::FakeHUD>();
    };
    auto d = launch();
    EXPECT_EQ(made, 1);
    EXPECT_TRUE(d->monitor());
}

TEST_F(AppDelegateTest, TouchpadsAreTriedOnceMoreAfterASecondAndNoMore) {
    for (bool secondFails : {false, true}) {
        touch = std::make_shared<fake::FakeTouchDevices>();
        touch->present = {{"pad", "Touchpad"}};
        touch->refuse = {"pad"};
        auto d = launch();
        EXPECT_FALSE(d->monitorStarted());
        if (!secondFails) touch->refuse.clear();
        queue->advanceTo(clock->now() + 0.99);
        EXPECT_TRUE(touch->started.empty()) << "not before a second";
        queue->advanceTo(clock->now() + 0.02);
        touch->refuse.clear();  // a third try would succeed now
        queue->advanceTo(clock->now() + 10.0);
        EXPECT_EQ(d->monitorStarted(), !secondFails);
        EXPECT_EQ(touch->started.count("pad"), secondFails ? 0u : 1u);
    }
}

TEST_F(AppDelegateTest, WindowControlIsAskedForOnlyAfterOnboardingWithWindowGranularity) {
    windows->setWindowControl(false);
    prefs->set(keys::granularity, "app");
    auto d = launch();
    windows->openAndFocus(win(10, "Alpha"));
    windows->setWindowControl(true, /*notify=*/false);
    d->settings()->granularity.set(Granularity::window);
    EXPECT_FALSE(d->diagnostics()->accessibilityTrusted.get()) << "not onboarded: no request";

    prefs->set(keys::onboarded, true);
    d->settings()->granularity.set(Granularity::app);
    EXPECT_FALSE(d->diagnostics()->accessibilityTrusted.get());
    d->settings()->granularity.set(Granularity::window);
    EXPECT_TRUE(d->diagnostics()->accessibilityTrusted.get());
    EXPECT_EQ(d->windowTracker()->orderedCount(), 1) << "the front window is recorded once control is there";
}

// Hands the first posted work to the test through a future.
class HandOverQueue : public MainQueue {
public:
    void post(std::function<void()> fn) override { posted.set_value(std::move(fn)); }
    void postAfter(double, std::function<void()> fn) override { post(std::move(fn)); }
    std::promise<std::function<void()>> posted;
};

TEST(ReplayTouchSourceTest, PlaysEveryFrameInOrderOnItsOwnThreadThenReports) {
    auto queue = std::make_shared<HandOverQueue>();
    auto finishedWork = queue->posted.get_future();
    std::vector<ReplayTouchSource::Frame> frames;
    for (int i = 0; i < 5; ++i) frames.push_back({i * 0.002, std::vector<MTFinger>(static_cast<std::size_t>(i))});
    bool finished = false;
    auto source = std::make_shared<ReplayTouchSource>("rec", frames, queue, [&] { finished = true; });
    auto device = source->deviceList().at(0);
    std::vector<int> counts;
    std::vector<double> times;
    std::thread::id thread;
    ASSERT_TRUE(source->startDevice(device, [&](const MTFinger*, int n, double t) {
        counts.push_back(n);
        times.push_back(t);
        thread = std::this_thread::get_id();
    }));
    EXPECT_FALSE(source->startDevice(device, [](const MTFinger*, int, double) {})) << "plays once";
    auto work = finishedWork.get();  // posted after the last frame
    EXPECT_FALSE(finished) << "runs on the main queue, not the touch thread";
    work();
    EXPECT_TRUE(finished);
    source->stopDevice(device);
    EXPECT_EQ(counts, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_NEAR(times[4] - times[0], 0.008, 1e-9) << "the recording's own spacing";
    EXPECT_NE(thread, std::this_thread::get_id());
}

TEST(ReplayTouchSourceTest, StoppingEndsAPlaybackThatIsStillWaiting) {
    auto clock = std::make_shared<fake::FakeClock>();
    auto queue = std::make_shared<fake::FakeMainQueue>(clock);
    std::vector<ReplayTouchSource::Frame> frames{{0.0, {}}, {3600.0, {}}};
    std::atomic<int> delivered{0};
    auto source = std::make_shared<ReplayTouchSource>("rec", frames, queue, nullptr);
    auto device = source->deviceList().at(0);
    source->startDevice(device, [&](const MTFinger*, int, double) { ++delivered; });
    source->stopDevice(device);  // returns without waiting an hour
    EXPECT_LE(delivered.load(), 1);
    EXPECT_EQ(queue->pendingCount(), 0u);
}

}  // namespace
