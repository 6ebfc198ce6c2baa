#pragma once
// Every user setting. Loaded at construction with per-key read rules, written through to the
// preferences store on every assignment, and read again (by the same rules) when someone else
// changes a key in the store. Main thread only; no clamping.

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "common/Observable.h"
#include "settings/LoginItem.h"
#include "settings/PreferencesStore.h"

namespace trellick {

enum class SwitchMode { directionalMRU, toggleLastApp };
enum class Granularity { window, app };
enum class HUDStyle { modern, classic, windows95 };
enum class HUDLabelStyle { caption, perIcon };

// Raw strings (the stored form and identity) and every case in picker order.
const char* rawValue(SwitchMode v);
const char* rawValue(Granularity v);
const char* rawValue(HUDStyle v);
const char* rawValue(HUDLabelStyle v);
inline constexpr SwitchMode kAllSwitchModes[] = {SwitchMode::directionalMRU, SwitchMode::toggleLastApp};
inline constexpr Granularity kAllGranularities[] = {Granularity::window, Granularity::app};
inline constexpr HUDStyle kAllHUDStyles[] = {HUDStyle::modern, HUDStyle::classic, HUDStyle::windows95};
inline constexpr HUDLabelStyle kAllHUDLabelStyles[] = {HUDLabelStyle::caption, HUDLabelStyle::perIcon};

namespace keys {
inline constexpr const char* mode = "trellick.mode";
inline constexpr const char* granularity = "trellick.granularity";
inline constexpr const char* enabled = "trellick.enabled";
inline constexpr const char* invertDirection = "trellick.invertDirection";
inline constexpr const char* showHUD = "trellick.showHUD";
inline constexpr const char* hudStyle = "trellick.hudStyle";
inline constexpr const char* hudLabelStyle = "trellick.hudLabelStyle";
inline constexpr const char* compactPeek = "trellick.compactPeek";
inline constexpr const char* hapticFeedback = "trellick.hapticFeedback";
inline constexpr const char* sensitivity = "trellick.sensitivity";
inline constexpr const char* acceleration = "trellick.acceleration";
inline constexpr const char* cancelDistance = "trellick.cancelDistance";
inline constexpr const char* flickRevealDelay = "trellick.flickRevealDelay";
inline constexpr const char* flickVelocity = "trellick.flickVelocity";
inline constexpr const char* favouritesEnabled = "trellick.favouritesEnabled";
inline constexpr const char* favouriteApps = "trellick.favouriteApps";
inline constexpr const char* onboarded = "trellick.onboarded";
inline constexpr const char* usageCounts = "trellick.usageCounts";
}  // namespace keys

// Defaults of the gesture tuning, shared by the load rules and "Reset to defaults".
namespace defaults {
inline constexpr double sensitivity = 0.667;
inline constexpr double acceleration = 0.08;
inline constexpr double cancelDistance = 0.06;
inline constexpr double flickRevealDelay = 0.1;
inline constexpr double flickVelocity = 2.5;
}  // namespace defaults

// The settings window's tabs, in sidebar order.
enum class SettingsTab { general, gestures, overlay, favourites, diagnostics };

class SettingsStore {
public:
    static constexpr int maxFavourites = 3;

    // Loads every setting from `prefs` (writing nothing back) and asks `loginItems` for
    // launchAtLogin. Both must outlive the store.
    SettingsStore(PreferencesStore& prefs, LoginItemService& loginItems);
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    Setting<SwitchMode> mode;
    Setting<Granularity> granularity;
    Setting<bool> enabled;
    Setting<bool> invertDirection;
    Setting<bool> showHUD;
    Setting<HUDStyle> hudStyle;
    Setting<HUDLabelStyle> hudLabelStyle;
    Setting<bool> compactPeekSpacing;  // key "trellick.compactPeek"
    Setting<bool> hapticFeedback;
    Setting<double> sensitivity;
    Setting<double> acceleration;
    Setting<double> cancelDistance;
    Setting<double> flickRevealDelay;
    Setting<double> flickVelocity;
    Setting<bool> favouritesEnabled;
    Setting<std::vector<std::string>> favouriteApps;
    Setting<bool> launchAtLogin;                          // not persisted: assignment calls LoginItem::setEnabled
    Observable<std::optional<SettingsTab>> requestedTab;  // not persisted: a one-shot request to the window

    void addFavourite(const std::string& desktopId);
    void removeFavourite(const std::string& desktopId);
    void moveFavourite(const std::string& desktopId, int offset);
    // The Gestures tab's "Reset to defaults": the five tuning values, nothing else.
    void resetGestureTuning();

    PreferencesStore& preferences() { return prefs_; }

private:
    void readSettings(const std::set<std::string>* changed);

    PreferencesStore& prefs_;
    LoginItemService& loginItems_;
    Subscription changedByOthers_;
};

}  // namespace trellick
