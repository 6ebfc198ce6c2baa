#include "platform/desktop/QtMainQueue.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <ctime>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common/Log.h"
#include "platform/desktop/QtLogSink.h"

namespace trellick {
namespace {

class QtMainQueueTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "trellick_desktop_tests";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
    }
    // Runs the event loop until `done` is called, or gives up after a generous timeout.
    bool runUntilDone() {
        QTimer::singleShot(10000, &loop, [this] { loop.exit(1); });
        return loop.exec() == 0;
    }
    std::function<void()> done() {
        return [this] { loop.exit(0); };
    }

    QEventLoop loop;
    QtMainQueue queue;
    std::vector<std::string> ran;
    QThread* mainThread = QThread::currentThread();
};

TEST_F(QtMainQueueTest, PostsFromAnotherThreadRunInOrderOnTheMainThread) {
    bool allOnMain = true;
    std::thread worker([&] {
        for (int i = 0; i < 200; ++i) {
            queue.post([&, i] {
                allOnMain = allOnMain && QThread::currentThread() == mainThread;
                ran.push_back(std::to_string(i));
            });
        }
        queue.post(done());
    });
    ASSERT_TRUE(runUntilDone());
    worker.join();
    ASSERT_EQ(ran.size(), 200u);
    for (int i = 0; i < 200; ++i) ASSERT_EQ(ran[i], std::to_string(i));
    EXPECT_TRUE(allOnMain);
}

TEST_F(QtMainQueueTest, DelayedWorkRunsAfterImmediateWorkInDueOrder) {
    std::thread worker([&] {
        queue.postAfter(0.15, [&] {
            ran.push_back("late, from worker");
            loop.exit(0);
        });
    });
    worker.join();
    queue.postAfter(0.05, [&] { ran.push_back("soon"); });
    queue.postAfter(-1.0, [&] { ran.push_back("negative delay"); });
    queue.post([&] { ran.push_back("now"); });
    ASSERT_TRUE(runUntilDone());
    EXPECT_EQ(ran, (std::vector<std::string>{"negative delay", "now", "soon", "late, from worker"}));
}

TEST_F(QtMainQueueTest, WorkStillWaitingWhenTheQueueGoesIsDropped) {
    auto doomed = std::make_unique<QtMainQueue>();
    doomed->post([&] { ran.push_back("posted"); });
    doomed->postAfter(0.01, [&] { ran.push_back("delayed"); });
    doomed.reset();
    queue.postAfter(0.05, done());
    ASSERT_TRUE(runUntilDone());
    EXPECT_TRUE(ran.empty());
}

TEST(SteadyClock, SharesTheMonotonicClockOfTouchEvents) {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    double monotonic = static_cast<double>(ts.tv_sec) + ts.tv_nsec * 1e-9;
    EXPECT_NEAR(SteadyClock().now(), monotonic, 1.0);
}

TEST(QtLogSink, CoreWarningsReachTheirCategoryAndCanBeSilencedByRules) {
    static std::vector<std::string> captured;
    captured.clear();
    auto previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& ctx, const QString& msg) {
        captured.push_back(std::to_string(type) + " " + ctx.category + " " + msg.toStdString());
    });
    installQtLogSink();
    log::warning("trellick.settings", "Trellick: failed to update login item: \"x\"");
    EXPECT_FALSE(loggingCategory("trellick.gesture").isDebugEnabled());
    EXPECT_FALSE(loggingCategory("trellick.gesture").isInfoEnabled());
    QLoggingCategory::setFilterRules("trellick.settings.warning=false");
    log::warning("trellick.settings", "silenced");
    log::warning("trellick.tracking", "heard");
    QLoggingCategory::setFilterRules(QString());
    log::setSink(nullptr);
    qInstallMessageHandler(previous);
    EXPECT_EQ(captured, (std::vector<std::string>{
                            std::to_string(QtWarningMsg) + " trellick.settings Trellick: failed to update login item: \"x\"",
                            std::to_string(QtWarningMsg) + " trellick.tracking heard"}));
}

}  // namespace
}  // namespace trellick
