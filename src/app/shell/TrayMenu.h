#pragma once
// The tray icon and its menu: "About Trellick", "Check for Updates…", "Settings…" (Ctrl+Comma),
// "Welcome & Setup…", a separator and "Quit Trellick" (Ctrl+Q). A left click opens the same
// menu as a right click.

#include <QAction>
#include <QMenu>
#include <QSystemTrayIcon>

#include <memory>

#include "app/Application.h"

namespace trellick {

// Whether "Check for Updates…" is enabled: follows the update controller's flag for as long as
// the menu item exists.
class CheckForUpdatesViewModel {
public:
    explicit CheckForUpdatesViewModel(const std::shared_ptr<UpdateChecker>& updater);
    Observable<bool> canCheck{false};

private:
    Subscription subscription_;
};

class TrayMenu {
public:
    // Without an update controller the update entry is disabled and reads that updates come
    // from the package manager.
    explicit TrayMenu(const std::shared_ptr<Application>& application);
    ~TrayMenu();
    TrayMenu(const TrayMenu&) = delete;
    TrayMenu& operator=(const TrayMenu&) = delete;

    // Shows the icon; false when there is no system tray to show it in. The icon is made here,
    // once a tray exists (see TrayHost.h).
    bool show();
    // The entries with shortcuts, for the windows to carry too: a hidden menu takes no keys.
    QList<QAction*> shortcutActions() const { return shortcuts_; }

    static constexpr const char* updatesFromPackageManager = "Updates Come from Your Package Manager";

private:
    std::weak_ptr<Application> application_;
    QMenu menu_;
    std::unique_ptr<QSystemTrayIcon> icon_;
    QList<QAction*> shortcuts_;
    std::unique_ptr<CheckForUpdatesViewModel> updateModel_;
    Subscription updateModelSub_;
};

}  // namespace trellick
