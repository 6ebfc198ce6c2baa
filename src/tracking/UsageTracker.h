#pragma once
// Counts how often each application is activated, by desktop id, in the preferences
// store ("trellick.usageCounts"), so that favourites can be suggested. Main thread only.

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "settings/PreferencesStore.h"
#include "tracking/Favourites.h"
#include "tracking/Workspace.h"

namespace trellick {

class UsageTracker : public std::enable_shared_from_this<UsageTracker> {
public:
    static constexpr int maxEntries = 40;
    using Counts = std::map<std::string, long long>;

    UsageTracker(std::shared_ptr<Workspace> workspace, std::shared_ptr<PreferencesStore> prefs,
                 std::optional<std::string> ownDesktopId)
        : workspace_(std::move(workspace)), prefs_(std::move(prefs)), ownDesktopId_(std::move(ownDesktopId)) {}

    // Registers for application activations.
    void start();
    void record(const RunningApp& app);

    // The stored counts; empty when missing or malformed (a value that is not an integer).
    static Counts readCounts(const PreferencesStore& prefs);
    // Most used first, equal counts by identifier; leaves out `ownDesktopId`, the excluded ones
    // and those that no longer exist.
    static std::vector<std::string> suggestions(const PreferencesStore& prefs, Favourites& favourites, int limit,
                                                const std::set<std::string>& excluding,
                                                const std::optional<std::string>& ownDesktopId);

private:
    std::shared_ptr<Workspace> workspace_;
    std::shared_ptr<PreferencesStore> prefs_;
    std::optional<std::string> ownDesktopId_;
    Subscription observer_;
};

}  // namespace trellick
