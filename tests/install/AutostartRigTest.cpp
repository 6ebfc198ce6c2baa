// An installed Trellick, started with launch at login on and an entry left pointing at a
// program that is gone, writes the entry again; launched the way a session does it (GIO reads
// Exec and TryExec), that entry starts the installed program.

#include <gtest/gtest.h>

#include <gio/gdesktopappinfo.h>

#include <filesystem>
#include <fstream>

#include "../common/TestSupport.h"
#include "Rig.h"

using namespace trellick;
using test::slurp;
namespace fs = std::filesystem;

namespace {

TEST(InstalledAutostart, EntryNamingAGoneProgramIsWrittenAgainAndStartsTheInstalledOne) {
    if (!fs::exists(TRELLICK_INSTALLED)) GTEST_SKIP() << TRELLICK_INSTALLED " is not installed (Install.Stage)";
    rig::Rig rig;
    std::string why;
    if (!rig.start(&why)) GTEST_SKIP() << "no X11 rig: " << why;
    const fs::path config = rig.tmp() + "/config", entry = config / "autostart/trellick.desktop";
    fs::create_directories(entry.parent_path());
    fs::create_directories(config / "trellick");
    std::ofstream(config / "trellick/preferences.json") << R"({"trellick.onboarded": true})";
    std::ofstream(entry) << "[Desktop Entry]\nType=Application\nName=Trellick\nExec=/gone/bin/trellick\n";

    pid_t app = rig::spawn({TRELLICK_INSTALLED}, rig.tmp() + "/trellick.err");
    bool rewritten = rig::waitFor([&] { return slurp(entry).find("/gone/") == std::string::npos; }, 20.0);
    rig::stop(app);
    ASSERT_TRUE(rewritten) << slurp(entry) << slurp(rig.tmp() + "/trellick.err");

    GDesktopAppInfo* info = g_desktop_app_info_new_from_filename(entry.c_str());
    ASSERT_NE(info, nullptr) << "GIO does not take the entry (TryExec?):\n" << slurp(entry);
    pid_t launched = -1;
    GError* error = nullptr;
    bool started = g_desktop_app_info_launch_uris_as_manager(
        info, nullptr, nullptr, G_SPAWN_DO_NOT_REAP_CHILD, nullptr, nullptr,
        +[](GDesktopAppInfo*, GPid pid, gpointer out) { *static_cast<pid_t*>(out) = pid; }, &launched, &error);
    g_object_unref(info);
    ASSERT_TRUE(started && launched > 0) << (error ? error->message : "no process");
    // A launcher in between may exec the program in the same process: wait for the program.
    const fs::path exe = "/proc/" + std::to_string(launched) + "/exe";
    std::error_code ec;
    bool installedRuns =
        rig::waitFor([&] { return fs::read_symlink(exe, ec) == fs::canonical(TRELLICK_INSTALLED); }, 10.0);
    fs::path ran = fs::read_symlink(exe, ec);
    rig::stop(launched);
    EXPECT_TRUE(installedRuns) << ran << " ran from:\n" << slurp(entry);
}

}  // namespace
