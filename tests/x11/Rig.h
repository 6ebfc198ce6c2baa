#pragma once
// The X11 test rig: a private Xvfb (free display number from -displayfd) with openbox, client
// windows of our own, desktop entries in a temporary XDG_DATA_DIRS and a private
// XDG_CONFIG_HOME. Everything started is stopped again by the destructor.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "../common/TestSupport.h"

extern char** environ;

namespace trellick::rig {

using test::monotonicNow;
using test::waitFor;

// Starts argv (looked up in PATH) with standard error to `errors` and standard output
// discarded; `env` overrides variables, an empty value removes one.
inline pid_t spawn(std::vector<std::string> argv, const std::string& errors = "/dev/null",
                   const std::map<std::string, std::string>& env = {}) {
    std::vector<std::string> vars;
    for (char** e = environ; *e; ++e)
        if (std::string kv = *e; !env.count(kv.substr(0, kv.find('=')))) vars.push_back(kv);
    for (auto& [k, v] : env)
        if (!v.empty()) vars.push_back(k + "=" + v);
    std::vector<char*> args, envp;
    for (auto& a : argv) args.push_back(a.data());
    for (auto& v : vars) envp.push_back(v.data());
    args.push_back(nullptr);
    envp.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0], &fa, nullptr, args.data(), envp.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&fa);
    return pid;
}

// Stops a child: `sig`, then SIGKILL if it lingers for 3 s. Returns its wait status.
inline int stop(pid_t pid, int sig = SIGTERM) {
    int status = 0;
    if (pid <= 0) return 0;
    ::kill(pid, sig);
    if (!waitFor([&] { return waitpid(pid, &status, WNOHANG) == pid; }, 3.0)) {
        ::kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    return status;
}

inline int run(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str());
}

// The desktop entries every rig test may use; one folder for the whole process because GIO
// reads XDG_DATA_DIRS once.
inline const std::string& dataDir() {
    static std::string dir = [] {
        std::string base = std::filesystem::temp_directory_path() / ("trellick-rig-data-" + std::to_string(getpid()));
        std::filesystem::create_directories(base + "/applications");
        auto entry = [&](const std::string& file, const std::string& body) {
            std::ofstream(base + "/applications/" + file) << "[Desktop Entry]\nType=Application\n" << body;
        };
        const std::string helper = TRELLICK_TEST_WINDOW;
        entry("org.trellick.Alpha.desktop",
              "Name=Alpha Editor\nIcon=accessories-text-editor\nExec=" + helper +
                  " --class AlphaWin --title \"Alpha launched\"\nStartupWMClass=AlphaWin\n");
        entry("betawin.desktop", "Name=Beta Viewer\nIcon=image-viewer\nExec=" + helper + " --class BetaWin\n");
        entry("org.trellick.Gamma.desktop",
              "Name=Gamma Mail\nExec=" + helper +
                  " --class GammaWin --title \"Gamma launched\"\nStartupWMClass=GammaWin\n");
        // The system folders stay too: the window manager finds its theme there.
        setenv("XDG_DATA_DIRS", (base + ":/usr/local/share:/usr/share").c_str(), 1);
        setenv("XDG_DATA_HOME", (base + "/home-data").c_str(), 1);
        // Outlives the static string, whose destructor runs before this handler.
        static const std::string* forCleanup = new std::string(base);
        std::atexit([] { std::filesystem::remove_all(*forCleanup); });
        return base;
    }();
    return dir;
}

// What both rigs keep: a temporary folder and the clients they started, stopped by PID.
class RigBase {
public:
    void quit(pid_t client) {
        stop(client);
        std::erase(clients_, client);
    }
    const std::string& tmp() const { return tmp_; }

protected:
    void makeTmp(const std::string& prefix) {
        static int counter = 0;
        tmp_ = std::filesystem::temp_directory_path() /
               (prefix + std::to_string(getpid()) + "-" + std::to_string(counter++));
    }
    // A client of ours with a window of class (app id) `cls` titled `title` (see TestWindow.cpp).
    static std::vector<std::string> windowArgv(const std::string& cls, const std::string& title,
                                               const std::vector<std::string>& extra) {
        std::vector<std::string> argv{TRELLICK_TEST_WINDOW, "--class", cls, "--title", title};
        argv.insert(argv.end(), extra.begin(), extra.end());
        return argv;
    }
    void stopClientsAndRemoveTmp() {
        for (pid_t p : clients_) stop(p);
        clients_.clear();
        if (!tmp_.empty()) std::filesystem::remove_all(tmp_);
        tmp_.clear();
    }
    std::vector<pid_t> clients_;
    std::string tmp_;
};

class Rig : public RigBase {
public:
    Rig() = default;
    Rig(const Rig&) = delete;
    Rig& operator=(const Rig&) = delete;
    ~Rig() { shutdown(); }

    // Starts Xvfb and openbox; false with a reason when they cannot run here.
    bool start(std::string* why) {
        dataDir();
        if (run("for t in Xvfb openbox wmctrl xdotool xwininfo; do command -v $t || exit 1; done") != 0) {
            *why = "Xvfb, openbox, wmctrl, xdotool or xwininfo is not installed";
            return false;
        }
        makeTmp("trellick-rig-");
        std::filesystem::create_directories(tmp_ + "/config");
        setenv("XDG_CONFIG_HOME", (tmp_ + "/config").c_str(), 1);
        // A runtime folder and no session bus of their own, so that Trellicks of tests running
        // side by side never see each other as the one instance of the session.
        std::filesystem::create_directories(tmp_ + "/runtime");
        std::filesystem::permissions(tmp_ + "/runtime", std::filesystem::perms::owner_all);
        setenv("XDG_RUNTIME_DIR", (tmp_ + "/runtime").c_str(), 1);
        unsetenv("DBUS_SESSION_BUS_ADDRESS");
        int fds[2];
        if (pipe(fds) != 0) return false;
        fcntl(fds[0], F_SETFD, FD_CLOEXEC);
        xvfb_ = spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", screenSize, "-nolisten", "tcp"});
        close(fds[1]);
        std::string number;
        for (char ch; read(fds[0], &ch, 1) == 1 && ch != '\n';) number += ch;
        close(fds[0]);
        if (xvfb_ <= 0 || number.empty()) {
            *why = "Xvfb did not start";
            return false;
        }
        display = ":" + number;
        setenv("DISPLAY", display.c_str(), 1);
        if (!startWM()) *why = "openbox did not start managing windows";
        return wm_ > 0;
    }

    // Starts openbox and waits until it manages windows: it announces itself before that, so a
    // probe client is started (again and again) until its window shows in the client list. The
    // probe is a dock, never focused: a later window reusing its id is no stale active window.
    bool startWM() {
        wm_ = spawn({"openbox", "--sm-disable"});
        auto listed = [] { return rig::run("wmctrl -lx 2>/dev/null | grep -q rigprobe") == 0; };
        for (double patience = 0.25; patience < 10; patience *= 2) {  // longer each time, for loaded machines
            pid_t probe = spawn({TRELLICK_TEST_WINDOW, "--class", "RigProbe", "--dock"});
            bool managed = waitFor(listed, patience);
            stop(probe);
            if (managed && waitFor([&] { return !listed(); }, 2.0)) return true;
        }
        stop(wm_);
        wm_ = -1;
        return false;
    }
    void killWM() { wm_ = (stop(wm_, SIGKILL), -1); }
    void killServer() { xvfb_ = (stop(xvfb_, SIGKILL), -1); }

    pid_t window(const std::string& cls, const std::string& title, const std::vector<std::string>& extra = {}) {
        return clients_.emplace_back(spawn(windowArgv(cls, title, extra)));
    }
    int run(const std::string& command) { return rig::run(command); }

    void shutdown() {
        stopClientsAndRemoveTmp();
        wm_ = (stop(wm_), -1);
        xvfb_ = (stop(xvfb_), -1);
    }

    std::string display;
    std::string screenSize = "1920x1080x24";  // of the server start() starts

private:
    pid_t xvfb_ = -1, wm_ = -1;
};

}  // namespace trellick::rig
