#include "platform/desktop/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QVariantMap>
#include <algorithm>

#include "common/ApplicationId.h"

namespace trellick::desktop {

namespace {

const char* kInterface = "org.freedesktop.Application";
const char* kTokenKey = "activation-token";

// A folder that only this user can change: anyone else who may write in it could hold the
// lock and make every Trellick of this user exit as "already running".
bool privateFolder(const QString& dir) {
    struct stat st {};
    return !dir.isEmpty() && ::stat(QFile::encodeName(dir).constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
           st.st_uid == ::geteuid() && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// $XDG_RUNTIME_DIR where it is private, else a folder of this user's own in the temporary
// folder, else in the cache folder; empty when none of them is private.
QString lockFolder() {
    QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (privateFolder(runtime)) return runtime;
    const QString own = QString("trellick-%1").arg(::geteuid());
    for (const QString& dir : {QDir::tempPath() + "/" + own,
                               QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + "/" + own}) {
        if (dir.startsWith('/')) {
            QDir().mkpath(QFileInfo(dir).path());
            ::mkdir(QFile::encodeName(dir).constData(), 0700);
        }
        if (privateFolder(dir)) return dir;
    }
    return {};
}

// Takes the lock file; -1 and the holder's process id (0 when unknown) when another holds it.
int takeLock(long* holder) {
    QString folder = lockFolder();
    if (folder.isEmpty()) return -2;
    QByteArray path = QFile::encodeName(folder + "/" + kApplicationId + ".lock");
    int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return -2;  // no lock to be had: do not stand in the way
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        char buf[32] = {};
        ssize_t n = ::pread(fd, buf, sizeof buf - 1, 0);
        *holder = n > 0 ? std::strtol(buf, nullptr, 10) : 0;
        ::close(fd);
        return -1;
    }
    QByteArray pid = QByteArray::number(qint64(::getpid())) + "\n";
    if (::ftruncate(fd, 0) == 0 && ::pwrite(fd, pid.constData(), size_t(pid.size()), 0) < 0) {
        // The process id is only a courtesy for the message of a second instance.
    }
    return fd;
}

}  // namespace

// org.freedesktop.Application on the application id's object path: Activate opens settings.
class ActivationObject : public QDBusVirtualObject {
public:
    explicit ActivationObject(std::function<void(const QString&)> onActivate) : onActivate_(std::move(onActivate)) {}

    QString introspect(const QString&) const override {
        return QString(
                   "<interface name=\"%1\"><method name=\"Activate\">"
                   "<arg type=\"a{sv}\" name=\"platform_data\" direction=\"in\"/></method></interface>")
            .arg(kInterface);
    }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.interface() != kInterface || message.member() != "Activate") return false;
        QString token;
        if (!message.arguments().isEmpty())
            token = qdbus_cast<QVariantMap>(message.arguments().first()).value(kTokenKey).toString();
        // Any client of the bus may call: a token is short and printable, or it is none.
        if (token.size() > 256 || std::any_of(token.begin(), token.end(), [](QChar c) { return !c.isPrint(); }))
            token.clear();
        auto run = onActivate_;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [run, token] { run(token); }, Qt::QueuedConnection);
        connection.send(message.createReply());
        return true;
    }

private:
    std::function<void(const QString&)> onActivate_;
};

SingleInstance::~SingleInstance() {
    if (ownsName_) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        bus.unregisterService(kApplicationId);
        bus.unregisterObject(objectPath);
    }
    if (lockFd_ >= 0) ::close(lockFd_);
}

SingleInstance::Claim SingleInstance::claim(std::function<void(const QString&)> onActivate,
                                            const std::function<QString()>& activationToken) {
    Claim result;
    std::unique_ptr<SingleInstance> self(new SingleInstance);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        // The object first, so a launch that finds the name finds someone to answer.
        self->object_ = std::make_unique<ActivationObject>(std::move(onActivate));
        bus.registerVirtualObject(objectPath, self->object_.get(), QDBusConnection::SingleNode);
        auto reply = bus.interface()->registerService(kApplicationId, QDBusConnectionInterface::DontQueueService,
                                                      QDBusConnectionInterface::DontAllowReplacement);
        if (!reply.isValid()) {
            // A bus that will not give names out is no bus to find each other on: the lock decides.
            bus.unregisterObject(objectPath);
            self->object_.reset();
        } else if (reply.value() == QDBusConnectionInterface::ServiceRegistered) {
            self->ownsName_ = true;
        } else {
            bus.unregisterObject(objectPath);
            QDBusMessage call = QDBusMessage::createMethodCall(kApplicationId, objectPath, kInterface, "Activate");
            QVariantMap platformData;
            if (QString id = qEnvironmentVariable("DESKTOP_STARTUP_ID"); !id.isEmpty())
                platformData["desktop-startup-id"] = id;
            QString token = qEnvironmentVariable("XDG_ACTIVATION_TOKEN");
            if (token.isEmpty() && activationToken) token = activationToken();
            if (!token.isEmpty()) platformData[kTokenKey] = token;
            call << platformData;
            QDBusMessage answer = bus.call(call, QDBus::Block, 10000);
            if (answer.type() == QDBusMessage::ReplyMessage) {
                result.outcome = Outcome::askedRunning;
            } else {
                result.outcome = Outcome::failed;
                result.message = "Trellick is already running but did not answer: " + answer.errorMessage();
            }
            return result;
        }
    }
    long holder = 0;
    self->lockFd_ = takeLock(&holder);
    if (self->lockFd_ == -1) {
        result.outcome = Outcome::runningNoBus;
        result.message = QString(
                             "Trellick is already running%1, without a session bus to ask it to open its "
                             "settings; use its tray icon.")
                             .arg(holder > 0 ? QString(" (process %1)").arg(holder) : QString());
        return result;
    }
    result.instance = std::move(self);
    return result;
}

}  // namespace trellick::desktop
