#include "platform/desktop/JsonPreferencesStore.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "common/Log.h"

namespace trellick {
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

class PreferencesFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        log::setSink([this](const std::string&, const std::string& m) { warnings.push_back(m); });
    }
    void TearDown() override { log::setSink(nullptr); }

    QTemporaryDir tmp;
    QString path = tmp.filePath("config/trellick/preferences.json");
    std::vector<std::string> warnings;
};

TEST_F(PreferencesFileTest, EveryValueKindSurvivesAReload) {
    const std::map<std::string, PrefValue> values = {
        {"b", false}, {"n", -0.1}, {"big", 1e300}, {"s", "\"Grüße\"\n\\"}, {"null", PrefValue()},
        {"nested", PrefObject{{"list", PrefArray{1, "two", true, PrefValue()}}, {"empty", PrefObject{}}}},
    };
    {
        JsonPreferencesStore store(path);
        for (const auto& [k, v] : values) store.set(k, v);
        store.set("gone", 1);
        store.remove("gone");
    }
    JsonPreferencesStore reloaded(path);
    for (const auto& [k, v] : values) EXPECT_EQ(reloaded.object(k), v) << k;
    EXPECT_FALSE(reloaded.object("gone").has_value());
    EXPECT_TRUE(warnings.empty());
}

TEST_F(PreferencesFileTest, WritesReplaceTheFileWholeWithMode0600AndKeepUnknownKeys) {
    writeAll(path, R"({"trellick.mode": "toggleLastApp", "future.key": {"x": [1, 2]}})");
    ::chmod(QFile::encodeName(path).constData(), 0644);
    // A second name for the old file shows whether it was rewritten in place or replaced.
    QString oldLink = tmp.filePath("old.json");
    ASSERT_EQ(::link(QFile::encodeName(path).constData(), QFile::encodeName(oldLink).constData()), 0);

    JsonPreferencesStore store(path);
    store.set("trellick.granularity", "app");

    auto json = QJsonDocument::fromJson(readAll(path)).object();
    EXPECT_EQ(json.value("trellick.mode").toString(), "toggleLastApp");
    EXPECT_EQ(json.value("trellick.granularity").toString(), "app");
    EXPECT_EQ(json.value("future.key").toObject().value("x").toArray().size(), 2);
    EXPECT_EQ(modeOf(path), 0600);
    EXPECT_TRUE(readAll(oldLink).contains("toggleLastApp") && !readAll(oldLink).contains("granularity"))
        << "the old file was rewritten in place instead of replaced";
    EXPECT_EQ(QDir(QFileInfo(path).path()).entryList(QDir::Files).size(), 1) << "a temporary file was left behind";
}

TEST_F(PreferencesFileTest, AMissingFolderIsCreatedPrivateAndOnlyOnWrite) {
    JsonPreferencesStore store(path);
    EXPECT_FALSE(QFile::exists(tmp.filePath("config")));
    store.set("k", true);
    EXPECT_EQ(modeOf(tmp.filePath("config")), 0700);
    EXPECT_EQ(modeOf(path), 0600);
}

TEST_F(PreferencesFileTest, AFileThatIsNotAnObjectIsSetAsideNeverOverwritten) {
    const std::vector<QByteArray> bad = {"{\"trellick.mode\": \"toggleLastApp\",", "[1, 2]", "\"text\"",
                                         QByteArray("\xff\xfe{}", 4), ""};
    for (const auto& content : bad) {
        QTemporaryDir dir;
        QString file = dir.filePath("preferences.json");
        writeAll(file, content);
        writeAll(file + ".bad", "an older bad copy");
        warnings.clear();

        JsonPreferencesStore store(file);
        EXPECT_FALSE(store.object("trellick.mode").has_value());
        ASSERT_EQ(warnings.size(), 1u) << content.toStdString();
        EXPECT_NE(warnings[0].find(file.toStdString()), std::string::npos) << warnings[0];
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

TEST_F(PreferencesFileTest, AFailedWriteKeepsTheValueWarnsAndIsRetriedByTheNextWrite) {
    // A file where the folder should be stops even root, unlike a read-only mode.
    QString blocker = tmp.filePath("config/trellick");
    writeAll(blocker, "in the way");
    JsonPreferencesStore store(path);
    store.set("trellick.sensitivity", 0.9);
    store.set("trellick.sensitivity", 0.8);
    EXPECT_EQ(store.object("trellick.sensitivity"), PrefValue(0.8));
    EXPECT_FALSE(store.isSaved());
    ASSERT_EQ(warnings.size(), 1u) << "the same failure is not repeated for every change";
    EXPECT_NE(warnings[0].find(path.toStdString()), std::string::npos) << warnings[0];
    EXPECT_NE(warnings[0].find("Not a directory"), std::string::npos) << warnings[0];

    ASSERT_TRUE(QFile::remove(blocker));
    store.set("trellick.enabled", true);
    EXPECT_TRUE(store.isSaved());
    JsonPreferencesStore reloaded(path);
    EXPECT_EQ(reloaded.object("trellick.sensitivity"), PrefValue(0.8));
    EXPECT_EQ(reloaded.object("trellick.enabled"), PrefValue(true));
}

TEST_F(PreferencesFileTest, DefaultLocationFollowsXdgConfigHome) {
    QByteArray old = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", tmp.path().toUtf8());
    EXPECT_EQ(JsonPreferencesStore::defaultPath(), tmp.path() + "/trellick/preferences.json");
    old.isNull() ? qunsetenv("XDG_CONFIG_HOME") : qputenv("XDG_CONFIG_HOME", old);
}

}  // namespace
}  // namespace trellick
