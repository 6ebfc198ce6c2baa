#include "settings/Diagnostics.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace trellick {
namespace {

TEST(Diagnostics, EveryFieldAnnouncesItsChangeBeforehand) {
    Diagnostics d;
    int announced = 0;
    std::int64_t countSeenByRedraw = -1;
    auto sub = d.willChange.connect([&] {
        ++announced;
        countSeenByRedraw = d.swipeEventsSeen();
    });
    d.increment(d.swipeEventsSeen);
    EXPECT_EQ(countSeenByRedraw, 0);
    EXPECT_EQ(d.swipeEventsSeen(), 1);

    d.increment(d.actionsTriggered);
    d.lastDeltaX.set(-0.2);
    d.lastEventAt.set(12.5);
    d.mruNames.set({"Files"});
    d.mruWindowTitles.set({"Terminal"});
    d.multitouchDevicesActive.set(1);
    d.currentFingerCount.set(3);
    d.fingerStride.set(96);
    d.lastFingerSpread.set(0.3);
    d.increment(d.spreadRejects);
    d.accessibilityTrusted.set(true);
    d.touchpadsInaccessible.set(1);
    EXPECT_EQ(announced, 13);
}

}  // namespace
}  // namespace trellick
