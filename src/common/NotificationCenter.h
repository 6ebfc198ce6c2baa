#pragma once
// Named, payload-free notifications on the main thread (for example
// "trellick.openFavouritesSettings"). Observers hold a Subscription.

#include <map>
#include <string>

#include "common/Observable.h"

namespace trellick {

class NotificationCenter {
public:
    Subscription observe(const std::string& name, std::function<void()> handler) {
        return signals_[name].connect([h = std::move(handler)] { h(); });
    }
    void post(const std::string& name) {
        auto it = signals_.find(name);
        if (it != signals_.end()) it->second.notify();
    }

private:
    std::map<std::string, Signal<>> signals_;
};

inline constexpr const char* kOpenFavouritesSettings = "trellick.openFavouritesSettings";

}  // namespace trellick
