// Measures, on a private Xvfb with openbox, a tray (trayer) and a session bus of its own:
//  - start-up: from starting `trellick` to its tray icon being embedded and shown, over RUNS
//    launches (median, min, max);
//  - resident memory (VmRSS) once the icon shows, with the settings window open (asked for by a
//    second launch), and after it closes.
// Usage: bench_startup [RUNS]

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "Rig.h"

using namespace trellick;

namespace {

long residentKiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

// Sees windows leave the root for a tray and get mapped there.
class IconWatch {
public:
    IconWatch() : c_(xcb_connect(nullptr, nullptr)) {
        root_ = xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root;
        uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(c_, root_, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(c_);
    }
    ~IconWatch() { xcb_disconnect(c_); }
    bool broken() const { return xcb_connection_has_error(c_) != 0; }

    // Waits until a window of process `pid` is reparented away from the root (into the tray)
    // and is viewable there; false after `timeout` seconds.
    bool waitForIcon(pid_t pid, double timeout) {
        double end = rig::monotonicNow() + timeout;
        std::optional<xcb_window_t> icon;
        while (rig::monotonicNow() < end) {
            xcb_generic_event_t* ev = xcb_poll_for_event(c_);
            if (!ev) {
                if (icon && viewable(*icon)) return true;
                std::this_thread::sleep_for(std::chrono::microseconds(200));
                continue;
            }
            if ((ev->response_type & 0x7f) == XCB_REPARENT_NOTIFY) {
                auto* r = reinterpret_cast<xcb_reparent_notify_event_t*>(ev);
                if (r->parent != root_ && ownedBy(r->window, pid)) {
                    icon = r->window;
                    uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
                    xcb_change_window_attributes(c_, *icon, XCB_CW_EVENT_MASK, &mask);
                    xcb_flush(c_);
                }
            }
            bool mapped = (ev->response_type & 0x7f) == XCB_MAP_NOTIFY && icon &&
                          reinterpret_cast<xcb_map_notify_event_t*>(ev)->window == *icon;
            std::free(ev);
            if (mapped || (icon && viewable(*icon))) return true;
        }
        return false;
    }

private:
    bool viewable(xcb_window_t w) {
        auto* a = xcb_get_window_attributes_reply(c_, xcb_get_window_attributes(c_, w), nullptr);
        bool v = a && a->map_state == XCB_MAP_STATE_VIEWABLE;
        std::free(a);
        return v;
    }
    bool ownedBy(xcb_window_t w, pid_t pid) {
        xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(c_, xcb_intern_atom(c_, 0, 11, "_NET_WM_PID"), nullptr);
        if (!atom) return false;
        auto* p = xcb_get_property_reply(c_, xcb_get_property(c_, 0, w, atom->atom, XCB_ATOM_CARDINAL, 0, 1), nullptr);
        bool owned = p && xcb_get_property_value_length(p) == 4 &&
                     *static_cast<uint32_t*>(xcb_get_property_value(p)) == uint32_t(pid);
        std::free(p);
        std::free(atom);
        return owned;
    }

    xcb_connection_t* c_;
    xcb_window_t root_;
};

}  // namespace

int main(int argc, char** argv) {
    int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    rig::Rig rig;
    std::string why;
    if (!rig.start(&why)) {
        std::fprintf(stderr, "bench_startup: no X11 rig: %s\n", why.c_str());
        return 1;
    }
    if (rig.run("(command -v trayer && command -v dbus-daemon)") != 0) {
        std::fputs("bench_startup: needs trayer and dbus-daemon\n", stderr);
        return 1;
    }
    const std::string tmp = rig.tmp();
    pid_t bus = rig::spawn({"dbus-daemon", "--session", "--nofork", "--address=unix:path=" + tmp + "/bus"});
    pid_t tray = rig::spawn({"trayer", "--edge", "top", "--align", "right", "--SetDockType", "true"});
    std::filesystem::create_directories(tmp + "/config/trellick");
    std::filesystem::create_directories(tmp + "/run");
    std::filesystem::permissions(tmp + "/run", std::filesystem::perms::owner_all);
    std::ofstream(tmp + "/config/trellick/preferences.json") << R"({"trellick.onboarded": true})";
    const std::map<std::string, std::string> env{{"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + tmp + "/bus"},
                                                 {"XDG_RUNTIME_DIR", tmp + "/run"}};
    rig::waitFor([&] { return rig.run("xdotool search --classname '^panel$'") == 0; }, 5.0);
    rig::waitFor([&] { return std::filesystem::exists(tmp + "/bus"); }, 5.0);

    IconWatch watch;
    std::vector<double> samples;
    for (int run = 0; run < runs && !watch.broken(); ++run) {
        double start = rig::monotonicNow();
        pid_t app = rig::spawn({TRELLICK_EXECUTABLE}, tmp + "/trellick.err", env);
        if (watch.waitForIcon(app, 10.0))
            samples.push_back((rig::monotonicNow() - start) * 1000.0);
        else
            std::fprintf(stderr, "run %d: no tray icon within 10 s\n", run);
        rig::stop(app);
    }

    int status = samples.empty() ? 1 : 0;
    if (!samples.empty()) {
        std::sort(samples.begin(), samples.end());
        std::printf("process start -> tray icon shown, %zu runs: median %.1f ms, min %.1f ms, max %.1f ms\n",
                    samples.size(), samples[samples.size() / 2], samples.front(), samples.back());
    }

    // Memory: at rest, with the settings window open, and after it closed again.
    pid_t app = rig::spawn({TRELLICK_EXECUTABLE}, tmp + "/trellick.err", env);
    if (watch.waitForIcon(app, 10.0)) {
        auto settled = [] { rig::waitFor([] { return false; }, 1.0); };
        settled();
        long idle = residentKiB(app);
        pid_t second = rig::spawn({TRELLICK_EXECUTABLE}, "/dev/null", env);
        int ignored = 0;
        waitpid(second, &ignored, 0);
        bool shown = rig::waitFor([&] { return rig.run("wmctrl -l | grep -q ' Settings$'") == 0; }, 10.0);
        settled();
        long open = residentKiB(app);
        rig.run("wmctrl -c Settings");
        bool closed = rig::waitFor([&] { return rig.run("wmctrl -l | grep -q ' Settings$'") != 0; }, 10.0);
        settled();
        long after = residentKiB(app);
        if (shown && closed)
            std::printf(
                "resident memory: %ld KiB with the tray icon, %ld KiB with settings open, %ld KiB after closing\n",
                idle, open, after);
        else
            status = 1, std::fputs("bench_startup: the settings window did not open and close\n", stderr);
    } else {
        status = 1;
    }
    rig::stop(app);
    rig::stop(tray);
    rig::stop(bus);
    return status;
}
