#include "platform/desktop/PortalAppearanceSource.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QEvent>
#include <QGuiApplication>
#include <QPalette>

#include <algorithm>
#include <cmath>
#include <iterator>

namespace trellick::desktop {

namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString kNamespace = QStringLiteral("org.freedesktop.appearance");
const QString kColorScheme = QStringLiteral("color-scheme");
const QString kAccent = QStringLiteral("accent-color");
// The call never blocks; this only bounds how long a portal being started may take.
constexpr int kReadTimeoutMs = 5000;

// The older Read wraps the value in one more variant than ReadOne.
QVariant unwrap(QVariant v) {
    while (v.metaType() == QMetaType::fromType<QDBusVariant>()) v = v.value<QDBusVariant>().variant();
    return v;
}

std::optional<ColorScheme> parseScheme(const QVariant& v) {
    // The portal sends a uint32; an integer of another width is read alike, nothing else is.
    static const int integers[] = {QMetaType::UInt,  QMetaType::Int,       QMetaType::UShort,  QMetaType::Short,
                                   QMetaType::UChar, QMetaType::ULongLong, QMetaType::LongLong};
    if (std::find(std::begin(integers), std::end(integers), v.metaType().id()) == std::end(integers))
        return std::nullopt;
    const qlonglong n = v.toLongLong();
    if (n == 1) return ColorScheme::dark;
    if (n == 2) return ColorScheme::light;
    return std::nullopt;  // 0: no preference; anything else is unknown
}

std::optional<QColor> parseAccent(const QVariant& v) {
    if (v.metaType() != QMetaType::fromType<QDBusArgument>()) return std::nullopt;
    const QDBusArgument arg = v.value<QDBusArgument>();
    if (arg.currentSignature() != QLatin1String("(ddd)")) return std::nullopt;
    double rgb[3] = {};
    arg.beginStructure();
    arg >> rgb[0] >> rgb[1] >> rgb[2];
    arg.endStructure();
    // A component outside 0..1 is how the portal says that no accent is set.
    for (double c : rgb)
        if (!std::isfinite(c) || c < 0 || c > 1) return std::nullopt;
    return QColor::fromRgbF(float(rgb[0]), float(rgb[1]), float(rgb[2]));
}

}  // namespace

PortalAppearanceSource::PortalAppearanceSource(const QDBusConnection& bus)
    : bus_(bus), watcher_(kService, bus, QDBusServiceWatcher::WatchForOwnerChange) {
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) app->installEventFilter(this);
    // A portal started later (or restarted) is read afresh; one that quits leaves the palette.
    connect(&watcher_, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& newOwner) {
                if (newOwner.isEmpty())
                    forgetPortal();
                else
                    readAll();
            });
    bus_.connect(kService, kPath, kInterface, QStringLiteral("SettingChanged"), this,
                 SLOT(settingChanged(QDBusMessage)));
    update();
    readAll();
}

PortalAppearanceSource::~PortalAppearanceSource() = default;

Subscription PortalAppearanceSource::subscribe(std::function<void(const Appearance&)> handler) {
    handler(current_);
    return changed_.connect(std::move(handler));
}

void PortalAppearanceSource::readAll() {
    read(kColorScheme, false);
    read(kAccent, false);
}

void PortalAppearanceSource::read(const QString& key, bool legacyRead) {
    auto call = QDBusMessage::createMethodCall(kService, kPath, kInterface,
                                               legacyRead ? QStringLiteral("Read") : QStringLiteral("ReadOne"));
    call << kNamespace << key;
    auto* pending = new QDBusPendingCallWatcher(bus_.asyncCall(call, kReadTimeoutMs), this);
    const unsigned stamp = stamps_.value(key);
    connect(
        pending, &QDBusPendingCallWatcher::finished, this, [this, key, legacyRead, stamp](QDBusPendingCallWatcher* w) {
            w->deleteLater();
            if (stamps_.value(key) != stamp) return;  // a newer value came meanwhile
            const QDBusMessage reply = w->reply();
            if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
                apply(key, reply.arguments().first());
            } else if (!legacyRead && reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.UnknownMethod")) {
                read(key, true);  // a portal from before ReadOne
            }
            // Other errors (no portal, no such key, no answer): no preference, the palette rules.
        });
}

void PortalAppearanceSource::settingChanged(const QDBusMessage& message) {
    const QList<QVariant> args = message.arguments();
    if (args.size() < 3 || args[0].toString() != kNamespace) return;
    const QString key = args[1].toString();
    if (key != kColorScheme && key != kAccent) return;
    ++stamps_[key];
    apply(key, args[2]);
}

void PortalAppearanceSource::apply(const QString& key, const QVariant& value) {
    const QVariant v = unwrap(value);
    if (key == kColorScheme)
        scheme_ = parseScheme(v);
    else if (key == kAccent)
        accent_ = parseAccent(v);
    update();
}

void PortalAppearanceSource::forgetPortal() {
    for (const QString& key : {kColorScheme, kAccent}) ++stamps_[key];
    scheme_.reset();
    accent_.reset();
    update();
}

bool PortalAppearanceSource::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ApplicationPaletteChange && watched == QCoreApplication::instance()) update();
    return QObject::eventFilter(watched, event);
}

void PortalAppearanceSource::update() {
    Appearance next;
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        const QPalette palette = QGuiApplication::palette();
        next.scheme = palette.color(QPalette::Window).lightness() < 128 ? ColorScheme::dark : ColorScheme::light;
        next.accent = palette.color(QPalette::Active, QPalette::Highlight);
    }
    if (scheme_) next.scheme = *scheme_;
    if (accent_) next.accent = *accent_;
    if (next == current_) return;
    current_ = next;
    changed_.notify(current_);
}

}  // namespace trellick::desktop
