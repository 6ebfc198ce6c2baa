#include "gesture/EngineSettings.h"

#include <algorithm>
#include <limits>
#include <memory>

namespace trellick {

namespace {

// A converted setting as a float within [lo, hi] (NaN gives lo), so the cast is always defined.
float limited(double v, double lo, double hi) {
    return static_cast<float>(v >= lo ? std::min(v, hi) : lo);
}

}  // namespace

EngineSettings engineSettings(const SettingsStore& s) {
    using E = EngineSettings;
    EngineSettings e;
    WalkSettings& w = e.walk;
    w.enabled = s.enabled.get();
    w.mode = s.mode.get();
    w.invertDirection = s.invertDirection.get();
    // The settings window offers small ranges, but the file may hold any finite number: each
    // derived quantity is limited so that the walk stays finite and every division and
    // float-to-int conversion stays defined (a zero step would flip the selection between the
    // ends of the row, a negative cancel threshold would make the progress absurd).
    // Sensitivity 0..1 maps to 0.16..0.04 pad widths of travel per list step: a whole pad
    // width walks about six entries at the least sensitive, about twenty-five at the most.
    w.stepDistance = limited((1.0 - s.sensitivity.get()) * 0.12 + 0.04, E::minStepDistance, E::maxStepDistance);
    // Acceleration 0..1 maps to a gain of 0..0.7: travel at the top speed (maxSpeed pad
    // widths per second) counts up to 1 + 12 * 0.7, about nine times.
    w.accelGain = limited(s.acceleration.get() * 0.7, 0.0, E::maxAccelGain);
    // Cancel distance 0..1 maps to a downward pull of 0.15..0.45 pad heights (past the
    // cancelBuffer of drift): short enough to reach on a small pad, long enough not to trip.
    w.cancelDownThreshold = limited(s.cancelDistance.get() * 0.3 + 0.15, E::minCancelThreshold, E::maxCancelThreshold);
    w.flickRevealDelay = s.flickRevealDelay.get();
    w.flickVelocity =
        limited(s.flickVelocity.get(), -std::numeric_limits<float>::max(), std::numeric_limits<float>::max());
    w.favouritesCount = static_cast<int>(s.favouriteApps.get().size());
    w.favouritesEnabled = s.favouritesEnabled.get();

    e.granularity = s.granularity.get();
    e.showOverlay = s.showHUD.get();
    e.overlayStyle = s.hudStyle.get();
    e.labelStyle = s.hudLabelStyle.get();
    e.compactPeekSpacing = s.compactPeekSpacing.get();
    e.haptics = s.hapticFeedback.get();
    e.favouriteApps = s.favouriteApps.get();
    return e;
}

std::vector<Subscription> subscribeEngineSettings(SettingsStore& s, const std::function<void()>& changed) {
    // Each subscription delivers its current value at once; those first deliveries are
    // answered by the one call at the end.
    auto subscribing = std::make_shared<bool>(true);
    std::vector<Subscription> subscriptions;
    auto watch = [&](auto& setting) {
        subscriptions.push_back(setting.subscribe([subscribing, changed](const auto&) {
            if (!*subscribing) changed();
        }));
    };
    watch(s.enabled);
    watch(s.mode);
    watch(s.invertDirection);
    watch(s.sensitivity);
    watch(s.acceleration);
    watch(s.cancelDistance);
    watch(s.flickRevealDelay);
    watch(s.flickVelocity);
    watch(s.favouriteApps);
    watch(s.favouritesEnabled);
    watch(s.granularity);
    watch(s.showHUD);
    watch(s.hudStyle);
    watch(s.hudLabelStyle);
    watch(s.compactPeekSpacing);
    watch(s.hapticFeedback);
    *subscribing = false;
    changed();
    return subscriptions;
}

}  // namespace trellick
