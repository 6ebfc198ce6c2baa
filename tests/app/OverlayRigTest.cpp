// End to end: the overlay of `trellick --replay` on the X11 rig, as the X server sees it.

#include <gtest/gtest.h>

#include "AppRig.h"
#include "OverlayProbe.h"

using namespace trellick;

namespace {

// A held directional walk that opens the overlay and walks one more step.
const rig::Swipe heldWalk{2.0, 44, 0.005, 4.0};

class OverlayRigTest : public rig::AppRigTest {
protected:
    void TearDown() override {
        AppRigTest::TearDown();
        rig::stop(compositor);
    }
    void openWindows() {
        for (const char* cls : {"AlphaWin", "BetaWin", "GammaWin"})
            focus(active = open(cls, std::string(cls) + " window"));
    }
    void startCompositor() {
        if (rig.run("command -v xcompmgr") != 0) GTEST_SKIP() << "xcompmgr is not installed";
        compositor = rig::spawn({"xcompmgr", "-n"});
        xcb_atom_t cm = conn->atom("_NET_WM_CM_S0");
        ASSERT_TRUE(waitFor([&] {
            auto* r = xcb_get_selection_owner_reply(conn->xcb(), xcb_get_selection_owner(conn->xcb(), cm), nullptr);
            bool owned = r && r->owner;
            free(r);
            return owned;
        })) << "xcompmgr never took the selection";
    }
    void launch(const std::vector<rig::Swipe>& walks) {
        writePreferences(
            R"({"trellick.mode": "directionalMRU", "trellick.granularity": "window", "trellick.onboarded": true})");
        start(walks, {"--quit-after-replay"});
    }
    std::vector<rig::ShownWindow> panels() { return rig::shownOverrideRedirect(conn->xcb(), conn->root(), app); }
    // Waits (generously: the machine may be busy) for exactly one panel, which it returns.
    rig::ShownWindow waitForPanel() {
        std::vector<rig::ShownWindow> shown;
        bool one = waitFor([&] { return (shown = panels()).size() == 1; }, 30.0);
        EXPECT_TRUE(one) << shown.size() << " panels shown\n" << stderrText();
        return one ? shown[0] : rig::ShownWindow{};
    }

    pid_t compositor = -1;
    WindowId active = 0;
};

// ARGB where a compositor blends it, else shaped to the card.
class OverlayPanelTest : public OverlayRigTest, public ::testing::WithParamInterface<bool> {};

TEST_P(OverlayPanelTest, AHeldWalkShowsOneCentredPanelThatTakesNoFocusAndGoesAtTheLift) {
    const bool composited = GetParam();
    if (composited) {
        ASSERT_NO_FATAL_FAILURE(startCompositor());
        if (IsSkipped()) return;
    }
    openWindows();
    launch({heldWalk});
    rig::ShownWindow panel = waitForPanel();
    ASSERT_NE(panel.id, 0u);
    EXPECT_NEAR(panel.centreX(), 960, 1);
    EXPECT_NEAR(panel.centreY(), 540, 1);
    EXPECT_EQ(windows->activeWindow(), active);
    auto* focus = xcb_get_input_focus_reply(conn->xcb(), xcb_get_input_focus(conn->xcb()), nullptr);
    ASSERT_TRUE(focus);
    EXPECT_NE(focus->focus, panel.id);
    free(focus);

    auto shape = rig::boundingShape(conn->xcb(), panel.id);
    if (composited) {
        EXPECT_EQ(panel.depth, 32);
        // It draws its own shadow; one from picom would darken the whole window's rectangle.
        auto* p = xcb_get_property_reply(
            conn->xcb(),
            xcb_get_property(conn->xcb(), 0, panel.id, conn->atom("_COMPTON_SHADOW"), XCB_ATOM_CARDINAL, 0, 1),
            nullptr);
        ASSERT_TRUE(p && xcb_get_property_value_length(p) == 4) << "no _COMPTON_SHADOW";
        EXPECT_EQ(*static_cast<uint32_t*>(xcb_get_property_value(p)), 0u);
        free(p);
    } else {
        EXPECT_EQ(panel.depth, 24);
        // The corners are cut away: more than one rectangle, none of them the whole window.
        EXPECT_GT(shape.size(), 1u);
        for (const auto& r : shape) EXPECT_FALSE(r.width == panel.width && r.height == panel.height);
    }

    EXPECT_TRUE(waitFor([&] { return panels().empty(); }, 30.0)) << "still shown after the lift";
    EXPECT_TRUE(waitFor([&] { return windows->activeWindow() != active; }, 10.0)) << "the walk did not switch";
}
INSTANTIATE_TEST_SUITE_P(Compositor, OverlayPanelTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "xcompmgr" : "none"; });

// Whatever the panel covers can still be clicked. Trellick holds the pointer during a walk; the
// test holds it first, so Trellick's grab fails and the click goes where the pointer is.
TEST_F(OverlayRigTest, AClickAtThePanelsCentreReachesTheWindowBelow) {
    openWindows();
    // The active window, moved under the screen's centre long before the panel shows, hears presses.
    ASSERT_EQ(rig.run("wmctrl -i -r " + std::to_string(active) + " -e 0,560,340,800,400"), 0);
    xcb_connection_t* c = xcb_connect(rig.display.c_str(), nullptr);
    ASSERT_FALSE(xcb_connection_has_error(c));
    uint32_t mask = XCB_EVENT_MASK_BUTTON_PRESS;
    ASSERT_EQ(xcb_request_check(c, xcb_change_window_attributes_checked(c, active, XCB_CW_EVENT_MASK, &mask)), nullptr);
    auto* grab = xcb_grab_pointer_reply(
        c, xcb_grab_pointer(c, 0, conn->root(), 0, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC, 0, 0, XCB_CURRENT_TIME),
        nullptr);
    ASSERT_TRUE(grab && grab->status == XCB_GRAB_STATUS_SUCCESS);
    free(grab);

    launch({heldWalk});
    rig::ShownWindow panel = waitForPanel();
    ASSERT_NE(panel.id, 0u);
    xcb_ungrab_pointer(c, XCB_CURRENT_TIME);
    free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    rig.run("xdotool mousemove " + std::to_string(panel.centreX()) + " " + std::to_string(panel.centreY()) +
            " click 1");
    bool pressed = waitFor([&] {
        for (xcb_generic_event_t* ev; (ev = xcb_poll_for_event(c));) {
            bool press = (ev->response_type & 0x7f) == XCB_BUTTON_PRESS &&
                         reinterpret_cast<xcb_button_press_event_t*>(ev)->event == active;
            free(ev);
            if (press) return true;
        }
        return false;
    });
    EXPECT_EQ(panels().size(), 1u) << "the click came after the panel had gone";
    EXPECT_TRUE(pressed) << "the window below never saw the press";
    xcb_disconnect(c);
}

}  // namespace
