#pragma once
// KWin's D-Bus interfaces on the KWin rig's session bus: its effects and screenshots (answered
// for programs whose desktop entry names them, as the rig's entries do).

#include <fcntl.h>
#include <unistd.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QImage>
#include <string>

#include "x11/Rig.h"

namespace trellick::rig {

inline QDBusMessage callKWin(const std::string& busAddress, const QString& path, const QString& interface,
                             const QString& method, const QVariantList& args) {
    // Named by its address: each rig has a KWin and a bus of its own.
    const QString address = QString::fromStdString(busAddress);
    auto bus = QDBusConnection::connectToBus(address, address);
    auto call = QDBusMessage::createMethodCall("org.kde.KWin", path, interface, method);
    call.setArguments(args);
    return bus.call(call);
}

// KWin's virtual output starts without its blur effect; true once it runs. KWin takes D-Bus
// calls a moment after its Wayland socket is there.
inline bool loadKWinBlur(const std::string& busAddress) {
    return waitFor([&] {
        const QDBusMessage loaded =
            callKWin(busAddress, "/Effects", "org.kde.kwin.Effects", "loadEffect", {QString("blur")});
        return loaded.type() == QDBusMessage::ReplyMessage && loaded.arguments().value(0).toBool();
    });
}

// The output as raw pixels KWin writes into a pipe, described by the reply; null if it refused.
inline QImage kwinScreenshot(const std::string& busAddress) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return {};
    const QDBusMessage reply =
        callKWin(busAddress, "/org/kde/KWin/ScreenShot2", "org.kde.KWin.ScreenShot2", "CaptureActiveScreen",
                 {QVariantMap(), QVariant::fromValue(QDBusUnixFileDescriptor(fds[1]))});
    close(fds[1]);
    QByteArray bytes;
    char chunk[65536];
    for (ssize_t n; (n = read(fds[0], chunk, sizeof chunk)) > 0;) bytes.append(chunk, n);
    close(fds[0]);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return {};
    const QVariantMap meta = qdbus_cast<QVariantMap>(reply.arguments().at(0));
    const QImage image(reinterpret_cast<const uchar*>(bytes.constData()), meta["width"].toInt(), meta["height"].toInt(),
                       meta["stride"].toInt(), static_cast<QImage::Format>(meta["format"].toInt()));
    return image.copy();
}

}  // namespace trellick::rig
