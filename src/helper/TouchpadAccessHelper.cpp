// trellick-touchpad-access: the privileged helper behind "Grant Touchpad Access…". Trellick runs
// it as root through pkexec. It installs the one fixed udev rule that gives the user at the seat
// access to touchpads, reloads udev and re-triggers the touchpads, and does nothing else: it
// takes no arguments and reads nothing from its caller.
//
// Exit status: 0 done; 1 failed (said why on standard error); 2 called with arguments.
//
// Tests set TRELLICK_TOUCHPAD_ACCESS_TEST_ROOT to a folder that stands in for "/" (the rules
// folder and udevadm are looked up under it). It is honoured only in an unprivileged process
// that was neither started through pkexec nor set-id, so it can never redirect a root helper.

#include <fcntl.h>
#include <sys/auxv.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/evdev/TouchpadAccessRule.h"

namespace {

const char* kTestRootVariable = "TRELLICK_TOUCHPAD_ACCESS_TEST_ROOT";

bool privileged() {
    return getuid() == 0 || geteuid() == 0 || getgid() == 0 || getegid() == 0 || getauxval(AT_SECURE) != 0 ||
           std::getenv("PKEXEC_UID") != nullptr;
}

int fail(const std::string& what, int error = 0) {
    std::fprintf(stderr, "trellick-touchpad-access: %s%s%s\n", what.c_str(), error ? ": " : "",
                 error ? std::strerror(error) : "");
    return 1;
}

bool writeAll(int fd, const std::string& data) {
    for (std::size_t done = 0; done < data.size();) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool sameContent(const std::string& path, const std::string& expected) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return false;
    std::string data;
    char buf[4096];
    for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0 && data.size() <= expected.size();) data.append(buf, n);
    ::close(fd);
    return data == expected;
}

// Creates `dir` and its missing parents with mode 0755.
bool makeDirs(const std::string& dir) {
    for (std::size_t pos = 1; pos != std::string::npos;) {
        pos = dir.find('/', pos + 1);
        std::string part = dir.substr(0, pos);
        if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
    }
    return true;
}

// Replaces `path` in one step: a reader sees the old rules or the new ones, never a part.
int writeAtomically(const std::string& path, const std::string& content) {
    std::string dir = path.substr(0, path.rfind('/'));
    if (!makeDirs(dir)) return fail("cannot create " + dir, errno);
    std::string temp = dir + "/.trellick-touchpad.rules.XXXXXX";
    int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return fail("cannot write in " + dir, errno);
    bool ok = ::fchmod(fd, 0644) == 0 && writeAll(fd, content) && ::fsync(fd) == 0;
    int error = errno;
    ok = (::close(fd) == 0) && ok;
    if (ok && ::rename(temp.c_str(), path.c_str()) == 0) {
        if (int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dfd >= 0) {
            ::fsync(dfd);
            ::close(dfd);
        }
        return 0;
    }
    if (ok) error = errno;
    ::unlink(temp.c_str());
    return fail("cannot write " + path, error);
}

// Runs `program` with `args` and a minimal environment; its exit status, or -1.
int run(const std::string& program, const std::vector<std::string>& args) {
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    char path[] = "PATH=/usr/sbin:/usr/bin:/sbin:/bin";
    char* envp[] = {path, nullptr};
    pid_t pid = ::fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        ::execve(program.c_str(), argv.data(), envp);
        _exit(127);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

int main(int argc, char**) {
    if (argc > 1) {
        std::fputs("trellick-touchpad-access: takes no arguments; it installs the touchpad udev rule.\n", stderr);
        return 2;
    }
    std::string root;  // "" is "/"
    const char* testRoot = std::getenv(kTestRootVariable);
    if (testRoot && *testRoot == '/' && !privileged()) {
        root = testRoot;
    } else if (geteuid() != 0) {
        return fail("must run as root; Trellick starts it through pkexec");
    }
    ::umask(022);

    const std::string rules = root + trellick::evdev::kTouchpadRulesFile;
    const std::string content = trellick::evdev::touchpadRulesFileContent();
    if (!sameContent(rules, content)) {
        if (int status = writeAtomically(rules, content); status != 0) return status;
    }

    std::string udevadm;
    for (const char* candidate : {"/usr/bin/udevadm", "/bin/udevadm", "/sbin/udevadm", "/usr/sbin/udevadm"}) {
        if (::access((root + candidate).c_str(), X_OK) == 0) {
            udevadm = root + candidate;
            break;
        }
    }
    if (udevadm.empty()) return fail("udevadm not found; the rule is installed and applies from the next boot");
    if (run(udevadm, {"control", "--reload"}) != 0) return fail("'udevadm control --reload' failed");
    std::vector<std::string> trigger(std::begin(trellick::evdev::kTouchpadTriggerArgs),
                                     std::end(trellick::evdev::kTouchpadTriggerArgs));
    if (run(udevadm, trigger) != 0) return fail("'udevadm trigger' failed");
    // The access rights are in place once udev has worked through the change events.
    run(udevadm, {"settle", "--timeout=10"});
    return 0;
}
