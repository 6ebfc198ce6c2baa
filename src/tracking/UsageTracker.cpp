#include "tracking/UsageTracker.h"

#include <algorithm>
#include <cmath>

#include "settings/SettingsStore.h"

namespace trellick {

void UsageTracker::start() {
    std::weak_ptr<UsageTracker> weak = weak_from_this();
    observer_ = workspace_->onActivated([weak](const RunningApp& app) {
        if (auto self = weak.lock()) self->record(app);
    });
}

namespace {

UsageTracker::Counts countsFrom(const std::optional<PrefValue>& stored) {
    if (!stored) return {};
    auto obj = stored->asObject();
    if (!obj) return {};
    UsageTracker::Counts counts;
    for (auto& [key, value] : *obj) {
        auto n = value.asNumber();
        if (!n || !std::isfinite(*n) || std::floor(*n) != *n || std::fabs(*n) > 9.0e15) return {};
        counts[key] = static_cast<long long>(*n);
    }
    return counts;
}

}  // namespace

UsageTracker::Counts UsageTracker::readCounts(const PreferencesStore& prefs) {
    return countsFrom(prefs.object(keys::usageCounts));
}

void UsageTracker::record(const RunningApp& app) {
    if (!app.regular || !app.desktopId || app.desktopId == ownDesktopId_) return;
    // Counted on the freshest stored counts: another process may have added to them.
    prefs_->update(keys::usageCounts, [id = *app.desktopId](const std::optional<PrefValue>& stored) {
        Counts counts = countsFrom(stored);
        counts[id] += 1;
        if (counts.size() > static_cast<std::size_t>(maxEntries)) {
            std::vector<std::pair<std::string, long long>> sorted(counts.begin(), counts.end());
            // Which of equal counts survive the cut is ours to choose: keep the application just
            // used, so that a new one can gain a foothold among many counted once.
            std::stable_sort(sorted.begin(), sorted.end(), [&id](const auto& a, const auto& b) {
                if (a.second != b.second) return a.second > b.second;
                return a.first == id && b.first != id;
            });
            sorted.resize(maxEntries);
            counts = Counts(sorted.begin(), sorted.end());
        }
        std::optional<PrefValue> out(std::in_place, PrefObject{});
        for (auto& [key, n] : counts) std::get<PrefObject>(out->v)[key] = PrefValue(n);
        return out;
    });
}

std::vector<std::string> UsageTracker::suggestions(const PreferencesStore& prefs, Favourites& favourites, int limit,
                                                   const std::set<std::string>& excluding,
                                                   const std::optional<std::string>& ownDesktopId) {
    std::vector<std::string> out;
    if (limit <= 0) return out;
    Counts counts = readCounts(prefs);
    std::vector<std::pair<std::string, long long>> sorted(counts.begin(), counts.end());
    // The map iterates in identifier order, so a stable sort by count breaks ties by identifier.
    std::stable_sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
    for (auto& [id, n] : sorted) {
        if (static_cast<int>(out.size()) >= limit) break;
        if (id == ownDesktopId || excluding.count(id) || !favourites.appExists(id)) continue;
        out.push_back(id);
    }
    return out;
}

}  // namespace trellick
