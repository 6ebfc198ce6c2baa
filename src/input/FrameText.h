#pragma once
// Contact frames as text: the scenario format of `debug-gestures --frames` ("T X1 Y1 X2 Y2
// ...", '#' comments, "T escape" lines), and evemu recordings synthesised from frames, so a
// scenario can be replayed through the same path as a real touchpad.

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "input/Recording.h"

namespace trellick::input {

// One scenario line for a frame. Positions keep every digit a float needs, so reading the line
// back gives the same frame.
std::string framesLine(double time, const TouchContact* fingers, int count);
// A comment line for the scenario format saying which touching contacts a frame left out and
// why ("# not fingers: palm at X Y, presses too hard for a finger; ..."); empty when none.
std::string rejectedLine(const std::vector<RejectedContact>& rejected);

// One line of a scenario: a contact frame, or the Escape key pressed at `time`.
struct ScenarioItem {
    double time = 0;
    bool escape = false;
    std::vector<TouchContact> fingers;
};

// Every item of a scenario text, in order. Throws RecordingError ("FILE:LINE: what").
std::vector<ScenarioItem> readScenarioText(std::string_view text, const std::string& file);
// The frames of a scenario text (Escape lines are skipped). Throws RecordingError.
std::vector<Frame> readFramesText(std::string_view text, const std::string& file);

// Whether a text is a scenario rather than a recording: its first line that is neither blank
// nor a comment starts with a number (a time), which no recording format does.
bool looksLikeScenario(std::string_view text);
// The frames of a file that holds either a recording (see loadRecording) or a scenario, told
// apart by looksLikeScenario; a scenario's Escape lines are skipped. Throws RecordingError.
std::vector<Frame> loadFramesFile(const std::string& path);

// The touchpad the synthesised recordings describe.
struct SynthPad {
    std::string name = "Trellick Demo Touchpad";
    int width = 3000;   // X 0..width
    int height = 2000;  // Y 0..height
    int slotCount = 5;
};

// An evemu recording of the frames: a header for `pad`, then per frame the slot, tracking id,
// position, BTN_TOUCH and BTN_TOOL_* changes and a SYN_REPORT, timed from `startTime`.
// Frames with more contacts than slots keep the first `slotCount`.
void writeEvemu(std::ostream& out, const std::vector<Frame>& frames, const SynthPad& pad, double startTime,
                const std::string& comment);

}  // namespace trellick::input
