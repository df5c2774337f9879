// A recording with lost frames saved as a Matroska video through the real export and loaded
// back: the gaps are black at their places, every frame's record comes back, and the pixels
// of every frame are the ones saved.
#include "acquisition/CFileSequence.h"
#include "acquisition/SavedRecord.h"
#include "tests/acquisition/SaveLoadTestSupport.h"
#include "tests/acquisition/TaggedCameraTestSupport.h"

#include <algorithm>
#include <optional>

namespace {

// A tagged grab of 9 frames into 16 buffers with tags 2 and 6 dropped.
const std::vector<std::optional<uint32_t>> TAGS = {0, 1, std::nullopt, 3, 4, 5, std::nullopt, 7};

} // namespace

class VideoExportTest : public TaggedCameraTest {
protected:
    SaveLoadFolder m_folder;
};

TEST_F(VideoExportTest, LostFramesStayBlackAtTheirPlacesAndEveryRecordComesBack) {
    ScopedEnv drop("FGSIM_DROP", "list:2,6");
    auto camera = Started(MakeChannel(), 16, true);
    m_step(Grabber(*camera), 9);
    camera->Stop();
    ASSERT_EQ(camera->GetImageCount(), TAGS.size());
    framerecord::RecordingInfo grabbed;
    ASSERT_TRUE(camera->GetRecordingInfo(grabbed));

    ASSERT_EQ(camera->GetFileModule()->SetParam(LUMO_PARAM_FILE_TYPE, LUMO_FILE_MKV, 0), 0u);
    const std::string path = m_folder / "take.mkv";
    ASSERT_TRUE(camera->SaveSequenceToFile(path.c_str(), 0, UINT64_MAX));
    ASSERT_TRUE(WaitUntilEnded(*camera));
    ASSERT_TRUE(Exists(path));

    CFileSequence loaded(m_pLumo);
    ASSERT_TRUE(loaded.LoadSequence(path.c_str()));
    ASSERT_TRUE(WaitUntilEnded(loaded));
    ASSERT_EQ(loaded.GetImageCount(), TAGS.size());
    framerecord::RecordingInfo recording;
    ASSERT_TRUE(loaded.GetRecordingInfo(recording));
    EXPECT_EQ(recording, grabbed);
    auto image = MakeImage();
    for (uint64_t i = 0; i < TAGS.size(); ++i) {
        SCOPED_TRACE(i);
        framerecord::FrameEntry entry;
        ASSERT_TRUE(loaded.GetFrameRecord(i, entry));
        EXPECT_EQ(entry.index, i);
        EXPECT_EQ(entry.tag, TAGS[i]);
        EXPECT_EQ(entry.lost, !TAGS[i].has_value());
        ASSERT_TRUE(loaded.CopyValidToImage(i, image.get(), 1, 1));
        EXPECT_EQ(entry.crc32, SavedRecord::ImageCrc(*image)); // the pixels saved, exactly
        const auto* pixels = static_cast<const uint8_t*>(image->GetFrameData(0, -1, 0));
        const bool black =
            std::all_of(pixels, pixels + image->GetFrameSize(), [](uint8_t v) { return v == 0; });
        EXPECT_EQ(black, entry.lost);
    }
}
