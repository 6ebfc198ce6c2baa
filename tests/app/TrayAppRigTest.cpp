// End to end: `trellick --replay` on the X11 rig switches real windows.

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "Rig.h"
#include "platform/fake/Fakes.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11WindowSystem.h"

using namespace trellick;

namespace {

// Writes an evemu recording (and its .desc) of three fingers: `idle` seconds of nothing, a
// still hold of 0.1 s, then `steps` frames 10 ms apart moving right by `dx` each, then lift.
void writeRecording(const std::string& base, double idle, int steps, double dx) {
    std::ofstream out(base + ".evemu");
    double t = 0;
    auto line = [&](int type, int code, int value) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "E: %.6f %04x %04x %d\n", t, type, code, value);
        out << buf;
    };
    line(0, 0, 0);  // an empty frame marks the start
    t = idle;
    double xs[] = {0.40, 0.45, 0.50}, offset = 0;
    auto frame = [&](bool first) {
        for (int i = 0; i < 3; ++i) {
            line(3, 0x2f, i);
            if (first) line(3, 0x39, 100 + i);
            line(3, 0x35, static_cast<int>((xs[i] + offset) * 1000));
            line(3, 0x36, 500);
        }
        if (first) {
            line(1, 0x14a, 1);
            line(1, 0x14e, 1);
        }
        line(0, 0, 0);
    };
    frame(true);
    for (int i = 0; i < 10; ++i) {
        t += 0.01;
        frame(false);
    }
    for (int i = 0; i < steps; ++i) {
        t += 0.01;
        offset += dx;
        frame(false);
    }
    t += 0.01;
    for (int i = 0; i < 3; ++i) {
        line(3, 0x2f, i);
        line(3, 0x39, -1);
    }
    line(1, 0x14a, 0);
    line(1, 0x14e, 0);
    line(0, 0, 0);
    std::ofstream(base + ".desc") << "A: 2f 0 4 0 0\nA: 35 0 1000 0 0\nA: 36 0 1000 0 0\nA: 39 0 65535 0 0\n";
}

class TrayAppRigTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string why;
        if (!rig.start(&why)) GTEST_SKIP() << "no X11 rig: " << why;
        conn = X11Connection::open(queue, &why);
        ASSERT_TRUE(conn) << why;
        windows = X11WindowSystem::create(conn);
        std::filesystem::create_directories(rig.tmp() + "/config/trellick");
    }
    void TearDown() override {
        if (app > 0) rig::stop(app, SIGKILL);
        windows.reset();
        conn.reset();
        rig.shutdown();
    }

    void preferences(const std::string& json) {
        std::ofstream(rig.tmp() + "/config/trellick/preferences.json") << json;
    }
    WindowId open(const std::string& cls) {
        pid_t pid = rig.window(cls, cls + " window");
        std::optional<WindowId> w;
        EXPECT_TRUE(rig::waitFor([&] { return (w = windows->focusedWindow(pid)).has_value(); }));
        return w.value_or(0);
    }
    void focus(WindowId w) {
        rig.run("xdotool windowactivate --sync " + std::to_string(w));
        EXPECT_TRUE(rig::waitFor([&] { return windows->activeWindow() == w; }));
    }
    // Starts trellick with extra environment; its standard error goes to a file.
    void launch(std::vector<std::string> args, std::map<std::string, std::string> env = {},
                std::vector<std::string> unset = {}) {
        std::vector<std::string> envs;
        for (char** e = environ; *e; ++e) {
            std::string kv = *e, key = kv.substr(0, kv.find('='));
            if (env.count(key) || std::find(unset.begin(), unset.end(), key) != unset.end()) continue;
            envs.push_back(kv);
        }
        for (auto& [k, v] : env) envs.push_back(k + "=" + v);
        std::vector<char*> envp, argv;
        for (auto& e : envs) envp.push_back(e.data());
        envp.push_back(nullptr);
        args.insert(args.begin(), TRELLICK_EXECUTABLE);
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        stderrPath = rig.tmp() + "/trellick.err";
        posix_spawn_file_actions_addopen(&fa, 2, stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
        ASSERT_EQ(posix_spawn(&app, argv[0], &fa, nullptr, argv.data(), envp.data()), 0);
        posix_spawn_file_actions_destroy(&fa);
    }
    // Waits for trellick's own X connection to show up (ours has a window of that name too).
    bool connected() {
        char own[16];
        std::snprintf(own, sizeof own, "0x%x ", conn->ownWindow());
        std::string cmd = "xwininfo -root -children | grep 'Trellick window tracking' | grep -vq '" + std::string(own) + "'";
        return rig::waitFor([&] { return rig.run(cmd) == 0; }, 10.0);
    }
    // Waits for the process to end; its wait status, or -1 on time-out.
    int finish(double timeout = 20.0) {
        int status = -1;
        bool done = rig::waitFor([&] { return waitpid(app, &status, WNOHANG) == app; }, timeout);
        if (!done) return -1;
        app = -1;
        return status;
    }
    std::string stderrText() {
        std::ifstream in(stderrPath);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }

    rig::Rig rig;
    std::shared_ptr<fake::FakeClock> clock = std::make_shared<fake::FakeClock>();
    std::shared_ptr<fake::FakeMainQueue> queue = std::make_shared<fake::FakeMainQueue>(clock);
    std::shared_ptr<X11Connection> conn;
    std::shared_ptr<X11WindowSystem> windows;
    pid_t app = -1;
    std::string stderrPath;
};

TEST_F(TrayAppRigTest, ToggleSwipeGoesBackToThePreviouslyActiveWindow) {
    WindowId a = open("AlphaWin"), b = open("BetaWin"), c = open("GammaWin");
    preferences(R"({"trellick.mode": "toggleLastApp", "trellick.granularity": "window", "trellick.onboarded": true})");
    writeRecording(rig.tmp() + "/toggle", 3.0, 10, 0.02);
    launch({"--replay", rig.tmp() + "/toggle.evemu", "--quit-after-replay"});
    ASSERT_TRUE(connected()) << stderrText();
    rig::waitFor([] { return false; }, 0.3);
    for (WindowId w : {a, b, c}) focus(w);
    int status = finish();
    ASSERT_TRUE(WIFEXITED(status)) << "status " << status << ": " << stderrText();
    EXPECT_EQ(WEXITSTATUS(status), 0) << stderrText();
    EXPECT_EQ(windows->activeWindow(), b);
}

TEST_F(TrayAppRigTest, DirectionalWalkCommitsTheWindowItWalkedTo) {
    WindowId a = open("AlphaWin"), b = open("BetaWin"), c = open("GammaWin");
    preferences(R"({"trellick.mode": "directionalMRU", "trellick.granularity": "window", "trellick.onboarded": true})");
    writeRecording(rig.tmp() + "/walk", 3.0, 60, 0.004);  // a slow, held slide: two steps
    launch({"--replay", rig.tmp() + "/walk.evemu", "--quit-after-replay"});
    ASSERT_TRUE(connected()) << stderrText();
    rig::waitFor([] { return false; }, 0.3);
    for (WindowId w : {a, b, c}) focus(w);
    int status = finish();
    ASSERT_TRUE(WIFEXITED(status)) << "status " << status << ": " << stderrText();
    EXPECT_EQ(WEXITSTATUS(status), 0) << stderrText();
    EXPECT_EQ(windows->activeWindow(), a);
}

TEST_F(TrayAppRigTest, LosingTheXServerEndsWithAMessage) {
    writeRecording(rig.tmp() + "/long", 60.0, 10, 0.02);
    launch({"--replay", rig.tmp() + "/long.evemu"});
    ASSERT_TRUE(connected()) << stderrText();
    windows.reset();
    conn.reset();
    rig.killServer();
    int status = finish();
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0) << ": "
                                   << stderrText();
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_NE(stderrText().find("X"), std::string::npos) << stderrText();
}

TEST_F(TrayAppRigTest, WithoutADisplayItSaysSoAndExits) {
    writeRecording(rig.tmp() + "/short", 0.1, 10, 0.02);
    launch({"--replay", rig.tmp() + "/short.evemu", "--quit-after-replay"}, {}, {"DISPLAY", "WAYLAND_DISPLAY"});
    int status = finish();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_NE(stderrText().find("no X11 display"), std::string::npos) << stderrText();
}

TEST_F(TrayAppRigTest, WaylandSessionRunsWithoutWindowControl) {
    WindowId a = open("AlphaWin"), b = open("BetaWin");
    focus(a);
    focus(b);
    preferences(R"({"trellick.mode": "toggleLastApp", "trellick.onboarded": true})");
    writeRecording(rig.tmp() + "/toggle", 0.5, 10, 0.02);
    launch({"--replay", rig.tmp() + "/toggle.evemu", "--quit-after-replay"}, {{"XDG_SESSION_TYPE", "wayland"}});
    int status = finish();
    ASSERT_TRUE(WIFEXITED(status)) << stderrText();
    EXPECT_EQ(WEXITSTATUS(status), 0) << stderrText();
    EXPECT_NE(stderrText().find("window control is unavailable"), std::string::npos) << stderrText();
    EXPECT_EQ(windows->activeWindow(), b) << "nothing was switched";
}

}  // namespace
