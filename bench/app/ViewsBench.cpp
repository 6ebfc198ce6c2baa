// Time to build and first paint the settings, welcome and about windows' content (offscreen),
// which the user waits for on first opening each window; and the settings view's rebuild
// when the pinned favourites change.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPixmap>

#include "app/views/AboutView.h"
#include "app/views/OnboardingView.h"
#include "app/views/SettingsView.h"
#include "simulation/SimulatedDesktop.h"
#include "simulation/Simulation.h"

using namespace trellick;

namespace {

struct World {
    MemoryPreferencesStore prefs;
    sim::SimulatedLoginItem login;
    std::shared_ptr<SettingsStore> settings = std::make_shared<SettingsStore>(prefs, login);
    std::shared_ptr<Diagnostics> diagnostics = std::make_shared<Diagnostics>();
    std::shared_ptr<sim::SimulatedWorkspace> apps = std::make_shared<sim::SimulatedWorkspace>();
    std::shared_ptr<Favourites> favourites = std::make_shared<Favourites>(apps);

    World() {
        PrefObject counts;
        for (int i = 0; i < 40; ++i) {
            const std::string id = "org.example.App" + std::to_string(i);
            apps->installedApps[id] = {"App " + std::to_string(i), std::nullopt};
            counts[id] = PrefValue(i + 1);
        }
        prefs.set(keys::usageCounts, PrefValue(std::move(counts)));
        settings->favouriteApps.set({"org.example.App1"});
        diagnostics->mruWindowTitles.set(std::vector<std::string>(30, "A window title — Some Application"));
    }
};

void BM_SettingsViewBuildAndPaint(benchmark::State& state) {
    World w;
    for (auto _ : state) {
        SettingsView view({w.settings, w.diagnostics, {w.favourites, w.apps, "trellick"}, nullptr, nullptr});
        benchmark::DoNotOptimize(view.grab());
    }
}
BENCHMARK(BM_SettingsViewBuildAndPaint)->Unit(benchmark::kMillisecond);

void BM_WelcomeAndAboutBuildAndPaint(benchmark::State& state) {
    World w;
    for (auto _ : state) {
        OnboardingView welcome({w.settings, w.diagnostics, nullptr, nullptr, [] {}});
        AboutView about;
        benchmark::DoNotOptimize(welcome.grab());
        benchmark::DoNotOptimize(about.grab());
    }
}
BENCHMARK(BM_WelcomeAndAboutBuildAndPaint)->Unit(benchmark::kMillisecond);

void BM_PinningRebuildsTheFavouritesTab(benchmark::State& state) {
    World w;
    SettingsView view({w.settings, w.diagnostics, {w.favourites, w.apps, "trellick"}, nullptr, nullptr});
    bool two = false;
    for (auto _ : state) {
        w.settings->favouriteApps.set(two ? std::vector<std::string>{"org.example.App1", "org.example.App2"}
                                          : std::vector<std::string>{"org.example.App1"});
        two = !two;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}
BENCHMARK(BM_PinningRebuildsTheFavouritesTab)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
