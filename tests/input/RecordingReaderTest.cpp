// The three recording formats, format detection, where axis ranges come from, and what a
// file that does not parse reports.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
#include <optional>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "input/Recording.h"

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
    "E: 1353330434.388629 0001 0145 1\n"
    "E: 1353330434.388630 0000 0000 0000\t# ------------ SYN_REPORT (0) ----------\n"
    "\n"
    "E: 1353330435.000000 0000 0000 0\r\n";

// Events as "T TYPE CODE VALUE; ...", times to six digits.
std::string text(const std::vector<InputEvent>& events) {
    std::string out;
    char buf[64];
    for (const auto& e : events) {
        std::snprintf(buf, sizeof buf, "%s%g %d %d %d", out.empty() ? "" : "; ", e.time, e.type, e.code, e.value);
        out += buf;
    }
    return out;
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

const char* kLibinput = R"(version: 1
devices:
- evdev:
    name: "AT Translated Set 2 keyboard"
    codes:
      1: [1, 2, 3]
  events:
  - evdev:
    - [  0,      0,   1,   2,     1]
    - [  0,      0,   0,   0,     0]
- evdev:
    name: Synaptics TM2668-002
    codes:
      1: [272, 325, 330, 333, 334]
      3: [0, 1, 47, 53, 54, 57]
    absinfo:
      53: [0, 4089, 0, 0, 42]
      54: [0, 2811, 0, 0, 41]
    properties: [0, 2, 4]
  events:
  - evdev:
    - [  2, 500000,   3,  57,  1420] # EV_ABS / ABS_MT_TRACKING_ID   1420
    - [  2, 500000,   3,  53,  1218]
    - [  2, 500000,   1, 325,     1]
    - [  2, 500000,   0,   0,     0] # ------------ SYN_REPORT (0) ------- +0ms
  - libinput:
      time: 2.5
      type: POINTER_MOTION
  - evdev:
    - [  2, 511879,   3,  53,  1330]
    - [  2, 511879,   0,   0,     0]
)";

// evtest run without a device shows its menu first.
const std::string kEvtestMenu = std::string("No device specified, trying to scan all of /dev/input/event*\n") +
                                "Available devices:\n/dev/input/event5:\tSynPS/2 Synaptics TouchPad\n"
                                "Select the device event number [0-5]: 5\n" +
                                kEvtest;

TEST(RecordingReaders, ReadWhatAssemblyNeedsOfTheDeviceAndEveryEvent) {
    struct Case {
        std::string text;
        RecordingFormat format;
        const char* name;
        int xMin, xMax;
        bool protocolA;
        const char* events;  // "T TYPE CODE VALUE; ..."
    };
    // evemu: B: lines of one type continuing each other (BTN_TOUCH), zero-padded values, relative
    // times, comments, CRLF. evtest: scan codes printed in hexadecimal, SYN_MT_REPORT, SYN_DROPPED
    // and both spellings of SYN_REPORT. libinput: the touchpad among the devices, entries other
    // than evdev skipped.
    const char* evtestEvents = "0 3 57 31; 0 4 4 589854; 0 0 2 0; 0 0 0 0; 0.01 0 3 0; 0.02 0 0 0";
    for (const auto& c :
         {Case{kEvemu, RecordingFormat::evemu, "Test Pad", 100, 1100, false,
               "0 3 57 257; 4e-06 3 53 600; 5e-06 3 54 -1; 1.1e-05 1 325 1; 1.2e-05 0 0 0; 0.611382 0 0 0"},
          Case{kEvtest, RecordingFormat::evtest, "SynPS/2 Synaptics TouchPad", 1472, 5472, true, evtestEvents},
          Case{kEvtestMenu, RecordingFormat::evtest, "SynPS/2 Synaptics TouchPad", 1472, 5472, true, evtestEvents},
          Case{kLibinput, RecordingFormat::libinputRecord, "Synaptics TM2668-002", 0, 4089, false,
               "0 3 57 1420; 0 3 53 1218; 0 1 325 1; 0 0 0 0; 0.011879 3 53 1330; 0.011879 0 0 0"}}) {
        SCOPED_TRACE(c.text.substr(0, 40));
        auto rec = readRecording(c.text, "f");
        EXPECT_EQ(rec.format, c.format);
        EXPECT_EQ(rec.device.name, c.name);
        ASSERT_TRUE(rec.device.xAxis() && rec.device.yAxis());
        EXPECT_EQ(rec.device.xAxis()->minimum, c.xMin);
        EXPECT_EQ(rec.device.xAxis()->maximum, c.xMax);
        EXPECT_TRUE(rec.device.hasKey(BTN_TOUCH));  // declared only: the events do not use it
        EXPECT_EQ(rec.device.protocolA, c.protocolA);
        EXPECT_EQ(text(rec.events), c.events);
    }
}

TEST(RecordingReaders, ReportTheFileLineAndWhatIsWrong) {
    using Reader = Recording (*)(std::string_view, const std::string&);
    struct Case {
        Reader read;
        const char* text;
        const char* error;
    };
    const Case cases[] = {
        {readEvemu, "E: 1.0 0003 0035 10\nE: 1.0 0003 0035\n", "f:2: E: needs a time, a type, a code and a value"},
        {readEvemu, "\n\nE: 1.000000 0003 zz 1\n", "f:3: E: 'zz' is not a hexadecimal event code"},
        {readEvemu, "E: 1.5 0003 0035 7\nE: 1.4 0000 0000 0\n", "f:2: time goes backwards"},
        {readEvemu, "E: 1.0 0003 0035 99999999999\n", "f:1: event value 99999999999 does not fit in 32 bits"},
        // Beyond what nanoseconds can count: refused, not wrapped around.
        {readEvemu, "E: 9999999999.000000 0003 0035 1\n",
         "f:1: E: '9999999999.000000' is not a time (SECONDS.MICROSECONDS)"},
        {readEvemu, "A: 35 0\n", "f:1: A: needs an axis code and min max fuzz flat [resolution]"},
        {readEvemu, "hello\n", "f:1: not an evemu line (expected E:, N:, I:, P:, B: or A:)"},
        {readEvtest, "Event: time 1.0, type 3 (EV_ABS), code 53 (ABS_MT_POSITION_X), value 10\nsomething else\n",
         "f:2: expected an 'Event:' line"},
        {readEvtest, "Event: time 1.0, ~~~ nothing ~~~\n", "f:1: unrecognised event line"},
        {readEvtest, "Event: time soon, -------------- SYN_REPORT ------------\n",
         "f:1: 'soon' is not a time (SECONDS.MICROSECONDS)"},
        {readLibinputRecord, "version: 1\ndevices:\n- events:\n  - evdev:\n    - [0, 0, 3, 53]\n",
         "f:5: an event must be [sec, usec, type, code, value]"},
        {readLibinputRecord, "devices:\n- events:\n  - evdev:\n    - [0, 0, 3, 53, 1]\n    - [0, 7, 3, banana, 1]\n",
         "f:5: the event code 'banana' is not a number in range"},
        {readLibinputRecord, "version: 1\n", "f:1: no 'devices' list"},
        // An alias could make a small file stand for a huge recording.
        {readLibinputRecord, "x: &a {evdev: [[0, 0, 0, 0, 0]]}\ndevices:\n- events: [*a, *a, *a]\n",
         "f:3: aliases have no place in a 'libinput record' file"},
        {readRecording, "\n# nothing\n\nhello world\n",
         "f:4: not a recording (expected evemu, evtest or 'libinput record' output)"},
        {readRecording, "  \n", "f: the recording is empty"},
    };
    for (const auto& c : cases) EXPECT_EQ(errorOf([&] { c.read(c.text, "f"); }), c.error) << c.text;
    EXPECT_THAT(errorOf([] { readLibinputRecord("devices: [\n", "f"); }), ::testing::MatchesRegex("f:[0-9]+: .+"));
}

// The sanitizers' own memory would hide a reader's.
constexpr bool sanitized = TRELLICK_SANITIZED;

std::size_t peakMemory() {
    struct rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return std::size_t(usage.ru_maxrss) * 1024;
}

// Read as a document tree, a recording took some 40 times its size in memory; read as a
// stream, it takes its events and the parser's bookkeeping (some 50 bytes a line).
TEST(RecordingReaders, ALibinputRecordingCostsLittleMoreMemoryThanItsText) {
    if (!sanitized) {
        std::string text = kLibinput;
        const std::string frame =
            "  - evdev:\n"
            "    - [  3,      0,   3,  53,  1330] # EV_ABS / ABS_MT_POSITION_X        1330 (+112)\n"
            "    - [  3,      0,   0,   0,     0] # ------------ SYN_REPORT (0) ---------- +9ms\n";
        text.reserve(text.size() + (std::size_t(8) << 20) + frame.size());
        while (text.size() < std::size_t(8) << 20) text += frame;
        std::size_t before = peakMemory();
        auto rec = readLibinputRecord(text, "f");
        EXPECT_GT(rec.events.size(), text.size() / 100);
        EXPECT_LT(peakMemory() - before, 2 * text.size()) << "peak memory before: " << before;
    }
    // In flow style the parser would hold back the whole list, at some 100 bytes a character.
    std::string flow = "devices:\n- events: [{evdev: [";
    while (flow.size() < std::size_t(1) << 20) flow += "[0, 0, 0, 0, 0], ";
    EXPECT_EQ(errorOf([&] { readLibinputRecord(flow, "f"); }),
              "f:2: a value after this runs on for more than 256 KiB: no 'libinput record' file holds one so long");
}

struct Scratch {
    std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("trellick-load-" + std::to_string(::getpid()));
    Scratch() { std::filesystem::create_directories(dir); }
    ~Scratch() { std::filesystem::remove_all(dir); }
    std::string at(const std::string& name) const { return (dir / name).string(); }
    std::string write(const std::string& name, const std::string& text) const {
        std::ofstream(at(name)) << text;
        return at(name);
    }
};

TEST(LoadRecording, TakesMissingRangesFromBesideItElseFromTheGivenDescriptionAndSaysWhatIsWrong) {
    Scratch tmp;
    auto path = tmp.write("bare.evemu",
                          "E: 10.000000 0003 0039 1\nE: 10.000000 0003 0035 500\nE: 10.000000 0003 0036 100\n"
                          "E: 10.000000 0001 014a 1\nE: 10.000000 0000 0000 0\n");
    auto error = [&](const std::string& file, std::optional<std::string> desc = {}) {
        return errorOf([&] { loadRecording(file, desc); });
    };
    const std::string noRanges =
        path + ": no axis ranges for the touch position (ABS_MT_POSITION_X/Y): not in the recording";
    EXPECT_EQ(error(path), noRanges + ", no " + tmp.at("bare.desc") + " beside it, and no --device-desc FILE given");
    auto other = tmp.write("other.desc", "A: 35 0 2000 0 0\nA: 36 0 400 0 0\n");
    EXPECT_FLOAT_EQ(assembleFrames(loadRecording(path, other))[0].fingers[0].x, 0.25f);
    EXPECT_EQ(error(path, tmp.at("missing.desc")),
              tmp.at("missing.desc") + ": cannot read the device description: No such file or directory");
    auto bad = tmp.write("bad.desc", "A: 35 0 100 0 0\nE: 1.0 0000 0000 0\n");
    EXPECT_EQ(error(path, bad), bad + ":2: a device description has no events (E: lines)");
    tmp.write("bare.desc", "N: no ranges here\n");
    auto empty = tmp.write("empty.desc", "# nothing\n");
    EXPECT_EQ(error(path, empty), noRanges + ", not in " + tmp.at("bare.desc") + ", not in " + empty);
    tmp.write("bare.desc", "# measured\nA: 35 0 1000 0 0\nA: 36 0 200 0 0\n");
    auto frames = assembleFrames(loadRecording(path, other));  // the one beside it wins
    EXPECT_FLOAT_EQ(frames[0].fingers[0].x, 0.5f);
    EXPECT_FLOAT_EQ(frames[0].fingers[0].y, 0.5f);
    // Axes neither declares come from the other: what palm detection judges pressure by.
    tmp.write("other.desc", "A: 35 0 2000 0 0\nA: 36 0 400 0 0\nA: 3a 0 255 0 0 0\nA: 30 0 100 0 0 4\n");
    auto device = loadRecording(path, other).device;
    EXPECT_EQ(device.abs[ABS_MT_POSITION_X].maximum, 1000);
    EXPECT_EQ(device.abs[ABS_MT_PRESSURE].maximum, 255);
    EXPECT_EQ(device.abs[ABS_MT_TOUCH_MAJOR].resolution, 4);

    EXPECT_EQ(error(tmp.at("none.evemu")),
              tmp.at("none.evemu") + ": cannot read the recording: No such file or directory");
    auto headerOnly = tmp.write("header.evemu", "N: pad\nA: 35 0 100 0 0\nA: 36 0 100 0 0\n");
    EXPECT_EQ(error(headerOnly), headerOnly + ": the recording holds no events");
    auto flat = tmp.write("flat.evemu", "A: 35 5 5 0 0\nA: 36 0 100 0 0\nE: 1.0 0000 0000 0\n");
    EXPECT_EQ(error(flat), flat + ": the x axis range is empty");
}

// A FIFO waits for a writer when opened: where a recording, or a description next to it, is
// one, loading says so or passes it by instead of hanging.
TEST(LoadRecording, NeverOpensAFifoWhereAFileShouldBe) {
    Scratch tmp;
    tmp.write("pad.evemu", "E: 1.0 0003 0039 1\nE: 1.0 0003 0035 50\nE: 1.0 0003 0036 50\nE: 1.0 0000 0000 0\n");
    tmp.write("given.desc", "A: 35 0 100 0 0\nA: 36 0 100 0 0\n");
    ::mkfifo(tmp.at("pad.desc").c_str(), 0600);
    ::mkfifo(tmp.at("fifo.evemu").c_str(), 0600);
    struct Case {
        std::string recording, desc, error;
    };
    for (const auto& c :
         {Case{tmp.at("pad.evemu"), tmp.at("given.desc"), "(no error)"},
          Case{tmp.at("fifo.evemu"), tmp.at("given.desc"),
               tmp.at("fifo.evemu") + ": cannot read the recording: it is not a regular file"},
          Case{tmp.at("pad.evemu"), tmp.at("pad.desc"),
               tmp.at("pad.desc") + ": cannot read the device description: it is not a regular file"}}) {
        auto loading =
            std::async(std::launch::async, [&] { return errorOf([&] { loadRecording(c.recording, c.desc); }); });
        if (loading.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
            ADD_FAILURE() << c.recording << " with " << c.desc << ": loading hangs";
            for (const auto& fifo : {tmp.at("pad.desc"), tmp.at("fifo.evemu")})
                ::close(::open(fifo.c_str(), O_WRONLY | O_NONBLOCK));
        }
        EXPECT_EQ(loading.get(), c.error);
    }
}

TEST(LoadRecording, RefusesAFileBeyondTheCapBeforeReadingIt) {
    // Sparse: no disk space, and a reader that read it would meet NUL bytes, not the cap.
    Scratch tmp;
    auto path = tmp.write("big.yml", "");
    std::filesystem::resize_file(path, maxTextFileSize + 1);
    EXPECT_EQ(errorOf([&] { loadRecording(path); }),
              path + ": too large (65 MiB; a text file may hold at most 64 MiB)");
}

}  // namespace
}  // namespace trellick::input
