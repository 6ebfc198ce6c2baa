// End to end on the X11 rig: `trellick --replay` switches real windows; its tray, windows and single instance.

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <regex>

#include <xcb/xcb.h>

#include "AppRig.h"

using namespace trellick;

namespace {

class TrayAppRigTest : public rig::AppRigTest {
protected:
    void TearDown() override {
        AppRigTest::TearDown();
        rig::stop(bus);
    }
    WindowId open(const std::string& cls) { return AppRigTest::open(cls, cls + " window"); }
    // Starts trellick with `preferences` stored (when given) and every debug category on, in the
    // rig's runtime folder and on the test's own session bus (by default an address nobody is at).
    void launch(const std::string& preferences, const std::vector<rig::Swipe>& swipes,
                std::vector<std::string> args = {"--quit-after-replay"}, std::map<std::string, std::string> env = {}) {
        if (!preferences.empty()) writePreferences(preferences);
        env.try_emplace("QT_LOGGING_RULES", "trellick.*.debug=true");
        env.try_emplace("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + rig.tmp() + (bus > 0 ? "/bus" : "/no-bus"));
        start(swipes, std::move(args), env);
    }
    std::optional<std::string> activeTitle() {
        auto w = windows->activeWindow();
        return w ? windows->title(*w) : std::nullopt;
    }

    pid_t bus = -1;
};

// Windows focused before Trellick starts: a toggle right after launch goes back one (the
// application list seeded from the stacking order).
TEST_F(TrayAppRigTest, AToggleRightAfterLaunchHasSomewhereToGo) {
    WindowId w[] = {open("AlphaWin"), open("BetaWin"), open("GammaWin"), open("DeltaWin")};
    for (WindowId x : w) focus(x);
    launch(R"({"trellick.mode": "toggleLastApp", "trellick.onboarded": true, "trellick.granularity": "app"})",
           {{0.5, 10, 0.02}}, {"--quit-after-replay"}, {{"QT_LOGGING_RULES", ""}});
    expectExit(0);
    EXPECT_TRUE(waitFor([&] { return windows->activeWindow() == w[2]; }, 2.0)) << stderrText();
    for (const char* debug : {"trellick.gesture:", "trellick.tracking:"})  // off unless asked for
        EXPECT_EQ(stderrText().find(debug), std::string::npos) << stderrText();
}

TEST_F(TrayAppRigTest, TerminationSignalQuitsNormallyAndWritesWhatCouldNotBeWrittenBefore) {
    // A file where the configuration folder should be: the usage counts cannot be written yet.
    const std::string config = rig.tmp() + "/blocked-config";
    std::ofstream(config) << "in the way";
    launch("{}", {{600.0, 10, 0.02}}, {}, {{"XDG_CONFIG_HOME", config}});
    // Not onboarded: let the welcome window take the focus before the test moves it.
    ASSERT_TRUE(waitFor([&] { return activeTitle() == "Welcome"; }, 20.0)) << stderrText();
    WindowId a = open("AlphaWin"), b = open("BetaWin");
    auto failedToSave = [&] { return stderrText().find("could not save preferences") != std::string::npos; };
    for (int i = 0; i < 20 && !failedToSave(); ++i) focus(i % 2 ? b : a);
    ASSERT_TRUE(failedToSave()) << stderrText();
    // One more use of Alpha once writing has failed, heard by Trellick before it is told to quit.
    focus(b);
    focus(a);
    ASSERT_TRUE(waitFor(
        [&] { return rig::lastList(stderrText(), "applications").value_or("").starts_with("Alpha Editor"); }, 10.0))
        << stderrText();

    std::filesystem::remove(config);
    ::kill(app, SIGTERM);
    expectExit(0);
    const std::string written = test::slurp(config + "/trellick/preferences.json");
    EXPECT_NE(written.find("\"org.trellick.Alpha\": "), std::string::npos) << written << stderrText();
}

TEST_F(TrayAppRigTest, WithoutAnX11DisplayItExitsAndInAWaylandSessionItSwitchesNothing) {
    launch("{}", {{0.1, 10, 0.02}}, {"--quit-after-replay"}, {{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}});
    expectExit(1);
    EXPECT_NE(stderrText().find("no X11 display"), std::string::npos) << stderrText();

    WindowId a = open("AlphaWin"), b = open("BetaWin");
    focus(a);
    focus(b);
    launch(R"({"trellick.mode": "toggleLastApp", "trellick.onboarded": true})", {{0.5, 10, 0.02}},
           {"--quit-after-replay"}, {{"XDG_SESSION_TYPE", "wayland"}});
    expectExit(0);
    EXPECT_NE(stderrText().find("window control is unavailable"), std::string::npos) << stderrText();
    EXPECT_EQ(windows->activeWindow(), b);
}

// The (source, timestamp) of each _NET_ACTIVE_WINDOW request clients send to the root.
struct ActivationWatch {
    ActivationWatch(xcb_window_t root, xcb_atom_t active) : c_(xcb_connect(nullptr, nullptr)), active_(active) {
        uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(c_, root, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(c_);
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
        startTray();
        bus = rig::spawn({"dbus-daemon", "--session", "--nofork", "--address=unix:path=" + rig.tmp() + "/bus"});
        ASSERT_TRUE(rig::waitFor([&] { return std::filesystem::exists(rig.tmp() + "/bus"); })) << "no dbus-daemon";
        // Trellick's desktop entry as installed, its command where this build has it.
        std::filesystem::create_directories(rig::dataDir() + "/home-data/applications");
        std::ifstream in(TRELLICK_SOURCE_DIR "/data/io.github.trellick.Trellick.desktop.in");
        std::ofstream out(rig::dataDir() + "/home-data/applications/io.github.trellick.Trellick.desktop");
        for (std::string line; std::getline(in, line);)
            out << (line == "Exec=@TRELLICK_EXEC@" ? "Exec=" TRELLICK_EXECUTABLE : line) << "\n";
    }
    void TearDown() override {
        TrayAppRigTest::TearDown();
        rig::stop(tray);
    }
    void startTray() {
        tray = rig::spawn({"trayer", "--edge", "top", "--align", "right", "--widthtype", "pixel", "--width", "120",
                           "--height", "28", "--SetDockType", "true"});
        ASSERT_TRUE(waitFor([&] { return !capture("xdotool search --classname '^panel$'").empty(); }));
    }
    std::string capture(const std::string& command) {
        rig.run("{ " + command + " >" + rig.tmp() + "/captured; }");
        return test::slurp(rig.tmp() + "/captured");
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
    pid_t tray = -1;
};

TEST_F(ShellRigTest, ALeftOrRightClickOpensTheMenuAndASecondLaunchBringsTheSettingsWindowForward) {
    launch(R"({"trellick.onboarded": true})", {{600.0, 10, 0.02}}, {});
    ASSERT_TRUE(waitFor([&] { return iconCentre().has_value(); }, 10.0)) << "no tray icon: " << stderrText();
    const std::string menu =
        std::string("tray menu: About Trellick | ") +
        (*TRELLICK_UPDATE_FEED_URL ? "Check for Updates…" : "Updates Come from Your Package Manager (disabled)") +
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

    pid_t first = std::exchange(app, -1);
    WindowId other = open("AlphaWin");
    focus(other);
    ActivationWatch watch(conn->root(), conn->atom("_NET_ACTIVE_WINDOW"));
    for (int launch = 0; launch < 2; ++launch) {
        xcb_timestamp_t focused = conn->lastTime();  // when the user moved to the other window
        this->launch("", {{600.0, 10, 0.02}}, {});
        expectExit(0);
        EXPECT_TRUE(waitFor([&] { return activeTitle() == "Settings"; })) << "from a window the user was in";
        // As an application, and newer than the user's last move, so focus-stealing prevention lets it through.
        // A new window may be focused on mapping, before the request that follows it: wait for the request.
        EXPECT_TRUE(waitFor([&] {
            auto requests = watch.requests();
            return std::any_of(requests.begin(), requests.end(),
                               [&](auto r) { return r.first == 1 && r.second > focused; });
        })) << "no current _NET_ACTIVE_WINDOW request";
        focus(other);
    }
    EXPECT_EQ(std::ranges::count_if(windows->clientList(), [&](WindowId w) { return windows->title(w) == "Settings"; }),
              1);
    // Trellick's own windows are never counted as application use; others are.
    auto prefs = [&] { return test::slurp(rig.tmp() + "/config/trellick/preferences.json"); };
    EXPECT_TRUE(waitFor([&] { return prefs().find("org.trellick.Alpha") != std::string::npos; })) << prefs();
    EXPECT_EQ(prefs().find("rellick\""), std::string::npos) << prefs();
    app = first;
}

// Autostart racing the panel: said once, and the icon shows when a tray comes, without a restart.
TEST_F(ShellRigTest, ATrayThatStartsLaterGetsTheIcon) {
    rig::stop(std::exchange(tray, -1));
    ASSERT_TRUE(waitFor([&] { return capture("xdotool search --classname '^panel$'").empty(); }));
    launch(R"({"trellick.onboarded": true})", {{600.0, 10, 0.02}}, {});
    const std::string warning = "no system tray yet";
    ASSERT_TRUE(waitFor([&] { return stderrText().find(warning) != std::string::npos; })) << stderrText();
    EXPECT_FALSE(iconCentre().has_value());
    startTray();
    EXPECT_TRUE(waitFor([&] { return iconCentre().has_value(); }, 10.0)) << stderrText();
    const std::string err = stderrText();
    EXPECT_EQ(err.find(warning), err.rfind(warning)) << "said once: " << err;
}

}  // namespace
