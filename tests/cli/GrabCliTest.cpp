// kavrin cameras and kavrin grab as a user runs them, against the simulated grabber: the JSON
// they print, their exit status, and the frames of the file a grab saved.
#include "acquisition/CFileSequence.h"
#include "tests/acquisition/SaveLoadTestSupport.h"
#include "tests/cli/KavrinRun.h"
#include "tests/cli/SavedImages.h"
#include "tests/support/ScopedEnv.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <sys/wait.h>

namespace {

// The text after "key": up to the next comma or closing brace (arrays whole).
std::string Field(const std::string& json, const std::string& key) {
    const std::string start = "\"" + key + "\": ";
    const size_t at = json.find(start);
    if (at == std::string::npos)
        return "<missing>";
    const size_t from = at + start.size();
    const size_t to = json[from] == '[' ? json.find(']', from) + 1 : json.find_first_of(",}", from);
    return json.substr(from, to - from);
}

class GrabCli : public SequenceTest {
protected:
    bool Load(CFileSequence& sequence, const std::string& path) {
        return LoadSaved(sequence, path);
    }
    std::vector<uint8_t> Image(CFileSequence& sequence, uint64_t index) {
        return SavedImage(m_pLumo, sequence, index);
    }
    bool Black(CFileSequence& sequence, uint64_t index) {
        const std::vector<uint8_t> data = Image(sequence, index);
        return !data.empty() &&
               std::all_of(data.begin(), data.end(), [](uint8_t p) { return p == 0; });
    }
    uint32_t Tag(CFileSequence& sequence, uint64_t index, uint64_t offset = 0) {
        const std::vector<uint8_t> data = Image(sequence, index);
        uint32_t tag = 0;
        if (data.size() >= offset + 8)
            std::memcpy(&tag, data.data() + offset + 4, 4);
        return tag;
    }
    std::string Magic(CFileSequence& sequence, uint64_t index, uint64_t offset) {
        const std::vector<uint8_t> data = Image(sequence, index);
        if (data.size() < offset + 4)
            return {};
        return std::string(reinterpret_cast<const char*>(data.data()) + offset, 4);
    }
    SaveLoadFolder m_folder;
    ScopedEnv m_noFglib{"KAVRIN_FGLIB", nullptr};
};

} // namespace

TEST_F(GrabCli, CamerasListTheCatalogue) {
    CliRun json = Kavrin("cameras --json");
    EXPECT_EQ(json.status, 0);
    EXPECT_EQ(json.out.rfind("[{\"index\": 0, \"name\": \"Kavrin KX-220B 200fps\"}, ", 0), 0u)
        << json.out;
    EXPECT_NE(json.out.find("{\"index\": 11, \"name\": \"TLM-2200C (Fast mode)\"}]\n"),
              std::string::npos);
    CliRun text = Kavrin("cameras");
    EXPECT_NE(text.out.find(" 4  Kavrin KX-220B (Fast mode)\n"), std::string::npos) << text.out;
    EXPECT_EQ(Kavrin("cameras --xml").status, 2);
    CliRun help = Kavrin("--help");
    for (const char* word : {"cameras [--json]", "grab --camera N", "\"grab_fps\"", "\"lost\""})
        EXPECT_NE(help.out.find(word), std::string::npos) << word;
}

TEST_F(GrabCli, WrongCommandLinesAndFailuresAreClearMessages) {
    for (const char* arguments :
         {"grab --buffers 8 --single", "grab --camera 12 --buffers 8 --single",
          "grab --camera 0 --buffers 1 --single", "grab --camera 0 --buffers 8",
          "grab --camera 0 --buffers 8 --single --seconds 1",
          "grab --camera 0 --buffers 8 --seconds -1", "grab --camera 0 --buffers 8 --seconds x",
          "grab --camera 0 --buffers 8 --single --height 0",
          "grab --camera 0 --buffers 8 --single -o out.xyz",
          "grab --camera 0 --buffers 8 --single --type 2", "grab --camera 0 --buffers"}) {
        SCOPED_TRACE(arguments);
        CliRun run = Kavrin(arguments, true);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out.rfind("kavrin: grab: ", 0), 0u) << run.out;
    }
    {
        ScopedEnv none("KAVRIN_FGLIB", "none");
        CliRun run = Kavrin("grab --camera 0 --buffers 8 --single", true);
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.out.find("Silicon Software API not available!"), std::string::npos);
        EXPECT_NE(run.out.find("kavrin: grab: Preparing framebuffers failed"), std::string::npos)
            << run.out;
    }
    {
        ScopedEnv boards("FGSIM_BOARDS", "2626:0x1001");
        CliRun run = Kavrin("grab --camera 4 --buffers 8 --single --height 2", true);
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.out.find("Not enugh boards available"), std::string::npos) << run.out;
    }
}

TEST_F(GrabCli, DroppedTagsAreLostCountsAndBlackFramesInTheSavedFile) {
    ScopedEnv drop("FGSIM_DROP", "list:5,9");
    const std::string file = m_folder / "drops.tif";
    // 16 buffers receive tags 0 .. 17 without 5 and 9. The single sequence completed, so every
    // buffer is offered and the field runs from tag 0 to 17.
    CliRun run =
        Kavrin("grab --camera 0 --buffers 16 --height 4 --single --json -o '" + file + "'");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(Field(run.out, "camera"), "0");
    EXPECT_EQ(Field(run.out, "name"), "\"Kavrin KX-220B 200fps\"");
    EXPECT_EQ(Field(run.out, "buffers"), "16");
    EXPECT_EQ(Field(run.out, "grabbed"), "16");
    EXPECT_EQ(Field(run.out, "images"), "18");
    EXPECT_EQ(Field(run.out, "lost"), "[2]");
    EXPECT_EQ(Field(run.out, "file"), "\"" + file + "\"");
    EXPECT_NE(Field(run.out, "grab_fps"), "<missing>");

    CFileSequence saved;
    ASSERT_TRUE(Load(saved, file));
    ASSERT_EQ(saved.GetImageCount(), 18u);
    EXPECT_EQ(saved.GetWidth(), 2320u);
    for (int64_t i = 0; i < 18; ++i) {
        SCOPED_TRACE(i);
        if (i == 5 || i == 9)
            EXPECT_TRUE(Black(saved, static_cast<uint64_t>(i)));
        else
            EXPECT_EQ(Tag(saved, static_cast<uint64_t>(i)), static_cast<uint32_t>(i));
    }
}

TEST_F(GrabCli, SwappedBoardsStillSaveTheLeftHalfOnTheLeft) {
    ScopedEnv swap("FGSIM_SWAP", "1");
    // The simulated camera waits until both channels are armed, so both receive the same frames.
    ScopedEnv fps("FGSIM_FPS", "50");
    const std::string file = m_folder / "swap.tif";
    CliRun run = Kavrin("grab --camera 4 --buffers 8 --height 2 --single --json -o '" + file + "'");
    ASSERT_EQ(run.status, 0) << run.out;
    const uint64_t images = std::stoull(Field(run.out, "images"));
    EXPECT_EQ(images, 8u) << "every buffer of the completed sequence, both halves paired";
    EXPECT_EQ(Field(run.out, "lost"), "[0, 0]");
    CFileSequence saved;
    ASSERT_TRUE(Load(saved, file));
    ASSERT_EQ(saved.GetImageCount(), images);
    ASSERT_EQ(saved.GetWidth(), 2240u);
    for (int64_t i = 0; i < static_cast<int64_t>(images); ++i) {
        SCOPED_TRACE(i);
        const auto index = static_cast<uint64_t>(i);
        EXPECT_EQ(Magic(saved, index, 0), "TL2L");
        EXPECT_EQ(Magic(saved, index, 1120), "TL2R");
        EXPECT_EQ(Tag(saved, index), Tag(saved, index, 1120));
    }
}

TEST_F(GrabCli, WithoutTagsTheRingOrderStandsAndLossIsUnknown) {
    ScopedEnv noTag("FGSIM_NOTAG", "1");
    CliRun run = Kavrin("grab --camera 8 --buffers 8 --height 2 --single --json");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(Field(run.out, "grabbed"), "8");
    EXPECT_EQ(Field(run.out, "images"), "8");
    EXPECT_EQ(Field(run.out, "lost"), "[-1]");
    EXPECT_EQ(Field(run.out, "file"), "<missing>");
}

TEST_F(GrabCli, AContinuousGrabRunsForTheGivenTime) {
    CliRun run = Kavrin("grab --camera 10 --buffers 8 --height 2 --seconds 0.3 --json");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(Field(run.out, "name"), "\"TLM-2200 (Fast mode)\"");
    EXPECT_GT(std::stoull(Field(run.out, "grabbed")), 8u) << "the ring went round";
    // The left may have received a frame more than the right before it stopped.
    const uint64_t images = std::stoull(Field(run.out, "images"));
    EXPECT_GE(images, 5u);
    EXPECT_LE(images, 7u);
    EXPECT_EQ(Field(run.out, "lost"), "[0, 0]");
    CliRun text = Kavrin("grab --camera 2 --buffers 4 --height 2 --single");
    EXPECT_EQ(text.status, 0);
    EXPECT_NE(text.out.find("images:   4\n"), std::string::npos) << text.out;
}

TEST_F(GrabCli, ATriggeredGrabEndsByItselfWithTheTriggerFrameInTheRecording) {
    // A broken trigger would grab for ever: the run is bounded.
    CliRun json = RunKavrin("timeout 30", "grab --camera 0 --buffers 16 --height 4 "
                                          "--trigger-after 0.2 --post 50 --json");
    ASSERT_EQ(json.status, 0) << json.out;
    EXPECT_EQ(Field(json.out, "images"), "15") << "the ring went round before the trigger";
    // 7 of the 14 frames after the oldest follow the trigger frame; in real time a frame or two
    // more may arrive before the stop.
    const int64_t index = std::stoll(Field(json.out, "trigger_index"));
    EXPECT_GE(index, 3);
    EXPECT_LE(index, 7);

    // The dual-channel camera, all of the ring before the trigger frame, in text. Its frames
    // start a quarter of a second late (time for the second grabber to start).
    CliRun text = RunKavrin("timeout 30", "grab --camera 4 --buffers 8 --height 2 "
                                          "--trigger-after 0.6 --post 0");
    ASSERT_EQ(text.status, 0) << text.out;
    const size_t at = text.out.find("trigger:  ");
    ASSERT_NE(at, std::string::npos) << text.out;
    const int64_t last = std::stoll(text.out.substr(at + 10));
    EXPECT_GE(last, 2);
    EXPECT_LE(last, 6);

    EXPECT_EQ(Field(Kavrin("grab --camera 0 --buffers 8 --height 2 --seconds 0.1 --json").out,
                    "trigger_index"),
              "<missing>")
        << "no trigger given";
}

TEST_F(GrabCli, WrongTriggerValuesAreClearMessages) {
    for (const char* arguments :
         {"--trigger-after -1", "--trigger-after x", "--trigger-after",
          "--trigger-after 1 --post 101", "--trigger-after 1 --post -5",
          "--trigger-after 1 --single", "--trigger-after 1 --seconds 1", "--seconds 1 --post 50"}) {
        SCOPED_TRACE(arguments);
        CliRun run = Kavrin(std::string("grab --camera 0 --buffers 8 ") + arguments, true);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out.rfind("kavrin: grab: ", 0), 0u) << run.out;
        EXPECT_EQ(run.out.find('\n'), run.out.size() - 1) << "one line: " << run.out;
    }
}
