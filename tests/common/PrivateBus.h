#pragma once
// A session bus of the test's own: a dbus-daemon without service folders, so nothing real is
// ever started on it, stopped with the test through its own process handle.

#include <QFile>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace trellick::test {

class PrivateBus {
public:
    PrivateBus() {
        QFile conf(dir_.filePath("bus.conf"));
        written_ = conf.open(QIODevice::WriteOnly);
        if (!written_) return;
        conf.write(
            "<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen><auth>EXTERNAL</auth>"
            "<policy context='default'><allow send_destination='*' eavesdrop='true'/><allow eavesdrop='true'/>"
            "<allow own='*'/></policy></busconfig>");
        conf.close();
        daemon_.start("dbus-daemon", {"--nofork", "--print-address", "--config-file=" + conf.fileName()});
        if (daemon_.waitForStarted() && daemon_.waitForReadyRead())
            address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
    }
    ~PrivateBus() {
        daemon_.terminate();  // our own child, by its handle
        daemon_.waitForFinished();
    }
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    // Whether its configuration could be written.
    bool written() const { return written_; }
    // The bus's address; empty when dbus-daemon could not be started.
    const QString& address() const { return address_; }

private:
    QTemporaryDir dir_;
    QProcess daemon_;
    QString address_;
    bool written_ = false;
};

}  // namespace trellick::test
