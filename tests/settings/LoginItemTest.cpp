#include "settings/LoginItem.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "common/Log.h"
#include "platform/fake/Fakes.h"
#include "settings/SettingsStore.h"

namespace trellick {
namespace {

class LoginItemTest : public ::testing::Test {
protected:
    void SetUp() override {
        log::setSink([this](const std::string& category, const std::string& message) {
            lines.emplace_back(category, message);
        });
    }
    void TearDown() override { log::setSink(nullptr); }

    fake::FakeLoginItemService service;
    std::vector<std::pair<std::string, std::string>> lines;
};

TEST_F(LoginItemTest, CallsTheServiceOnlyWhenItDisagrees) {
    EXPECT_TRUE(LoginItem::setEnabled(service, false));
    EXPECT_EQ(service.calls, 0);
    EXPECT_TRUE(LoginItem::setEnabled(service, true));
    EXPECT_TRUE(service.enabled);
    EXPECT_TRUE(LoginItem::setEnabled(service, true));
    EXPECT_EQ(service.calls, 1);
    EXPECT_TRUE(LoginItem::setEnabled(service, false));
    EXPECT_FALSE(service.enabled);
    EXPECT_EQ(service.calls, 2);
    EXPECT_TRUE(lines.empty());
}

TEST_F(LoginItemTest, FailureIsLoggedOnceWithTheServiceDescription) {
    service.failWith = "could not write /home/u/.config/autostart/trellick.desktop: Read-only file system";
    EXPECT_FALSE(LoginItem::setEnabled(service, true));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].first, "trellick.settings");
    EXPECT_EQ(lines[0].second,
              "Trellick: failed to update login item: could not write "
              "/home/u/.config/autostart/trellick.desktop: Read-only file system");
}

TEST_F(LoginItemTest, StoreMirrorsTheServiceAndKeepsTheWantedStateAfterAFailure) {
    MemoryPreferencesStore prefs;
    service.enabled = true;
    SettingsStore store(prefs, service);
    EXPECT_TRUE(store.launchAtLogin());

    service.failWith = "permission denied";
    store.launchAtLogin.set(false);
    EXPECT_FALSE(store.launchAtLogin()) << "the toggle is not reverted";
    EXPECT_TRUE(service.enabled);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].second, "Trellick: failed to update login item: permission denied");

    service.failWith.reset();
    store.launchAtLogin.set(false);
    EXPECT_FALSE(service.enabled);
    EXPECT_EQ(prefs.writes(), 0) << "launch at login is never a preference";
}

}  // namespace
}  // namespace trellick
