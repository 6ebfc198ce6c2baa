// The appearance source against a portal of the test's own, served on a private session bus.

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QGuiApplication>
#include <QPalette>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>
#include <memory>

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
const QColor kPalette{0x11, 0x22, 0x33};  // the test palette's highlight
const QColor kBlue = QColor::fromRgbF(0.2f, 0.4f, 0.6f);

bool waitUntil(const std::function<bool()>& done) {
    return test::eventually(done, [] { QCoreApplication::processEvents(); });
}

QVariant rgb(double r, double g, double b) {
    QDBusArgument arg;
    arg.beginStructure();
    arg << r << g << b;
    arg.endStructure();
    return QVariant::fromValue(arg);
}

// org.freedesktop.portal.Settings as xdg-desktop-portal serves it: ReadOne gives the value in a
// variant, the older Read wraps that variant in another; `legacy` portals lack ReadOne.
class FakePortal : public QDBusVirtualObject {
public:
    explicit FakePortal(QDBusConnection bus) : bus_(std::move(bus)) {}
    std::map<QString, QVariant> values;
    bool legacy = false;

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& m, const QDBusConnection& c) override {
        const bool readOne = m.member() == "ReadOne" && !legacy, read = m.member() == "Read";
        if (m.interface() != kInterface || (!readOne && !read) || m.arguments().size() != 2) {
            c.send(m.createErrorReply(QDBusError::UnknownMethod, "no such method"));
            return true;
        }
        auto it = values.find(m.arguments()[1].toString());
        if (m.arguments()[0].toString() != kNamespace || it == values.end()) {
            c.send(m.createErrorReply("org.freedesktop.portal.Error.NotFound", "no such key"));
            return true;
        }
        QVariant v = QVariant::fromValue(QDBusVariant(it->second));
        if (read) v = QVariant::fromValue(QDBusVariant(v));
        c.send(m.createReply(v));
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

class AppearanceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!qApp) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
            static int argc = 1;
            static char name[] = "appearance_tests";
            static char* argv[] = {name, nullptr};
            new QGuiApplication(argc, argv);  // lives as long as the process
        }
        // A bus of our own without service directories: nothing real is ever activated on it.
        busConfig = std::make_unique<QTemporaryDir>();
        bus = std::make_unique<QProcess>();
        QFile conf(busConfig->filePath("bus.conf"));
        conf.open(QIODevice::WriteOnly);
        conf.write(
            "<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen><auth>EXTERNAL</auth>"
            "<policy context='default'><allow send_destination='*' eavesdrop='true'/><allow eavesdrop='true'/>"
            "<allow own='*'/></policy></busconfig>");
        conf.close();
        bus->start("dbus-daemon", {"--nofork", "--print-address", "--config-file=" + conf.fileName()});
        if (bus->waitForStarted() && bus->waitForReadyRead()) address = QString::fromUtf8(bus->readLine()).trimmed();
    }
    static void TearDownTestSuite() {
        bus->terminate();  // our own child, by its handle
        bus->waitForFinished();
        bus.reset();
        busConfig.reset();
    }

    void SetUp() override {
        if (address.isEmpty())
            GTEST_SKIP() << "dbus-daemon could not be started (is the dbus-daemon package installed?)";
        static int n = 0;
        const QString id = QString::number(n++);
        client = QDBusConnection::connectToBus(address, "client" + id);
        portalBus = QDBusConnection::connectToBus(address, "portal" + id);
        ASSERT_TRUE(client.isConnected() && portalBus.isConnected());
        portal = std::make_unique<FakePortal>(portalBus);
        ASSERT_TRUE(portalBus.registerVirtualObject(kPath, portal.get()));
        // A dark palette, so that a portal's "light" is told apart from the palette's.
        QPalette dark;
        dark.setColor(QPalette::Window, QColor(0x20, 0x20, 0x20));
        dark.setColor(QPalette::WindowText, Qt::white);
        dark.setColor(QPalette::Highlight, kPalette);
        QGuiApplication::setPalette(dark);
    }
    void TearDown() override {
        source.reset();
        QDBusConnection::disconnectFromBus(client.name());
        QDBusConnection::disconnectFromBus(portalBus.name());  // the portal goes with it
    }

    void startPortal() { ASSERT_TRUE(portalBus.registerService("org.freedesktop.portal.Desktop")); }
    void startSource() {
        source = std::make_unique<PortalAppearanceSource>(client);
        sub = source->subscribe([this](const Appearance& a) { heard.push_back(a); });
    }
    // Returns once every read the source has made, and any read those led to, was answered:
    // the portal answers in order, so a round trip of ours to it made after them ends after
    // them. Without a portal the bus daemon answers, in order too.
    void settle() {
        for (int i = 0; i < 2; ++i) {
            auto call = QDBusMessage::createMethodCall("org.freedesktop.portal.Desktop", kPath, kInterface, "Read");
            bool done = false;
            auto* w = new QDBusPendingCallWatcher(client.asyncCall(call << "org.example.none"
                                                                        << "none"));
            QObject::connect(w, &QDBusPendingCallWatcher::finished, [&done](QDBusPendingCallWatcher* w) {
                done = true;
                w->deleteLater();
            });
            ASSERT_TRUE(waitUntil([&] { return done; }));
        }
    }

    static inline std::unique_ptr<QTemporaryDir> busConfig;
    static inline std::unique_ptr<QProcess> bus;
    static inline QString address;
    QDBusConnection client{""}, portalBus{""};
    std::unique_ptr<FakePortal> portal;
    std::unique_ptr<PortalAppearanceSource> source;
    Subscription sub;
    std::vector<Appearance> heard;
};

struct StartCase {
    const char* name;
    QVariant colorScheme;  // invalid: the key is missing
    QVariant accent;
    bool legacy;
    Appearance expected;
};
void PrintTo(const StartCase& c, std::ostream* os) {
    *os << c.name;
}

class StartRead : public AppearanceTest, public ::testing::WithParamInterface<StartCase> {};

TEST_P(StartRead, GivesThePortalsPreferencesOverThePalettes) {
    const StartCase& c = GetParam();
    if (c.colorScheme.isValid()) portal->values["color-scheme"] = c.colorScheme;
    if (c.accent.isValid()) portal->values["accent-color"] = c.accent;
    portal->legacy = c.legacy;
    startPortal();
    startSource();
    settle();
    EXPECT_EQ(source->current(), c.expected);
    EXPECT_EQ(heard.back(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Portal, StartRead,
    ::testing::Values(
        StartCase{"DarkAndAccent", QVariant(1u), rgb(0.2, 0.4, 0.6), false, {ColorScheme::dark, kBlue}},
        StartCase{
            "LightAndAccentThroughTheOlderRead", QVariant(2u), rgb(0.2, 0.4, 0.6), true, {ColorScheme::light, kBlue}},
        StartCase{
            "NoPreferenceAndAccentOutOfRange", QVariant(0u), rgb(-1, -1, -1), false, {ColorScheme::dark, kPalette}},
        StartCase{"UnknownSchemeAndNoAccentKey", QVariant(7u), QVariant(), true, {ColorScheme::dark, kPalette}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AppearanceTest, LiveChangesAreHeardOnceEachAndNoPreferenceFallsBackToThePalette) {
    portal->values["color-scheme"] = 1u;
    startPortal();
    startSource();
    ASSERT_TRUE(waitUntil([&] { return source->current().scheme == ColorScheme::dark; }));
    portal->change("accent-color", rgb(0.2, 0.4, 0.6));
    ASSERT_TRUE(waitUntil([&] { return source->current().accent == kBlue; }));
    portal->change("color-scheme", 2u);
    ASSERT_TRUE(waitUntil([&] { return source->current().scheme == ColorScheme::light; }));
    portal->change("color-scheme", 2u);  // unchanged: nothing to hear
    portal->change("color-scheme", 0u);
    ASSERT_TRUE(waitUntil([&] { return source->current().scheme == ColorScheme::dark; }));
    EXPECT_EQ(heard, (std::vector<Appearance>{{ColorScheme::dark, kPalette},
                                              {ColorScheme::dark, kBlue},
                                              {ColorScheme::light, kBlue},
                                              {ColorScheme::dark, kBlue}}));
}

TEST_F(AppearanceTest, WithoutAPortalThePaletteIsFollowedAndAPortalStartedLaterIsReadUntilItQuits) {
    startSource();
    settle();
    EXPECT_EQ(source->current(), (Appearance{ColorScheme::dark, kPalette}));
    QPalette light;
    light.setColor(QPalette::Window, QColor(0xf6, 0xf5, 0xf4));
    light.setColor(QPalette::Highlight, QColor(0xe6, 0x61, 0x00));
    QGuiApplication::setPalette(light);
    EXPECT_EQ(source->current(), (Appearance{ColorScheme::light, QColor(0xe6, 0x61, 0x00)}));
    EXPECT_EQ(heard.back(), source->current());

    portal->values["color-scheme"] = 1u;
    startPortal();
    ASSERT_TRUE(waitUntil([&] { return source->current().scheme == ColorScheme::dark; }));
    portalBus.unregisterService("org.freedesktop.portal.Desktop");
    EXPECT_TRUE(waitUntil([&] { return source->current().scheme == ColorScheme::light; }));
}

}  // namespace
}  // namespace trellick::desktop
