// Frame assembly from hand-made event streams: which slots count as contacts, how positions
// are scaled, fingers the device announces but cannot track, lost events and protocol A.

#include <gtest/gtest.h>
#include <linux/input.h>

#include <cstdio>
#include <functional>

#include "input/FrameAssembler.h"
#include "input/Recording.h"

namespace trellick::input {
namespace {

// A touchpad 0..1000 wide and 0..500 tall.
DeviceInfo touchpad(bool btnTouch = true, bool distance = false) {
    DeviceInfo d;
    d.abs[ABS_MT_POSITION_X] = {true, 0, 1000, 10};
    d.abs[ABS_MT_POSITION_Y] = {true, 0, 500, 10};
    if (distance) d.absCodes.set(ABS_MT_DISTANCE);
    if (btnTouch) d.keys.set(BTN_TOUCH);
    return d;
}

// Builds events; each report() closes a frame at the current time.
struct Stream {
    double t = 0;
    std::vector<InputEvent> events;
    Stream& at(double time) {
        t = time;
        return *this;
    }
    Stream& ev(int type, int code, int value) {
        events.push_back({t, std::uint16_t(type), std::uint16_t(code), value});
        return *this;
    }
    Stream& abs(int code, int value) { return ev(EV_ABS, code, value); }
    Stream& key(int code, int value) { return ev(EV_KEY, code, value); }
    Stream& slot(int s) { return abs(ABS_MT_SLOT, s); }
    Stream& id(int trackingId) { return abs(ABS_MT_TRACKING_ID, trackingId); }
    Stream& pos(int x, int y) { return abs(ABS_MT_POSITION_X, x).abs(ABS_MT_POSITION_Y, y); }
    Stream& down(int s, int trackingId, int x, int y) { return slot(s).id(trackingId).pos(x, y); }
    Stream& up(int s) { return slot(s).id(-1); }
    Stream& mtReport() { return ev(EV_SYN, SYN_MT_REPORT, 0); }
    Stream& report() { return ev(EV_SYN, SYN_REPORT, 0); }
    Stream& pressure(int p) { return abs(ABS_MT_PRESSURE, p); }
};

std::vector<Frame> run(const DeviceInfo& d, const Stream& s) {
    return assembleFrames({{}, d, s.events});
}
// Frames as "T: ID@X,Y ID@X,Y / T: ..." (positions to six digits), each left-out contact as
// "!ID:[thumb:]EVIDENCE", with '*' on the frame that counts it.
std::string text(const std::vector<Frame>& frames) {
    std::string out;
    char buf[48];
    for (const auto& f : frames) {
        std::snprintf(buf, sizeof buf, "%s%g:", out.empty() ? "" : " / ", f.time);
        out += buf;
        for (const auto& g : f.fingers) {
            std::snprintf(buf, sizeof buf, " %d@%g,%g", g.trackingId, g.x, g.y);
            out += buf;
        }
        for (const auto& r : f.rejected) {
            const char* why[] = {"kernel", "size", "pressure", "resting", "edge", "flicker", "still"};
            std::snprintf(buf, sizeof buf, " !%d:%s%s%s", r.trackingId, r.thumb ? "thumb:" : "", why[int(r.evidence)],
                          r.first ? "*" : "");
            out += buf;
        }
    }
    return out;
}

TEST(FrameAssembly, ContactsAreTrackedSlotsInSlotOrder) {
    Stream s;
    s.at(0.01).down(2, 70, 100, 100);
    s.down(0, 71, 900, 400).key(BTN_TOUCH, 1);
    s.slot(5000).id(9).pos(1, 1).slot(-3).id(10).report();    // corrupt slot numbers are ignored
    s.at(0.02).slot(2).abs(ABS_MT_POSITION_X, 500).report();  // only what changed is sent
    s.at(0.03).up(0).report();
    s.at(0.04).slot(0).id(7).report();  // a new touch where the old one left, position unchanged
    EXPECT_EQ(text(run(touchpad(), s)),
              "0.01: 71@0.9,0.2 70@0.1,0.8 / 0.02: 71@0.9,0.2 70@0.5,0.8 / "
              "0.03: 70@0.5,0.8 / 0.04: 7@0.9,0.2 70@0.5,0.8");
}

TEST(FrameAssembly, PositionsAreScaledWithYGrowingUpwardAndNotClamped) {
    DeviceInfo d = touchpad();
    d.abs[ABS_MT_POSITION_X] = {true, 100, 1100, 0};
    d.abs[ABS_MT_POSITION_Y] = {true, -50, 450, 0};
    Stream s;  // one finger, so nothing resting at an edge is left out
    s.down(0, 1, 100, -50).key(BTN_TOUCH, 1).report();
    s.at(1).pos(1100, 450).report();
    s.at(2).pos(600, 100).report();              // toward the top edge (device Y shrinks)
    s.at(3).abs(ABS_MT_POSITION_X, 0).report();  // past the left edge
    EXPECT_EQ(text(run(d, s)), "0: 1@0,1 / 1: 1@1,0 / 2: 1@0.5,0.7 / 3: 1@-0.1,0.7");
}

TEST(FrameAssembly, OnlyFingersOnThePadCount) {
    // BTN_TOUCH up: nothing touches, whatever the slots say; without BTN_TOUCH the id decides.
    Stream s;
    s.down(0, 1, 500, 250).report();
    s.at(1).key(BTN_TOUCH, 1).report();
    s.at(2).key(BTN_TOUCH, 0).report();
    EXPECT_EQ(text(run(touchpad(true), s)), "0: / 1: 1@0.5,0.5 / 2:");
    EXPECT_EQ(text(run(touchpad(false), s)), "0: 1@0.5,0.5 / 1: 1@0.5,0.5 / 2: 1@0.5,0.5");

    // Hovering fingers (distance > 0) are not contacts; they land when the distance is 0.
    Stream hover;
    hover.down(0, 1, 300, 250).abs(ABS_MT_DISTANCE, 1).down(1, 2, 600, 250).key(BTN_TOUCH, 1).report();
    hover.at(0.1).slot(0).abs(ABS_MT_DISTANCE, 0).report();
    EXPECT_EQ(text(run(touchpad(true, true), hover)), "0: 2@0.6,0.5 / 0.1: 1@0.3,0.5 2@0.6,0.5");

    // A palm is not a finger, and a three-finger tool count does not bring it back.
    Stream palm;
    palm.down(0, 1, 100, 100).abs(ABS_MT_TOOL_TYPE, MT_TOOL_PALM);
    palm.down(1, 2, 500, 250).down(2, 3, 600, 250).key(BTN_TOUCH, 1).key(BTN_TOOL_TRIPLETAP, 1).report();
    EXPECT_EQ(text(run(touchpad(), palm)), "0: 2@0.5,0.5 3@0.6,0.5 !1:kernel*");
}

TEST(FrameAssembly, AnnouncedFingersBeyondTheTrackedOnesStandAtTheCentroid) {
    Stream s;  // a two-slot pad with three fingers down
    s.down(0, 1, 200, 100).down(1, 2, 400, 300).key(BTN_TOUCH, 1).key(BTN_TOOL_TRIPLETAP, 1).report();
    s.at(0.01).key(BTN_TOOL_TRIPLETAP, 0).key(BTN_TOOL_DOUBLETAP, 1).report();  // back to two
    // One slot briefly empty while the device still says three fingers.
    s.at(0.02).up(0).key(BTN_TOOL_DOUBLETAP, 0).key(BTN_TOOL_TRIPLETAP, 1).report();
    s.at(0.03).down(0, 3, 200, 100).key(BTN_TOOL_TRIPLETAP, 0).key(BTN_TOOL_QUINTTAP, 1).report();  // five
    s.at(0.04).key(BTN_TOUCH, 0).report();  // lifted: the tool button alone makes no contact
    auto frames = run(touchpad(), s);
    EXPECT_EQ(text(frames),
              "0: 1@0.2,0.8 2@0.4,0.4 -1@0.3,0.6 / 0.01: 1@0.2,0.8 2@0.4,0.4 / "
              "0.02: 2@0.4,0.4 -1@0.4,0.4 -1@0.4,0.4 / "
              "0.03: 3@0.2,0.8 2@0.4,0.4 -1@0.3,0.6 -1@0.3,0.6 -1@0.3,0.6 / 0.04:");
    EXPECT_EQ(frames[0].fingers[2].slot, -1);
}

TEST(FrameAssembly, LostEventsGiveOneFrameOfTheResyncedState) {
    Stream s;
    s.down(0, 1, 100, 100).down(1, 2, 200, 100).key(BTN_TOUCH, 1).report();
    // A packet cut short by the drop, then the resync: slot 1 ended, slot 0 moved.
    s.at(0.5).slot(0).abs(ABS_MT_POSITION_X, 150).ev(EV_SYN, SYN_DROPPED, 0);
    s.slot(0).abs(ABS_MT_POSITION_X, 300).slot(1).id(-1).slot(0).report();
    s.at(0.51).abs(ABS_MT_POSITION_X, 310).report();
    EXPECT_EQ(text(run(touchpad(), s)), "0: 1@0.1,0.8 2@0.2,0.8 / 0.5: 1@0.3,0.8 / 0.51: 1@0.31,0.8");
}

TEST(FrameAssembly, ProtocolAListsEachContactAndEveryPacketStandsAlone) {
    DeviceInfo d = touchpad(false, true);
    d.protocolA = true;
    Stream s;
    s.pos(100, 100).mtReport().pos(900, 400).mtReport().report();
    s.at(1).pos(120, 100).mtReport().report();  // the second contact left
    s.at(2).mtReport().report();                // none left
    s.at(3).pos(500, 250).abs(ABS_MT_DISTANCE, 2).mtReport().pos(10, 10).mtReport().report();  // one hovers
    EXPECT_EQ(text(run(d, s)), "0: -1@0.1,0.8 -1@0.9,0.2 / 1: -1@0.12,0.8 / 2: / 3: -1@0.01,0.98");
    // A device not declared as protocol A is recognised by its first SYN_MT_REPORT.
    EXPECT_EQ(text(run(touchpad(false), s)),
              "0: -1@0.1,0.8 -1@0.9,0.2 / 1: -1@0.12,0.8 / 2: / 3: -1@0.5,0.5 -1@0.01,0.98");
}

// A device that also reports `code`, with a declared range when `max` > 0.
std::function<void(DeviceInfo&)> axis(int code, int max = 0, int resolution = 0, bool semiMt = false) {
    return [=](DeviceInfo& d) {
        d.absCodes.set(code);
        if (max > 0) d.abs[code] = {true, 0, max, resolution};
        d.props.set(INPUT_PROP_SEMI_MT, semiMt);
    };
}

// A device reporting pressure with a palm threshold from the quirks database.
std::function<void(DeviceInfo&)> palmPressure(int threshold) {
    return [=](DeviceInfo& d) {
        d.absCodes.set(ABS_MT_PRESSURE);
        d.quirks.palmPressureThreshold = threshold;
    };
}

// One device change and stream per case, and the frames they give.
struct Case {
    const char* what;
    std::function<void(DeviceInfo&)> device;
    Stream stream;
    const char* frames;
};
template <std::size_t N>
void expectFrames(const Case (&cases)[N]) {
    for (const auto& c : cases) {
        DeviceInfo d = touchpad();
        if (c.device) c.device(d);
        EXPECT_EQ(text(run(d, c.stream)), c.frames) << c.what;
    }
}

TEST(FrameAssembly, PalmsAndThumbsAreNotFingers) {
    // A light contact and a heavy or large one beside it.
    auto two = [](int code, int light, int heavy) {
        Stream s;
        s.down(0, 1, 300, 250).abs(code, light).down(1, 2, 600, 250).abs(code, heavy);
        return s.key(BTN_TOUCH, 1).report();
    };
    Stream heavier;  // no range: against the heaviest settled finger, never one still landing
    heavier.down(0, 1, 300, 250).pressure(40).down(1, 2, 400, 250).pressure(40).key(BTN_TOUCH, 1).report();
    heavier.at(0.06).report().at(0.07).down(2, 3, 500, 250).pressure(5).report();
    heavier.at(0.08).down(3, 4, 600, 250).pressure(110).report();
    Stream landing;  // one settled finger and a light one still landing: the settled one is no palm
    landing.down(0, 1, 300, 250).pressure(40).key(BTN_TOUCH, 1).report().at(0.1).down(1, 2, 500, 250).pressure(4);
    landing.report().at(0.12).pressure(6).report().at(0.14).pressure(9).report().at(0.2).pressure(30).report();
    Stream thumb;  // a thumb on the lower edge while two fingers scroll; one at the side moves first
    thumb.down(0, 1, 500, 480).down(1, 2, 300, 200).down(2, 3, 400, 200).key(BTN_TOUCH, 1).report();
    thumb.at(0.05).slot(1).abs(ABS_MT_POSITION_X, 350).slot(2).abs(ABS_MT_POSITION_X, 450).report();
    thumb.at(0.1).slot(1).abs(ABS_MT_POSITION_X, 400).slot(2).abs(ABS_MT_POSITION_X, 500).report();
    thumb.at(0.15).slot(0).abs(ABS_MT_POSITION_X, 600).down(3, 4, 30, 250).report();
    thumb.at(0.2).slot(3).abs(ABS_MT_POSITION_X, 70).report();
    Stream flicker;  // the third appearance in one place within moments is a palm's
    flicker.down(0, 1, 500, 250).down(1, 9, 200, 100).key(BTN_TOUCH, 1).report().at(0.05).up(0).report();
    flicker.at(0.1).down(0, 2, 510, 250).report().at(0.15).up(0).report().at(0.2).down(0, 3, 505, 255).report();
    Stream plain;  // nothing but positions: fingers land, move, one taps again where it left
    plain.down(0, 1, 300, 200).key(BTN_TOUCH, 1).report().at(0.02).down(1, 2, 400, 200).report();
    plain.at(0.04).down(2, 3, 500, 200).report().at(0.1).slot(0).abs(ABS_MT_POSITION_X, 400);
    plain.slot(1).abs(ABS_MT_POSITION_X, 500).slot(2).abs(ABS_MT_POSITION_X, 600).report();
    plain.at(0.15).up(2).report().at(0.25).down(2, 4, 600, 210).report();
    plain.at(0.3).up(0).up(1).up(2).key(BTN_TOUCH, 0).report();
    Stream sticky;  // pressed down once: a palm for the rest of its tracking id, and where it left
    sticky.down(0, 1, 500, 250).pressure(100).down(1, 2, 300, 250).pressure(100).key(BTN_TOUCH, 1).report();
    sticky.at(0.05).slot(0).pressure(200).report().at(0.1).pressure(60).report().at(0.15).up(0).report();
    sticky.at(0.2).down(0, 3, 510, 250).pressure(60).report().at(0.25).up(0).report();
    // Later, elsewhere: a finger, and the one that lay still all along now rests beside it.
    sticky.at(0.6).down(0, 4, 800, 250).pressure(60).report();
    Stream tools;  // two slots, three things down: the palm drops out of its slot and is back
    tools.down(0, 1, 200, 250).pressure(200).down(1, 2, 500, 250).pressure(60);
    tools.key(BTN_TOUCH, 1).key(BTN_TOOL_TRIPLETAP, 1).report().at(0.05).up(0).report();
    tools.at(0.1).down(0, 3, 210, 250).pressure(200).report();
    tools.at(0.15).up(0).key(BTN_TOOL_TRIPLETAP, 0).key(BTN_TOOL_DOUBLETAP, 1).report();  // lifted
    Stream packets;  // protocol A: no identities, judged packet by packet
    packets.pos(100, 100).pressure(50).mtReport().pos(900, 400).pressure(220).mtReport().key(BTN_TOUCH, 1).report();
    packets.at(1).pos(110, 100).pressure(50).mtReport().pos(900, 400).pressure(220).mtReport().report();

    const Case cases[] = {
        {"a large contact (22 mm at 4 units a millimetre)", axis(ABS_MT_TOUCH_MAJOR, 255, 4),
         two(ABS_MT_TOUCH_MAJOR, 40, 100), "0: 1@0.3,0.5 !2:size*"},
        {"the approaching tool's width is not the contact's", axis(ABS_MT_WIDTH_MAJOR, 15),
         two(ABS_MT_WIDTH_MAJOR, 5, 12), "0: 1@0.3,0.5 2@0.6,0.5"},
        {"a declared pressure range says nothing of fingers", axis(ABS_MT_PRESSURE, 255), two(ABS_MT_PRESSURE, 80, 200),
         "0: 1@0.3,0.5 2@0.6,0.5"},
        {"a heavy contact past the quirk's threshold", palmPressure(150), two(ABS_MT_PRESSURE, 80, 200),
         "0: 1@0.3,0.5 !2:pressure*"},
        {"a semi-MT pad believes only its own mark", axis(ABS_MT_PRESSURE, 255, 0, true),
         two(ABS_MT_PRESSURE, 250, 250), "0: 1@0.3,0.5 2@0.6,0.5"},
        {"a contact much heavier than the others", axis(ABS_MT_PRESSURE), heavier,
         "0: 1@0.3,0.5 2@0.4,0.5 / 0.06: 1@0.3,0.5 2@0.4,0.5 / 0.07: 1@0.3,0.5 2@0.4,0.5 3@0.5,0.5 / "
         "0.08: 1@0.3,0.5 2@0.4,0.5 3@0.5,0.5 !4:pressure*"},
        {"a finger beside one still landing", axis(ABS_MT_PRESSURE), landing,
         "0: 1@0.3,0.5 / 0.1: 1@0.3,0.5 2@0.5,0.5 / 0.12: 1@0.3,0.5 2@0.5,0.5 / 0.14: 1@0.3,0.5 2@0.5,0.5 / "
         "0.2: 1@0.3,0.5 2@0.5,0.5"},
        {"an edge contact that stays still while the others move", nullptr, thumb,
         "0: 2@0.3,0.6 3@0.4,0.6 !1:thumb:resting / 0.05: 2@0.35,0.6 3@0.45,0.6 !1:thumb:resting / "
         "0.1: 2@0.4,0.6 3@0.5,0.6 !1:thumb:edge* / 0.15: 2@0.4,0.6 3@0.5,0.6 !1:thumb:edge !4:resting / "
         "0.2: 2@0.4,0.6 3@0.5,0.6 4@0.07,0.5 !1:thumb:edge"},
        {"a flickering contact", nullptr, flicker,
         "0: 1@0.5,0.5 9@0.2,0.8 / 0.05: 9@0.2,0.8 / 0.1: 2@0.51,0.5 9@0.2,0.8 / 0.15: 9@0.2,0.8 / "
         "0.2: 9@0.2,0.8 !3:flicker*"},
        {"a device that reports nothing to judge by", nullptr, plain,
         "0: 1@0.3,0.6 / 0.02: 1@0.3,0.6 2@0.4,0.6 / 0.04: 1@0.3,0.6 2@0.4,0.6 3@0.5,0.6 / "
         "0.1: 1@0.4,0.6 2@0.5,0.6 3@0.6,0.6 / 0.15: 1@0.4,0.6 2@0.5,0.6 / 0.25: 1@0.4,0.6 2@0.5,0.6 4@0.6,0.58 / "
         "0.3:"},
        {"a palm stays one", palmPressure(150), sticky,
         "0: 1@0.5,0.5 2@0.3,0.5 / 0.05: 2@0.3,0.5 !1:pressure* / 0.1: 2@0.3,0.5 !1:pressure / 0.15: 2@0.3,0.5 / "
         "0.2: 2@0.3,0.5 !3:flicker* / 0.25: 2@0.3,0.5 / 0.6: 4@0.8,0.5 !2:resting"},
        {"the tool count never brings a palm back", palmPressure(150), tools,
         "0: 2@0.5,0.5 -1@0.5,0.5 !1:pressure* / 0.05: 2@0.5,0.5 -1@0.5,0.5 / 0.1: 2@0.5,0.5 -1@0.5,0.5 !3:flicker* / "
         "0.15: 2@0.5,0.5 -1@0.5,0.5"},
        {"protocol A", [](DeviceInfo& d) { palmPressure(150)(d), d.protocolA = true; }, packets,
         "0: -1@0.1,0.8 !-1:pressure* / 1: -1@0.11,0.8 !-1:pressure"},
    };
    expectFrames(cases);
}

// Touchpads unlike the shared ones: what each kind reads for a fingertip and for a palm.
TEST(FrameAssembly, EveryKindOfTouchpadKeepsItsFingersAndDropsPalms) {
    // Three fingers land together at x0, x0+110, x0+220 and swipe right 40 units a frame.
    auto swipe = [](int x0, int size, int tool) {
        Stream s;
        for (int i = 0; i < 3; ++i)
            s.down(i, i + 1, x0 + 110 * i, 250).abs(ABS_MT_TOUCH_MAJOR, size + 60 * i).abs(ABS_MT_WIDTH_MAJOR, tool);
        s.key(BTN_TOUCH, 1).report();
        for (int f = 1; f <= 3; ++f) {
            s.at(0.03 * f);
            for (int i = 0; i < 3; ++i) s.slot(i).abs(ABS_MT_POSITION_X, x0 + 110 * i + 40 * f);
            s.report();
        }
        return s;
    };
    // Beside two resting fingers, a contact four times their size lands.
    Stream palm;
    palm.down(0, 1, 300, 250).abs(ABS_MT_TOUCH_MAJOR, 300).down(1, 2, 420, 250).abs(ABS_MT_TOUCH_MAJOR, 320);
    palm.key(BTN_TOUCH, 1).report().at(0.1).down(2, 3, 700, 300).abs(ABS_MT_TOUCH_MAJOR, 1400).report();

    auto apple = [](DeviceInfo& d) {  // sizes on 0..2048 with no resolution; fingertips fill most of it
        d.absCodes.set(ABS_MT_TOUCH_MAJOR), d.absCodes.set(ABS_MT_WIDTH_MAJOR);
        d.abs[ABS_MT_TOUCH_MAJOR] = {true, 0, 2048, 0};
        d.abs[ABS_MT_WIDTH_MAJOR] = {true, 0, 2048, 0};
    };
    // Declares 83 x 42 mm; the quirks know it is 100 x 56.
    auto wrong = [](DeviceInfo& d) { d.abs[ABS_MT_POSITION_X].resolution = d.abs[ABS_MT_POSITION_Y].resolution = 12; };
    auto hinted = [=](DeviceInfo& d) { wrong(d), d.quirks.sizeHintMm = std::pair{100, 56}; };
    const char* kept =
        "0: 1@0.09,0.5 2@0.2,0.5 3@0.31,0.5 / 0.03: 1@0.13,0.5 2@0.24,0.5 3@0.35,0.5 / "
        "0.06: 1@0.17,0.5 2@0.28,0.5 3@0.39,0.5 / 0.09: 1@0.21,0.5 2@0.32,0.5 3@0.43,0.5";
    const Case cases[] = {
        {"glass: fingertips of 300 to 420 with the tool at 2,100", apple, swipe(90, 300, 2100), kept},
        {"glass: a palm four times a fingertip", apple, palm,
         "0: 1@0.3,0.5 2@0.42,0.5 / 0.1: 1@0.3,0.5 2@0.42,0.5 !3:size*"},
        {"a wrong resolution mended by a size hint: 9 mm from the edge", hinted, swipe(90, 0, 0), kept},
        {"the wrong resolution alone puts it at the edge until it moves", wrong, swipe(90, 0, 0),
         "0: 2@0.2,0.5 3@0.31,0.5 !1:resting / 0.03: 1@0.13,0.5 2@0.24,0.5 3@0.35,0.5 / "
         "0.06: 1@0.17,0.5 2@0.28,0.5 3@0.39,0.5 / 0.09: 1@0.21,0.5 2@0.32,0.5 3@0.43,0.5"},
    };
    expectFrames(cases);
    DeviceInfo mended = touchpad();
    hinted(mended);
    EXPECT_EQ(run(mended, swipe(90, 0, 0))[0].fingers[0].padWidthMm, 100.0f);  // the engine judges in millimetres
}

}  // namespace
}  // namespace trellick::input
