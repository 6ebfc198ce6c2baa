#pragma once
// The desktop's appearance as a test or the view_shots tool sets it, heard by the views live.

#include "common/Observable.h"
#include "overlay/OverlayDesktop.h"

namespace trellick {

class FakeAppearance : public AppearanceSource {
public:
    explicit FakeAppearance(Appearance a = {}) : now(a) {}
    Appearance current() const override { return now; }
    Subscription subscribe(std::function<void(const Appearance&)> h) override {
        h(now);
        return changed.connect(std::move(h));
    }
    void set(Appearance a) {
        now = a;
        changed.notify(now);
    }
    Appearance now;
    Signal<Appearance> changed;
};

}  // namespace trellick
