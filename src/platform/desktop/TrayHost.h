#pragma once
// Whether a tray host exists, and word when one appears: a StatusNotifierWatcher with a host
// registered on the session bus, or another kind the window system knows of (the XEmbed tray
// on X11), given as a TrayHostWatch. Asked without touching QSystemTrayIcon, whose platform
// side decides once per process whether the D-Bus tray exists: creating the icon only once a
// host is there lets it choose the host that is actually present.

#include <QDBusConnection>
#include <QObject>

#include <functional>
#include <memory>

namespace trellick::desktop {

// A tray host of another kind: whether one is there now. Made with the call to make when one
// may have appeared; kept alive by the watcher.
struct TrayHostWatch {
    std::function<bool()> present;
};
using MakeTrayHostWatch = std::function<TrayHostWatch(std::function<void()> mayHaveAppeared)>;

class TrayHostWatcher : public QObject {
public:
    // `appeared` runs once, at the first host that shows up after construction.
    explicit TrayHostWatcher(std::function<void()> appeared, const MakeTrayHostWatch& other = nullptr,
                             QDBusConnection bus = QDBusConnection::sessionBus());

    // Whether a tray host exists now.
    bool present();

private:
    bool statusNotifierHost() const;
    void check();

    std::function<void()> appeared_;
    QDBusConnection bus_;
    TrayHostWatch other_;
    bool fired_ = false;
};

}  // namespace trellick::desktop
