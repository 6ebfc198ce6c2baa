#include "platform/desktop/XdgAutostartService.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>
#include <vector>


namespace trellick {
namespace {

class AutostartTest : public ::testing::Test {
protected:
    void write(const QByteArray& text) {
        QDir().mkpath(QFileInfo(entry).path());
        QFile f(entry);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }
    QStringList lines() {
        QFile f(entry);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts)
                                           : QStringList();
    }

    QTemporaryDir tmp;
    QString entry = tmp.filePath("autostart/trellick.desktop");
    XdgAutostartService service{entry, "/usr/bin/trellick"};
};

TEST_F(AutostartTest, RegisterWritesADesktopEntryAndUnregisterRemovesIt) {
    EXPECT_FALSE(service.isEnabled());
    EXPECT_EQ(service.registerItem(), std::nullopt);
    EXPECT_TRUE(service.isEnabled());
    auto written = lines();
    ASSERT_FALSE(written.isEmpty());
    EXPECT_EQ(written.first(), "[Desktop Entry]");
    for (const char* line : {"Type=Application", "Name=Trellick", "Exec=/usr/bin/trellick", "Icon=trellick",
                             "X-GNOME-Autostart-enabled=true"}) {
        EXPECT_TRUE(written.contains(line)) << line;
    }
    EXPECT_FALSE(written.filter(QRegularExpression("^Comment=.+")).isEmpty());

    EXPECT_EQ(service.unregisterItem(), std::nullopt);
    EXPECT_FALSE(QFile::exists(entry));
    EXPECT_EQ(service.unregisterItem(), std::nullopt) << "already gone is not an error";
}

TEST_F(AutostartTest, AnEntrySwitchedOffCountsAsDisabledUntilRegisteredAgain) {
    const std::vector<std::pair<QByteArray, bool>> cases = {
        {"[Desktop Entry]\nExec=trellick\nHidden=true\n", false},
        {"[Desktop Entry]\nHidden = true\n", false},
        {"[Desktop Entry]\nX-GNOME-Autostart-enabled=false\n", false},
        {"[Desktop Entry]\nHidden=false\n", true},
        {"[Desktop Entry]\nExec=trellick\n[Desktop Action x]\nHidden=true\n", true},
        {"# Hidden=true\n[Desktop Entry]\nExec=trellick\n", true},
    };
    for (const auto& [text, enabled] : cases) {
        write(text);
        EXPECT_EQ(service.isEnabled(), enabled) << text.toStdString();
    }
    write("[Desktop Entry]\nHidden=true\n");
    EXPECT_EQ(service.registerItem(), std::nullopt);
    EXPECT_TRUE(service.isEnabled());
}

TEST_F(AutostartTest, ExecLineIsQuotedForAwkwardPaths) {
    auto text = QString::fromUtf8(XdgAutostartService::desktopEntry("/opt/My Apps/trel$ick%1\\x"));
    EXPECT_TRUE(text.contains("\nExec=\"/opt/My Apps/trel\\\\$ick%%1\\\\\\\\x\"\n")) << text.toStdString();
}

TEST_F(AutostartTest, FailuresComeBackAsADescription) {
    // Paths that stop even root: a file where the folder should be, a folder where the
    // entry should be.
    QFile blocker(tmp.filePath("autostart"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    auto error = service.registerItem();
    ASSERT_TRUE(error.has_value());
    EXPECT_NE(error->find(tmp.filePath("autostart").toStdString()), std::string::npos) << *error;

    QFile::remove(tmp.filePath("autostart"));
    QDir().mkpath(entry + "/inside");
    error = service.unregisterItem();
    ASSERT_TRUE(error.has_value());
    EXPECT_NE(error->find("could not remove " + entry.toStdString()), std::string::npos) << *error;
}

}  // namespace
}  // namespace trellick
