#pragma once
// SIGINT, SIGTERM and SIGHUP (Ctrl+C, logout, a closed terminal) end Trellick through its
// normal quit, so that the engine stops and pending preferences are written. The handler only
// writes the signal's number into a socket pair, which is safe in a signal handler; the Qt
// event loop reads it on the main thread.

#include <signal.h>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

class QSocketNotifier;

namespace trellick::desktop {

class TerminationSignals {
public:
    // Installs the handlers; `onSignal` runs on the main thread, from the event loop, with the
    // signal's number. A second signal of a kind takes the default way out, for a quit that hangs.
    explicit TerminationSignals(std::function<void(int)> onSignal);
    // Puts the previous handlers back.
    ~TerminationSignals();
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

private:
    std::function<void(int)> onSignal_;
    int fds_[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> notifier_;
    std::vector<std::pair<int, struct sigaction>> previous_;
};

}  // namespace trellick::desktop
