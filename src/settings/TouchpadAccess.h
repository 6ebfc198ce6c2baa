#pragma once
// Granting touchpad access from the welcome and settings windows. The privileged helper run
// through pkexec lives elsewhere; the windows only ask for it and, where it cannot run, show
// the commands a user runs as root instead.

#include <functional>

namespace trellick {

// What became of a request to grant touchpad access.
enum class GrantOutcome {
    ran,        // the helper ran; access shows up through Diagnostics.touchpadsInaccessible
    cannotRun,  // no pkexec, or the user or polkit refused: the user runs the commands by hand
};

// Asks for touchpad access; calls `report` (on the main thread, now or later) with the outcome.
using GrantHandler = std::function<void(std::function<void(GrantOutcome)> report)>;

}  // namespace trellick
