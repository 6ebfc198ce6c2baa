// The overlay's layer-shell panel on a headless sway and on KWin: where it shows, that it shows
// what the renderer draws, and that clicks and scrolls go through it.

#include <QImage>

#include "../common/TestSupport.h"
#include "KWinFakeInput.h"
#include "KWinScreenshot.h"
#include "WaylandRigTest.h"
#include "blur-client-protocol.h"
#include "overlay/HUDModel.h"
#include "platform/wayland/LayerShellPanel.h"
#include "platform/wayland/LayerShellShield.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

namespace trellick::rig {
namespace {

class PanelRigTest : public WaylandRigTest {
protected:
    void SetUp() override {
        WaylandRigTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        auto icon = std::make_shared<QImage>(64, 64, QImage::Format_ARGB32);
        icon->fill(QColor(255, 0, 0));
        std::vector<SwitchTarget> targets(5);
        for (std::size_t i = 0; i < targets.size(); ++i) {
            targets[i].title = "Entry " + std::to_string(i);
            targets[i].icon = IconHandle{"", std::shared_ptr<const void>(icon, icon.get())};
        }
        model.visible.set(targets);
        model.recentsCount.set(5);
        shield = std::make_shared<wayland::LayerShellShield>(conn);
        panel = std::make_unique<wayland::LayerShellPanel>(conn, model, nullptr, shield);
    }
    // The output (by default the only one) as grim sees it.
    virtual QImage screenshot(const std::string& output = "") {
        const std::string file = rig.runtimeDir() + "/shot.png";
        std::filesystem::remove(file);
        std::vector<std::string> argv{"grim"};
        if (!output.empty()) argv.insert(argv.end(), {"-o", output});
        argv.push_back(file);
        EXPECT_EQ(rig.runToEnd(argv), 0);
        return QImage(QString::fromStdString(file));
    }
    // The box of the pixels that differ between two pictures.
    static QRect changed(const QImage& before, const QImage& after) {
        QRect box;
        for (int y = 0; y < after.height(); ++y)
            for (int x = 0; x < after.width(); ++x)
                if (before.pixel(x, y) != after.pixel(x, y)) box |= QRect(x, y, 1, 1);
        return box;
    }
    void show() {
        const QSizeF size = panel->fittingSize(model);
        panel->setFrame(QRectF(QPointF(0, 0), size));
        panel->show(0);
    }
    // Shows the panel over `before`, checks that it is drawn centred; the picture and the box drawn.
    std::pair<QImage, QRect> showCentred(const QImage& before) {
        show();
        QImage shown;
        const QSize size = panel->fittingSize(model).toSize();
        EXPECT_TRUE(waitFor([&] { return changed(before, shown = screenshot()).width() > size.width() / 2; }))
            << "the overlay never showed";
        const QRect box = changed(before, shown);
        const QRect centred(640 - size.width() / 2, 360 - size.height() / 2, size.width(), size.height());
        EXPECT_TRUE(centred.adjusted(-1, -1, 1, 1).contains(box)) << "drawn outside the centred panel";
        EXPECT_NEAR(box.center().x(), 640, 2) << "the card and its shadow are centred across";
        return {shown, box};
    }

    void click(int x, int y) {
        ASSERT_EQ(rig.swaymsg("seat - cursor set " + std::to_string(x) + " " + std::to_string(y)), 0);
        ASSERT_EQ(rig.swaymsg("seat - cursor press button1"), 0);
        ASSERT_EQ(rig.swaymsg("seat - cursor release button1"), 0);
    }
    // A window to lie below the panel; the count of the scrolls it has heard.
    std::function<int()> windowCountingScrolls() {
        const std::string wheels = rig.tmp() + "/wheels";
        rig.program({TRELLICK_TEST_WINDOW, "--class", "BelowWin", "--title", "below"}, wheels);
        EXPECT_TRUE(waitFor([&] { return byTitle("below").has_value(); }));
        return [wheels] {
            const std::string text = test::slurp(wheels);
            int n = 0;
            for (auto at = text.find("wheel\n"); at != std::string::npos; at = text.find("wheel\n", at + 1)) ++n;
            return n;
        };
    }
    // Moves a virtual pointer (sway's seat has none of its own) to (x, y), a wheel notch there if asked.
    void pointTo(uint32_t x, uint32_t y, bool scroll = false) {
        if (!pointerManager)
            pointerManager = conn->bind<zwlr_virtual_pointer_manager_v1>(zwlr_virtual_pointer_manager_v1_interface, 1);
        ASSERT_TRUE(pointerManager);
        if (!pointer) pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(pointerManager, nullptr);
        zwlr_virtual_pointer_v1_motion_absolute(pointer, pointerTime += 10, x, y, 1280, 720);
        if (scroll) {
            zwlr_virtual_pointer_v1_axis_source(pointer, WL_POINTER_AXIS_SOURCE_WHEEL);
            zwlr_virtual_pointer_v1_axis_discrete(pointer, pointerTime += 10, WL_POINTER_AXIS_VERTICAL_SCROLL,
                                                  wl_fixed_from_int(15), 1);
        }
        zwlr_virtual_pointer_v1_frame(pointer);
        conn->roundtrip();
    }
    void TearDown() override {
        if (pointer) zwlr_virtual_pointer_v1_destroy(pointer);
        if (pointerManager) zwlr_virtual_pointer_manager_v1_destroy(pointerManager);
    }

    HUDModel model;
    std::shared_ptr<wayland::LayerShellShield> shield;
    std::unique_ptr<wayland::LayerShellPanel> panel;
    zwlr_virtual_pointer_manager_v1* pointerManager = nullptr;
    zwlr_virtual_pointer_v1* pointer = nullptr;
    uint32_t pointerTime = 0;
};

TEST_F(PanelRigTest, ShowsCentredOnTheOutputWithTheRenderersPixelsAndGoesAwayWhenHidden) {
    ASSERT_TRUE(wayland::LayerShellPanel::missingProtocols(*conn).empty());
    const QImage before = screenshot();
    ASSERT_EQ(before.size(), QSize(1280, 720));
    const auto [shown, box] = showCentred(before);
    ASSERT_FALSE(HasFailure());
    int red = 0;
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x)
            red += qRed(shown.pixel(x, y)) > 240 && qGreen(shown.pixel(x, y)) < 20;
    EXPECT_GT(red, 40 * 40) << "the selected entry's red icon is drawn";

    panel->hide();
    EXPECT_FALSE(panel->isVisible());
    ASSERT_TRUE(waitFor([&] { return changed(before, screenshot()).isEmpty(); })) << "the overlay stayed";
}

TEST_F(PanelRigTest, OnAScaledOutputItDrawsAtTheOutputsScaleAndTheSameLogicalSize) {
    ASSERT_EQ(rig.swaymsg("output * scale 2"), 0);
    const QImage before = screenshot();
    ASSERT_EQ(before.size(), QSize(1280, 720)) << "grim takes device pixels";
    show();
    QImage shown;
    const QSize size = panel->fittingSize(model).toSize();
    ASSERT_TRUE(waitFor([&] { return changed(before, shown = screenshot()).width() > size.width(); }))
        << "the overlay never showed twice as large in device pixels";
    const QRect box = changed(before, shown);
    EXPECT_LE(box.width(), 2 * size.width());
    EXPECT_NEAR(box.center().x(), 640, 2);
    // Drawn for the scale, not stretched: sway's nearest filter would make every aligned 2x2
    // block one colour, while text and curves drawn at the device's pixels vary within blocks.
    int detailed = 0;
    for (int y = box.top() & ~1; y + 1 <= box.bottom(); y += 2)
        for (int x = box.left() & ~1; x + 1 <= box.right(); x += 2) {
            const QRgb p = shown.pixel(x, y);
            detailed += p != shown.pixel(x + 1, y) || p != shown.pixel(x, y + 1) || p != shown.pixel(x + 1, y + 1);
        }
    EXPECT_GT(detailed, 100) << "stretched from a buffer of scale 1";
}

// The shield comes and goes with the overlay; Escape on it is the end-to-end tests' (TrellickOn*).
TEST_F(PanelRigTest, WhileTheOverlayIsShownTheShieldTakesTheClicksBesideIt) {
    const WindowId left = open("AlphaWin", "left"), right = open("BetaWin", "right");
    ASSERT_TRUE(waitFor([&] { return windows()->activeWindow() == right; }));
    ASSERT_TRUE(shield->create());
    shield->setEnabled(true);
    waitFor([] { return false; }, 0.3);
    click(100, 360);
    ASSERT_TRUE(waitFor([&] { return windows()->activeWindow() == left; })) << "a shield before the overlay shows";

    show();
    waitFor([] { return false; }, 0.5);  // the shield is mapped
    click(960, 360);                     // the right window, beside the overlay
    waitFor([] { return false; }, 0.5);
    EXPECT_NE(windows()->activeWindow(), right) << "the click went through the shield";

    panel->hide();
    EXPECT_TRUE(waitFor([&] {
        click(960, 360);
        return windows()->activeWindow() == right;
    })) << "the shield stayed after the overlay";
}

// A scroll made while the overlay shows goes to the shield, never to the window below.
TEST_F(PanelRigTest, WhileTheOverlayIsShownAScrollIsSwallowed) {
    const auto received = windowCountingScrolls();
    ASSERT_TRUE(waitFor([&] {
        pointTo(910, 500, true);
        return received() > 0;
    })) << "the window below never got a scroll";
    ASSERT_TRUE(shield->create());
    shield->setEnabled(true);
    show();
    waitFor([] { return false; }, 0.5);  // the shield is mapped
    const int before = received();
    for (int i = 0; i < 5; ++i) pointTo(910, 500, true);
    waitFor([] { return false; }, 0.5);
    EXPECT_EQ(received(), before) << "a scroll reached the window below the overlay";
}

// Over the shield the pointer shows the arrow of the session's cursor size (the compositor's is 24).
TEST_F(PanelRigTest, ThePointerShowsTheSessionsArrowOverTheShield) {
    // The dark outline of an arrow taller than 24 pixels: below (x, y + 24), in a picture with the cursor.
    auto tallArrow = [&](int x, int y) {
        const std::string file = rig.runtimeDir() + "/cursor.png";
        const std::string box = std::to_string(x) + "," + std::to_string(y + 24) + " 24x24";
        if (rig.runToEnd({"grim", "-c", "-g", box, file}) != 0) return false;
        const QImage shot(QString::fromStdString(file));
        int dark = 0;
        for (int j = 0; j < shot.height(); ++j)
            for (int i = 0; i < shot.width(); ++i) dark += qGray(shot.pixel(i, j)) < 60;
        return dark > 10;
    };
    open("Below", "below");  // a light background
    setenv("XCURSOR_SIZE", "48", 1);
    ASSERT_TRUE(shield->create());
    shield->setEnabled(true);
    show();
    int step = 0;
    EXPECT_TRUE(waitFor([&] {
        pointTo(100 + step++ % 2, 100);  // a motion: the compositor tells the surface below
        return tallArrow(100, 100);
    }));
    unsetenv("XCURSOR_SIZE");
}

// The same panel on KWin (layer shell version 3), with KWin's blur behind it.
class PanelOnKWin : public PanelRigTest {
protected:
    bool startRig(std::string* why) override { return rig.startKWin(why, kwinEntries()); }
    std::shared_ptr<WindowSystem> makeWindows() override { return wayland::KdeWindowSystem::create(conn); }
    QImage screenshot(const std::string& = "") override {
        QImage shot = kwinScreenshot(rig.busAddress);
        EXPECT_FALSE(shot.isNull()) << "KWin gave no screenshot";
        return shot;
    }
};

TEST_F(PanelOnKWin, ShowsCentredWithBlurBehindWhereKWinOffersIt) {
    ASSERT_TRUE(wayland::LayerShellPanel::missingProtocols(*conn).empty());
    // The virtual output's KWin starts without its blur effect; the panel hears the global come.
    ASSERT_TRUE(loadKWinBlur(rig.busAddress));
    ASSERT_TRUE(waitFor([&] { return conn->offers(org_kde_kwin_blur_manager_interface); }));
    const QImage before = screenshot();
    ASSERT_EQ(before.size(), QSize(1280, 720));
    showCentred(before);
    EXPECT_FALSE(conn->broken()) << "KWin took the blur region";
}

TEST_F(PanelOnKWin, ScrollsGoThroughToTheWindowBelow) {
    KWinFakeInput input(conn);
    ASSERT_TRUE(input.ready());
    const auto received = windowCountingScrolls();
    const QImage before = screenshot();
    show();
    ASSERT_TRUE(waitFor([&] { return !changed(before, screenshot()).isEmpty(); }));
    input.moveTo(640, 360);  // on the panel, over the window KWin placed in the middle
    EXPECT_TRUE(waitFor([&] {
        input.scroll();
        return received() > 0;
    })) << "the scroll did not reach the window below";
}

class TwoOutputPanelRigTest : public PanelRigTest {
protected:
    int outputs() const override { return 2; }
};

TEST_F(TwoOutputPanelRigTest, ShowsOnTheFocusedOutputOnly) {
    const QImage before1 = screenshot("HEADLESS-1"), before2 = screenshot("HEADLESS-2");
    ASSERT_EQ(rig.swaymsg("focus output HEADLESS-2"), 0);
    show();
    ASSERT_TRUE(waitFor([&] { return !changed(before2, screenshot("HEADLESS-2")).isEmpty(); }))
        << "not on the focused output";
    EXPECT_TRUE(changed(before1, screenshot("HEADLESS-1")).isEmpty()) << "also on the other output";
}

}  // namespace
}  // namespace trellick::rig
