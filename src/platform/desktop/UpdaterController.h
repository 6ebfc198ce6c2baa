#pragma once
// "Check for Updates…": a user-initiated check of the project's release feed (Atom, one
// <entry> per release, the version in its title or tag) at an address fixed at build time.
// It is the only network access Trellick ever makes: HTTPS with certificate verification, one
// request at a time, a deadline and a size cap. Everything the server sends is untrusted: the
// feed is read without a document type (no entity expansion), each field capped, and only
// plain text and an http(s) page ever reach the user.

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <optional>

#include "settings/UpdateChecker.h"

class QNetworkAccessManager;
class QNetworkReply;

namespace trellick::desktop {

struct UpdateCheckResult {
    enum class Kind { newer, upToDate, failed };
    Kind kind = Kind::failed;
    QString version;  // newer: the newest release; upToDate: the running version
    QUrl page;        // newer: its release page (http or https), when the feed names one
    QString reason;   // failed: why, in a sentence for the user
};

class UpdaterController : public QObject, public UpdateChecker {
public:
    static constexpr int defaultTimeoutMs = 15000;
    static constexpr qint64 maxFeedBytes = 1 << 20;
    // Longer titles, ids and links are no release's: they are read as absent.
    static constexpr int maxFieldChars = 1024;

    struct Options {
        QUrl feed;  // empty: updates come from the package manager, no check
        QString currentVersion;
        int timeoutMs = defaultTimeoutMs;
        qint64 maxBytes = maxFeedBytes;
        // Plain HTTP to 127.0.0.1, as the tests serve their feeds. The program never sets it.
        bool loopbackHttp = false;
    };
    explicit UpdaterController(Options options, QObject* parent = nullptr);
    ~UpdaterController() override;

    // Whether a usable feed address was set at build time.
    bool configured() const { return configured_; }
    // Addresses fetched at all, the feed's and each redirect's: HTTPS, or plain HTTP to
    // 127.0.0.1 where `loopbackHttp` allows it.
    static bool allowedAddress(const QUrl& url, bool loopbackHttp);

    // False while no feed is configured and while a check runs.
    Subscription subscribeCanCheck(std::function<void(const bool&)> fn) override { return canCheck_.subscribe(fn); }
    void checkForUpdates() override;
    // Receives the outcome of each check, on the main thread.
    void setResultHandler(std::function<void(const UpdateCheckResult&)> handler) { onResult_ = std::move(handler); }

    // What a feed says about `current`: a newer release, up to date, or why it cannot tell.
    static UpdateCheckResult evaluateFeed(const QByteArray& feed, const QString& current, const QUrl& base);

private:
    void onReadyRead();
    void onFinished();
    void finish(const UpdateCheckResult& result);
    void fail(const QString& reason);

    Options o_;
    bool configured_ = false;
    Observable<bool> canCheck_{false};
    std::function<void(const UpdateCheckResult&)> onResult_;
    QNetworkAccessManager* network_ = nullptr;  // built at the first check, not at start-up
    QPointer<QNetworkReply> reply_;
    QByteArray body_;
    QTimer deadline_;
    std::optional<QString> abortReason_;  // why we aborted the reply ourselves
};

}  // namespace trellick::desktop
