#pragma once
// The Qt side of the application shell around one AppDelegate: the three windows, the tray menu,
// the update check and its dialog, and the touchpad-access grant.

#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

#include "app/AppDelegate.h"
#include "app/ShellWindowsQt.h"
#include "app/TrayHost.h"
#include "app/TrayMenu.h"
#include "app/UpdaterController.h"
#include "app/WindowPresenter.h"
#include "overlay/OverlayDesktop.h"

namespace trellick {

class Shell {
public:
    struct Options {
        QString version;
        QString updateFeed;  // empty: updates come from the package manager
        // Light or dark and the accent for the windows; without one they keep the Qt palette.
        std::shared_ptr<AppearanceSource> appearance;
        // Under KWin without its window management: writes the desktop entry that opens it and
        // connects again (see SettingsView's Diagnostics). Empty elsewhere.
        std::function<void(std::function<void(Result<>)>)> allowWindowManagement;
    };
    explicit Shell(Options options);
    ~Shell();

    // Puts the shell's parts into the delegate's platform: the window host, the touchpad-access
    // grant and the update controller.
    void provide(AppDelegate::Platform& platform);
    // Once the delegate exists (before it launches): windows and menu act on it from now on.
    void attach(const std::shared_ptr<AppDelegate>& delegate);
    // Shows the tray icon; false when there is no system tray yet. The shell then watches for
    // one and shows the icon when it appears.
    bool showTray();

private:
    QWidget* makeContent(ShellWindow window);

    Options o_;
    std::weak_ptr<AppDelegate> delegate_;
    std::shared_ptr<WindowPresenter> presenter_ = std::make_shared<WindowPresenter>();
    std::shared_ptr<QtShellWindows> windows_;
    std::shared_ptr<UpdaterController> updater_;
    std::unique_ptr<TrayMenu> tray_;
    std::unique_ptr<TrayHostWatcher> trayHost_;
};

}  // namespace trellick
