#pragma once
// The one piece of data the touch thread and the main thread both write: the engine's
// settings snapshot. The main thread writes converted settings, the list length and an
// Escape press into it; the touch thread copies it once per frame and clears the per-gesture
// fields when a gesture starts.

#include "common/ThreadSafety.h"
#include "settings/SettingsStore.h"

namespace trellick {

struct Shared {
    bool enabled = true;
    SwitchMode mode = SwitchMode::directionalMRU;
    bool invertDirection = false;
    float stepDistance = 0.08f;
    float accelGain = 0.35f;
    float cancelDownThreshold = 0.3f;
    double flickRevealDelay = 0.1;
    float flickVelocity = 2.5f;
    int favouritesCount = 0;
    int recentsCount = 0;
    bool favouritesEnabled = true;
    bool cancelRequested = false;
};

// `Shared` behind its lock, which is held only for a copy or one write and never across a
// call out of the engine.
class SharedSettings {
public:
    Shared copy() const EXCLUDES(mutex_) {
        MutexLock lock(mutex_);
        return value_;
    }
    // fn(Shared&) changes one field.
    template <typename F>
    void write(F&& fn) EXCLUDES(mutex_) {
        MutexLock lock(mutex_);
        fn(value_);
    }

private:
    mutable Mutex mutex_;
    Shared value_ GUARDED_BY(mutex_);
};

}  // namespace trellick
