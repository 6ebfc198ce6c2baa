// The touchpad-access helper writes its one rule under a stand-in root and asks udev; the
// caller learns when pkexec, the helper or the user's consent is missing.

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QEventLoop>

#include <filesystem>

#include "../common/TestSupport.h"
#include "platform/desktop/PkexecTouchpadAccess.h"
#include "platform/evdev/TouchpadAccessRule.h"

using namespace trellick;
namespace fs = std::filesystem;

namespace {

using test::slurp;

void writeScript(const fs::path& p, const std::string& body) {
    fs::create_directories(p.parent_path());
    std::ofstream(p) << "#!/bin/sh\n" << body << "\n";
    fs::permissions(p, fs::perms(0755));
}

class TouchpadHelperTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("trellick-helper-" + std::to_string(getpid()));
        fs::create_directories(root);
        writeScript(root / "usr/bin/udevadm", "echo \"$*\" >> " + (root / "udevadm.log").string());
    }
    void TearDown() override { fs::remove_all(root); }

    // Runs the helper with `args` and `env` added; its exit status and standard error.
    int run(std::vector<std::string> args, std::vector<std::string> env) {
        fs::path err = root / "helper.err";
        // A root test process runs the helper as nobody: unprivileged, as in a normal build.
        if (geteuid() == 0) {
            for (auto& e : fs::recursive_directory_iterator(root)) lchown(e.path().c_str(), 65534, 65534);
            lchown(root.c_str(), 65534, 65534);
        }
        pid_t pid = fork();
        if (pid == 0) {
            if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setresgid(65534, 65534, 65534) != 0 ||
                                   setresuid(65534, 65534, 65534) != 0))
                _exit(99);
            freopen(err.c_str(), "w", stderr);
            std::vector<char*> argv{const_cast<char*>(TRELLICK_TOUCHPAD_HELPER)}, envp;
            for (auto& a : args) argv.push_back(a.data());
            for (auto& e : env) envp.push_back(e.data());
            argv.push_back(nullptr);
            envp.push_back(nullptr);
            execve(argv[0], argv.data(), envp.data());
            _exit(98);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        errors = slurp(err);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string testRoot() { return "TRELLICK_TOUCHPAD_ACCESS_TEST_ROOT=" + root.string(); }
    fs::path rules() { return root / "etc/udev/rules.d/70-trellick-touchpad.rules"; }

    fs::path root;
    std::string errors;
};

TEST_F(TouchpadHelperTest, WritesTheOneRuleThenReloadsAndTriggersTheTouchpads) {
    fs::create_directories(rules().parent_path());
    std::ofstream(rules()) << "# an older rule\n";
    for (int run = 0; run < 2; ++run) {  // replacing an older file, then finding it current
        ASSERT_EQ(this->run({}, {testRoot()}), 0) << errors;
        EXPECT_EQ(slurp(rules()), evdev::touchpadRulesFileContent());
        EXPECT_EQ(fs::status(rules()).permissions() & fs::perms::all, fs::perms(0644));
        EXPECT_EQ(std::distance(fs::directory_iterator(rules().parent_path()), {}), 1) << "no temporary left";
    }
    std::string once =
        "control --reload\ntrigger --action=change --subsystem-match=input --property-match=ID_INPUT_TOUCHPAD=1\n"
        "settle --timeout=10\n";
    EXPECT_EQ(slurp(root / "udevadm.log"), once + once);
}

TEST_F(TouchpadHelperTest, RefusesArgumentsAndAnyoneButRootAndWritesNothing) {
    struct Refusal {
        std::vector<std::string> args, env;
        int status;
        const char* says;
    };
    for (const Refusal& r :
         {Refusal{{"/etc/passwd"}, {testRoot()}, 2, "takes no arguments"}, Refusal{{}, {}, 1, "must run as root"},
          // The stand-in root is not honoured under pkexec.
          Refusal{{}, {testRoot(), "PKEXEC_UID=1000"}, 1, "must run as root"}}) {
        EXPECT_EQ(run(r.args, r.env), r.status) << r.says;
        EXPECT_NE(errors.find(r.says), std::string::npos) << errors;
        EXPECT_FALSE(fs::exists(rules()));
        EXPECT_FALSE(fs::exists(root / "udevadm.log"));
    }
}

TEST_F(TouchpadHelperTest, AFailingUdevIsReported) {
    writeScript(root / "usr/bin/udevadm", "[ \"$1\" = trigger ] && exit 1; exit 0");
    EXPECT_EQ(run({}, {testRoot()}), 1);
    EXPECT_NE(errors.find("udevadm trigger"), std::string::npos) << errors;
}

// The caller, with pkexec stand-ins that answer as pkexec does.
TEST_F(TouchpadHelperTest, PkexecGrantReportsHowTheGrantWent) {
    struct Answer {
        const char* pkexec;  // script body; nullptr: no pkexec
        TouchpadGrant::State state;
        const char* detail;
    };
    const fs::path pkexec = root / "bin/pkexec";
    for (const Answer& a :
         {Answer{nullptr, TouchpadGrant::State::unavailable, "pkexec is not installed"},
          Answer{"echo \"$*\" > \"$(dirname \"$0\")/../pkexec.args\"", TouchpadGrant::State::granted, ""},
          Answer{"exit 126", TouchpadGrant::State::refused, "dismissed"},
          Answer{"echo 'No authentication agent found.' >&2; exit 127", TouchpadGrant::State::refused,
                 "No authentication agent found."},
          Answer{"echo 'cannot write the rule' >&2; exit 1", TouchpadGrant::State::failed, "cannot write the rule"}}) {
        if (a.pkexec) writeScript(pkexec, a.pkexec);
        desktop::PkexecTouchpadAccess access(QString::fromStdString(pkexec.string()), TRELLICK_TOUCHPAD_HELPER);
        std::optional<TouchpadGrant> outcome;
        QEventLoop loop;
        access.grant([&](TouchpadGrant g) {
            outcome = g;
            loop.quit();
        });
        if (!outcome) loop.exec();
        ASSERT_TRUE(outcome) << a.detail;
        EXPECT_EQ(outcome->state, a.state) << a.detail;
        EXPECT_NE(outcome->detail.find(a.detail), std::string::npos) << outcome->detail;
    }
    EXPECT_EQ(slurp(root / "pkexec.args"), std::string(TRELLICK_TOUCHPAD_HELPER) + "\n") << "the helper alone";
}

}  // namespace
