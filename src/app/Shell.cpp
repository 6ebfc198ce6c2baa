#include "app/Shell.h"

#include "app/PkexecTouchpadAccess.h"
#include "app/UpdateDialog.h"

namespace trellick {

Shell::Shell(Options options) : o_(std::move(options)) {
    windows_ = std::make_shared<QtShellWindows>([this](ShellWindow w) { return makeContent(w); },
                                                [this](ShellWindow w) {
                                                    if (auto d = delegate_.lock()) d->windowWillClose(w);
                                                },
                                                presenter_);
    if (!o_.updateFeed.isEmpty()) {
        updater_ = std::make_shared<UpdaterController>(UpdaterController::Options{QUrl(o_.updateFeed), o_.version});
        if (!updater_->configured()) updater_.reset();
    }
    if (updater_) {
        std::weak_ptr<WindowPresenter> presenter = presenter_;
        QString version = o_.version;
        updater_->setResultHandler([presenter, version](const UpdateCheckResult& result) {
            QMessageBox* box = makeUpdateDialog(result, version);
            if (auto p = presenter.lock()) p->present(box);
        });
    }
}

Shell::~Shell() = default;

void Shell::provide(AppDelegate::Platform& platform) {
    platform.windowHost = windows_;
    platform.touchpadAccess =
        std::make_shared<PkexecTouchpadAccess>(PkexecTouchpadAccess::findPkexec(), PkexecTouchpadAccess::findHelper());
    platform.updaterController = updater_;
}

void Shell::attach(const std::shared_ptr<AppDelegate>& delegate) {
    delegate_ = delegate;
    tray_ = std::make_unique<TrayMenu>(delegate);
    windows_->setWindowActions(tray_->shortcutActions());
}

bool Shell::showTray() {
    return tray_ && tray_->show();
}

QWidget* Shell::makeContent(ShellWindow) {
    return nullptr;
}

}  // namespace trellick
