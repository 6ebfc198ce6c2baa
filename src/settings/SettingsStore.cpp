#include "settings/SettingsStore.h"

#include <algorithm>
#include <set>
#include <utility>

namespace trellick {

const char* rawValue(SwitchMode v) {
    switch (v) {
    case SwitchMode::directionalMRU:
        return "directionalMRU";
    case SwitchMode::toggleLastApp:
        return "toggleLastApp";
    }
    return "directionalMRU";
}

const char* rawValue(Granularity v) {
    switch (v) {
    case Granularity::window:
        return "window";
    case Granularity::app:
        return "app";
    }
    return "window";
}

const char* rawValue(HUDStyle v) {
    switch (v) {
    case HUDStyle::modern:
        return "modern";
    case HUDStyle::classic:
        return "classic";
    case HUDStyle::windows95:
        return "windows95";
    }
    return "modern";
}

const char* rawValue(HUDLabelStyle v) {
    switch (v) {
    case HUDLabelStyle::caption:
        return "caption";
    case HUDLabelStyle::perIcon:
        return "perIcon";
    }
    return "caption";
}

namespace {

// The stored raw string selecting a case; anything else (missing, another kind, a different
// spelling) gives the default.
template <typename Enum, std::size_t N>
Enum readEnum(const PreferencesStore& store, const char* key, const Enum (&all)[N], Enum fallback) {
    auto raw = prefs::typedString(store, key);
    if (!raw) return fallback;
    for (Enum e : all) {
        if (*raw == rawValue(e)) return e;
    }
    return fallback;
}

std::vector<std::string> readFavourites(const PreferencesStore& store) {
    auto value = store.object(keys::favouriteApps);
    if (!value) return {};
    auto array = value->asArray();
    if (!array) return {};
    std::vector<std::string> ids;
    for (const auto& element : *array) {
        auto s = element.asString();
        if (!s) return {};  // one foreign element spoils the whole list
        ids.push_back(*s);
    }
    if (ids.size() > static_cast<std::size_t>(SettingsStore::maxFavourites)) {
        ids.resize(SettingsStore::maxFavourites);
    }
    return ids;
}

PrefValue toPref(const std::vector<std::string>& ids) {
    PrefArray array;
    array.reserve(ids.size());
    for (const auto& id : ids) array.emplace_back(id);
    return PrefValue(std::move(array));
}

}  // namespace

SettingsStore::SettingsStore(PreferencesStore& prefs, LoginItemService& loginItems)
    : mode([this](const SwitchMode& v) { prefs_.set(keys::mode, rawValue(v)); }),
      granularity([this](const Granularity& v) { prefs_.set(keys::granularity, rawValue(v)); }),
      enabled([this](const bool& v) { prefs_.set(keys::enabled, v); }),
      invertDirection([this](const bool& v) { prefs_.set(keys::invertDirection, v); }),
      showHUD([this](const bool& v) { prefs_.set(keys::showHUD, v); }),
      hudStyle([this](const HUDStyle& v) { prefs_.set(keys::hudStyle, rawValue(v)); }),
      hudLabelStyle([this](const HUDLabelStyle& v) { prefs_.set(keys::hudLabelStyle, rawValue(v)); }),
      compactPeekSpacing([this](const bool& v) { prefs_.set(keys::compactPeek, v); }),
      hapticFeedback([this](const bool& v) { prefs_.set(keys::hapticFeedback, v); }),
      sensitivity([this](const double& v) { prefs_.set(keys::sensitivity, v); }),
      acceleration([this](const double& v) { prefs_.set(keys::acceleration, v); }),
      cancelDistance([this](const double& v) { prefs_.set(keys::cancelDistance, v); }),
      flickRevealDelay([this](const double& v) { prefs_.set(keys::flickRevealDelay, v); }),
      flickVelocity([this](const double& v) { prefs_.set(keys::flickVelocity, v); }),
      favouritesEnabled([this](const bool& v) { prefs_.set(keys::favouritesEnabled, v); }),
      favouriteApps([this](const std::vector<std::string>& v) { prefs_.set(keys::favouriteApps, toPref(v)); }),
      // Not persisted: the login-item service is the truth. A failure is logged by
      // LoginItem and the toggle keeps showing what the user asked for.
      launchAtLogin([this](const bool& v) { LoginItem::setEnabled(loginItems_, v); }),
      prefs_(prefs),
      loginItems_(loginItems) {
    // Loading writes nothing back: keys never set stay absent.
    readSettings(nullptr);
    launchAtLogin.load(loginItems_.isEnabled());
    // An edit by someone else reaches observers as if the setting had been assigned here.
    changedByOthers_ = prefs_.onChangedByOthers([this](const std::vector<std::string>& changed) {
        std::set<std::string> keys(changed.begin(), changed.end());
        readSettings(&keys);
    });
}

void SettingsStore::readSettings(const std::set<std::string>* changed) {
    // Without `changed`: every setting, silently (construction). With it: only those keys,
    // each heard by its observers.
    auto read = [changed](auto& setting, const char* key, auto&& value) {
        if (!changed)
            setting.load(value());
        else if (changed->count(key))
            setting.adopt(value());
    };
    auto& p = prefs_;
    // Table order.
    read(mode, keys::mode, [&] { return readEnum(p, keys::mode, kAllSwitchModes, SwitchMode::directionalMRU); });
    read(granularity, keys::granularity,
         [&] { return readEnum(p, keys::granularity, kAllGranularities, Granularity::window); });
    read(enabled, keys::enabled, [&] { return prefs::typedBool(p, keys::enabled).value_or(true); });
    read(invertDirection, keys::invertDirection, [&] { return prefs::lenientBool(p, keys::invertDirection); });
    read(showHUD, keys::showHUD, [&] { return prefs::typedBool(p, keys::showHUD).value_or(true); });
    read(hudStyle, keys::hudStyle, [&] { return readEnum(p, keys::hudStyle, kAllHUDStyles, HUDStyle::modern); });
    read(hudLabelStyle, keys::hudLabelStyle,
         [&] { return readEnum(p, keys::hudLabelStyle, kAllHUDLabelStyles, HUDLabelStyle::caption); });
    read(compactPeekSpacing, keys::compactPeek, [&] { return prefs::typedBool(p, keys::compactPeek).value_or(true); });
    read(hapticFeedback, keys::hapticFeedback,
         [&] { return prefs::typedBool(p, keys::hapticFeedback).value_or(true); });
    read(sensitivity, keys::sensitivity,
         [&] { return prefs::typedNumber(p, keys::sensitivity).value_or(defaults::sensitivity); });
    read(acceleration, keys::acceleration,
         [&] { return prefs::typedNumber(p, keys::acceleration).value_or(defaults::acceleration); });
    read(cancelDistance, keys::cancelDistance,
         [&] { return prefs::typedNumber(p, keys::cancelDistance).value_or(defaults::cancelDistance); });
    read(flickRevealDelay, keys::flickRevealDelay,
         [&] { return prefs::typedNumber(p, keys::flickRevealDelay).value_or(defaults::flickRevealDelay); });
    read(flickVelocity, keys::flickVelocity,
         [&] { return prefs::typedNumber(p, keys::flickVelocity).value_or(defaults::flickVelocity); });
    read(favouritesEnabled, keys::favouritesEnabled,
         [&] { return prefs::typedBool(p, keys::favouritesEnabled).value_or(true); });
    read(favouriteApps, keys::favouriteApps, [&] { return readFavourites(p); });
}

void SettingsStore::addFavourite(const std::string& desktopId) {
    if (desktopId.empty()) return;
    const auto& current = favouriteApps.get();
    if (std::find(current.begin(), current.end(), desktopId) != current.end()) return;
    if (current.size() >= static_cast<std::size_t>(maxFavourites)) return;
    auto updated = current;
    updated.push_back(desktopId);
    favouriteApps.set(std::move(updated));
}

void SettingsStore::removeFavourite(const std::string& desktopId) {
    auto updated = favouriteApps.get();
    std::erase(updated, desktopId);
    favouriteApps.set(std::move(updated));  // written even when nothing was removed
}

void SettingsStore::moveFavourite(const std::string& desktopId, int offset) {
    const auto& current = favouriteApps.get();
    auto it = std::find(current.begin(), current.end(), desktopId);
    if (it == current.end()) return;
    long long i = it - current.begin();
    long long j = i + offset;
    if (j < 0 || j >= static_cast<long long>(current.size())) return;
    auto updated = current;
    std::swap(updated[static_cast<std::size_t>(i)], updated[static_cast<std::size_t>(j)]);
    favouriteApps.set(std::move(updated));
}

void SettingsStore::resetGestureTuning() {
    sensitivity.set(defaults::sensitivity);
    acceleration.set(defaults::acceleration);
    cancelDistance.set(defaults::cancelDistance);
    flickRevealDelay.set(defaults::flickRevealDelay);
    flickVelocity.set(defaults::flickVelocity);
}

}  // namespace trellick
