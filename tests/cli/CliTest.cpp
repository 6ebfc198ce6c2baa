// The `trellick` executable's command line, run as a user would.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

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

Result run(const std::string& args) {
    auto dir = std::filesystem::temp_directory_path() / ("trellick-cli-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::string outFile = (dir / "out").string(), errFile = (dir / "err").string();
    std::string cmd = std::string(TRELLICK_BINARY) + " " + args + " >" + outFile + " 2>" + errFile;
    int raw = std::system(cmd.c_str());
    Result r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = slurp(outFile);
    r.err = slurp(errFile);
    std::filesystem::remove_all(dir);
    return r;
}

std::string example(const std::string& name) { return std::string(TRELLICK_SOURCE_DIR) + "/examples/" + name; }

std::string scenario(const std::string& text) {
    static int n = 0;
    auto path = std::filesystem::temp_directory_path() /
                ("trellick-scenario-" + std::to_string(::getpid()) + "-" + std::to_string(n++) + ".frames");
    std::ofstream(path) << text;
    return path.string();
}

TEST(Cli, HelpAndVersion) {
    auto v = run("--version");
    EXPECT_EQ(v.status, 0);
    EXPECT_EQ(v.out.rfind("trellick ", 0), 0u);
    auto h = run("--help");
    EXPECT_EQ(h.status, 0);
    EXPECT_NE(h.out.find("debug-gestures"), std::string::npos);
    EXPECT_EQ(run("debug-gestures --help").status, 0);
}

// The output is a contract that users and recordings are checked with: it must stay stable.
TEST(Cli, ExampleScenariosGiveTheRecordedDecisions) {
    struct Case {
        const char* frames;
        const char* options;
        const char* golden;
    };
    for (auto c : {Case{"directional-walk.frames", "", "directional-walk.jsonl"},
                   Case{"toggle-swipe.frames", "--set trellick.mode=toggleLastApp", "toggle-swipe.jsonl"},
                   Case{"pull-down-cancel.frames", "", "pull-down-cancel.jsonl"},
                   Case{"favourites.frames", "--favourites 2", "favourites.jsonl"}}) {
        auto r = run("debug-gestures --frames " + example(c.frames) + " " + c.options);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, slurp(std::string(TRELLICK_SOURCE_DIR) + "/tests/cli/golden/" + c.golden)) << c.frames;
    }
}

TEST(Cli, BadScenarioLinesStopBeforeAnyOutput) {
    struct Case {
        const char* text;
        int line;
        const char* says;
    };
    for (auto c : {Case{"0 0.3 0.5\n0.01 0.3\n", 2, "X Y pairs"},
                   Case{"# comment\n\n0.5 0.3 0.5\n0.4 0.3 0.5\n", 4, "goes backwards"},
                   Case{"0 0.3 zero\n", 1, "not a number"},
                   Case{"soon 0.3 0.5\n", 1, "not a time"},
                   Case{"0 escape now\n", 1, "stands alone"},
                   Case{"nan 0.3 0.5\n", 1, "not a time"}}) {
        auto path = scenario(c.text);
        auto r = run("debug-gestures --frames " + path);
        EXPECT_EQ(r.status, 2) << c.text;
        EXPECT_TRUE(r.out.empty()) << c.text;
        EXPECT_EQ(r.err.rfind("trellick: " + path + ":" + std::to_string(c.line) + ": ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        std::filesystem::remove(path);
    }
    auto missing = run("debug-gestures --frames /nonexistent/x.frames");
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("/nonexistent/x.frames"), std::string::npos);
}

TEST(Cli, BadOptionsAreUsageErrors) {
    for (const char* args : {"debug-gestures --recents many --frames x", "debug-gestures --set trellick.mode",
                             "debug-gestures --set trellick.moed=1", "debug-gestures --bogus",
                             "debug-gestures --frames"}) {
        auto r = run(args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_EQ(r.err.rfind("trellick: ", 0), 0u) << args << ": " << r.err;
    }
}

TEST(Cli, PreferencesFollowTheStoreReadRules) {
    auto toggle = example("toggle-swipe.frames");
    // A string that spells false is not a boolean: the switch stays enabled.
    auto r = run("debug-gestures --frames " + toggle + " --set trellick.mode=toggleLastApp --set 'trellick.enabled=\"false\"'");
    EXPECT_NE(r.out.find("switchPrevious"), std::string::npos);
    r = run("debug-gestures --frames " + toggle + " --set trellick.mode=toggleLastApp --set trellick.enabled=false");
    EXPECT_EQ(r.out.find("switchPrevious"), std::string::npos);
    EXPECT_NE(r.out.find("\"event\":\"swipe\""), std::string::npos);
    // An unknown mode falls back to the directional default.
    r = run("debug-gestures --frames " + toggle + " --set trellick.mode=Toggle");
    EXPECT_EQ(r.out.find("switchPrevious"), std::string::npos);
    EXPECT_NE(r.out.find("\"event\":\"commit\""), std::string::npos);
}

TEST(Cli, EscapeAndEmptyListScenarios) {
    auto walk = slurp(example("directional-walk.frames"));
    // Escape half-way through: a cancel, and the lift commits nothing.
    auto path = scenario(walk + "");
    std::string withEscape;
    std::istringstream lines(walk);
    for (std::string line; std::getline(lines, line);) {
        withEscape += line + "\n";
        if (line.rfind("0.300 ", 0) == 0) withEscape += "0.300 escape\n";
    }
    std::ofstream(path) << withEscape;
    auto r = run("debug-gestures --frames " + path);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("{\"t\":0.31,\"event\":\"cancel\"}"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("commit"), std::string::npos);

    // No recency list and favourites off: the walk runs, commits nothing.
    r = run("debug-gestures --frames " + example("directional-walk.frames") +
            " --recents 0 --set trellick.favouritesEnabled=false");
    EXPECT_NE(r.out.find("{\"t\":0.59,\"event\":\"commit\",\"row\":\"recents\",\"index\":-1}"), std::string::npos) << r.out;
    std::filesystem::remove(path);
}

}  // namespace
