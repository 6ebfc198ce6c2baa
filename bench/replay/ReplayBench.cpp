// Frames per second from recorded kernel events through frame assembly, and through assembly
// plus the gesture engine (with the main-thread work it posts), for each shared touchpad
// recording; the longest one (most frames) is the headline figure.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>

#include "gesture/MultitouchMonitor.h"
#include "platform/fake/Fakes.h"
#include "replay/FrameAssembler.h"
#include "replay/Recording.h"
#include "settings/SettingsStore.h"

namespace trellick {
namespace {

using input::FrameAssembler;
using input::Recording;

void assembleOnly(benchmark::State& state, const Recording& rec) {
    std::size_t frames = 0;
    for (auto _ : state) {
        FrameAssembler assembler(rec.device);
        for (const auto& e : rec.events) {
            if (assembler.feed(e)) {
                benchmark::DoNotOptimize(assembler.frame().data());
                ++frames;
            }
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(frames));
    state.counters["frames"] = double(frames) / double(state.iterations());
}

void assembleAndEngine(benchmark::State& state, const Recording& rec, const char* mode) {
    auto clock = std::make_shared<fake::FakeClock>();
    auto queue = std::make_shared<fake::FakeMainQueue>(clock);
    MemoryPreferencesStore prefs;
    prefs.set(keys::mode, PrefValue(std::string(mode)));
    fake::FakeLoginItemService loginItems;
    MultitouchMonitor::Collaborators c;
    c.settings = std::make_shared<SettingsStore>(prefs, loginItems);
    c.windowTracker = std::make_shared<fake::FakeSwitcher>(std::vector<std::string>{"a", "b", "c", "d", "e"});
    c.appTracker = c.windowTracker;
    c.favourites = std::make_shared<fake::FakeFavourites>();
    c.hud = std::make_shared<fake::FakeHUD>();
    auto diagnostics = std::make_shared<Diagnostics>();
    c.diagnostics = diagnostics;
    c.mainQueue = queue;
    c.scrollBlocker = std::make_shared<fake::FakeScrollBlocker>();
    c.keyMonitor = std::make_shared<fake::FakeKeyMonitor>();
    c.haptics = std::make_shared<Haptics>(std::make_shared<fake::FakeHaptics>(), clock);
    c.notifications = std::make_shared<NotificationCenter>();
    auto monitor = MultitouchMonitor::create(std::move(c));

    double base = 0;
    double span = rec.events.empty() ? 0 : rec.events.back().time + 1.0;
    std::size_t frames = 0;
    for (auto _ : state) {
        FrameAssembler assembler(rec.device);
        for (const auto& e : rec.events) {
            if (!assembler.feed(e)) continue;
            double t = base + assembler.frameTime();
            const auto& f = assembler.frame();
            monitor->handleFrame(f.data(), static_cast<int>(f.size()), t);
            queue->advanceTo(t);
            ++frames;
        }
        base += span;  // each pass is a later stretch of time
        queue->drain();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(frames));
    state.counters["frames"] = double(frames) / double(state.iterations());
}

}  // namespace
}  // namespace trellick

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    benchmark::Initialize(&argc, argv);
    static std::vector<std::pair<std::string, trellick::input::Recording>> recordings;
    if (fs::is_directory(TRELLICK_RECORDINGS_DIR)) {
        for (const auto& entry : fs::directory_iterator(TRELLICK_RECORDINGS_DIR)) {
            auto ext = entry.path().extension();
            if (ext != ".evemu" && ext != ".evtest" && ext != ".yml") continue;
            try {
                recordings.emplace_back(entry.path().stem().string(),
                                        trellick::input::loadRecording(entry.path().string()));
            } catch (const std::exception& e) {
                std::fprintf(stderr, "skipping %s: %s\n", entry.path().c_str(), e.what());
            }
        }
    }
    if (recordings.empty()) {
        std::fprintf(stderr, "no touchpad recordings at %s: nothing to measure\n", TRELLICK_RECORDINGS_DIR);
        return 0;
    }
    auto frameCount = [](const trellick::input::Recording& r) { return trellick::input::assembleFrames(r).size(); };
    std::stable_sort(recordings.begin(), recordings.end(),
                     [&](const auto& a, const auto& b) { return frameCount(a.second) > frameCount(b.second); });
    for (std::size_t i = 0; i < recordings.size(); ++i) {
        const auto& [name, rec] = recordings[i];
        std::string label = (i == 0 ? "longest/" : "") + name;
        benchmark::RegisterBenchmark(("assemble/" + label).c_str(),
                                     [&rec = rec](benchmark::State& s) { trellick::assembleOnly(s, rec); });
        benchmark::RegisterBenchmark(
            ("assemble+engine/directional/" + label).c_str(),
            [&rec = rec](benchmark::State& s) { trellick::assembleAndEngine(s, rec, "directionalMRU"); });
        benchmark::RegisterBenchmark(("assemble+engine/toggle/" + label).c_str(), [&rec = rec](benchmark::State& s) {
            trellick::assembleAndEngine(s, rec, "toggleLastApp");
        });
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
