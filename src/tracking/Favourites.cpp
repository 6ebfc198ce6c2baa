#include "tracking/Favourites.h"

namespace trellick {

std::optional<RunningApp> Favourites::runningWithDesktopId(const std::string& desktopId) {
    for (auto& app : workspace_->runningApps())
        if (app.desktopId == desktopId) return app;
    return std::nullopt;
}

std::optional<Favourites::Info> Favourites::appInfo(const std::string& desktopId) {
    if (auto it = infoCache_.find(desktopId); it != infoCache_.end()) return it->second;
    std::optional<Info> info;
    if (auto app = runningWithDesktopId(desktopId)) {
        info = Info{app->icon, app->name ? *app->name : desktopId};
    } else if (auto loc = workspace_->locate(desktopId)) {
        info = Info{loc->icon, loc->name.empty() ? desktopId : loc->name};
    }
    infoCache_[desktopId] = info;
    return info;
}

bool Favourites::appExists(const std::string& desktopId) {
    if (auto it = infoCache_.find(desktopId); it != infoCache_.end()) return it->second.has_value();
    if (runningWithDesktopId(desktopId)) return true;
    return workspace_->locate(desktopId).has_value();
}

void Favourites::activate(const std::string& desktopId) {
    if (auto app = runningWithDesktopId(desktopId)) {
        workspace_->activateApp(app->pid);
    } else if (workspace_->locate(desktopId)) {
        workspace_->launch(desktopId);
    }
}

std::vector<SwitchTarget> Favourites::targets(const std::vector<std::string>& desktopIds) {
    std::vector<SwitchTarget> out;
    std::weak_ptr<Favourites> weak = weak_from_this();
    for (auto& id : desktopIds) {
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
