#pragma once
// A test on a rig of its own, with our own connection to its X server: clients' windows are
// opened and focused, and waits run what the connection handed to the main queue meanwhile.

#include <gtest/gtest.h>

#include "Rig.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11WindowSystem.h"
#include "simulation/VirtualTime.h"

namespace trellick::rig {

class RigTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string why;
        if (!rig.start(&why)) GTEST_SKIP() << "no X11 rig: " << why;
        time->set(monotonicNow());
        auto opened = x11::X11Connection::open(time);
        ASSERT_TRUE(opened) << opened.error().reason;
        conn = opened.value();
        windows = x11::X11WindowSystem::create(conn);
    }
    bool waitFor(const std::function<bool()>& done, double timeout = 5.0) {
        return rig::waitFor(done, timeout, [this] { time->advanceTo(monotonicNow()); });
    }
    // Whether what the test builds over the connection knows the client `pid` yet, and has
    // seen window `w` become active.
    virtual bool known(pid_t) { return true; }
    virtual bool seenActive(WindowId) { return true; }
    // Starts a client and waits for its (first) window to be managed.
    WindowId open(const std::string& cls, const std::string& title, std::vector<std::string> extra = {}) {
        pid_t pid = rig.window(cls, title, std::move(extra));
        std::optional<WindowId> w;
        EXPECT_TRUE(waitFor([&] { return (w = windows->focusedWindow(pid)) && known(pid); }))
            << "window of " << cls << " never appeared";
        pids[w.value_or(0)] = pid;
        return w.value_or(0);
    }
    void focus(WindowId w) {
        rig.run("xdotool windowactivate --sync " + std::to_string(w));
        EXPECT_TRUE(waitFor([&] { return windows->activeWindow() == w && seenActive(w); })) << "could not focus " << w;
    }

    // Declared in the order they are built, so they go away in reverse: the rig last.
    Rig rig;
    std::shared_ptr<sim::VirtualTime> time = std::make_shared<sim::VirtualTime>();
    std::shared_ptr<x11::X11Connection> conn;
    std::shared_ptr<x11::X11WindowSystem> windows;
    std::map<WindowId, pid_t> pids;
};

}  // namespace trellick::rig
