// The preferences file (shared with hand edits, dotfiles tools and other Trellicks), the
// autostart entry, the Qt main queue and the Qt log sink.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <chrono>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "../common/TestSupport.h"
#include "platform/desktop/JsonPreferencesStore.h"
#include "platform/desktop/QtLogSink.h"
#include "platform/desktop/QtMainQueue.h"
#include "platform/desktop/XdgAutostartService.h"
#include "settings/SettingsStore.h"
#include "simulation/Simulation.h"
#include "tracking/UsageTracker.h"

namespace trellick::desktop {
namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

QJsonObject readObject(const QString& path) {
    return QJsonDocument::fromJson(readAll(path)).object();
}

// What another program's atomic save does.
void writeAll(const QString& path, const QByteArray& data) {
    QDir().mkpath(QFileInfo(path).path());
    QSaveFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
    ASSERT_TRUE(f.commit());
}

// Runs `body` in a child process that then exits with status 0.
pid_t inChild(const std::function<void()>& body) {
    pid_t pid = ::fork();
    if (pid == 0) {
        body();
        ::_exit(0);
    }
    return pid;
}

// The Qt event loop of a test that needs one.
struct App {
    int argc = 1;
    char name[32] = "trellick_desktop_tests";
    char* argv[2] = {name, nullptr};
    QCoreApplication app{argc, argv};
};

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

TEST_F(DesktopFilesTest, PreferencesOfEveryKindAreSavedByReplacingTheFileWithMode0600) {
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
    EXPECT_TRUE(warnings.empty());
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

// Repairing at start rewrites an enabled entry whose program is gone (the installed autostart
// rig proves that end to end); one switched off, running the user's own command or absent stays.
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
    QFile::remove(entry);
    EXPECT_TRUE(XdgAutostartService(entry, running, {}).repairIfStale().ok());
    EXPECT_FALSE(QFile::exists(entry)) << "launch at login stays off";
}

TEST_F(DesktopFilesTest, WhatOthersWroteMeanwhileSurvivesTheNextWrite) {
    writeAll(path, R"({"trellick.mode": "toggleLastApp", "trellick.showHUD": false, "trellick.hudStyle": "x"})");
    JsonPreferencesStore store(path), other(path);
    store.set("trellick.enabled", false);
    // By hand: one key changed, one removed, one added.
    writeAll(path, R"({"trellick.mode": "directionalMRU", "trellick.enabled": false, "trellick.hudStyle": "x",
                          "dotfiles.note": "mine"})");
    store.set("trellick.sensitivity", 0.9);
    store.remove("trellick.hudStyle");
    other.set("trellick.compactPeek", false);  // a store that read the file before all of it
    EXPECT_EQ(readObject(path), QJsonObject({{"trellick.mode", "directionalMRU"},
                                             {"trellick.enabled", false},
                                             {"dotfiles.note", "mine"},
                                             {"trellick.sensitivity", 0.9},
                                             {"trellick.compactPeek", false}}));
    EXPECT_EQ(store.object("trellick.mode"), PrefValue("directionalMRU"));
}

TEST_F(DesktopFilesTest, MembersOfOthersGoBackAsTheirTextWithEveryDigit) {
    const QList<QByteArray> texts = QByteArray(R"(9007199254740993|18446744073709551615|-9223372036854775808|1.0|)"
                                               R"("caf\u00e9"|{"a": [1, 2.50, null]}|1e999|[-1e999, "1e999"])")
                                        .split('|');
    QByteArray file = R"({"trellick.mode": "app")";
    for (qsizetype i = 0; i < texts.size(); ++i) file += ",\n  \"k" + QByteArray::number(i) + "\": " + texts[i];
    writeAll(path, file + R"(, "last": 0})");
    JsonPreferencesStore store(path);
    // A number too large for a double unsets its own key only, not the whole file.
    EXPECT_EQ(store.object("trellick.mode"), PrefValue("app"));
    EXPECT_EQ(store.object("k6"), PrefValue());
    store.set("trellick.mode", "toggleLastApp");
    const QByteArray written = readAll(path);
    for (qsizetype i = 0; i < texts.size(); ++i)
        EXPECT_TRUE(written.contains("\"k" + QByteArray::number(i) + "\": " + texts[i] + ","))
            << texts[i].toStdString() << " in\n"
            << written.toStdString();
    EXPECT_EQ(JsonPreferencesStore(path).object("trellick.mode"), PrefValue("toggleLastApp"));
}

TEST_F(DesktopFilesTest, UsageCountsOfProcessesCountingAtOnceAreNeverLost) {
    constexpr int kProcesses = 3, kActivations = 25;
    JsonPreferencesStore(path).set(keys::usageCounts, PrefObject{{"shared", 100}});
    std::vector<pid_t> children;
    for (int k = 0; k < kProcesses; ++k) {
        children.push_back(inChild([&] {
            UsageTracker usage(nullptr, std::make_shared<JsonPreferencesStore>(path), std::string("trellick"));
            RunningApp own, shared;
            own.desktopId = "own" + std::to_string(k);
            shared.desktopId = "shared";
            for (int i = 0; i < kActivations; ++i) {
                usage.record(shared);
                usage.record(own);
            }
        }));
    }
    for (pid_t child : children) {
        int status = -1;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    QJsonObject expected{{"shared", 100 + kProcesses * kActivations}};
    for (int k = 0; k < kProcesses; ++k) expected.insert("own" + QString::number(k), kActivations);
    EXPECT_EQ(readObject(path).value(keys::usageCounts).toObject(), expected);
}

TEST_F(DesktopFilesTest, AWriterKilledAtAnyMomentLeavesAWholeFileAndNoLock) {
    const PrefValue big(std::string(200000, 'x'));
    for (int round = 0; round < 12; ++round) {
        pid_t child = inChild([&] {
            JsonPreferencesStore store(path);
            for (int i = 0;; ++i) store.set("trellick.big" + std::to_string(i % 3), big);
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(5 + 7 * round));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        if (!QFile::exists(path)) continue;  // killed before its first write
        QJsonParseError error{};
        EXPECT_TRUE(QJsonDocument::fromJson(readAll(path), &error).isObject()) << error.errorString().toStdString();
    }
    JsonPreferencesStore after(path);
    after.set("trellick.enabled", false);
    EXPECT_TRUE(after.isSaved()) << "the lock of a killed writer is released";
    EXPECT_TRUE(warnings.empty()) << warnings[0];
}

TEST_F(DesktopFilesTest, ALinkedFileIsWrittenThroughTheLinkWhichStaysALink) {
    const std::vector<std::tuple<QByteArray, QJsonObject, bool>> targets = {
        {R"({"x": 1})", {{"x", 1}, {"trellick.enabled", false}}, false},
        {"", {{"trellick.enabled", false}}, false},       // not made yet
        {"{ half", {{"trellick.enabled", false}}, true},  // unreadable: kept beside it
    };
    for (const auto& [contents, expected, keptAside] : targets) {
        QTemporaryDir dir;
        const QString link = dir.filePath("trellick/preferences.json"), real = dir.filePath("dotfiles/trellick.json");
        QDir().mkpath(dir.filePath("dotfiles"));
        if (!contents.isEmpty()) writeAll(real, contents);
        QDir().mkpath(dir.filePath("trellick"));
        ASSERT_TRUE(QFile::link("../dotfiles/trellick.json", link));
        JsonPreferencesStore(link).set("trellick.enabled", false);
        EXPECT_TRUE(QFileInfo(link).isSymLink()) << contents.toStdString();
        EXPECT_EQ(readObject(real), expected) << contents.toStdString();
        EXPECT_EQ(readAll(real + ".bad"), keptAside ? contents : QByteArray("<missing>"));
    }
}

TEST_F(DesktopFilesTest, WhatIsNotARegularFileIsNeverOpenedNorReplaced) {
    const std::vector<std::pair<const char*, std::function<void(const QByteArray&)>>> kinds = {
        {"fifo", [](const QByteArray& p) { ::mkfifo(p.constData(), 0600); }},
        {"link to a device", [](const QByteArray& p) { ASSERT_EQ(::symlink("/dev/null", p.constData()), 0); }},
        {"folder", [](const QByteArray& p) { ::mkdir(p.constData(), 0700); }},
    };
    for (const auto& [kind, make] : kinds) {
        QTemporaryDir dir;
        const QByteArray file = QFile::encodeName(dir.filePath("preferences.json"));
        make(file);
        struct stat before {
        }, after{};
        ::lstat(file.constData(), &before);
        warnings.clear();
        auto made = std::async(std::launch::async, [&] { return std::make_unique<JsonPreferencesStore>(file); });
        if (made.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
            ADD_FAILURE() << kind << ": reading the preferences hangs";
            ::close(::open(file.constData(), O_WRONLY | O_NONBLOCK));  // lets the reader go
        }
        auto store = made.get();
        store->set("trellick.enabled", false);
        store->set("trellick.showHUD", false);
        EXPECT_EQ(store->object("trellick.enabled"), PrefValue(false)) << kind << ": kept while running";
        ::lstat(file.constData(), &after);
        EXPECT_EQ(after.st_mode & S_IFMT, before.st_mode & S_IFMT) << kind;
        ASSERT_EQ(warnings.size(), 1u) << kind;
        EXPECT_NE(warnings[0].find(file.toStdString() + " is not a regular file"), std::string::npos) << warnings[0];
    }
}

TEST_F(DesktopFilesTest, ChangesByOthersReachObserversAndOwnWritesDoNotEcho) {
    App qt;
    writeAll(path, R"({"trellick.mode": "toggleLastApp"})");
    JsonPreferencesStore prefs(path);
    prefs.startWatching();
    sim::SimulatedLoginItem login;
    SettingsStore settings(prefs, login);
    std::vector<SwitchMode> modes;
    std::vector<HUDStyle> styles;
    auto s1 = settings.mode.subscribe([&](const SwitchMode& v) { modes.push_back(v); });
    auto s2 = settings.hudStyle.subscribe([&](const HUDStyle& v) { styles.push_back(v); });

    settings.hudStyle.set(HUDStyle::classic);
    const QByteArray other = R"({"trellick.mode": "bogus", "trellick.hudStyle": "classic"})";
    writeAll(path, other);
    test::waitFor([&] { return modes.size() >= 2; }, 10, [] { QCoreApplication::processEvents(); });

    EXPECT_EQ(modes, (std::vector<SwitchMode>{SwitchMode::toggleLastApp, SwitchMode::directionalMRU}))
        << "read by the setting's own rule";
    EXPECT_EQ(styles, (std::vector<HUDStyle>{HUDStyle::modern, HUDStyle::classic})) << "no echo of the own write";
    EXPECT_EQ(readAll(path), other) << "nothing written back";
}

using Steps = std::vector<std::string>;

TEST(QtMainQueue, WorkFromAnyThreadRunsOnTheMainThreadImmediateWorkInOrderThenDelayedWorkWhenDue) {
    App qt;
    QCoreApplication& app = qt.app;
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
TEST(QtLogSink, WarningsNameTheProgramOnceAndRulesSilenceTheirCategory) {
    QtMessageHandler previous = qInstallMessageHandler([](QtMsgType t, const QMessageLogContext& c, const QString& m) {
        printed.push_back(qFormatLogMessage(t, c, m).toStdString());
    });
    installQtLogSink();
    log::warning("trellick.settings", "Trellick: failed to update login item: \"x\"");
    log::warning("trellick.tracking", "could not launch org.example.App: no such file");
    QLoggingCategory::setFilterRules("trellick.settings.warning=false");
    log::warning("trellick.settings", "silenced");
    QLoggingCategory::setFilterRules({});
    log::setSink(nullptr);
    log::setDebugSink(nullptr);
    qInstallMessageHandler(previous);
    EXPECT_EQ(printed, (Steps{"Trellick: failed to update login item: \"x\"",
                              "Trellick: could not launch org.example.App: no such file"}));
}

}  // namespace
}  // namespace trellick::desktop
