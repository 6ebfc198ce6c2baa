#pragma once
// The Wayland test rig: a private headless sway (pixman, no input devices, N outputs) with Qt
// clients of ours. sway refuses root, so under root they run as an unprivileged user of the
// rig's own (see chooseUser). Everything started is stopped by PID in the destructor.

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>

#include "platform/wayland/KdeWindowSystem.h"
#include "x11/Rig.h"

namespace trellick::rig {

class WaylandRig : public RigBase {
public:
    WaylandRig() = default;
    WaylandRig(const WaylandRig&) = delete;
    WaylandRig& operator=(const WaylandRig&) = delete;
    ~WaylandRig() { shutdown(); }

    // Starts sway with `outputs` headless outputs of 1280x720; false with a reason if it cannot.
    bool start(std::string* why, int outputs = 1) {
        dataDir();
        if (run("for t in sway swaymsg setpriv grim; do command -v $t || exit 1; done") != 0)
            return (*why = "sway, swaymsg, setpriv or grim is not installed: run scripts/install-deps.sh", false);
        if (!chooseUser(why) || !prepare("trellick-wlrig-", {}, why)) return false;
        std::ofstream(tmp_ + "/config")
            << "xwayland disable\noutput * resolution 1280x720\ndefault_border none\nfocus_follows_mouse no\n";
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
        if (sway_ <= 0 || !up) return (*why = "sway did not start (see " + tmp_ + "/sway.log)", false);
        socket = runtime_ + "/" + found("wayland-");
        env_["WAYLAND_DISPLAY"] = found("wayland-");
        env_["SWAYSOCK"] = runtime_ + "/" + found("sway-ipc.");
        env_["QT_QPA_PLATFORM"] = "wayland";
        return true;
    }

    // Starts KWin (one 1280x720 virtual output) in a D-Bus session of its own instead of sway. It runs as the test's
    // own user, root included: it reads from /proc the binary of a client (which another user's process cannot) to find
    // the desktop entry, among `entries` (file name to body), that opens its window management to it.
    bool startKWin(std::string* why, const std::map<std::string, std::string>& entries) {
        dataDir();
        const std::string installed = "/usr/bin/kwin_wayland";
        if (!std::filesystem::exists(installed) || run("command -v dbus-run-session setpriv") != 0)
            return (*why = "kwin_wayland or dbus-run-session is not installed: run scripts/install-deps.sh", false);
        prefix_ = {"setpriv", "--pdeathsig=SIGTERM", "--"};
        uid_ = getuid();
        gid_ = getgid();
        if (!prepare("trellick-kwinrig-", {"/bin", "/kwin-data/applications", "/home/.config"}, why)) return false;
        // SkipSwitcherWin is kept out of KWin's switcher; new windows open in the middle.
        std::ofstream(tmp_ + "/home/.config/kwinrc") << "[Windows]\nPlacement=Centered\n";
        std::ofstream(tmp_ + "/home/.config/kwinrulesrc")
            << "[General]\ncount=1\nrules=1\n\n[1]\nDescription=skip\nwmclass=SkipSwitcherWin\nwmclassmatch=1\n"
               "skipswitcher=true\nskipswitcherrule=2\n";
        for (const auto& [file, body] : entries)
            std::ofstream(tmp_ + "/kwin-data/applications/" + file) << "[Desktop Entry]\nType=Application\n" << body;
        // A sandbox may refuse to run the installed binary's file capability; a plain copy runs.
        std::filesystem::copy_file(installed, tmp_ + "/bin/kwin_wayland");
        env_.insert({{"XDG_CONFIG_HOME", tmp_ + "/home/.config"}, {"XDG_DATA_HOME", tmp_ + "/home/.local/share"}});
        auto kwinEnv = env_;
        kwinEnv["XDG_DATA_DIRS"] = tmp_ + "/kwin-data:/usr/share";
        sway_ = spawn(asUser({"dbus-run-session", "--", "sh", "-c",
                              "echo \"$DBUS_SESSION_BUS_ADDRESS\" >" + tmp_ + "/bus && echo $$ >" + tmp_ +
                                  "/kwin.pid && exec setpriv --pdeathsig=SIGTERM -- " + tmp_ +
                                  "/bin/kwin_wayland --virtual --width 1280 --height 720 --socket kwin-rig "
                                  "--no-lockscreen --no-global-shortcuts --no-kactivities"}),
                      tmp_ + "/kwin.log", kwinEnv);
        bool up = waitFor([&] { return std::filesystem::exists(runtime_ + "/kwin-rig"); }, 20.0);
        if (sway_ <= 0 || !up) return (*why = "kwin_wayland did not start (see " + tmp_ + "/kwin.log)", false);
        socket = runtime_ + "/kwin-rig";
        env_["WAYLAND_DISPLAY"] = "kwin-rig";
        env_["QT_QPA_PLATFORM"] = "wayland";
        std::ifstream(tmp_ + "/bus") >> busAddress;
        std::ifstream(tmp_ + "/kwin.pid") >> kwin_;
        return true;
    }
    // The D-Bus session KWin runs in (KWin's own interfaces: effects, scripting).
    std::string busAddress;

    // Spawns argv as the rig's user in its session, standard error to `errors`, `env` added.
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
    // Runs a program of the rig's user to its end, running `pump` meanwhile; its exit status or -1.
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
        // KWin first (not our child: polled), so that dbus-run-session ends its bus and itself.
        if (kwin_ > 0 && ::kill(kwin_, SIGTERM) == 0 && !waitFor([&] { return ::kill(kwin_, 0) != 0; }, 3.0))
            ::kill(kwin_, SIGKILL);
        kwin_ = -1;
        sway_ = (stop(sway_), -1);
    }

    // Writable by the rig's programs (grim's pictures), readable by the test.
    const std::string& runtimeDir() const { return runtime_; }
    // The compositor's socket as an absolute path: the test process connects without its environment.
    std::string socket;

private:
    // The rig's folders, its user's own, and the session's environment, which is not the
    // desktop the tests run in (KDE's would send Trellick to KWin's backend).
    bool prepare(const std::string& prefix, const std::vector<std::string>& more, std::string* why) {
        makeTmp(prefix);
        runtime_ = tmp_ + "/runtime";
        std::vector<std::string> dirs{runtime_, tmp_ + "/home"};
        for (const auto& dir : more) dirs.push_back(tmp_ + dir);
        for (const std::string& dir : dirs) {
            std::filesystem::create_directories(dir);
            if (chown(dir.c_str(), uid_, gid_) != 0) return (*why = "cannot hand " + dir + " to the rig's user", false);
            chmod(dir.c_str(), 0700);
        }
        env_ = {{"XDG_RUNTIME_DIR", runtime_}, {"HOME", tmp_ + "/home"}, {"DISPLAY", ""},
                {"WAYLAND_DISPLAY", ""},       {"SWAYSOCK", ""},         {"DBUS_SESSION_BUS_ADDRESS", ""},
                {"XDG_CURRENT_DESKTOP", ""}};
        return true;
    }
    // Root runs the rig as the system user trellick-rig. Every program of the rig ends with the
    // test process, even one that crashes.
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
            !getpwnam("trellick-rig"))
            return (*why = "cannot create the user trellick-rig to run sway as (sway refuses root)", false);
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
    pid_t sway_ = -1;  // or the dbus-run-session around KWin
    pid_t kwin_ = -1;
    std::string runtime_;
};

// Desktop entries opening KWin's window management to the test's own binary and to `more`.
inline std::map<std::string, std::string> kwinEntries(const std::vector<std::string>& more = {}) {
    std::map<std::string, std::string> entries;
    std::vector<std::string> programs{std::filesystem::read_symlink("/proc/self/exe")};
    programs.insert(programs.end(), more.begin(), more.end());
    // The tests themselves also use KWin's fake input and screenshots.
    for (std::size_t i = 0; i < programs.size(); ++i)
        entries["rig-program-" + std::to_string(i) + ".desktop"] =
            "Name=Rig program\nNoDisplay=true\nExec=" + programs[i] +
            "\nX-KDE-Wayland-Interfaces=" + wayland::KdeWindowSystem::kInterface +
            (i == 0 ? ",org_kde_kwin_fake_input\nX-KDE-DBUS-Restricted-Interfaces=org.kde.KWin.ScreenShot2\n" : "\n");
    return entries;
}

}  // namespace trellick::rig
