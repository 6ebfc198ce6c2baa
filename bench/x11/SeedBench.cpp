// Measures, on a private Xvfb with openbox, what starting the recency trackers costs the main
// thread now that they seed their lists from the stacking order: building the app tracker and
// starting the window tracker over a desktop of many windows, each a round trip or more per
// window to the X server. Title reads of the app tracker run on its own queue and are left out.
// Prints the median of repeated runs.
// Usage: bench_seed [RUNS] [CLIENTS] [WINDOWS_PER_CLIENT]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "Rig.h"
#include "platform/desktop/GioDesktopEntries.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11WindowSystem.h"
#include "settings/Diagnostics.h"
#include "simulation/SimulatedDesktop.h"
#include "simulation/VirtualTime.h"
#include "tracking/AppTracker.h"
#include "tracking/WindowTracker.h"
#include "tracking/WindowWorkspace.h"

using namespace trellick;
using namespace trellick::x11;

int main(int argc, char** argv) {
    int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 21;
    int clients = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
    int perClient = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
    rig::Rig rig;
    std::string why;
    if (!rig.start(&why)) {
        std::fprintf(stderr, "bench_seed: no X11 rig: %s\n", why.c_str());
        return 1;
    }
    auto queue = std::make_shared<sim::VirtualTime>(rig::monotonicNow());
    auto opened = X11Connection::open(queue);
    if (!opened) {
        std::fprintf(stderr, "bench_seed: %s\n", opened.error().reason.c_str());
        return 1;
    }
    auto conn = opened.value();
    auto windows = X11WindowSystem::create(conn);
    std::size_t total = static_cast<std::size_t>(clients) * static_cast<std::size_t>(perClient);
    for (int i = 0; i < clients; ++i)
        rig.window("Seed" + std::to_string(i), "seed", {"--count", std::to_string(perClient)});
    if (!rig::waitFor([&] { return windows->clientList().size() == total; }, 30.0)) {
        std::fprintf(stderr, "bench_seed: the windows did not appear (%zu of %zu)\n", windows->clientList().size(),
                     total);
        return 1;
    }
    rig::waitFor([] { return false; }, 1.0);  // let the manager finish placing and focusing them
    auto workspace = WindowWorkspace::create(windows, std::make_shared<desktop::GioDesktopEntries>());
    auto diagnostics = std::make_shared<Diagnostics>();
    auto titles = std::make_shared<sim::ManualWorkQueue>();

    std::vector<double> samples;
    std::size_t listed = 0;
    for (int run = 0; run < runs; ++run) {
        // No diagnostics for the window tracker: each run then gains window control afresh.
        auto start = std::chrono::steady_clock::now();
        auto appTracker = AppTracker::create({workspace, windows, queue, diagnostics, titles, 0});
        auto windowTracker =
            WindowTracker::create({workspace, windows, queue, std::weak_ptr<Diagnostics>(), titles, 0});
        windowTracker->start();
        auto end = std::chrono::steady_clock::now();
        samples.push_back(std::chrono::duration<double, std::milli>(end - start).count());
        listed = static_cast<std::size_t>(windowTracker->orderedCount() + appTracker->orderedCount());
    }
    std::sort(samples.begin(), samples.end());
    std::printf(
        "trackers started over %zu windows of %d clients (%zu entries listed), %zu runs: median %.2f ms, "
        "min %.2f ms, max %.2f ms\n",
        total, clients, listed, samples.size(), samples[samples.size() / 2], samples.front(), samples.back());
    return 0;
}
