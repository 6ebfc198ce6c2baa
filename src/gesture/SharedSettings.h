#pragma once
// The one piece of data the two threads share: the walk's half of the engine's settings and
// what the main thread tells the walk. Only the main thread writes it (the settings, the list
// length, Escape presses); the touch thread copies it once per frame and reads the per-gesture
// fields against the gesture it runs.

#include <cstdint>

#include "common/ThreadSafety.h"
#include "gesture/EngineSettings.h"

namespace trellick {

struct Shared : WalkSettings {
    // The recents list's length, counted for the gesture numbered `recentsGesture` (the touch
    // thread's count of gestures); another gesture's count is no count.
    int recentsCount = 0;
    std::uint32_t recentsGesture = 0;
    // Escape presses so far: one since the gesture began cancels its walk.
    std::uint32_t escapes = 0;
    // Not shared: set by the touch thread in its copy from `escapes`, for the walk to read.
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
