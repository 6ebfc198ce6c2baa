#include "platform/desktop/TerminationSignals.h"

#include <QSocketNotifier>

#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#include <string>

#include "common/Log.h"

namespace trellick::desktop {
namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
volatile sig_atomic_t writeEnd = -1;

void onSignal(int sig) {
    int saved = errno;
    unsigned char byte = static_cast<unsigned char>(sig);
    // Full (a flood of signals) is fine: one byte is enough to quit.
    [[maybe_unused]] auto written = ::write(writeEnd, &byte, 1);
    errno = saved;
}

}  // namespace

TerminationSignals::TerminationSignals(std::function<void(int)> onSignalFn) : onSignal_(std::move(onSignalFn)) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds_) != 0) {
        log::warning("trellick.app", std::string("Trellick: cannot watch for termination signals: ") +
                                         std::strerror(errno) + "; they end Trellick without saving.");
        return;
    }
    writeEnd = fds_[0];
    notifier_ = std::make_unique<QSocketNotifier>(fds_[1], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] {
        unsigned char byte = 0;
        while (::read(fds_[1], &byte, 1) == 1) onSignal_(byte);
    });
    for (int sig : kSignals) {
        struct sigaction old {};
        ::sigaction(sig, nullptr, &old);
        // A signal ignored on purpose (nohup, a background job of a shell) stays ignored.
        if (!(old.sa_flags & SA_SIGINFO) && old.sa_handler == SIG_IGN) continue;
        struct sigaction action {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART | SA_RESETHAND;
        if (::sigaction(sig, &action, nullptr) == 0) previous_.emplace_back(sig, old);
    }
}

TerminationSignals::~TerminationSignals() {
    for (auto& [sig, old] : previous_) ::sigaction(sig, &old, nullptr);
    notifier_.reset();
    writeEnd = -1;
    for (int fd : fds_) {
        if (fd >= 0) ::close(fd);
    }
}

}  // namespace trellick::desktop
