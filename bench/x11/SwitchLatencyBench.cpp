// Measures, on a private Xvfb with openbox, the time from the lift frame of a toggle-mode
// three-finger swipe to the previously used window being active: the engine's decision, the
// main-queue hand-over, the window tracker's raise, the window manager's activation and its
// PropertyNotify back to us. Prints the median of repeated runs.
// Usage: bench_switch_latency [RUNS]

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "Rig.h"
#include "common/ToggleEngine.h"
#include "platform/fake/Fakes.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11WindowSystem.h"

using namespace trellick;
using namespace trellick::x11;

int main(int argc, char** argv) {
    int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 41;
    rig::Rig rig;
    std::string why;
    if (!rig.start(&why)) {
        std::fprintf(stderr, "bench_switch_latency: no X11 rig: %s\n", why.c_str());
        return 1;
    }
    // Virtual time that follows the real clock: the queue is pumped in a tight loop.
    auto clock = std::make_shared<fake::FakeClock>();
    clock->set(rig::monotonicNow());
    auto queue = std::make_shared<fake::FakeMainQueue>(clock);
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

    for (const char* cls : {"AlphaWin", "BetaWin", "GammaWin"}) rig.window(cls, cls);
    if (!rig::waitFor([&] { return windows->clientList().size() == 3; }, 10.0, pump)) {
        std::fprintf(stderr, "bench_switch_latency: the windows did not appear (%zu)\n", windows->clientList().size());
        return 1;
    }
    for (WindowId w : windows->clientList()) {
        rig.run("xdotool windowactivate --sync " + std::to_string(w));
        rig::waitFor([&] { return windowTracker->mru().size() > 0 && windowTracker->mru().front().id == w; }, 5.0,
                     pump);
    }

    std::vector<double> samples;
    for (int run = 0; run < runs; ++run) {
        if (windowTracker->mru().size() < 2) break;
        WindowId expected = windowTracker->mru()[1].id;
        // A toggle swipe: hold, slide 0.2 to the right in 10 ms steps, lift.
        double t = rig::monotonicNow();
        engine.swipe(t, pump);
        double start = rig::monotonicNow();
        engine.touch->deliver("pad", {}, start);  // the lift frame
        double end = 0;
        double deadline = start + 2.0;
        while (rig::monotonicNow() < deadline) {
            pump();
            if (windows->activeWindow() == expected) {
                end = rig::monotonicNow();
                break;
            }
        }
        if (end == 0) {
            std::fprintf(stderr, "run %d: the window did not become active\n", run);
            continue;
        }
        samples.push_back((end - start) * 1000.0);
        // Let the tracker see the activation before the next run.
        rig::waitFor([&] { return windowTracker->mru().front().id == expected; }, 2.0, pump);
        rig::waitFor([] { return false; }, 0.05, pump);
    }
    if (samples.empty()) return 1;
    std::sort(samples.begin(), samples.end());
    std::printf("lift frame -> window active, %zu runs: median %.2f ms, min %.2f ms, max %.2f ms\n", samples.size(),
                samples[samples.size() / 2], samples.front(), samples.back());
    engine.monitor->stop();
    return 0;
}
