// Scenario text and synthesised evemu recordings: a scenario written out as a recording reads
// back as the same frames.

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "input/FrameText.h"

namespace trellick::input {
namespace {

TEST(FrameText, AScenarioSurvivesTheTripThroughAnEvemuRecording) {
    auto frames = readFramesText(
        "0.000 0.30 0.50\n0.010 0.30 0.50 0.40 0.53\n0.020 0.31 0.50 0.41 0.53 0.51 0.50  # three\n"
        "0.025 escape\n0.040 0.31 0.50\n0.050\n",
        "s.frames");
    ASSERT_EQ(frames.size(), 5u);  // the Escape line is not a frame
    std::ostringstream evemu;
    writeEvemu(evemu, frames, {}, 1234.5, "test");
    auto back = assembleFrames(readEvemu(evemu.str(), "synth.evemu"));
    ASSERT_EQ(back.size(), frames.size());
    for (std::size_t i = 0; i < frames.size(); ++i) {
        EXPECT_NEAR(back[i].time, frames[i].time, 1e-9);
        ASSERT_EQ(back[i].fingers.size(), frames[i].fingers.size());
        for (std::size_t k = 0; k < frames[i].fingers.size(); ++k) {
            EXPECT_NEAR(back[i].fingers[k].x, frames[i].fingers[k].x, 0.5 / 3000);
            EXPECT_NEAR(back[i].fingers[k].y, frames[i].fingers[k].y, 0.5 / 2000);
        }
    }
    // Dumped frame lines read back exactly, to the last bit of each float.
    TouchContact f;
    f.x = 1.0f / 3.0f;
    f.y = -0.05f;
    auto line = readFramesText(framesLine(12.345678, &f, 1), "l");
    EXPECT_DOUBLE_EQ(line[0].time, 12.345678);
    EXPECT_EQ(line[0].fingers[0].x, f.x);
    EXPECT_EQ(line[0].fingers[0].y, f.y);
}

// `trellick --replay` takes both kinds of file and tells them apart by their first line.
TEST(FrameText, ScenariosAreToldFromRecordingsByTheirFirstLine) {
    namespace fs = std::filesystem;
    for (const auto& e : fs::directory_iterator(std::string(TRELLICK_SOURCE_DIR) + "/examples"))
        EXPECT_EQ(looksLikeScenario(readTextFile(e.path().string(), "it")), e.path().extension() == ".frames");
    if (!fs::is_directory(TRELLICK_RECORDINGS_DIR)) {
        GTEST_SKIP() << "the shared touchpad recordings are not at " << TRELLICK_RECORDINGS_DIR;
    }
    for (const auto& e : fs::recursive_directory_iterator(TRELLICK_RECORDINGS_DIR)) {
        if (!e.is_regular_file() || e.path().extension() == ".md") continue;
        EXPECT_FALSE(looksLikeScenario(readTextFile(e.path().string(), "it"))) << e.path();
    }
}

}  // namespace
}  // namespace trellick::input
