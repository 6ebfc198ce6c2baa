#pragma once
// The engine run behind `trellick debug-gestures`, shared by the scenario, recording and live
// sources: one thread, virtual time, one JSON object a line for each decision.

#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/debug/DebugOverlay.h"
#include "gesture/MultitouchMonitor.h"
#include "settings/PreferencesStore.h"
#include "simulation/Simulation.h"
#include "simulation/VirtualTime.h"

namespace trellick {

class GestureRun {
public:
    struct Options {
        int recents = 5;                                             // entries of the recency list
        int favourites = 0;                                          // pinned favourites, all resolving
        std::vector<std::pair<std::string, PrefValue>> preferences;  // stored before loading
        OverlayPictureOptions pictures;                              // --overlay DIR and its options
        std::shared_ptr<OverlayPictures> overlay;                    // made from `pictures`, or none
    };

    GestureRun(const Options& options, std::FILE* out);
    ~GestureRun();
    GestureRun(const GestureRun&) = delete;
    GestureRun& operator=(const GestureRun&) = delete;

    // Feed items in time order. `t` is what the output reports as the time.
    void frame(double t, const std::vector<TouchContact>& fingers);
    void escape(double t);
    // End of input: runs whatever work is left.
    void finish();

    Diagnostics& diagnostics() { return *diagnostics_; }

private:
    class Printer;
    void runDueWork(double t);

    std::shared_ptr<Printer> printer_;
    std::shared_ptr<sim::VirtualTime> time_;
    sim::SimulatedLoginItem loginItems_;
    MemoryPreferencesStore prefs_;
    std::shared_ptr<SettingsStore> settings_;
    std::shared_ptr<Diagnostics> diagnostics_;
    std::shared_ptr<sim::SimulatedKeyMonitor> keyMonitor_;
    std::shared_ptr<MultitouchMonitor> monitor_;
};

// Where the frames come from.
struct DebugSource {
    std::string framesFile;
    std::string replayFile;
    std::string deviceDescFile;
    bool dumpFrames = false;
};

// Runs a source other than a scenario file (a recording, or the live touchpads).
int runOtherDebugSource(const DebugSource& source, const GestureRun::Options& options);

}  // namespace trellick
