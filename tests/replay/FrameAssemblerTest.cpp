// Frame assembly from hand-made event streams: which slots count as contacts, how positions
// are scaled, fingers the device announces but cannot track, lost events and protocol A.

#include <gtest/gtest.h>

#include "EventStream.h"

namespace trellick::input::test {
namespace {

TEST(FrameAssembly, ContactsAreTouchingSlotsInSlotOrderWithTheirDetails) {
    Stream s;
    s.at(1.0).down(2, 70, 100, 100).abs(ABS_MT_PRESSURE, 40).abs(ABS_MT_TOUCH_MAJOR, 9).abs(ABS_MT_TOUCH_MINOR, 7);
    s.down(0, 71, 900, 400).key(BTN_TOUCH, 1).key(BTN_TOOL_DOUBLETAP, 1).report();
    auto frames = run(touchpad(), s);
    ASSERT_EQ(frames.size(), 1u);
    const auto& f = frames[0].fingers;
    ASSERT_EQ(f.size(), 2u);
    EXPECT_EQ(f[0].slot, 0);
    EXPECT_EQ(f[0].trackingId, 71);
    EXPECT_EQ(f[1].slot, 2);
    EXPECT_EQ(f[1].trackingId, 70);
    EXPECT_FLOAT_EQ(f[1].pressure, 40);
    EXPECT_FLOAT_EQ(f[1].touchMajor, 9);
    EXPECT_FLOAT_EQ(f[1].touchMinor, 7);
    EXPECT_DOUBLE_EQ(frames[0].time, 1.0);
}

TEST(FrameAssembly, PositionsAreScaledWithYGrowingUpwardAndNotClamped) {
    DeviceInfo d = touchpad();
    d.abs[ABS_MT_POSITION_X] = {true, 100, 1100, 0};
    d.abs[ABS_MT_POSITION_Y] = {true, -50, 450, 0};
    Stream s;
    s.down(0, 1, 100, -50).down(1, 2, 1100, 450).down(2, 3, 600, 200).key(BTN_TOUCH, 1).report();
    // A finger sliding toward the top edge (device Y shrinking), then past the left edge.
    s.at(0.01).slot(2).abs(ABS_MT_POSITION_Y, 100).report();
    s.at(0.02).slot(0).abs(ABS_MT_POSITION_X, 0).report();
    auto frames = run(d, s);
    ASSERT_EQ(frames.size(), 3u);
    const auto& f = frames[0].fingers;
    EXPECT_FLOAT_EQ(f[0].x, 0.0f);  // left, top
    EXPECT_FLOAT_EQ(f[0].y, 1.0f);
    EXPECT_FLOAT_EQ(f[1].x, 1.0f);  // right, bottom
    EXPECT_FLOAT_EQ(f[1].y, 0.0f);
    EXPECT_FLOAT_EQ(f[2].x, 0.5f);
    EXPECT_FLOAT_EQ(f[2].y, 0.5f);
    EXPECT_GT(frames[1].fingers[2].y, frames[0].fingers[2].y);
    EXPECT_FLOAT_EQ(frames[2].fingers[0].x, -0.1f);
}

TEST(FrameAssembly, SlotsKeepTheirValuesAcrossFramesAndNewTouches) {
    Stream s;
    s.down(0, 5, 200, 100).down(1, 6, 400, 100).key(BTN_TOUCH, 1).report();
    s.at(0.01).slot(1).abs(ABS_MT_POSITION_X, 500).report();  // only what changed is sent
    s.at(0.02).up(0).report();
    s.at(0.03).slot(0).id(7).report();  // a new touch where the old one left, position unchanged
    auto frames = run(touchpad(), s);
    ASSERT_EQ(frames.size(), 4u);
    ASSERT_EQ(frames[1].fingers.size(), 2u);
    EXPECT_FLOAT_EQ(frames[1].fingers[0].x, 0.2f);
    EXPECT_FLOAT_EQ(frames[1].fingers[1].x, 0.5f);
    ASSERT_EQ(frames[2].fingers.size(), 1u);
    EXPECT_EQ(frames[2].fingers[0].trackingId, 6);
    ASSERT_EQ(frames[3].fingers.size(), 2u);
    EXPECT_EQ(frames[3].fingers[0].trackingId, 7);
    EXPECT_FLOAT_EQ(frames[3].fingers[0].x, 0.2f);
}

TEST(FrameAssembly, OnlyFingersOnThePadCount) {
    // BTN_TOUCH up: nothing touches, whatever the slots say.
    Stream s;
    s.down(0, 1, 500, 250).report();
    s.at(0.01).key(BTN_TOUCH, 1).report();
    s.at(0.02).key(BTN_TOUCH, 0).report();
    auto withKey = run(touchpad(true), s);
    EXPECT_EQ(withKey[0].fingers.size(), 0u);
    EXPECT_EQ(withKey[1].fingers.size(), 1u);
    EXPECT_EQ(withKey[2].fingers.size(), 0u);
    // A device without BTN_TOUCH: the tracking id alone makes the contact.
    auto noKey = run(touchpad(false), s);
    EXPECT_EQ(noKey[0].fingers.size(), 1u);

    // Hovering fingers (distance > 0) are not contacts; they land when the distance is 0.
    Stream hover;
    hover.down(0, 1, 300, 250).abs(ABS_MT_DISTANCE, 1).down(1, 2, 600, 250).key(BTN_TOUCH, 1).report();
    hover.at(0.01).slot(0).abs(ABS_MT_DISTANCE, 0).report();
    auto h = run(touchpad(true, true), hover);
    ASSERT_EQ(h[0].fingers.size(), 1u);
    EXPECT_EQ(h[0].fingers[0].slot, 1);
    EXPECT_EQ(h[1].fingers.size(), 2u);

    // A palm is not a finger, and a three-finger tool count does not bring it back.
    Stream palm;
    palm.down(0, 1, 100, 100).abs(ABS_MT_TOOL_TYPE, 2 /* MT_TOOL_PALM */);
    palm.down(1, 2, 500, 250).down(2, 3, 600, 250).key(BTN_TOUCH, 1).key(BTN_TOOL_TRIPLETAP, 1).report();
    auto p = run(touchpad(), palm);
    ASSERT_EQ(p[0].fingers.size(), 2u);
    EXPECT_EQ(p[0].fingers[0].slot, 1);
}

TEST(FrameAssembly, AnnouncedFingersBeyondTheTrackedOnesStandAtTheCentroid) {
    // A two-slot pad with three fingers down.
    Stream s;
    s.down(0, 1, 200, 100).down(1, 2, 400, 300).key(BTN_TOUCH, 1).key(BTN_TOOL_TRIPLETAP, 1).report();
    // The tool count drops back to two: no stand-in any more.
    s.at(0.01).key(BTN_TOOL_TRIPLETAP, 0).key(BTN_TOOL_DOUBLETAP, 1).report();
    // One slot briefly empty while the device still says three fingers.
    s.at(0.02).up(0).key(BTN_TOOL_DOUBLETAP, 0).key(BTN_TOOL_TRIPLETAP, 1).report();
    // Five fingers on a two-slot pad.
    s.at(0.03).down(0, 3, 200, 100).key(BTN_TOOL_TRIPLETAP, 0).key(BTN_TOOL_QUINTTAP, 1).report();
    // Lifted: the tool button alone makes no contact.
    s.at(0.04).key(BTN_TOUCH, 0).report();
    auto frames = run(touchpad(), s);
    ASSERT_EQ(frames.size(), 5u);

    const auto& three = frames[0].fingers;
    ASSERT_EQ(three.size(), 3u);
    EXPECT_FLOAT_EQ(three[2].x, 0.3f);
    EXPECT_FLOAT_EQ(three[2].y, 0.6f);
    EXPECT_EQ(three[2].slot, -1);
    EXPECT_EQ(three[2].trackingId, -1);

    EXPECT_EQ(frames[1].fingers.size(), 2u);
    ASSERT_EQ(frames[2].fingers.size(), 3u);
    EXPECT_FLOAT_EQ(frames[2].fingers[1].x, 0.4f);
    EXPECT_FLOAT_EQ(frames[2].fingers[2].x, 0.4f);
    EXPECT_EQ(frames[3].fingers.size(), 5u);
    EXPECT_TRUE(frames[4].fingers.empty());
}

TEST(FrameAssembly, LostEventsGiveOneFrameOfTheResyncedState) {
    Stream s;
    s.down(0, 1, 100, 100).down(1, 2, 200, 100).key(BTN_TOUCH, 1).report();
    // A packet cut short by the drop, then the resync: slot 1 ended, slot 0 moved.
    s.at(0.5).slot(0).abs(ABS_MT_POSITION_X, 150);
    s.dropped();
    s.slot(0).abs(ABS_MT_POSITION_X, 300).slot(1).id(-1).slot(0).report();
    s.at(0.51).abs(ABS_MT_POSITION_X, 310).report();
    auto frames = run(touchpad(), s);
    ASSERT_EQ(frames.size(), 3u);
    ASSERT_EQ(frames[1].fingers.size(), 1u);
    EXPECT_FLOAT_EQ(frames[1].fingers[0].x, 0.3f);
    EXPECT_DOUBLE_EQ(frames[1].time, 0.5);
    EXPECT_FLOAT_EQ(frames[2].fingers[0].x, 0.31f);
}

TEST(FrameAssembly, ProtocolAListsEachContactAndEveryPacketStandsAlone) {
    DeviceInfo d = touchpad(false);
    d.protocolA = true;
    Stream s;
    s.pos(100, 100).mtReport().pos(900, 400).mtReport().report();
    s.at(0.01).pos(120, 100).mtReport().report();  // the second contact left
    s.at(0.02).mtReport().report();               // none left
    s.at(0.03).pos(500, 250).abs(ABS_MT_DISTANCE, 2).mtReport().pos(10, 10).mtReport().report();
    d.absCodes.set(ABS_MT_DISTANCE);
    auto frames = run(d, s);
    ASSERT_EQ(frames.size(), 4u);
    ASSERT_EQ(frames[0].fingers.size(), 2u);
    EXPECT_FLOAT_EQ(frames[0].fingers[0].x, 0.1f);
    EXPECT_FLOAT_EQ(frames[0].fingers[1].x, 0.9f);
    ASSERT_EQ(frames[1].fingers.size(), 1u);
    EXPECT_FLOAT_EQ(frames[1].fingers[0].x, 0.12f);
    EXPECT_TRUE(frames[2].fingers.empty());
    ASSERT_EQ(frames[3].fingers.size(), 1u);  // the hovering one is left out
    EXPECT_FLOAT_EQ(frames[3].fingers[0].x, 0.01f);

    // A device not declared as protocol A is recognised by its first SYN_MT_REPORT.
    auto undeclared = run(touchpad(false), s);
    EXPECT_EQ(undeclared[0].fingers.size(), 2u);
    EXPECT_EQ(undeclared[1].fingers.size(), 1u);
}

TEST(FrameAssembly, CorruptSlotNumbersAreIgnored) {
    Stream s;
    s.down(0, 1, 500, 250).key(BTN_TOUCH, 1);
    s.slot(5000).id(9).pos(1, 1).slot(-3).id(10).report();
    auto frames = run(touchpad(), s);
    ASSERT_EQ(frames[0].fingers.size(), 1u);
    EXPECT_EQ(frames[0].fingers[0].trackingId, 1);
}

}  // namespace
}  // namespace trellick::input::test
