#include "gesture/DirectionalWalk.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "common/Log.h"

namespace trellick {

namespace {

// Numbers in debug lines.
std::string num(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.3f", v);
    return buf;
}

}  // namespace

DirectionalWalk::Stepped DirectionalWalk::steppedIndex(float value, float step, int maxIdx) {
    // Halves round away from zero; the range keeps the cast defined for absurd inputs.
    double raw = std::round(static_cast<double>(value / step));
    if (raw >= 0 && raw <= maxIdx) return {static_cast<int>(raw), std::nullopt};
    int index = raw < 0 ? 0 : maxIdx;
    return {index, step * static_cast<float>(index)};
}

DirectionalWalk::DirectionalWalk(float cx, float cy, int numFingers, double now)
    : prevCentroidX_(cx), prevCentroidY_(cy), lastFingerCount_(numFingers), lastFrameTime_(now), verticalBaseY_(cy) {}

DirectionalWalk::Update DirectionalWalk::track(float cx, float cy, int numFingers, double now, const Shared& settings) {
    Update update;
    if (!settings.enabled || directionalCancelled_) return update;
    if (settings.cancelRequested) {
        log::debug(log::gesture, [] { return "walk cancelled (Escape)"; });
        directionalCancelled_ = true;
        update.escaped = true;
        return update;
    }
    travel(cx, cy, numFingers, now, settings.accelGain);
    float give = verticalGive(cy, settings.cancelDownThreshold);
    if (!directionalEngaged_) {
        if (!engage(now)) return update;
        update.engaged = true;
    }
    if (!hudRevealed_) {
        if (stillFlicking(now, settings)) return update;
        reveal(cy, settings);
        give = 0;
    }
    update.cancelProgress = reportCancelProgress(followCancel(give, settings, update));
    bool favourites = inFavouritesRow(give, settings);
    if (favourites) {
        update.selection = select(SwitcherRow::favourites, favouritesIndex(settings));
    } else {
        update.selection = select(SwitcherRow::recents, recentsIndex(settings));
    }
    return update;
}

// Motion between frames of equal contact count moves the walk; a change of count only
// moves the centroid, so it is no travel and no vertical movement.
void DirectionalWalk::travel(float cx, float cy, int numFingers, double now, float accelGain) {
    double dt = now - lastFrameTime_;
    lastFrameTime_ = now;
    if (numFingers == lastFingerCount_) {
        float dtf = std::max(static_cast<float>(dt), frameTimeFloor);
        float dx = cx - prevCentroidX_;
        float dy = cy - prevCentroidY_;
        accumDx_ += dx;
        accumDy_ += dy;
        float speed = std::min(std::fabs(dx) / dtf, maxSpeed);
        accumScaledDx_ += accelerated(dx, speed, accelGain);
        flickSpeed_ = speed * flickSpeedSmoothing + flickSpeed_ * (1 - flickSpeedSmoothing);
        // A mostly horizontal slide drags the vertical origin along, so drift never adds up.
        if (std::fabs(dy) <= std::fabs(dx) && !inFavourites_ && lastVerticalDown_ <= cancelBuffer) {
            verticalBaseY_ = cy;
        }
    } else {
        verticalBaseY_ += cy - prevCentroidY_;
        flickSpeed_ *= (1 - flickSpeedSmoothing);
    }
    prevCentroidX_ = cx;
    prevCentroidY_ = cy;
    lastFingerCount_ = numFingers;
}

// Slow travel counts once; fast travel up to 1 + maxSpeed * accelGain times.
float DirectionalWalk::accelerated(float dx, float speed, float accelGain) {
    return dx * (speed * accelGain + 1);
}

// The vertical displacement, positive upward. Beyond the favourites cap and the cancel
// threshold it grows at a reduced rate, then drags the origin along, so that moving back
// reacts at once.
float DirectionalWalk::verticalGive(float cy, float cancelDownThreshold) {
    const float upCap = favouritesUpEngage + favouritesUpCapMargin;
    float v = cy - verticalBaseY_;
    float thr = cancelDownThreshold + cancelBuffer;
    float give = v;
    if (v > upCap) {
        float e = v - upCap;
        give = upCap + std::min(e, verticalGiveRaw) * verticalGiveRate;
        if (e >= verticalGiveRaw) verticalBaseY_ = cy - (upCap + verticalGiveRaw);
    } else if (v < -thr) {
        float e = -v - thr;
        give = -(thr + std::min(e, verticalGiveRaw) * verticalGiveRate);
        if (e >= verticalGiveRaw) verticalBaseY_ = cy + thr + verticalGiveRaw;
    }
    lastVerticalDown_ = -give;
    return give;
}

bool DirectionalWalk::engage(double now) {
    if (std::fabs(accumDx_) <= engageThreshold) return false;
    if (std::fabs(accumDx_) <= std::fabs(accumDy_) * horizontalDominance) return false;
    log::debug(log::gesture, [&] { return "engaged: horizontal travel " + num(accumDx_); });
    directionalEngaged_ = true;
    gestureEngageTime_ = now;
    return true;
}

// The picker waits out the reveal delay, and longer while the fingers still flick (a lift
// then is a quick switch), but not beyond the hard cap.
bool DirectionalWalk::stillFlicking(double now, const Shared& settings) const {
    double t = now - gestureEngageTime_;
    if (t < settings.flickRevealDelay) return true;
    if (flickSpeed_ >= settings.flickVelocity && t < flickRevealHardCap) return true;
    log::debug(log::gesture, [&] { return "picker opened " + num(t) + " s after engaging"; });
    return false;
}

// The walk starts one step away from the current entry, level, in the recents row.
void DirectionalWalk::reveal(float cy, const Shared& settings) {
    hudRevealed_ = true;
    float start = settings.stepDistance + horizontalBuffer;
    accumScaledDx_ = settings.invertDirection ? -start : start;
    verticalBaseY_ = cy;
    lastVerticalDown_ = 0;
    inFavourites_ = false;
}

// The downward pull beyond the dead band as cancel progress: 0 outside the zone, 1 when the
// pull reaches the threshold.
float DirectionalWalk::followCancel(float give, const Shared& settings, Update& update) {
    if (give >= -cancelBuffer) {
        cancelArmed_ = false;
        lastCancelDetent_ = -1;
        return 0;
    }
    float progress = std::min((-cancelBuffer - give) / settings.cancelDownThreshold, 1.0f);
    update.feel = armCancel(progress);
    return progress;
}

// Entering the zone is silent; each further detent ticks, reaching 1 arms with a firm tick.
// Backing off is silent; an armed cancel disarms below the disarm level.
DirectionalWalk::CancelFeel DirectionalWalk::armCancel(float progress) {
    CancelFeel feel = CancelFeel::none;
    int raw = static_cast<int>(std::floor(progress * static_cast<float>(cancelDetents)));
    int detent = std::min(raw, cancelDetents);
    if (detent > lastCancelDetent_ && raw < cancelDetents && lastCancelDetent_ >= 0) feel = CancelFeel::detent;
    lastCancelDetent_ = detent;
    if (cancelArmed_) {
        if (progress < disarmLevel) cancelArmed_ = false;
    } else if (progress >= 1) {
        log::debug(log::gesture, [] { return "cancel armed"; });
        cancelArmed_ = true;
        feel = CancelFeel::armed;
    }
    return feel;
}

// The progress in steps of 1/40, when that changed.
std::optional<float> DirectionalWalk::reportCancelProgress(float progress) {
    float q = progress > 1 ? 1.0f : std::round(std::max(progress, 0.0f) * progressSteps) / progressSteps;
    if (q == lastCancelProgress_) return std::nullopt;
    lastCancelProgress_ = q;
    return q;
}

// Up past the engage level enters the favourites row, down below the release level leaves it.
bool DirectionalWalk::inFavouritesRow(float give, const Shared& settings) {
    if (!settings.favouritesEnabled) {
        inFavourites_ = false;
    } else if (inFavourites_) {
        if (give < favouritesUpRelease) inFavourites_ = false;
    } else if (give > favouritesUpEngage) {
        inFavourites_ = true;
        favBaseScaledDx_ = accumScaledDx_;
    }
    return inFavourites_;
}

// The favourites row walks from where it was entered; travel past either end is not stored.
int DirectionalWalk::favouritesIndex(const Shared& settings) {
    int maxIdx = std::max(settings.favouritesCount - 1, 0);
    float rel = accumScaledDx_ - favBaseScaledDx_;
    if (settings.invertDirection) rel = -rel;
    auto stepped = steppedIndex(rel, favStepDistance, maxIdx);
    if (stepped.pin) {
        float pin = settings.invertDirection ? -*stepped.pin : *stepped.pin;
        favBaseScaledDx_ = accumScaledDx_ - pin;
    }
    return stepped.index;
}

// The recents row, with a dead zone around its origin; unbounded until the main thread has
// stored the list's length.
int DirectionalWalk::recentsIndex(const Shared& settings) {
    float s = settings.invertDirection ? -accumScaledDx_ : accumScaledDx_;
    float sDead = s > horizontalBuffer ? s - horizontalBuffer : (s < -horizontalBuffer ? s + horizontalBuffer : 0.0f);
    int maxIdx = settings.recentsCount >= 1 ? settings.recentsCount - 1 : std::numeric_limits<int>::max();
    auto stepped = steppedIndex(sDead, settings.stepDistance, maxIdx);
    if (stepped.pin) {
        // Travel past either end is not stored. The pin is in dead-zone-adjusted units, so
        // the dead zone goes back on; without it a short step (high sensitivity) would put
        // the walk half a step back and the selection would bounce off the last entry.
        float pin = *stepped.pin;
        if (pin > 0) pin += horizontalBuffer;
        accumScaledDx_ = settings.invertDirection ? -pin : pin;
    }
    return stepped.index;
}

std::optional<DirectionalWalk::Selection> DirectionalWalk::select(SwitcherRow row, int index) {
    if (row == lastFocus_ && index == lastLiveIndex_) return std::nullopt;
    bool beginning = lastLiveIndex_ < 0;
    lastFocus_ = row;
    lastLiveIndex_ = index;
    return Selection{row, index, beginning};
}

DirectionalWalk::Lift DirectionalWalk::lift(const Shared& settings) {
    if (directionalCancelled_) return Lift::nothing;
    // Escape pressed since the last frame: the lift cancels just as the next frame would have,
    // with no haptic of its own.
    if (settings.enabled && settings.cancelRequested) {
        log::debug(log::gesture, [] { return "lift: cancel (Escape)"; });
        directionalCancelled_ = true;
        return Lift::cancel;
    }
    if (!directionalEngaged_) return Lift::nothing;
    if (cancelArmed_ || lastVerticalDown_ - cancelBuffer >= settings.cancelDownThreshold) {
        log::debug(log::gesture, [] { return "lift: cancel (pulled down)"; });
        directionalCancelled_ = true;
        // An armed cancel has already been felt; one reached only now ticks at the lift.
        return cancelArmed_ ? Lift::cancel : Lift::cancelWithTick;
    }
    if (hudRevealed_) {
        log::debug(log::gesture, [] { return "lift: commit the selection"; });
        return Lift::commit;
    }
    log::debug(log::gesture, [] { return "lift before the picker opened: quick switch"; });
    return Lift::switchPrevious;
}

}  // namespace trellick
