// Measures, on a private headless sway, the time from the lift frame of a toggle-mode
// three-finger swipe to the previously used toplevel reported `activated` (the engine's
// decision, the main-queue hand-over, the tracker's activation request, the compositor's work
// and its `done` back to us), against the floor: a bare client's `activate` of the same toplevel
// to its `activated`, measured over a connection of its own in the same run, interleaved.
// Prints both medians, and the time to connect and list the windows. With --kwin the same on a private `kwin_wayland
// --virtual`, through KWin's window management (the bare client's floor: set_state(active) to the active state). Usage:
// bench_wayland_switch_latency [--kwin] [RUNS]

#include <QCoreApplication>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "WaylandRig.h"
#include "common/ToggleEngine.h"
#include "platform/wayland/KdeWindowSystem.h"
#include "platform/wayland/WaylandWindowSystem.h"
#include "simulation/VirtualTime.h"

using namespace trellick;

namespace {

std::shared_ptr<WindowSystem> connect(const std::string& socket, bool kwin) {
    auto opened = wayland::WaylandConnection::open(socket.c_str());
    if (!opened) return nullptr;
    if (kwin) return wayland::KdeWindowSystem::create(opened.value());
    return wayland::WaylandWindowSystem::create(opened.value(), "");
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const bool kwin = argc > 1 && std::string(argv[1]) == "--kwin";
    const int first = kwin ? 2 : 1;
    int runs = argc > first ? std::max(1, std::atoi(argv[first])) : 41;
    QCoreApplication app(argc, argv);
    rig::WaylandRig rig;
    std::string why;
    if (!(kwin ? rig.startKWin(&why, rig::kwinEntries()) : rig.start(&why))) {
        std::fprintf(stderr, "bench_wayland_switch_latency: no Wayland rig: %s\n", why.c_str());
        return 1;
    }
    // Virtual time that follows the real clock: the queue and Qt's events are pumped in a loop.
    auto queue = std::make_shared<sim::VirtualTime>(rig::monotonicNow());
    auto pump = [&] {
        QCoreApplication::processEvents();
        queue->advanceTo(rig::monotonicNow());
    };
    auto windows = connect(rig.socket, kwin);
    auto bare = connect(rig.socket, kwin);
    if (!windows || !bare || !windows->windowControlAvailable()) {
        std::fprintf(stderr, "bench_wayland_switch_latency: no window control on the rig\n");
        return 1;
    }
    bench::ToggleEngine engine(windows, queue);
    auto& windowTracker = engine.windowTracker;

    for (const char* appId : {"AlphaWin", "BetaWin", "GammaWin"}) {
        rig.window(appId, appId);
        rig::waitFor(
            [&] { return windowTracker->mru().size() > 0 && windows->title(windowTracker->mru().front().id) == appId; },
            10.0, pump);
    }
    if (windowTracker->mru().size() < 3) {
        std::fprintf(stderr, "bench_wayland_switch_latency: the windows did not appear\n");
        return 1;
    }
    // Connecting (KWin checks the client's desktop entry then), and listing: a window system made
    // on that connection, reading the three windows and their state.
    std::vector<double> connects, listings;
    for (int i = 0; i < 11; ++i) {
        const double start = rig::monotonicNow();
        auto opened = wayland::WaylandConnection::open(rig.socket.c_str());
        if (!opened) continue;
        const double connected = rig::monotonicNow();
        std::shared_ptr<WindowSystem> lister;
        if (kwin)
            lister = wayland::KdeWindowSystem::create(opened.value());
        else
            lister = wayland::WaylandWindowSystem::create(opened.value(), "");
        if (lister->clientList().size() < 3) continue;
        connects.push_back((connected - start) * 1000.0);
        listings.push_back((rig::monotonicNow() - connected) * 1000.0);
    }
    // Waits until `expected` is activated as `observer` sees it; the milliseconds since `start`.
    auto activatedAfter = [&](WindowSystem& observer, WindowId expected, double start) {
        for (double deadline = start + 2.0; rig::monotonicNow() < deadline;) {
            pump();
            if (observer.activeWindow() == expected) return (rig::monotonicNow() - start) * 1000.0;
        }
        return -1.0;
    };

    std::vector<double> lifts, floors;
    for (int run = 0; run < runs; ++run) {
        // The lift: a toggle swipe, held, slid 0.2 to the right in 10 ms steps, lifted.
        WindowId expected = windowTracker->mru()[1].id;
        double t = rig::monotonicNow();
        engine.swipe(t, pump);
        double start = rig::monotonicNow();
        engine.touch->deliver("pad", {}, start);
        if (double ms = activatedAfter(*windows, expected, start); ms >= 0) lifts.push_back(ms);
        rig::waitFor([&] { return windowTracker->mru().front().id == expected; }, 2.0, pump);
        rig::waitFor([] { return false; }, 0.05, pump);

        // The floor: the other toplevel of the pair, activated directly by a bare client.
        WindowId back = windowTracker->mru()[1].id;
        start = rig::monotonicNow();
        bare->activate(back);
        if (double ms = activatedAfter(*bare, back, start); ms >= 0) floors.push_back(ms);
        rig::waitFor([&] { return windowTracker->mru().front().id == back; }, 2.0, pump);
        rig::waitFor([] { return false; }, 0.05, pump);
    }
    engine.monitor->stop();
    if (lifts.empty() || floors.empty()) return 1;
    const double lift = median(lifts), floor = median(floors);
    std::printf("lift frame -> toplevel activated, %zu runs: median %.2f ms\n", lifts.size(), lift);
    std::printf("bare activate -> toplevel activated, %zu runs: median %.2f ms\n", floors.size(), floor);
    std::printf("ratio: %.2fx\n", lift / floor);
    if (!listings.empty())
        std::printf("connect: median %.2f ms; then list 3 windows: median %.2f ms\n", median(connects),
                    median(listings));
    return 0;
}
