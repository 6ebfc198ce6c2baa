// The X11 layer and the trackers against a real X server and window manager.

#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <cstdio>

#include "Rig.h"
#include "gesture/MultitouchMonitor.h"
#include "platform/fake/Fakes.h"
#include "platform/x11/GioDesktopEntries.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11InputServices.h"
#include "platform/x11/X11WindowSystem.h"
#include "settings/Diagnostics.h"
#include "tracking/AppTracker.h"
#include "tracking/Favourites.h"
#include "tracking/UsageTracker.h"
#include "tracking/WindowTracker.h"
#include "tracking/WindowWorkspace.h"

using namespace trellick;

namespace {

std::string hex(WindowId w) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%x", w);
    return buf;
}

class X11RigTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string why;
        if (!rig.start(&why)) GTEST_SKIP() << "no X11 rig: " << why;
        clock->set(rig::monotonicNow());
        conn = X11Connection::open(queue, &why);
        ASSERT_TRUE(conn) << why;
        windows = X11WindowSystem::create(conn);
        entries = std::make_shared<GioDesktopEntries>();
        workspace = WindowWorkspace::create(windows, entries);
        conn->startReading();
    }
    void TearDown() override {
        usage.reset();
        appTracker.reset();
        windowTracker.reset();
        workspace.reset();
        windows.reset();
        conn.reset();
        rig.shutdown();
    }

    void startTrackers() {
        appTracker = AppTracker::create({workspace, windows, queue, diagnostics, nullptr, 0});
        windowTracker = WindowTracker::create({workspace, windows, queue, diagnostics, nullptr, 0});
        windowTracker->start();
    }
    // Runs what the reader thread and the background queues handed to the main queue.
    void pump() { queue->advanceTo(rig::monotonicNow()); }
    bool waitFor(const std::function<bool()>& done, double timeout = 5.0) {
        return rig::waitFor(done, timeout, [this] { pump(); });
    }
    // Starts a client and waits for its window to be managed; returns the window.
    WindowId open(const std::string& cls, const std::string& title, std::vector<std::string> extra = {}) {
        pid_t pid = rig.window(cls, title, std::move(extra));
        std::optional<WindowId> w;
        EXPECT_TRUE(waitFor([&] { return (w = windows->focusedWindow(pid)).has_value() && workspace->runningApp(pid); }))
            << "window of " << cls << " never appeared; clients " << windows->clientList().size() << " pid " << pid
            << " active " << windows->activeWindow().value_or(0) << " apps " << workspace->runningApps().size()
            << " control " << windows->windowControlAvailable();
        pids[w.value_or(0)] = pid;
        return w.value_or(0);
    }
    void focus(WindowId w) {
        rig.run("xdotool windowactivate --sync " + std::to_string(w));
        EXPECT_TRUE(waitFor([&] { return windows->activeWindow() == w; })) << "could not focus " << hex(w);
    }
    std::vector<WindowId> windowIds() {
        std::vector<WindowId> out;
        for (auto& e : windowTracker->mru()) out.push_back(e.id);
        return out;
    }

    rig::Rig rig;
    std::shared_ptr<fake::FakeClock> clock = std::make_shared<fake::FakeClock>();
    std::shared_ptr<fake::FakeMainQueue> queue = std::make_shared<fake::FakeMainQueue>(clock);
    std::shared_ptr<X11Connection> conn;
    std::shared_ptr<X11WindowSystem> windows;
    std::shared_ptr<GioDesktopEntries> entries;
    std::shared_ptr<WindowWorkspace> workspace;
    std::shared_ptr<Diagnostics> diagnostics = std::make_shared<Diagnostics>();
    std::shared_ptr<AppTracker> appTracker;
    std::shared_ptr<WindowTracker> windowTracker;
    std::shared_ptr<UsageTracker> usage;
    std::map<WindowId, pid_t> pids;
};

TEST_F(X11RigTest, WindowFactsComeFromTheServer) {
    WindowId a = open("AlphaWin", "Alpha document");
    WindowId plain = open("Plain", "no pid here", {"--no-pid"});
    WindowId dock = 0;
    rig.window("DockWin", "dock", {"--type", "dock"});
    ASSERT_TRUE(waitFor([&] {
        for (WindowId w : windows->clientList())
            if (windows->classHints(w).className == "DockWin") dock = w;
        return dock != 0;
    }));
    EXPECT_TRUE(windows->windowControlAvailable());
    auto list = windows->clientList();
    std::sort(list.begin(), list.end());
    std::vector<WindowId> expected{a, plain, dock};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(list, expected);
    EXPECT_EQ(windows->title(a), "Alpha document");
    EXPECT_EQ(windows->kind(a), WindowKind::normal);
    EXPECT_EQ(windows->kind(dock), WindowKind::other);
    EXPECT_FALSE(windows->isAlive(dock));
    EXPECT_EQ(windows->classHints(a).className, "AlphaWin");
    EXPECT_EQ(windows->classHints(a).instance, "alphawin");
    EXPECT_EQ(windows->pid(a), pids[a]);
    EXPECT_EQ(windows->pid(plain), pids[plain]) << "found through XRes without _NET_WM_PID";
    EXPECT_EQ(windows->isMinimised(a), false);

    // Identity and names from real desktop entries.
    auto app = workspace->runningApp(pids[a]);
    ASSERT_TRUE(app);
    EXPECT_EQ(app->bundleID, "org.trellick.Alpha");
    EXPECT_EQ(app->name, "Alpha Editor");
    EXPECT_EQ(app->icon->name, "accessories-text-editor");
    EXPECT_EQ(workspace->runningApp(pids[plain])->bundleID, "Plain") << "no entry: the class name";
    EXPECT_FALSE(workspace->runningApp(windows->pid(dock)));

    // A window that has gone yields nothing and raises no error that could hurt.
    rig.quit(pids[plain]);
    ASSERT_TRUE(waitFor([&] { return !windows->isAlive(plain); }));
    EXPECT_FALSE(windows->title(plain));
    EXPECT_FALSE(windows->kind(plain));
    EXPECT_FALSE(windows->activate(plain));
    EXPECT_FALSE(windows->activate(0xdead00));
}

TEST_F(X11RigTest, ActivationsBuildBothRecencyListsWithTitles) {
    startTrackers();
    WindowId a = open("AlphaWin", "Alpha doc");
    WindowId b = open("BetaWin", "Beta picture");
    WindowId c = open("GammaWin", "Gamma inbox");
    for (WindowId w : {a, b, c, a}) focus(w);
    ASSERT_TRUE(waitFor([&] { return windowIds() == std::vector<WindowId>{a, c, b}; }))
        << "window list " << windowIds().size();
    EXPECT_EQ(appTracker->mru(), (std::vector<int>{pids[a], pids[c], pids[b]}));
    EXPECT_TRUE(diagnostics->accessibilityTrusted.get());

    auto targets = windowTracker->orderedTargets();
    ASSERT_EQ(targets.size(), 3u);
    EXPECT_EQ(targets[0].title, "Alpha Editor");
    EXPECT_EQ(targets[0].subtitle, "Alpha doc");
    EXPECT_EQ(targets[1].title, "Gamma Mail");
    EXPECT_EQ(targets[2].subtitle, "Beta picture");
    ASSERT_TRUE(waitFor([&] { return appTracker->cachedTitle(pids[b]).has_value(); }));
    auto appTargets = appTracker->orderedTargets();
    ASSERT_EQ(appTargets.size(), 3u);
    EXPECT_EQ(appTargets[2].title, "Beta Viewer");
    EXPECT_EQ(appTargets[2].subtitle, "Beta picture");
    ASSERT_TRUE(waitFor([&] { return diagnostics->mruWindowTitles.get().size() == 3; }));
    EXPECT_EQ(diagnostics->mruWindowTitles.get()[1], "Gamma Mail \u2014 Gamma inbox");
    EXPECT_EQ(diagnostics->mruNames.get(), (std::vector<std::string>{"Alpha Editor", "Gamma Mail", "Beta Viewer"}));

    // Toggle: back to Gamma, then the app switcher back to Alpha.
    windowTracker->activatePrevious();
    ASSERT_TRUE(waitFor([&] { return windows->activeWindow() == c; }));
    ASSERT_TRUE(waitFor([&] { return appTracker->mru().front() == pids[c]; }));
    appTracker->activatePrevious();
    EXPECT_TRUE(waitFor([&] { return windows->activeWindow() == a; }));
}

TEST_F(X11RigTest, ListsKeepTwentyApplicationsAndThirtyWindows) {
    startTrackers();
    std::vector<WindowId> many;
    for (int i = 0; i < 21; ++i) many.push_back(open("App" + std::to_string(i), "w" + std::to_string(i)));
    WindowId multi = open("Multi", "m", {"--count", "10"});
    for (WindowId w : many) focus(w);
    ASSERT_TRUE(waitFor([&] { return appTracker->orderedCount() == 20; }));
    EXPECT_EQ(appTracker->mru().front(), pids[many.back()]);
    EXPECT_EQ(std::count(appTracker->mru().begin(), appTracker->mru().end(), pids[many[0]]), 0);

    // Ten more windows of one application push the list past thirty.
    std::vector<WindowId> multis;
    for (WindowId w : windows->clientList())
        if (windows->pid(w) == pids[multi]) multis.push_back(w);
    ASSERT_EQ(multis.size(), 10u);
    for (WindowId w : multis) focus(w);
    ASSERT_TRUE(waitFor([&] { return windowIds().front() == multis.back(); }));
    EXPECT_EQ(windowTracker->orderedCount(), 30);
    EXPECT_EQ(diagnostics->mruWindowTitles.get().size(), 8u);
}

TEST_F(X11RigTest, ClosedWindowsAndQuitApplicationsArePruned) {
    startTrackers();
    WindowId a = open("AlphaWin", "Alpha");
    WindowId pair = open("Pair", "pair", {"--count", "2"});
    WindowId c = open("GammaWin", "Gamma");
    std::vector<WindowId> pairs;
    for (WindowId w : windows->clientList())
        if (windows->pid(w) == pids[pair]) pairs.push_back(w);
    ASSERT_EQ(pairs.size(), 2u);
    for (WindowId w : {a, pairs[0], pairs[1], c}) focus(w);
    ASSERT_TRUE(waitFor([&] { return windowTracker->orderedCount() == 4; }));

    // One window of Pair closes: the application still runs, so liveness finds it.
    rig.run("wmctrl -i -c " + hex(pairs[1]));
    ASSERT_TRUE(waitFor([&] { return !windows->isAlive(pairs[1]); }));
    windowTracker->orderedTargets();  // a walk starts: the background check prunes
    EXPECT_TRUE(waitFor([&] { return windowIds() == std::vector<WindowId>{c, pairs[0], a}; }));

    // Gamma quits: all its windows go at once.
    rig.quit(pids[c]);
    EXPECT_TRUE(waitFor([&] { return windowIds() == std::vector<WindowId>{pairs[0], a}; }));
    EXPECT_TRUE(waitFor([&] { return diagnostics->mruWindowTitles.get().size() == 2; }));

    // And it comes back: a fresh window is recorded when focused.
    WindowId c2 = open("GammaWin", "Gamma again");
    focus(c2);
    EXPECT_TRUE(waitFor([&] { return windowIds().front() == c2; }));
    EXPECT_EQ(windowTracker->mru().front().title, "Gamma again");
}

TEST_F(X11RigTest, ActivatePreviousRaisesAMinimisedWindow) {
    startTrackers();
    WindowId a = open("AlphaWin", "Alpha");
    WindowId b = open("BetaWin", "Beta");
    focus(a);
    focus(b);
    ASSERT_TRUE(waitFor([&] { return windowIds() == std::vector<WindowId>{b, a}; }));
    rig.run("xdotool windowminimize --sync " + std::to_string(a));
    ASSERT_TRUE(waitFor([&] { return windows->isMinimised(a) == true; }));
    windowTracker->activatePrevious();
    EXPECT_TRUE(waitFor([&] { return windows->activeWindow() == a; }));
    EXPECT_EQ(windows->isMinimised(a), false);
    EXPECT_TRUE(waitFor([&] { return windowIds() == std::vector<WindowId>{a, b}; }));
}

TEST_F(X11RigTest, AWindowVanishingBeforeItIsRaisedIsHarmless) {
    startTrackers();
    WindowId a = open("AlphaWin", "Alpha");
    WindowId b = open("BetaWin", "Beta");
    WindowId c = open("GammaWin", "Gamma");
    for (WindowId w : {a, b, c}) focus(w);
    ASSERT_TRUE(waitFor([&] { return windowTracker->orderedCount() == 3; }));
    auto targets = windowTracker->orderedTargets();
    rig.quit(pids[b]);
    targets[1].activate();  // b, already gone at the server
    // Nor when the list still holds it and the toggle asks for it.
    rig.quit(pids[a]);
    windowTracker->activatePrevious();
    queue->advanceTo(rig::monotonicNow() + 0.2);
    EXPECT_TRUE(waitFor([&] { return windowIds() == std::vector<WindowId>{c}; }));
    EXPECT_EQ(windows->activeWindow(), c);
    EXPECT_FALSE(conn->broken());
}

TEST_F(X11RigTest, RestartedWindowManagerIsFollowed) {
    startTrackers();
    WindowId a = open("AlphaWin", "Alpha");
    focus(a);
    ASSERT_TRUE(waitFor([&] { return windowTracker->orderedCount() == 1; }));
    rig.killWM();
    ASSERT_TRUE(waitFor([&] { return !windows->windowControlAvailable(); }));
    EXPECT_TRUE(waitFor([&] { return !diagnostics->accessibilityTrusted.get(); }));
    EXPECT_FALSE(windows->activate(a));
    ASSERT_TRUE(rig.startWM());
    ASSERT_TRUE(waitFor([&] { return windows->windowControlAvailable(); }));
    EXPECT_TRUE(waitFor([&] { return diagnostics->accessibilityTrusted.get(); }));
    WindowId b = open("BetaWin", "Beta");
    focus(b);
    EXPECT_TRUE(waitFor([&] { return windowIds().front() == b; }));
}

TEST_F(X11RigTest, LosingTheServerIsReportedAndLeavesEverythingQuiet) {
    startTrackers();
    WindowId a = open("AlphaWin", "Alpha");
    focus(a);
    bool lost = false;
    auto sub = conn->onLost([&] { lost = true; });
    rig.killServer();
    EXPECT_TRUE(waitFor([&] { return lost; }));
    EXPECT_TRUE(conn->broken());
    EXPECT_FALSE(windows->activeWindow());
    EXPECT_FALSE(windows->activate(a));
    windowTracker->activatePrevious();
    windowTracker->orderedTargets();
    waitFor([] { return false; }, 0.2);
}

TEST_F(X11RigTest, UsageCountsAndFavouritesUseRealDesktopEntries) {
    MemoryPreferencesStore store;
    auto prefs = std::shared_ptr<PreferencesStore>(&store, [](PreferencesStore*) {});
    usage = std::make_shared<UsageTracker>(workspace, prefs, "trellick");
    usage->start();
    auto favourites = std::make_shared<Favourites>(workspace);
    WindowId a = open("AlphaWin", "Alpha");
    WindowId b = open("BetaWin", "Beta");
    WindowId x = open("Unlisted", "x");
    // Each new window was focused when mapped; then six more activations.
    for (WindowId w : {a, b, a, x, a, b}) focus(w);
    ASSERT_TRUE(waitFor([&] { return UsageTracker::readCounts(store)["betawin"] == 3; }));
    EXPECT_EQ(UsageTracker::readCounts(store),
              (UsageTracker::Counts{{"org.trellick.Alpha", 4}, {"betawin", 3}, {"Unlisted", 2}}));
    EXPECT_EQ(UsageTracker::suggestions(store, *favourites, 6, {}, "trellick"),
              (std::vector<std::string>{"org.trellick.Alpha", "betawin", "Unlisted"}));
    EXPECT_EQ(UsageTracker::suggestions(store, *favourites, 6, {"betawin"}, "trellick"),
              (std::vector<std::string>{"org.trellick.Alpha", "Unlisted"}));

    // Gamma is installed but not running: its favourite target launches it.
    auto targets = favourites->targets({"org.trellick.Gamma", "org.trellick.Missing", "org.trellick.Alpha"});
    ASSERT_EQ(targets.size(), 2u);
    EXPECT_EQ(targets[0].title, "Gamma Mail");
    targets[0].activate();
    std::optional<RunningApp> gamma;
    ASSERT_TRUE(waitFor([&] {
        for (auto& app : workspace->runningApps())
            if (app.bundleID == "org.trellick.Gamma") gamma = app;
        return gamma.has_value();
    }, 10.0));
    EXPECT_TRUE(waitFor([&] { return windows->activeWindow() && windows->pid(*windows->activeWindow()) == gamma->pid; }));
    // The launched client is ours to stop.
    rig.quit(gamma->pid);

    // A running favourite is brought forward instead.
    targets[1].activate();
    EXPECT_TRUE(waitFor([&] { return windows->activeWindow() == a; }));
}

TEST_F(X11RigTest, PointerGrabIsHeldExactlyBetweenBeginAndEnd) {
    auto blocker = std::make_shared<X11ScrollBlocker>(conn);
    auto suppressor = ScrollSuppressor::create(blocker, queue);
    // Another client tries to grab the pointer: it succeeds only while we do not hold it.
    std::string why;
    xcb_connection_t* other = xcb_connect(rig.display.c_str(), nullptr);
    ASSERT_FALSE(xcb_connection_has_error(other));
    xcb_window_t otherRoot = xcb_setup_roots_iterator(xcb_get_setup(other)).data->root;
    auto otherCanGrab = [&] {
        auto* r = xcb_grab_pointer_reply(
            other, xcb_grab_pointer(other, 0, otherRoot, XCB_EVENT_MASK_BUTTON_PRESS, XCB_GRAB_MODE_ASYNC,
                                    XCB_GRAB_MODE_ASYNC, XCB_NONE, XCB_NONE, XCB_CURRENT_TIME), nullptr);
        bool ok = r && r->status == XCB_GRAB_STATUS_SUCCESS;
        free(r);
        if (ok) free(xcb_get_input_focus_reply(other, (xcb_ungrab_pointer(other, XCB_CURRENT_TIME),
                                                       xcb_get_input_focus(other)), nullptr));
        return ok;
    };
    suppressor->installIfNeeded();
    EXPECT_TRUE(otherCanGrab()) << "created idle";
    suppressor->begin();
    EXPECT_TRUE(otherCanGrab()) << "not before the posted begin runs";
    pump();
    EXPECT_TRUE(blocker->grabbed());
    EXPECT_FALSE(otherCanGrab());
    suppressor->end();
    pump();
    EXPECT_TRUE(otherCanGrab());

    // A begin while someone else holds the grab fails quietly; the next begin takes it.
    auto* r = xcb_grab_pointer_reply(
        other, xcb_grab_pointer(other, 0, otherRoot, XCB_EVENT_MASK_BUTTON_PRESS, XCB_GRAB_MODE_ASYNC,
                                XCB_GRAB_MODE_ASYNC, XCB_NONE, XCB_NONE, XCB_CURRENT_TIME), nullptr);
    free(r);
    suppressor->begin();
    pump();
    EXPECT_FALSE(blocker->grabbed());
    suppressor->end();
    pump();
    free(xcb_get_input_focus_reply(other, (xcb_ungrab_pointer(other, XCB_CURRENT_TIME), xcb_get_input_focus(other)),
                                   nullptr));
    suppressor->begin();
    pump();
    EXPECT_TRUE(blocker->grabbed());
    EXPECT_FALSE(otherCanGrab());
    suppressor->end();
    pump();
    EXPECT_TRUE(otherCanGrab());
    xcb_disconnect(other);
}

TEST_F(X11RigTest, EscapeTypedIntoAnotherWindowCancelsOnlyDuringAWalk) {
    auto keys = X11KeyMonitor::create(conn);
    ASSERT_TRUE(keys->available());
    MemoryPreferencesStore store;
    fake::FakeLoginItemService login;
    MultitouchMonitor::Collaborators c;
    c.settings = std::make_shared<SettingsStore>(store, login);
    c.appTracker = std::make_shared<fake::FakeSwitcher>(std::vector<std::string>{"x", "y"});
    c.windowTracker = std::make_shared<fake::FakeSwitcher>(std::vector<std::string>{"x", "y"});
    c.favourites = std::make_shared<fake::FakeFavourites>();
    c.hud = std::make_shared<fake::FakeHUD>();
    c.diagnostics = diagnostics;
    c.mainQueue = queue;
    c.touchDevices = std::make_shared<fake::FakeTouchDevices>();
    c.scrollBlocker = std::make_shared<fake::FakeScrollBlocker>();
    c.keyMonitor = keys;
    c.haptics = std::make_shared<Haptics>(std::make_shared<fake::FakeHaptics>(), clock);
    c.notifications = std::make_shared<NotificationCenter>();
    auto monitor = MultitouchMonitor::create(c);

    WindowId a = open("AlphaWin", "Alpha");
    focus(a);
    auto press = [&](const std::string& key) {
        rig.run("xdotool key " + key);
        waitFor([] { return false; }, 0.3);  // time for a wrongly delivered event to arrive
    };
    press("Escape");
    EXPECT_FALSE(monitor->sharedSnapshot().cancelRequested) << "no walk, no monitor";

    monitor->updateSelection(SwitcherRow::recents, 1, true);  // a walk begins
    ASSERT_TRUE(monitor->escapeMonitorInstalled());
    press("a");
    EXPECT_FALSE(monitor->sharedSnapshot().cancelRequested) << "other keys do nothing";
    rig.run("xdotool key Escape");
    EXPECT_TRUE(waitFor([&] { return monitor->sharedSnapshot().cancelRequested; }));

    monitor->cancelDirectional();
    EXPECT_FALSE(monitor->escapeMonitorInstalled());
    monitor.reset();
    c.settings.reset();
}

}  // namespace
