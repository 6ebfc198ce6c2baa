#include <gtest/gtest.h>

#include "TrackingWorld.h"

using namespace trellick;
using trellick::test::TrackingWorld;

namespace {

class WindowWorkspaceTest : public ::testing::Test, protected TrackingWorld {};

TEST_F(WindowWorkspaceTest, DesktopEntryIdIsFoundTheWayDocksFindIt) {
    entries->entries["org.example.Gtk"] = {"Gtk Editor", "gtk-icon", ""};
    entries->entries["org.kde.thing"] = {"KDE Thing", "", ""};
    entries->entries["org.gnome.TextEditor"] = {"Text Editor", "te", ""};
    entries->entries["code"] = {"Code", "code", "Code-OSS"};
    entries->entries["xterm"] = {"XTerm", "xterm-color", ""};
    std::map<int, std::string> cgroups{
        {3, "0::/user.slice/user-1000.slice/user@1000.service/app.slice/app-gnome-org.gnome.TextEditor-4711.scope\n"}};
    workspace = WindowWorkspace::create(windows, entries, [&](int pid) { return cgroups[pid]; });

    auto w1 = win(1, "gtk-editor");
    w1.hints.gtkApplicationId = "org.example.Gtk";
    w1.hints.kdeDesktopFile = "org.kde.thing";
    auto w2 = win(2, "whatever");
    w2.hints.kdeDesktopFile = "org.kde.thing.desktop";
    auto w3 = win(3, "gnome-text-editor");
    auto w4 = win(4, "Code-OSS");  // StartupWMClass
    auto w5 = win(5, "XTerm");      // file name, ignoring case
    auto w6 = win(6, "Unlisted");   // no entry: the class name stands in
    auto w7 = win(7, "");
    w7.hints.gtkApplicationId = "org.not.installed";  // a hint without an entry is passed over
    w7.hints.instance = "xterm";
    for (auto* w : {&w1, &w2, &w3, &w4, &w5, &w6, &w7}) windows->open(*w);

    auto id = [&](int pid) { return workspace->runningApp(pid)->bundleID.value_or("<none>"); };
    EXPECT_EQ(id(1), "org.example.Gtk");
    EXPECT_EQ(id(2), "org.kde.thing");
    EXPECT_EQ(id(3), "org.gnome.TextEditor");
    EXPECT_EQ(id(4), "code");
    EXPECT_EQ(id(5), "xterm");
    EXPECT_EQ(id(6), "Unlisted");
    EXPECT_EQ(id(7), "xterm");

    EXPECT_EQ(workspace->runningApp(3)->name, "Text Editor");
    EXPECT_EQ(workspace->runningApp(3)->icon->name, "te");
    EXPECT_EQ(workspace->runningApp(6)->name, "Unlisted");
    EXPECT_EQ(workspace->runningApp(6)->icon->name.rfind("window-icon-", 0), 0u) << "falls back to the window's icon";
}

TEST_F(WindowWorkspaceTest, SystemdUnitNamesGiveApplicationIdCandidates) {
    using C = std::vector<std::string>;
    auto c = &WindowWorkspace::cgroupCandidates;
    EXPECT_EQ(c("0::/user.slice/app.slice/app-gnome-org.gnome.TextEditor-4711.scope\n"),
              (C{"gnome-org.gnome.TextEditor", "org.gnome.TextEditor"}));
    EXPECT_EQ(c("0::/user.slice/app.slice/app-org.gnome.Terminal.slice"), C{"org.gnome.Terminal"});
    EXPECT_EQ(c("0::/app.slice/app-flatpak-org.mozilla.firefox-a1b2c3d4e5f6.scope"),
              (C{"flatpak-org.mozilla.firefox", "org.mozilla.firefox"}));
    EXPECT_EQ(c("0::/app.slice/app-org.kde.konsole@12ab.service"), C{"org.kde.konsole"});
    EXPECT_EQ(c("0::/app.slice/app-kde\\x2dtool-9.scope"), C{"kde-tool"});
    EXPECT_EQ(c("12:pids:/x\n0::/user.slice/session-2.scope\n"), C{}) << "a session, not an application";
    EXPECT_EQ(c(""), C{});
    EXPECT_EQ(c("0::/app-.scope"), C{});
}

TEST_F(WindowWorkspaceTest, ApplicationsComeAndGoWithTheirLastWindow) {
    makeWorkspace();
    std::vector<std::string> events;
    auto s1 = workspace->onLaunched([&](int pid) { events.push_back("launch " + std::to_string(pid)); });
    auto s2 = workspace->onTerminated([&](int pid) { events.push_back("quit " + std::to_string(pid)); });
    auto s3 = workspace->onActivated([&](const RunningApp& a) {
        events.push_back("activate " + std::to_string(a.pid) + (a.regular ? "" : " (not regular)"));
    });
    WindowId a1 = windows->openAndFocus(win(10, "Alpha"));
    WindowId a2 = windows->openAndFocus(win(10, "Alpha"));
    auto panel = win(30, "Panel");
    panel.kind = WindowKind::other;
    WindowId p = windows->openAndFocus(panel);
    windows->close(a1);
    windows->close(a2);
    auto dialog = win(40, "Dialogs");
    dialog.kind = WindowKind::dialog;
    windows->open(dialog);
    EXPECT_EQ(events, (std::vector<std::string>{"launch 10", "activate 10", "activate 30 (not regular)", "quit 10",
                                                "launch 40"}));
    EXPECT_EQ(workspace->runningApps().size(), 1u);
    EXPECT_FALSE(workspace->runningApp(30)) << "a process with only a panel is no application";
    (void)p;
}

TEST_F(WindowWorkspaceTest, FrontmostFollowsTheActiveWindowAndActivationPicksTheAppsWindow) {
    WindowId a1 = windows->openAndFocus(win(10, "Alpha"));
    WindowId b1 = windows->openAndFocus(win(20, "Beta"));
    makeWorkspace();
    EXPECT_EQ(workspace->frontmostApp()->pid, 20);
    workspace->activateApp(10);
    EXPECT_EQ(windows->activeWindow(), a1);
    EXPECT_EQ(workspace->frontmostApp()->pid, 10);
    windows->close(a1);
    EXPECT_FALSE(workspace->frontmostApp());
    workspace->activateApp(10);  // gone: nothing to activate
    EXPECT_EQ(windows->activations.back(), a1);
    (void)b1;
}

}  // namespace
