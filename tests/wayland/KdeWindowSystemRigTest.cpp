// KWin's window management on a `kwin_wayland --virtual` rig with real Qt clients.

#include <QImage>

#include "WaylandRigTest.h"
#include "platform/desktop/KdeWindowAccessEntry.h"

namespace trellick::rig {
namespace {

class KdeWindowSystemRigTest : public WaylandRigTest {
protected:
    // RedWin's entry names an icon file: KWin hands over its pixels, not a themed name.
    bool startRig(std::string* why) override {
        QImage red(64, 64, QImage::Format_ARGB32);
        red.fill(Qt::red);
        red.save(QString::fromStdString(dataDir() + "/red.png"));
        auto entries = kwinEntries();
        entries["RedWin.desktop"] = "Name=Red\nIcon=" + dataDir() + "/red.png\n";
        return rig.startKWin(why, entries);
    }
    std::shared_ptr<WindowSystem> makeWindows() override { return wayland::KdeWindowSystem::create(conn); }
};

TEST_F(KdeWindowSystemRigTest, ListsWindowsWithTheirProcessesButNotThoseKeptOutOfTheSwitcher) {
    ASSERT_TRUE(wayland::KdeWindowSystem::offered(*conn)) << "the rig's desktop entry opens the gate";
    ASSERT_TRUE(windows()->windowControlAvailable());
    const pid_t alphaClient = rig.window("AlphaWin", "Alpha");
    open("BetaWin", "Beta");
    ASSERT_TRUE(waitFor([&] { return byTitle("Alpha").has_value(); })) << "clients may map in any order";
    const WindowId alpha = *byTitle("Alpha");
    rig.window("SkipSwitcherWin", "Skipped");
    const WindowId gamma = open("GammaWin", "Gamma");

    EXPECT_EQ(windows()->pid(alpha), alphaClient);
    EXPECT_EQ(windows()->classHints(gamma).gtkApplicationId, "GammaWin");

    EXPECT_EQ(windows()->clientList().size(), 3u);
    EXPECT_FALSE(waitFor([&] { return byTitle("Skipped").has_value(); }, 1.0)) << "kept out of KWin's switcher";
}

TEST_F(KdeWindowSystemRigTest, IconsAreThePixelsKWinHandsOverWhereItNamesNoThemedOne) {
    const WindowId red = open("RedWin", "Red");
    std::optional<IconHandle> icon;
    ASSERT_TRUE(waitFor([&] { return (icon = windows()->icon(red)).has_value(); }));
    ASSERT_TRUE(icon->name.empty() && icon->data);
    const auto* image = static_cast<const QImage*>(icon->data.get());
    EXPECT_EQ(image->pixelColor(image->width() / 2, image->height() / 2), QColor(Qt::red));
}

TEST_F(KdeWindowSystemRigTest, RecencyIsSeededFromTheStackingOrderAndFollowsActivation) {
    // Opened one after the other, then "a" raised, by a window system of its own before the one
    // under test starts: a, c, b from the top, which is not the order of opening.
    {
        auto probe = wayland::KdeWindowSystem::create(conn);
        auto find = [&](const std::string& title) { return titled(*probe, title); };
        for (const char* title : {"a", "b", "c"}) {
            rig.window(std::string("App") + title, title);
            ASSERT_TRUE(waitFor([&] { return find(title) && probe->activeWindow() == find(title); })) << title;
        }
        ASSERT_TRUE(probe->activate(*find("a")));
        ASSERT_TRUE(waitFor([&] { return probe->activeWindow() == find("a"); }));
    }
    const auto a = byTitle("a"), b = byTitle("b"), c = byTitle("c");
    ASSERT_TRUE(a && b && c);
    EXPECT_EQ(windows()->stackingOrder(), (std::vector<WindowId>{*a, *c, *b}));

    std::vector<WindowId> heard;
    auto sub = windows()->onActiveWindowChanged([&](WindowId w) { heard.push_back(w); });
    ASSERT_TRUE(windows()->activate(*b));
    ASSERT_TRUE(waitFor([&] { return windows()->activeWindow() == b; }));
    EXPECT_EQ(windows()->stackingOrder(), (std::vector<WindowId>{*b, *a, *c}));
    EXPECT_EQ(heard, (std::vector<WindowId>{*b}));
}

// Without a desktop entry naming the program KWin hides the global until the user's own entry
// is written, then offers it to a new connection.
class WithoutAnEntryRigTest : public KdeWindowSystemRigTest {
protected:
    bool startRig(std::string* why) override { return rig.startKWin(why, {}); }
};

TEST_F(WithoutAnEntryRigTest, TheUsersOwnEntryOpensWindowControlToANewConnection) {
    ASSERT_FALSE(windows()->windowControlAvailable());
    ASSERT_TRUE(wayland::KdeWindowSystem::underKWin(*conn));
    rig.window("AlphaWin", "Alpha");
    auto kde = std::dynamic_pointer_cast<wayland::KdeWindowSystem>(windows());
    int changes = 0;
    auto sub = kde->onWindowControlChanged([&] { ++changes; });

    const QByteArray ours = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(rig.tmp() + "/home/.local/share"));  // the compositor's
    const QString self = QString::fromStdString(std::filesystem::read_symlink("/proc/self/exe"));
    const bool written = bool(desktop::KdeWindowAccessEntry::write(self));
    qputenv("XDG_DATA_HOME", ours);
    ASSERT_TRUE(written);
    EXPECT_TRUE(waitFor([&] { return kde->connectAgain(rig.socket.c_str()); })) << "KWin reads new entries";
    EXPECT_TRUE(kde->windowControlAvailable());
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(waitFor([&] { return byTitle("Alpha").has_value(); }));
}

}  // namespace
}  // namespace trellick::rig
