#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <ctime>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "../common/TestSupport.h"
#include "platform/desktop/JsonPreferencesStore.h"
#include "platform/desktop/QtLogSink.h"
#include "platform/desktop/QtMainQueue.h"
#include "platform/desktop/XdgAutostartService.h"

namespace trellick::desktop {
namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeAll(const QString& path, const QByteArray& data) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
}

int modeOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? static_cast<int>(st.st_mode & 07777) : -1;
}

class DesktopFilesTest : public ::testing::Test {
protected:
    QTemporaryDir tmp;
    QString path = tmp.filePath("config/trellick/preferences.json");
    QString entry = tmp.filePath("autostart/trellick.desktop");
    test::Warnings warnings;
};

TEST_F(DesktopFilesTest, PreferencesOfEveryKindAreSavedByReplacingTheFileWithMode0600KeepingUnknownKeys) {
    const QByteArray original = R"({"trellick.mode": "toggleLastApp", "future.key": {"x": [1, 2]}})";
    writeAll(path, original);
    ::chmod(QFile::encodeName(path).constData(), 0644);
    // A second name for the old file shows whether it was rewritten in place or replaced.
    QString oldLink = tmp.filePath("old.json");
    ASSERT_EQ(::link(QFile::encodeName(path).constData(), QFile::encodeName(oldLink).constData()), 0);
    const std::map<std::string, PrefValue> values = {
        {"b", false},
        {"n", -0.1},
        {"big", 1e300},
        {"s", "\"Grüße\"\n\\"},
        {"null", PrefValue()},
        {"nested", PrefObject{{"list", PrefArray{1, "two", true, PrefValue()}}, {"empty", PrefObject{}}}},
    };
    {
        JsonPreferencesStore store(path);
        for (const auto& [k, v] : values) store.set(k, v);
    }
    EXPECT_EQ(readAll(oldLink), original) << "the old file was rewritten in place instead of replaced";
    EXPECT_EQ(modeOf(path), 0600);
    EXPECT_EQ(QDir(QFileInfo(path).path()).entryList(QDir::Files),
              QStringList({"preferences.json", "preferences.json.lock"}))
        << "a temporary file was left behind";
    JsonPreferencesStore reloaded(path);
    for (const auto& [k, v] : values) EXPECT_EQ(reloaded.object(k), v) << k;
    EXPECT_EQ(reloaded.object("trellick.mode"), PrefValue("toggleLastApp"));
    EXPECT_EQ(reloaded.object("future.key"), PrefValue(PrefObject{{"x", PrefArray{1, 2}}}));
    EXPECT_TRUE(warnings.empty());
    QByteArray oldConfigHome = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", tmp.filePath("config").toUtf8());
    EXPECT_EQ(JsonPreferencesStore::defaultPath(), path);
    oldConfigHome.isNull() ? qunsetenv("XDG_CONFIG_HOME") : qputenv("XDG_CONFIG_HOME", oldConfigHome);
}

TEST_F(DesktopFilesTest, PreferencesFileThatIsNotAnObjectIsSetAsideNeverOverwritten) {
    // Valid JSON, but a preferences file that size is no one's settings: reading and rewriting
    // it on every change would hold the interface up for seconds.
    const QByteArray huge = "{\"x\": \"" + QByteArray(JsonPreferencesStore::maxFileBytes, 'a') + "\"}";
    const std::vector<std::pair<QByteArray, const char*>> bad = {
        {"{\"trellick.mode\": \"toggleLastApp\",", "is not valid JSON"},
        {"[1, 2]", "does not hold a JSON object"},
        {"\"text\"", "is not valid JSON"},
        {QByteArray("\xff\xfe{}", 4), "is not valid JSON"},
        {"", "is not valid JSON"},
        {huge, "is larger than 1 MiB"}};
    for (const auto& [content, says] : bad) {
        QTemporaryDir dir;
        QString file = dir.filePath("preferences.json");
        writeAll(file, content);
        writeAll(file + ".bad", "an older bad copy");
        warnings.clear();

        JsonPreferencesStore store(file);
        EXPECT_FALSE(store.object("trellick.mode").has_value());
        ASSERT_EQ(warnings.size(), 1u) << says;
        EXPECT_NE(warnings[0].find(file.toStdString() + " " + says), std::string::npos) << warnings[0];
        EXPECT_EQ(readAll(file), content) << "untouched until something is saved";

        store.set("trellick.enabled", false);
        store.set("trellick.showHUD", false);
        EXPECT_EQ(readAll(file + ".bad"), "an older bad copy");
        EXPECT_EQ(readAll(file + ".bad.1"), content);
        EXPECT_FALSE(QFile::exists(file + ".bad.2")) << "set aside once only";
        EXPECT_EQ(JsonPreferencesStore(file).object("trellick.enabled"), PrefValue(false));
        EXPECT_EQ(warnings.size(), 1u);
    }
}

TEST_F(DesktopFilesTest, AFailedPreferencesWriteKeepsTheValueWarnsOnceAndIsRetriedByTheNextWrite) {
    // A file where the folder should be stops even root, unlike a read-only mode.
    QString blocker = tmp.filePath("config/trellick");
    writeAll(blocker, "in the way");
    JsonPreferencesStore store(path);
    store.set("trellick.sensitivity", 0.9);
    store.set("trellick.sensitivity", 0.8);
    EXPECT_EQ(store.object("trellick.sensitivity"), PrefValue(0.8));
    ASSERT_EQ(warnings.size(), 1u) << "the same failure is not repeated for every change";
    EXPECT_NE(warnings[0].find(path.toStdString()), std::string::npos) << warnings[0];
    EXPECT_NE(warnings[0].find("Not a directory"), std::string::npos) << warnings[0];

    ASSERT_TRUE(QFile::remove(blocker));
    store.set("trellick.enabled", true);
    EXPECT_EQ(modeOf(QFileInfo(path).path()), 0700) << "a folder made for the file is private";
    JsonPreferencesStore reloaded(path);
    EXPECT_EQ(reloaded.object("trellick.sensitivity"), PrefValue(0.8));
    EXPECT_EQ(reloaded.object("trellick.enabled"), PrefValue(true));
}

TEST_F(DesktopFilesTest, AutostartEntryIsReadWrittenWithAQuotedExecLineAndRemoved) {
    XdgAutostartService service(entry, "/opt/My Apps/trel$ick%1\\x");
    EXPECT_FALSE(service.isEnabled());
    const std::vector<std::pair<QByteArray, bool>> cases = {
        {"[Desktop Entry]\nExec=trellick\nHidden=true\n", false},
        {"[Desktop Entry]\nHidden = true\n", false},
        {"[Desktop Entry]\nX-GNOME-Autostart-enabled=false\n", false},
        {"[Desktop Entry]\nHidden=false\n", true},
        {"[Desktop Entry]\nExec=trellick\n[Desktop Action x]\nHidden=true\n", true},
        {"# Hidden=true\n[Desktop Entry]\nExec=trellick\n", true},
        {"[Desktop Entry]\nHidden=true\n", false},  // last: registering must replace it
    };
    for (const auto& [text, enabled] : cases) {
        writeAll(entry, text);
        EXPECT_EQ(service.isEnabled(), enabled) << text.toStdString();
    }
    EXPECT_TRUE(service.registerItem().ok());
    EXPECT_TRUE(service.isEnabled());
    const QByteArray text = readAll(entry);
    EXPECT_TRUE(text.startsWith("[Desktop Entry]\n") && text.contains("\nType=Application\n")) << text.toStdString();
    EXPECT_TRUE(text.contains("\nExec=\"/opt/My Apps/trel\\\\$ick%%1\\\\\\\\x\"\n")) << text.toStdString();
    EXPECT_TRUE(text.contains("\nTryExec=/opt/My Apps/trel$ick%1\\\\x\n")) << text.toStdString();

    EXPECT_TRUE(service.unregisterItem().ok());
    EXPECT_FALSE(QFile::exists(entry));
    EXPECT_TRUE(service.unregisterItem().ok()) << "already gone is not an error";
    QDir().mkpath(entry + "/inside");  // a folder where the entry should be stops even root
    auto failed = service.unregisterItem();
    ASSERT_FALSE(failed.ok());
    EXPECT_NE(failed.error().reason.find("could not remove " + entry.toStdString()), std::string::npos)
        << failed.error().reason;
    failed = service.registerItem();
    ASSERT_FALSE(failed.ok());
    EXPECT_NE(failed.error().reason.find(entry.toStdString()), std::string::npos) << failed.error().reason;
}

// Repairing at start rewrites only an enabled entry whose program is gone (the installed
// autostart rig runs that end to end); one switched off or running the user's own command stays.
TEST_F(DesktopFilesTest, RepairLeavesAnEntryThatIsOffOrTheUsersOwnAsItIs) {
    const QString running = tmp.filePath("build/trellick");
    writeAll(running, "#!/bin/sh\n");
    QFile::setPermissions(running, QFile::ReadOwner | QFile::ExeOwner);
    for (const QByteArray& kept : {QByteArray("[Desktop Entry]\nExec=sh -c \"exec /gone/trellick\"\n"),
                                   QByteArray("[Desktop Entry]\nExec=/gone/trellick\nHidden=true\n")}) {
        writeAll(entry, kept);
        EXPECT_TRUE(XdgAutostartService(entry, running, {}).repairIfStale().ok());
        EXPECT_EQ(readAll(entry), kept);
    }
    writeAll(entry, "[Desktop Entry]\nExec=/gone/trellick\n");
    EXPECT_TRUE(XdgAutostartService(entry, running, {}).repairIfStale().ok());
    EXPECT_TRUE(readAll(entry).contains("\nExec=" + running.toUtf8() + "\n")) << readAll(entry).toStdString();
    QFile::remove(entry);
    EXPECT_TRUE(XdgAutostartService(entry, running, {}).repairIfStale().ok());
    EXPECT_FALSE(QFile::exists(entry)) << "launch at login stays off";
}

using Steps = std::vector<std::string>;

TEST(QtMainQueue, WorkFromAnyThreadRunsOnTheMainThreadImmediateWorkInOrderThenDelayedWorkWhenDue) {
    static int argc = 1;
    static char name[] = "trellick_desktop_tests";
    static char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    Steps ran;
    bool offMain = false;
    // Work that records its name and whether it ran off the main thread; `last` also ends the loop.
    auto step = [&](std::string name, bool last = false) -> std::function<void()> {
        return [&, name, last] {
            offMain = offMain || QThread::currentThread() != app.thread();
            ran.push_back(name);
            if (last) app.exit(0);
        };
    };
    auto gone = std::make_unique<QtMainQueue>();  // work still waiting when its queue goes is dropped
    gone->post(step("dropped"));
    gone->postAfter(0.01, step("dropped"));
    gone.reset();

    QtMainQueue queue;
    queue.postAfter(-1.0, step("negative delay"));
    queue.post(step("now"));
    std::thread worker([&] {  // posting while the loop runs
        for (int i = 0; i < 200; ++i) queue.post(step(std::to_string(i)));
        queue.postAfter(0.15, step("late", true));
        queue.postAfter(0.05, step("soon"));
    });
    QTimer::singleShot(10000, &app, [&] { app.exit(1); });
    EXPECT_EQ(app.exec(), 0);
    worker.join();
    Steps expected{"negative delay", "now"};
    for (int i = 0; i < 200; ++i) expected.push_back(std::to_string(i));
    expected.insert(expected.end(), {"soon", "late"});
    EXPECT_EQ(ran, expected);
    EXPECT_FALSE(offMain);
}

// What reaches the terminal, formatted by Qt's own message pattern.
Steps printed;
class QtLogSinkTest : public ::testing::Test {
protected:
    QtLogSinkTest() {
        printed.clear();
        installQtLogSink();
    }
    ~QtLogSinkTest() override {
        QLoggingCategory::setFilterRules({});
        log::setSink(nullptr);
        log::setDebugSink(nullptr);
        qInstallMessageHandler(previous_);
    }
    QtMessageHandler previous_ = qInstallMessageHandler([](QtMsgType t, const QMessageLogContext& c, const QString& m) {
        printed.push_back(qFormatLogMessage(t, c, m).toStdString());
    });
};

TEST_F(QtLogSinkTest, WarningsNameTheProgramOnceAndRulesSilenceTheirCategory) {
    log::warning("trellick.settings", "Trellick: failed to update login item: \"x\"");
    log::warning("trellick.tracking", "could not launch org.example.App: no such file");
    QLoggingCategory::setFilterRules("trellick.settings.warning=false");
    log::warning("trellick.settings", "silenced");
    EXPECT_EQ(printed, (Steps{"Trellick: failed to update login item: \"x\"",
                              "Trellick: could not launch org.example.App: no such file"}));
}

}  // namespace
}  // namespace trellick::desktop
