#pragma once
// The trellick executable on the X11 rig, replaying swipes, its standard error kept.

#include <sys/wait.h>

#include "../common/TestSupport.h"
#include "RigTest.h"
#include "Swipes.h"

namespace trellick::rig {

class AppRigTest : public RigTest {
protected:
    void TearDown() override { stop(app, SIGKILL); }
    void writePreferences(const std::string& json) {
        std::filesystem::create_directories(rig.tmp() + "/config/trellick");
        std::ofstream(rig.tmp() + "/config/trellick/preferences.json") << json;
    }
    // Starts trellick with `args`, replaying `swipes` (when there are any).
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
    std::string stderrText() { return test::slurp(rig.tmp() + "/trellick.err"); }
    void expectExit(int code) {
        int status = -1;
        bool ended = waitFor([&] { return waitpid(app, &status, WNOHANG) == app; }, 40.0);
        if (ended) app = -1;
        ASSERT_TRUE(ended && WIFEXITED(status)) << "status " << status << ": " << stderrText();
        EXPECT_EQ(WEXITSTATUS(status), code) << stderrText();
    }

    pid_t app = -1;
};

}  // namespace trellick::rig
