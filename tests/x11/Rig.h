#pragma once
// The X11 test rig: a private Xvfb (free display number from -displayfd) with openbox, client
// windows of our own, desktop entries in a temporary XDG_DATA_DIRS and a private
// XDG_CONFIG_HOME. Everything started is stopped again by the destructor.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <cstring>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/fake/Fakes.h"

extern char** environ;

namespace trellick::rig {

inline double monotonicNow() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

inline bool haveTools() {
    return std::system("command -v Xvfb >/dev/null 2>&1 && command -v openbox >/dev/null 2>&1") == 0;
}

inline pid_t spawn(const std::vector<std::string>& argv, bool quiet = true) {
    std::vector<char*> args;
    for (auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    if (quiet) {
        posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    }
    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0], &fa, nullptr, args.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&fa);
    return pid;
}

// Stops a child: SIGTERM, then SIGKILL if it lingers. Returns its wait status.
inline int stop(pid_t pid, int sig = SIGTERM) {
    if (pid <= 0) return 0;
    ::kill(pid, sig);
    int status = 0;
    for (int i = 0; i < 300; ++i) {
        if (waitpid(pid, &status, WNOHANG) == pid) return status;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return status;
}

// Polls `done` every 10 ms for up to `timeout` seconds, running `pump` before each look.
inline bool waitFor(const std::function<bool()>& done, double timeout = 5.0,
                    const std::function<void()>& pump = nullptr) {
    double end = monotonicNow() + timeout;
    for (;;) {
        if (pump) pump();
        if (done()) return true;
        if (monotonicNow() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
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
        entry("org.trellick.Alpha.desktop", "Name=Alpha Editor\nIcon=accessories-text-editor\nExec=" + helper +
                                                " --class AlphaWin --title \"Alpha launched\"\nStartupWMClass=AlphaWin\n");
        entry("betawin.desktop", "Name=Beta Viewer\nIcon=image-viewer\nExec=" + helper + " --class BetaWin\n");
        entry("org.trellick.Gamma.desktop",
              "Name=Gamma Mail\nExec=" + helper + " --class GammaWin --title \"Gamma launched\"\nStartupWMClass=GammaWin\n");
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

class Rig {
public:
    Rig() = default;
    Rig(const Rig&) = delete;
    Rig& operator=(const Rig&) = delete;
    ~Rig() { shutdown(); }

    // Starts Xvfb and openbox; false with a reason when they cannot run here.
    bool start(std::string* why) {
        dataDir();
        if (!haveTools()) {
            *why = "Xvfb or openbox is not installed";
            return false;
        }
        tmp_ = std::filesystem::temp_directory_path() / ("trellick-rig-" + std::to_string(getpid()) + "-" +
                                                         std::to_string(counter()++));
        std::filesystem::create_directories(tmp_ + "/config");
        setenv("XDG_CONFIG_HOME", (tmp_ + "/config").c_str(), 1);
        int fds[2];
        if (pipe(fds) != 0) return false;
        fcntl(fds[0], F_SETFD, FD_CLOEXEC);
        xvfb_ = spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1920x1080x24", "-nolisten", "tcp"});
        close(fds[1]);
        std::string number;
        char ch;
        while (read(fds[0], &ch, 1) == 1 && ch != '\n') number += ch;
        close(fds[0]);
        if (xvfb_ <= 0 || number.empty()) {
            *why = "Xvfb did not start";
            return false;
        }
        display = ":" + number;
        setenv("DISPLAY", display.c_str(), 1);
        if (!startWM()) {
            *why = "openbox did not start managing windows";
            return false;
        }
        return true;
    }

    // Starts openbox and waits until it manages windows: its check property appears before
    // that, so a probe window is mapped (again and again) until it shows in the client list.
    bool startWM() {
        wm_ = spawn({"openbox", "--sm-disable"});
        xcb_connection_t* c = xcb_connect(display.c_str(), nullptr);
        if (xcb_connection_has_error(c)) {
            xcb_disconnect(c);
            return false;
        }
        xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
        const char* name = "_NET_CLIENT_LIST";
        auto* ar = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
        xcb_atom_t list = ar ? ar->atom : 0;
        free(ar);
        xcb_window_t probe = xcb_generate_id(c);
        xcb_create_window(c, XCB_COPY_FROM_PARENT, probe, screen->root, 0, 0, 10, 10, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          screen->root_visual, 0, nullptr);
        auto managed = [&] {
            auto* r = xcb_get_property_reply(c, xcb_get_property(c, 0, screen->root, list, XCB_ATOM_WINDOW, 0, 4096),
                                             nullptr);
            bool found = false;
            if (r && r->format == 32) {
                auto* ids = static_cast<xcb_window_t*>(xcb_get_property_value(r));
                for (int i = 0; i < xcb_get_property_value_length(r) / 4; ++i) found = found || ids[i] == probe;
            }
            free(r);
            return found;
        };
        bool ok = false;
        for (int i = 0; i < 100 && !ok; ++i) {
            xcb_unmap_window(c, probe);
            xcb_map_window(c, probe);
            xcb_flush(c);
            ok = waitFor(managed, 0.1);
        }
        xcb_destroy_window(c, probe);
        free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
        waitFor([&] { return !managed(); }, 2.0);
        xcb_disconnect(c);
        return ok;
    }
    void killWM() {
        stop(wm_, SIGKILL);
        wm_ = -1;
    }
    void killServer() {
        stop(xvfb_, SIGKILL);
        xvfb_ = -1;
    }

    // A client of ours: `count` windows of class `cls` titled `title`.
    pid_t window(const std::string& cls, const std::string& title, std::vector<std::string> extra = {}) {
        std::vector<std::string> argv{TRELLICK_TEST_WINDOW, "--class", cls, "--title", title};
        argv.insert(argv.end(), extra.begin(), extra.end());
        pid_t pid = spawn(argv);
        clients_.push_back(pid);
        return pid;
    }
    void quit(pid_t client) {
        stop(client);
        std::erase(clients_, client);
    }
    int run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }

    void shutdown() {
        for (pid_t p : clients_) stop(p);
        clients_.clear();
        if (wm_ > 0) stop(wm_);
        wm_ = -1;
        if (xvfb_ > 0) stop(xvfb_);
        xvfb_ = -1;
        if (!tmp_.empty()) std::filesystem::remove_all(tmp_);
        tmp_.clear();
    }

    const std::string& tmp() const { return tmp_; }
    std::string display;

private:
    static int& counter() {
        static int n = 0;
        return n;
    }
    pid_t xvfb_ = -1, wm_ = -1;
    std::vector<pid_t> clients_;
    std::string tmp_;
};

}  // namespace trellick::rig
