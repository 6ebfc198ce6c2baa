// Time per contact frame through the gesture engine: a toggle-mode swipe and a long
// directional walk (engage, reveal, walk back and forth, up into favourites, down toward a
// cancel, lift). Posted main-thread work is run too, after each gesture.

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

#include "gesture/MultitouchMonitor.h"
#include "settings/SettingsStore.h"
#include "simulation/Simulation.h"
#include "simulation/VirtualTime.h"

namespace trellick {
namespace {

struct Frame {
    double t;
    std::vector<TouchContact> fingers;
};

std::vector<TouchContact> three(float cx, float cy) {
    return {sim::finger(cx - 0.1f, cy), sim::finger(cx, cy + 0.02f), sim::finger(cx + 0.1f, cy - 0.02f)};
}

std::vector<Frame> toggleSwipe() {
    std::vector<Frame> fs;
    for (int i = 0; i < 40; ++i) fs.push_back({i * 0.008, three(0.3f + 0.01f * static_cast<float>(i), 0.5f)});
    fs.push_back({0.33, {}});
    return fs;
}

std::vector<Frame> longWalk() {
    std::vector<Frame> fs;
    double t = 0;
    auto at = [&](float x, float y) { fs.push_back({t += 0.008, three(x, y)}); };
    at(0.2f, 0.5f);
    at(0.2f, 0.5f);
    for (int round = 0; round < 4; ++round) {
        for (int i = 0; i < 150; ++i) at(0.2f + 0.004f * static_cast<float>(i), 0.5f);  // forward
        for (int i = 150; i > 0; --i) at(0.2f + 0.004f * static_cast<float>(i), 0.5f);  // back
    }
    for (int i = 0; i < 30; ++i) at(0.2f, 0.5f + 0.006f * static_cast<float>(i));  // favourites
    for (int i = 0; i < 60; ++i) at(0.2f + 0.003f * static_cast<float>(i), 0.68f);
    for (int i = 0; i < 100; ++i) at(0.38f, 0.68f - 0.006f * static_cast<float>(i));  // toward cancel
    for (int i = 0; i < 60; ++i) at(0.38f, 0.08f + 0.006f * static_cast<float>(i));
    fs.push_back({t += 0.008, {}});
    return fs;
}

struct Engine {
    std::shared_ptr<sim::VirtualTime> time = std::make_shared<sim::VirtualTime>();
    MemoryPreferencesStore prefs;
    sim::SimulatedLoginItem login;
    std::shared_ptr<SettingsStore> settings;
    std::shared_ptr<MultitouchMonitor> monitor;

    explicit Engine(SwitchMode mode) {
        settings = std::make_shared<SettingsStore>(prefs, login);
        settings->mode.set(mode);
        settings->favouriteApps.set({"a", "b", "c"});
        std::vector<std::string> names;
        for (int i = 0; i < 30; ++i) names.push_back("window " + std::to_string(i));
        auto switcher = std::make_shared<sim::SimulatedRecents>(names);
        MultitouchMonitor::Collaborators c;
        c.settings = settings;
        c.appTracker = switcher;
        c.windowTracker = switcher;
        c.favourites = std::make_shared<sim::SimulatedFavourites>();
        c.hud = std::make_shared<NullHUD>();
        c.mainQueue = time;
        c.scrollBlocker = std::make_shared<sim::SimulatedScrollBlocker>();
        c.keyMonitor = std::make_shared<sim::SimulatedKeyMonitor>();
        c.haptics = std::make_shared<Haptics>(std::make_shared<sim::RecordingHaptics>(), time);
        monitor = MultitouchMonitor::create(std::move(c));
    }

    void run(const std::vector<Frame>& frames, double offset) {
        for (const auto& f : frames) {
            monitor->handleFrame(f.fingers.data(), static_cast<int>(f.fingers.size()), offset + f.t);
        }
        time->drain();
    }
};

void runGesture(benchmark::State& state, SwitchMode mode, const std::vector<Frame>& frames) {
    Engine engine(mode);
    double offset = 0;
    for (auto _ : state) {
        engine.run(frames, offset);
        offset += 100;
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(frames.size()));
    state.counters["frames"] = static_cast<double>(frames.size());
    state.counters["ns_per_frame"] = benchmark::Counter(static_cast<double>(state.iterations() * frames.size()),
                                                        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_ToggleSwipe(benchmark::State& state) {
    runGesture(state, SwitchMode::toggleLastApp, toggleSwipe());
}
void BM_DirectionalWalk(benchmark::State& state) {
    runGesture(state, SwitchMode::directionalMRU, longWalk());
}

BENCHMARK(BM_ToggleSwipe);
BENCHMARK(BM_DirectionalWalk);

}  // namespace
}  // namespace trellick

BENCHMARK_MAIN();
