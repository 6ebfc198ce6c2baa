#include "app/shell/Shell.h"

#include <QLoggingCategory>

#include "app/shell/UpdateDialog.h"
#include "app/views/AboutView.h"
#include "app/views/AppChooserDialog.h"
#include "app/views/OnboardingView.h"
#include "app/views/SettingsView.h"
#include "platform/desktop/PkexecTouchpadAccess.h"

namespace trellick {

namespace {

Q_LOGGING_CATEGORY(lcShell, "trellick.app", QtWarningMsg)

}  // namespace

Shell::Shell(Options options) : o_(std::move(options)) {
    windows_ = std::make_shared<QtShellWindows>([this](ShellWindow w) { return makeContent(w); }, o_.present);
    if (!o_.updateFeed.isEmpty()) {
        updater_ = std::make_shared<desktop::UpdaterController>(
            desktop::UpdaterController::Options{QUrl(o_.updateFeed), o_.version});
        if (!updater_->configured()) updater_.reset();
    }
    if (updater_) {
        updater_->setResultHandler(
            [present = o_.present, version = o_.version](const desktop::UpdateCheckResult& result) {
                present(makeUpdateDialog(result, version));
            });
    }
}

Shell::~Shell() = default;

void Shell::provide(Application::Platform& platform) {
    platform.windowHost = windows_;
    platform.touchpadAccess = std::make_shared<desktop::PkexecTouchpadAccess>(
        desktop::PkexecTouchpadAccess::findPkexec(), desktop::PkexecTouchpadAccess::findHelper());
    platform.updaterController = updater_;
}

void Shell::attach(const std::shared_ptr<Application>& application) {
    application_ = application;
    tray_ = std::make_unique<TrayMenu>(application);
    windows_->setWindowActions(tray_->shortcutActions());
}

bool Shell::showTray() {
    if (!tray_) return false;
    // Watching starts before the first look, so a tray that comes in between is not missed.
    trayHost_ = std::make_unique<desktop::TrayHostWatcher>(
        [this] {
            if (tray_->show()) qCDebug(lcShell) << "a system tray appeared: the icon is shown";
        },
        o_.otherTrayHost);
    if (!trayHost_->present() || !tray_->show()) return false;
    trayHost_.reset();
    return true;
}

QWidget* Shell::makeContent(ShellWindow window) {
    auto d = application_.lock();
    if (!d) return nullptr;
    std::weak_ptr<Application> weak = d;
    // The windows learn whether the helper ran or the user has to run the commands by hand.
    GrantHandler grant = [weak](std::function<void(GrantOutcome)> report) {
        auto d = weak.lock();
        if (!d) return report(GrantOutcome::cannotRun);
        d->onGrant([report = std::move(report)](const TouchpadGrant& g) {
            report(g.needsManualSteps() ? GrantOutcome::cannotRun : GrantOutcome::ran);
        });
    };
    switch (window) {
    case ShellWindow::settings: {
        d->favourites()->setChooser(std::make_shared<DialogAppChooser>(d->desktopEntries(), o_.appearance));
        FavouritesServices favourites{d->favourites(), d->workspace(), std::string(kApplicationId)};
        return new SettingsView(
            {d->settings(), d->diagnostics(), favourites, o_.appearance, grant, o_.allowWindowManagement});
    }
    case ShellWindow::welcome:
        return new OnboardingView({d->settings(), d->diagnostics(), o_.appearance, grant,
                                   [weak] {
                                       if (auto d = weak.lock()) d->onDone();
                                   },
                                   o_.allowWindowManagement});
    case ShellWindow::about:
        return new AboutView(o_.appearance);
    }
    return nullptr;
}

}  // namespace trellick
