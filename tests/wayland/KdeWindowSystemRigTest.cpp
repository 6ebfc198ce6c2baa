// KWin's window management on a `kwin_wayland --virtual` rig with real Qt clients.

#include "WaylandRigTest.h"

namespace trellick::rig {
namespace {

class KdeWindowSystemRigTest : public WaylandRigTest {
protected:
    bool startRig(std::string* why) override { return rig.startKWin(why, kwinEntries()); }
    std::shared_ptr<WindowSystem> makeWindows() override { return wayland::KdeWindowSystem::create(conn); }
};

TEST_F(KdeWindowSystemRigTest, ListsWindowsWithTheirProcessesButNotThoseKeptOutOfTheSwitcher) {
    ASSERT_TRUE(wayland::KdeWindowSystem::offered(*conn)) << "the rig's desktop entry opens the gate";
    ASSERT_TRUE(windows()->windowControlAvailable());
    const pid_t alphaClient = rig.window("AlphaWin", "Alpha");
    open("BetaWin", "Beta");
    const WindowId alpha = byTitle("Alpha").value_or(0);
    rig.window("SkipSwitcherWin", "Skipped");
    const WindowId gamma = open("GammaWin", "Gamma");

    EXPECT_EQ(windows()->pid(alpha), alphaClient);
    EXPECT_EQ(windows()->classHints(gamma).gtkApplicationId, "GammaWin");
    EXPECT_EQ(windows()->clientList().size(), 3u);
    EXPECT_FALSE(waitFor([&] { return byTitle("Skipped").has_value(); }, 1.0)) << "kept out of KWin's switcher";
}

TEST_F(KdeWindowSystemRigTest, RecencyIsSeededFromTheStackingOrderAndFollowsActivation) {
    // Opened one after the other, then "a" raised, by a window system of its own before the one
    // under test starts: a, c, b from the top, which is not the order of opening.
    {
        auto probe = wayland::KdeWindowSystem::create(conn);
        auto find = [&](const std::string& title) {
            for (WindowId w : probe->clientList())
                if (probe->title(w) == title) return std::optional(w);
            return std::optional<WindowId>();
        };
        for (const char* title : {"a", "b", "c"}) {
            rig.window(std::string("App") + title, title);
            ASSERT_TRUE(waitFor([&] { return find(title) && probe->activeWindow() == find(title); })) << title;
        }
        ASSERT_TRUE(probe->activate(*find("a")));
        ASSERT_TRUE(waitFor([&] { return probe->activeWindow() == find("a"); }));
    }
    const auto a = byTitle("a"), b = byTitle("b"), c = byTitle("c");
    ASSERT_TRUE(a && b && c);
    EXPECT_EQ(windows()->stackingOrder(), (std::vector<WindowId>{*a, *c, *b}));

    std::vector<WindowId> heard;
    auto sub = windows()->onActiveWindowChanged([&](WindowId w) { heard.push_back(w); });
    ASSERT_TRUE(windows()->activate(*b));
    ASSERT_TRUE(waitFor([&] { return windows()->activeWindow() == b; }));
    EXPECT_EQ(windows()->stackingOrder(), (std::vector<WindowId>{*b, *a, *c}));
    EXPECT_EQ(heard, (std::vector<WindowId>{*b}));
}

}  // namespace
}  // namespace trellick::rig
