#pragma once
// One Trellick per user session. The first instance owns the application id on the session
// bus and answers org.freedesktop.Application.Activate by opening its settings window; a second
// `trellick` asks it to do so and exits, passing on an activation token (Wayland) that lets the
// window take the focus. A lock file in $XDG_RUNTIME_DIR (or, where that is not
// private to the user, a private folder of the user's own) also detects an instance that runs
// without a session bus, which cannot be asked for anything.

#include <QString>

#include <functional>
#include <memory>

namespace trellick::desktop {

class SingleInstance {
public:
    enum class Outcome {
        first,         // this process is the one Trellick; onActivate runs on each later launch
        askedRunning,  // another Trellick runs and was asked to open its settings
        runningNoBus,  // another Trellick runs, unreachable without a session bus
        failed,        // another Trellick owns the name but did not answer
    };
    struct Claim {
        Outcome outcome = Outcome::first;
        QString message;                           // for the user, when not first
        std::unique_ptr<SingleInstance> instance;  // keep it for the life of the process when first
    };

    static constexpr const char* objectPath = "/io/github/trellick/Trellick";

    // `onActivate` runs on the main thread when a later launch asks this instance, with the
    // activation token it passed (empty when none). Asking, a later launch passes the token it
    // was started with (XDG_ACTIVATION_TOKEN), else one from `activationToken` where given.
    static Claim claim(std::function<void(const QString& activationToken)> onActivate,
                       const std::function<QString()>& activationToken = nullptr);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

private:
    SingleInstance() = default;
    int lockFd_ = -1;
    bool ownsName_ = false;
    std::unique_ptr<class ActivationObject> object_;
};

}  // namespace trellick::desktop
