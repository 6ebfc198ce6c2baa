#pragma once
// Pinned favourite applications, by bundle identifier (desktop entry id): their names and
// icons, whether they exist, activating or launching them, and their switch targets.
// Main thread only.

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tracking/MRUSwitcher.h"
#include "tracking/Workspace.h"

namespace trellick {

class Favourites : public FavouriteTargetSource, public std::enable_shared_from_this<Favourites> {
public:
    struct Info {
        std::optional<IconHandle> icon;
        std::string name;
    };

    explicit Favourites(std::shared_ptr<Workspace> workspace) : workspace_(std::move(workspace)) {}

    // Name and icon; nothing when no such application is running or installed. Results,
    // "not found" included, are kept for the life of the object.
    std::optional<Info> appInfo(const std::string& bundleID);
    bool appExists(const std::string& bundleID);
    // Brings a running instance forward, else launches the application.
    void activate(const std::string& bundleID);
    std::vector<SwitchTarget> targets(const std::vector<std::string>& bundleIDs) override;

private:
    std::optional<RunningApp> runningWithBundleID(const std::string& bundleID);

    std::shared_ptr<Workspace> workspace_;
    std::map<std::string, std::optional<Info>> infoCache_;
};

}  // namespace trellick
