#pragma once
// The desktop's appearance from the XDG desktop portal (org.freedesktop.portal.Settings,
// namespace org.freedesktop.appearance: color-scheme and accent-color), read without waiting
// at start and followed live. Where the portal is absent or states no preference, the
// application palette answers: its window colour for light or dark, its highlight for the
// accent, followed live too. Main thread only; create it after the QGuiApplication.

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QHash>
#include <QObject>

#include <optional>

#include "overlay/OverlayDesktop.h"

class QDBusMessage;

namespace trellick::desktop {

class PortalAppearanceSource : public QObject, public AppearanceSource {
    Q_OBJECT
public:
    // Asks the portal on `bus` and returns at once; the palette answers until it replies.
    explicit PortalAppearanceSource(const QDBusConnection& bus = QDBusConnection::sessionBus());
    ~PortalAppearanceSource() override;

    Appearance current() const override { return current_; }
    // Hears the current appearance at once, then every change (never an unchanged one).
    Subscription subscribe(std::function<void(const Appearance&)> handler) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private Q_SLOTS:
    void settingChanged(const QDBusMessage& message);

private:
    void readAll();
    void read(const QString& key, bool legacyRead);
    void apply(const QString& key, const QVariant& value);
    void forgetPortal();
    void update();

    QDBusConnection bus_;
    QDBusServiceWatcher watcher_;
    // The portal's stated preferences; nothing where it states none.
    std::optional<ColorScheme> scheme_;
    std::optional<QColor> accent_;
    // Bumped by every change of a key and by the portal going away, so that the answer to a
    // read made before them cannot undo what they did.
    QHash<QString, unsigned> stamps_;
    Appearance current_;
    Signal<Appearance> changed_;
};

}  // namespace trellick::desktop
