// The frame record through every file type: a recording from the simulated tagged camera with
// lost frames (and a trigger) is saved, loaded back as a file sequence and saved again; the
// tags, gaps, lost counts, start time, trigger and pixel CRCs come back.
#include "acquisition/CFileSequence.h"
#include "acquisition/SavedRecord.h"
#include "acquisition/SeriesName.h"
#include "tests/acquisition/SaveLoadTestSupport.h"
#include "tests/acquisition/TaggedCameraTestSupport.h"

#include <optional>
#include <regex>

namespace {

// The frames of a tagged grab of 9 frames into 16 buffers with tags 3 and 5 dropped.
const std::vector<std::optional<uint32_t>> TAGS = {0, 1, 2, std::nullopt, 4, std::nullopt, 6, 7};

const char* Extension(uint32_t type) {
    return type == LUMO_FILE_PNG ? ".png" : type == LUMO_FILE_BMP ? ".bmp" : ".tif";
}

} // namespace

class RecordRoundTripTest : public TaggedCameraTest {
protected:
    // Saves images first .. first + count - 1 of `sequence` as file type `type`; the first file
    // written.
    std::string Save(CSequenceBase& sequence, uint32_t type, const std::string& name,
                     uint64_t first = 0, uint64_t count = UINT64_MAX) {
        EXPECT_EQ(sequence.GetFileModule()->SetParam(LUMO_PARAM_FILE_TYPE, type, 0), 0u);
        const std::string path = m_folder / (name + Extension(type));
        EXPECT_TRUE(sequence.SaveSequenceToFile(path.c_str(), first, count));
        EXPECT_TRUE(WaitUntilEnded(sequence));
        if (type == LUMO_FILE_MULTI_TIFF)
            return path;
        std::string base, extension;
        seriesname::Split(path, base, extension);
        return seriesname::NumberedName(base, 0, extension);
    }
    std::unique_ptr<CFileSequence> Load(const std::string& path) {
        auto loaded = std::make_unique<CFileSequence>(m_pLumo);
        EXPECT_TRUE(loaded->LoadSequence(path.c_str()));
        EXPECT_TRUE(WaitUntilEnded(*loaded));
        return loaded;
    }
    // Every frame's record of `sequence`, with its CRC checked against the frame it holds.
    std::vector<framerecord::FrameEntry> Entries(CSequenceBase& sequence) {
        std::vector<framerecord::FrameEntry> entries;
        auto image = MakeImage();
        for (uint64_t i = 0; i < sequence.GetImageCount(); ++i) {
            framerecord::FrameEntry entry;
            EXPECT_TRUE(sequence.GetFrameRecord(i, entry)) << i;
            EXPECT_TRUE(sequence.CopyValidToImage(i, image.get(), 1, 1));
            EXPECT_EQ(entry.crc32, SavedRecord::ImageCrc(*image)) << "frame " << i;
            entries.push_back(entry);
        }
        return entries;
    }

    SaveLoadFolder m_folder;
};

TEST_F(RecordRoundTripTest, TagsGapsAndCountsSurviveEveryFileTypeAndAResave) {
    ScopedEnv drop("FGSIM_DROP", "list:3,5");
    auto camera = Started(MakeChannel(), 16, true);
    m_step(Grabber(*camera), 9);
    camera->Stop();
    ASSERT_EQ(camera->GetImageCount(), TAGS.size());
    framerecord::RecordingInfo grabbed;
    ASSERT_TRUE(camera->GetRecordingInfo(grabbed));
    EXPECT_EQ(grabbed.lost, std::vector<int64_t>{2});
    EXPECT_TRUE(
        std::regex_match(grabbed.startUtc, std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ)")))
        << grabbed.startUtc;

    for (const uint32_t type :
         {LUMO_FILE_MULTI_TIFF, LUMO_FILE_TIFF, LUMO_FILE_PNG, LUMO_FILE_BMP}) {
        SCOPED_TRACE(type);
        const std::string written = Save(*camera, type, "take" + std::to_string(type));
        auto loaded = Load(written);
        ASSERT_EQ(loaded->GetImageCount(), TAGS.size());
        framerecord::RecordingInfo recording;
        ASSERT_TRUE(loaded->GetRecordingInfo(recording));
        EXPECT_EQ(recording, grabbed);
        const auto entries = Entries(*loaded);
        for (uint64_t i = 0; i < TAGS.size(); ++i) {
            EXPECT_EQ(entries[i].index, i);
            EXPECT_EQ(entries[i].tag, TAGS[i]) << i;
            EXPECT_EQ(entries[i].lost, !TAGS[i].has_value()) << i;
        }
        EXPECT_EQ(entries[3].crc32, entries[5].crc32) << "both gaps are black";

        // A part of the loaded recording saved again keeps its tags and gaps.
        const std::string again = Save(*loaded, LUMO_FILE_MULTI_TIFF, "again", 2, 3);
        auto reloaded = Load(again);
        const auto part = Entries(*reloaded);
        ASSERT_EQ(part.size(), 3u);
        EXPECT_EQ(part[1].tag, std::nullopt);
        EXPECT_TRUE(part[1].lost);
        EXPECT_EQ(part[2].tag, 4u);
        EXPECT_EQ(part[2].index, 2u) << "indices count the saved range";
        ASSERT_TRUE(reloaded->GetRecordingInfo(recording));
        EXPECT_EQ(recording.frames, 3u);
        EXPECT_EQ(recording.lost, std::vector<int64_t>{2});
    }
}

TEST_F(RecordRoundTripTest, TheTriggerFrameMovesWithTheSavedRange) {
    auto camera = Started(MakeChannel(), 10, true);
    m_step(Grabber(*camera), 13);
    ASSERT_TRUE(WaitFor(m_recorder, SEQ_NOTIFY_NEW_IMAGES, 1));
    ASSERT_TRUE(camera->Trigger(50));
    m_step(Grabber(*camera), 4);
    ASSERT_TRUE(WaitFor(m_recorder, SEQ_NOTIFY_ENDED, 1));
    camera->Stop();
    const int64_t trigger = camera->GetTriggerIndex();
    ASSERT_GE(trigger, 1);

    framerecord::RecordingInfo recording;
    auto loaded = Load(Save(*camera, LUMO_FILE_PNG, "from1", 1));
    ASSERT_TRUE(loaded->GetRecordingInfo(recording));
    EXPECT_EQ(recording.triggerIndex, static_cast<uint64_t>(trigger - 1));
    loaded = Load(Save(*camera, LUMO_FILE_MULTI_TIFF, "after", static_cast<uint64_t>(trigger) + 1));
    ASSERT_TRUE(loaded->GetRecordingInfo(recording));
    EXPECT_EQ(recording.triggerIndex, std::nullopt) << "the trigger frame is not in the file";
}

TEST_F(RecordRoundTripTest, FilesWithoutARecordLoadAsBeforeAndPlainSequencesWriteNone) {
    TestSequence plain;
    ASSERT_EQ(Frames(plain)->Allocate(24, 10, ImageFormat::GREY8, 0, 3), 0u);
    FillFrames(*Frames(plain));
    for (const uint32_t type : {LUMO_FILE_MULTI_TIFF, LUMO_FILE_PNG, LUMO_FILE_BMP}) {
        SCOPED_TRACE(type);
        const std::string written = Save(plain, type, "plain" + std::to_string(type));
        EXPECT_FALSE(Exists(written + framerecord::SIDECAR_SUFFIX));
        auto loaded = Load(written);
        EXPECT_EQ(loaded->GetImageCount(), 3u);
        framerecord::RecordingInfo recording;
        framerecord::FrameEntry entry;
        EXPECT_FALSE(loaded->GetRecordingInfo(recording));
        EXPECT_FALSE(loaded->GetFrameRecord(0, entry));
        auto image = MakeImage();
        ASSERT_TRUE(loaded->CopyValidToImage(0, image.get(), 1, 1));
        EXPECT_EQ(image->GetAttribute(LUMO_ATTR_RECORD), nullptr);
    }
}
