// End to end: `trellick --replay` on the X11 rig switches real windows.

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <regex>
#include <sstream>

#include <xcb/xcb.h>

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
        std::string file = rig.tmp() + "/swipe.evemu";
        if (scenario) {  // the recording's frames dumped as a scenario
            std::string dump = TRELLICK_EXECUTABLE " debug-gestures --dump-frames --replay " + file;
            ASSERT_EQ(std::system((dump + " >" + (file = rig.tmp() + "/swipe.frames")).c_str()), 0);
        }
        args.insert(args.begin(), {TRELLICK_EXECUTABLE, "--replay", file});
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

    std::optional<std::string> activeTitle() {
        auto w = windows->activeWindow();
        return w ? windows->title(*w) : std::nullopt;
    }

    pid_t app = -1, bus = -1;
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
    launch("{}", 60.0, 10, 0.02, {},
           {{"XDG_CONFIG_HOME", config}, {"QT_LOGGING_RULES", "trellick.tracking.debug=true"}});
    ASSERT_TRUE(connected()) << stderrText();
    // Not onboarded (nothing can be read), so the welcome window comes up and takes the focus:
    // let it, before the test moves the focus itself.
    ASSERT_TRUE(waitFor([&] { return activeTitle() == "Welcome"; }, 20.0)) << stderrText();
    WindowId a = open("AlphaWin"), b = open("BetaWin");
    auto failedToSave = [&] { return stderrText().find("could not save preferences") != std::string::npos; };
    for (int i = 0; i < 20 && !failedToSave(); ++i) focus(i % 2 ? b : a);
    ASSERT_TRUE(failedToSave()) << stderrText();
    // One more use of Alpha once writing has failed, heard by Trellick before it is told to quit.
    auto alphaFront = [&] {
        std::string err = stderrText();
        const std::string line = "applications, most recent first: ";
        auto at = err.rfind(line);
        return at != std::string::npos && err.compare(at + line.size(), 12, "Alpha Editor") == 0;
    };
    focus(b);
    focus(a);
    ASSERT_TRUE(waitFor(alphaFront, 10.0)) << stderrText();

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

// What clients ask the window manager to activate: the (source, timestamp) of each
// _NET_ACTIVE_WINDOW message sent to the root, seen over a connection of its own.
class ActivationWatch {
public:
    ActivationWatch() : c_(xcb_connect(nullptr, nullptr)) {
        uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(c_, xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root, XCB_CW_EVENT_MASK,
                                     &mask);
        auto* reply = xcb_intern_atom_reply(c_, xcb_intern_atom(c_, 0, 18, "_NET_ACTIVE_WINDOW"), nullptr);
        active_ = reply->atom;
        std::free(reply);
    }
    ~ActivationWatch() { xcb_disconnect(c_); }
    std::vector<std::pair<uint32_t, uint32_t>> requests() {
        while (xcb_generic_event_t* ev = xcb_poll_for_event(c_)) {
            auto* cm = reinterpret_cast<xcb_client_message_event_t*>(ev);
            if ((ev->response_type & 0x7f) == XCB_CLIENT_MESSAGE && cm->type == active_)
                seen_.emplace_back(cm->data.data32[0], cm->data.data32[1]);
            std::free(ev);
        }
        return seen_;
    }

private:
    xcb_connection_t* c_;
    xcb_atom_t active_;
    std::vector<std::pair<uint32_t, uint32_t>> seen_;
};

// The shell: tray menu, windows and one instance, with a tray (trayer) and a session bus.
class ShellRigTest : public TrayAppRigTest {
protected:
    void SetUp() override {
        TrayAppRigTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        if (rig.run("(command -v trayer && command -v dbus-daemon)") != 0)
            GTEST_SKIP() << "trayer or dbus-daemon missing";
        tray = rig::spawn({"trayer", "--edge", "top", "--align", "right", "--widthtype", "pixel", "--width", "120",
                           "--height", "28", "--SetDockType", "true"});
        ASSERT_TRUE(waitFor([&] { return !capture("xdotool search --classname '^panel$'").empty(); }));
        startBus();
        // Trellick's desktop entry as installed, its command where this build has it.
        std::filesystem::create_directories(rig::dataDir() + "/home-data/applications");
        std::ifstream in(TRELLICK_SOURCE_DIR "/data/io.github.trellick.Trellick.desktop");
        std::ofstream out(rig::dataDir() + "/home-data/applications/io.github.trellick.Trellick.desktop");
        for (std::string line; std::getline(in, line);)
            out << (line == "Exec=trellick" ? "Exec=" TRELLICK_EXECUTABLE : line) << "\n";
    }
    void TearDown() override {
        TrayAppRigTest::TearDown();
        rig::stop(tray);
    }
    static std::string capture(const std::string& command) {
        std::string out;
        if (FILE* f = popen((command + " 2>/dev/null").c_str(), "r")) {
            char buf[256];
            while (fgets(buf, sizeof buf, f)) out += buf;
            pclose(f);
        }
        return out;
    }
    // Starts an onboarded trellick with `extra` preferences and waits for its tray icon.
    void launchShell(const std::string& extra = "") {
        launch(R"({"trellick.onboarded": true)" + extra + "}", 600.0, 10, 0.02, {},
               {{"QT_LOGGING_RULES", "trellick.app.debug=true"}});
        ASSERT_TRUE(waitFor([&] { return iconCentre().has_value(); }, 10.0)) << "no tray icon: " << stderrText();
    }
    // Where trayer shows the icon, once embedded and shown: Trellick's icon window inside the panel.
    std::optional<std::pair<int, int>> iconCentre() {
        static const std::regex geometry(R"((0x[0-9a-f]+) .*\s(\d+)x(\d+)\+-?\d+\+-?\d+\s+\+(-?\d+)\+(-?\d+))");
        std::smatch panel, icon;
        std::string panelLine = capture("xwininfo -root -tree | grep '\"panel\": (\"panel\" \"trayer\")'");
        std::string iconLine = capture("xwininfo -root -tree | grep '\"Trellick\": (\"trellick\" \"Trellick\")'");
        if (!std::regex_search(panelLine, panel, geometry) || !std::regex_search(iconLine, icon, geometry)) return {};
        auto at = [](const std::smatch& m, int i) { return std::stoi(m[i]); };
        int x = at(icon, 4) + at(icon, 2) / 2, y = at(icon, 5) + at(icon, 3) / 2;
        bool inside =
            x > at(panel, 4) && x < at(panel, 4) + at(panel, 2) && y > at(panel, 5) && y < at(panel, 5) + at(panel, 3);
        if (!inside || capture("xwininfo -id " + icon[1].str()).find("IsViewable") == std::string::npos) return {};
        return std::pair{x, y};
    }
    int windowsTitled(const std::string& title) {
        return std::stoi(capture("wmctrl -l | awk '{$1=$2=$3=\"\"; print substr($0,4)}' | grep -cx '" + title + "'"));
    }
    pid_t tray = -1;
};

TEST_F(ShellRigTest, ALeftOrRightClickOpensTheMenuWithEveryEntryInOrder) {
    launchShell();
    const std::string menu = std::string("tray menu: About Trellick | Check for Updates…") +
                             (*TRELLICK_UPDATE_FEED_URL ? "" : " (disabled)") +
                             " | Settings… [Ctrl+,] | Welcome & Setup… | -- | Quit Trellick [Ctrl+Q]";
    auto [x, y] = *iconCentre();
    for (int button : {1, 3}) {
        std::size_t before = stderrText().size();
        rig.run("xdotool mousemove " + std::to_string(x) + " " + std::to_string(y) + " click " +
                std::to_string(button));
        EXPECT_TRUE(waitFor([&] { return stderrText().find(menu, before) != std::string::npos; }))
            << "button " << button << ": " << stderrText();
        // Escape reaches the menu once it holds the keyboard, which a slow start may not yet.
        ASSERT_TRUE(waitFor([&] {
            rig.run("xdotool key Escape");
            return waitFor([&] { return stderrText().find("tray menu closed", before) != std::string::npos; }, 0.5);
        }));
    }
}

TEST_F(ShellRigTest, ASecondLaunchBringsTheSettingsWindowForwardAndExitsZero) {
    launchShell();
    pid_t first = std::exchange(app, -1);
    WindowId other = open("AlphaWin");
    focus(other);
    ActivationWatch watch;
    for (int launch = 0; launch < 2; ++launch) {
        xcb_timestamp_t focused = conn->lastTime();  // when the user moved to the other window
        this->launch("", 600.0, 10, 0.02);
        expectExit(0);
        EXPECT_TRUE(waitFor([&] { return activeTitle() == "Settings"; })) << "from a window the user was in";
        // As an application, and newer than the user's last move, so focus-stealing prevention lets it through.
        auto requests = watch.requests();
        EXPECT_TRUE(std::any_of(requests.begin(), requests.end(), [&](auto r) {
            return r.first == 1 && r.second > focused;
        })) << "no current _NET_ACTIVE_WINDOW request";
        focus(other);
    }
    EXPECT_EQ(windowsTitled("Settings"), 1);
    // Trellick's own windows are never counted as application use; others are.
    auto prefs = [&] {
        std::stringstream ss;
        ss << std::ifstream(rig.tmp() + "/config/trellick/preferences.json").rdbuf();
        return ss.str();
    };
    EXPECT_TRUE(waitFor([&] { return prefs().find("org.trellick.Alpha") != std::string::npos; })) << prefs();
    EXPECT_EQ(prefs().find("rellick\""), std::string::npos) << prefs();
    app = first;
}

TEST_F(ShellRigTest, WithoutASessionBusASecondLaunchFindsTheFirstByItsLockFile) {
    rig::stop(std::exchange(bus, -1));
    launchShell();
    pid_t first = std::exchange(app, -1);
    launch("", 600.0, 10, 0.02);
    expectExit(0);
    EXPECT_NE(stderrText().find("already running (process " + std::to_string(first) + ")"), std::string::npos)
        << stderrText();
    app = first;
}

TEST_F(ShellRigTest, TheWelcomeWindowAppearsOnTheFirstLaunchAndNotOnceOnboarded) {
    launch("{}", 600.0, 10, 0.02);
    EXPECT_TRUE(waitFor([&] { return activeTitle() == "Welcome"; }, 10.0)) << stderrText();
    rig::stop(std::exchange(app, -1));
    launchShell();
    waitFor([] { return false; }, 0.5);  // well past the moment it would be shown
    EXPECT_EQ(windowsTitled("Welcome"), 0);
}

}  // namespace
