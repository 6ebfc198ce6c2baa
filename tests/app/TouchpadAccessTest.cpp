// The touchpad-access helper writes its one rule under a stand-in root and asks udev; the
// caller learns when pkexec, the helper or the user's consent is missing.

#include <fnmatch.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "platform/desktop/PkexecTouchpadAccess.h"
#include "platform/evdev/TouchpadAccessRule.h"

using namespace trellick;
namespace fs = std::filesystem;

namespace {

std::string slurp(const fs::path& p) {
    std::stringstream ss;
    ss << std::ifstream(p).rdbuf();
    return ss.str();
}

void writeScript(const fs::path& p, const std::string& body) {
    fs::create_directories(p.parent_path());
    std::ofstream(p) << "#!/bin/sh\n" << body << "\n";
    fs::permissions(p, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec | fs::perms::others_read |
                           fs::perms::others_exec);
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
        EXPECT_EQ(fs::status(rules()).permissions() & fs::perms::all,
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);
        EXPECT_EQ(std::distance(fs::directory_iterator(rules().parent_path()), {}), 1) << "no temporary left";
    }
    std::string once =
        "control --reload\ntrigger --action=change --subsystem-match=input --property-match=ID_INPUT_TOUCHPAD=1\n"
        "settle --timeout=10\n";
    EXPECT_EQ(slurp(root / "udevadm.log"), once + once);
}

// The rule read as udev reads it (comma-separated KEY=="value" and KEY!="value" matches; an
// unset property compares as empty): whether it tags a node with these udev properties.
bool ruleTags(const std::map<std::string, std::string>& node) {
    std::stringstream rule(evdev::kTouchpadRule);
    bool tags = false;
    for (std::string clause; std::getline(rule, clause, ',');) {
        clause.erase(0, clause.find_first_not_of(' '));
        auto op = clause.find_first_of("=!+");
        std::string key = clause.substr(0, op), how = clause.substr(op, 2);
        std::string value = clause.substr(clause.find('"') + 1);
        value.pop_back();
        if (key.starts_with("ENV{")) key = key.substr(4, key.size() - 5);
        if (how == "+=") {
            tags = tags || (key == "TAG" && value == "uaccess");
            continue;
        }
        auto it = node.find(key);
        std::string actual = it == node.end() ? "" : it->second;
        bool equal = fnmatch(value.c_str(), actual.c_str(), 0) == 0;
        if (equal != (how == "==")) return false;
    }
    return tags;
}

TEST(TouchpadRule, GrantsTouchpadsOnlyAndNeverANodeThatIsAlsoAKeyboard) {
    using Node = std::map<std::string, std::string>;
    const Node pad{
        {"ACTION", "add"}, {"SUBSYSTEM", "input"}, {"KERNEL", "event5"}, {"ID_INPUT", "1"}, {"ID_INPUT_TOUCHPAD", "1"}};
    auto with = [&](Node n, const std::string& key, const std::string& value) {
        n[key] = value;
        return n;
    };
    struct Case {
        const char* name;
        Node node;
        bool tagged;
    };
    for (const auto& c :
         {Case{"a touchpad", pad, true}, Case{"a touchpad, changed", with(pad, "ACTION", "change"), true},
          Case{"a touchpad that is also a keyboard", with(pad, "ID_INPUT_KEYBOARD", "1"), false},
          Case{"a keyboard",
               {{"ACTION", "add"}, {"SUBSYSTEM", "input"}, {"KERNEL", "event3"}, {"ID_INPUT_KEYBOARD", "1"}},
               false},
          Case{"a mouse", with(with(pad, "ID_INPUT_TOUCHPAD", ""), "ID_INPUT_MOUSE", "1"), false},
          Case{"the touchpad's mouseN node", with(pad, "KERNEL", "mouse2"), false}}) {
        EXPECT_EQ(ruleTags(c.node), c.tagged) << c.name;
    }
}

struct Refusal {
    const char* name;
    std::vector<std::string> args;
    bool pkexecd;  // the stand-in root must not be honoured under pkexec
    int status;
    const char* says;
    friend std::ostream& operator<<(std::ostream& out, const Refusal& r) { return out << r.name; }
};
class TouchpadHelperRefusalTest : public TouchpadHelperTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(TouchpadHelperRefusalTest, RefusesAndWritesNothing) {
    std::vector<std::string> env{testRoot()};
    if (GetParam().pkexecd) env.push_back("PKEXEC_UID=1000");
    if (std::string(GetParam().name) == "NoTestRoot") env.clear();
    EXPECT_EQ(run(GetParam().args, env), GetParam().status);
    EXPECT_NE(errors.find(GetParam().says), std::string::npos) << errors;
    EXPECT_FALSE(fs::exists(rules()));
    EXPECT_FALSE(fs::exists(root / "udevadm.log"));
}
INSTANTIATE_TEST_SUITE_P(Cases, TouchpadHelperRefusalTest,
                         ::testing::Values(Refusal{"Arguments", {"/etc/passwd"}, false, 2, "takes no arguments"},
                                           Refusal{"NoTestRoot", {}, false, 1, "must run as root"},
                                           Refusal{"UnderPkexec", {}, true, 1, "must run as root"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(TouchpadHelperTest, AFailingUdevIsReported) {
    writeScript(root / "usr/bin/udevadm", "[ \"$1\" = trigger ] && exit 1; exit 0");
    EXPECT_EQ(run({}, {testRoot()}), 1);
    EXPECT_NE(errors.find("udevadm trigger"), std::string::npos) << errors;
}

// The caller: pkexec stand-ins that answer as pkexec does.
struct Answer {
    const char* name;
    const char* pkexec;  // script body; nullptr: no pkexec
    TouchpadGrant::State state;
    const char* detail;
    friend std::ostream& operator<<(std::ostream& out, const Answer& a) { return out << a.name; }
};
class PkexecGrantTest : public TouchpadHelperTest, public ::testing::WithParamInterface<Answer> {};

TEST_P(PkexecGrantTest, ReportsHowTheGrantWent) {
    static int argc = 1;
    static char arg0[] = "test";
    static char* argv[] = {arg0, nullptr};
    static QCoreApplication app(argc, argv);
    fs::path pkexec = root / "bin/pkexec";
    if (GetParam().pkexec) writeScript(pkexec, GetParam().pkexec);
    desktop::PkexecTouchpadAccess access(QString::fromStdString(pkexec.string()), TRELLICK_TOUCHPAD_HELPER);
    std::optional<TouchpadGrant> outcome;
    QEventLoop loop;
    access.grant([&](TouchpadGrant g) {
        outcome = g;
        loop.quit();
    });
    if (!outcome) loop.exec();
    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->state, GetParam().state);
    EXPECT_NE(outcome->detail.find(GetParam().detail), std::string::npos) << outcome->detail;
    if (GetParam().state == TouchpadGrant::State::granted) {
        EXPECT_EQ(slurp(root / "pkexec.args"), std::string(TRELLICK_TOUCHPAD_HELPER) + "\n") << "the helper alone";
    }
}
INSTANTIATE_TEST_SUITE_P(Cases, PkexecGrantTest,
                         ::testing::Values(Answer{"Granted", "echo \"$*\" > \"$(dirname \"$0\")/../pkexec.args\"",
                                                  TouchpadGrant::State::granted, ""},
                                           Answer{"NoPkexec", nullptr, TouchpadGrant::State::unavailable,
                                                  "pkexec is not installed"},
                                           Answer{"Dismissed", "exit 126", TouchpadGrant::State::refused, "dismissed"},
                                           Answer{"NoAgent", "echo 'No authentication agent found.' >&2; exit 127",
                                                  TouchpadGrant::State::refused, "No authentication agent found."},
                                           Answer{"HelperFailed", "echo 'cannot write the rule' >&2; exit 1",
                                                  TouchpadGrant::State::failed, "cannot write the rule"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
