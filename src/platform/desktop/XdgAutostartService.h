#pragma once
// Launch at login through XDG autostart: $XDG_CONFIG_HOME/autostart/trellick.desktop.
// The entry counts as enabled when it is present and not switched off (Hidden=true, or
// X-GNOME-Autostart-enabled=false, which is how GNOME's tools switch an entry off).
// It runs the program that wrote it: plain `trellick` when a login session's PATH finds this
// very program under that name (an installed Trellick), else its absolute path. TryExec names
// the same program, so a session skips the entry rather than failing once it is gone.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "settings/LoginItem.h"

namespace trellick::desktop {

// One argument of a desktop entry's Exec line, quoted and escaped where it needs to be.
QString execArgument(const QString& arg);

class XdgAutostartService : public LoginItemService {
public:
    // The user's autostart folder, launching the running executable.
    XdgAutostartService();
    // `loginPath`: the folders a login session searches for programs, in order.
    XdgAutostartService(QString entryPath, QString executable, QStringList loginPath = defaultLoginPath());

    static QString defaultEntryPath();
    // The absolute path of the running program ($APPIMAGE for an AppImage).
    static QString runningExecutable();
    // The PATH every desktop session starts with (what systemd and login give), whatever a
    // terminal's PATH adds to it: an entry naming a program only by name must work at login.
    static QStringList defaultLoginPath();
    // What the entry runs: "trellick" when `loginPath` finds `executable` under that name,
    // else the executable's path.
    static QString launchCommand(const QString& executable, const QStringList& loginPath);
    // The desktop entry written on register, running `command` (a name or an absolute path).
    static QByteArray desktopEntry(const QString& command);

    bool isEnabled() const override;
    Result<> registerItem() override;
    Result<> unregisterItem() override;

    // Writes the entry again when it is enabled but its program (Exec or TryExec) no longer
    // exists, say after Trellick moved or its build folder was removed. Succeeds when nothing
    // needed doing or the rewrite worked.
    Result<> repairIfStale();

private:
    QString entryPath_;
    QString executable_;
    QStringList loginPath_;
};

}  // namespace trellick::desktop
