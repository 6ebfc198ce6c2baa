#include "platform/desktop/UpdaterController.h"

#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QXmlStreamReader>

#include <algorithm>
#include <vector>

#include "common/Log.h"

namespace trellick::desktop {

namespace {

struct Version {
    std::vector<int> parts;
    bool prerelease = false;
    QString text;
};

// 1.2, v1.2.3, 1.2.3-rc1: the first dotted number in `s`.
std::optional<Version> findVersion(const QString& s) {
    static const QRegularExpression re(R"((?<![\w.])v?(\d+(?:\.\d+){1,3})(-[0-9A-Za-z][0-9A-Za-z.]*)?(?![\w.]))");
    auto m = re.match(s);
    if (!m.hasMatch()) return std::nullopt;
    Version v;
    for (const QString& p : m.captured(1).split('.')) v.parts.push_back(p.toInt());
    v.prerelease = !m.captured(2).isEmpty();
    v.text = m.captured(1) + m.captured(2);
    return v;
}

// <0 when a is older than b; a pre-release comes before its release.
int compare(const Version& a, const Version& b) {
    for (std::size_t i = 0; i < std::max(a.parts.size(), b.parts.size()); ++i) {
        int x = i < a.parts.size() ? a.parts[i] : 0, y = i < b.parts.size() ? b.parts[i] : 0;
        if (x != y) return x < y ? -1 : 1;
    }
    return int(b.prerelease) - int(a.prerelease);
}

QString lastSegment(const QString& s) {
    return s.section(QRegularExpression("[/:]"), -1);
}

UpdateCheckResult failed(const QString& reason) {
    return {UpdateCheckResult::Kind::failed, {}, {}, reason};
}

}  // namespace

UpdaterController::UpdaterController(Options options, QObject* parent) : QObject(parent), o_(std::move(options)) {
    configured_ = !o_.feed.isEmpty() && allowedAddress(o_.feed, o_.loopbackHttp);
    if (!o_.feed.isEmpty() && !configured_)
        log::warning("trellick.app", "the update feed " + o_.feed.toString().toStdString() +
                                         " is not an HTTPS address; update checks are off");
    canCheck_.set(configured_);
    deadline_.setSingleShot(true);
    connect(&deadline_, &QTimer::timeout, this, [this] {
        fail(QString("The update server did not answer within %1 seconds.").arg(o_.timeoutMs / 1000.0, 0, 'g', 3));
    });
}

UpdaterController::~UpdaterController() {
    if (reply_) {
        reply_->disconnect(this);
        reply_->abort();
    }
}

bool UpdaterController::allowedAddress(const QUrl& url, bool loopbackHttp) {
    if (!url.isValid() || url.host().isEmpty()) return false;
    if (url.scheme() == "https") return true;
    return loopbackHttp && url.scheme() == "http" && QHostAddress(url.host()) == QHostAddress(QHostAddress::LocalHost);
}

void UpdaterController::checkForUpdates() {
    if (!configured_ || reply_) return;
    if (!network_) {
        network_ = new QNetworkAccessManager(this);
        network_->setRedirectPolicy(QNetworkRequest::UserVerifiedRedirectPolicy);
    }
    canCheck_.set(false);
    body_.clear();
    abortReason_.reset();
    QNetworkRequest request(o_.feed);
    request.setHeader(QNetworkRequest::UserAgentHeader, "Trellick/" + o_.currentVersion);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    reply_ = network_->get(request);
    QNetworkReply* reply = reply_;
    // Each hop is held to the same rule as the feed address itself.
    connect(reply, &QNetworkReply::redirected, this, [this, reply](const QUrl& target) {
        if (allowedAddress(target, o_.loopbackHttp))
            emit reply->redirectAllowed();
        else
            fail("The update server sent Trellick to an address it does not fetch: " + target.toString());
    });
    connect(reply, &QNetworkReply::readyRead, this, &UpdaterController::onReadyRead);
    connect(reply, &QNetworkReply::finished, this, &UpdaterController::onFinished);
    deadline_.start(o_.timeoutMs);
}

void UpdaterController::onReadyRead() {
    if (!reply_) return;
    body_ += reply_->readAll();
    if (body_.size() > o_.maxBytes) fail(QString("The release feed is larger than %1 KB.").arg(o_.maxBytes / 1024));
}

void UpdaterController::onFinished() {
    QNetworkReply* reply = reply_;
    if (!reply) return;
    if (reply->error() == QNetworkReply::NoError) body_ += reply->readAll();
    if (abortReason_) return finish(failed(*abortReason_));
    int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    // The status code alone: the reason phrase is whatever the server chose to say.
    if (status >= 400 || (reply->error() != QNetworkReply::NoError && status >= 300))
        return finish(failed(QString("The update server answered %1.").arg(status)));
    if (reply->error() != QNetworkReply::NoError)
        return finish(failed("Could not reach the update server: " + reply->errorString()));
    if (body_.size() > o_.maxBytes)
        return finish(failed(QString("The release feed is larger than %1 KB.").arg(o_.maxBytes / 1024)));
    finish(evaluateFeed(body_, o_.currentVersion, reply->url()));
}

void UpdaterController::fail(const QString& reason) {
    if (!reply_ || abortReason_) return;
    abortReason_ = reason;
    reply_->abort();  // finished() follows, synchronously or from the event loop
}

void UpdaterController::finish(const UpdateCheckResult& result) {
    deadline_.stop();
    if (reply_) {
        reply_->disconnect(this);
        reply_->deleteLater();
        reply_ = nullptr;
    }
    body_.clear();
    abortReason_.reset();
    canCheck_.set(true);
    if (onResult_) onResult_(result);
}

UpdateCheckResult UpdaterController::evaluateFeed(const QByteArray& feed, const QString& current, const QUrl& base) {
    QXmlStreamReader xml(feed);
    // A document type can declare entities that expand a small feed a millionfold; a release
    // feed has no use for one.
    while (!xml.atEnd() && xml.readNext() != QXmlStreamReader::StartElement) {
        if (xml.tokenType() == QXmlStreamReader::DTD)
            return failed("The release feed declares a document type, which a release feed never needs.");
    }
    if (xml.tokenType() != QXmlStreamReader::StartElement || xml.name() != QLatin1String("feed")) {
        return failed(xml.hasError() ? "The release feed could not be read: " + xml.errorString()
                                     : "The update address does not serve a release feed.");
    }
    auto capped = [](const QString& s) { return s.size() > maxFieldChars ? QString() : s; };
    std::optional<Version> newest;
    QUrl page;
    while (xml.readNextStartElement()) {
        if (xml.name() != QLatin1String("entry")) {
            xml.skipCurrentElement();
            continue;
        }
        QString title, id, link;
        while (xml.readNextStartElement()) {
            auto name = xml.name();
            if (name == QLatin1String("title")) {
                title = capped(xml.readElementText(QXmlStreamReader::IncludeChildElements));
            } else if (name == QLatin1String("id")) {
                id = capped(xml.readElementText());
            } else if (name == QLatin1String("link")) {
                auto rel = xml.attributes().value("rel");
                if (rel.isEmpty() || rel == QLatin1String("alternate"))
                    link = capped(xml.attributes().value("href").toString());
                xml.skipCurrentElement();
            } else {
                xml.skipCurrentElement();
            }
        }
        // The title names the release; else its tag, the last part of its link or id.
        auto v = findVersion(title);
        if (!v) v = findVersion(lastSegment(QUrl(link).path()));
        if (!v) v = findVersion(lastSegment(id));
        if (!v || v->prerelease) continue;  // pre-releases are for those who seek them out
        if (newest && compare(*v, *newest) <= 0) continue;
        newest = v;
        QUrl resolved = base.resolved(QUrl(link));
        page = !link.isEmpty() && (resolved.scheme() == "https" || resolved.scheme() == "http") ? resolved : QUrl();
    }
    if (xml.hasError())
        return failed(
            QString("The release feed could not be read: %1 (line %2).").arg(xml.errorString()).arg(xml.lineNumber()));
    if (!newest) return failed("The release feed lists no release.");
    auto running = findVersion(current);
    if (running && compare(*newest, *running) <= 0) return {UpdateCheckResult::Kind::upToDate, current, {}, {}};
    return {UpdateCheckResult::Kind::newer, newest->text, page, {}};
}

}  // namespace trellick::desktop
