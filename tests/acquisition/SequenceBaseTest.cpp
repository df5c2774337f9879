#include "external/ImageFormat.h"
#include "tests/acquisition/SequenceTestSupport.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

size_t CountLines(RecordingSink& sink, const std::string& text) {
    const std::vector<std::string> lines = sink.Lines();
    return static_cast<size_t>(std::count(lines.begin(), lines.end(), text));
}

// Gives the sequence `frames` frames of 6 x 4 pixels in `format`; frame i is filled with 10 + i.
void FillFrames(TestSequence& sequence, uint64_t frames, uint64_t format) {
    CSequenceLock lock(sequence);
    ASSERT_EQ(Frames(sequence)->Allocate(6, 4, format, 0, frames), 0u);
    for (uint64_t i = 0; i < frames; ++i)
        std::memset(Frames(sequence)->GetFrameData(0, static_cast<int64_t>(i), 0),
                    static_cast<int>(10 + i), 24);
}

uint8_t FirstByte(CLumoImage& image) {
    return *static_cast<const uint8_t*>(image.GetFrameData(0, 0, 0));
}

const std::string REINIT = "1 CSequenceBase::InitImageIfRequired: reinitializing destination image";

} // namespace

TEST(SequenceWithoutLibrary, ReportsNothingAndRefusesEveryCopy) {
    TestSequence explicitNull(nullptr);
    TestSequence noCurrent; // no RuntimeLibraries is current: the same
    for (TestSequence* sequence : {&explicitNull, &noCurrent}) {
        EXPECT_EQ(Frames(*sequence), nullptr);
        EXPECT_EQ(sequence->GetFileModule(), nullptr);
        EXPECT_EQ(sequence->GetBufferCount(), 0u);
        EXPECT_EQ(sequence->GetImageCount(), 0u);
        EXPECT_EQ(sequence->GetWidth(), 0u);
        EXPECT_EQ(sequence->GetHeight(), 0u);
        EXPECT_EQ(sequence->GetImageFormat(), 0u);
        EXPECT_STREQ(sequence->GetName(), "Sequence base class");
        EXPECT_FALSE(sequence->ResetFrameStore());
        EXPECT_FALSE(sequence->CopyToImage(0, nullptr, 1, 1));
        EXPECT_FALSE(sequence->CopyValidToImage(0, nullptr, 1, 1));
        EXPECT_FALSE(sequence->InitImage(nullptr));
        EXPECT_EQ(sequence->GetFrameRate(0), 0.0);
        EXPECT_EQ(sequence->GetFrameRate(5), 0.0);
        EXPECT_EQ(SequenceTestSeam::DisplayCounter(*sequence), 0u);
        RecordingSink sink;
        sequence->SetLog(&sink);
        sequence->DumpBuffers();
        EXPECT_TRUE(sink.Lines().empty());
        sequence->SetLog(nullptr);
    }
}

TEST_F(SequenceTest, CopyReallocatesTheDestinationOnlyWhenItsShapeDiffers) {
    TestSequence sequence;
    ASSERT_NE(Frames(sequence), nullptr);
    RecordingSink sink;
    sequence.SetLog(&sink);
    FillFrames(sequence, 3, ImageFormat::GREY8);
    Frames(sequence)->SetOrigin(1, 0);
    EXPECT_EQ(sequence.GetBufferCount(), 3u);
    EXPECT_EQ(sequence.GetImageCount(), 3u);
    EXPECT_EQ(sequence.GetWidth(), 6u);
    EXPECT_EQ(sequence.GetHeight(), 4u);
    EXPECT_EQ(sequence.GetImageFormat(), ImageFormat::GREY8);

    const LumoImagePtr destination = MakeLumoImage(m_pLumo);
    ASSERT_TRUE(sequence.CopyToImage(1, destination.get(), 1, 0));
    EXPECT_EQ(CountLines(sink, REINIT), 1u);
    EXPECT_EQ(destination->GetWidth(), 6u);
    EXPECT_EQ(destination->GetHeight(), 4u);
    EXPECT_EQ(destination->GetFormat(nullptr), ImageFormat::GREY8);
    EXPECT_EQ(destination->GetFrameCount(), 1u);
    EXPECT_EQ(FirstByte(*destination), 11);
    uint32_t x = 0, y = 0;
    destination->GetOrigin(&x, &y);
    EXPECT_EQ(x, 1u);
    EXPECT_EQ(y, 0u);

    // Same shape: no reallocation, no log line, same memory; a new origin alone changes nothing.
    const void* memory = destination->GetFrameData(0, 0, 0);
    Frames(sequence)->SetOrigin(0, 1);
    ASSERT_TRUE(sequence.CopyValidToImage(2, destination.get(), 1, 1));
    EXPECT_EQ(CountLines(sink, REINIT), 1u);
    EXPECT_EQ(destination->GetFrameData(0, 0, 0), memory);
    EXPECT_EQ(FirstByte(*destination), 12);
    destination->GetOrigin(&x, &y);
    EXPECT_EQ(x, 1u);

    // initImage 0: nothing is copied.
    EXPECT_FALSE(sequence.CopyToImage(0, destination.get(), 0, 0));
    EXPECT_EQ(FirstByte(*destination), 12);
    // Indices outside the store fail after the destination was prepared.
    EXPECT_FALSE(sequence.CopyToImage(3, destination.get(), 1, 0));
    EXPECT_FALSE(sequence.CopyToImage(-1, destination.get(), 1, 0));
    EXPECT_EQ(FirstByte(*destination), 12);
    EXPECT_FALSE(sequence.CopyToImage(0, nullptr, 1, 0));

    // Another format word with the same bit depth does reallocate.
    FillFrames(sequence, 2, ImageFormat::CFA8);
    ASSERT_TRUE(sequence.CopyToImage(0, destination.get(), 1, 0));
    EXPECT_EQ(CountLines(sink, REINIT), 2u);
    EXPECT_EQ(destination->GetFormat(nullptr), ImageFormat::CFA8);
    destination->GetOrigin(&x, &y);
    EXPECT_EQ(x, 0u);
    EXPECT_EQ(y, 1u);
    sequence.SetLog(nullptr);
}

TEST_F(SequenceTest, DisplayCounterCountsEveryAttemptPastInitialisation) {
    TestSequence sequence;
    FillFrames(sequence, 2, ImageFormat::GREY8);
    const LumoImagePtr destination = MakeLumoImage(m_pLumo);
    EXPECT_EQ(sequence.GetFrameRate(0), 0.0);

    EXPECT_TRUE(sequence.CopyToImage(0, destination.get(), 1, 0));
    EXPECT_EQ(sequence.GetFrameRate(0), 0.0);                       // one sample: no rate yet
    EXPECT_FALSE(sequence.CopyToImage(7, destination.get(), 1, 0)); // failed copy still counts
    EXPECT_FALSE(sequence.CopyToImage(0, destination.get(), 0, 0)); // refused before: does not
    EXPECT_FALSE(sequence.CopyToImage(0, nullptr, 1, 0));
    EXPECT_EQ(SequenceTestSeam::DisplayCounter(sequence), 2u);
    EXPECT_GT(sequence.GetFrameRate(0), 0.0);
    EXPECT_EQ(sequence.GetFrameRate(1), 0.0);

    sequence.ResetFrameRate(1); // not the display meter
    EXPECT_EQ(SequenceTestSeam::DisplayCounter(sequence), 2u);
    sequence.ResetFrameRate(0);
    EXPECT_EQ(SequenceTestSeam::DisplayCounter(sequence), 0u);
    EXPECT_EQ(sequence.GetFrameRate(0), 0.0);
    EXPECT_TRUE(sequence.CopyToImage(1, destination.get(), 1, 0));
    EXPECT_EQ(SequenceTestSeam::DisplayCounter(sequence), 1u);
    EXPECT_EQ(sequence.GetFrameRate(0), 0.0);
}

TEST_F(SequenceTest, InitImageShapesScratchImagesAndReportsFailure) {
    TestSequence sequence;
    const LumoImagePtr scratch = MakeLumoImage(m_pLumo);
    // An empty store has no geometry: the destination cannot be shaped and stays as it was.
    ASSERT_EQ(scratch->Allocate(2, 2, ImageFormat::GREY8, 0, 1), 0u);
    EXPECT_FALSE(sequence.InitImage(scratch.get()));
    EXPECT_EQ(scratch->GetWidth(), 2u);
    EXPECT_FALSE(sequence.CopyToImage(0, scratch.get(), 1, 0));

    FillFrames(sequence, 1, ImageFormat::CFA8);
    EXPECT_FALSE(sequence.InitImage(nullptr));
    ASSERT_TRUE(sequence.InitImage(scratch.get()));
    EXPECT_EQ(scratch->GetWidth(), 6u);
    EXPECT_EQ(scratch->GetHeight(), 4u);
    EXPECT_EQ(ImageFormat::ImageClass(scratch->GetFormat(nullptr)), ImageFormat::CLASS_CFA);
    ASSERT_TRUE(sequence.InitImageIfRequired(12, 0, scratch.get()));
    EXPECT_EQ(scratch->GetWidth(), 12u);
    EXPECT_EQ(scratch->GetHeight(), 4u);
}

TEST_F(SequenceTest, ResetFrameStoreFreesEveryFrame) {
    TestSequence sequence;
    FillFrames(sequence, 4, ImageFormat::GREY8);
    ASSERT_TRUE(sequence.ResetFrameStore());
    ASSERT_NE(Frames(sequence), nullptr);
    EXPECT_EQ(sequence.GetBufferCount(), 0u);
    EXPECT_EQ(sequence.GetWidth(), 0u);
    EXPECT_EQ(sequence.GetImageFormat(), 0u);
    const LumoImagePtr destination = MakeLumoImage(m_pLumo);
    EXPECT_FALSE(sequence.CopyToImage(0, destination.get(), 1, 0));
    FillFrames(sequence, 1, ImageFormat::GREY8); // the new store works like the old one
    EXPECT_TRUE(sequence.CopyToImage(0, destination.get(), 1, 0));
}

TEST_F(SequenceTest, DumpBuffersLogsEveryFrameAddress) {
    TestSequence sequence;
    FillFrames(sequence, 3, ImageFormat::GREY8);
    sequence.DumpBuffers(); // no sink: nothing, no crash
    RecordingSink sink;
    sequence.SetLog(&sink);
    sequence.DumpBuffers();
    const std::vector<std::string> lines = sink.Lines();
    ASSERT_EQ(lines.size(), 3u);
    for (int64_t i = 0; i < 3; ++i) {
        char expected[64];
        std::snprintf(expected, sizeof expected, "1 Buffer %lld: 0x%016llX",
                      static_cast<long long>(i),
                      static_cast<unsigned long long>(
                          reinterpret_cast<uintptr_t>(Frames(sequence)->GetFrameData(0, i, 0))));
        EXPECT_EQ(lines[static_cast<size_t>(i)], expected);
    }
    sequence.SetLog(nullptr);
}
