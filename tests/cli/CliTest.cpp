// The `trellick` executable's command line, run as a user would.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "../common/TestSupport.h"

namespace {

namespace fs = std::filesystem;
using trellick::test::slurp;

struct Result {
    int status;
    std::string out, err;
};

// A scratch directory of this process, removed with everything in it at exit.
fs::path scratch(const std::string& name) {
    static struct Dir {
        fs::path path = fs::temp_directory_path() / ("trellick-cli-" + std::to_string(::getpid()));
        Dir() { fs::create_directories(path); }
        ~Dir() { fs::remove_all(path); }
    } dir;
    return dir.path / name;
}

Result run(const std::string& args) {
    std::string cmd =
        std::string(TRELLICK_BINARY) + " " + args + " >" + scratch("out").string() + " 2>" + scratch("err").string();
    int raw = std::system(cmd.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(scratch("out")), slurp(scratch("err"))};
}

std::string example(const std::string& name) {
    return std::string(TRELLICK_SOURCE_DIR) + "/examples/" + name;
}

// A new file of the scratch directory holding `text`.
std::string file(const std::string& text, const std::string& extension = ".frames") {
    static int n = 0;
    auto path = scratch(std::to_string(n++) + extension);
    std::ofstream(path) << text;
    return path.string();
}

// `debug-gestures ARGS` stops with a usage error: status 2, nothing on standard output, and a
// message that names the program and says `says`; returns that message.
std::string usageError(const std::string& args, const std::string& says) {
    auto r = run("debug-gestures " + args);
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_TRUE(r.out.empty()) << args;
    EXPECT_EQ(r.err.rfind("trellick: ", 0), 0u) << args << ": " << r.err;
    EXPECT_NE(r.err.find(says), std::string::npos) << args << ": " << r.err;
    return r.err;
}

TEST(Cli, BadInputStopsBeforeAnyOutputWithAUsageError) {
    struct Case {
        std::string text;
        int line;
        const char* says;
        const char* option = "--frames";
    };
    // Messages quote a short excerpt of what they could not parse, with control bytes escaped.
    for (const auto& c : {Case{"0 0.3 0.5\n0.01 0.3\n", 2, "X Y pairs"},
                          Case{"# comment\n\n0.5 0.3 0.5\n0.4 0.3 0.5\n", 4, "goes backwards"},
                          Case{"0 0.3 zero\n", 1, "not a number"}, Case{"soon 0.3 0.5\n", 1, "not a time"},
                          Case{"0 escape now\n", 1, "stands alone"}, Case{"nan 0.3 0.5\n", 1, "not a time"},
                          Case{"0 0.3 \x1b[2J\x07 0.5 0.5 0.5 0.5\n", 1, "'\\x1b[2J\\x07' is not a number"},
                          Case{"0 0.3 0.5 " + std::string(5000, 'x') + " 0.5\n", 1, "'xxxxxxxxxxxxxxxxxxxxxxxxxxxx"},
                          Case{"E: 1.000000 0003 0035 10\nE: 1.000000 0003 0036\n", 2,
                               "E: needs a time, a type, a code and a value", "--replay"}}) {
        auto path = file(c.text);
        auto err = usageError(std::string(c.option) + " " + path, c.says);
        EXPECT_EQ(err.rfind("trellick: " + path + ":" + std::to_string(c.line) + ": ", 0), 0u) << err;
        EXPECT_LT(err.size(), path.size() + 100) << err;
    }
}

TEST(Cli, BadOptionsAndFilesThatAreNotTextAreUsageErrors) {
    const std::string frames = example("toggle-swipe.frames");
    const std::vector<std::pair<std::string, const char*>> cases = {
        {"--frames /nonexistent/x.frames", "/nonexistent/x.frames: cannot read the scenario"},
        {"--recents many --frames x", "--recents needs a whole number"},
        {"--set trellick.mode", "--set needs KEY=VALUE"},
        {"--set trellick.moed=1", "'trellick.moed' is not a preference key"},
        {"--bogus", "unknown option '--bogus'"},
        {"--frames", "--frames needs a FILE"},
        {"--frames " + std::string(TRELLICK_SOURCE_DIR), "it is a directory"},
        // A small binary file: the program itself may pass the size cap in a sanitizer build.
        {"--frames " + file(std::string("\x7f"
                                        "ELF\0\0\0\1binary",
                                        13)),
         "not a text file"},
        {"--frames " + frames + " --replay " + frames, "--frames and --replay"},
        {"--frames " + frames + " --dump-frames", "--dump-frames"},
        {"--frames " + frames + " --device-desc " + frames, "--device-desc goes with --replay"},
        {"--replay " + frames + " --dump-frames --recents 3", "--dump-frames runs no engine"},
        {"--frames " + frames + " --frames " + frames, "given twice"}};
    for (const auto& [args, says] : cases) usageError(args, says);
}

TEST(Cli, EscapeThenALiftBeforeTheNextFrameCancelsAsThatFrameWould) {
    // No switch, and no haptic beyond the Escape path's (none).
    auto golden = slurp(std::string(TRELLICK_SOURCE_DIR) +
                        "/tests/cli/golden/examples/directional-walk.frames.directional.jsonl");
    const std::string commit =
        "{\"t\":0.59,\"event\":\"commit\",\"row\":\"recents\",\"index\":2}\n"
        "{\"t\":0.59,\"event\":\"haptic\",\"kind\":\"switch\"}\n";
    ASSERT_NE(golden.find(commit), std::string::npos);
    auto escapeAtLift = slurp(example("directional-walk.frames"));
    escapeAtLift.replace(escapeAtLift.rfind("0.590"), 5, "0.590 escape\n0.590");
    auto r = run("debug-gestures --frames " + file(escapeAtLift));
    EXPECT_EQ(r.out, golden.replace(golden.find(commit), commit.size(), "{\"t\":0.59,\"event\":\"cancel\"}\n"));
}

}  // namespace

// Times past 10^60 s: printed whole (a cut line would name no picture) and naming ".png" files.
TEST(Cli, OverlayPicturesFollowTheDecisionsWithoutChangingThemEvenAtHugeTimes) {
    std::istringstream in(slurp(example("favourites.frames")));
    std::string scaled;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        auto space = std::min(line.find(' '), line.size());  // a time alone: no finger touches
        scaled += std::to_string((std::stod(line.substr(0, space)) + 1) * 1e60) + line.substr(space) + "\n";
    }
    const std::string frames = file(scaled);
    const auto dir = scratch("pictures");
    // A private runtime folder, so that Qt has no reason to write to standard error.
    const auto runtime = scratch("runtime");
    fs::create_directories(runtime);
    fs::permissions(runtime, fs::perms::owner_all);
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    auto plain = run("debug-gestures --frames " + frames + " --favourites 2");
    auto r = run("debug-gestures --frames " + frames + " --favourites 2 --overlay " + dir.string() +
                 " --overlay-appearance dark --overlay-scale 2");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, plain.out);
    EXPECT_NE(r.err.find("overlay pictures to " + dir.string()), std::string::npos) << r.err;
    // Nothing else, Qt's complaints at exit included.
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    // One picture, at least, at the time of every selection the engine made.
    std::istringstream lines(r.out);
    int selections = 0;
    for (std::string line; std::getline(lines, line);) {
        if (line.find("\"event\":\"select\"") == std::string::npos) continue;
        ++selections;
        char suffix[400];
        std::snprintf(suffix, sizeof suffix, "-t%.3f.png", std::stod(line.substr(5)));
        EXPECT_TRUE(std::ranges::any_of(fs::directory_iterator(dir),
                                        [&](const fs::directory_entry& f) {
                                            return f.path().filename().string().ends_with(suffix) &&
                                                   slurp(f.path()).rfind("\x89PNG", 0) == 0;
                                        }))
            << "no picture for " << line;
    }
    EXPECT_GT(selections, 1);
    for (const char* args : {"--overlay", "--overlay-appearance blue --overlay /tmp/x", "--overlay-scale 9",
                             "--overlay /proc/trellick-pictures"})
        usageError("--frames " + example("favourites.frames") + " " + args, "");
}
