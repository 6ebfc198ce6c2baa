#pragma once
// Hooks for watching what the engine decides (`trellick debug-gestures` prints them).
// Touch-thread hooks are called on the touch thread, the others on the main thread.

namespace trellick {

enum class GestureState { idle, watching, active };
enum class SwitcherRow;

class GestureTrace {
public:
    virtual ~GestureTrace() = default;
    // Touch thread.
    virtual void stateChanged(GestureState to) { (void)to; }
    virtual void spreadReported(float spread, bool rejected) { (void)spread, (void)rejected; }
    // Main thread.
    virtual void selected(SwitcherRow row, int index, bool beginning) { (void)row, (void)index, (void)beginning; }
    virtual void switchedPrevious() {}
    virtual void committed(SwitcherRow row, int index) { (void)row, (void)index; }
    virtual void cancelled() {}
    virtual void swipeEvaluated(float dx) { (void)dx; }
};

}  // namespace trellick
