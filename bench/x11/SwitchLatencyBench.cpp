// Measures, on a private Xvfb with openbox, the time from the lift frame of a toggle-mode
// three-finger swipe to the previously used window being active: the engine's decision, the
// main-queue hand-over, the window tracker's raise, the window manager's activation and its
// PropertyNotify back to us. Against it, in the same run and alternating with it, the floor: a
// bare _NET_ACTIVE_WINDOW request for the same switch, timed to the same PropertyNotify. Prints
// the medians and their ratio.
// Usage: bench_switch_latency [RUNS] [WINDOWS]  (WINDOWS open windows, at least 3; 3 by default)

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include "Rig.h"
#include "common/ToggleEngine.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11WindowSystem.h"
#include "simulation/VirtualTime.h"

using namespace trellick;
using namespace trellick::x11;

int main(int argc, char** argv) {
    int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 41;
    std::size_t count = argc > 2 ? static_cast<std::size_t>(std::max(3, std::atoi(argv[2]))) : 3;
    rig::Rig rig;
    std::string why;
    if (!rig.start(&why)) {
        std::fprintf(stderr, "bench_switch_latency: no X11 rig: %s\n", why.c_str());
        return 1;
    }
    // Virtual time that follows the real clock: the queue is pumped in a tight loop.
    auto queue = std::make_shared<sim::VirtualTime>(rig::monotonicNow());
    auto pump = [&] { queue->advanceTo(rig::monotonicNow()); };

    auto opened = X11Connection::open(queue);
    if (!opened) {
        std::fprintf(stderr, "bench_switch_latency: %s\n", opened.error().reason.c_str());
        return 1;
    }
    auto conn = opened.value();
    auto windows = X11WindowSystem::create(conn);
    bench::ToggleEngine engine(windows, queue);
    auto& windowTracker = engine.windowTracker;
    conn->startReading();

    for (std::size_t i = 0; i < count; ++i) rig.window("Win" + std::to_string(i), "Win" + std::to_string(i));
    if (!rig::waitFor([&] { return windows->clientList().size() == count; }, 10.0, pump)) {
        std::fprintf(stderr, "bench_switch_latency: the windows did not appear (%zu)\n", windows->clientList().size());
        return 1;
    }
    for (WindowId w : windows->clientList()) {
        rig.run("xdotool windowactivate --sync " + std::to_string(w));
        rig::waitFor([&] { return windowTracker->mru().size() > 0 && windowTracker->mru().front().id == w; }, 5.0,
                     pump);
    }

    // Times one switch to the second most recent window, started by `begin`; 0 when it failed.
    auto timeSwitch = [&](const std::function<void()>& begin) -> double {
        WindowId expected = windowTracker->mru()[1].id;
        double start = rig::monotonicNow();
        begin();
        double end = 0;
        for (double deadline = start + 2.0; rig::monotonicNow() < deadline;) {
            pump();
            if (windows->activeWindow() == expected) {
                end = rig::monotonicNow();
                break;
            }
        }
        // Let the tracker see the activation before the next run.
        rig::waitFor([&] { return windowTracker->mru().front().id == expected; }, 2.0, pump);
        rig::waitFor([] { return false; }, 0.05, pump);
        return end == 0 ? 0 : (end - start) * 1000.0;
    };

    std::vector<double> samples, floor;
    for (int run = 0; run < runs && windowTracker->mru().size() >= 2; ++run) {
        WindowId bare = windowTracker->mru()[1].id;
        if (double ms = timeSwitch([&] { windows->activate(bare); })) floor.push_back(ms);
        // A toggle swipe: hold, slide 0.2 to the right in 10 ms steps; timed from the lift.
        engine.swipe(rig::monotonicNow(), pump);
        double ms = timeSwitch([&] { engine.touch->deliver("pad", {}, rig::monotonicNow()); });
        if (ms == 0)
            std::fprintf(stderr, "run %d: the window did not become active\n", run);
        else
            samples.push_back(ms);
    }
    if (samples.empty() || floor.empty()) return 1;
    auto median = [](std::vector<double>& v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    double m = median(samples), f = median(floor);
    std::printf("lift frame -> window active, %zu runs: median %.2f ms, min %.2f ms, max %.2f ms\n", samples.size(), m,
                samples.front(), samples.back());
    std::printf("bare _NET_ACTIVE_WINDOW -> window active (floor), %zu runs: median %.2f ms\n", floor.size(), f);
    std::printf("ratio to the floor: %.2f\n", m / f);
    engine.monitor->stop();
    return 0;
}
