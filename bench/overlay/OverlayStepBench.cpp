// The overlay's work per cursor step: HUDController::showList, then a whole repaint of the
// panel (offscreen, the modern style, icons and texts already made), as the panel's paint
// event does it: translucent with a compositor, opaque and cut to the card without one, and
// at device pixel ratio 2 (the arguments: ratio, composited). bench_overlay_rig times the
// same on the X server. Counts the heap allocations of a step (every malloc in the process, Qt's
// included) next to the time: a step inside an unchanged window should make nothing new.
// Also the CPU side of a reveal: a fresh showing measured, laid out and painted.

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <ctime>

#include "overlay/HUDController.h"
#include "overlay/ImagePanel.h"

extern "C" void* __libc_malloc(std::size_t);
extern "C" void* __libc_calloc(std::size_t, std::size_t);
extern "C" void* __libc_realloc(void*, std::size_t);

namespace {
std::atomic<long> mallocs{0};
}

// Counts every allocation of the process (glibc: the executable's definitions win).
extern "C" void* malloc(std::size_t n) {
    mallocs.fetch_add(1, std::memory_order_relaxed);
    return __libc_malloc(n);
}
extern "C" void* calloc(std::size_t n, std::size_t s) {
    mallocs.fetch_add(1, std::memory_order_relaxed);
    return __libc_calloc(n, s);
}
extern "C" void* realloc(void* p, std::size_t n) {
    mallocs.fetch_add(1, std::memory_order_relaxed);
    return __libc_realloc(p, n);
}

namespace trellick {
namespace {

struct Screen : ScreenLocator {
    QPointF pointer() const override { return {960, 540}; }
    std::vector<QRectF> screens() const override { return {QRectF(0, 0, 1920, 1080)}; }
    std::optional<QRectF> primary() const override { return QRectF(0, 0, 1920, 1080); }
};

std::vector<SwitchTarget> targets(int n) {
    std::vector<SwitchTarget> out;
    for (int i = 0; i < n; ++i) {
        SwitchTarget t;
        t.title = "Application " + std::to_string(i);
        t.subtitle = "A window title that is long enough to be elided " + std::to_string(i);
        out.push_back(std::move(t));
    }
    return out;
}

// CPU time of the whole process: Qt's raster engine hands large fills to a thread pool.
double processCpu() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

struct Rig {
    ImagePanel* panel = nullptr;
    HUDController hud{[this](const HUDModel& live) {
                          auto p = std::make_unique<ImagePanel>(live, now);
                          panel = p.get();
                          return p;
                      },
                      std::make_shared<Screen>()};
    std::vector<SwitchTarget> recents, favourites = targets(2);
    QImage image;
    void step(int s) {
        hud.showList(recents, s, favourites, 0, SwitcherRow::recents, HUDLabelStyle::caption, HUDStyle::modern, true);
        panel->renderInto(image);
    }
};

// `cursor(i)` gives the cursor of step i.
template <typename Cursor>
void runSteps(benchmark::State& state, int n, Cursor cursor) {
    Rig rig;
    rig.recents = targets(n);
    rig.step(cursor(0));
    rig.panel->renderer().setDevicePixelRatio(static_cast<double>(state.range(0)));
    rig.panel->renderer().setComposited(state.range(1) != 0);
    for (int i = 0; i < 40; ++i) rig.step(cursor(i));  // every entry seen, every icon and text made
    long i = 0, before = mallocs.load();
    double cpu = processCpu();
    for (auto _ : state) rig.step(cursor(i++));
    state.counters["mallocs/step"] = static_cast<double>(mallocs.load() - before) / static_cast<double>(i);
    state.counters["processCpu/step_us"] = (processCpu() - cpu) * 1e6 / static_cast<double>(i);
}

// Back and forth over the first five entries of twenty: the window stays where it is.
void BM_StepInsideWindow(benchmark::State& state) {
    runSteps(state, 20, [](long i) { return static_cast<int>(i % 8 < 4 ? i % 8 : 8 - i % 8); });
}

// Back and forth in the middle of forty: the window slides with every step.
void BM_StepSlidingWindow(benchmark::State& state) {
    runSteps(state, 40, [](long i) { return static_cast<int>(10 + (i % 20 < 10 ? i % 20 : 20 - i % 20)); });
}

// A fresh showing: both rows measured, laid out, painted.
void BM_Reveal(benchmark::State& state) {
    Rig rig;
    rig.recents = targets(12);
    rig.step(1);
    long i = 0, before = mallocs.load();
    double cpu = processCpu();
    for (auto _ : state) {
        rig.hud.hide();
        rig.step(1);
        ++i;
    }
    state.counters["mallocs/reveal"] = static_cast<double>(mallocs.load() - before) / static_cast<double>(i);
    state.counters["processCpu/reveal_us"] = (processCpu() - cpu) * 1e6 / static_cast<double>(i);
}

BENCHMARK(BM_StepInsideWindow)->Unit(benchmark::kMicrosecond)->ArgsProduct({{1, 2}, {1, 0}});
BENCHMARK(BM_StepSlidingWindow)->Unit(benchmark::kMicrosecond)->ArgsProduct({{1, 2}, {1, 0}});
BENCHMARK(BM_Reveal)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace trellick

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
