#pragma once
// The sub-commands of the `trellick` executable.

#include <string>
#include <vector>

namespace trellick {

// `trellick debug-gestures ...`: prints what the engine decides, one JSON object a line.
int runDebugGestures(const std::vector<std::string>& args);
// `trellick [--replay FILE [--quit-after-replay]]`: the tray application.
int runTrayApp(int argc, char** argv);

}  // namespace trellick
