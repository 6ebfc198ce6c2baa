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
    void TearDown() override {
        rig::stop(app, SIGKILL);
        rig::stop(bus);
    }
    WindowId open(const std::string& cls) { return RigTest::open(cls, cls + " window"); }
    // Starts trellick with `preferences` stored and a recording of `steps` after `idle` seconds.
    // Each test's instances meet only each other: a runtime folder and a session bus of its own
    // (by default none, an address nobody listens on).
    void launch(const std::string& preferences, double idle, int steps, double dx, std::vector<std::string> args = {},
                std::map<std::string, std::string> env = {}) {
        if (!preferences.empty()) std::ofstream(rig.tmp() + "/config/trellick/preferences.json") << preferences;
        writeRecording(rig.tmp() + "/swipe", idle, steps, dx);
        args.insert(args.begin(), {TRELLICK_EXECUTABLE, "--replay", rig.tmp() + "/swipe.evemu"});
        std::filesystem::create_directories(rig.tmp() + "/run");
        std::filesystem::permissions(rig.tmp() + "/run", std::filesystem::perms::owner_all);
        env.try_emplace("XDG_RUNTIME_DIR", rig.tmp() + "/run");
        env.try_emplace("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + rig.tmp() + (bus > 0 ? "/bus" : "/no-bus"));
        app = rig::spawn(args, rig.tmp() + "/trellick.err", env);
        ASSERT_GT(app, 0);
    }
    // A session bus of the test's own.
    void startBus() {
        bus = rig::spawn({"dbus-daemon", "--session", "--nofork", "--address=unix:path=" + rig.tmp() + "/bus"});
        ASSERT_TRUE(rig::waitFor([&] { return std::filesystem::exists(rig.tmp() + "/bus"); })) << "no dbus-daemon";
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

    pid_t app = -1, bus = -1;
};

// A toggle swipe goes back to the previously active window; a slow, held directional slide
// walks two steps and commits the window it reached.
struct Swipe {
    const char* mode;
    int steps;
    double dx;
    int expected;  // of the windows focused in turn
    friend std::ostream& operator<<(std::ostream& out, const Swipe& s) { return out << s.mode; }
};
class TrayAppSwipeTest : public TrayAppRigTest, public ::testing::WithParamInterface<Swipe> {};

TEST_P(TrayAppSwipeTest, ReplayedSwipeSwitchesRealWindows) {
    WindowId w[] = {open("AlphaWin"), open("BetaWin"), open("GammaWin")};
    launch(std::string(R"({"trellick.granularity": "window", "trellick.onboarded": true, "trellick.mode": ")") +
               GetParam().mode + "\"}",
           3.0, GetParam().steps, GetParam().dx, {"--quit-after-replay"});
    ASSERT_TRUE(connected()) << stderrText();
    waitFor([] { return false; }, 0.3);
    for (WindowId x : w) focus(x);
    expectExit(0);
    EXPECT_EQ(windows->activeWindow(), w[GetParam().expected]);
}
INSTANTIATE_TEST_SUITE_P(Modes, TrayAppSwipeTest,
                         ::testing::Values(Swipe{"toggleLastApp", 10, 0.02, 1}, Swipe{"directionalMRU", 60, 0.004, 0}),
                         [](const auto& info) { return std::string(info.param.mode); });

TEST_F(TrayAppRigTest, LosingTheXServerEndsWithAMessage) {
    launch("{}", 60.0, 10, 0.02);
    ASSERT_TRUE(connected()) << stderrText();
    windows.reset();
    conn.reset();
    rig.killServer();
    expectExit(1);
    EXPECT_NE(stderrText().find("X"), std::string::npos) << stderrText();
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
