// `trellick debug-gestures --replay` run as a user would: the same decisions as the scenario a
// recording was made from, frames dumped and fed back unchanged, and clear errors.

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "input/FrameText.h"

namespace {

namespace fs = std::filesystem;

std::string slurp(const std::string& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), {}};
}
std::string example(const std::string& name) {
    return std::string(TRELLICK_SOURCE_DIR) + "/examples/" + name;
}

class ReplayCommand : public ::testing::Test {
protected:
    struct Result {
        int status;
        std::string out, err;
    };
    fs::path dir_ = fs::temp_directory_path() / ("trellick-replay-cli-" + std::to_string(::getpid()) + "-" +
                                                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
    void SetUp() override { fs::create_directories(dir_); }
    void TearDown() override { fs::remove_all(dir_); }
    Result run(const std::string& args) {
        std::string out = (dir_ / "out").string(), err = (dir_ / "err").string();
        int raw =
            std::system((std::string(TRELLICK_BINARY) + " debug-gestures " + args + " >" + out + " 2>" + err).c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(out), slurp(err)};
    }
    std::string write(const std::string& name, const std::string& text) {
        std::ofstream((dir_ / name).string()) << text;
        return (dir_ / name).string();
    }
};

TEST_F(ReplayCommand, ARecordingOfAScenarioAndItsDumpedFramesGiveTheScenariosDecisions) {
    for (auto [frames, options] : {std::pair{"directional-walk.frames", ""},
                                   {"toggle-swipe.frames", "--set trellick.mode=toggleLastApp"},
                                   {"pull-down-cancel.frames", ""},
                                   {"favourites.frames", "--favourites 2"}}) {
        SCOPED_TRACE(frames);
        auto scenario = trellick::input::readFramesText(slurp(example(frames)), frames);
        std::ostringstream evemu;
        trellick::input::writeEvemu(evemu, scenario, {}, 86400.25, "t");
        auto recording = write("scenario.evemu", evemu.str());
        auto expected = run("--frames " + example(frames) + " " + options);
        ASSERT_FALSE(expected.out.empty());
        auto replayed = run("--replay " + recording + " " + options);
        EXPECT_EQ(replayed.status, 0) << replayed.err;
        EXPECT_EQ(replayed.out, expected.out);
        auto dumped = run("--replay " + recording + " --dump-frames");
        EXPECT_EQ(dumped.out.rfind("# " + std::to_string(scenario.size()) + " frames of " + recording, 0), 0u);
        EXPECT_EQ(run("--frames " + write("dumped.frames", dumped.out) + " " + options).out, expected.out);
    }
}

TEST_F(ReplayCommand, ProblemsWithTheRecordingStopWithFileLineAndStatus2) {
    auto bad = write("bad.evemu", "E: 1.000000 0003 0035 10\nE: 1.000000 0003 0036\n");
    auto r = run("--replay " + bad);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "trellick: " + bad + ":2: E: needs a time, a type, a code and a value\n");
    EXPECT_TRUE(r.out.empty());

    // Ranges the recording lacks, given on the command line.
    auto bare = write("bare.evemu",
                      "E: 1.000000 0003 0039 1\nE: 1.000000 0003 0035 50\nE: 1.000000 0003 0036 50\n"
                      "E: 1.000000 0000 0000 0\n");
    EXPECT_EQ(run("--replay " + bare).status, 2);
    auto desc = write("pad.desc", "A: 35 0 100 0 0\nA: 36 0 100 0 0\n");
    auto withDesc = run("--replay " + bare + " --device-desc " + desc + " --dump-frames");
    EXPECT_EQ(withDesc.status, 0) << withDesc.err;
    EXPECT_NE(withDesc.out.find("\n0.000000 0.5 0.5\n"), std::string::npos) << withDesc.out;
}

TEST_F(ReplayCommand, DumpedFramesSayWhichTouchesWereNotFingersAndWhy) {
    auto palm = write("palm.evemu",
                      "A: 35 0 100 0 0\nA: 36 0 100 0 0\nA: 3a 0 255 0 0\n"
                      "E: 1.000000 0003 0039 1\nE: 1.000000 0003 0035 50\nE: 1.000000 0003 0036 50\n"
                      "E: 1.000000 0003 003a 40\nE: 1.000000 0000 0000 0\n"
                      "E: 1.010000 0003 002f 1\nE: 1.010000 0003 0039 2\nE: 1.010000 0003 0035 20\n"
                      "E: 1.010000 0003 0036 50\nE: 1.010000 0003 003a 250\nE: 1.010000 0000 0000 0\n");
    auto r = run("--replay " + palm + " --dump-frames");
    EXPECT_EQ(r.status, 0) << r.err;
    auto body = r.out.substr(r.out.find('\n') + 1);
    EXPECT_EQ(body,
              "0.000000 0.5 0.5\n0.010000 0.5 0.5\n# not fingers: palm at 0.2 0.5, presses too hard for a finger\n");
}

}  // namespace
