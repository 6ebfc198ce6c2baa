#pragma once
// Whether a tray host exists, and word when one appears: a StatusNotifierWatcher with a host
// registered on the session bus, or an owner of the XEmbed tray selection (_NET_SYSTEM_TRAY_S<n>)
// on X11. Asked without touching QSystemTrayIcon, whose platform side decides once per process
// whether the D-Bus tray exists: creating the icon only once a host is there lets it choose the
// host that is actually present.

#include <QAbstractNativeEventFilter>
#include <QDBusConnection>
#include <QObject>

#include <xcb/xcb.h>

#include <functional>

namespace trellick {

class TrayHostWatcher : public QObject, public QAbstractNativeEventFilter {
public:
    // `appeared` runs once, at the first host that shows up after construction.
    explicit TrayHostWatcher(std::function<void()> appeared, QDBusConnection bus = QDBusConnection::sessionBus());
    ~TrayHostWatcher() override;

    // Whether a tray host exists now.
    bool present();

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    bool statusNotifierHost() const;
    bool xembedTray() const;
    void check();

    std::function<void()> appeared_;
    QDBusConnection bus_;
    xcb_atom_t manager_ = XCB_ATOM_NONE, selection_ = XCB_ATOM_NONE;
    bool fired_ = false;
};

}  // namespace trellick
