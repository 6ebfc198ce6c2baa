#pragma once
// The XEmbed system tray of an X11 screen: the owner of its _NET_SYSTEM_TRAY_S<n> selection,
// and the MANAGER message a new tray sends to the root window, heard on Qt's own connection.

#include <QAbstractNativeEventFilter>

#include <xcb/xcb.h>

#include <functional>

namespace trellick::x11 {

class XEmbedTray : public QAbstractNativeEventFilter {
public:
    // `appeared` runs (on the main thread) each time a tray announces itself. Without an X11
    // connection nothing is watched and no tray is ever present.
    explicit XEmbedTray(std::function<void()> appeared);
    ~XEmbedTray() override;
    XEmbedTray(const XEmbedTray&) = delete;
    XEmbedTray& operator=(const XEmbedTray&) = delete;

    bool present() const;
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    std::function<void()> appeared_;
    xcb_atom_t manager_ = XCB_ATOM_NONE, selection_ = XCB_ATOM_NONE;
};

}  // namespace trellick::x11
