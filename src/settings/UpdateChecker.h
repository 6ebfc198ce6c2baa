#pragma once
// What the shell needs from the update check: a flag saying whether a check may start now, and
// the action that starts a user-initiated one (it shows its own result).

#include "common/Observable.h"

namespace trellick {

class UpdateChecker {
public:
    virtual ~UpdateChecker() = default;
    // Delivers the current value at once, then every change. Main thread.
    virtual Subscription subscribeCanCheck(std::function<void(const bool&)> fn) = 0;
    virtual void checkForUpdates() = 0;
};

}  // namespace trellick
