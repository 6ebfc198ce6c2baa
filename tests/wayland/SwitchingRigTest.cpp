// End to end on sway and KWin: `trellick --replay` in a Wayland session switches real windows
// through the compositor, as on the X11 rig.

#include <sys/wait.h>

#include "../common/TestSupport.h"
#include "KWinFakeInput.h"
#include "WaylandRigTest.h"
#include "app/Swipes.h"

namespace trellick::rig {
namespace {

struct SwipeCase {
    const char* name;
    const char* mode;
    Swipe swipe;
    const char* expected;  // the title of the window active at the end
    const char* decided;   // a line of the gesture log
    friend std::ostream& operator<<(std::ostream& out, const SwipeCase& s) { return out << s.name; }
};

class TrellickOnSway : public WaylandRigTest {
protected:
    void TearDown() override {
        if (app > 0) rig.quit(app);
    }
    virtual void focus(const std::string& appId) {
        ASSERT_EQ(rig.swaymsg("[app_id=\"^" + appId + "$\"] focus"), 0);
        ASSERT_TRUE(waitFor([&] { return windows()->activeWindow() == byTitle(appId + " window"); })) << appId;
    }
    std::string stderrText() { return test::slurp(rig.tmp() + "/trellick.err"); }
    std::string lastList() { return rig::lastList(stderrText()).value_or(""); }
    int exitStatus(pid_t& which) {
        int status = -1;
        bool ended = waitFor([&] { return waitpid(which, &status, WNOHANG) == which; }, 40.0);
        if (!ended) return -1;
        rig.forget(which);
        which = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    // trellick as the rig's user, every debug category on, `preferences` stored (when given).
    pid_t launch(const std::string& preferences, std::vector<std::string> args,
                 std::map<std::string, std::string> env = {}, const std::string& errors = "trellick.err") {
        const std::string config = rig.tmp() + "/xdg-config";
        if (!preferences.empty()) {
            std::filesystem::create_directories(config + "/trellick");
            std::ofstream(config + "/trellick/preferences.json") << preferences;
            rig.giveToUser(config);
        }
        args.insert(args.begin(), TRELLICK_EXECUTABLE);
        env.try_emplace("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + rig.tmp() + "/no-bus");
        env.insert({{"XDG_CONFIG_HOME", config}, {"QT_LOGGING_RULES", "trellick.*.debug=true"}});
        return rig.spawnInSession(args, rig.tmp() + "/" + errors, env);
    }

    // Three windows, then trellick replaying `swipe`, then Gamma, Alpha, Beta made the recency order.
    void launchAfterThreeWindows(const std::string& mode, const Swipe& swipe) {
        for (const char* appId : {"AlphaWin", "BetaWin", "GammaWin"}) open(appId, appId + std::string(" window"));
        std::ofstream(rig.tmp() + "/swipes.frames") << scenario({swipe});
        app = launch(
            R"({"trellick.granularity": "window", "trellick.onboarded": true, "trellick.mode": ")" + mode + "\"}",
            {"--replay", rig.tmp() + "/swipes.frames", "--quit-after-replay"});
        ASSERT_GT(app, 0);
        ASSERT_TRUE(waitFor([&] { return !lastList().empty(); }, 20.0)) << stderrText();
        for (const char* appId : {"BetaWin", "AlphaWin", "GammaWin"}) focus(appId);
        ASSERT_TRUE(waitFor([&] {
            return lastList().starts_with("Gamma Mail — GammaWin window, Alpha Editor — AlphaWin window");
        })) << stderrText();
    }

    void expectEscapeCancelsAShownWalk(const std::function<void()>& typeEscape) {
        launchAfterThreeWindows("directionalMRU", {3.0, 60, 0.004, 3.0});
        ASSERT_TRUE(waitFor([&] { return stderrText().find("picker opened") != std::string::npos; }, 20.0))
            << stderrText();
        EXPECT_TRUE(waitFor([&] {
            typeEscape();
            return stderrText().find("trellick.gesture: walk cancelled: no switch") != std::string::npos;
        })) << stderrText();
        EXPECT_EQ(exitStatus(app), 0) << stderrText();
        EXPECT_EQ(windows()->activeWindow(), byTitle("GammaWin window")) << "no switch";
    }
    void expectSwitch(const SwipeCase& c) {
        launchAfterThreeWindows(c.mode, c.swipe);
        EXPECT_EQ(exitStatus(app), 0) << stderrText();
        EXPECT_EQ(windows()->activeWindow(), byTitle(c.expected)) << stderrText();
        EXPECT_NE(stderrText().find(std::string("trellick.gesture: ") + c.decided), std::string::npos) << stderrText();
    }
    pid_t app = -1;
};

const SwipeCase kSwipeCases[] = {
    {"ToggleBack", "toggleLastApp", {3.0, 10, 0.02}, "AlphaWin window", "switch to the previous entry"},
    {"WalkToTheThird", "directionalMRU", {3.0, 60, 0.004}, "BetaWin window", "commit: switch to entry 2, Beta"},
    {"WalkAndPullDown", "directionalMRU", {3.0, 60, 0.004, 0, 0.4}, "GammaWin window", "walk cancelled: no switch"}};

// A toggle swipe goes back to the previous window; a slow directional slide walks two steps to
// the third entry and commits there, unless the fingers pull down before the lift.
class SwitchingRigTest : public TrellickOnSway, public ::testing::WithParamInterface<SwipeCase> {};
TEST_P(SwitchingRigTest, AReplayedSwipeSwitchesToTheEntryItChose) {
    expectSwitch(GetParam());
}
auto caseName = [](const auto& info) { return std::string(info.param.name); };
INSTANTIATE_TEST_SUITE_P(Swipes, SwitchingRigTest, ::testing::ValuesIn(kSwipeCases), caseName);

// The same on KWin, where the tests' own binary and trellick have desktop entries opening its
// window management to them, and windows are raised through it.
class TrellickOnKWin : public TrellickOnSway {
protected:
    bool startRig(std::string* why) override { return rig.startKWin(why, kwinEntries({TRELLICK_EXECUTABLE})); }
    std::shared_ptr<WindowSystem> makeWindows() override { return wayland::KdeWindowSystem::create(conn); }
    void focus(const std::string& appId) override {
        const auto window = byTitle(appId + " window");
        ASSERT_TRUE(window && windows()->activate(*window)) << appId;
        ASSERT_TRUE(waitFor([&] { return windows()->activeWindow() == window; })) << appId;
    }
};

class SwitchingOnKWin : public TrellickOnKWin, public ::testing::WithParamInterface<SwipeCase> {};
TEST_P(SwitchingOnKWin, AReplayedSwipeSwitchesToTheEntryItChose) {
    expectSwitch(GetParam());
}
INSTANTIATE_TEST_SUITE_P(Swipes, SwitchingOnKWin, ::testing::ValuesIn(kSwipeCases), caseName);

// Escape typed while the overlay is shown reaches trellick's shield and cancels the walk.
TEST_F(TrellickOnSway, EscapeDuringAShownWalkCancelsIt) {
    if (rig.runToEnd({"sh", "-c", "command -v wtype"}) != 0) GTEST_SKIP() << "wtype is not installed";
    expectEscapeCancelsAShownWalk([&] { rig.runToEnd({"wtype", "-s", "200", "-k", "Escape"}); });
}

// KWin gives the shield the keyboard too.
TEST_F(TrellickOnKWin, EscapeDuringAShownWalkCancelsIt) {
    KWinFakeInput input(conn);
    ASSERT_TRUE(input.ready());
    expectEscapeCancelsAShownWalk([&] {
        input.key(KEY_ESC);
        waitFor([] { return false; }, 0.2);
    });
}

// A binary that no desktop entry names (a build run from elsewhere) gets no window management
// from KWin: trellick says which global is missing and keeps reading the touchpad.
TEST_F(TrellickOnKWin, WithoutItsDesktopEntryTrellickNamesTheMissingGlobalAndKeepsRunning) {
    const std::string copy = rig.tmp() + "/bin/trellick";
    std::filesystem::copy_file(TRELLICK_EXECUTABLE, copy);
    app = rig.spawnInSession({copy}, rig.tmp() + "/trellick.err",
                             {{"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + rig.tmp() + "/no-bus"}});
    ASSERT_TRUE(waitFor(
        [&] { return stderrText().find("does not offer org_kde_plasma_window_management") != std::string::npos; },
        20.0))
        << stderrText();
    EXPECT_FALSE(waitFor([&] { return waitpid(app, nullptr, WNOHANG) == app; }, 1.0)) << stderrText();
}

// A second launch asks the first over the session bus to open its settings, which take the focus
// with the token it passes, whether the window is new or already open behind.
TEST_F(TrellickOnSway, ASecondLaunchBringsTheSettingsWindowForward) {
    if (rig.runToEnd({"sh", "-c", "command -v dbus-daemon"}) != 0) GTEST_SKIP() << "dbus-daemon is not installed";
    const std::string bus = rig.runtimeDir() + "/bus";
    rig.program({"dbus-daemon", "--session", "--nofork", "--address=unix:path=" + bus});
    ASSERT_TRUE(waitFor([&] { return std::filesystem::exists(bus); })) << "no session bus";
    // By default sway only marks a window that asks for the focus as urgent.
    ASSERT_EQ(rig.swaymsg("focus_on_window_activation focus"), 0);
    open("AlphaWin", "AlphaWin window");
    const std::map<std::string, std::string> env{{"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + bus}};
    app = launch(R"({"trellick.onboarded": true})", {}, env);
    ASSERT_TRUE(waitFor([&] { return !lastList().empty(); }, 20.0)) << stderrText();
    for (int again = 0; again < 2; ++again) {
        focus("AlphaWin");
        pid_t second = launch("", {}, env, "second.err");
        EXPECT_EQ(exitStatus(second), 0) << stderrText();
        EXPECT_TRUE(waitFor([&] { return activeTitle() == "Settings"; })) << again << stderrText();
    }
}

}  // namespace
}  // namespace trellick::rig
