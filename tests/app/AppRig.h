#pragma once
// The trellick executable on the X11 rig: started with its preferences stored and a scenario of
// swipes to replay, its standard error kept for the test to read.

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "RigTest.h"

namespace trellick::rig {

// Three fingers that settle for 0.1 s at `start`, slide right by `dx` every 10 ms for `steps`
// frames, rest there for `hold` seconds and lift.
struct Swipe {
    double start;
    int steps;
    double dx;
    double hold = 0;
};

// The swipes as a scenario (the `debug-gestures --frames` format), its clock starting at 0.
inline std::string scenario(const std::vector<Swipe>& swipes) {
    std::string out = "0.000\n";
    char line[128];
    for (const Swipe& s : swipes) {
        auto frame = [&](double t, double x) {
            std::snprintf(line, sizeof line, "%.3f %.4f 0.5 %.4f 0.53 %.4f 0.5\n", s.start + t, 0.3 + x, 0.4 + x,
                          0.5 + x);
            out += line;
        };
        const double end = 0.01 * (10 + s.steps);
        for (int f = 0; f <= 10 + s.steps; ++f) frame(0.01 * f, s.dx * std::max(0, f - 10));
        if (s.hold > 0) frame(end + s.hold, s.dx * s.steps);
        std::snprintf(line, sizeof line, "%.3f\n", s.start + end + s.hold + 0.01);
        out += line;
    }
    return out;
}

class AppRigTest : public RigTest {
protected:
    void TearDown() override { stop(app, SIGKILL); }
    void writePreferences(const std::string& json) {
        std::filesystem::create_directories(rig.tmp() + "/config/trellick");
        std::ofstream(rig.tmp() + "/config/trellick/preferences.json") << json;
    }
    // Starts trellick with `args`, after a replay of `swipes` where there are any (else it reads
    // this machine's touchpads).
    void start(const std::vector<Swipe>& swipes, std::vector<std::string> args = {},
               const std::map<std::string, std::string>& env = {}) {
        if (!swipes.empty()) {
            std::ofstream(rig.tmp() + "/swipes.frames") << scenario(swipes);
            args.insert(args.begin(), {"--replay", rig.tmp() + "/swipes.frames"});
        }
        args.insert(args.begin(), TRELLICK_EXECUTABLE);
        app = spawn(args, rig.tmp() + "/trellick.err", env);
        ASSERT_GT(app, 0);
    }
    std::string stderrText() {
        std::stringstream ss;
        ss << std::ifstream(rig.tmp() + "/trellick.err").rdbuf();
        return ss.str();
    }
    // Waits for trellick to end, running `meanwhile` at every look, and checks its exit status.
    void expectExit(
        int code, const std::function<void()>& meanwhile = [] {}) {
        int status = -1;
        bool ended = waitFor(
            [&] {
                meanwhile();
                return waitpid(app, &status, WNOHANG) == app;
            },
            40.0);
        if (ended) app = -1;
        ASSERT_TRUE(ended && WIFEXITED(status)) << "status " << status << ": " << stderrText();
        EXPECT_EQ(WEXITSTATUS(status), code) << stderrText();
    }

    pid_t app = -1;
};

}  // namespace trellick::rig
