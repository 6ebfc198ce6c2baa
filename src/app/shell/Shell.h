#pragma once
// The Qt side of the application shell around one Application: the three windows, the tray menu,
// the update check and its dialog, and the touchpad-access grant.

#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

#include "app/Application.h"
#include "app/shell/ShellWindowsQt.h"
#include "app/shell/TrayMenu.h"
#include "app/shell/WindowPresenter.h"
#include "overlay/OverlayDesktop.h"
#include "platform/desktop/TrayHost.h"
#include "platform/desktop/UpdaterController.h"

namespace trellick {

class Shell {
public:
    struct Options {
        QString version;
        QString updateFeed;  // empty: updates come from the package manager
        // Light or dark and the accent for the windows; without one they keep the Qt palette.
        std::shared_ptr<AppearanceSource> appearance;
        WindowPresenter present = presentPlainly;
        // A tray host of the window system's own kind, beside the session bus's (optional).
        desktop::MakeTrayHostWatch otherTrayHost = nullptr;
        // Under KWin without its window management: writes the desktop entry that opens it and
        // connects again (see SettingsView's Diagnostics). Empty elsewhere.
        std::function<void(std::function<void(Result<>)>)> allowWindowManagement = nullptr;
    };
    explicit Shell(Options options);
    ~Shell();

    // Puts the shell's parts into the application's platform: the window host, the touchpad-access
    // grant and the update controller.
    void provide(Application::Platform& platform);
    // Once the application exists (before it launches): windows and menu act on it from now on.
    void attach(const std::shared_ptr<Application>& application);
    // Shows the tray icon; false when there is no system tray yet. The shell then watches for
    // one and shows the icon when it appears.
    bool showTray();

private:
    QWidget* makeContent(ShellWindow window);

    Options o_;
    std::weak_ptr<Application> application_;
    std::shared_ptr<QtShellWindows> windows_;
    std::shared_ptr<desktop::UpdaterController> updater_;
    std::unique_ptr<TrayMenu> tray_;
    std::unique_ptr<desktop::TrayHostWatcher> trayHost_;
};

}  // namespace trellick
