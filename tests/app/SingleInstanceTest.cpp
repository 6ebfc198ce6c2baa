// One instance without a session bus: the lock file is taken only in a folder no one else can
// write to, so that another user cannot make Trellick exit as "already running".

#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/desktop/SingleInstance.h"

using namespace trellick;
namespace fs = std::filesystem;

namespace {

class SingleInstanceTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("trellick-instance-" + std::to_string(getpid()));
        for (const char* dir : {"shared", "tmp", "cache"}) fs::create_directories(root / dir);
        // No bus to find each other on: the lock decides.
        setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + (root / "no-bus").string()).c_str(), 1);
        setenv("XDG_RUNTIME_DIR", (root / "shared").c_str(), 1);
        setenv("TMPDIR", (root / "tmp").c_str(), 1);
        setenv("XDG_CACHE_HOME", (root / "cache").c_str(), 1);
        ::chmod((root / "shared").c_str(), 01777);
    }
    void TearDown() override { fs::remove_all(root); }

    // Another user's process holding a lock file where a Trellick might look for one.
    int holdLock(const fs::path& dir) {
        int fd = ::open((dir / "io.github.trellick.Trellick.lock").c_str(), O_RDWR | O_CREAT, 0666);
        EXPECT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
        return fd;
    }
    fs::path root;
};

TEST_F(SingleInstanceTest, ALockInASharedRuntimeFolderIsIgnoredAndAPrivateOneStillKeepsOneInstance) {
    int other = holdLock(root / "shared");
    auto first = desktop::SingleInstance::claim([](const QString&) {});
    EXPECT_EQ(first.outcome, desktop::SingleInstance::Outcome::first) << first.message.toStdString();
    auto second = desktop::SingleInstance::claim([](const QString&) {});
    EXPECT_EQ(second.outcome, desktop::SingleInstance::Outcome::runningNoBus);
    EXPECT_EQ(fs::status(root / "tmp" / ("trellick-" + std::to_string(geteuid()))).permissions(), fs::perms::owner_all);
    ::close(other);
}

TEST_F(SingleInstanceTest, AFallbackFolderSharedWithOthersIsPassedOverToo) {
    fs::path taken = root / "tmp" / ("trellick-" + std::to_string(geteuid()));
    fs::create_directories(taken);
    ::chmod(taken.c_str(), 0777);
    int shared = holdLock(root / "shared"), squatted = holdLock(taken);
    auto first = desktop::SingleInstance::claim([](const QString&) {});
    EXPECT_EQ(first.outcome, desktop::SingleInstance::Outcome::first) << first.message.toStdString();
    EXPECT_TRUE(
        fs::exists(root / "cache" / ("trellick-" + std::to_string(geteuid())) / "io.github.trellick.Trellick.lock"));
    ::close(shared);
    ::close(squatted);
}

}  // namespace
