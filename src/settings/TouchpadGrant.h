#pragma once
// Touchpad access: the one permission Trellick needs on Linux. Granting it installs a udev rule
// that gives the user at the seat access to touchpads; that takes root, so it runs elsewhere
// (a privileged helper) and reports back on the main thread.

#include <functional>
#include <string>

namespace trellick {

struct TouchpadGrant {
    enum class State {
        idle,         // never asked
        running,      // waiting for the helper (and the user's password)
        granted,      // the rule is installed and the touchpads re-triggered
        unavailable,  // it cannot run here (no pkexec, no helper): the user has to do it by hand
        refused,      // the user dismissed the authentication, or is not allowed
        failed,       // the helper ran and failed
    };
    State state = State::idle;
    std::string detail;  // why, for the three failures; shown to the user

    // Whether the user now needs the root commands to do it by hand.
    bool needsManualSteps() const {
        return state == State::unavailable || state == State::refused || state == State::failed;
    }
    friend bool operator==(const TouchpadGrant&, const TouchpadGrant&) = default;
};

class TouchpadAccessGrant {
public:
    virtual ~TouchpadAccessGrant() = default;
    // Starts the grant; `done` runs once on the main thread with granted, unavailable,
    // refused or failed.
    virtual void grant(std::function<void(TouchpadGrant)> done) = 0;
};

}  // namespace trellick
