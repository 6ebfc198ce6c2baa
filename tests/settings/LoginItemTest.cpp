#include "settings/LoginItem.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/Log.h"
#include "platform/fake/Fakes.h"
#include "settings/SettingsStore.h"

namespace trellick {
namespace {

TEST(LoginItem, CallsTheServiceOnlyWhenItDisagrees) {
    fake::FakeLoginItemService service;
    EXPECT_TRUE(LoginItem::setEnabled(service, false));
    EXPECT_TRUE(LoginItem::setEnabled(service, true));
    EXPECT_TRUE(LoginItem::setEnabled(service, true));
    EXPECT_TRUE(service.enabled);
    EXPECT_EQ(service.calls, 1);
}

TEST(LoginItem, AFailureIsLoggedAndTheToggleKeepsTheWantedState) {
    std::vector<std::string> lines;
    log::setSink([&](const std::string& category, const std::string& m) { lines.push_back(category + "|" + m); });
    fake::FakeLoginItemService service;
    service.enabled = true;
    MemoryPreferencesStore prefs;
    SettingsStore store(prefs, service);
    EXPECT_TRUE(store.launchAtLogin());

    service.failWith = "could not remove /home/u/.config/autostart/trellick.desktop: Read-only file system";
    EXPECT_FALSE(LoginItem::setEnabled(service, false));
    store.launchAtLogin.set(false);
    log::setSink(nullptr);
    EXPECT_FALSE(store.launchAtLogin()) << "not reverted";
    EXPECT_TRUE(service.enabled);
    const std::string line = "trellick.settings|Trellick: failed to update login item: could not remove "
                             "/home/u/.config/autostart/trellick.desktop: Read-only file system";
    EXPECT_EQ(lines, (std::vector<std::string>{line, line}));
    EXPECT_EQ(prefs.writes(), 0) << "launch at login is never a preference";
}

}  // namespace
}  // namespace trellick
