#pragma once
// Swallows scrolling while a directional gesture is engaged. begin/end may be called from
// any thread; each posts its work to the main queue, so they take effect in call order.

#include <functional>
#include <memory>

#include "common/MainQueue.h"
#include "common/ThreadSafety.h"
#include "gesture/InputServices.h"

namespace trellick {

class ScrollSuppressor : public std::enable_shared_from_this<ScrollSuppressor> {
public:
    static std::shared_ptr<ScrollSuppressor> create(std::shared_ptr<ScrollBlocker> blocker,
                                                    std::shared_ptr<MainQueue> mainQueue);

    // Main thread: makes the blocker exist (idle) if it does not yet; retried on later calls.
    void installIfNeeded();
    void begin();
    void end();

    // Hears every change of the wanted state (main thread).
    void setWantObserver(std::function<void(bool)> observer);

private:
    ScrollSuppressor(std::shared_ptr<ScrollBlocker> blocker, std::shared_ptr<MainQueue> mainQueue)
        : blocker_(std::move(blocker)), mainQueue_(std::move(mainQueue)) {}
    void apply(bool want);
    void onLost();

    std::shared_ptr<ScrollBlocker> blocker_;
    std::shared_ptr<MainQueue> mainQueue_;
    ThreadRole mainThread_{"the main thread"};
    bool installed_ GUARDED_BY(mainThread_) = false;
    bool wantEnabled_ GUARDED_BY(mainThread_) = false;
    std::function<void(bool)> wantObserver_ GUARDED_BY(mainThread_);
};

}  // namespace trellick
