#include "settings/SettingsStore.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
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
    EXPECT_EQ(s.granularity(), Granularity::window);
    EXPECT_TRUE(s.enabled());
    EXPECT_FALSE(s.invertDirection());
    EXPECT_TRUE(s.showHUD());
    EXPECT_EQ(s.hudStyle(), HUDStyle::modern);
    EXPECT_EQ(s.hudLabelStyle(), HUDLabelStyle::caption);
    EXPECT_TRUE(s.compactPeekSpacing());
    EXPECT_TRUE(s.hapticFeedback());
    EXPECT_DOUBLE_EQ(s.sensitivity(), 0.667);
    EXPECT_DOUBLE_EQ(s.acceleration(), 0.08);
    EXPECT_DOUBLE_EQ(s.cancelDistance(), 0.06);
    EXPECT_DOUBLE_EQ(s.flickRevealDelay(), 0.1);
    EXPECT_DOUBLE_EQ(s.flickVelocity(), 2.5);
    EXPECT_TRUE(s.favouritesEnabled());
    EXPECT_TRUE(s.favouriteApps().empty());
    EXPECT_FALSE(s.launchAtLogin());
    EXPECT_FALSE(s.requestedTab().has_value());
    EXPECT_EQ(prefs.writes(), 0);
    EXPECT_TRUE(prefs.values().empty());
}

TEST_F(SettingsStoreTest, StoredValuesAreReadByTheirOwnRules) {
    struct Case {
        const char* key;
        PrefValue stored;
        std::function<bool(const SettingsStore&)> expect;
        const char* what;
    };
    const std::vector<Case> cases = {
        {keys::mode, "toggleLastApp", [](auto& s) { return s.mode() == SwitchMode::toggleLastApp; }, "toggle text"},
        {keys::mode, "TOGGLELASTAPP", [](auto& s) { return s.mode() == SwitchMode::directionalMRU; }, "capitals"},
        {keys::mode, 1, [](auto& s) { return s.mode() == SwitchMode::directionalMRU; }, "number"},
        {keys::granularity, "app", [](auto& s) { return s.granularity() == Granularity::app; }, "app"},
        {keys::granularity, true, [](auto& s) { return s.granularity() == Granularity::window; }, "bool"},
        {keys::hudStyle, "windows95", [](auto& s) { return s.hudStyle() == HUDStyle::windows95; }, "retro"},
        {keys::hudStyle, "windows 95", [](auto& s) { return s.hudStyle() == HUDStyle::modern; }, "space"},
        {keys::hudStyle, "classic", [](auto& s) { return s.hudStyle() == HUDStyle::classic; }, "classic"},
        {keys::hudLabelStyle, "perIcon", [](auto& s) { return s.hudLabelStyle() == HUDLabelStyle::perIcon; }, "perIcon"},
        {keys::enabled, "false", [](auto& s) { return s.enabled(); }, "text false is no boolean"},
        {keys::enabled, false, [](auto& s) { return !s.enabled(); }, "boolean false"},
        {keys::enabled, 0, [](auto& s) { return s.enabled(); }, "number 0 is no boolean"},
        {keys::showHUD, false, [](auto& s) { return !s.showHUD(); }, "showHUD"},
        {keys::compactPeek, false, [](auto& s) { return !s.compactPeekSpacing(); }, "short key"},
        {keys::hapticFeedback, "NO", [](auto& s) { return s.hapticFeedback(); }, "haptic text"},
        {keys::favouritesEnabled, false, [](auto& s) { return !s.favouritesEnabled(); }, "favourites off"},
        {keys::invertDirection, "YES", [](auto& s) { return s.invertDirection(); }, "lenient text"},
        {keys::invertDirection, 2, [](auto& s) { return s.invertDirection(); }, "lenient number"},
        {keys::sensitivity, 1, [](auto& s) { return s.sensitivity() == 1.0; }, "integer 1"},
        {keys::sensitivity, "1", [](auto& s) { return s.sensitivity() == 0.667; }, "text 1"},
        {keys::flickVelocity, -3.5, [](auto& s) { return s.flickVelocity() == -3.5; }, "no clamping"},
        {keys::cancelDistance, true, [](auto& s) { return s.cancelDistance() == 0.06; }, "bool as number"},
        {keys::favouriteApps, array({"a", "b", "c", "d", "e"}),
         [](auto& s) { return s.favouriteApps() == Ids{"a", "b", "c"}; }, "five cut to three"},
        {keys::favouriteApps, array({"a", "b", "c", 4}), [](auto& s) { return s.favouriteApps().empty(); },
         "a number spoils the list"},
        {keys::favouriteApps, "a", [](auto& s) { return s.favouriteApps().empty(); }, "not an array"},
    };
    for (const auto& c : cases) {
        MemoryPreferencesStore store;
        store.set(c.key, c.stored);
        SettingsStore s(store, login);
        EXPECT_TRUE(c.expect(s)) << c.key << ": " << c.what;
        // A value of the wrong kind stays as it was until the setting is assigned.
        EXPECT_EQ(store.writes(), 1) << c.key;
        EXPECT_EQ(store.object(c.key), c.stored) << c.key;
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
    s.favouriteApps.set({"x", "x", "y", "z", "w"});  // direct assignment: no limit, no dedup
    s.requestedTab.set("Favourites");                  // not persisted
    s.launchAtLogin.set(true);                         // not persisted either

    const std::map<std::string, PrefValue> expected = {
        {keys::mode, "toggleLastApp"}, {keys::granularity, "app"}, {keys::hudStyle, "windows95"},
        {keys::hudLabelStyle, "perIcon"}, {keys::enabled, false}, {keys::invertDirection, true},
        {keys::showHUD, false}, {keys::compactPeek, false}, {keys::hapticFeedback, false},
        {keys::favouritesEnabled, false}, {keys::sensitivity, 0.25}, {keys::acceleration, 0.5},
        {keys::cancelDistance, 0.75}, {keys::flickRevealDelay, 0.2}, {keys::flickVelocity, 4.0},
        {keys::favouriteApps, array({"x", "x", "y", "z", "w"})},
    };
    EXPECT_EQ(prefs.values(), expected);

    // Same value again: written again. And a second store reads back what the first wrote.
    int before = prefs.writes();
    s.flickVelocity.set(4.0);
    EXPECT_EQ(prefs.writes(), before + 1);
    SettingsStore reread(prefs, login);
    EXPECT_EQ(reread.hudStyle(), HUDStyle::windows95);
    EXPECT_EQ(reread.favouriteApps(), (Ids{"x", "x", "y"}));
    EXPECT_TRUE(reread.invertDirection());
}

TEST_F(SettingsStoreTest, FavouriteOperations) {
    SettingsStore s(prefs, login);
    auto stored = [&] { return prefs.object(keys::favouriteApps); };

    s.addFavourite("");
    EXPECT_EQ(prefs.writes(), 0) << "empty id";
    for (auto id : {"a", "b", "a", "c", "d"}) s.addFavourite(id);
    EXPECT_EQ(s.favouriteApps(), (Ids{"a", "b", "c"})) << "no duplicate, nothing past three";
    EXPECT_EQ(prefs.writes(), 3);
    EXPECT_EQ(stored(), array({"a", "b", "c"}));

    s.moveFavourite("a", -1);
    s.moveFavourite("c", +1);
    s.moveFavourite("missing", 1);
    s.moveFavourite("a", 7);
    EXPECT_EQ(prefs.writes(), 3) << "out-of-range moves write nothing";

    s.moveFavourite("a", 2);  // a swap, not remove-and-insert
    EXPECT_EQ(s.favouriteApps(), (Ids{"c", "b", "a"}));
    s.moveFavourite("b", -1);
    EXPECT_EQ(stored(), array({"b", "c", "a"}));

    s.removeFavourite("c");
    EXPECT_EQ(stored(), array({"b", "a"}));
    int before = prefs.writes();
    s.removeFavourite("not-pinned");
    EXPECT_EQ(prefs.writes(), before + 1) << "removing rewrites even when nothing changed";

    s.favouriteApps.set({"d", "e", "d"});
    s.removeFavourite("d");  // every copy goes
    EXPECT_EQ(s.favouriteApps(), (Ids{"e"}));
}

TEST_F(SettingsStoreTest, ResetGestureTuningTouchesOnlyTheFiveTuningValues) {
    prefs.set(keys::hapticFeedback, false);
    prefs.set(keys::invertDirection, true);
    prefs.set(keys::hudStyle, "classic");
    prefs.set(keys::showHUD, false);
    prefs.set(keys::favouriteApps, array({"a"}));
    SettingsStore s(prefs, login);
    s.sensitivity.set(1.0);
    s.acceleration.set(1.0);
    s.cancelDistance.set(1.0);
    s.flickRevealDelay.set(0.3);
    s.flickVelocity.set(6.0);

    std::vector<double> order;
    std::vector<Subscription> subs;
    for (auto* setting : {&s.sensitivity, &s.acceleration, &s.cancelDistance, &s.flickRevealDelay, &s.flickVelocity}) {
        subs.push_back(setting->subscribe([&](const double& v) { order.push_back(v); }));
    }
    order.clear();
    s.resetGestureTuning();
    EXPECT_EQ(order, (std::vector<double>{0.667, 0.08, 0.06, 0.1, 2.5}));
    EXPECT_EQ(prefs.object(keys::flickVelocity), PrefValue(2.5));
    EXPECT_FALSE(s.hapticFeedback());
    EXPECT_TRUE(s.invertDirection());
    EXPECT_EQ(s.hudStyle(), HUDStyle::classic);
    EXPECT_FALSE(s.showHUD());
    EXPECT_EQ(s.favouriteApps(), (Ids{"a"}));
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
    struct Case {
        PrefValue stored;
        bool expected;
    };
    const std::vector<Case> cases = {
        {true, true},     {false, false},   {1, true},         {0, false},      {-0.5, true},
        {"YES", true},    {"yes", true},    {"true", true},    {"TRUE", true},  {"  t", true},
        {"1", true},      {"0042", true},   {"-7", true},      {"0", false},    {"000", false},
        {"no", false},    {"false", false}, {"", false},       {"  ", false},   {"x1", false},
        {PrefValue(), false}, {array({true}), false},
    };
    for (const auto& c : cases) {
        MemoryPreferencesStore store;
        store.set("k", c.stored);
        EXPECT_EQ(prefs::lenientBool(store, "k"), c.expected) << ::testing::PrintToString(c.stored.v.index())
                                                               << " " << (c.stored.asString() ? *c.stored.asString() : "");
    }
    MemoryPreferencesStore empty;
    EXPECT_FALSE(prefs::lenientBool(empty, "k"));
}

}  // namespace
}  // namespace trellick
