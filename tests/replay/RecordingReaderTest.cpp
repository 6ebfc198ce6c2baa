// The three recording formats, format detection, where axis ranges come from, and what a
// file that does not parse reports.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "replay/Recording.h"

namespace trellick::input {
namespace {

std::string errorOf(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const RecordingError& e) {
        return e.what();
    }
    return "(no error)";
}

const char* kEvemu =
    "# EVEMU 1.2\n"
    "# Input device name: \"Test Pad\"\n"
    "N: Test Pad\n"
    "I: 0011 0002 0007 01b1\n"
    "P: 05 00 00 00 00 00 00 00\n"
    "B: 01 00 00 00 00 00 00 00 00\n"
    "B: 01 00 00 00 00 00 00 00 00\n"
    "B: 01 00 00 00 00 00 00 00 00\n"
    "B: 01 00 00 00 00 00 00 00 00\n"
    "B: 01 00 00 07 00 00 00 00 00\n"
    "B: 01 20 64 00 00 00 00 00 00\n"
    "B: 03 03 00 00 00 00 80 60 02\n"
    "A: 35 100 1100 0 0 12\n"
    "A: 36 0 500 0 0\n"
    "E: 1353330434.388618 0003 0039 0257\t# EV_ABS / ABS_MT_TRACKING_ID 257\n"
    "E: 1353330434.388622 0003 0035 0600\n"
    "E: 1353330434.388623 0003 0036 -001\n"
    "E: 1353330434.388629 0001 014a 1\n"
    "E: 1353330434.388630 0000 0000 0000\t# ------------ SYN_REPORT (0) ----------\n"
    "\n"
    "E: 1353330435.000000 0000 0000 0\r\n";

TEST(EvemuReader, ReadsTheHeaderAndZeroPaddedEventsWithRelativeTimes) {
    auto rec = readEvemu(kEvemu, "pad.evemu");
    EXPECT_EQ(rec.device.name, "Test Pad");
    EXPECT_TRUE(rec.device.props.test(INPUT_PROP_BUTTONPAD));
    EXPECT_TRUE(rec.device.hasKey(BTN_LEFT));   // bitmask lines of one type continue each other
    EXPECT_TRUE(rec.device.hasKey(BTN_TOUCH));
    EXPECT_TRUE(rec.device.hasKey(BTN_TOOL_TRIPLETAP));
    EXPECT_FALSE(rec.device.hasKey(BTN_TOOL_QUADTAP));
    EXPECT_TRUE(rec.device.hasAbs(ABS_MT_SLOT));
    ASSERT_TRUE(rec.device.xAxis());
    EXPECT_EQ(rec.device.xAxis()->minimum, 100);
    EXPECT_EQ(rec.device.xAxis()->maximum, 1100);
    EXPECT_EQ(rec.device.xAxis()->resolution, 12);
    EXPECT_FALSE(rec.device.protocolA);

    ASSERT_EQ(rec.events.size(), 6u);
    EXPECT_EQ(rec.events[0].value, 257);
    EXPECT_EQ(rec.events[2].value, -1);
    EXPECT_DOUBLE_EQ(rec.events[0].time, 0.0);
    EXPECT_NEAR(rec.events[4].time, 0.000012, 1e-9);
    EXPECT_NEAR(rec.events[5].time, 0.611382, 1e-9);
}

TEST(EvemuReader, ReportsTheLineAndWhatIsWrong) {
    auto err = [](const std::string& text) { return errorOf([&] { readEvemu(text, "x.evemu"); }); };
    EXPECT_EQ(err("E: 1.0 0003 0035 10\nE: 1.0 0003 0035\n"), "x.evemu:2: E: needs a time, a type, a code and a value");
    EXPECT_EQ(err("\n\nE: 1.000000 0003 zz 1\n"), "x.evemu:3: E: 'zz' is not a hexadecimal event code");
    EXPECT_EQ(err("E: 1.5 0003 0035 7\nE: 1.4 0000 0000 0\n"), "x.evemu:2: time goes backwards");
    EXPECT_EQ(err("E: 1.0 0003 0035 99999999999\n"), "x.evemu:1: event value 99999999999 does not fit in 32 bits");
    EXPECT_EQ(err("E: x1.0 0003 0035 1\n"), "x.evemu:1: E: 'x1.0' is not a time (SECONDS.MICROSECONDS)");
    // Beyond what nanoseconds can count: refused, not wrapped around.
    EXPECT_EQ(err("E: 9999999999.000000 0003 0035 1\n"),
              "x.evemu:1: E: '9999999999.000000' is not a time (SECONDS.MICROSECONDS)");
    EXPECT_EQ(err("A: 35 0\n"), "x.evemu:1: A: needs an axis code and min max fuzz flat [resolution]");
    EXPECT_EQ(err("hello\n"), "x.evemu:1: not an evemu line (expected E:, N:, I:, P:, B: or A:)");
}

const char* kEvtest =
    "Input driver version is 1.0.1\n"
    "Input device ID: bus 0x11 vendor 0x2 product 0x7 version 0x1b1\n"
    "Input device name: \"SynPS/2 Synaptics TouchPad\"\n"
    "Supported events:\n"
    "  Event type 1 (EV_KEY)\n"
    "    Event code 330 (BTN_TOUCH)\n"
    "  Event type 3 (EV_ABS)\n"
    "    Event code 53 (ABS_MT_POSITION_X)\n"
    "      Value      0\n"
    "      Min     1472\n"
    "      Max     5472\n"
    "      Resolution 55\n"
    "    Event code 54 (ABS_MT_POSITION_Y)\n"
    "      Value      0\n"
    "      Min     1408\n"
    "      Max     4448\n"
    "Properties:\n"
    "  Property type 0 (INPUT_PROP_POINTER)\n"
    "Testing ... (interrupt to exit)\n"
    "Event: time 3043.333238, type 3 (EV_ABS), code 57 (ABS_MT_TRACKING_ID), value 31\n"
    "Event: time 3043.333238, type 4 (EV_MSC), code 4 (MSC_SCAN), value 9001e\n"
    "Event: time 3043.333238, ++++++++++++++ SYN_MT_REPORT ++++++++++++\n"
    "Event: time 3043.333238, -------------- SYN_REPORT ------------\n"
    "Event: time 3043.343238, >>>>>>>>>>>>>> SYN_DROPPED <<<<<<<<<<<<\n"
    "Event: time 3043.353238, -------------- Report Sync ------------\n";

TEST(EvtestReader, ReadsTheDeviceHeaderAndEveryKindOfEventLine) {
    auto rec = readEvtest(kEvtest, "pad.evtest");
    EXPECT_EQ(rec.device.name, "SynPS/2 Synaptics TouchPad");
    EXPECT_TRUE(rec.device.hasKey(BTN_TOUCH));
    ASSERT_TRUE(rec.device.yAxis());
    EXPECT_EQ(rec.device.yAxis()->minimum, 1408);
    EXPECT_EQ(rec.device.yAxis()->maximum, 4448);
    EXPECT_EQ(rec.device.xAxis()->resolution, 55);
    EXPECT_TRUE(rec.device.props.test(INPUT_PROP_POINTER));
    EXPECT_TRUE(rec.device.protocolA);

    ASSERT_EQ(rec.events.size(), 6u);
    EXPECT_EQ(rec.events[0].value, 31);
    EXPECT_EQ(rec.events[1].value, 0x9001e);  // scan codes are printed in hexadecimal
    EXPECT_EQ(rec.events[2].code, SYN_MT_REPORT);
    EXPECT_EQ(rec.events[3].code, SYN_REPORT);
    EXPECT_EQ(rec.events[4].code, SYN_DROPPED);
    EXPECT_EQ(rec.events[5].code, SYN_REPORT);
    EXPECT_NEAR(rec.events[5].time, 0.02, 1e-9);
}

TEST(EvtestReader, ReportsTheLineAndWhatIsWrong) {
    auto err = [](const std::string& text) { return errorOf([&] { readEvtest(text, "y.evtest"); }); };
    EXPECT_EQ(err("Event: time 1.0, type 3 (EV_ABS), code 53 (ABS_MT_POSITION_X), value 10\nsomething else\n"),
              "y.evtest:2: expected an 'Event:' line");
    EXPECT_EQ(err("Event: time 1.0, ~~~ nothing ~~~\n"), "y.evtest:1: unrecognised event line");
    EXPECT_EQ(err("Event: time soon, -------------- SYN_REPORT ------------\n"),
              "y.evtest:1: 'soon' is not a time (SECONDS.MICROSECONDS)");
}

const char* kLibinput = R"(version: 1
ndevices: 2
devices:
- node: /dev/input/event3
  evdev:
    name: "AT Translated Set 2 keyboard"
    codes:
      0: [0, 1, 4]
      1: [1, 2, 3]
  events:
  - evdev:
    - [  0,      0,   1,   2,     1]
    - [  0,      0,   0,   0,     0]
- node: /dev/input/event9
  evdev:
    name: Synaptics TM2668-002
    codes:
      0: [0, 1, 2, 3]
      1: [272, 325, 330, 333, 334]
      3: [0, 1, 47, 53, 54, 57]
    absinfo:
      0: [0, 4089, 0, 0, 42]
      1: [0, 2811, 0, 0, 41]
      53: [0, 4089, 0, 0, 42]
      54: [0, 2811, 0, 0, 41]
    properties: [0, 2, 4]
  events:
  - evdev:
    - [  2, 500000,   3,  57,  1420] # EV_ABS / ABS_MT_TRACKING_ID   1420
    - [  2, 500000,   3,  53,  1218]
    - [  2, 500000,   1, 330,     1]
    - [  2, 500000,   0,   0,     0] # ------------ SYN_REPORT (0) ------- +0ms
  - libinput:
      time: 2.5
      type: POINTER_MOTION
  - evdev:
    - [  2, 511879,   3,  53,  1330]
    - [  2, 511879,   0,   0,     0]
)";

TEST(LibinputRecordReader, ReadsTheTouchpadOfTheRecording) {
    auto rec = readLibinputRecord(kLibinput, "rec.yml");
    EXPECT_EQ(rec.device.name, "Synaptics TM2668-002");
    EXPECT_TRUE(rec.device.hasKey(BTN_TOOL_TRIPLETAP));
    EXPECT_TRUE(rec.device.hasAbs(ABS_MT_SLOT));
    ASSERT_TRUE(rec.device.xAxis());
    EXPECT_EQ(rec.device.xAxis()->maximum, 4089);
    EXPECT_EQ(rec.device.yAxis()->resolution, 41);
    EXPECT_TRUE(rec.device.props.test(INPUT_PROP_BUTTONPAD));
    ASSERT_EQ(rec.events.size(), 6u);
    EXPECT_EQ(rec.events[0].value, 1420);
    EXPECT_EQ(rec.events[2].code, BTN_TOUCH);
    EXPECT_DOUBLE_EQ(rec.events[0].time, 0.0);
    EXPECT_NEAR(rec.events[5].time, 0.011879, 1e-9);
}

TEST(LibinputRecordReader, ReportsTheLineAndWhatIsWrong) {
    auto err = [](const std::string& text) { return errorOf([&] { readLibinputRecord(text, "r.yml"); }); };
    EXPECT_EQ(err("version: 1\ndevices:\n- events:\n  - evdev:\n    - [0, 0, 3, 53]\n"),
              "r.yml:5: an event must be [sec, usec, type, code, value]");
    EXPECT_EQ(err("version: 1\ndevices:\n- events:\n  - evdev:\n    - [0, 0, 3, 53, 1]\n    - [0, 7, 3, banana, 1]\n"),
              "r.yml:6: the event code 'banana' is not a number in range");
    EXPECT_EQ(err("version: 1\n"), "r.yml:1: no 'devices' list");
    EXPECT_THAT(err("version: 1\ndevices: [\n"), ::testing::MatchesRegex("r\\.yml:[0-9]+: .+"));
    // An alias could make a small file stand for a huge recording.
    EXPECT_EQ(err("x: &a {evdev: [[0, 0, 0, 0, 0]]}\ndevices:\n- events: [*a, *a, *a]\n"),
              "r.yml:3: aliases have no place in a 'libinput record' file");
}

TEST(RecordingFormats, AreRecognisedFromTheirContent) {
    EXPECT_EQ(readRecording(kEvemu, "a").format, RecordingFormat::evemu);
    EXPECT_EQ(readRecording(kLibinput, "a").format, RecordingFormat::libinputRecord);
    EXPECT_EQ(readRecording(kEvtest, "a").format, RecordingFormat::evtest);
    // evtest started without a device shows its menu first.
    std::string menu = std::string("No device specified, trying to scan all of /dev/input/event*\n") +
                       "Available devices:\n/dev/input/event5:\tSynPS/2 Synaptics TouchPad\n"
                       "Select the device event number [0-5]: 5\n" + kEvtest;
    EXPECT_EQ(readRecording(menu, "a").format, RecordingFormat::evtest);
    EXPECT_EQ(errorOf([] { readRecording("\n# nothing\n\nhello world\n", "b.txt"); }),
              "b.txt:4: not a recording (expected evemu, evtest or 'libinput record' output)");
    EXPECT_EQ(errorOf([] { readRecording("  \n", "c.txt"); }), "c.txt: the recording is empty");
}

class LoadRecording : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               (std::string("trellick-replay-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string write(const std::string& name, const std::string& text) {
        auto p = (dir_ / name).string();
        std::ofstream(p) << text;
        return p;
    }
    std::filesystem::path dir_;
};

const char* kBare = "E: 10.000000 0003 0039 1\nE: 10.000000 0003 0035 500\nE: 10.000000 0003 0036 100\n"
                    "E: 10.000000 0001 014a 1\nE: 10.000000 0000 0000 0\n";

TEST_F(LoadRecording, TakesMissingRangesFromBesideItElseFromTheGivenDescription) {
    auto path = write("bare.evemu", kBare);
    auto other = write("other.desc", "A: 35 0 2000 0 0\nA: 36 0 400 0 0\n");
    EXPECT_FLOAT_EQ(assembleFrames(loadRecording(path, other))[0].fingers[0].x, 0.25f);
    write("bare.desc", "# measured\nA: 35 0 1000 0 0\nA: 36 0 200 0 0\n");
    auto frames = assembleFrames(loadRecording(path, other));  // the one beside it wins
    EXPECT_FLOAT_EQ(frames[0].fingers[0].x, 0.5f);
    EXPECT_FLOAT_EQ(frames[0].fingers[0].y, 0.5f);
}

TEST_F(LoadRecording, SaysWhatIsMissingOrUnreadable) {
    auto path = write("bare.evemu", kBare);
    auto beside = (dir_ / "bare.desc").string();
    const std::string noRanges = path + ": no axis ranges for the touch position (ABS_MT_POSITION_X/Y): ";
    EXPECT_EQ(errorOf([&] { loadRecording(path); }),
              noRanges + "not in the recording, no " + beside + " beside it, and no --device-desc FILE given");
    write("bare.desc", "N: no ranges here\n");
    auto empty = write("empty.desc", "# nothing\n");
    EXPECT_EQ(errorOf([&] { loadRecording(path, empty); }),
              noRanges + "not in the recording, not in " + beside + ", not in " + empty);
    auto missing = (dir_ / "missing.desc").string();
    EXPECT_EQ(errorOf([&] { loadRecording(path, missing); }),
              missing + ": cannot read the device description: No such file or directory");
    auto bad = write("bad.desc", "A: 35 0 100 0 0\nE: 1.0 0000 0000 0\n");
    EXPECT_EQ(errorOf([&] { loadRecording(path, bad); }), bad + ":2: a device description has no events (E: lines)");

    auto none = (dir_ / "none.evemu").string();
    EXPECT_EQ(errorOf([&] { loadRecording(none); }), none + ": cannot read the recording: No such file or directory");
    auto headerOnly = write("header.evemu", "N: pad\nA: 35 0 100 0 0\nA: 36 0 100 0 0\n");
    EXPECT_EQ(errorOf([&] { loadRecording(headerOnly); }), headerOnly + ": the recording holds no events");
    auto flat = write("flat.evemu", std::string("A: 35 5 5 0 0\nA: 36 0 100 0 0\n") + kBare);
    EXPECT_EQ(errorOf([&] { loadRecording(flat); }), flat + ": the x axis range is empty");
}

}  // namespace
}  // namespace trellick::input
