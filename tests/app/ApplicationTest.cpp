#include <gtest/gtest.h>

#include <atomic>

#include "app/Application.h"
#include "platform/recording/ReplayTouchSource.h"
#include "simulation/SimulatedDesktop.h"
#include "simulation/Simulation.h"
#include "simulation/VirtualTime.h"

using namespace trellick;

namespace {

const char* name(ShellWindow w) {
    return w == ShellWindow::settings ? "settings" : w == ShellWindow::about ? "about" : "welcome";
}

// The windows as the application drives them: what was asked, and what is visible.
class RecordingHost : public ShellWindowHost {
public:
    void build(ShellWindow w) override { log.push_back(std::string("build ") + name(w)); }
    void present(ShellWindow w) override {
        log.push_back(std::string("present ") + name(w));
        visible.insert(w);
    }
    void close(ShellWindow w) override {
        log.push_back(std::string("close ") + name(w));
        userCloses(w);
    }
    bool isVisible(ShellWindow w) const override { return visible.count(w) > 0; }
    // Hidden first, then reported, as a real window's close does.
    void userCloses(ShellWindow w) { visible.erase(w); }
    std::vector<std::string> log;
    std::set<ShellWindow> visible;
};

class ManualGrant : public TouchpadAccessGrant {
public:
    void grant(std::function<void(TouchpadGrant)> done) override {
        ++calls;
        pending = std::move(done);
    }
    int calls = 0;
    std::function<void(TouchpadGrant)> pending;
};

class ApplicationTest : public ::testing::Test {
protected:
    std::shared_ptr<sim::VirtualTime> time = std::make_shared<sim::VirtualTime>();
    std::shared_ptr<MemoryPreferencesStore> prefs = std::make_shared<MemoryPreferencesStore>();
    std::shared_ptr<sim::SimulatedWindowSystem> windows = std::make_shared<sim::SimulatedWindowSystem>();
    std::shared_ptr<sim::SimulatedTouchDevices> touch = std::make_shared<sim::SimulatedTouchDevices>();
    std::shared_ptr<RecordingHost> host = std::make_shared<RecordingHost>();
    std::shared_ptr<ManualGrant> grant = std::make_shared<ManualGrant>();
    using Log = std::vector<std::string>;
    void present() { time->advanceTo(time->now() + Application::presentDelay); }

    std::shared_ptr<Application> launch() {
        auto d = std::make_shared<Application>(Application::Platform{
            prefs, std::make_shared<sim::SimulatedLoginItem>(), time, time, windows,
            std::make_shared<sim::SimulatedDesktopEntries>(), std::make_shared<sim::SimulatedScrollBlocker>(),
            std::make_shared<sim::SimulatedKeyMonitor>(), std::make_shared<sim::RecordingHaptics>(),
            [this](std::weak_ptr<Diagnostics>) { return touch; }, nullptr, host, grant, nullptr});
        d->start();
        time->runReady();
        return d;
    }
};

TEST_F(ApplicationTest, TouchpadsAreTriedOnceMoreAfterASecondAndNoMore) {
    for (bool secondFails : {false, true}) {
        touch = std::make_shared<sim::SimulatedTouchDevices>();
        touch->present = {{"pad", "Touchpad"}};
        touch->refuse = {"pad"};
        auto d = launch();
        if (!secondFails) touch->refuse.clear();
        time->advanceTo(time->now() + 0.99);
        EXPECT_TRUE(touch->started.empty()) << "not before a second";
        time->advanceTo(time->now() + 0.02);
        touch->refuse.clear();  // a third try would succeed now
        time->advanceTo(time->now() + 10.0);
        EXPECT_EQ(touch->started.count("pad"), secondFails ? 0u : 1u);
    }
}

TEST_F(ApplicationTest, WindowControlIsAskedForOnlyAfterOnboardingWithWindowGranularity) {
    windows->setWindowControl(false);
    prefs->set(keys::granularity, "app");
    auto d = launch();
    windows->openAndFocus({10, "Alpha window", WindowKind::normal, false, {"", "Alpha", "", ""}, nullptr});
    windows->setWindowControl(true, /*notify=*/false);
    d->settings()->granularity.set(Granularity::window);
    EXPECT_FALSE(d->diagnostics()->windowControlAvailable.get()) << "not onboarded: no request";

    prefs->set(keys::onboarded, true);
    d->settings()->granularity.set(Granularity::app);
    EXPECT_FALSE(d->diagnostics()->windowControlAvailable.get());
    d->settings()->granularity.set(Granularity::window);
    EXPECT_TRUE(d->diagnostics()->windowControlAvailable.get());
    time->runReady();
    EXPECT_EQ(d->diagnostics()->mruWindowTitles.get(), std::vector<std::string>{"Alpha — Alpha window"})
        << "the front window is recorded once control is there";
}

TEST_F(ApplicationTest, TheWelcomeWindowOpensOnItsOwnOnlyUntilOnboardingIsDone) {
    auto d = launch();
    EXPECT_EQ(host->log, Log{"build welcome"}) << "built at launch, shown a moment later";
    present();
    EXPECT_EQ(host->log, (Log{"build welcome", "present welcome"}));

    host->userCloses(ShellWindow::welcome);  // the close box does not complete onboarding
    host = std::make_shared<RecordingHost>();
    d = launch();
    present();
    EXPECT_EQ(host->log, (Log{"build welcome", "present welcome"})) << "again at the next launch";

    d->onDone();
    EXPECT_EQ(host->log.back(), "close welcome");
    EXPECT_EQ(prefs->object(keys::onboarded), std::optional<PrefValue>(true));
    time->runReady();

    host = std::make_shared<RecordingHost>();
    launch();
    present();
    EXPECT_TRUE(host->log.empty()) << "onboarded: no welcome window";
}

TEST_F(ApplicationTest, TheOverlaysAddFavouritesEntryBringsSettingsForwardOnTheFavouritesTab) {
    prefs->set(keys::onboarded, true);
    auto d = launch();
    d->openSettings();
    present();
    d->settings()->requestedTab.set(SettingsTab::overlay);
    d->openFavouritesSettings();
    EXPECT_EQ(d->settings()->requestedTab.get(), SettingsTab::favourites);
    present();
    EXPECT_EQ(host->log, (Log{"build settings", "present settings", "present settings"}));
}

TEST_F(ApplicationTest, GrantedTouchpadAccessStartsTheRefusedTouchpadWithoutARestart) {
    prefs->set(keys::onboarded, true);
    touch->present = {{"pad", "Touchpad"}};
    touch->refuse = {"pad"};
    auto d = launch();
    time->advanceTo(time->now() + 2.0);  // the retry fails too
    ASSERT_TRUE(touch->started.empty());

    std::vector<TouchpadGrant::State> heard;
    d->onGrant([&](const TouchpadGrant& g) { heard.push_back(g.state); });
    d->onGrant([&](const TouchpadGrant& g) { heard.push_back(g.state); });  // waits for the same helper
    EXPECT_EQ(grant->calls, 1);
    EXPECT_EQ(d->touchpadGrant.get().state, TouchpadGrant::State::running);
    touch->refuse.clear();  // the rule is in place
    grant->pending({TouchpadGrant::State::granted, ""});
    time->runReady();
    EXPECT_EQ(heard, std::vector<TouchpadGrant::State>(2, TouchpadGrant::State::granted));
    EXPECT_EQ(touch->started.count("pad"), 1u);
    EXPECT_EQ(d->diagnostics()->multitouchDevicesActive.get(), 1);
}

TEST_F(ApplicationTest, AGrantThatCannotRunAsksForTheManualSteps) {
    prefs->set(keys::onboarded, true);
    for (auto state :
         {TouchpadGrant::State::unavailable, TouchpadGrant::State::refused, TouchpadGrant::State::failed}) {
        auto d = launch();
        d->onGrant();
        grant->pending({state, "why"});
        EXPECT_EQ(d->touchpadGrant.get(), (TouchpadGrant{state, "why"}));
        EXPECT_TRUE(d->touchpadGrant.get().needsManualSteps());
        d->onGrant();  // may be tried again
        EXPECT_EQ(d->touchpadGrant.get().state, TouchpadGrant::State::running);
    }
    grant = nullptr;
    auto d = launch();
    d->onGrant();
    EXPECT_TRUE(d->touchpadGrant.get().needsManualSteps()) << "nothing to run the helper with";
}

TEST(ReplayTouchSourceTest, StoppingEndsAPlaybackThatIsStillWaiting) {
    auto queue = std::make_shared<sim::VirtualTime>();
    std::vector<recording::ReplayTouchSource::Frame> frames{{0.0, {}}, {3600.0, {}}};
    std::atomic<int> delivered{0};
    auto source = std::make_shared<recording::ReplayTouchSource>("rec", frames, queue, nullptr);
    auto device = source->deviceList().at(0);
    source->startDevice(device, [&](const TouchContact*, int, double) { ++delivered; });
    source->stopDevice(device);  // returns without waiting an hour
    EXPECT_LE(delivered.load(), 1);
    EXPECT_EQ(queue->pendingCount(), 0u);
}

}  // namespace
