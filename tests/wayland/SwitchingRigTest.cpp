// End to end on sway and KWin: `trellick --replay` in a Wayland session switches real windows
// through the compositor, as on the X11 rig.

#include <sys/wait.h>

#include <sstream>

#include "KWinFakeInput.h"
#include "WaylandRigTest.h"
#include "app/Swipes.h"

namespace trellick::rig {
namespace {

struct SwipeCase {
    const char* mode;
    Swipe swipe;
    const char* expected;  // the title of the window active at the end
    const char* decided;   // a line of the gesture log
    friend std::ostream& operator<<(std::ostream& out, const SwipeCase& s) { return out << s.mode; }
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
    std::string stderrText() {
        std::stringstream ss;
        ss << std::ifstream(rig.tmp() + "/trellick.err").rdbuf();
        return ss.str();
    }
    // The window list trellick logged last.
    std::string lastList() {
        const std::string err = stderrText(), line = "trellick.tracking: windows, most recent first: ";
        auto at = err.rfind(line);
        if (at == std::string::npos) return {};
        at += line.size();
        return err.substr(at, err.find('\n', at) - at);
    }
    int exitStatus() {
        int status = -1;
        bool ended = waitFor([&] { return waitpid(app, &status, WNOHANG) == app; }, 40.0);
        if (!ended) return -1;
        rig.forget(app);
        app = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // Three windows, then trellick with `mode` replaying `swipe` as the rig's user, then focus
    // moved so that Gamma, Alpha, Beta is the recency order.
    void launchAfterThreeWindows(const std::string& mode, const Swipe& swipe) {
        for (const char* appId : {"AlphaWin", "BetaWin", "GammaWin"}) open(appId, appId + std::string(" window"));
        const std::string config = rig.tmp() + "/xdg-config";
        std::filesystem::create_directories(config + "/trellick");
        std::ofstream(config + "/trellick/preferences.json")
            << R"({"trellick.granularity": "window", "trellick.onboarded": true, "trellick.mode": ")" << mode << "\"}";
        rig.giveToUser(config);
        std::ofstream(rig.tmp() + "/swipes.frames") << scenario({swipe});
        app = rig.spawnInSession({TRELLICK_EXECUTABLE, "--replay", rig.tmp() + "/swipes.frames", "--quit-after-replay"},
                                 rig.tmp() + "/trellick.err",
                                 {{"XDG_CONFIG_HOME", config},
                                  {"QT_LOGGING_RULES", "trellick.*.debug=true"},
                                  {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + rig.tmp() + "/no-bus"}});
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
        EXPECT_EQ(exitStatus(), 0) << stderrText();
        EXPECT_EQ(windows()->activeWindow(), byTitle("GammaWin window")) << "no switch";
    }
    void expectSwitch(const SwipeCase& c) {
        launchAfterThreeWindows(c.mode, c.swipe);
        EXPECT_EQ(exitStatus(), 0) << stderrText();
        EXPECT_EQ(windows()->activeWindow(), byTitle(c.expected)) << stderrText();
        EXPECT_NE(stderrText().find(std::string("trellick.gesture: ") + c.decided), std::string::npos) << stderrText();
    }

    pid_t app = -1;
};

const SwipeCase kSwipeCases[] = {
    {"toggleLastApp", {3.0, 10, 0.02}, "AlphaWin window", "switch to the previous entry"},
    {"directionalMRU", {3.0, 60, 0.004}, "BetaWin window", "commit: switch to entry 2, Beta"}};
auto caseName = [](const auto& info) { return std::string(info.param.mode); };

// Windows focused in another order than they were opened, while trellick runs: a toggle swipe
// goes back to the previous one; a slow directional slide walks two steps and commits there.
class SwitchingRigTest : public TrellickOnSway, public ::testing::WithParamInterface<SwipeCase> {};
TEST_P(SwitchingRigTest, AReplayedSwipeSwitchesToTheEntryItChose) {
    expectSwitch(GetParam());
}
INSTANTIATE_TEST_SUITE_P(Modes, SwitchingRigTest, ::testing::ValuesIn(kSwipeCases), caseName);

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
INSTANTIATE_TEST_SUITE_P(Modes, SwitchingOnKWin, ::testing::ValuesIn(kSwipeCases), caseName);

// Escape typed while the overlay is shown reaches trellick's shield and cancels the walk.
TEST_F(TrellickOnSway, EscapeDuringAShownWalkCancelsIt) {
    if (rig.runToEnd({"sh", "-c", "command -v wtype"}) != 0) GTEST_SKIP() << "wtype is not installed";
    expectEscapeCancelsAShownWalk([&] { rig.runToEnd({"wtype", "-s", "200", "-k", "Escape"}); });
}

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

}  // namespace
}  // namespace trellick::rig
