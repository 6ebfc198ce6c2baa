// The appearance source against a portal of the test's own, served on a private session bus.

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QGuiApplication>
#include <QPalette>

#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "../common/PrivateBus.h"
#include "../common/TestSupport.h"
#include "platform/desktop/PortalAppearanceSource.h"

namespace trellick::desktop {

void PrintTo(const Appearance& a, std::ostream* os) {
    *os << (a.scheme == ColorScheme::dark ? "dark " : "light ") << a.accent.name().toStdString();
}

namespace {

const QString kPath = "/org/freedesktop/portal/desktop";
const QString kInterface = "org.freedesktop.portal.Settings";
const QString kNamespace = "org.freedesktop.appearance";

QVariant rgb(double r, double g, double b) {
    QDBusArgument arg;
    arg.beginStructure();
    arg << r << g << b;
    arg.endStructure();
    return QVariant::fromValue(arg);
}

// org.freedesktop.portal.Settings as an xdg-desktop-portal from before ReadOne serves it: the
// older Read wraps the value in two variants; ReadOne is an unknown method.
class OlderPortal : public QDBusVirtualObject {
public:
    explicit OlderPortal(QDBusConnection bus) : bus_(std::move(bus)) {}
    std::map<QString, QVariant> values;

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& m, const QDBusConnection& c) override {
        auto it = m.arguments().size() == 2 ? values.find(m.arguments()[1].toString()) : values.end();
        if (m.interface() != kInterface || m.member() != "Read")
            c.send(m.createErrorReply(QDBusError::UnknownMethod, "no such method"));
        else if (m.arguments()[0].toString() != kNamespace || it == values.end())
            c.send(m.createErrorReply("org.freedesktop.portal.Error.NotFound", "no such key"));
        else
            c.send(m.createReply(QVariant::fromValue(QDBusVariant(QVariant::fromValue(QDBusVariant(it->second))))));
        return true;
    }
    void change(const QString& key, const QVariant& value) {
        values[key] = value;
        auto signal = QDBusMessage::createSignal(kPath, kInterface, "SettingChanged");
        signal << kNamespace << key << QVariant::fromValue(QDBusVariant(value));
        bus_.send(signal);
    }

private:
    QDBusConnection bus_;
};

QPalette palette(QColor window, QColor highlight) {
    QPalette p;
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::Highlight, highlight);
    return p;
}

// The palette answers until a portal does, the portal's preferences (read through the older
// Read, then changed live, each change heard once) win over it, and when it quits the palette
// is followed again.
TEST(PortalAppearance, ThePortalsPreferencesWinOverTheFollowedPaletteWhileItRuns) {
    test::PrivateBus bus;
    ASSERT_TRUE(bus.written());
    if (bus.address().isEmpty())
        GTEST_SKIP() << "dbus-daemon could not be started (is the dbus-daemon package installed?)";
    const QString& address = bus.address();
    {
        QDBusConnection client = QDBusConnection::connectToBus(address, "client");
        QDBusConnection portalBus = QDBusConnection::connectToBus(address, "portal");
        ASSERT_TRUE(client.isConnected() && portalBus.isConnected());
        OlderPortal portal(portalBus);
        ASSERT_TRUE(portalBus.registerVirtualObject(kPath, &portal));
        const QColor paletteAccent{0x11, 0x22, 0x33}, blue = QColor::fromRgbF(0.2f, 0.4f, 0.6f);
        QGuiApplication::setPalette(palette(QColor(0x20, 0x20, 0x20), paletteAccent));

        PortalAppearanceSource source(client);
        std::vector<Appearance> heard;
        Subscription sub = source.subscribe([&](const Appearance& a) { heard.push_back(a); });
        auto becomes = [&](Appearance a) {
            return test::waitFor([&] { return source.current() == a; }, 10, [] { QCoreApplication::processEvents(); });
        };
        EXPECT_EQ(source.current(), (Appearance{ColorScheme::dark, paletteAccent}));

        portal.values = {{"color-scheme", 2u}, {"accent-color", rgb(0.2, 0.4, 0.6)}};
        ASSERT_TRUE(portalBus.registerService("org.freedesktop.portal.Desktop"));
        ASSERT_TRUE(becomes({ColorScheme::light, blue}));
        portal.change("color-scheme", 2u);  // unchanged: nothing to hear
        portal.change("color-scheme", 0u);  // no preference: the palette's dark
        ASSERT_TRUE(becomes({ColorScheme::dark, blue}));
        portalBus.unregisterService("org.freedesktop.portal.Desktop");
        ASSERT_TRUE(becomes({ColorScheme::dark, paletteAccent}));
        QGuiApplication::setPalette(palette(QColor(0xf6, 0xf5, 0xf4), QColor(0xe6, 0x61, 0x00)));
        EXPECT_EQ(source.current(), (Appearance{ColorScheme::light, QColor(0xe6, 0x61, 0x00)}));
        EXPECT_EQ(heard, (std::vector<Appearance>{{ColorScheme::dark, paletteAccent},
                                                  {ColorScheme::light, paletteAccent},
                                                  {ColorScheme::light, blue},
                                                  {ColorScheme::dark, blue},
                                                  {ColorScheme::dark, paletteAccent},
                                                  {ColorScheme::light, QColor(0xe6, 0x61, 0x00)}}));
    }
    QDBusConnection::disconnectFromBus("client");
    QDBusConnection::disconnectFromBus("portal");
}

}  // namespace
}  // namespace trellick::desktop
