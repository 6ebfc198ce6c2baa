// End to end: `trellick --replay` on the X11 rig switches real windows.

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "RigTest.h"

using namespace trellick;

namespace {

// Writes an evemu recording (and its .desc) of three fingers: `idle` seconds of nothing, a
// still hold of 0.1 s, then `steps` frames 10 ms apart moving right by `dx` each, then lift.
void writeRecording(const std::string& base, double idle, int steps, double dx) {
    std::ofstream out(base + ".evemu");
    auto line = [&](double t, int type, int code, int value) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "E: %.6f %04x %04x %d\n", t, type, code, value);
        out << buf;
    };
    line(0, 0, 0, 0);  // an empty frame marks the start
    for (int f = 0, lift = 11 + steps; f <= lift; ++f) {
        double t = idle + 0.01 * f, offset = dx * std::max(0, f - 10);
        for (int i = 0; i < 3; ++i) {
            line(t, 3, 0x2f, i);
            if (f == 0 || f == lift) line(t, 3, 0x39, f == 0 ? 100 + i : -1);
            if (f == lift) continue;
            line(t, 3, 0x35, static_cast<int>((0.40 + 0.05 * i + offset) * 1000));
            line(t, 3, 0x36, 500);
        }
        if (f == 0 || f == lift) {
            line(t, 1, 0x14a, f == 0);
            line(t, 1, 0x14e, f == 0);
        }
        line(t, 0, 0, 0);
    }
    std::ofstream(base + ".desc") << "A: 2f 0 4 0 0\nA: 35 0 1000 0 0\nA: 36 0 1000 0 0\nA: 39 0 65535 0 0\n";
}

class TrayAppRigTest : public rig::RigTest {
protected:
    void SetUp() override {
        RigTest::SetUp();
        if (!IsSkipped() && !HasFatalFailure()) std::filesystem::create_directories(rig.tmp() + "/config/trellick");
    }
    void TearDown() override { rig::stop(app, SIGKILL); }
    WindowId open(const std::string& cls) { return RigTest::open(cls, cls + " window"); }
    // Starts trellick with `preferences` stored and a recording of `steps` after `idle` seconds.
    void launch(const std::string& preferences, double idle, int steps, double dx, std::vector<std::string> args = {},
                const std::map<std::string, std::string>& env = {}) {
        std::ofstream(rig.tmp() + "/config/trellick/preferences.json") << preferences;
        writeRecording(rig.tmp() + "/swipe", idle, steps, dx);
        std::string file = rig.tmp() + "/swipe.evemu";
        if (scenario) {  // the recording's frames dumped as a scenario
            std::string dump = TRELLICK_EXECUTABLE " debug-gestures --dump-frames --replay " + file;
            ASSERT_EQ(std::system((dump + " >" + (file = rig.tmp() + "/swipe.frames")).c_str()), 0);
        }
        args.insert(args.begin(), {TRELLICK_EXECUTABLE, "--replay", file});
        app = rig::spawn(args, rig.tmp() + "/trellick.err", env);
        ASSERT_GT(app, 0);
    }
    // Waits for trellick's own X connection to show up (ours has a window of that name too).
    bool connected() {
        char own[16];
        std::snprintf(own, sizeof own, "0x%x ", conn->ownWindow());
        std::string cmd =
            "xwininfo -root -children | grep 'Trellick window tracking' | grep -vq '" + std::string(own) + "'";
        return waitFor([&] { return rig.run(cmd) == 0; }, 10.0);
    }
    // Waits for trellick to end and checks that it exited with `code`.
    void expectExit(int code) {
        int status = -1;
        bool ended = waitFor([&] { return waitpid(app, &status, WNOHANG) == app; }, 20.0);
        if (ended) app = -1;
        ASSERT_TRUE(ended && WIFEXITED(status)) << "status " << status << ": " << stderrText();
        EXPECT_EQ(WEXITSTATUS(status), code) << stderrText();
    }
    std::string stderrText() {
        std::stringstream ss;
        ss << std::ifstream(rig.tmp() + "/trellick.err").rdbuf();
        return ss.str();
    }

    pid_t app = -1;
    bool scenario = false;  // replay the swipe from a scenario file instead of a recording
};

// A toggle swipe goes back to the previously active window; a slow, held directional slide
// walks two steps and commits the window it reached.
struct Swipe {
    const char* mode;
    int steps;
    double dx;
    int expected;  // of the windows focused in turn
    bool scenario = false;
    friend std::ostream& operator<<(std::ostream& out, const Swipe& s) { return out << s.mode; }
};
class TrayAppSwipeTest : public TrayAppRigTest, public ::testing::WithParamInterface<Swipe> {};

TEST_P(TrayAppSwipeTest, ReplayedSwipeSwitchesRealWindows) {
    WindowId w[] = {open("AlphaWin"), open("BetaWin"), open("GammaWin")};
    scenario = GetParam().scenario;
    launch(std::string(R"({"trellick.granularity": "window", "trellick.onboarded": true, "trellick.mode": ")") +
               GetParam().mode + "\"}",
           3.0, GetParam().steps, GetParam().dx, {"--quit-after-replay"});
    ASSERT_TRUE(connected()) << stderrText();
    waitFor([] { return false; }, 0.3);
    for (WindowId x : w) focus(x);
    expectExit(0);
    EXPECT_EQ(windows->activeWindow(), w[GetParam().expected]);
    for (const char* debug : {"trellick.gesture:", "trellick.tracking:"})  // off unless asked for
        EXPECT_EQ(stderrText().find(debug), std::string::npos) << stderrText();
}
INSTANTIATE_TEST_SUITE_P(Modes, TrayAppSwipeTest,
                         ::testing::Values(Swipe{"toggleLastApp", 10, 0.02, 1}, Swipe{"directionalMRU", 60, 0.004, 0},
                                           Swipe{"directionalMRU", 60, 0.004, 0, true}),
                         [](const auto& info) {
                             return std::string(info.param.mode) + (info.param.scenario ? "FromAScenario" : "");
                         });

TEST_F(TrayAppRigTest, DebugCategoriesShowTheGestureItsDecisionTheSwitchAndTheRecencyLists) {
    WindowId a = open("AlphaWin"), b = open("BetaWin");
    launch(R"({"trellick.mode": "toggleLastApp", "trellick.onboarded": true})", 2.0, 10, 0.02, {"--quit-after-replay"},
           {{"QT_LOGGING_RULES", "trellick.*.debug=true"}});
    ASSERT_TRUE(connected()) << stderrText();
    focus(a);
    focus(b);
    expectExit(0);
    for (const char* line : {"trellick.gesture: touchpad started: ", "trellick.gesture: gesture idle -> watching",
                             "trellick.gesture: toggle swipe: dx 0.2", "trellick.gesture: switch to the previous entry",
                             "trellick.tracking: windows, most recent first: "})
        EXPECT_NE(stderrText().find(line), std::string::npos) << line << "\n" << stderrText();
}

TEST_F(TrayAppRigTest, WithoutAReadableTouchpadItSaysSoOnceAndThenWaitsQuietly) {
    app = rig::spawn({TRELLICK_EXECUTABLE}, rig.tmp() + "/trellick.err",
                     {{"QT_LOGGING_RULES", "trellick.evdev.debug=true"}});
    ASSERT_TRUE(connected()) << stderrText();
    waitFor([] { return false; }, 2.0);  // past the launch's retry a second later
    std::string err = stderrText();
    if (err.find("trellick.evdev: reading ") != std::string::npos) GTEST_SKIP() << "a touchpad here can be read";
    int said = 0;
    std::istringstream lines(err);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("Trellick ", 0) == 0 && line.find("touchpad") != std::string::npos) ++said;
    EXPECT_EQ(said, 1) << err;
}

// Windows focused one after another before Trellick starts: a toggle swipe right after launch
// goes back to the one focused before the active one, in either granularity.
class TrayAppFirstSwipeTest : public TrayAppRigTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(TrayAppFirstSwipeTest, AToggleRightAfterLaunchHasSomewhereToGo) {
    WindowId w[] = {open("AlphaWin"), open("BetaWin"), open("GammaWin"), open("DeltaWin")};
    for (WindowId x : w) focus(x);
    launch(std::string(R"({"trellick.mode": "toggleLastApp", "trellick.onboarded": true, "trellick.granularity": ")") +
               GetParam() + "\"}",
           0.5, 10, 0.02, {"--quit-after-replay"});
    expectExit(0);
    EXPECT_TRUE(waitFor([&] { return windows->activeWindow() == w[2]; }, 2.0)) << stderrText();
}
INSTANTIATE_TEST_SUITE_P(Granularity, TrayAppFirstSwipeTest, ::testing::Values("window", "app"),
                         [](const auto& info) { return std::string(info.param); });

TEST_F(TrayAppRigTest, LosingTheXServerEndsWithAMessage) {
    launch("{}", 60.0, 10, 0.02);
    ASSERT_TRUE(connected()) << stderrText();
    windows.reset();
    conn.reset();
    rig.killServer();
    expectExit(1);
    EXPECT_NE(stderrText().find("X"), std::string::npos) << stderrText();
}

TEST_F(TrayAppRigTest, TerminationSignalQuitsNormallyAndWritesWhatCouldNotBeWrittenBefore) {
    // A file where the configuration folder should be: the usage counts cannot be written yet.
    const std::string config = rig.tmp() + "/blocked-config";
    std::ofstream(config) << "in the way";
    launch("{}", 60.0, 10, 0.02, {}, {{"XDG_CONFIG_HOME", config}});
    ASSERT_TRUE(connected()) << stderrText();
    WindowId a = open("AlphaWin"), b = open("BetaWin");
    auto failedToSave = [&] { return stderrText().find("could not save preferences") != std::string::npos; };
    for (int i = 0; i < 20 && !failedToSave(); ++i) focus(i % 2 ? b : a);
    ASSERT_TRUE(failedToSave()) << stderrText();

    std::filesystem::remove(config);
    ::kill(app, SIGTERM);
    expectExit(0);
    std::stringstream written;
    written << std::ifstream(config + "/trellick/preferences.json").rdbuf();
    EXPECT_NE(written.str().find("\"org.trellick.Alpha\": "), std::string::npos) << written.str() << stderrText();
}

TEST_F(TrayAppRigTest, WithoutAnX11DisplayItExitsAndInAWaylandSessionItSwitchesNothing) {
    launch("{}", 0.1, 10, 0.02, {"--quit-after-replay"}, {{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}});
    expectExit(1);
    EXPECT_NE(stderrText().find("no X11 display"), std::string::npos) << stderrText();

    WindowId a = open("AlphaWin"), b = open("BetaWin");
    focus(a);
    focus(b);
    launch(R"({"trellick.mode": "toggleLastApp", "trellick.onboarded": true})", 0.5, 10, 0.02, {"--quit-after-replay"},
           {{"XDG_SESSION_TYPE", "wayland"}});
    expectExit(0);
    EXPECT_NE(stderrText().find("window control is unavailable"), std::string::npos) << stderrText();
    EXPECT_EQ(windows->activeWindow(), b);
}

}  // namespace
