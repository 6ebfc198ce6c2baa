// The overlay panel on a private Xvfb with openbox, driven as the engine drives it, measured
// from the X server's side (a second connection of our own):
//  - reveal: from HUDController::showList to the server having the panel mapped and painted
//    (its pixels as they are once settled);
//  - step: from a cursor step's showList to the server having the first repainted pixels;
// each without a compositor and with xcompmgr; the median and the slowest of RUNS.
// With --shots DIR it writes instead screenshots of the overlay with and without a compositor,
// light and dark (DIR/overlay-{opaque,composited}-{light,dark}.png), cut to the panel and
// its surroundings. With --app TRELLICK it measures instead that tray application, fed a
// held walk by --replay: its resident memory idle, with the overlay shown and after, and its
// wake-ups per second (context switches of all its threads) while idle before and after.
// Usage: bench_overlay_rig [RUNS] [--shots DIR | --app TRELLICK]

#include <QApplication>
#include <QElapsedTimer>
#include <QIcon>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "OverlayProbe.h"
#include "Rig.h"
#include "common/QtLoop.h"
#include "overlay/HUDController.h"
#include "platform/desktop/QtMainQueue.h"
#include "platform/x11/X11CompositorSupport.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11Panel.h"

using namespace trellick;

using bench::pumpUntil;
using bench::settle;
using bench::Stats;

namespace {

// The desktop's appearance as the bench chooses it.
class ChosenAppearance : public AppearanceSource {
public:
    Appearance current() const override { return current_; }
    Subscription subscribe(std::function<void(const Appearance&)> handler) override {
        handler(current_);
        return changed_.connect(std::move(handler));
    }
    void set(ColorScheme scheme) {
        current_.scheme = scheme;
        changed_.notify(current_);
    }

private:
    Appearance current_;
    Signal<Appearance> changed_;
};

std::vector<SwitchTarget> targets() {
    const char* apps[][3] = {{"utilities-terminal", "Terminal", "~/src/trellick — make"},
                             {"accessories-text-editor", "Text Editor", "design.md"},
                             {"web-browser", "Web", "Qt Documentation"},
                             {"system-file-manager", "Files", "Downloads"},
                             {"mail-send-receive", "Mail", "Inbox (3)"},
                             {"accessories-calculator", "Calculator", "Calculator"},
                             {"x-office-calendar", "Calendar", "December"},
                             {"help-browser", "Help", "Getting Started"},
                             {"preferences-system", "Settings", "Touchpad"},
                             {"applications-games", "Games", "Mines"},
                             {"image-x-generic", "Image Viewer", "shot.png"},
                             {"audio-x-generic", "Music", "Playlist"}};
    std::vector<SwitchTarget> out;
    for (auto& a : apps) {
        SwitchTarget t;
        t.icon = IconHandle{a[0], nullptr};
        t.title = a[1];
        t.subtitle = a[2];
        out.push_back(std::move(t));
    }
    return out;
}

// Our own view of the server: the panel's map state and rows of its pixels.
struct Observer {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    ~Observer() { xcb_disconnect(c); }

    bool viewable(xcb_window_t w) {
        auto* a = xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, w), nullptr);
        bool v = a && a->map_state == XCB_MAP_STATE_VIEWABLE;
        free(a);
        return v;
    }
    // Three full-width rows (a quarter, half and three quarters down): where the card, the
    // plate, the icons and the caption show.
    std::vector<uint8_t> rows(const rig::ShownWindow& w) {
        std::vector<uint8_t> out;
        for (int k = 1; k <= 3; ++k) {
            auto* img = xcb_get_image_reply(
                c,
                xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, w.id, 0, static_cast<int16_t>(w.height * k / 4),
                              static_cast<uint16_t>(w.width), 1, ~0u),
                nullptr);
            if (!img) return {};
            const uint8_t* d = xcb_get_image_data(img);
            out.insert(out.end(), d, d + xcb_get_image_data_length(img));
            free(img);
        }
        return out;
    }
};

// Share of the bytes of `a` within 16 of `b`'s (0 when the sizes differ).
double likeness(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    if (a.size() != b.size() || a.empty()) return 0;
    std::size_t same = 0;
    for (std::size_t i = 0; i < a.size(); ++i) same += std::abs(int(a[i]) - int(b[i])) <= 16;
    return double(same) / double(a.size());
}

double ms(const QElapsedTimer& t) {
    return double(t.nsecsElapsed()) / 1e6;
}

class Bench {
public:
    Bench(HUDController& hud, Observer& obs) : hud_(hud), obs_(obs) {}

    void show(int cursor) {
        hud_.showList(recents_, cursor, favourites_, 0, SwitcherRow::recents, HUDLabelStyle::caption, HUDStyle::modern,
                      true);
    }
    // Shows and settles the panel, and finds its window.
    bool showSettled(int cursor) {
        show(cursor);
        std::vector<rig::ShownWindow> shown;
        if (!pumpUntil([&] { return (shown = rig::shownOverrideRedirect(obs_.c, obs_.root, getpid())).size() == 1; }))
            return false;
        panel_ = shown[0];
        settle(0.8);
        return true;
    }
    bool hideAndWait() {
        hud_.hide();
        return pumpUntil([&] { return !obs_.viewable(panel_.id); });
    }

    void measure(int runs, Stats& reveal, Stats& step) {
        // What a settled showing looks like with the cursor on entry 1 and on entry 2. The
        // reveals alternate between them, so pixels left from the showing before never pass.
        std::vector<uint8_t> settled[2];
        for (int k = 0; k < 2; ++k) {
            if (!showSettled(1 + k)) return;
            settled[k] = obs_.rows(panel_);
            hideAndWait();
        }
        std::printf("(the two showings' sampled pixels are %.1f %% alike)\n", 100 * likeness(settled[0], settled[1]));
        for (int i = 0; i < runs; ++i) {
            settle(0.05);
            QElapsedTimer t;
            t.start();
            show(1 + i % 2);
            if (pumpUntil(
                    [&] { return obs_.viewable(panel_.id) && likeness(obs_.rows(panel_), settled[i % 2]) > 0.999; }))
                reveal.v.push_back(ms(t));
            if (!hideAndWait()) return;
        }
        showSettled(1);
        for (int i = 0; i < runs; ++i) {
            const int cursor = 1 + (i + 1) % 2;  // back and forth between two entries
            settle(0.7);                         // the previous step's slide is over
            const std::vector<uint8_t> before = obs_.rows(panel_);
            QElapsedTimer t;
            t.start();
            show(cursor);
            if (pumpUntil([&] { return obs_.rows(panel_) != before; })) step.v.push_back(ms(t));
        }
        hideAndWait();
    }

    void screenshot(const std::string& file, const std::string& display) {
        showSettled(1);
        const int m = 60;  // enough for the shadow
        char geometry[64];
        std::snprintf(geometry, sizeof geometry, "%dx%d+%d+%d", panel_.width + 2 * m, panel_.height + 2 * m,
                      panel_.x - m, panel_.y - m);
        std::string cmd = "import -display " + display + " -window root -crop " + geometry + " +repage " + file;
        if (rig::run(cmd) != 0) std::fprintf(stderr, "bench_overlay_rig: could not write %s\n", file.c_str());
        hideAndWait();
    }

private:
    HUDController& hud_;
    Observer& obs_;
    std::vector<SwitchTarget> recents_ = targets();
    std::vector<SwitchTarget> favourites_ = {recents_[3], recents_[1]};
    rig::ShownWindow panel_;
};

// The sum over a process's threads of a /proc status counter ("voluntary_ctxt_switches",
// "VmRSS" from the process's own status), 0 when it is gone.
long procCounter(pid_t pid, const std::string& key, bool threads) {
    long sum = 0;
    auto read = [&](const std::string& status) {
        std::ifstream in(status);
        for (std::string line; std::getline(in, line);)
            if (line.rfind(key + ":", 0) == 0) sum += std::atol(line.c_str() + key.size() + 1);
    };
    const std::string dir = "/proc/" + std::to_string(pid);
    if (!threads) {
        read(dir + "/status");
    } else {
        std::error_code ec;
        for (const auto& t : std::filesystem::directory_iterator(dir + "/task", ec))
            read(t.path().string() + "/status");
    }
    return sum;
}

long wakeups(pid_t pid) {
    return procCounter(pid, "voluntary_ctxt_switches", true) + procCounter(pid, "nonvoluntary_ctxt_switches", true);
}

void sleepFor(double seconds) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

// The tray application's footprint around one held walk.
int measureApp(rig::Rig& rig, const std::string& trellick) {
    for (const char* cls : {"AlphaWin", "BetaWin", "GammaWin"}) rig.window(cls, cls);
    std::filesystem::create_directories(rig.tmp() + "/config/trellick");
    std::ofstream(rig.tmp() + "/config/trellick/preferences.json")
        << R"({"trellick.mode": "directionalMRU", "trellick.granularity": "window", "trellick.onboarded": true})";
    {
        // Fingers down at 6 s, the overlay shown from about 6.3 s until the lift at 12.5 s.
        std::ofstream out(rig.tmp() + "/walk.frames");
        out << "0.000\n";
        char line[128];
        for (int f = 0; f < 50; ++f) {
            double dx = 0.005 * std::max(0, f - 5);
            std::snprintf(line, sizeof line, "%.3f %.4f 0.5 %.4f 0.53 %.4f 0.5\n", 6 + 0.01 * f, 0.3 + dx, 0.4 + dx,
                          0.5 + dx);
            out << line;
        }
        out << "12.500 0.5200 0.5 0.6200 0.53 0.7200 0.5\n12.510\n";
    }
    sleepFor(1.0);  // the windows are up
    pid_t app = rig::spawn({trellick, "--replay", rig.tmp() + "/walk.frames"}, rig.tmp() + "/trellick.err");
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const bool connected = rig::waitFor(
        [&] { return rig::run("xwininfo -root -children | grep -q 'Trellick window tracking'") == 0; }, 20.0);
    if (!connected) {
        std::fprintf(stderr, "bench_overlay_rig: %s never connected\n", trellick.c_str());
        rig::stop(app);
        return 1;
    }
    const double start = rig::monotonicNow();
    auto at = [&](double t) { sleepFor(std::max(0.0, start + t - rig::monotonicNow())); };
    auto mb = [&] { return double(procCounter(app, "VmRSS", false)) / 1024; };
    at(1.0);
    long w0 = wakeups(app);
    at(5.0);
    const double idleWakeups = double(wakeups(app) - w0) / 4.0, idleRss = mb();
    at(9.0);
    const bool shown = !rig::shownOverrideRedirect(c, root, app).empty();
    const double shownRss = mb();
    at(15.0);
    w0 = wakeups(app);
    at(19.0);
    const double afterWakeups = double(wakeups(app) - w0) / 4.0, afterRss = mb();
    const double peak = double(procCounter(app, "VmHWM", false)) / 1024;
    rig::stop(app);
    xcb_disconnect(c);
    std::printf("%s\n", trellick.c_str());
    std::printf("  resident: idle %.1f MB, walk held %.1f MB (overlay %s), after %.1f MB, peak %.1f MB\n", idleRss,
                shownRss, shown ? "shown" : "not shown", afterRss, peak);
    std::printf("  wake-ups per second while idle: %.2f before the walk, %.2f after it\n", idleWakeups, afterWakeups);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 30;
    std::string shots, trellick;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--shots") == 0 && i + 1 < argc)
            shots = argv[++i];
        else if (std::strcmp(argv[i], "--app") == 0 && i + 1 < argc)
            trellick = argv[++i];
        else
            runs = std::max(1, std::atoi(argv[i]));
    }
    rig::Rig rig;
    std::string why;
    if (!rig.start(&why)) {
        std::fprintf(stderr, "bench_overlay_rig: no X11 rig: %s\n", why.c_str());
        return 1;
    }
    if (!trellick.empty()) return measureApp(rig, trellick);
    if (rig::run("command -v xcompmgr") != 0) {
        std::fprintf(stderr, "bench_overlay_rig: xcompmgr is not installed\n");
        return 1;
    }
    // Something to see behind the panel.
    rig.window("AlphaWin", "Alpha");
    rig.window("BetaWin", "Beta", {"--count", "2"});

    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    // The icons above are named as in GNOME's theme; a bare openbox session names no theme.
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor")) QIcon::setThemeName("Adwaita");
    auto queue = std::make_shared<desktop::QtMainQueue>();
    auto opened = x11::X11Connection::open(queue);
    if (!opened) {
        std::fprintf(stderr, "bench_overlay_rig: %s\n", opened.error().reason.c_str());
        return 1;
    }
    auto conn = opened.value();
    auto compositor = x11::X11CompositorSupport::create(conn);
    conn->startReading();
    auto appearance = std::make_shared<ChosenAppearance>();
    auto hud = x11::makeHUDController(appearance, compositor);
    Observer obs;
    Bench bench(*hud, obs);

    for (bool composited : {false, true}) {
        pid_t xcompmgr = -1;
        if (composited) {
            xcompmgr = rig::spawn({"xcompmgr", "-n"});
            if (!pumpUntil([&] { return compositor->compositorActive(); })) {
                std::fprintf(stderr, "bench_overlay_rig: xcompmgr did not start\n");
                return 1;
            }
        }
        const char* kind = composited ? "composited" : "opaque";
        if (!shots.empty()) {
            for (ColorScheme scheme : {ColorScheme::light, ColorScheme::dark}) {
                appearance->set(scheme);
                bench.screenshot(
                    shots + "/overlay-" + kind + (scheme == ColorScheme::dark ? "-dark" : "-light") + ".png",
                    rig.display);
            }
            appearance->set(ColorScheme::light);
        } else {
            Stats reveal, step;
            bench.measure(runs, reveal, step);
            reveal.print((std::string("reveal -> painted, mapped (") + kind + ")").c_str());
            step.print((std::string("step -> repainted (") + kind + ")").c_str());
        }
        if (xcompmgr > 0) rig::stop(xcompmgr);
        pumpUntil([&] { return !compositor->compositorActive(); });
    }
    hud.reset();
    return 0;
}
