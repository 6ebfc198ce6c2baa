#include "input/Recording.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "common/Result.h"
#include "input/FrameAssembler.h"
#include "input/ReaderSupport.h"

namespace trellick::input {
namespace {

using namespace detail;

bool isEvemuLine(std::string_view line) {
    return line.size() >= 2 && line[1] == ':' && std::string_view("ENIPBALS").find(line[0]) != std::string_view::npos;
}

bool isEvtestLine(std::string_view line) {
    return startsWith(line, "Event: time") || startsWith(line, "Input driver version") ||
           startsWith(line, "Input device ID:") || startsWith(line, "Input device name:");
}

bool isYamlStart(std::string_view line) {
    for (auto key : {"---", "version:", "ndevices:", "devices:", "libinput:", "system:"}) {
        if (startsWith(line, key)) return true;
    }
    return false;
}

}  // namespace

std::string readTextFile(const std::string& path, const std::string& what) {
    auto text = readText(path, maxTextFileSize);
    if (!text && text.error().code == EFBIG) fail(path, 0, "too large (" + text.error().reason + ")");
    if (!text) fail(path, 0, "cannot read " + what + ": " + text.error().reason);
    return std::move(text).value();
}

Recording readRecording(std::string_view text, const std::string& file) {
    Lines lines(text);
    std::string_view raw;
    bool first = true;
    int firstLine = 0;
    while (lines.next(raw)) {
        auto line = trim(raw);
        if (line.empty() || line[0] == '#') continue;
        if (first) {
            firstLine = lines.number();
            if (isEvemuLine(line)) return readEvemu(text, file);
            if (isYamlStart(line)) return readLibinputRecord(text, file);
            first = false;
        }
        // evtest may be preceded by its device menu.
        if (isEvtestLine(line)) return readEvtest(text, file);
        if (lines.number() > 200) break;
    }
    if (first) fail(file, 0, "the recording is empty");
    fail(file, firstLine, "not a recording (expected evemu, evtest or 'libinput record' output)");
}

Recording loadRecording(const std::string& path, const std::optional<std::string>& deviceDescFile,
                        const QuirksDatabase* quirks) {
    return recordingFromText(readTextFile(path, "the recording"), path, deviceDescFile, quirks);
}

Recording recordingFromText(std::string_view text, const std::string& path,
                            const std::optional<std::string>& deviceDescFile, const QuirksDatabase* quirks) {
    Recording rec = readRecording(text, path);
    if (rec.events.empty()) fail(path, 0, "the recording holds no events");

    // Ranges and resolutions the recording lacks (positions, and the size and pressure axes
    // that palm detection judges by): from <base>.desc beside it, else from the file given.
    std::filesystem::path beside(path);
    beside.replace_extension(".desc");
    bool besideRead = false;
    if (beside.string() != path) {
        // A description beside it that cannot be read counts as none.
        if (auto desc = readText(beside.string(), maxTextFileSize)) {
            mergeDeclared(rec.device, readDeviceDescription(desc.value(), beside.string()));
            besideRead = true;
        }
    }
    if (deviceDescFile) {
        auto desc = readTextFile(*deviceDescFile, "the device description");
        mergeDeclared(rec.device, readDeviceDescription(desc, *deviceDescFile));
    }
    if (!rec.device.xAxis() || !rec.device.yAxis()) {
        std::string where = "not in the recording";
        where += besideRead ? ", not in " + beside.string() : ", no " + beside.string() + " beside it";
        where += deviceDescFile ? ", not in " + *deviceDescFile : ", and no --device-desc FILE given";
        fail(path, 0, "no axis ranges for the touch position (ABS_MT_POSITION_X/Y): " + where);
    }
    if (auto reason = rec.device.unusableReason()) fail(path, 0, *reason);
    rec.device.quirks = (quirks ? *quirks : QuirksDatabase::system()).lookup(rec.device.identity());
    return rec;
}

std::vector<Frame> assembleFrames(const Recording& recording) {
    std::vector<Frame> frames;
    FrameAssembler assembler(recording.device);
    for (const auto& e : recording.events) {
        if (assembler.feed(e)) frames.push_back({assembler.frameTime(), assembler.frame(), assembler.rejected()});
    }
    return frames;
}

}  // namespace trellick::input
