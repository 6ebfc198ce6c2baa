// Compositor support against a real compositor (xcompmgr) on the rig, and blur-behind requests
// on a real Qt window. One rig for the whole binary: Qt's X connection lives as long as the
// process. Qt scales by 2, so requests in logical pixels must reach the server doubled.

#include <QtGui/qguiapplication_platform.h>
#include <QGuiApplication>
#include <QWindow>

#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <cstring>
#include <vector>

#include "Rig.h"
#include "platform/fake/Fakes.h"
#include "platform/x11/X11CompositorSupport.h"

using namespace trellick;
using namespace trellick::x11;

namespace {

class CompositorRigTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        rig_ = new rig::Rig;
        if (!rig_->start(&why_)) return;
        if (rig::run("command -v xcompmgr") != 0) {
            why_ = "xcompmgr is not installed";
            return;
        }
        qputenv("QT_QPA_PLATFORM", "xcb");
        qputenv("QT_SCALE_FACTOR", "2");
        static int argc = 1;
        static char name[] = "compositor_rig_tests";
        static char* argv[] = {name, nullptr};
        app_ = new QGuiApplication(argc, argv);
    }
    static void TearDownTestSuite() {
        delete app_;  // before its X server goes
        app_ = nullptr;
        delete rig_;
        rig_ = nullptr;
    }

    void SetUp() override {
        if (!app_) GTEST_SKIP() << "no X11 rig: " << why_;
        auto opened = X11Connection::open(queue);
        ASSERT_TRUE(opened) << opened.error().reason;
        conn = opened.value();
        support = X11CompositorSupport::create(conn);
        conn->startReading();
        sub = support->subscribe([this](bool active) { heard.push_back(active); });
    }
    void TearDown() override {
        stopCompositor();
        if (conn) announceBlur(false);
    }

    bool waitFor(const std::function<bool()>& done) {
        return rig::waitFor(done, 5.0, [this] { queue->runPending(); });
    }
    void startCompositor() {
        compositor = rig::spawn({"xcompmgr", "-n"});
        ASSERT_TRUE(waitFor([&] { return support->compositorActive(); })) << "xcompmgr never took the selection";
    }
    void stopCompositor(int sig = SIGTERM) {
        if (compositor > 0) rig::stop(compositor, sig);
        compositor = -1;
    }
    // What KWin does for each effect it has loaded: a property of that name on the root.
    void announceBlur(bool on) {
        xcb_atom_t a = conn->atom("_KDE_NET_WM_BLUR_BEHIND_REGION");
        if (on)
            xcb_change_property(conn->xcb(), XCB_PROP_MODE_REPLACE, conn->root(), a, a, 8, 0, nullptr);
        else
            xcb_delete_property(conn->xcb(), conn->root(), a);
        free(xcb_get_input_focus_reply(conn->xcb(), xcb_get_input_focus(conn->xcb()), nullptr));
    }
    // The window's blur request as the server has it; nothing when there is none.
    std::optional<std::vector<uint32_t>> blurRegion(QWindow& w) {
        // A round trip on Qt's connection: what it sent has been done.
        xcb_connection_t* qc = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
        free(xcb_get_input_focus_reply(qc, xcb_get_input_focus(qc), nullptr));
        auto cookie = xcb_get_property(conn->xcb(), 0, static_cast<xcb_window_t>(w.winId()),
                                       conn->atom("_KDE_NET_WM_BLUR_BEHIND_REGION"), XCB_ATOM_CARDINAL, 0, 1024);
        auto* reply = xcb_get_property_reply(conn->xcb(), cookie, nullptr);
        std::optional<std::vector<uint32_t>> out;
        if (reply && reply->type == XCB_ATOM_CARDINAL && reply->format == 32) {
            out.emplace(static_cast<std::size_t>(xcb_get_property_value_length(reply)) / 4);
            std::memcpy(out->data(), xcb_get_property_value(reply), out->size() * 4);
        }
        free(reply);
        return out;
    }

    static inline rig::Rig* rig_ = nullptr;
    static inline QGuiApplication* app_ = nullptr;
    static inline std::string why_;
    std::shared_ptr<fake::FakeClock> clock = std::make_shared<fake::FakeClock>();
    std::shared_ptr<fake::FakeMainQueue> queue = std::make_shared<fake::FakeMainQueue>(clock);
    std::shared_ptr<X11Connection> conn;
    std::shared_ptr<X11CompositorSupport> support;
    Subscription sub;
    std::vector<bool> heard;
    pid_t compositor = -1;
};

TEST_F(CompositorRigTest, StateFollowsACompositorStartingQuittingAndDying) {
    startCompositor();
    EXPECT_TRUE(X11CompositorSupport::create(conn)->compositorActive()) << "known at once when made meanwhile";
    stopCompositor();
    ASSERT_TRUE(waitFor([&] { return !support->compositorActive(); }));
    startCompositor();
    stopCompositor(SIGKILL);
    ASSERT_TRUE(waitFor([&] { return !support->compositorActive(); }));
    EXPECT_EQ(heard, (std::vector<bool>{false, true, false, true, false}));
}

}  // namespace
