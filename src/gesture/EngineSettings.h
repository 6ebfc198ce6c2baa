#pragma once
// The settings the engine reads, taken from the store in one place (`engineSettings`) and
// converted into the walk's units there. The touch thread gets the `WalkSettings` half through
// the shared snapshot; the main-thread half of the walk reads the rest. Nothing in the engine
// reads the store itself, so a setting changes for both threads at once.

#include <functional>
#include <string>
#include <vector>

#include "settings/SettingsStore.h"

namespace trellick {

// What the touch thread reads per frame; plain values, copied whole.
struct WalkSettings {
    bool enabled = true;
    SwitchMode mode = SwitchMode::directionalMRU;
    bool invertDirection = false;
    float stepDistance = 0.08f;        // pad widths of travel per list step
    float accelGain = 0.35f;           // extra steps per unit of speed above the floor
    float cancelDownThreshold = 0.3f;  // pad heights of downward pull that arm the cancel
    double flickRevealDelay = 0.1;     // seconds
    float flickVelocity = 2.5f;        // pad widths per second
    int favouritesCount = 0;
    bool favouritesEnabled = true;

    bool operator==(const WalkSettings&) const = default;
};

struct EngineSettings {
    WalkSettings walk;
    // Main thread only.
    Granularity granularity = Granularity::window;
    bool showOverlay = true;
    HUDStyle overlayStyle = HUDStyle::modern;
    HUDLabelStyle labelStyle = HUDLabelStyle::caption;
    bool compactPeekSpacing = false;
    bool haptics = false;
    std::vector<std::string> favouriteApps;

    bool operator==(const EngineSettings&) const = default;

    // Limits of the converted tuning values (far outside what the settings window offers).
    static constexpr double minStepDistance = 0.01;
    static constexpr double maxStepDistance = 100.0;
    static constexpr double maxAccelGain = 1000.0;
    static constexpr double minCancelThreshold = 0.01;
    static constexpr double maxCancelThreshold = 100.0;
};

EngineSettings engineSettings(const SettingsStore& store);

// Calls `changed` once now, then whenever a setting the engine reads changes.
std::vector<Subscription> subscribeEngineSettings(SettingsStore& store, const std::function<void()>& changed);

}  // namespace trellick
