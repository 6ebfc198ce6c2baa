// Real touchpad recordings (other people's, read where they lie): what the gesture engine
// decides from them in both modes. The engine is not tuned to these pads; where it rejects a
// real swipe the test states it rather than hiding it.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "gesture/EngineRig.h"
#include "input/Recording.h"

namespace trellick::input {
namespace {

namespace fs = std::filesystem;

class SharedRecordings : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::is_directory(TRELLICK_RECORDINGS_DIR)) {
            GTEST_SKIP() << "the shared touchpad recordings are not at " << TRELLICK_RECORDINGS_DIR
                         << " (they live in ../shared/recordings beside the checkout)";
        }
    }
};

std::string path(const std::string& name) {
    return std::string(TRELLICK_RECORDINGS_DIR) + "/" + name;
}
// The engine after the frames, in the given mode.
std::unique_ptr<test::EngineRig> decide(const std::vector<Frame>& frames, const char* mode) {
    using Prefs = std::vector<std::pair<std::string, PrefValue>>;
    auto rig = std::make_unique<test::EngineRig>(Prefs{{keys::mode, PrefValue(std::string(mode))}});
    for (const auto& f : frames) {
        rig->time->advanceTo(f.time);
        rig->time->set(f.time);
        rig->monitor->handleFrame(f.fingers.data(), int(f.fingers.size()), f.time);
        rig->time->runReady();
    }
    rig->time->drain();
    return rig;
}
std::unique_ptr<test::EngineRig> decide(const std::string& name, const char* mode) {
    return decide(assembleFrames(loadRecording(path(name))), mode);
}

TEST_F(SharedRecordings, ThreeFingerSwipesSwitchInDirectionalModeAndQuickOnesToggle) {
    struct Case {
        const char* name;
        int step;      // how far the directional picker walks
        bool toggles;  // within toggle mode's 0.8 s: cyan's fingers move for 0.75 s, the others longer
    };
    for (auto c : {Case{"cros-cyan-3f-swipe-left.evemu", 1, true}, Case{"cros-samus-3f-swipe-right.evemu", 2, false},
                   Case{"cros-veyron_minnie-3f-swipe-left.evemu", 1, false}}) {
        SCOPED_TRACE(c.name);
        auto directional = decide(c.name, "directionalMRU");
        EXPECT_EQ(directional->trace->commits,
                  (std::vector<std::pair<SwitcherRow, int>>{{SwitcherRow::recents, c.step}}));
        EXPECT_EQ(directional->windows->activations.size(), 1u);
        auto toggle = decide(c.name, "toggleLastApp");
        EXPECT_EQ(toggle->trace->previous, c.toggles ? 1 : 0);  // quick switches
        EXPECT_EQ(toggle->windows->activations.size(), c.toggles ? 1u : 0u);
    }
}

// People scrolling, clicking, pointing and resting palms and thumbs on two boards: a window
// switch from any of it is the worst thing the engine can do.
TEST_F(SharedRecordings, EverydayTouchpadUseNeverSwitchesAWindow) {
    fs::path everyday = path("everyday");
    if (!fs::is_directory(everyday)) GTEST_SKIP() << "no everyday recordings at " << everyday;
    int recordings = 0;
    for (const auto& board : fs::directory_iterator(everyday)) {
        if (!board.is_directory()) continue;
        std::string desc = (board.path() / "board.desc").string();
        for (const auto& entry : fs::directory_iterator(board.path())) {
            if (entry.path().extension() != ".evemu") continue;
            auto fr = assembleFrames(loadRecording(entry.path().string(), desc));
            ++recordings;
            for (const char* mode : {"directionalMRU", "toggleLastApp"}) {
                auto rig = decide(fr, mode);
                auto& commits = rig->trace->commits;
                EXPECT_EQ(rig->trace->previous, 0) << entry.path() << " " << mode;
                EXPECT_TRUE(std::none_of(commits.begin(), commits.end(), [](auto& c) { return c.second >= 0; }))
                    << entry.path() << " " << mode;
            }
        }
    }
    EXPECT_GT(recordings, 0);
}

}  // namespace
}  // namespace trellick::input
