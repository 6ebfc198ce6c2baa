#include "settings/SettingsStore.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "platform/fake/Fakes.h"

namespace trellick {
namespace {

using Ids = std::vector<std::string>;

PrefValue array(std::initializer_list<PrefValue> items) { return PrefValue(PrefArray(items)); }

class SettingsStoreTest : public ::testing::Test {
protected:
    MemoryPreferencesStore prefs;
    fake::FakeLoginItemService login;
};

TEST_F(SettingsStoreTest, FreshPreferencesGiveTheDefaultsAndStayUntouched) {
    SettingsStore s(prefs, login);
    EXPECT_EQ(s.mode(), SwitchMode::directionalMRU);
    EXPECT_EQ(s.hudStyle(), HUDStyle::modern);
    EXPECT_TRUE(s.enabled() && s.showHUD() && s.compactPeekSpacing() && s.hapticFeedback() && s.favouritesEnabled());
    EXPECT_FALSE(s.invertDirection() || s.launchAtLogin());
    EXPECT_EQ(s.sensitivity(), 0.667);
    EXPECT_EQ(s.flickVelocity(), 2.5);
    EXPECT_EQ(prefs.writes(), 0);
}

TEST_F(SettingsStoreTest, StoredValuesAreReadByTheirOwnRules) {
    using Check = std::function<bool(const SettingsStore&)>;
    const std::vector<std::tuple<const char*, PrefValue, Check>> cases = {
        {keys::mode, "toggleLastApp", [](auto& s) { return s.mode() == SwitchMode::toggleLastApp; }},
        {keys::mode, "TOGGLELASTAPP", [](auto& s) { return s.mode() == SwitchMode::directionalMRU; }},
        {keys::mode, 1, [](auto& s) { return s.mode() == SwitchMode::directionalMRU; }},
        {keys::granularity, "app", [](auto& s) { return s.granularity() == Granularity::app; }},
        {keys::hudStyle, "windows95", [](auto& s) { return s.hudStyle() == HUDStyle::windows95; }},
        {keys::hudStyle, "windows 95", [](auto& s) { return s.hudStyle() == HUDStyle::modern; }},
        {keys::hudLabelStyle, "perIcon", [](auto& s) { return s.hudLabelStyle() == HUDLabelStyle::perIcon; }},
        {keys::enabled, "false", [](auto& s) { return s.enabled(); }},
        {keys::enabled, false, [](auto& s) { return !s.enabled(); }},
        {keys::enabled, 0, [](auto& s) { return s.enabled(); }},
        {keys::compactPeek, false, [](auto& s) { return !s.compactPeekSpacing(); }},
        {keys::hapticFeedback, "NO", [](auto& s) { return s.hapticFeedback(); }},
        {keys::invertDirection, "YES", [](auto& s) { return s.invertDirection(); }},
        {keys::invertDirection, 2, [](auto& s) { return s.invertDirection(); }},
        {keys::sensitivity, 1, [](auto& s) { return s.sensitivity() == 1.0; }},
        {keys::sensitivity, "1", [](auto& s) { return s.sensitivity() == 0.667; }},
        {keys::cancelDistance, true, [](auto& s) { return s.cancelDistance() == 0.06; }},
        {keys::flickVelocity, -3.5, [](auto& s) { return s.flickVelocity() == -3.5; }},  // no clamping
        {keys::favouriteApps, array({"a", "b", "c", "d", "e"}),
         [](auto& s) { return s.favouriteApps() == Ids{"a", "b", "c"}; }},
        {keys::favouriteApps, array({"a", "b", "c", 4}), [](auto& s) { return s.favouriteApps().empty(); }},
        {keys::favouriteApps, "a", [](auto& s) { return s.favouriteApps().empty(); }},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const auto& [key, stored, check] = cases[i];
        MemoryPreferencesStore store;
        store.set(key, stored);
        SettingsStore s(store, login);
        EXPECT_TRUE(check(s)) << key << ", case " << i;
        // Whatever was read, the stored value stays until the setting is assigned.
        EXPECT_EQ(store.writes(), 1) << key;
        EXPECT_EQ(store.object(key), stored) << key;
    }
}

TEST_F(SettingsStoreTest, EveryAssignmentWritesThroughInItsStoredForm) {
    SettingsStore s(prefs, login);
    s.mode.set(SwitchMode::toggleLastApp);
    s.granularity.set(Granularity::app);
    s.hudStyle.set(HUDStyle::windows95);
    s.hudLabelStyle.set(HUDLabelStyle::perIcon);
    s.enabled.set(false);
    s.invertDirection.set(true);
    s.showHUD.set(false);
    s.compactPeekSpacing.set(false);
    s.hapticFeedback.set(false);
    s.favouritesEnabled.set(false);
    s.sensitivity.set(0.25);
    s.acceleration.set(0.5);
    s.cancelDistance.set(0.75);
    s.flickRevealDelay.set(0.2);
    s.flickVelocity.set(4.0);
    s.favouriteApps.set({"x", "x", "y", "z"});  // direct assignment: no limit, no dedup
    s.requestedTab.set("Favourites");            // neither of these two is a preference
    s.launchAtLogin.set(true);
    const std::map<std::string, PrefValue> expected = {
        {keys::mode, "toggleLastApp"}, {keys::granularity, "app"}, {keys::hudStyle, "windows95"},
        {keys::hudLabelStyle, "perIcon"}, {keys::enabled, false}, {keys::invertDirection, true},
        {keys::showHUD, false}, {keys::compactPeek, false}, {keys::hapticFeedback, false},
        {keys::favouritesEnabled, false}, {keys::sensitivity, 0.25}, {keys::acceleration, 0.5},
        {keys::cancelDistance, 0.75}, {keys::flickRevealDelay, 0.2}, {keys::flickVelocity, 4.0},
        {keys::favouriteApps, array({"x", "x", "y", "z"})},
    };
    EXPECT_EQ(prefs.values(), expected);
    int before = prefs.writes();
    s.flickVelocity.set(4.0);
    EXPECT_EQ(prefs.writes(), before + 1) << "an equal value is written again";
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
    prefs.set(keys::hapticFeedback, false);
    prefs.set(keys::invertDirection, true);
    prefs.set(keys::hudStyle, "classic");
    prefs.set(keys::favouriteApps, array({"a"}));
    SettingsStore s(prefs, login);
    std::vector<double> order;
    std::vector<Subscription> subs;
    for (auto* setting : {&s.sensitivity, &s.acceleration, &s.cancelDistance, &s.flickRevealDelay, &s.flickVelocity}) {
        setting->set(0.5);
        subs.push_back(setting->subscribe([&](const double& v) { order.push_back(v); }));
    }
    order.clear();
    s.resetGestureTuning();
    EXPECT_EQ(order, (std::vector<double>{0.667, 0.08, 0.06, 0.1, 2.5}));
    EXPECT_EQ(prefs.object(keys::cancelDistance), PrefValue(0.06));
    EXPECT_FALSE(s.hapticFeedback());
    EXPECT_TRUE(s.invertDirection());
    EXPECT_EQ(s.hudStyle(), HUDStyle::classic);
    EXPECT_EQ(s.favouriteApps(), Ids{"a"});
}

TEST_F(SettingsStoreTest, WillChangeFiresBeforeTheValueChanges) {
    SettingsStore s(prefs, login);
    std::vector<std::string> seen;
    auto sub = s.willChange.connect([&] {
        seen.push_back(std::string(rawValue(s.mode())) + "/" + s.requestedTab().value_or("-") + "/" +
                       std::to_string(s.favouriteApps().size()));
    });
    s.mode.set(SwitchMode::toggleLastApp);
    s.requestedTab.set("Favourites");
    s.addFavourite("a");
    s.launchAtLogin.set(true);
    EXPECT_EQ(seen, (std::vector<std::string>{"directionalMRU/-/0", "toggleLastApp/-/0", "toggleLastApp/Favourites/0",
                                              "toggleLastApp/Favourites/1"}));
}

TEST(PreferenceReads, LenientBoolReadsLikeTheCocoaStringConversion) {
    const std::vector<std::pair<PrefValue, bool>> cases = {
        {true, true},    {false, false},  {1, true},        {0, false},       {-0.5, true},     {"YES", true},
        {"true", true},  {"  t", true},   {"0042", true},   {"-7", true},     {"0", false},     {"no", false},
        {"false", false}, {"", false},    {"x1", false},    {PrefValue(), false}, {array({true}), false},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        MemoryPreferencesStore store;
        store.set("k", cases[i].first);
        EXPECT_EQ(prefs::lenientBool(store, "k"), cases[i].second) << "case " << i;
    }
    EXPECT_FALSE(prefs::lenientBool(MemoryPreferencesStore(), "k"));
}

}  // namespace
}  // namespace trellick
