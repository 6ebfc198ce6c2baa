#pragma once
// Pinned favourite applications, by desktop entry id: their names and
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

// The application chooser of "Browse…": on the desktop a dialog listing the installed
// applications. Main thread only; it may run a modal loop until the user answers.
class AppChooser {
public:
    virtual ~AppChooser() = default;
    // The desktop id of the application chosen, or nothing when the user cancelled.
    virtual std::optional<std::string> chooseApp() = 0;
};

class Favourites : public FavouriteTargetSource, public std::enable_shared_from_this<Favourites> {
public:
    struct Info {
        std::optional<IconHandle> icon;
        std::string name;
    };

    explicit Favourites(std::shared_ptr<Workspace> workspace, std::shared_ptr<AppChooser> chooser = nullptr)
        : workspace_(std::move(workspace)), chooser_(std::move(chooser)) {}

    // The chooser pickApp() shows; the shell sets it once its windows exist.
    void setChooser(std::shared_ptr<AppChooser> chooser) { chooser_ = std::move(chooser); }

    // Name and icon; nothing when no such application is running or installed. Results,
    // "not found" included, are kept for the life of the object.
    std::optional<Info> appInfo(const std::string& desktopId);
    bool appExists(const std::string& desktopId);
    // Brings a running instance forward, else launches the application.
    void activate(const std::string& desktopId);
    std::vector<SwitchTarget> targets(const std::vector<std::string>& desktopIds) override;
    // Lets the user choose an application to pin ("Choose an app to pin"); nothing when they
    // cancel, chose nothing usable, or no chooser is set.
    std::optional<std::string> pickApp();

private:
    std::optional<RunningApp> runningWithDesktopId(const std::string& desktopId);

    std::shared_ptr<Workspace> workspace_;
    std::shared_ptr<AppChooser> chooser_;
    std::map<std::string, std::optional<Info>> infoCache_;
};

}  // namespace trellick
