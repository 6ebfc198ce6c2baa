// libinput's quirks database as Trellick reads it: which sections match a device, which value
// wins, and what a faulty file costs (only its faulty section).

#include <gtest/gtest.h>

#include <linux/input.h>

#include "input/PalmRules.h"
#include "input/Quirks.h"

namespace trellick::input {
namespace {

DeviceIdentity usb(std::uint16_t vendor, std::uint16_t product, const char* name = "Some Touchpad") {
    DeviceIdentity d;
    d.name = name;
    d.bus = BUS_USB, d.vendor = vendor, d.product = product, d.idsKnown = true;
    return d;
}

TEST(Quirks, SectionsMatchOnEveryKeyAndLaterOnesWin) {
    QuirksDatabase db;
    db.addDirectory(TRELLICK_TEST_QUIRKS_DIR);
    EXPECT_TRUE(db.problems().empty());
    DeviceIdentity samus;
    samus.name = "Atmel maXTouch Touchpad";
    samus.dmiModalias = "dmi:bvncoreboot:pnSamus:pvr1.0:";
    DeviceIdentity otherMachine = samus;
    otherMachine.dmiModalias = "dmi:bvncoreboot:pnLink:";
    DeviceIdentity bluetooth = usb(0x05ac, 0x0265);
    bluetooth.bus = BUS_BLUETOOTH;
    DeviceIdentity unknownIds = usb(0x05ac, 0x0265);
    unknownIds.idsKnown = false;
    struct Case {
        const char* what;
        DeviceIdentity device;
        int sections;
        std::pair<int, int> size;  // {0, 0}: none
        bool apple;
        int palmSize, palmPressure;  // -1: none
    };
    const Case cases[] = {
        {"a USB glass touchpad", usb(0x05ac, 0x0273), 1, {104, 75}, true, 800, -1},
        {"one of a product list: the later section wins", usb(0x05ac, 0x0265), 2, {162, 115}, true, 800, 190},
        {"the other vendor", usb(0x06cb, 0x0265), 0, {0, 0}, false, -1, -1},
        {"the right bus is part of the match", bluetooth, 0, {0, 0}, false, -1, -1},
        {"ids a recording does not give match nothing", unknownIds, 0, {0, 0}, false, -1, -1},
        {"name and machine", samus, 1, {100, 56}, false, -1, -1},
        {"the same name on another machine", otherMachine, 0, {0, 0}, false, -1, -1},
    };
    for (const auto& c : cases) {
        DeviceQuirks q = db.lookup(c.device);
        EXPECT_EQ(int(q.matched.size()), c.sections) << c.what;
        EXPECT_EQ(q.sizeHintMm.value_or(std::pair{0, 0}), c.size) << c.what;
        EXPECT_EQ(q.appleTouchpad, c.apple) << c.what;
        EXPECT_EQ(q.palmSizeThreshold.value_or(-1), c.palmSize) << c.what;
        EXPECT_EQ(q.palmPressureThreshold.value_or(-1), c.palmPressure) << c.what;
    }
}

TEST(Quirks, AFaultySectionIsLeftOutAndReportedWhereItIs) {
    QuirksDatabase db;
    db.addText(
        "[Good]\nMatchBus=usb\nAttrPalmSizeThreshold=700\n"
        "[Unknown bus]\nMatchBus=floppy\nAttrPalmSizeThreshold=1\n"
        "[Bad size]\nMatchBus=usb\nAttrSizeHint=10y20\n"
        "[No match]\nAttrPalmSizeThreshold=2\n"
        "[Not ours, kept]\nMatchBus=usb\nAttrKeyboardIntegration=internal\nModelBouncingKeys=1\n",
        "t.quirks");
    EXPECT_EQ(db.sectionCount(), 2u);
    ASSERT_EQ(db.problems().size(), 3u);
    EXPECT_EQ(db.problems()[0], "t.quirks:5: MatchBus: cannot match on \"floppy\"");
    EXPECT_EQ(db.problems()[1], "t.quirks:9: AttrSizeHint: \"10y20\" is not a valid value");
    EXPECT_EQ(db.lookup(usb(1, 2)).palmSizeThreshold, 700);
}

// That a size hint wins is FrameAssembly.EveryKindOfTouchpadKeepsItsFingersAndDropsPalms's.
TEST(Quirks, AResolutionThatMakesNoPadIsNotBelieved) {
    DeviceInfo d;
    d.abs[ABS_MT_POSITION_X] = {true, 0, 960, 20};  // 48 mm: too small for a touchpad
    d.abs[ABS_MT_POSITION_Y] = {true, 0, 540, 20};
    EXPECT_FALSE(physicalSize(d));
    d.abs[ABS_MT_POSITION_X].resolution = d.abs[ABS_MT_POSITION_Y].resolution = 10;
    EXPECT_EQ(physicalSize(d)->widthMm, 96);  // believable as declared
}

}  // namespace
}  // namespace trellick::input
