#pragma once
// The Wayland test rig: a private headless sway (pixman, no input devices, N outputs) with Qt
// clients of ours. sway refuses root, so under root they run as an unprivileged user of the
// rig's own (see chooseUser). Everything started is stopped by PID in the destructor.

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>

#include "x11/Rig.h"

namespace trellick::rig {

class WaylandRig : public RigBase {
public:
    WaylandRig() = default;
    WaylandRig(const WaylandRig&) = delete;
    WaylandRig& operator=(const WaylandRig&) = delete;
    ~WaylandRig() { shutdown(); }

    // Starts sway with `outputs` headless outputs of 1280x720; false with a reason when it
    // cannot run here.
    bool start(std::string* why, int outputs = 1) {
        dataDir();
        if (run("for t in sway swaymsg setpriv grim; do command -v $t || exit 1; done") != 0) {
            *why = "sway, swaymsg, setpriv or grim is not installed: run scripts/install-deps.sh";
            return false;
        }
        if (!chooseUser(why)) return false;
        makeTmp("trellick-wlrig-");
        runtime_ = tmp_ + "/runtime";
        for (const std::string& dir : {runtime_, tmp_ + "/home"}) {
            std::filesystem::create_directories(dir);
            if (chown(dir.c_str(), uid_, gid_) != 0) return (*why = "cannot hand " + dir + " to the rig's user", false);
            chmod(dir.c_str(), 0700);
        }
        std::ofstream(tmp_ + "/config") << "xwayland disable\n"
                                        << "output * resolution 1280x720\n"
                                        << "default_border none\n"
                                        << "focus_follows_mouse no\n";
        env_ = {{"XDG_RUNTIME_DIR", runtime_}, {"HOME", tmp_ + "/home"}, {"DISPLAY", ""},
                {"WAYLAND_DISPLAY", ""},       {"SWAYSOCK", ""},         {"DBUS_SESSION_BUS_ADDRESS", ""}};
        auto swayEnv = env_;
        swayEnv.insert({{"WLR_BACKENDS", "headless"},
                        {"WLR_LIBINPUT_NO_DEVICES", "1"},
                        {"WLR_RENDERER", "pixman"},
                        {"WLR_HEADLESS_OUTPUTS", std::to_string(outputs)}});
        sway_ = spawn(asUser({"sway", "-c", tmp_ + "/config"}), tmp_ + "/sway.log", swayEnv);
        auto found = [&](const std::string& prefix) {
            for (auto& e : std::filesystem::directory_iterator(runtime_)) {
                std::string name = e.path().filename();
                if (name.rfind(prefix, 0) == 0 && name.find(".lock") == std::string::npos) return name;
            }
            return std::string();
        };
        bool up = waitFor([&] { return !found("wayland-").empty() && !found("sway-ipc.").empty(); }, 10.0);
        if (sway_ <= 0 || !up) {
            *why = "sway did not start (see " + tmp_ + "/sway.log)";
            return false;
        }
        socket = runtime_ + "/" + found("wayland-");
        env_["WAYLAND_DISPLAY"] = found("wayland-");
        env_["SWAYSOCK"] = runtime_ + "/" + found("sway-ipc.");
        env_["QT_QPA_PLATFORM"] = "wayland";
        return true;
    }

    // Spawns argv as the rig's user in the rig's session, standard error to `errors`; `env` adds
    // to or overrides the session's variables.
    pid_t spawnInSession(const std::vector<std::string>& argv, const std::string& errors,
                         const std::map<std::string, std::string>& env) {
        auto all = env_;
        for (auto& [k, v] : env) all[k] = v;
        return clients_.emplace_back(spawn(asUser(argv), errors, all));
    }
    // Hands a file or folder (and what it holds) made by the test to the rig's user.
    void giveToUser(const std::string& path) {
        for (auto& e : std::filesystem::recursive_directory_iterator(path))
            if (chown(e.path().c_str(), uid_, gid_) != 0) return;
        if (chown(path.c_str(), uid_, gid_) != 0) return;
    }

    pid_t window(const std::string& appId, const std::string& title, const std::vector<std::string>& extra = {}) {
        return clients_.emplace_back(spawn(asUser(windowArgv(appId, title, extra)), "/dev/null", env_));
    }
    // Any program of the rig's user in the rig's session (grim, swaymsg, a client).
    pid_t program(const std::vector<std::string>& argv, const std::string& errors = "/dev/null") {
        return clients_.emplace_back(spawn(asUser(argv), errors, env_));
    }
    // A client that ended and was waited for: its PID may be reused and must not be stopped.
    void forget(pid_t client) { std::erase(clients_, client); }
    // Runs a program of the rig's user to its end, running `pump` meanwhile; its exit status (-1
    // when it could not run).
    int runToEnd(const std::vector<std::string>& argv, double timeout = 10.0,
                 const std::function<void()>& pump = nullptr) {
        pid_t pid = spawn(asUser(argv), tmp_ + "/last-command.log", env_);
        int status = 0;
        if (pid <= 0) return -1;
        if (!waitFor([&] { return waitpid(pid, &status, WNOHANG) == pid; }, timeout, pump)) {
            stop(pid, SIGKILL);
            return -1;
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    int swaymsg(const std::string& command) { return runToEnd({"swaymsg", command}); }

    void shutdown() {
        stopClientsAndRemoveTmp();
        sway_ = (stop(sway_), -1);
    }

    // Writable by the rig's programs (grim's pictures), readable by the test.
    const std::string& runtimeDir() const { return runtime_; }
    // The compositor's socket, as an absolute path: the test process connects without its
    // environment.
    std::string socket;

private:
    // Root runs the rig as the user trellick-rig (a system user without a home, created once).
    // Every program of the rig ends with the test process, even one that crashes.
    bool chooseUser(std::string* why) {
        prefix_ = {"setpriv", "--pdeathsig=SIGTERM"};
        if (geteuid() != 0) {
            uid_ = getuid();
            gid_ = getgid();
            prefix_.push_back("--");
            return true;
        }
        if (!getpwnam("trellick-rig") &&
            run("useradd --system --no-create-home --shell /usr/sbin/nologin trellick-rig") != 0 &&
            !getpwnam("trellick-rig")) {
            *why = "cannot create the user trellick-rig to run sway as (sway refuses root)";
            return false;
        }
        const passwd* pw = getpwnam("trellick-rig");
        uid_ = pw->pw_uid;
        gid_ = pw->pw_gid;
        prefix_.insert(prefix_.end(),
                       {"--reuid=" + std::to_string(uid_), "--regid=" + std::to_string(gid_), "--clear-groups", "--"});
        return true;
    }
    std::vector<std::string> asUser(std::vector<std::string> argv) const {
        argv.insert(argv.begin(), prefix_.begin(), prefix_.end());
        return argv;
    }

    uid_t uid_ = 0;
    gid_t gid_ = 0;
    std::vector<std::string> prefix_;
    std::map<std::string, std::string> env_;
    pid_t sway_ = -1;
    std::string runtime_;
};

}  // namespace trellick::rig
