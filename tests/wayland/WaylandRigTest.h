#pragma once
// A test on a sway rig of its own; the test process runs Qt offscreen (the overlay tests' main)
// and talks Wayland only through the backend under test.

#include <gtest/gtest.h>

#include <QCoreApplication>

#include "WaylandRig.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandWindowSystem.h"

namespace trellick::rig {

class WaylandRigTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string why;
        if (!startRig(&why)) GTEST_SKIP() << "no Wayland rig: " << why;
        auto opened = wayland::WaylandConnection::open(rig.socket.c_str());
        ASSERT_TRUE(opened) << opened.error().reason;
        conn = opened.value();
    }
    virtual int outputs() const { return 1; }
    virtual bool startRig(std::string* why) { return rig.start(why, outputs()); }
    bool waitFor(const std::function<bool()>& done, double timeout = 5.0) {
        return rig::waitFor(done, timeout, [] { QCoreApplication::processEvents(); });
    }

    // Made on first use, so a test decides which toplevels exist before it starts.
    const std::shared_ptr<WindowSystem>& windows() {
        if (!windows_) windows_ = makeWindows();
        return windows_;
    }
    virtual std::shared_ptr<WindowSystem> makeWindows() { return wayland::WaylandWindowSystem::create(conn, ownAppId); }
    std::optional<WindowId> byTitle(const std::string& title) { return titled(*windows(), title); }
    static std::optional<WindowId> titled(WindowSystem& in, const std::string& title) {
        for (WindowId w : in.clientList())
            if (in.title(w) == title) return w;
        return std::nullopt;
    }
    std::optional<std::string> activeTitle() {
        auto w = windows()->activeWindow();
        return w ? windows()->title(*w) : std::nullopt;
    }
    WindowId open(const std::string& appId, const std::string& title) {
        rig.window(appId, title);
        std::optional<WindowId> found;
        EXPECT_TRUE(waitFor([&] { return (found = byTitle(title)).has_value(); })) << title << " never appeared";
        return found.value_or(0);
    }

    static inline const std::string ownAppId = "io.github.trellick.Trellick";
    WaylandRig rig;
    std::shared_ptr<wayland::WaylandConnection> conn;

private:
    std::shared_ptr<WindowSystem> windows_;
};

}  // namespace trellick::rig
