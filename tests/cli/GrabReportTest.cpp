// What kavrin grab reports where a script reading its JSON and exit status must not be misled:
// a rate nobody measured, a grab that gave no image, a file name that is empty, frame buffers
// that do not fit.
#include "tests/cli/KavrinRun.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempFolder.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <regex>

namespace {

class GrabReport : public ::testing::Test {
protected:
    ScopedEnv m_noFglib{"KAVRIN_FGLIB", nullptr}; // the simulator beside the program
    ScopedEnv m_noFail{"FGSIM_FAIL", nullptr};
    TempFolder m_folder;
};

nlohmann::json Parse(const std::string& text) {
    return nlohmann::json::parse(text, nullptr, false);
}

} // namespace

TEST_F(GrabReport, AnEmptyFileNameIsAWrongCommandLine) {
    CliRun run = Kavrin("grab --camera 0 --buffers 4 --height 2 --single -o ''", true);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "kavrin: grab: -o needs a file name\n");
}

TEST_F(GrabReport, ARateIsPrintedOnlyWhenOneWasMeasured) {
    // Two buffers are full microseconds after the start, before the monitor first reads the
    // count: one rate sample. The monitor's first read may still fall between the two frames
    // (a window of microseconds), which gives two samples and a rate: a few tries each.
    ScopedEnv fast("FGSIM_FPS", "100000");
    bool nullSeen = false;
    for (int attempt = 0; attempt < 5 && !nullSeen; ++attempt) {
        CliRun once = Kavrin("grab --camera 0 --buffers 2 --height 2 --single --json");
        ASSERT_EQ(once.status, 0) << once.out;
        const nlohmann::json report = Parse(once.out);
        ASSERT_TRUE(report.is_object()) << once.out;
        EXPECT_EQ(report["images"], 2);
        nullSeen = report["grab_fps"].is_null();
    }
    EXPECT_TRUE(nullSeen) << "a grab with one rate sample reports no rate";
    bool dashSeen = false;
    for (int attempt = 0; attempt < 5 && !dashSeen; ++attempt) {
        CliRun text = Kavrin("grab --camera 0 --buffers 2 --height 2 --single");
        dashSeen = text.out.find("grab fps: -\n") != std::string::npos;
    }
    EXPECT_TRUE(dashSeen) << "the text report shows '-' for no rate";

    ScopedEnv normal("FGSIM_FPS", "200");
    CliRun measured = Kavrin("grab --camera 0 --buffers 8 --height 2 --seconds 0.3 --json");
    ASSERT_EQ(measured.status, 0) << measured.out;
    EXPECT_TRUE(std::regex_search(measured.out, std::regex("\"grab_fps\": [0-9]+\\.[0-9]{2}}")))
        << measured.out;
    const nlohmann::json rated = Parse(measured.out);
    ASSERT_TRUE(rated.is_object()) << measured.out;
    EXPECT_GT(rated["grab_fps"].get<double>(), 0.0);
}

TEST_F(GrabReport, AGrabThatGaveNoImageFailsWithItsCause) {
    {
        // The transferred count cannot be read: the grab sees nothing.
        ScopedEnv fail("FGSIM_FAIL", "Fg_getStatusEx");
        CliRun run = Kavrin("grab --camera 4 --buffers 8 --height 2 --single --json", true);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, "kavrin: grab: no image was grabbed: the grabber could not report its "
                           "transferred count (Fg_getStatusEx failed)\n")
            << "no report, only the message naming the cause";
    }
    {
        // A camera that delivers no frame (frames only on an explicit step).
        ScopedEnv still("FGSIM_FPS", "0");
        const std::string file = m_folder.File("none.tif");
        CliRun run =
            Kavrin("grab --camera 0 --buffers 4 --height 2 --seconds 0.1 -o '" + file + "'", true);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(
            run.out,
            "kavrin: grab: no image was grabbed: the grabber reported no transferred frame\n");
        EXPECT_FALSE(std::filesystem::exists(file));
    }
}

TEST_F(GrabReport, FrameBuffersBeyondTheMemoryFailNamingTheCause) {
    // Ten thousand million full-height frames: far beyond any memory, and more frame entries
    // than could be reserved. The camera's message box goes to standard error.
    CliRun run = Kavrin("grab --camera 0 --buffers 10000000000 --single --json", true);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("Error: Could not allocate frame buffer\n"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("kavrin: grab: Preparing framebuffers failed\n"), std::string::npos)
        << run.out;
}
