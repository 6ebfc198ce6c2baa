// The preferences file is shared with hand edits, dotfiles tools and other Trellicks.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <chrono>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "../common/TestSupport.h"
#include "platform/desktop/JsonPreferencesStore.h"
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
void replaceFile(const QString& path, const QByteArray& data) {
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

class SharedPreferencesTest : public ::testing::Test {
protected:
    QTemporaryDir tmp;
    QString path = tmp.filePath("trellick/preferences.json");
    test::Warnings warnings;
};

TEST_F(SharedPreferencesTest, WhatOthersWroteMeanwhileSurvivesTheNextWrite) {
    replaceFile(path, R"({"trellick.mode": "toggleLastApp", "trellick.showHUD": false, "trellick.hudStyle": "x"})");
    JsonPreferencesStore store(path), other(path);
    store.set("trellick.enabled", false);
    // By hand: one key changed, one removed, one added.
    replaceFile(path, R"({"trellick.mode": "directionalMRU", "trellick.enabled": false, "trellick.hudStyle": "x",
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

TEST_F(SharedPreferencesTest, MembersOfOthersGoBackAsTheirTextWithEveryDigit) {
    const std::vector<QByteArray> texts = {"9007199254740993",
                                           "18446744073709551615",
                                           "-9223372036854775808",
                                           "1.0",
                                           "\"caf\\u00e9\"",
                                           R"({"a": [1, 2.50, null]})",
                                           "1e999",
                                           "[-1e999, \"1e999\"]"};
    QByteArray file = R"({"trellick.mode": "app")";
    for (std::size_t i = 0; i < texts.size(); ++i) file += ",\n  \"k" + QByteArray::number(i) + "\": " + texts[i];
    replaceFile(path, file + R"(, "last": 0})");
    JsonPreferencesStore store(path);
    // A number too large for a double unsets its own key only, not the whole file.
    EXPECT_EQ(store.object("trellick.mode"), PrefValue("app"));
    EXPECT_EQ(store.object("k6"), PrefValue());
    store.set("trellick.mode", "toggleLastApp");
    const QByteArray written = readAll(path);
    for (std::size_t i = 0; i < texts.size(); ++i)
        EXPECT_TRUE(written.contains("\"k" + QByteArray::number(i) + "\": " + texts[i] + ","))
            << texts[i].toStdString() << " in\n"
            << written.toStdString();
    EXPECT_EQ(JsonPreferencesStore(path).object("trellick.mode"), PrefValue("toggleLastApp"));
}

TEST_F(SharedPreferencesTest, UsageCountsOfProcessesCountingAtOnceAreNeverLost) {
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

TEST_F(SharedPreferencesTest, AWriterKilledAtAnyMomentLeavesAWholeFileAndNoLock) {
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

TEST_F(SharedPreferencesTest, ALinkedFileIsWrittenThroughTheLinkWhichStaysALink) {
    const std::vector<std::tuple<QByteArray, QJsonObject, bool>> targets = {
        {R"({"x": 1})", {{"x", 1}, {"trellick.enabled", false}}, false},
        {"", {{"trellick.enabled", false}}, false},       // not made yet
        {"{ half", {{"trellick.enabled", false}}, true},  // unreadable: kept beside it
    };
    for (const auto& [contents, expected, keptAside] : targets) {
        QTemporaryDir dir;
        const QString link = dir.filePath("trellick/preferences.json"), real = dir.filePath("dotfiles/trellick.json");
        QDir().mkpath(dir.filePath("dotfiles"));
        if (!contents.isEmpty()) replaceFile(real, contents);
        QDir().mkpath(dir.filePath("trellick"));
        ASSERT_TRUE(QFile::link("../dotfiles/trellick.json", link));
        JsonPreferencesStore(link).set("trellick.enabled", false);
        EXPECT_TRUE(QFileInfo(link).isSymLink()) << contents.toStdString();
        EXPECT_EQ(readObject(real), expected) << contents.toStdString();
        EXPECT_EQ(readAll(real + ".bad"), keptAside ? contents : QByteArray("<missing>"));
    }
}

TEST_F(SharedPreferencesTest, WhatIsNotARegularFileIsNeverOpenedNorReplaced) {
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

TEST_F(SharedPreferencesTest, ChangesByOthersReachObserversAndOwnWritesDoNotEcho) {
    static int argc = 1;
    static char name[] = "trellick_desktop_tests";
    static char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    replaceFile(path, R"({"trellick.mode": "toggleLastApp"})");
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
    replaceFile(path, other);
    test::eventually([&] { return modes.size() >= 2; }, [] { QCoreApplication::processEvents(); });

    EXPECT_EQ(modes, (std::vector<SwitchMode>{SwitchMode::toggleLastApp, SwitchMode::directionalMRU}))
        << "read by the setting's own rule";
    EXPECT_EQ(styles, (std::vector<HUDStyle>{HUDStyle::modern, HUDStyle::classic})) << "no echo of the own write";
    EXPECT_EQ(readAll(path), other) << "nothing written back";
}

}  // namespace
}  // namespace trellick::desktop
