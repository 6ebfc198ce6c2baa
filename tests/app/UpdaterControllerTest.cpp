// The update check against a release feed the test serves on 127.0.0.1, and its dialog.

#include <gtest/gtest.h>

#include <QApplication>
#include <QEventLoop>
#include <QLabel>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <memory>

#include "app/shell/UpdateDialog.h"
#include "platform/desktop/UpdaterController.h"

using namespace trellick;
using Kind = desktop::UpdateCheckResult::Kind;

namespace {

desktop::UpdaterController::Options served(const QUrl& url,
                                           int timeoutMs = desktop::UpdaterController::defaultTimeoutMs) {
    return {url, "0.1.0", timeoutMs, desktop::UpdaterController::maxFeedBytes, true};
}

// Answers every request with `response` (raw HTTP); "silent" never answers, "endless" streams a body that does not end.
class FeedServer {
public:
    explicit FeedServer(QByteArray response) : response_(std::move(response)) {
        server_.listen(QHostAddress::LocalHost);
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* s = server_.nextPendingConnection()) {
                ++connections;
                QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] {
                    if (!s->readAll().contains("\r\n\r\n") || response_ == "silent") return;
                    if (response_ != "endless") {
                        s->write(response_);
                        s->disconnectFromHost();
                        return;
                    }
                    s->write("HTTP/1.1 200 OK\r\nContent-Type: application/atom+xml\r\n\r\n<feed>");
                    auto* more = new QTimer(s);
                    QObject::connect(more, &QTimer::timeout, s, [s] {
                        if (s->bytesToWrite() < (1 << 16)) s->write(QByteArray(1 << 15, ' '));
                    });
                    more->start(1);
                });
            }
        });
    }
    QUrl url(const char* path = "/releases.atom") const {
        return QUrl(QString("http://127.0.0.1:%1%2").arg(server_.serverPort()).arg(path));
    }
    int connections = 0;

private:
    QTcpServer server_;
    QByteArray response_;
};

QByteArray ok(const QByteArray& body) {
    return "HTTP/1.1 200 OK\r\nContent-Type: application/atom+xml\r\nContent-Length: " +
           QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

QByteArray feed(std::initializer_list<const char*> entries) {
    QByteArray out = R"(<?xml version="1.0" encoding="UTF-8"?><feed xmlns="http://www.w3.org/2005/Atom">)"
                     "<title>Trellick releases</title>";
    for (const char* e : entries) out += QByteArray("<entry>") + e + "</entry>";
    return out + "</feed>";
}

// Runs one check to its end; the canCheck values seen on the way.
desktop::UpdateCheckResult check(desktop::UpdaterController& updater, std::vector<bool>* canCheck = nullptr) {
    std::optional<desktop::UpdateCheckResult> result;
    QEventLoop loop;
    updater.setResultHandler([&](const desktop::UpdateCheckResult& r) {
        result = r;
        loop.quit();
    });
    Subscription sub;
    if (canCheck) sub = updater.subscribeCanCheck([&](const bool& v) { canCheck->push_back(v); });
    updater.checkForUpdates();
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    if (!result) loop.exec();
    return result.value_or(desktop::UpdateCheckResult{Kind::failed, {}, {}, "no result"});
}

// "says": for a failure part of the reason, for a newer release the end of its page.
TEST(UpdateCheck, TellsANewerReleaseFromBeingUpToDateOrWhyItCouldNotTell) {
    struct Case {
        const char* name;
        QByteArray response;
        Kind kind;
        const char* version;
        const char* says;
    };
    const Case cases[] = {
        {"Newer",
         ok(feed({"<title>Trellick 0.1.0</title>",
                  R"(<title>Trellick 0.10.2</title><link rel="alternate" href="/releases/tag/v0.10.2"/>)",
                  "<title>Trellick 0.9.0</title>"})),
         Kind::newer, "0.10.2", "/releases/tag/v0.10.2"},
        {"VersionInTheTagOnly",
         ok(feed({R"(<title>Spring cleaning</title><link href="https://example.org/releases/tag/v0.2"/>)"})),
         Kind::newer, "0.2", "https://example.org/releases/tag/v0.2"},
        {"Same", ok(feed({"<title>v0.1.0</title>", "<title>v0.0.9</title>"})), Kind::upToDate, "", ""},
        {"Older", ok(feed({"<title>0.0.9</title>"})), Kind::upToDate, "", ""},
        {"PreReleasesAreNotOffered", ok(feed({"<title>0.2.0-rc1</title>", "<title>0.1.0</title>"})), Kind::upToDate, "",
         ""},
        {"Malformed", ok("<feed><entry><title>0.2.0</titel></entry></feed>"), Kind::failed, "", "could not be read"},
        {"NotAFeed", ok("<html><body>Hello</body></html>"), Kind::failed, "", "does not serve a release feed"},
        {"NoRelease", ok(feed({"<title>Roadmap</title>"})), Kind::failed, "", "lists no release"},
        // The server's reason phrase is its own words: only the status code is reported.
        {"ReasonPhraseLeftOut",
         "HTTP/1.1 404 <a href=\"file:///etc/passwd\">update here</a>\r\nContent-Length: 0\r\n\r\n", Kind::failed, "",
         "The update server answered 404."},
        // Entities declared in a document type can expand a small feed beyond any memory.
        {"DocumentTypeRefused",
         ok(R"(<?xml version="1.0"?><!DOCTYPE feed [<!ENTITY v "0.2.0">]><feed><entry><title>&v;</title>)"
            "</entry></feed>"),
         Kind::failed, "", "declares a document type"},
        {"OverlongLinkIsNoPage",
         ok(feed(
             {("<title>0.2.0</title><link href=\"https://example.org/" + std::string(2000, 'x') + "\"/>").c_str()})),
         Kind::newer, "0.2.0", ""},
        {"EndlessBody", "endless", Kind::failed, "", "larger than 1024 KB"},
        {"RedirectAway", "HTTP/1.1 302 Found\r\nLocation: http://example.org/feed\r\nContent-Length: 0\r\n\r\n",
         Kind::failed, "", "does not fetch"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FeedServer server(c.response);
        desktop::UpdaterController updater(served(server.url()));
        auto result = check(updater);
        EXPECT_EQ(result.kind, c.kind) << result.reason.toStdString();
        if (result.kind == Kind::newer) {
            EXPECT_EQ(result.version.toStdString(), c.version);
            EXPECT_TRUE(result.page.toString().endsWith(c.says) || (!*c.says && result.page.isEmpty()))
                << result.page.toString().toStdString();
        }
        if (result.kind == Kind::failed) {
            EXPECT_TRUE(result.reason.contains(c.says)) << result.reason.toStdString();
        }
    }
}

TEST(UpdateCheck, AServerThatNeverAnswersTimesOutAndNoSecondCheckStartsMeanwhile) {
    FeedServer server("silent");
    desktop::UpdaterController updater(served(server.url(), 300));
    std::vector<bool> canCheck;
    QTimer::singleShot(100, [&] { updater.checkForUpdates(); });  // ignored: one at a time
    auto result = check(updater, &canCheck);
    EXPECT_EQ(result.kind, Kind::failed);
    EXPECT_TRUE(result.reason.contains("did not answer")) << result.reason.toStdString();
    EXPECT_EQ(canCheck, (std::vector<bool>{true, false, true}));
    EXPECT_EQ(server.connections, 1);
}

TEST(UpdateCheck, OnlyHttpsIsEverFetchedOutsideTheTests) {
    for (const char* feed :
         {"http://example.org/feed", "http://127.0.0.1:8080/feed", "ftp://127.0.0.1/feed", "file:///etc/passwd", ""}) {
        desktop::UpdaterController updater({QUrl(feed), "0.1.0"});
        std::vector<bool> canCheck;
        auto sub = updater.subscribeCanCheck([&](const bool& v) { canCheck.push_back(v); });
        updater.checkForUpdates();
        EXPECT_EQ(canCheck, std::vector<bool>{false}) << feed;
    }
    EXPECT_TRUE(desktop::UpdaterController({QUrl("https://example.org/feed"), "0.1.0"}).configured());
}

TEST(UpdateDialog, ShowsTextFromTheNetworkAsPlainTextAndOpensOnlyWebPages) {
    const QString markup = R"(<a href="file:///etc/passwd">Open</a>)";
    struct Case {
        desktop::UpdateCheckResult result;
        bool offersPage;
    };
    for (const auto& c : {Case{{Kind::failed, {}, {}, "The update server sent " + markup}, false},
                          Case{{Kind::newer, "0.2.0", QUrl("file:///etc/passwd"), {}}, false},
                          Case{{Kind::newer, "0.2.0", QUrl("https://example.org/r/0.2.0"), {}}, true}}) {
        std::unique_ptr<QMessageBox> box(makeUpdateDialog(c.result, "0.1.0"));
        SCOPED_TRACE(c.result.page.toString().toStdString());
        EXPECT_EQ(box->findChild<QPushButton*>("openReleasePage") != nullptr, c.offersPage);
        for (auto* label : box->findChildren<QLabel*>()) {
            if (label->text().isEmpty()) continue;
            EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->text().toStdString();
            EXPECT_FALSE(label->openExternalLinks()) << label->text().toStdString();
        }
    }
}

}  // namespace

// app_shell_tests' main: one offscreen QApplication for every test of the binary.
int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
