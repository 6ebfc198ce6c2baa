// Haptics through force feedback: the effect chosen per pattern and device, effects uploaded
// once, and silence (never an error) where there is no haptic touchpad or it fails.

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>

#include "platform/evdev/EvdevHaptics.h"

namespace trellick::evdev {
namespace {

// What happened to a fake device; kept by the test, as the performer may discard the device.
struct FFLog {
    std::vector<int> types;
    std::vector<ff_effect> uploaded;
    std::vector<int> played;
    int failUploadWith = 0, failPlayWith = 0;
};

struct FakeFF : ForceFeedbackDevice {
    explicit FakeFF(FFLog* log) : log(log) {}
    FFLog* log;
    bool supports(int t) const override { return std::ranges::find(log->types, t) != log->types.end(); }
    int upload(ff_effect& e) override {
        if (log->failUploadWith) return -log->failUploadWith;
        log->uploaded.push_back(e);
        return int(log->uploaded.size()) - 1;
    }
    int play(int id) override {
        if (log->failPlayWith) return -log->failPlayWith;
        log->played.push_back(id);
        return 0;
    }
};

struct HapticsRig {
    double now = 0;
    int looks = 0;
    std::deque<FFLog> logs;
    std::vector<std::unique_ptr<ForceFeedbackDevice>> next;  // what the next look finds
    std::vector<std::unique_ptr<ForceFeedbackDevice>> find() {
        ++looks;
        return std::move(next);
    }
    EvdevHaptics haptics{[this] { return find(); }, [this] { return now; }};
    FFLog* add(std::vector<int> types) {
        logs.emplace_back().types = std::move(types);
        next.push_back(std::make_unique<FakeFF>(&logs.back()));
        return &logs.back();
    }
};

TEST(Haptics, EachPatternIsUploadedOnceAndPlayedEveryTimeOnDevicesThatCan) {
    HapticsRig rig;
    FFLog* rumble = rig.add({FF_RUMBLE, FF_PERIODIC});
    FFLog* periodic = rig.add({FF_PERIODIC});
    FFLog* none = rig.add({FF_CONSTANT});
    rig.haptics.perform(HapticPattern::alignment);
    rig.haptics.perform(HapticPattern::alignment);
    rig.haptics.perform(HapticPattern::levelChange);
    ASSERT_EQ(rumble->uploaded.size(), 2u);
    EXPECT_EQ(rumble->played, (std::vector<int>{0, 0, 1}));
    const ff_effect& tick = rumble->uploaded[0];
    const ff_effect& thud = rumble->uploaded[1];
    // A switch is felt firmer and longer than a selection tick.
    EXPECT_GT(thud.u.rumble.strong_magnitude, tick.u.rumble.strong_magnitude);
    EXPECT_GT(thud.replay.length, tick.replay.length);
    EXPECT_GT(tick.replay.length, 0);

    ASSERT_EQ(periodic->uploaded.size(), 2u);
    EXPECT_EQ(periodic->played.size(), 3u);
    EXPECT_TRUE(none->uploaded.empty() && none->played.empty());
    EXPECT_EQ(rig.looks, 1);
}

TEST(Haptics, FailingDevicesAreDroppedAndMissingHardwareIsLookedForRarely) {
    HapticsRig rig;
    FFLog* pad = rig.add({FF_RUMBLE});
    rig.haptics.perform(HapticPattern::alignment);
    pad->failPlayWith = ENODEV;  // unplugged
    rig.haptics.perform(HapticPattern::alignment);
    pad->failPlayWith = 0;
    rig.haptics.perform(HapticPattern::alignment);
    EXPECT_EQ(pad->played.size(), 1u);  // given up after the failure

    // Nothing left to play on: looked for again only after a while, then found.
    FFLog* replugged = rig.add({FF_RUMBLE});
    rig.now = 5;
    rig.haptics.perform(HapticPattern::alignment);
    EXPECT_EQ(rig.looks, 1);
    rig.now = 5 + EvdevHaptics::lookAgainAfter;
    rig.haptics.perform(HapticPattern::levelChange);
    EXPECT_EQ(rig.looks, 2);
    EXPECT_EQ(replugged->played.size(), 1u);

    // An effect that cannot be uploaded drops the device the same way; refresh() looks again.
    FFLog* full = rig.add({FF_RUMBLE});
    full->failUploadWith = ENOSPC;
    rig.haptics.refresh();
    rig.haptics.perform(HapticPattern::alignment);
    rig.haptics.perform(HapticPattern::alignment);
    EXPECT_TRUE(full->played.empty());
    EXPECT_EQ(rig.looks, 3);
}

}  // namespace
}  // namespace trellick::evdev
