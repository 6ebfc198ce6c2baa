#include "simulation/Simulation.h"

#include <algorithm>

namespace trellick::sim {

SimulatedRecents::SimulatedRecents(int count) {
    for (int i = 1; i <= count; ++i) titles.push_back("Entry " + std::to_string(i));
}

void SimulatedRecents::activatePrevious() {
    ++previousCalls;
    if (titles.size() < 2) return;
    std::swap(titles[0], titles[1]);
    activations.push_back(titles[0]);
}

std::vector<SwitchTarget> SimulatedRecents::orderedTargets() {
    std::vector<SwitchTarget> out;
    for (const auto& title : titles) {
        SwitchTarget t;
        t.title = title;
        // The list outlives every walk that snapshots these targets.
        t.activate = [this, title] {
            activations.push_back(title);
            auto it = std::find(titles.begin(), titles.end(), title);
            if (it != titles.end()) std::rotate(titles.begin(), it, it + 1);
        };
        out.push_back(std::move(t));
    }
    return out;
}

std::vector<SwitchTarget> SimulatedFavourites::targets(const std::vector<std::string>& ids) {
    std::vector<SwitchTarget> out;
    for (const auto& id : ids) {
        if (std::find(missing.begin(), missing.end(), id) != missing.end()) continue;
        SwitchTarget t;
        t.title = id;
        t.activate = [this, id] { activations.push_back(id); };
        out.push_back(std::move(t));
    }
    return out;
}

void RecordingHUD::showList(const std::vector<SwitchTarget>& recents, int recentsSelected,
                            const std::vector<SwitchTarget>& favourites, int favSelected, SwitcherRow focus,
                            HUDLabelStyle, HUDStyle, bool) {
    bool placeholder = std::any_of(favourites.begin(), favourites.end(), [](auto& t) { return t.isPlaceholder; });
    shown.push_back({static_cast<int>(recents.size()), recentsSelected, static_cast<int>(favourites.size()),
                     favSelected, focus, placeholder});
    visible = true;
}

bool SimulatedTouchDevices::startDevice(const TouchDevice& d, FrameHandler handler) {
    if (std::find(refuse.begin(), refuse.end(), d.id) != refuse.end()) return false;
    started[d.id] = std::move(handler);
    return true;
}

void SimulatedTouchDevices::stopDevice(const TouchDevice& d) {
    started.erase(d.id);
    stopped.push_back(d.id);
}

void SimulatedTouchDevices::rescan() {
    for (const auto& d : std::vector<TouchDevice>(present)) {
        bool refused = std::find(refuse.begin(), refuse.end(), d.id) != refuse.end();
        if (!refused && !started.count(d.id) && hotplug) hotplug(d, true);
    }
}

void SimulatedTouchDevices::deliver(const std::string& id, const std::vector<TouchContact>& fingers, double t) {
    auto it = started.find(id);
    if (it != started.end()) it->second(fingers.data(), static_cast<int>(fingers.size()), t);
}

TouchContact finger(float x, float y) {
    TouchContact f;
    f.x = x;
    f.y = y;
    return f;
}

}  // namespace trellick::sim
