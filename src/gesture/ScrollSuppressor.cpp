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
    if (installed_ || !blocker_) return;
    // A refusal leaves us uninstalled; the next begin or walk start tries again.
    if (!blocker_->create()) return;
    installed_ = true;
    blocker_->setEnabled(false);  // created idle
}

void ScrollSuppressor::begin() {
    std::weak_ptr<ScrollSuppressor> weak = weak_from_this();
    mainQueue_->post([weak] {
        auto self = weak.lock();
        if (!self) return;
        self->installIfNeeded();
        self->setWant(true);
        if (self->installed_) self->blocker_->setEnabled(true);
    });
}

void ScrollSuppressor::end() {
    std::weak_ptr<ScrollSuppressor> weak = weak_from_this();
    mainQueue_->post([weak] {
        auto self = weak.lock();
        if (!self) return;
        self->setWant(false);
        if (self->installed_) self->blocker_->setEnabled(false);
    });
}

void ScrollSuppressor::setWant(bool want) {
    bool changed = want != wantEnabled_;
    wantEnabled_ = want;
    if (changed && wantObserver_) wantObserver_(want);
}

void ScrollSuppressor::onLost() {
    // The platform dropped the blocker behind our back: take it again while still wanted.
    if (wantEnabled_ && installed_) blocker_->setEnabled(true);
}

}  // namespace trellick
