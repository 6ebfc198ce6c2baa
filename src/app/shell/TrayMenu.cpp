#include "app/shell/TrayMenu.h"

#include <QCoreApplication>
#include <QCursor>
#include <QKeySequence>
#include <QLoggingCategory>
#include <QStringList>

#include "app/shell/TrayIcon.h"

namespace trellick {

namespace {

Q_LOGGING_CATEGORY(lcTray, "trellick.app", QtWarningMsg)

}  // namespace

CheckForUpdatesViewModel::CheckForUpdatesViewModel(const std::shared_ptr<UpdateChecker>& updater) {
    if (updater) subscription_ = updater->subscribeCanCheck([this](const bool& can) { canCheck.set(can); });
}

TrayMenu::TrayMenu(const std::shared_ptr<Application>& application) : application_(application) {
    auto call = [this](void (Application::*fn)()) {
        return [this, fn] {
            if (auto d = application_.lock()) (d.get()->*fn)();
        };
    };
    QObject::connect(menu_.addAction("About Trellick"), &QAction::triggered, call(&Application::openAbout));

    std::shared_ptr<UpdateChecker> updater = application->updaterController();
    // Without a feed the entry itself says where updates come from: tray menus shown over
    // D-Bus show no tooltips.
    QAction* updates = menu_.addAction(updater ? "Check for Updates…" : updatesFromPackageManager);
    updateModel_ = std::make_unique<CheckForUpdatesViewModel>(updater);
    updateModelSub_ = updateModel_->canCheck.subscribe([updates](const bool& can) { updates->setEnabled(can); });
    if (updater) {
        std::weak_ptr<UpdateChecker> weak = updater;
        QObject::connect(updates, &QAction::triggered, [weak] {
            if (auto u = weak.lock()) u->checkForUpdates();
        });
    }

    QAction* settings = menu_.addAction("Settings…");
    settings->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    // Menu shortcuts work wherever Trellick has a window in front, as in a menu bar.
    settings->setShortcutContext(Qt::ApplicationShortcut);
    QObject::connect(settings, &QAction::triggered, call(&Application::openSettings));
    QObject::connect(menu_.addAction("Welcome && Setup…"), &QAction::triggered, call(&Application::showOnboarding));
    menu_.addSeparator();
    QAction* quit = menu_.addAction("Quit Trellick");
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit->setShortcutContext(Qt::ApplicationShortcut);
    QObject::connect(quit, &QAction::triggered, [] { QCoreApplication::quit(); });
    shortcuts_ = {settings, quit};

    QObject::connect(&menu_, &QMenu::aboutToShow, [this] {
        if (!lcTray().isDebugEnabled()) return;
        QStringList entries;
        for (QAction* a : menu_.actions()) {
            QString text = a->isSeparator() ? "--" : QString(a->text()).replace("&&", "&");
            if (!a->shortcut().isEmpty()) text += " [" + a->shortcut().toString() + "]";
            if (!a->isEnabled()) text += " (disabled)";
            entries << text;
        }
        qCDebug(lcTray).noquote() << "tray menu:" << entries.join(" | ");
    });
    QObject::connect(&menu_, &QMenu::aboutToHide, [] { qCDebug(lcTray) << "tray menu closed"; });
}

TrayMenu::~TrayMenu() {
    if (icon_) icon_->hide();
}

bool TrayMenu::show() {
    if (!icon_) {
        if (!QSystemTrayIcon::isSystemTrayAvailable()) return false;
        icon_ = std::make_unique<QSystemTrayIcon>();
        icon_->setIcon(drawTrayIcon());
        icon_->setToolTip("Trellick");
        icon_->setContextMenu(&menu_);
        QObject::connect(icon_.get(), &QSystemTrayIcon::activated, [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger) menu_.popup(QCursor::pos());
        });
    }
    icon_->show();
    return true;
}

}  // namespace trellick
