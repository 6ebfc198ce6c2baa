#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "common/Log.h"
#include "settings/SettingsStore.h"
#include "simulation/Simulation.h"

namespace trellick {
namespace {

using Ids = std::vector<std::string>;

PrefValue array(std::initializer_list<PrefValue> items) {
    return PrefValue(PrefArray(items));
}

class SettingsStoreTest : public ::testing::Test {
protected:
    MemoryPreferencesStore prefs;
    sim::SimulatedLoginItem login;
};

using Check = std::function<bool(const SettingsStore&)>;

// Counts in `heard` what the observers of the persisted settings hear from now on.
std::vector<Subscription> listenToAll(SettingsStore& s, int& heard) {
    std::vector<Subscription> subs;
    auto add = [&](auto&... settings) { (subs.push_back(settings.subscribe([&](const auto&) { ++heard; })), ...); };
    add(s.mode, s.granularity, s.enabled, s.invertDirection, s.showHUD, s.hudStyle, s.hudLabelStyle,
        s.compactPeekSpacing, s.hapticFeedback, s.sensitivity, s.acceleration, s.cancelDistance, s.flickRevealDelay,
        s.flickVelocity, s.favouritesEnabled, s.favouriteApps);
    heard = 0;  // subscribing hears the current values at once
    return subs;
}
// A stored value and what a setting makes of it by its read rule.
std::vector<std::tuple<const char*, PrefValue, Check>> readRuleCases() {
    return {
        {keys::mode, "toggleLastApp", [](auto& s) { return s.mode() == SwitchMode::toggleLastApp; }},
        {keys::mode, "TOGGLELASTAPP", [](auto& s) { return s.mode() == SwitchMode::directionalMRU; }},
        {keys::granularity, "app", [](auto& s) { return s.granularity() == Granularity::app; }},
        {keys::hudStyle, "windows95", [](auto& s) { return s.hudStyle() == HUDStyle::windows95; }},
        {keys::hudLabelStyle, "perIcon", [](auto& s) { return s.hudLabelStyle() == HUDLabelStyle::perIcon; }},
        {keys::enabled, "false", [](auto& s) { return s.enabled(); }},
        {keys::enabled, false, [](auto& s) { return !s.enabled(); }},
        {keys::compactPeek, false, [](auto& s) { return !s.compactPeekSpacing(); }},
        {keys::hapticFeedback, 0, [](auto& s) { return s.hapticFeedback(); }},
        {keys::invertDirection, "YES", [](auto& s) { return s.invertDirection(); }},
        {keys::invertDirection, " no", [](auto& s) { return !s.invertDirection(); }},
        {keys::sensitivity, "1", [](auto& s) { return s.sensitivity() == 0.667; }},
        {keys::cancelDistance, true, [](auto& s) { return s.cancelDistance() == 0.06; }},
        {keys::cancelDistance, -0.5, [](auto& s) { return s.cancelDistance() == -0.5; }},
        {keys::acceleration, HUGE_VAL, [](auto& s) { return s.acceleration() == 0.08; }},
        {keys::flickVelocity, -HUGE_VAL, [](auto& s) { return s.flickVelocity() == 2.5; }},
        {keys::favouriteApps, array({"a", "b", "c", "d"}),
         [](auto& s) {
             return s.favouriteApps() == Ids{"a", "b", "c"};
         }},
        {keys::favouriteApps, array({"a", "b", "c", 4}), [](auto& s) { return s.favouriteApps().empty(); }},
        {keys::favouriteApps, "a", [](auto& s) { return s.favouriteApps().empty(); }},
    };
}

// Stored at start or changed by others later, a value is read by its setting's rule, heard
// once, and never written back.
TEST_F(SettingsStoreTest, StoredValuesAreReadByTheirOwnRulesAndNeverWrittenBack) {
    const auto cases = readRuleCases();
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const auto& [key, stored, check] = cases[i];
        MemoryPreferencesStore atStart, later;
        atStart.set(key, stored);
        SettingsStore s(atStart, login), changed(later, login);
        int heard = 0;
        const auto subs = listenToAll(changed, heard);
        later.changeByOthers(key, stored);
        EXPECT_TRUE(check(s)) << key << ", case " << i;
        EXPECT_TRUE(check(changed)) << key << ", case " << i << ", changed by others";
        EXPECT_EQ(heard, 1) << key;
        EXPECT_EQ(atStart.writes(), 1) << key;  // the test's own
        EXPECT_EQ(atStart.object(key), stored) << key;
        EXPECT_EQ(later.writes(), 0) << key;
    }
    SettingsStore s(prefs, login);
    prefs.changeByOthers(keys::mode, "toggleLastApp");
    prefs.changeByOthers(keys::mode, std::nullopt);
    EXPECT_EQ(s.mode(), SwitchMode::directionalMRU) << "a removed key reads as missing";
}

// Every assignment of a preference writes it through (Settings.EverySettingTheEngineReads
// reads them all back): launch at login is the login item's, never a preference.
TEST_F(SettingsStoreTest, LaunchAtLoginGoesToTheLoginItemAndAFailureIsLogged) {
    login.enabled = true;
    SettingsStore s(prefs, login);
    EXPECT_TRUE(s.launchAtLogin());
    s.flickVelocity.set(s.flickVelocity());       // equal to the default, still written
    s.requestedTab.set(SettingsTab::favourites);  // not a preference
    EXPECT_EQ(prefs.writes(), 1);

    std::vector<std::string> lines;
    log::setSink([&](const std::string& category, const std::string& m) { lines.push_back(category + "|" + m); });
    s.launchAtLogin.set(true);  // the entry is already there: not rewritten
    s.launchAtLogin.set(false);
    EXPECT_FALSE(login.enabled);
    login.failWith = "could not write /home/u/.config/autostart/trellick.desktop: Read-only file system";
    s.launchAtLogin.set(true);
    log::setSink(nullptr);
    EXPECT_EQ(login.calls, 2);
    EXPECT_TRUE(s.launchAtLogin()) << "the toggle keeps what the user asked for";
    EXPECT_EQ(lines, Ids{"trellick.settings|Trellick: failed to update login item: could not write "
                         "/home/u/.config/autostart/trellick.desktop: Read-only file system"});
    EXPECT_EQ(prefs.writes(), 1) << "launch at login is never a preference";
}

TEST_F(SettingsStoreTest, FavouriteOperations) {
    SettingsStore s(prefs, login);
    auto stored = [&] { return prefs.object(keys::favouriteApps); };
    s.addFavourite("");
    for (auto id : {"a", "b", "a", "c", "d"}) s.addFavourite(id);
    EXPECT_EQ(stored(), array({"a", "b", "c"})) << "no empty id, no duplicate, nothing past three";
    EXPECT_EQ(prefs.writes(), 3);

    s.moveFavourite("a", -1);
    s.moveFavourite("c", +1);
    s.moveFavourite("missing", 1);
    EXPECT_EQ(prefs.writes(), 3) << "moves off either end write nothing";
    s.moveFavourite("a", 2);  // a swap, not remove-and-insert
    EXPECT_EQ(stored(), array({"c", "b", "a"}));

    s.removeFavourite("not-pinned");
    EXPECT_EQ(prefs.writes(), 5) << "removing rewrites even when nothing changed";
    s.favouriteApps.set({"d", "e", "d"});
    s.removeFavourite("d");
    EXPECT_EQ(stored(), array({"e"}));
}

TEST_F(SettingsStoreTest, ResetGestureTuningTouchesOnlyTheFiveTuningValuesInOrder) {
    // Stored values are read back unclamped.
    for (auto [key, v] :
         {std::pair{keys::sensitivity, 1.5}, std::pair{keys::acceleration, 0.2}, std::pair{keys::cancelDistance, 0.3},
          std::pair{keys::flickRevealDelay, 0.4}, std::pair{keys::flickVelocity, -3.5}})
        prefs.set(key, v);
    SettingsStore s(prefs, login);
    std::vector<double> heard;
    std::vector<Subscription> subs;
    for (auto* setting : {&s.sensitivity, &s.acceleration, &s.cancelDistance, &s.flickRevealDelay, &s.flickVelocity})
        subs.push_back(setting->subscribe([&](const double& v) { heard.push_back(v); }));
    s.resetGestureTuning();
    EXPECT_EQ(heard, (std::vector<double>{1.5, 0.2, 0.3, 0.4, -3.5, 0.667, 0.08, 0.06, 0.1, 2.5}));
    EXPECT_EQ(prefs.object(keys::cancelDistance), PrefValue(0.06));
    EXPECT_EQ(prefs.writes(), 5 + 5) << "nothing but the five is written";
}

}  // namespace
}  // namespace trellick
