#pragma once
// Launch at login through XDG autostart: $XDG_CONFIG_HOME/autostart/trellick.desktop.
// The entry counts as enabled when it is present and not switched off (Hidden=true, or
// X-GNOME-Autostart-enabled=false, which is how GNOME's tools switch an entry off).

#include <QByteArray>
#include <QString>

#include "settings/LoginItem.h"

namespace trellick::desktop {

class XdgAutostartService : public LoginItemService {
public:
    // The user's autostart folder, launching the running executable.
    XdgAutostartService();
    XdgAutostartService(QString entryPath, QString executable);

    static QString defaultEntryPath();
    // The absolute path of the running program ($APPIMAGE for an AppImage).
    static QString runningExecutable();
    // The desktop entry written on register, its Exec line quoted for `executable`.
    static QByteArray desktopEntry(const QString& executable);

    bool isEnabled() const override;
    Result<> registerItem() override;
    Result<> unregisterItem() override;

    const QString& entryPath() const { return entryPath_; }

private:
    QString entryPath_;
    QString executable_;
};

}  // namespace trellick::desktop
