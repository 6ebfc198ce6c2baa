#include "gesture/ScrollSuppressor.h"

namespace trellick {

std::shared_ptr<ScrollSuppressor> ScrollSuppressor::create(std::shared_ptr<ScrollBlocker> blocker,
                                                           std::shared_ptr<MainQueue> mainQueue) {
    std::shared_ptr<ScrollSuppressor> s(new ScrollSuppressor(std::move(blocker), std::move(mainQueue)));
    if (s->blocker_) {
        std::weak_ptr<ScrollSuppressor> weak = s;
        s->blocker_->setLostHandler([weak] {
            if (auto self = weak.lock()) self->onLost();
        });
    }
    return s;
}

void ScrollSuppressor::installIfNeeded() {
    mainThread_.check();
    if (installed_ || !blocker_) return;
    // A refusal leaves us uninstalled; the next begin or walk start tries again.
    if (!blocker_->create()) return;
    installed_ = true;
    blocker_->setEnabled(false);  // created idle
}

void ScrollSuppressor::begin() {
    mainQueue_->post([weak = weak_from_this()] {
        if (auto self = weak.lock()) self->apply(true);
    });
}

void ScrollSuppressor::end() {
    mainQueue_->post([weak = weak_from_this()] {
        if (auto self = weak.lock()) self->apply(false);
    });
}

void ScrollSuppressor::setWantObserver(std::function<void(bool)> observer) {
    mainThread_.check();
    wantObserver_ = std::move(observer);
}

// Main thread: begin (want) or end (not).
void ScrollSuppressor::apply(bool want) {
    if (want) installIfNeeded();
    mainThread_.check();
    bool changed = want != wantEnabled_;
    wantEnabled_ = want;
    if (changed && wantObserver_) wantObserver_(want);
    if (installed_) blocker_->setEnabled(want);
}

void ScrollSuppressor::onLost() {
    mainThread_.check();
    // The platform dropped the blocker behind our back: take it again while still wanted.
    if (wantEnabled_ && installed_) blocker_->setEnabled(true);
}

}  // namespace trellick
