#include "tests/acquisition/TaggedCameraTestSupport.h"

#include <algorithm>

namespace {

// The ring mapping of CCamera for `count` logical images.
std::vector<int64_t> RingOrder(CCamera& camera, uint64_t count) {
    std::vector<int64_t> ring;
    for (uint64_t i = 0; i < count; ++i)
        ring.push_back(camera.CCamera::GetPhysicalIndex(0, i));
    return ring;
}

} // namespace

// Grabs `frames` camera frames into `buffers` buffers and stops.
class TLMChannelTest : public TaggedCameraTest {
protected:
    Owned<CTLMChannel> Grab(uint64_t buffers, uint64_t frames) {
        auto camera = Started(MakeChannel(), buffers, true);
        m_step(Grabber(*camera), frames);
        camera->Stop();
        return camera;
    }
};

TEST_F(TLMChannelTest, GrabWithoutLossKeepsTheRingOrder) {
    for (const uint64_t frames : {5u, 21u}) { // before and after the ring wrapped
        SCOPED_TRACE(frames);
        auto camera = Grab(8, frames);
        const uint64_t count = camera->CCamera::GetImageCount();
        ASSERT_EQ(count, std::min<uint64_t>(frames, 8) - 1);
        EXPECT_EQ(camera->GetValidFieldLength(), count);
        EXPECT_EQ(camera->GetImageCount(), count);
        EXPECT_EQ(FieldOf(*camera, 0, count), RingOrder(*camera, count));
        EXPECT_EQ(camera->GetLostImagesFromTags(), 0);
        EXPECT_EQ(camera->GetLostImages(0), 0);
        EXPECT_EQ(camera->GetPhysicalIndex(0, count), -1);
        uint32_t minTag = 0;
        uint32_t maxTag = 0;
        int64_t minPhysical = -1;
        ASSERT_TRUE(camera->GetTagRange(&minPhysical, nullptr, &minTag, &maxTag));
        // Before the ring wraps the newest frame is left out, afterwards the oldest.
        const uint64_t newest = frames < 8 ? frames - 2 : frames - 1;
        EXPECT_EQ(maxTag, newest);
        EXPECT_EQ(minTag, newest + 1 - count);
        EXPECT_EQ(minPhysical, camera->CCamera::GetPhysicalIndex(0, 0));
        EXPECT_TRUE(HasLine("1 CTLMChannel::InitializeValidField: idx = 0, dwTagCount = " +
                            std::to_string(minTag) + ", phy idx = " + std::to_string(minPhysical)));
    }
}

TEST_F(TLMChannelTest, DroppedFramesAreGapsAndEveryFrameStaysReachable) {
    ScopedEnv drop("FGSIM_DROP", "list:3,5");
    auto camera = Grab(16, 9); // tags 0 1 2 4 6 7 8 in buffers 0 .. 6
    ASSERT_EQ(camera->CCamera::GetImageCount(), 6u);
    const std::vector<int64_t> field = {0, 1, 2, -1, 3, -1, 4, 5};
    EXPECT_EQ(FieldOf(*camera, 0, 9), (std::vector<int64_t>{0, 1, 2, -1, 3, -1, 4, 5, -1}));
    EXPECT_EQ(camera->GetImageCount(), field.size()) << "the newest frame must stay reachable";
    EXPECT_EQ(camera->GetLostImagesFromTags(), 2);
    EXPECT_EQ(camera->GetLostImages(0), 2) << "the grabber is closed: the tags tell";
    EXPECT_TRUE(HasLine("1 CTLMChannel::InitializeValidField: idx = 3, dwTagCount = 3, phy idx = "
                        "18446744073709551615"));
    auto image = MakeImage();
    ASSERT_TRUE(camera->CopyValidToImage(7, image.get(), 1, 1));
    EXPECT_EQ(TagOf(*image, 0), 7u);
    ASSERT_TRUE(camera->CopyValidToImage(3, image.get(), 1, 1));
    const auto* pixels = static_cast<const uint8_t*>(image->GetFrameData(0, 0, 0));
    EXPECT_TRUE(std::all_of(pixels, pixels + WIDTH * HEIGHT, [](uint8_t p) { return p == 0; }));
    EXPECT_FALSE(camera->CopyValidToImage(5, image.get(), 1, 0));
}

TEST_F(TLMChannelTest, ACompletedSingleSequenceOffersEveryBufferWithAndWithoutDrops) {
    for (const char* drops : {"", "list:3,5"}) {
        SCOPED_TRACE(drops);
        ScopedEnv drop("FGSIM_DROP", drops);
        auto camera = Started(MakeChannel(), 8, false);
        EXPECT_EQ(m_step(Grabber(*camera), 20), 8) << "the grabber stops after 8";
        camera->Stop();
        const int64_t lost = *drops ? 2 : 0;
        EXPECT_EQ(camera->CCamera::GetImageCount(), 8u);
        ASSERT_EQ(camera->GetValidFieldLength(), uint64_t(8 + lost));
        const std::vector<int64_t> field = FieldOf(*camera, 0, 8 + lost);
        EXPECT_EQ(std::count(field.begin(), field.end(), -1), lost);
        std::vector<int64_t> buffers;
        std::copy_if(field.begin(), field.end(), std::back_inserter(buffers),
                     [](int64_t p) { return p >= 0; });
        EXPECT_EQ(buffers, (std::vector<int64_t>{0, 1, 2, 3, 4, 5, 6, 7}))
            << "every buffer once, the first image of the recording first";
        EXPECT_EQ(camera->GetLostImagesFromTags(), lost);
        EXPECT_EQ(camera->GetLostImages(0), lost);
    }
}

TEST_F(TLMChannelTest, RepeatedTagsShowTheEarlierBuffer) {
    auto camera = Grab(8, 6); // tags 0 .. 4 valid in buffers 0 .. 4
    WriteHeader(*Frames(*camera), 3, 2);
    WriteHeader(*Frames(*camera), 1, 0);
    ASSERT_TRUE(camera->InitializeValidField());
    EXPECT_EQ(FieldOf(*camera, 0, 6), (std::vector<int64_t>{0, -1, 2, -1, 4, -1}));
    EXPECT_EQ(camera->FindPhysicalIndexByTag(2), 2);
    int64_t minPhysical = -1;
    int64_t maxPhysical = -1;
    ASSERT_TRUE(camera->GetTagRange(&minPhysical, &maxPhysical, nullptr, nullptr));
    EXPECT_EQ(minPhysical, 0) << "on equal tags the earlier buffer keeps the place";
    // A repeat is a step back of the counter: its 32-bit difference counts as loss.
    EXPECT_EQ(camera->GetLostImagesFromTags(), 2 * 4294967295ll + 2);
}

TEST_F(TLMChannelTest, UnreadableTagsFallBackToTheRingOrder) {
    {
        ScopedEnv noTag("FGSIM_NOTAG", "1");
        auto camera = Grab(8, 6);
        EXPECT_FALSE(camera->InitializeValidField());
        EXPECT_EQ(camera->GetValidFieldLength(), 0u);
        EXPECT_EQ(camera->GetImageCount(), 5u);
        EXPECT_EQ(FieldOf(*camera, 0, 5), RingOrder(*camera, 5));
        EXPECT_EQ(camera->GetLostImagesFromTags(), -1);
        EXPECT_EQ(camera->GetLostImages(0), -1);
        EXPECT_FALSE(camera->GetTagRange(nullptr, nullptr, nullptr, nullptr));
        EXPECT_EQ(camera->FindPhysicalIndexByTag(0), -1);
        EXPECT_TRUE(HasLine("1 CTLMChannel::InitializeValidField: Couldn't get tag range. "
                            "Propably the counter is disabled"));
    }
    {
        // One bad header in the middle: no field at all, as the range cannot be read.
        auto camera = Grab(8, 6);
        WriteHeader(*Frames(*camera), 2, 2, 'L', false);
        EXPECT_FALSE(camera->InitializeValidField());
        EXPECT_EQ(camera->GetImageCount(), 5u);
        EXPECT_EQ(camera->GetLostImagesFromTags(), -1);
        EXPECT_EQ(camera->FindPhysicalIndexByTag(1), 1);
        EXPECT_EQ(camera->FindPhysicalIndexByTag(3), -1) << "the search stops at the bad header";
    }
    {
        // Nothing grabbed: no field and no log line about the range.
        const size_t before = CountLines("1 CTLMChannel::InitializeValidField: Couldn't get tag "
                                         "range. Propably the counter is disabled");
        auto camera = Grab(8, 0);
        EXPECT_FALSE(camera->InitializeValidField());
        EXPECT_EQ(camera->GetLostImagesFromTags(), -1);
        EXPECT_EQ(CountLines("1 CTLMChannel::InitializeValidField: Couldn't get tag range. "
                             "Propably the counter is disabled"),
                  before);
        EXPECT_EQ(camera->GetImageCount(), 0u);
    }
}

TEST_F(TLMChannelTest, TagsNearTheEndOfTheCounter) {
    {
        ScopedEnv tag0("FGSIM_TAG0", "0xFFFFFFFC");
        auto camera = Grab(8, 5); // FFFFFFFC .. FFFFFFFF valid, 0 newest and left out
        EXPECT_EQ(camera->GetImageCount(), 4u);
        EXPECT_EQ(FieldOf(*camera, 0, 4), (std::vector<int64_t>{0, 1, 2, 3}));
        EXPECT_TRUE(HasLine("1 CTLMChannel::InitializeValidField: idx = 3, dwTagCount = "
                            "4294967295, phy idx = 3"));
        EXPECT_EQ(camera->GetLostImagesFromTags(), 0);
    }
    {
        // Across the wrap the field covers the real range, ordered from the oldest buffer.
        ScopedEnv tag0("FGSIM_TAG0", "0xFFFFFFFE");
        ScopedEnv drop("FGSIM_DROP", "list:0");
        auto camera = Grab(8, 7); // FFFFFFFE FFFFFFFF 1 2 3 valid, 4 newest
        EXPECT_EQ(camera->GetImageCount(), 6u);
        EXPECT_EQ(FieldOf(*camera, 0, 6), (std::vector<int64_t>{0, 1, -1, 2, 3, 4}));
        EXPECT_EQ(camera->GetLostImagesFromTags(), 1);
        EXPECT_TRUE(HasLine("1 CTLMChannel::InitializeValidField: idx = 0, dwTagCount = "
                            "4294967294, phy idx = 0"));
    }
    {
        // The ring itself wrapped too: the oldest buffer is in the middle.
        ScopedEnv tag0("FGSIM_TAG0", "0xFFFFFFF8");
        auto camera = Grab(8, 13); // tags FFFFFFFE .. 4 in ring order from buffer 6
        EXPECT_EQ(camera->GetImageCount(), 7u);
        EXPECT_EQ(FieldOf(*camera, 0, 7), RingOrder(*camera, 7));
        EXPECT_EQ(camera->GetLostImagesFromTags(), 0);
    }
}

TEST_F(TLMChannelTest, ARangeLongerThanSixteenTimesTheBuffersBuildsNoField) {
    auto camera = MakeChannel();
    ASSERT_TRUE(MakeRing(*camera, 8, 7)); // buffers 0 .. 5 valid, bound 128 tags
    for (int64_t b = 0; b < 8; ++b)
        WriteHeader(*Frames(*camera), b, 1000 + static_cast<uint32_t>(b));
    WriteHeader(*Frames(*camera), 5, 1000 + 127);
    ASSERT_TRUE(camera->InitializeValidField());
    EXPECT_EQ(camera->GetImageCount(), 128u);
    EXPECT_EQ(camera->GetPhysicalIndex(0, 127), 5);

    WriteHeader(*Frames(*camera), 5, 1000 + 128);
    EXPECT_FALSE(camera->InitializeValidField());
    EXPECT_EQ(camera->GetValidFieldLength(), 0u);
    EXPECT_EQ(camera->GetImageCount(), 6u);
    EXPECT_EQ(FieldOf(*camera, 0, 6), RingOrder(*camera, 6));
    EXPECT_TRUE(HasLine("0 CTLMChannel::InitializeValidField: tag range of 129 tags from 1000 "
                        "is longer than 128; the counter jumped, keeping the ring order"));
    // A counter that jumps far back does the same, wrap or not.
    WriteHeader(*Frames(*camera), 5, 5);
    EXPECT_FALSE(camera->InitializeValidField());
    WriteHeader(*Frames(*camera), 5, 0xFFFFFFF0u);
    EXPECT_FALSE(camera->InitializeValidField());
}

TEST_F(TLMChannelTest, StopBuildsTheFieldOnceAndStartEmptiesIt) {
    auto camera = Grab(8, 4);
    EXPECT_EQ(camera->GetValidFieldLength(), 3u);
    EXPECT_EQ(Grabber(*camera), nullptr);
    const size_t entries = m_sink.Lines().size();
    camera->Stop();
    const auto lines = m_sink.Lines();
    ASSERT_EQ(lines.size(), entries + 1);
    EXPECT_EQ(lines.back(), "1 CTLMChannel::Stop: snap is not active");
    EXPECT_EQ(camera->GetValidFieldLength(), 3u);

    ASSERT_TRUE(camera->PrepareFrameBuffers(8));
    ASSERT_TRUE(camera->StartSnap(false));
    EXPECT_EQ(camera->GetValidFieldLength(), 0u);
    EXPECT_EQ(camera->GetImageCount(), 0u);
    camera->Stop();
}
