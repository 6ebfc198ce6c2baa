// `trellick debug-gestures --replay` run as a user would: the same decisions as the scenario a
// recording was made from, frames dumped and fed back unchanged, and clear errors.

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "replay/FrameText.h"

namespace {

namespace fs = std::filesystem;

struct Result {
    int status = -1;
    std::string out, err;
};

std::string slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class ReplayCommand : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("trellick-replay-cli-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    Result run(const std::string& args) {
        std::string out = (dir_ / "out").string(), err = (dir_ / "err").string();
        int raw = std::system((std::string(TRELLICK_BINARY) + " debug-gestures " + args + " >" + out + " 2>" + err).c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(out), slurp(err)};
    }
    std::string write(const std::string& name, const std::string& text) {
        auto p = (dir_ / name).string();
        std::ofstream(p) << text;
        return p;
    }
    static std::string example(const std::string& name) { return std::string(TRELLICK_SOURCE_DIR) + "/examples/" + name; }
    fs::path dir_;
};

TEST_F(ReplayCommand, ARecordingOfAScenarioGivesTheScenariosDecisions) {
    struct Case {
        const char* frames;
        const char* options;
    };
    for (auto c : {Case{"directional-walk.frames", ""}, Case{"toggle-swipe.frames", "--set trellick.mode=toggleLastApp"},
                   Case{"pull-down-cancel.frames", ""}, Case{"favourites.frames", "--favourites 2"}}) {
        SCOPED_TRACE(c.frames);
        auto frames = trellick::input::readFramesText(slurp(example(c.frames)), c.frames);
        std::ostringstream evemu;
        trellick::input::writeEvemu(evemu, frames, {}, 86400.25, "test");
        auto recording = write("scenario.evemu", evemu.str());
        auto expected = run("--frames " + example(c.frames) + " " + c.options);
        auto replayed = run("--replay " + recording + " " + c.options);
        EXPECT_EQ(replayed.status, 0) << replayed.err;
        ASSERT_FALSE(expected.out.empty());
        EXPECT_EQ(replayed.out, expected.out);
    }
    auto demo = run("--replay " + example("directional-walk.evemu"));
    EXPECT_EQ(demo.out, run("--frames " + example("directional-walk.frames")).out);
}

TEST_F(ReplayCommand, DumpedFramesReplayToTheSameDecisions) {
    std::string recording = std::string(TRELLICK_RECORDINGS_DIR) + "/cros-samus-3f-swipe-right.evemu";
    if (!fs::exists(recording)) GTEST_SKIP() << "the shared touchpad recordings are not at " << TRELLICK_RECORDINGS_DIR;
    auto dumped = run("--replay " + recording + " --dump-frames");
    ASSERT_EQ(dumped.status, 0) << dumped.err;
    EXPECT_EQ(dumped.out.rfind("# 150 frames of ", 0), 0u);
    auto scenario = write("dumped.frames", dumped.out);
    auto fromScenario = run("--frames " + scenario);
    auto fromRecording = run("--replay " + recording);
    ASSERT_NE(fromRecording.out.find("\"commit\""), std::string::npos);
    EXPECT_EQ(fromScenario.out, fromRecording.out);
}

TEST_F(ReplayCommand, ProblemsWithTheRecordingStopWithFileLineAndStatus2) {
    auto bad = write("bad.evemu", "E: 1.000000 0003 0035 10\nE: 1.000000 0003 0036\n");
    auto r = run("--replay " + bad);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "trellick: " + bad + ":2: E: needs a time, a type, a code and a value\n");
    EXPECT_TRUE(r.out.empty());

    // Ranges the recording lacks, given on the command line.
    auto bare = write("bare.evemu", "E: 1.000000 0003 0039 1\nE: 1.000000 0003 0035 50\nE: 1.000000 0003 0036 50\n"
                                    "E: 1.000000 0000 0000 0\n");
    EXPECT_EQ(run("--replay " + bare).status, 2);
    auto desc = write("pad.desc", "A: 35 0 100 0 0\nA: 36 0 100 0 0\n");
    auto withDesc = run("--replay " + bare + " --device-desc " + desc + " --dump-frames");
    EXPECT_EQ(withDesc.status, 0) << withDesc.err;
    EXPECT_NE(withDesc.out.find("\n0.000000 0.5 0.5\n"), std::string::npos) << withDesc.out;
}

}  // namespace
