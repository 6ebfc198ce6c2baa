// The overlay's layer-shell panel on a private headless sway, timed by the compositor's frame
// callbacks (the compositor has taken the committed frame to the output):
//  - reveal: from the showing to its first frame presented;
//  - step: from a cursor step (the springs at rest) to the repainted frame presented;
// the median and the slowest of RUNS. With --app TRELLICK it measures instead that tray
// application in the rig's session, fed a held walk by --replay: its resident memory idle, with
// the overlay shown and after; with --shot FILE also a screenshot of the shown overlay, cut to
// the overlay and its surroundings. With --kwin all that on a private `kwin_wayland --virtual`
// with its blur effect, screenshots through KWin's D-Bus interface.
// Usage: bench_wayland_overlay_rig [--kwin] [RUNS] [--app TRELLICK [--shot FILE]]

#include <sys/wait.h>

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "KWinScreenshot.h"
#include "WaylandRig.h"
#include "common/QtLoop.h"
#include "overlay/HUDModel.h"
#include "platform/wayland/LayerShellPanel.h"

using namespace trellick;

using bench::pumpUntil;
using bench::settle;
using bench::Stats;

namespace {

std::vector<SwitchTarget> targets() {
    const char* apps[][2] = {{"utilities-terminal", "Terminal"},
                             {"accessories-text-editor", "Text Editor"},
                             {"web-browser", "Web"},
                             {"system-file-manager", "Files"},
                             {"mail-send-receive", "Mail"},
                             {"accessories-calculator", "Calculator"}};
    std::vector<SwitchTarget> out;
    for (auto& a : apps) {
        SwitchTarget t;
        t.icon = IconHandle{a[0], nullptr};
        t.title = a[1];
        out.push_back(std::move(t));
    }
    return out;
}

int measurePanel(rig::WaylandRig& rig, int runs) {
    auto opened = wayland::WaylandConnection::open(rig.socket.c_str());
    if (!opened) {
        std::fprintf(stderr, "bench_wayland_overlay_rig: %s\n", opened.error().reason.c_str());
        return 1;
    }
    HUDModel model;
    model.visible.set(targets());
    model.recentsCount.set(static_cast<int>(targets().size()));
    wayland::LayerShellPanel panel(opened.value(), model, nullptr);
    int presented = 0;
    panel.setFramePresented([&] { ++presented; });
    panel.setFrame(QRectF(QPointF(0, 0), panel.fittingSize(model)));

    Stats reveal, step;
    for (int i = 0; i < runs; ++i) {
        settle(0.05);
        const int before = presented;
        QElapsedTimer t;
        t.start();
        panel.show(0);
        if (pumpUntil([&] { return presented > before; })) reveal.v.push_back(double(t.nsecsElapsed()) / 1e6);
        panel.hide();
    }
    panel.show(0);
    for (int i = 0; i < runs; ++i) {
        settle(0.7);  // the previous step's slide is over
        const int before = presented;
        QElapsedTimer t;
        t.start();
        model.selected.set(1 + (i + 1) % 2);  // back and forth between two entries
        if (pumpUntil([&] { return presented > before; })) step.v.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    panel.hide();
    reveal.print("reveal -> first frame presented");
    step.print("cursor step -> repaint presented");
    return 0;
}

long vmKilobytes(pid_t pid, const std::string& key) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind(key + ":", 0) == 0) return std::atol(line.c_str() + key.size() + 1);
    return 0;
}

std::string readAll(const std::string& file) {
    std::stringstream ss;
    ss << std::ifstream(file).rdbuf();
    return ss.str();
}

// The box of the pixels that differ between two pictures of the same size.
QRect changed(const QImage& before, const QImage& after) {
    QRect box;
    if (before.size() != after.size()) return box;
    for (int y = 0; y < after.height(); ++y)
        for (int x = 0; x < after.width(); ++x)
            if (before.pixel(x, y) != after.pixel(x, y)) box |= QRect(x, y, 1, 1);
    return box;
}

// The tray application's footprint around one held walk, among windows of installed
// applications (their desktop entries give the icons).
int measureApp(rig::WaylandRig& rig, const std::string& trellick, const std::string& shot, bool kwin) {
    const char* windows[][2] = {
        {"foot", "~/src/trellick — make"}, {"vim", "design.md"}, {"display-im6.q16", "overlay.png"}};
    for (auto& w : windows) {
        rig.window(w[0], w[1]);
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
    }
    const std::string config = rig.tmp() + "/xdg-config";
    std::filesystem::create_directories(config + "/trellick");
    std::ofstream(config + "/trellick/preferences.json")
        << R"({"trellick.mode": "directionalMRU", "trellick.granularity": "window", "trellick.onboarded": true})";
    {
        // Fingers down at 6 s, the overlay shown from about 6.3 s until the lift at 12.5 s.
        std::ofstream out(rig.tmp() + "/walk.frames");
        out << "0.000\n";
        char line[128];
        for (int f = 0; f < 50; ++f) {
            const double dx = 0.005 * std::max(0, f - 5);
            std::snprintf(line, sizeof line, "%.3f %.4f 0.5 %.4f 0.53 %.4f 0.5\n", 6 + 0.01 * f, 0.3 + dx, 0.4 + dx,
                          0.5 + dx);
            out << line;
        }
        out << "12.500 0.5200 0.5 0.6200 0.53 0.7200 0.5\n12.510\n";
    }
    rig.giveToUser(config);
    const std::string err = rig.tmp() + "/trellick.err";
    auto picture = [&](const std::string& name) {
        if (kwin) return rig::kwinScreenshot(rig.busAddress);
        const std::string file = rig.runtimeDir() + "/" + name;
        return rig.runToEnd({"grim", file}) == 0 ? QImage(QString::fromStdString(file)) : QImage();
    };
    const QImage before = picture("before.png");
    const double start = rig::monotonicNow();
    pid_t app = rig.spawnInSession({trellick, "--replay", rig.tmp() + "/walk.frames"}, err,
                                   {{"XDG_CONFIG_HOME", config},
                                    {"QT_LOGGING_RULES", "trellick.*.debug=true"},
                                    {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + rig.tmp() + "/no-bus"}});
    auto at = [&](double t) {
        std::this_thread::sleep_for(std::chrono::duration<double>(std::max(0.0, start + t - rig::monotonicNow())));
    };
    auto mb = [&] { return double(vmKilobytes(app, "VmRSS")) / 1024; };
    at(5.0);
    const double idle = mb();
    at(9.0);
    const bool shown = readAll(err).find("picker opened") != std::string::npos;
    const double held = mb();
    if (!shot.empty()) {
        const QImage during = picture("during.png");
        const QRect box = changed(before, during);
        if (box.isEmpty()) {
            std::fprintf(stderr, "bench_wayland_overlay_rig: the overlay does not show in the screenshot\n");
        } else {
            const int m = 40;  // the card's shadow and a little of the windows around it
            during.copy(box.adjusted(-m, -m, m, m) & during.rect()).save(QString::fromStdString(shot));
        }
    }
    at(15.0);
    const double after = mb();
    const double peak = double(vmKilobytes(app, "VmHWM")) / 1024;
    rig.quit(app);
    std::printf("%s on %s\n", trellick.c_str(), kwin ? "KWin" : "sway");
    std::printf("  resident: idle %.1f MB, walk held %.1f MB (overlay %s), after %.1f MB, peak %.1f MB\n", idle, held,
                shown ? "shown" : "NOT shown", after, peak);
    return shown ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 30;
    bool kwin = false;
    std::string trellick, shot;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--kwin") == 0)
            kwin = true;
        else if (std::strcmp(argv[i], "--app") == 0 && i + 1 < argc)
            trellick = argv[++i];
        else if (std::strcmp(argv[i], "--shot") == 0 && i + 1 < argc)
            shot = argv[++i];
        else
            runs = std::max(1, std::atoi(argv[i]));
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    rig::WaylandRig rig;
    std::string why;
    // KWin names a client's program by its real path.
    if (!trellick.empty() && std::filesystem::exists(trellick)) trellick = std::filesystem::canonical(trellick);
    const auto entries = trellick.empty() ? rig::kwinEntries() : rig::kwinEntries({trellick});
    if (!(kwin ? rig.startKWin(&why, entries) : rig.start(&why))) {
        std::fprintf(stderr, "bench_wayland_overlay_rig: no Wayland rig: %s\n", why.c_str());
        return 1;
    }
    if (kwin && !rig::loadKWinBlur(rig.busAddress))
        std::fprintf(stderr, "bench_wayland_overlay_rig: KWin's blur effect did not load\n");
    return trellick.empty() ? measurePanel(rig, runs) : measureApp(rig, trellick, shot, kwin);
}
