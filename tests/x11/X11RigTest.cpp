// The X11 layer and the trackers against a real X server and window manager.

#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <QImage>

#include <algorithm>
#include <set>

#include "RigTest.h"
#include "gesture/ScrollSuppressor.h"
#include "platform/desktop/GioDesktopEntries.h"
#include "platform/x11/X11CompositorSupport.h"
#include "platform/x11/X11InputServices.h"
#include "settings/Diagnostics.h"
#include "tracking/AppTracker.h"
#include "tracking/WindowTracker.h"
#include "tracking/WindowWorkspace.h"

using namespace trellick;
using namespace trellick::x11;

namespace {

class X11RigTest : public rig::RigTest {
protected:
    void SetUp() override {
        RigTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        workspace = WindowWorkspace::create(windows, std::make_shared<desktop::GioDesktopEntries>());
        activeSub = windows->onActiveWindowChanged([this](WindowId w) { lastActive = w; });
        conn->startReading();
    }
    bool known(pid_t pid) override { return workspace->runningApp(pid).has_value(); }
    // Changes are read when delivered, so one not yet delivered would be lost to the next.
    bool seenActive(WindowId w) override { return lastActive == w; }

    std::shared_ptr<Diagnostics> diagnostics = std::make_shared<Diagnostics>();
    std::shared_ptr<WindowWorkspace> workspace;
    Subscription activeSub;
    WindowId lastActive = 0;
};

TEST_F(X11RigTest, WindowFactsAndApplicationIdentityComeFromTheServerAndDesktopEntries) {
    WindowId a = open("AlphaWin", "Alpha document", {"--icon"});
    WindowId plain = open("Plain", "no pid here", {"--no-pid"});
    pid_t dockPid = rig.window("DockWin", "dock", {"--dock"});
    WindowId dock = 0;
    ASSERT_TRUE(waitFor([&] {
        for (WindowId w : windows->clientList()) dock = windows->pid(w) == dockPid ? w : dock;
        return dock != 0;
    }));
    auto list = windows->clientList();
    EXPECT_EQ(std::set<WindowId>(list.begin(), list.end()), (std::set<WindowId>{a, plain, dock}));
    EXPECT_EQ(windows->kind(dock), WindowKind::other);
    EXPECT_FALSE(windows->isAlive(dock));
    EXPECT_EQ(windows->classHints(a).instance, "alphawin");
    EXPECT_EQ(windows->pid(plain), pids[plain]) << "found through XRes without _NET_WM_PID";

    auto app = workspace->runningApp(pids[a]);
    ASSERT_TRUE(app);
    EXPECT_EQ(app->desktopId, "org.trellick.Alpha");
    EXPECT_EQ(app->name, "Alpha Editor");
    EXPECT_EQ(app->icon->name, "accessories-text-editor");
    // The window's own image rides along, big enough for a device pixel ratio of 2.
    auto image = std::static_pointer_cast<const QImage>(app->icon->data);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), QSize(128, 128));
    EXPECT_EQ(image->pixel(127, 127), 0x800000ffu);
    EXPECT_EQ(workspace->runningApp(pids[plain])->desktopId, "Plain") << "no entry: the class name";
    EXPECT_FALSE(workspace->runningApp(dockPid));

    // A window that has gone yields nothing and raises no error that could hurt.
    rig.quit(pids[plain]);
    ASSERT_TRUE(waitFor([&] { return std::ranges::count(windows->clientList(), plain) == 0; }));
    EXPECT_FALSE(windows->isAlive(plain));
    EXPECT_FALSE(windows->title(plain));
    EXPECT_FALSE(windows->kind(plain));
    EXPECT_FALSE(windows->activate(plain));
    EXPECT_FALSE(windows->activate(0xdead00));
    EXPECT_FALSE(conn->broken());
}

// Any client may name itself anything: what is read is cut to size and holds no control
// characters, whatever the property holds.
TEST_F(X11RigTest, TitlesAndClassNamesOfAnyLengthAreCutAndLoseControlCharacters) {
    WindowId w = open("Hostile", "hostile");
    const std::string huge = "Evil\x1b[2J\x07\tName" + std::string(256 * 1024, 'x');
    const std::string wmClass = huge + '\0' + huge + '\0';
    auto set = [&](xcb_atom_t property, xcb_atom_t type, const std::string& value) {
        xcb_change_property(conn->xcb(), XCB_PROP_MODE_REPLACE, w, property, type, 8, uint32_t(value.size()),
                            value.data());
    };
    set(XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, wmClass);
    set(conn->atom("_NET_WM_NAME"), conn->atom("UTF8_STRING"), "Title\n" + huge);
    free(xcb_get_input_focus_reply(conn->xcb(), xcb_get_input_focus(conn->xcb()), nullptr));
    auto hints = windows->classHints(w);
    // The class name lies beyond the part of WM_CLASS that is fetched: none is better than a huge one.
    const std::tuple<const char*, std::string, bool> read[] = {{"instance", hints.instance, true},
                                                               {"class", hints.className, false},
                                                               {"title", windows->title(w).value_or(""), true}};
    for (const auto& [what, text, kept] : read) {
        EXPECT_LE(text.size(), 1024u) << what;
        EXPECT_TRUE(std::ranges::none_of(text, [](char c) { return (unsigned char)c < 0x20 || c == 0x7f; })) << what;
        EXPECT_EQ(text.find("Evil[2J Name") != std::string::npos, kept) << what;
    }
}

TEST_F(X11RigTest, ARestartedWindowManagerIsFollowedAndALostServerReported) {
    // The app tracker lives through it too: only the window tracker's list is looked at.
    auto appTracker = AppTracker::create({workspace, windows, time, diagnostics, nullptr, 0});
    auto windowTracker = WindowTracker::create({workspace, windows, time, diagnostics, nullptr, 0});
    windowTracker->start();
    WindowId a = open("AlphaWin", "Alpha");
    focus(a);
    ASSERT_TRUE(waitFor([&] { return windowTracker->orderedCount() == 1; }));
    rig.killWM();
    ASSERT_TRUE(waitFor([&] { return !windows->windowControlAvailable(); }));
    EXPECT_TRUE(waitFor([&] { return !diagnostics->windowControlAvailable.get(); }));
    EXPECT_FALSE(windows->activate(a));
    ASSERT_TRUE(rig.startWM());
    EXPECT_TRUE(waitFor([&] { return diagnostics->windowControlAvailable.get(); }));
    WindowId b = open("BetaWin", "Beta");
    focus(b);
    EXPECT_TRUE(waitFor([&] { return windowTracker->mru().front().id == b; }));

    bool lost = false;
    auto sub = conn->onLost([&] { lost = true; });
    rig.killServer();
    EXPECT_TRUE(waitFor([&] { return lost; }));
    EXPECT_TRUE(conn->broken());
    EXPECT_FALSE(windows->activeWindow());
    EXPECT_FALSE(windows->activate(a));
    windowTracker->activatePrevious();
    windowTracker->orderedTargets();
    waitFor([] { return false; }, 0.2);  // whatever was still queued runs, harmlessly
}

TEST_F(X11RigTest, PointerGrabIsHeldExactlyBetweenBeginAndEnd) {
    auto suppressor = ScrollSuppressor::create(std::make_shared<X11ScrollBlocker>(conn), time);
    xcb_connection_t* other = xcb_connect(rig.display.c_str(), nullptr);
    ASSERT_FALSE(xcb_connection_has_error(other));
    xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(other)).data->root;
    auto otherReleases = [&] {
        xcb_ungrab_pointer(other, XCB_CURRENT_TIME);
        free(xcb_get_input_focus_reply(other, xcb_get_input_focus(other), nullptr));
    };
    // Another client's grab succeeds only while we hold none; it keeps it when asked to.
    auto otherGrabs = [&](bool keep = false) {
        auto* r =
            xcb_grab_pointer_reply(other,
                                   xcb_grab_pointer(other, 0, root, XCB_EVENT_MASK_BUTTON_PRESS, XCB_GRAB_MODE_ASYNC,
                                                    XCB_GRAB_MODE_ASYNC, XCB_NONE, XCB_NONE, XCB_CURRENT_TIME),
                                   nullptr);
        bool ok = r && r->status == XCB_GRAB_STATUS_SUCCESS;
        free(r);
        if (ok && !keep) otherReleases();
        return ok;
    };
    auto begin = [&] { suppressor->begin(), time->runReady(); };
    auto end = [&] { suppressor->end(), time->runReady(); };
    suppressor->installIfNeeded();
    EXPECT_TRUE(otherGrabs()) << "created idle";
    begin();
    EXPECT_FALSE(otherGrabs());
    end();
    EXPECT_TRUE(otherGrabs());

    // A begin while the other client holds its grab fails quietly; the next begin takes it.
    ASSERT_TRUE(otherGrabs(/*keep=*/true));
    begin();
    end();
    otherReleases();
    begin();
    EXPECT_FALSE(otherGrabs());
    end();
    EXPECT_TRUE(otherGrabs());
    xcb_disconnect(other);
}

// When the engine installs and removes the monitor is checked on the in-memory engine
// (tests/gesture); here Escape typed into another client reaches it, and only while installed.
TEST_F(X11RigTest, EscapeTypedIntoAnotherWindowReachesOnlyAnInstalledMonitor) {
    auto keys = X11KeyMonitor::create(conn);
    ASSERT_TRUE(keys->available());
    focus(open("AlphaWin", "Alpha"));
    int escapes = 0;
    auto press = [&](const char* key) {
        rig.run(std::string("xdotool key ") + key);
        waitFor([] { return false; }, 0.3);  // time for a wrongly delivered event to arrive
        return escapes;
    };
    auto token = keys->addEscapeMonitor([&] { ++escapes; });
    ASSERT_TRUE(token);
    EXPECT_EQ(press("a"), 0) << "other keys do nothing";
    rig.run("xdotool key Escape");
    EXPECT_TRUE(waitFor([&] { return escapes == 1; }));
    keys->removeMonitor(*token);
    EXPECT_EQ(press("Escape"), 1) << "removed";
}

TEST_F(X11RigTest, CompositorStateFollowsACompositorStartingQuittingAndDying) {
    if (rig.run("command -v xcompmgr") != 0) GTEST_SKIP() << "xcompmgr is not installed";
    auto support = X11CompositorSupport::create(conn);
    std::vector<bool> heard;
    auto sub = support->subscribe([&](bool active) { heard.push_back(active); });
    for (int sig : {SIGTERM, SIGKILL}) {
        pid_t compositor = rig::spawn({"xcompmgr", "-n"});
        EXPECT_TRUE(waitFor([&] { return support->compositorActive(); })) << "xcompmgr never took the selection";
        EXPECT_TRUE(X11CompositorSupport::create(conn)->compositorActive()) << "known at once when made meanwhile";
        rig::stop(compositor, sig);
        EXPECT_TRUE(waitFor([&] { return !support->compositorActive(); })) << "signal " << sig;
    }
    EXPECT_EQ(heard, (std::vector<bool>{false, true, false, true, false}));
}

}  // namespace
