// Cost of the shared preferences file: one recorded activation (lock, read again, merge, atomic
// replace with fsync), which happens at every application switch, and one read-back of an
// unchanged file, which follows every write seen by the watcher. The file holds every setting
// and a full table of 40 usage counts. The temporary folder's file system decides the fsync cost.

#include <benchmark/benchmark.h>

#include <QTemporaryDir>

#include <memory>
#include <string>

#include "platform/desktop/JsonPreferencesStore.h"
#include "settings/SettingsStore.h"
#include "tracking/UsageTracker.h"

namespace trellick::desktop {
namespace {

std::shared_ptr<JsonPreferencesStore> fullStore(const QTemporaryDir& dir) {
    auto store = std::make_shared<JsonPreferencesStore>(dir.filePath("preferences.json"));
    for (const char* key : {keys::mode, keys::granularity, keys::hudStyle, keys::hudLabelStyle}) store->set(key, "x");
    for (const char* key : {keys::enabled, keys::invertDirection, keys::showHUD, keys::compactPeek,
                            keys::hapticFeedback, keys::favouritesEnabled, keys::onboarded})
        store->set(key, true);
    for (const char* key :
         {keys::sensitivity, keys::acceleration, keys::cancelDistance, keys::flickRevealDelay, keys::flickVelocity})
        store->set(key, 0.5);
    store->set(keys::favouriteApps, PrefArray{"org.gnome.TextEditor", "firefox", "org.kde.konsole"});
    PrefObject counts;
    for (int i = 0; i < UsageTracker::maxEntries; ++i) counts["org.example.Application" + std::to_string(i)] = 100 + i;
    store->set(keys::usageCounts, counts);
    return store;
}

void BM_RecordActivation(benchmark::State& state) {
    QTemporaryDir dir;
    auto store = fullStore(dir);
    UsageTracker usage(nullptr, store, std::string("trellick"));
    RunningApp app;
    app.desktopId = "org.example.Application7";
    for (auto _ : state) usage.record(app);
}
BENCHMARK(BM_RecordActivation)->Unit(benchmark::kMicrosecond);

void BM_ReadBackUnchanged(benchmark::State& state) {
    QTemporaryDir dir;
    auto store = fullStore(dir);
    for (auto _ : state) store->reload();
}
BENCHMARK(BM_ReadBackUnchanged)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace trellick::desktop

BENCHMARK_MAIN();
