// Frames per second from recorded kernel events through frame assembly, and through assembly
// plus the gesture engine (with the main-thread work it posts), for each shared touchpad
// recording; the longest one (most frames) is the headline figure. The everyday corpus (palms,
// thumbs, scrolls and clicks on two boards) is measured per board as a whole, since that is
// where the assembler has the most contacts to judge; `per_frame` is the cost of one frame.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "gesture/MultitouchMonitor.h"
#include "input/FrameAssembler.h"
#include "input/Recording.h"
#include "settings/SettingsStore.h"
#include "simulation/Simulation.h"
#include "simulation/VirtualTime.h"

namespace trellick {
namespace {

using input::FrameAssembler;
using input::Recording;

using Recordings = std::vector<const Recording*>;

void report(benchmark::State& state, std::size_t frames) {
    state.SetItemsProcessed(static_cast<std::int64_t>(frames));
    state.counters["frames"] = double(frames) / double(state.iterations());
    state.counters["per_frame"] =
        benchmark::Counter(double(frames), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void assembleOnly(benchmark::State& state, const Recordings& recs) {
    std::size_t frames = 0;
    for (auto _ : state) {
        for (const Recording* rec : recs) {
            FrameAssembler assembler(rec->device);
            for (const auto& e : rec->events) {
                if (assembler.feed(e)) {
                    benchmark::DoNotOptimize(assembler.frame().data());
                    ++frames;
                }
            }
        }
    }
    report(state, frames);
}

void assembleAndEngine(benchmark::State& state, const Recordings& recs, const char* mode) {
    auto time = std::make_shared<sim::VirtualTime>();
    MemoryPreferencesStore prefs;
    prefs.set(keys::mode, PrefValue(std::string(mode)));
    sim::SimulatedLoginItem loginItems;
    MultitouchMonitor::Collaborators c;
    c.settings = std::make_shared<SettingsStore>(prefs, loginItems);
    c.windowTracker = std::make_shared<sim::SimulatedRecents>(std::vector<std::string>{"a", "b", "c", "d", "e"});
    c.appTracker = c.windowTracker;
    c.favourites = std::make_shared<sim::SimulatedFavourites>();
    c.hud = std::make_shared<sim::RecordingHUD>();
    auto diagnostics = std::make_shared<Diagnostics>();
    c.diagnostics = diagnostics;
    c.mainQueue = time;
    c.scrollBlocker = std::make_shared<sim::SimulatedScrollBlocker>();
    c.keyMonitor = std::make_shared<sim::SimulatedKeyMonitor>();
    c.haptics = std::make_shared<Haptics>(std::make_shared<sim::RecordingHaptics>(), time);
    auto monitor = MultitouchMonitor::create(std::move(c));

    double base = 0;
    std::size_t frames = 0;
    for (auto _ : state) {
        for (const Recording* rec : recs) {
            FrameAssembler assembler(rec->device);
            for (const auto& e : rec->events) {
                if (!assembler.feed(e)) continue;
                double t = base + assembler.frameTime();
                const auto& f = assembler.frame();
                monitor->handleFrame(f.data(), static_cast<int>(f.size()), t);
                time->advanceTo(t);
                ++frames;
            }
            base += rec->events.empty() ? 0 : rec->events.back().time + 1.0;  // each pass is a later stretch of time
            time->drain();
        }
    }
    report(state, frames);
}

void registerAll(const std::string& label, const Recordings& recs) {
    benchmark::RegisterBenchmark(("assemble/" + label).c_str(), [recs](benchmark::State& s) { assembleOnly(s, recs); });
    benchmark::RegisterBenchmark(("assemble+engine/directional/" + label).c_str(),
                                 [recs](benchmark::State& s) { assembleAndEngine(s, recs, "directionalMRU"); });
    benchmark::RegisterBenchmark(("assemble+engine/toggle/" + label).c_str(),
                                 [recs](benchmark::State& s) { assembleAndEngine(s, recs, "toggleLastApp"); });
}

}  // namespace
}  // namespace trellick

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    using trellick::input::Recording;
    benchmark::Initialize(&argc, argv);
    // Loaded once and never moved: the benchmarks keep pointers to them.
    static std::vector<std::pair<std::string, Recording>> recordings;
    static std::vector<std::pair<std::string, std::vector<Recording>>> boards;
    auto load = [](const fs::path& path, const std::optional<std::string>& desc) -> std::optional<Recording> {
        try {
            return trellick::input::loadRecording(path.string(), desc);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "skipping %s: %s\n", path.c_str(), e.what());
            return std::nullopt;
        }
    };
    auto isRecording = [](const fs::path& p) {
        auto ext = p.extension();
        return ext == ".evemu" || ext == ".evtest" || ext == ".yml";
    };
    if (fs::is_directory(TRELLICK_RECORDINGS_DIR)) {
        for (const auto& entry : fs::directory_iterator(TRELLICK_RECORDINGS_DIR)) {
            if (!isRecording(entry.path())) continue;
            if (auto rec = load(entry.path(), std::nullopt))
                recordings.emplace_back(entry.path().stem().string(), *rec);
        }
        fs::path everyday = fs::path(TRELLICK_RECORDINGS_DIR) / "everyday";
        if (fs::is_directory(everyday)) {
            for (const auto& board : fs::directory_iterator(everyday)) {
                if (!board.is_directory()) continue;
                std::string desc = (board.path() / "board.desc").string();
                std::vector<fs::path> files;
                for (const auto& entry : fs::directory_iterator(board.path())) {
                    if (isRecording(entry.path())) files.push_back(entry.path());
                }
                std::sort(files.begin(), files.end());
                std::vector<Recording> recs;
                for (const auto& f : files) {
                    if (auto rec = load(f, desc)) recs.push_back(std::move(*rec));
                }
                if (!recs.empty()) boards.emplace_back(board.path().filename().string(), std::move(recs));
            }
            std::sort(boards.begin(), boards.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        }
    }
    if (recordings.empty() && boards.empty()) {
        std::fprintf(stderr, "no touchpad recordings at %s: nothing to measure\n", TRELLICK_RECORDINGS_DIR);
        return 0;
    }
    auto frameCount = [](const Recording& r) { return trellick::input::assembleFrames(r).size(); };
    std::stable_sort(recordings.begin(), recordings.end(),
                     [&](const auto& a, const auto& b) { return frameCount(a.second) > frameCount(b.second); });
    for (std::size_t i = 0; i < recordings.size(); ++i) {
        const auto& [name, rec] = recordings[i];
        trellick::registerAll((i == 0 ? "longest/" : "") + name, {&rec});
    }
    for (const auto& [board, recs] : boards) {
        trellick::Recordings all;
        for (const auto& r : recs) all.push_back(&r);
        trellick::registerAll("everyday/" + board, all);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
