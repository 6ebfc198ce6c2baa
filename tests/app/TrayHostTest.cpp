// A tray over D-Bus that comes after Trellick: the icon waits for a StatusNotifierWatcher to take
// its name on the session bus and for a host to register with it.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QThread>

#include <atomic>

#include "../common/PrivateBus.h"
#include "../common/TestSupport.h"
#include "platform/desktop/TrayHost.h"

namespace trellick {
namespace {

constexpr const char* kWatcher = "org.kde.StatusNotifierWatcher";

// The watcher's one property, answered from a thread of its own: Trellick asks with blocking calls.
class FakeWatcher : public QDBusVirtualObject {
public:
    std::atomic<bool> hostRegistered{false};
    std::atomic<int> asked{0};

    QString introspect(const QString&) const override {
        return "<interface name='org.kde.StatusNotifierWatcher'>"
               "<property name='IsStatusNotifierHostRegistered' type='b' access='read'/></interface>";
    }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.member() != "Get") return false;
        ++asked;
        return connection.send(message.createReply(QVariant::fromValue(QDBusVariant(bool(hostRegistered)))));
    }
};

TEST(TrayHost, AWatcherThatComesLaterCountsOnceAHostRegistersWithIt) {
    test::PrivateBus bus;
    ASSERT_TRUE(bus.written());
    if (bus.address().isEmpty())
        GTEST_SKIP() << "dbus-daemon could not be started (is the dbus-daemon package installed?)";
    const QString& address = bus.address();
    QDBusConnection trellickBus = QDBusConnection::connectToBus(address, "trellick");
    QDBusConnection watcherBus = QDBusConnection::connectToBus(address, "watcher");
    ASSERT_TRUE(trellickBus.isConnected() && watcherBus.isConnected());
    QThread thread;
    auto* watcher = new FakeWatcher;
    watcher->moveToThread(&thread);
    QObject::connect(&thread, &QThread::finished, watcher, &QObject::deleteLater);
    thread.start();
    struct Finish {
        QThread& thread;
        ~Finish() {
            QDBusConnection::disconnectFromBus("watcher");
            QDBusConnection::disconnectFromBus("trellick");
            thread.quit();
            thread.wait();
        }
    } finish{thread};

    bool appeared = false;
    const auto pump = [] { QCoreApplication::processEvents(); };
    {
        desktop::TrayHostWatcher host([&] { appeared = true; }, nullptr, trellickBus);
        EXPECT_FALSE(host.present());
        ASSERT_TRUE(watcherBus.registerVirtualObject("/StatusNotifierWatcher", watcher));
        ASSERT_TRUE(watcherBus.registerService(kWatcher));
        // The watcher's name is looked at as it appears, but without a host it is no tray yet.
        EXPECT_TRUE(test::waitFor([&] { return watcher->asked > 0; }, 10, pump));
        QCoreApplication::processEvents();
        EXPECT_FALSE(appeared);
        watcher->hostRegistered = true;
        watcherBus.send(QDBusMessage::createSignal("/StatusNotifierWatcher", kWatcher, "StatusNotifierHostRegistered"));
        EXPECT_TRUE(test::waitFor([&] { return appeared; }, 10, pump));
        EXPECT_TRUE(host.present());
    }
}

}  // namespace
}  // namespace trellick
