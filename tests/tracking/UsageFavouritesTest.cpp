#include <gtest/gtest.h>

#include "TrackingWorld.h"
#include "settings/PreferencesStore.h"
#include "settings/SettingsStore.h"
#include "tracking/Favourites.h"
#include "tracking/UsageTracker.h"

using namespace trellick;
using trellick::test::TrackingWorld;

namespace {

class UsageFavouritesTest : public ::testing::Test, protected TrackingWorld {
protected:
    std::shared_ptr<MemoryPreferencesStore> prefs = std::make_shared<MemoryPreferencesStore>();

    static RunningApp app(const std::string& id, bool regular = true) {
        RunningApp a;
        a.pid = 5;
        a.bundleID = id;
        a.regular = regular;
        return a;
    }
    void storeCounts(std::map<std::string, int> counts) {
        PrefObject o;
        for (auto& [k, v] : counts) o[k] = PrefValue(v);
        prefs->set(keys::usageCounts, PrefValue(o));
    }
};

TEST_F(UsageFavouritesTest, ActivationsAreCountedPerApplicationExceptOurOwnAndIrregularOnes) {
    makeWorkspace();
    auto usage = std::make_shared<UsageTracker>(workspace, prefs, "trellick");
    usage->start();
    entries->entries["org.example.A"] = {"A", "", ""};
    auto w = win(10, "A");
    w.hints.gtkApplicationId = "org.example.A";
    WindowId a = windows->openAndFocus(w);
    WindowId b = windows->openAndFocus(win(20, "B"));
    windows->focus(a);
    usage->record(app("trellick"));
    usage->record(app("org.example.Panel", false));
    RunningApp noId;
    noId.pid = 7;
    usage->record(noId);
    EXPECT_EQ(UsageTracker::readCounts(*prefs), (UsageTracker::Counts{{"org.example.A", 2}, {"B", 1}}));
    (void)b;
}

TEST_F(UsageFavouritesTest, CountsAreTrimmedToFortyKeepingTheOneJustUsed) {
    makeWorkspace();
    UsageTracker usage(workspace, prefs, std::nullopt);
    std::map<std::string, int> counts;
    for (int i = 0; i < 40; ++i) counts["app" + std::to_string(i)] = 1 + i % 3;
    storeCounts(counts);
    usage.record(app("newcomer"));
    auto after = UsageTracker::readCounts(*prefs);
    EXPECT_EQ(after.size(), 40u);
    EXPECT_EQ(after.count("newcomer"), 1u);
    for (int i = 0; i < 40; ++i) {
        if (i % 3 != 0) {
            EXPECT_EQ(after.count("app" + std::to_string(i)), 1u) << "higher counts survive";
        }
    }
}

TEST_F(UsageFavouritesTest, MalformedCountsReadAsEmptyAndAreReplaced) {
    makeWorkspace();
    UsageTracker usage(workspace, prefs, std::nullopt);
    for (PrefValue bad : {PrefValue("nope"), PrefValue(PrefObject{{"a", PrefValue(1.5)}}),
                          PrefValue(PrefObject{{"a", PrefValue(2)}, {"b", PrefValue("3")}})}) {
        prefs->set(keys::usageCounts, bad);
        EXPECT_TRUE(UsageTracker::readCounts(*prefs).empty());
        usage.record(app("x"));
        EXPECT_EQ(UsageTracker::readCounts(*prefs), (UsageTracker::Counts{{"x", 1}}));
    }
}

TEST_F(UsageFavouritesTest, SuggestionsAreMostUsedFirstAndOnlyThoseThatExist) {
    makeWorkspace();
    for (auto id : {"A", "B", "C", "D", "trellick"}) entries->entries[id] = {id, "", ""};
    storeCounts({{"A", 9}, {"B", 5}, {"C", 5}, {"D", 1}, {"trellick", 50}, {"Gone", 7}});
    Favourites fav(workspace);
    using V = std::vector<std::string>;
    EXPECT_EQ(UsageTracker::suggestions(*prefs, fav, 6, {"B"}, "trellick"), (V{"A", "C", "D"}));
    EXPECT_EQ(UsageTracker::suggestions(*prefs, fav, 2, {}, "trellick"), (V{"A", "B"}));
    EXPECT_EQ(UsageTracker::suggestions(*prefs, fav, 0, {}, "trellick"), V{});
    prefs->remove(keys::usageCounts);
    EXPECT_EQ(UsageTracker::suggestions(*prefs, fav, 6, {}, "trellick"), V{});
}

TEST_F(UsageFavouritesTest, FavouritesResolveRunningThenInstalledAndRememberMisses) {
    entries->entries["org.example.Installed"] = {"Installed App", "inst-icon", ""};
    auto running = win(10, "");  // no WM_CLASS either: nothing to name it by
    running.hints.gtkApplicationId = "org.example.Running";
    entries->entries["org.example.Running"] = {"", "run-icon", ""};  // an entry without a name
    windows->openAndFocus(running);
    makeWorkspace();
    auto fav = std::make_shared<Favourites>(workspace);

    EXPECT_EQ(fav->appInfo("org.example.Running")->name, "org.example.Running");
    EXPECT_EQ(fav->appInfo("org.example.Installed")->name, "Installed App");
    EXPECT_EQ(fav->appInfo("org.example.Installed")->icon->name, "inst-icon");
    EXPECT_FALSE(fav->appInfo("org.example.Later"));
    entries->entries["org.example.Later"] = {"Later", "", ""};
    EXPECT_FALSE(fav->appExists("org.example.Later")) << "a miss is remembered for the run";
    EXPECT_TRUE(fav->appExists("org.example.Installed"));

    auto targets = fav->targets({"org.example.Later", "org.example.Installed", "org.example.Running"});
    ASSERT_EQ(targets.size(), 2u);
    EXPECT_EQ(targets[0].title, "Installed App");
    EXPECT_FALSE(targets[0].subtitle);
    EXPECT_FALSE(targets[0].isPlaceholder);
    EXPECT_TRUE(fav->targets({}).empty());
    EXPECT_TRUE(fav->targets({"org.example.Later"}).empty());
}

TEST_F(UsageFavouritesTest, ActivatingAFavouriteBringsItForwardOrLaunchesIt) {
    auto w = win(10, "Runner");
    w.hints.gtkApplicationId = "org.example.Running";
    entries->entries["org.example.Running"] = {"Running", "", ""};
    entries->entries["org.example.Idle"] = {"Idle", "", ""};
    WindowId r = windows->open(w);
    windows->openAndFocus(win(20, "Other"));
    makeWorkspace();
    auto fav = std::make_shared<Favourites>(workspace);
    entries->onLaunch = [&](const std::string& id) {
        auto launched = win(30, "Idle");
        launched.hints.gtkApplicationId = id;
        windows->openAndFocus(launched);
    };
    auto targets = fav->targets({"org.example.Running", "org.example.Idle"});
    ASSERT_EQ(targets.size(), 2u);
    targets[0].activate();
    EXPECT_EQ(windows->activeWindow(), r);
    EXPECT_TRUE(entries->launched.empty());
    targets[1].activate();
    EXPECT_EQ(entries->launched, std::vector<std::string>{"org.example.Idle"});
    EXPECT_EQ(workspace->frontmostApp()->bundleID, "org.example.Idle");
    // Running now: a second activation does not launch another instance.
    targets[1].activate();
    EXPECT_EQ(entries->launched.size(), 1u);
    fav->activate("org.example.Unknown");  // neither running nor installed: nothing
    EXPECT_EQ(entries->launched.size(), 1u);
}

}  // namespace
