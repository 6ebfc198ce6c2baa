#pragma once
// Touchpad recordings: evemu files, evtest output and `libinput record` YAML, read into
// events plus what they tell about the device. Frames come from them through the same
// FrameAssembler as from a live touchpad.

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "common/TouchContact.h"
#include "input/InputEvent.h"
#include "input/PalmRules.h"

namespace trellick::input {

// A recording that cannot be used. what() reads "FILE:LINE: problem" (or "FILE: problem"
// when no line is to blame).
class RecordingError : public std::runtime_error {
public:
    RecordingError(std::string file, int line, const std::string& problem);
    const std::string& file() const { return file_; }
    int line() const { return line_; }  // 0 when the file as a whole is at fault

private:
    std::string file_;
    int line_;
};

enum class RecordingFormat { evemu, evtest, libinputRecord };

struct Recording {
    RecordingFormat format = RecordingFormat::evemu;
    DeviceInfo device;  // declared capabilities plus every code the events use
    // Times count from the first event, in seconds, never decreasing.
    std::vector<InputEvent> events;
};

// The whole of a text file: a recording, a scenario, a device description (`what` names it in
// errors). Throws RecordingError ("FILE: cannot read WHAT: why") for a file that cannot be
// opened, a directory, a file holding binary data (a NUL byte) or one larger than
// maxTextFileSize ("FILE: too large (...)"). The cap keeps every reader within a small multiple
// of it in memory; a quarter of an hour of a busy touchpad still fits.
inline constexpr std::size_t maxTextFileSize = std::size_t(64) << 20;
std::string readTextFile(const std::string& path, const std::string& what);

// The readers. `file` names the input in errors. They fill in ranges only where the text
// declares them; loadRecording() completes them.
Recording readEvemu(std::string_view text, const std::string& file);
Recording readEvtest(std::string_view text, const std::string& file);
Recording readLibinputRecord(std::string_view text, const std::string& file);
// Picks the reader from the content.
Recording readRecording(std::string_view text, const std::string& file);

// evemu description lines (N:, I:, P:, B:, A:, comments) as found in `<name>.desc` files.
DeviceInfo readDeviceDescription(std::string_view text, const std::string& file);

// Reads a recording file. Axis ranges the recording lacks come from `<base>.desc` beside it,
// else from `deviceDescFile`. The device's quirks come from `quirks` (by default the installed
// database), matched by the name and ids the recording or description gives. Throws
// RecordingError when it cannot be read, does not parse or still has no usable ranges.
Recording loadRecording(const std::string& path, const std::optional<std::string>& deviceDescFile = {},
                        const QuirksDatabase* quirks = nullptr);
// The same for the text of `path`, already read.
Recording recordingFromText(std::string_view text, const std::string& path,
                            const std::optional<std::string>& deviceDescFile = {},
                            const QuirksDatabase* quirks = nullptr);

struct Frame {
    double time = 0;
    std::vector<TouchContact> fingers;
    std::vector<RejectedContact> rejected;  // touching contacts left out as palms or thumbs
};

// Every frame of a recording, in order.
std::vector<Frame> assembleFrames(const Recording& recording);

}  // namespace trellick::input
