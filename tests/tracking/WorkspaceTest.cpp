// The workspace built from windows and desktop entries, usage counts and favourites.

#include <gtest/gtest.h>

#include "TrackingWorld.h"
#include "settings/PreferencesStore.h"
#include "settings/SettingsStore.h"
#include "tracking/Favourites.h"
#include "tracking/UsageTracker.h"

using namespace trellick;

namespace {

class WindowWorkspaceTest : public ::testing::Test, protected test::TrackingWorld {};

TEST_F(WindowWorkspaceTest, DesktopEntryIdIsFoundTheWayDocksFindIt) {
    entries->entries["org.example.Gtk"] = {"Gtk Editor", "gtk-icon", ""};
    entries->entries["org.kde.thing"] = {"KDE Thing", "", ""};
    entries->entries["org.gnome.TextEditor"] = {"Text Editor", "te", ""};
    entries->entries["code"] = {"Code", "code", "Code-OSS"};
    entries->entries["xterm"] = {"XTerm", "xterm-color", ""};
    workspace = WindowWorkspace::create(windows, entries, [](int pid) {
        return pid != 3 ? std::string()
                        : "0::/user.slice/user-1000.slice/user@1000.service/app.slice/"
                          "app-gnome-org.gnome.TextEditor-4711.scope\n";
    });
    struct Case {
        const char *cls, *gtk, *kde, *instance, *id;
    } cases[] = {
        {"gtk-editor", "org.example.Gtk", "org.kde.thing", "", "org.example.Gtk"},
        {"whatever", "", "org.kde.thing.desktop", "", "org.kde.thing"},
        {"gnome-text-editor", "", "", "", "org.gnome.TextEditor"},  // from its systemd unit
        {"Code-OSS", "", "", "", "code"},                           // StartupWMClass
        {"XTerm", "", "", "", "xterm"},                             // the file name, ignoring case
        {"Unlisted", "", "", "", "Unlisted"},                       // no entry: the class name stands in
        {"", "org.not.installed", "", "xterm", "xterm"},            // a hint without an entry is passed over
    };
    for (int pid = 1; auto& c : cases) {
        auto w = win(pid++, c.cls, "", WindowKind::normal, c.gtk);
        w.hints.kdeDesktopFile = c.kde;
        if (*c.instance) w.hints.instance = c.instance;
        windows->open(w);
    }
    for (int pid = 1; auto& c : cases) EXPECT_EQ(workspace->runningApp(pid++)->desktopId, c.id) << c.cls;

    EXPECT_EQ(workspace->runningApp(3)->name, "Text Editor");
    EXPECT_EQ(workspace->runningApp(3)->icon->name, "te");
    EXPECT_EQ(workspace->runningApp(6)->name, "Unlisted");
}

TEST_F(WindowWorkspaceTest, AnApplicationsIconNamesItsEntrysIconAndCarriesItsWindowsImageAsTheFallback) {
    entries->entries["named"] = {"Named", "named-icon", ""};
    entries->entries["plain"] = {"Plain", "", ""};  // an entry without Icon
    auto image = std::make_shared<int>(0);          // stands for the window's _NET_WM_ICON
    struct Case {
        const char* cls;
        bool windowImage;
        std::optional<std::string> name;  // nothing: no icon at all
    } cases[] = {
        {"named", true, "named-icon"}, {"named", false, "named-icon"},    {"plain", true, ""},
        {"Unlisted", true, ""},        {"Unlisted", false, std::nullopt},
    };
    makeWorkspace();
    Ids opened;
    for (int pid = 1; auto& c : cases) {
        auto window = win(pid, c.cls);
        if (c.windowImage) window.icon = image;
        opened.push_back(windows->open(window));
        auto icon = workspace->runningApp(pid++)->icon;
        ASSERT_EQ(icon.has_value(), c.name.has_value()) << c.cls;
        if (!icon) continue;
        EXPECT_EQ(icon->name, *c.name) << c.cls;
        EXPECT_EQ(icon->data, c.windowImage ? image : nullptr) << c.cls;
    }
    // An image set after the window mapped is picked up when the application is activated.
    windows->setIcon(opened[1], image);
    windows->focus(opened[1]);
    EXPECT_EQ(workspace->runningApp(2)->icon->data, image);
    EXPECT_EQ(workspace->runningApp(2)->icon->name, "named-icon");
}

TEST_F(WindowWorkspaceTest, ApplicationsComeAndGoWithTheirLastWindowAndFrontmostFollowsFocus) {
    makeWorkspace();
    Strings events;
    auto s1 = workspace->onLaunched([&](int pid) { events.push_back("launch " + std::to_string(pid)); });
    auto s2 = workspace->onTerminated([&](int pid) { events.push_back("quit " + std::to_string(pid)); });
    auto s3 = workspace->onActivated([&](const RunningApp& a) {
        events.push_back("activate " + std::to_string(a.pid) + (a.regular ? "" : " (not regular)"));
    });
    WindowId a1 = windows->openAndFocus(win(10, "Alpha"));
    WindowId a2 = windows->openAndFocus(win(10, "Alpha"));
    windows->openAndFocus(win(30, "Panel", "", WindowKind::other));
    windows->close(a2);
    windows->open(win(40, "Dialogs", "", WindowKind::dialog));
    EXPECT_EQ(workspace->runningApps().size(), 2u);
    EXPECT_FALSE(workspace->runningApp(30)) << "a process with only a panel is no application";

    // Activating an application brings its window forward; once it quits there is nothing to activate.
    workspace->activateApp(10);
    EXPECT_EQ(windows->activeWindow(), a1);
    EXPECT_EQ(workspace->frontmostApp()->pid, 10);
    windows->close(a1);
    EXPECT_FALSE(workspace->frontmostApp());
    workspace->activateApp(10);
    EXPECT_EQ(windows->activations, Ids{a1});
    EXPECT_EQ(events, (Strings{"launch 10", "activate 10", "activate 30 (not regular)", "launch 40", "activate 10",
                               "quit 10"}));
}

class UsageFavouritesTest : public ::testing::Test, protected test::TrackingWorld {
protected:
    std::shared_ptr<MemoryPreferencesStore> prefs = std::make_shared<MemoryPreferencesStore>();

    static RunningApp app(const std::optional<std::string>& id, bool regular = true) {
        RunningApp a;
        a.pid = 5;
        a.desktopId = id;
        a.regular = regular;
        return a;
    }
};

TEST_F(UsageFavouritesTest, ActivationsAreCountedPerApplicationExceptOurOwnAndIrregularOnes) {
    makeWorkspace();
    auto usage = std::make_shared<UsageTracker>(workspace, prefs, "trellick");
    usage->start();
    entries->entries["org.example.A"] = {"A", "", ""};
    WindowId a = windows->openAndFocus(win(10, "A", "", WindowKind::normal, "org.example.A"));
    windows->openAndFocus(win(20, "B"));
    windows->focus(a);
    for (auto& other : {app("trellick"), app("org.example.Panel", false), app(std::nullopt)}) usage->record(other);
    EXPECT_EQ(UsageTracker::readCounts(*prefs), (UsageTracker::Counts{{"org.example.A", 2}, {"B", 1}}));
}

TEST_F(UsageFavouritesTest, StoredCountsAreReplacedWhenMalformedAndTrimmedToFortyKeepingTheOneJustUsed) {
    makeWorkspace();
    UsageTracker usage(workspace, prefs, std::nullopt);
    for (PrefValue bad : {PrefValue("nope"), PrefValue(PrefObject{{"a", PrefValue(1.5)}}),
                          PrefValue(PrefObject{{"a", PrefValue(2)}, {"b", PrefValue("3")}})}) {
        prefs->set(keys::usageCounts, bad);
        EXPECT_TRUE(UsageTracker::readCounts(*prefs).empty());
        usage.record(app("x"));
        EXPECT_EQ(UsageTracker::readCounts(*prefs), (UsageTracker::Counts{{"x", 1}}));
    }

    PrefObject counts;
    for (int i = 0; i < 40; ++i) counts["app" + std::to_string(i)] = PrefValue(1 + i % 3);
    prefs->set(keys::usageCounts, PrefValue(counts));
    usage.record(app("newcomer"));
    auto after = UsageTracker::readCounts(*prefs);
    EXPECT_EQ(after.size(), 40u);
    EXPECT_EQ(after.count("newcomer"), 1u);
    for (int i = 1; i < 40; i += (i % 3 == 2) ? 2 : 1)  // the ones counted 2 or 3 survive
        EXPECT_EQ(after.count("app" + std::to_string(i)), 1u) << i;
}

TEST_F(UsageFavouritesTest, FavouritesResolveRunningThenInstalledAndBringForwardOrLaunch) {
    entries->entries["org.example.Installed"] = {"Installed App", "inst-icon", ""};
    entries->entries["org.example.Running"] = {"", "run-icon", ""};  // an entry without a name
    // No WM_CLASS either: nothing to name it by.
    WindowId r = windows->open(win(10, "", "", WindowKind::normal, "org.example.Running"));
    windows->openAndFocus(win(20, "Other"));
    makeWorkspace();
    auto fav = std::make_shared<Favourites>(workspace);
    entries->onLaunch = [&](const std::string& id) {
        windows->openAndFocus(win(30, "Installed", "", WindowKind::normal, id));
    };

    EXPECT_EQ(fav->appInfo("org.example.Running")->name, "org.example.Running");
    EXPECT_EQ(fav->appInfo("org.example.Installed")->icon->name, "inst-icon");
    EXPECT_FALSE(fav->appInfo("org.example.Later"));
    entries->entries["org.example.Later"] = {"Later", "", ""};
    EXPECT_FALSE(fav->appExists("org.example.Later")) << "a miss is remembered for the run";
    EXPECT_TRUE(fav->targets({"org.example.Later"}).empty());

    auto targets = fav->targets({"org.example.Later", "org.example.Running", "org.example.Installed"});
    ASSERT_EQ(labels(targets), (Strings{"org.example.Running|<none>", "Installed App|<none>"}));
    targets[0].activate();
    EXPECT_EQ(windows->activeWindow(), r);
    EXPECT_TRUE(entries->launched.empty());
    targets[1].activate();
    EXPECT_EQ(entries->launched, Strings{"org.example.Installed"});
    EXPECT_EQ(workspace->frontmostApp()->desktopId, "org.example.Installed");
    targets[1].activate();                 // running now: no second instance
    fav->activate("org.example.Unknown");  // neither running nor installed: nothing
    EXPECT_EQ(entries->launched.size(), 1u);
}

}  // namespace
