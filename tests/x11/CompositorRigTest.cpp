// Compositor support against a real compositor (xcompmgr) on the rig. One rig for the whole
// binary.

#include <gtest/gtest.h>
#include <xcb/xcb.h>

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
    }
    static void TearDownTestSuite() {
        delete rig_;
        rig_ = nullptr;
    }

    void SetUp() override {
        if (!why_.empty()) GTEST_SKIP() << "no X11 rig: " << why_;
        auto opened = X11Connection::open(queue);
        ASSERT_TRUE(opened) << opened.error().reason;
        conn = opened.value();
        support = X11CompositorSupport::create(conn);
        conn->startReading();
        sub = support->subscribe([this](bool active) { heard.push_back(active); });
    }
    void TearDown() override { stopCompositor(); }

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

    static inline rig::Rig* rig_ = nullptr;
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
