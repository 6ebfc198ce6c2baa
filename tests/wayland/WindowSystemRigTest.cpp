// The foreign-toplevel window system on a headless sway with real Qt clients.

#include <algorithm>

#include "WaylandRigTest.h"
#include "platform/desktop/GioDesktopEntries.h"
#include "platform/wayland/XdgActivation.h"
#include "tracking/WindowWorkspace.h"

namespace trellick::rig {
namespace {

using WindowSystemRigTest = WaylandRigTest;

TEST_F(WindowSystemRigTest, ListsToplevelsWithTheirFactsAndMakesAppIdsApplications) {
    ASSERT_TRUE(windows()->windowControlAvailable());
    WindowId a1 = open("AlphaWin", "Alpha one");
    WindowId a2 = open("AlphaWin", "Alpha two");
    WindowId gamma = open("org.trellick.Gamma", "Gamma");
    WindowId own = open(ownAppId, "Trellick settings");
    WindowId beta = open("BetaWin", "Beta");

    EXPECT_EQ(windows()->clientList(), (std::vector<WindowId>{a1, a2, gamma, own, beta}));
    EXPECT_EQ(windows()->classHints(gamma).gtkApplicationId, "org.trellick.Gamma");
    EXPECT_EQ(windows()->kind(a1), WindowKind::normal);
    EXPECT_EQ(windows()->pid(a1), windows()->pid(a2)) << "one app id, one application";
    EXPECT_NE(windows()->pid(a1), windows()->pid(gamma));
    EXPECT_GT(windows()->pid(a1), 1 << 22) << "no process id can be mistaken for it";
    EXPECT_EQ(windows()->pid(own), getpid()) << "Trellick's own windows are its own process";

    // The desktop entry of each app id, found as on X11: exact id, StartupWMClass, file name.
    auto workspace = WindowWorkspace::create(windows(), std::make_shared<desktop::GioDesktopEntries>());
    const std::pair<WindowId, const char*> entries[] = {
        {gamma, "org.trellick.Gamma"}, {a1, "org.trellick.Alpha"}, {beta, "betawin"}};
    for (auto [window, entry] : entries) {
        SCOPED_TRACE(entry);
        auto app = workspace->runningApp(windows()->pid(window));
        ASSERT_TRUE(app);
        EXPECT_EQ(app->desktopId, entry);
    }
}

TEST_F(WindowSystemRigTest, RecencyIsSeededActivatedFirstAndFollowsFocusButNotAnEmptyWorkspace) {
    // Opened one after the other before the window system starts: sway focuses each new window.
    for (const char* title : {"a", "b", "c"}) {
        rig.window(std::string("App") + title, title);
        ASSERT_TRUE(waitFor([&] {
            auto probe = wayland::WaylandWindowSystem::create(conn, ownAppId);
            auto active = probe->activeWindow();
            return active && probe->title(*active) == title;
        })) << title
            << " never focused";
    }
    const auto a = byTitle("a"), b = byTitle("b"), c = byTitle("c");
    // The activated one first, the others as the compositor announced them (sway: newest first).
    std::vector<WindowId> seeded{*c};
    for (WindowId w : windows()->clientList())
        if (w != *c) seeded.push_back(w);
    EXPECT_EQ(windows()->stackingOrder(), seeded);

    std::vector<WindowId> heard;
    auto sub = windows()->onActiveWindowChanged([&](WindowId w) { heard.push_back(w); });
    ASSERT_EQ(rig.swaymsg("[title=\"^a$\"] focus"), 0);
    ASSERT_TRUE(waitFor([&] { return windows()->activeWindow() == a; }));
    std::vector<WindowId> afterA{*a};
    for (WindowId w : seeded)
        if (w != *a) afterA.push_back(w);
    EXPECT_EQ(windows()->stackingOrder(), afterA);

    // Nothing activated is no change of recency, and coming back to "a" is no change either.
    ASSERT_EQ(rig.swaymsg("workspace 2"), 0);
    ASSERT_TRUE(waitFor([&] { return !windows()->activeWindow(); }));
    EXPECT_EQ(windows()->stackingOrder(), afterA);
    ASSERT_EQ(rig.swaymsg("[title=\"^b$\"] focus"), 0);
    ASSERT_TRUE(waitFor([&] { return windows()->activeWindow() == b; }));
    EXPECT_EQ(windows()->stackingOrder(), (std::vector<WindowId>{*b, *a, *c}));
    EXPECT_EQ(heard, (std::vector<WindowId>{*a, *b}));
}

TEST_F(WindowSystemRigTest, AClosedToplevelLeavesTheListsAndCannotBeActivated) {
    WindowId keep = open("AlphaWin", "keep");
    pid_t client = rig.window("BetaWin", "goes");
    std::optional<WindowId> goes;
    ASSERT_TRUE(waitFor([&] { return (goes = byTitle("goes")).has_value(); }));
    int changes = 0;
    auto sub = windows()->onClientListChanged([&] { ++changes; });
    rig.quit(client);
    ASSERT_TRUE(waitFor([&] { return windows()->clientList() == std::vector<WindowId>{keep}; }));
    EXPECT_EQ(changes, 1);
    EXPECT_FALSE(windows()->isAlive(*goes));
    EXPECT_FALSE(windows()->title(*goes));
    EXPECT_EQ(std::ranges::count(windows()->stackingOrder(), *goes), 0);
    EXPECT_FALSE(windows()->activate(*goes));
}

// The token lets a launched application take the focus the compositor would not give it.
TEST_F(WindowSystemRigTest, ALaunchedApplicationTakesTheFocusWithOurToken) {
    for (const char* rule : {"no_focus [app_id=\"GammaWin\"]", "focus_on_window_activation focus"})
        ASSERT_EQ(rig.swaymsg(rule), 0) << rule;
    open("AlphaWin", "Alpha");
    auto activation = wayland::XdgActivation::create(conn);
    ASSERT_TRUE(activation);
    // The launched program is the test's own, in the rig's session.
    setenv("WAYLAND_DISPLAY", rig.socket.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "wayland", 1);
    desktop::GioDesktopEntries entries([&](const std::string& id) { return activation->token(id); });
    EXPECT_TRUE(entries.launch("org.trellick.Gamma"));
    unsetenv("WAYLAND_DISPLAY");
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    EXPECT_TRUE(waitFor([&] { return activeTitle() == "Gamma launched"; }));
}

}  // namespace
}  // namespace trellick::rig
