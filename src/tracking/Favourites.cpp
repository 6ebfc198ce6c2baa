#include "tracking/Favourites.h"

namespace trellick {

std::optional<RunningApp> Favourites::runningWithBundleID(const std::string& bundleID) {
    for (auto& app : workspace_->runningApps())
        if (app.bundleID == bundleID) return app;
    return std::nullopt;
}

std::optional<Favourites::Info> Favourites::appInfo(const std::string& bundleID) {
    if (auto it = infoCache_.find(bundleID); it != infoCache_.end()) return it->second;
    std::optional<Info> info;
    if (auto app = runningWithBundleID(bundleID)) {
        info = Info{app->icon, app->name ? *app->name : bundleID};
    } else if (auto loc = workspace_->locate(bundleID)) {
        info = Info{loc->icon, loc->name.empty() ? bundleID : loc->name};
    }
    infoCache_[bundleID] = info;
    return info;
}

bool Favourites::appExists(const std::string& bundleID) {
    if (auto it = infoCache_.find(bundleID); it != infoCache_.end()) return it->second.has_value();
    if (runningWithBundleID(bundleID)) return true;
    return workspace_->locate(bundleID).has_value();
}

void Favourites::activate(const std::string& bundleID) {
    if (auto app = runningWithBundleID(bundleID)) {
        workspace_->activateApp(app->pid);
    } else if (workspace_->locate(bundleID)) {
        workspace_->launch(bundleID);
    }
}

std::vector<SwitchTarget> Favourites::targets(const std::vector<std::string>& bundleIDs) {
    std::vector<SwitchTarget> out;
    std::weak_ptr<Favourites> weak = weak_from_this();
    for (auto& id : bundleIDs) {
        auto info = appInfo(id);
        if (!info) continue;
        SwitchTarget t;
        t.icon = info->icon;
        t.title = info->name;
        t.activate = [weak, id] {
            if (auto self = weak.lock()) self->activate(id);
        };
        out.push_back(std::move(t));
    }
    return out;
}

std::optional<std::string> Favourites::pickApp() {
    if (!chooser_) return std::nullopt;
    auto id = chooser_->chooseApp();
    if (!id || id->empty()) return std::nullopt;
    return id;
}

}  // namespace trellick
