#include "tests/acquisition/TaggedCameraTestSupport.h"

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <thread>

namespace {

constexpr uint64_t RIGHT_HALF = CKavrinFast::CHANNEL_WIDTH; // byte offset of the right half

std::string HeaderAt(CLumoImage& image, uint64_t offset) {
    const auto* data = static_cast<const uint8_t*>(image.GetFrameData(0, 0, 0)) + offset;
    uint32_t tag = 0;
    std::memcpy(&tag, data + 4, 4);
    return std::string(reinterpret_cast<const char*>(data), 4) + std::to_string(tag);
}

} // namespace

class KavrinFastTest : public TaggedCameraTest {
protected:
    // Prepares `buffers` buffers on both channels and starts grabbing.
    Owned<CKavrinFast> Start(uint64_t buffers, bool continuous) {
        return Started(MakeFast(), buffers, continuous);
    }
    Owned<CKavrinFast> Grab(uint64_t buffers, uint64_t left, uint64_t right) {
        auto camera = Start(buffers, true);
        m_step(Grabber(*camera), left);
        m_step(RightGrabber(*camera), right);
        camera->Stop();
        return camera;
    }
    uint32_t Parameter(Fg_Struct* grabber, int id) {
        uint32_t value = 0xDEAD;
        TheSiliconAPI().Functions().Fg_getParameter(grabber, id, &value, 0);
        return value;
    }
};

TEST_F(KavrinFastTest, BothHalvesOfALogicalImageCarryTheSameTag) {
    ScopedEnv tag0("FGSIM_TAG0", "100");
    auto camera = Grab(128, 101, 101);
    EXPECT_EQ(Grabber(*camera), nullptr);
    EXPECT_EQ(RightGrabber(*camera), nullptr);
    ASSERT_EQ(camera->GetImageCount(), 100u);
    EXPECT_EQ(camera->GetValidFieldLength(), 100u);
    EXPECT_EQ(Right(*camera).GetValidFieldLength(), 100u);
    EXPECT_EQ(camera->GetPhysicalIndex(0, 99), 99);
    EXPECT_EQ(camera->GetPhysicalIndex(1, 99), 99);
    EXPECT_EQ(camera->GetPhysicalIndex(1, 100), -1);
    EXPECT_EQ(camera->GetLostImages(0), 0);
    EXPECT_EQ(camera->GetLostImages(1), 0);
    EXPECT_EQ(camera->GetLostImages(2), 0);
    auto image = MakeImage();
    for (const uint64_t i : {0u, 37u, 99u}) {
        ASSERT_TRUE(camera->CopyValidToImage(i, image.get(), 1, 1));
        EXPECT_EQ(image->GetWidth(), 2240u);
        EXPECT_EQ(HeaderAt(*image, 0), "TL2L" + std::to_string(100 + i));
        EXPECT_EQ(HeaderAt(*image, RIGHT_HALF), "TL2R" + std::to_string(100 + i));
    }
    EXPECT_TRUE(HasLine("1 CKavrinFast::InitializeValidField: Found 100 valid images on LEFT "
                        "channel"));
    EXPECT_TRUE(HasLine("1 CKavrinFast::InitializeValidField: Lefttag info: MinTag = 100@0; "
                        "MaxTag = 199@99"));
    EXPECT_TRUE(HasLine("1 CKavrinFast::InitializeValidField: Righttag info: MinTag = 100@0; "
                        "MaxTag = 199@99"));
    EXPECT_TRUE(HasLine("1 CKavrinFast::InitializeValidField: idx = 5, dwTagCount = 105, phy idx "
                        "(left = 5, right = 5)"));
    EXPECT_TRUE(HasLine("1 Dumping 0: left: TL2L100, right: TL2R100"));
    // The right channel stops first, then the left.
    const auto lines = m_sink.Lines();
    const auto at = [&](const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) - lines.begin();
    };
    EXPECT_LT(at("1 CKavrinFast::Stop: calling stop for the right channel"),
              at("1 CKavrinFast::Stop: calling stop for the left channel"));
    EXPECT_LT(at("1 CKavrinFast::Stop: calling stop for the left channel"),
              at("1 Entering CKavrinFast::InitializeValidField"));
}

TEST_F(KavrinFastTest, GeometryNamesAndCameraControlLines) {
    auto camera = MakeFast();
    EXPECT_STREQ(camera->GetName(), "Kavrin KX-220B (Fast mode)");
    EXPECT_EQ(camera->GetWidth(), 2240u);
    EXPECT_EQ(camera->GetHeight(), 2u);
    EXPECT_EQ(Right(*camera).GetHeight(), 2u);
    EXPECT_EQ(camera->GetChannelCount(), 2u);
    EXPECT_EQ(camera->GetCCCount(), 8u);
    EXPECT_EQ(camera->GetCCName(0), "CC1A");
    EXPECT_EQ(camera->GetCCName(3), "CC4A");
    EXPECT_EQ(camera->GetCCName(4), "CC1B");
    EXPECT_EQ(camera->GetCCName(7), "CC4B");
    ASSERT_TRUE(camera->PrepareFrameBuffers(4));
    EXPECT_EQ(camera->GetCCState(), 0xFFu);
    camera->SetCCState(0x5A);
    EXPECT_EQ(camera->GetCCState(), 0x5Au);
    const uint32_t left[4] = {4, 5, 4, 5};
    const uint32_t right[4] = {5, 4, 5, 4};
    for (int line = 0; line < 4; ++line) {
        EXPECT_EQ(Parameter(Grabber(*camera), FG_PARAM_CC1 + line), left[line]);
        EXPECT_EQ(Parameter(RightGrabber(*camera), FG_PARAM_CC1 + line), right[line]);
    }
    EXPECT_EQ(Parameter(RightGrabber(*camera), FG_PARAM_WIDTH), CKavrinFast::CHANNEL_WIDTH);
    camera->DetachFrameBuffers();
    EXPECT_EQ(Grabber(*camera), nullptr);
    EXPECT_EQ(RightGrabber(*camera), nullptr);
}

TEST_F(KavrinFastTest, OnlyTagsBothChannelsRecordedArePaired) {
    auto camera = MakeFast();
    // Left: tags 100 .. 199 in buffers 0 .. 99. Right: 105 .. 199 without 150.
    ASSERT_TRUE(MakeRings(*camera, 128, 101, 95));
    for (int64_t b = 0; b < 100; ++b)
        WriteHeader(*Frames(*camera), b, 100 + static_cast<uint32_t>(b), 'L');
    for (int64_t b = 0; b < 94; ++b)
        WriteHeader(*RightFrames(*camera), b, 105 + static_cast<uint32_t>(b + (b >= 45)), 'R');
    ASSERT_TRUE(camera->InitializeValidField());
    ASSERT_EQ(camera->GetImageCount(), 95u);
    EXPECT_EQ(camera->GetPhysicalIndex(0, 0), 5);
    EXPECT_EQ(camera->GetPhysicalIndex(1, 0), 0);
    EXPECT_EQ(camera->GetPhysicalIndex(0, 45), 50);
    EXPECT_EQ(camera->GetPhysicalIndex(1, 45), -1) << "tag 150 lost on the right";
    EXPECT_EQ(camera->GetPhysicalIndex(1, 46), 45);
    EXPECT_EQ(camera->GetLostImagesFromTags(), 0);
    EXPECT_EQ(Right(*camera).GetLostImagesFromTags(), 1);

    auto image = MakeImage();
    ASSERT_TRUE(camera->CopyValidToImage(46, image.get(), 1, 1));
    EXPECT_EQ(HeaderAt(*image, 0), "TL2L151");
    EXPECT_EQ(HeaderAt(*image, RIGHT_HALF), "TL2R151");
    auto* pixels = static_cast<uint8_t*>(image->GetFrameData(0, 0, 0));
    const size_t bytes = 2240 * 2;
    std::memset(pixels, 0x77, bytes);
    EXPECT_FALSE(camera->CopyValidToImage(45, image.get(), 1, 0));
    EXPECT_TRUE(std::all_of(pixels, pixels + bytes, [](uint8_t p) { return p == 0x77; }));
    // Asked to black out, a half-lost frame is a black gap, so a save goes on past it.
    EXPECT_TRUE(camera->CopyValidToImage(45, image.get(), 1, 1));
    EXPECT_TRUE(std::all_of(pixels, pixels + bytes, [](uint8_t p) { return p == 0; }));
    EXPECT_FALSE(camera->CopyValidToImage(95, image.get(), 1, 0));
    // The frame record calls it a gap as well; the left half still tells its tag.
    framerecord::FrameEntry entry;
    ASSERT_TRUE(camera->GetFrameRecord(45, entry));
    EXPECT_TRUE(entry.lost);
    EXPECT_EQ(entry.tag, 150u);
    ASSERT_TRUE(camera->GetFrameRecord(46, entry));
    EXPECT_FALSE(entry.lost);
    EXPECT_EQ(entry.tag, 151u);

    // Ranges that do not meet pair nothing, and the field stays empty.
    for (int64_t b = 0; b < 94; ++b)
        WriteHeader(*RightFrames(*camera), b, 500 + static_cast<uint32_t>(b), 'R');
    ASSERT_TRUE(camera->InitializeValidField());
    EXPECT_EQ(camera->GetValidFieldLength(), 0u);
    EXPECT_EQ(camera->GetImageCount(), 94u);
    EXPECT_EQ(camera->GetPhysicalIndex(1, 3), 3);
}

TEST_F(KavrinFastTest, SwappedChannelsAreExchangedInTheDestination) {
    for (const bool swap : {false, true}) {
        SCOPED_TRACE(swap);
        ScopedEnv swapped("FGSIM_SWAP", swap ? "1" : nullptr);
        auto camera = Grab(8, 4, 4);
        ASSERT_EQ(camera->GetImageCount(), 3u);
        auto image = MakeImage();
        ASSERT_TRUE(camera->CopyValidToImage(1, image.get(), 1, 1));
        EXPECT_EQ(HeaderAt(*image, 0), "TL2L1");
        EXPECT_EQ(HeaderAt(*image, RIGHT_HALF), "TL2R1");
        const std::string swapLine =
            "1 KavrinFast::CopyToImage: detected swapping of right and left sub image!";
        EXPECT_EQ(CountLines(swapLine), 0u) << "the logical copy swaps silently";
        ASSERT_TRUE(camera->CopyToImage(2, image.get(), 1, 0));
        EXPECT_EQ(HeaderAt(*image, 0), "TL2L2");
        EXPECT_EQ(HeaderAt(*image, RIGHT_HALF), "TL2R2");
        EXPECT_EQ(CountLines(swapLine), swap ? 1u : 0u);
        EXPECT_FALSE(camera->CopyToImage(9, image.get(), 1, 0));
    }
}

TEST_F(KavrinFastTest, UnreadableOrMissingTagsLeaveTheFieldsEmpty) {
    {
        ScopedEnv noTag("FGSIM_NOTAG", "1");
        auto camera = Grab(8, 6, 4);
        EXPECT_TRUE(HasLine("1 CKavrinFast::InitializeValidField: Couldn't get tag range (left "
                            "channel). Propably the counter is disabled"));
        EXPECT_EQ(camera->GetValidFieldLength(), 0u);
        EXPECT_EQ(Right(*camera).GetValidFieldLength(), 0u);
        EXPECT_EQ(camera->GetImageCount(), 3u) << "the smaller of the two valid counts";
        EXPECT_EQ(camera->GetPhysicalIndex(0, 4), 4);
        EXPECT_EQ(camera->GetPhysicalIndex(1, 2), 2);
        EXPECT_EQ(camera->GetPhysicalIndex(1, 3), -1);
        EXPECT_EQ(camera->GetLostImages(0), -1);
        EXPECT_EQ(camera->GetLostImages(1), -1);
    }
    {
        auto camera = MakeFast();
        ASSERT_TRUE(MakeRings(*camera, 8, 6, 6));
        for (int64_t b = 0; b < 6; ++b) {
            WriteHeader(*Frames(*camera), b, static_cast<uint32_t>(b), 'L');
            WriteHeader(*RightFrames(*camera), b, static_cast<uint32_t>(b), 'R', b != 3);
        }
        EXPECT_FALSE(camera->InitializeValidField());
        EXPECT_TRUE(HasLine("1 CKavrinFast::InitializeValidField: Couldn't get tag range (right "
                            "channel). Propably the counter is disabled"));
        EXPECT_EQ(camera->GetValidFieldLength(), 0u);
    }
    {
        auto camera = MakeFast();
        ASSERT_TRUE(MakeRings(*camera, 8, 1, 5));
        EXPECT_FALSE(camera->InitializeValidField());
        EXPECT_TRUE(HasLine("1 CKavrinFast::InitializeValidField: Warning: No valid images found "
                            "in LEFT channel!"));
        EXPECT_EQ(CountLines("1 CKavrinFast::InitializeValidField: Found 4 valid images on RIGHT "
                             "channel"),
                  0u)
            << "the right channel is not examined";
        ASSERT_TRUE(MakeRings(*camera, 8, 5, 0));
        EXPECT_FALSE(camera->InitializeValidField());
        EXPECT_TRUE(HasLine("1 CKavrinFast::InitializeValidField: Found 4 valid images on LEFT "
                            "channel"));
        EXPECT_TRUE(HasLine("1 CKavrinFast::InitializeValidField: Warning: No valid images found "
                            "in RIGHT channel!"));
    }
    {
        // A counter that jumped on one channel: no field, level 0.
        auto camera = MakeFast();
        ASSERT_TRUE(MakeRings(*camera, 8, 6, 6));
        for (int64_t b = 0; b < 6; ++b) {
            WriteHeader(*Frames(*camera), b, static_cast<uint32_t>(b), 'L');
            WriteHeader(*RightFrames(*camera), b, static_cast<uint32_t>(b) * 100, 'R');
        }
        EXPECT_FALSE(camera->InitializeValidField());
        EXPECT_TRUE(HasLine("0 CKavrinFast::InitializeValidField: tag range of 401 tags from 0 "
                            "(right channel) is longer than 128; the counter jumped, keeping the "
                            "ring order"));
        EXPECT_EQ(camera->GetImageCount(), 5u);
    }
}

TEST_F(KavrinFastTest, ASingleSequenceEndsWhenBothChannelsAreFull) {
    auto camera = Start(4, false);
    EXPECT_TRUE(camera->IsThreadRunning());
    m_step(Grabber(*camera), 4);
    m_step(RightGrabber(*camera), 3);
    ASSERT_TRUE(WaitFor(m_recorder, SEQ_NOTIFY_NEW_IMAGES, 1));
    EXPECT_EQ(CountOf(m_recorder, SEQ_NOTIFY_ENDED), 0u) << "the right channel is not full";
    m_step(RightGrabber(*camera), 1);
    ASSERT_TRUE(WaitFor(m_recorder, SEQ_NOTIFY_ENDED, 1));
    EXPECT_TRUE(camera->IsThreadRunning()) << "the monitor waits for Stop";
    camera->Stop();
    EXPECT_FALSE(camera->IsThreadRunning());
    EXPECT_EQ(CountOf(m_recorder, SEQ_NOTIFY_ENDED), 1u);
    EXPECT_EQ(camera->GetImageCount(), 4u) << "every buffer of both channels";
    EXPECT_EQ(camera->GetPhysicalIndex(0, 0), 0);
    EXPECT_EQ(camera->GetPhysicalIndex(1, 3), 3);
    EXPECT_EQ(camera->GetPhysicalIndex(1, 4), -1);
}

TEST_F(KavrinFastTest, ACompletedSingleSequencePairsEveryBufferWithAndWithoutDrops) {
    size_t ended = 0;
    for (const char* drops : {"", "list:2"}) {
        SCOPED_TRACE(drops);
        ScopedEnv drop("FGSIM_DROP", drops);
        auto camera = Start(6, false);
        m_step(Grabber(*camera), 10);
        m_step(RightGrabber(*camera), 10);
        ASSERT_TRUE(WaitFor(m_recorder, SEQ_NOTIFY_ENDED, ++ended));
        camera->Stop();
        const uint64_t lost = *drops ? 1 : 0;
        ASSERT_EQ(camera->GetImageCount(), 6 + lost);
        uint64_t gaps = 0;
        auto image = MakeImage();
        for (uint64_t i = 0; i < 6 + lost; ++i) {
            const int64_t left = camera->GetPhysicalIndex(0, i);
            EXPECT_EQ(left, camera->GetPhysicalIndex(1, i)) << i;
            if (left < 0) {
                ++gaps;
                continue;
            }
            ASSERT_TRUE(camera->CopyValidToImage(i, image.get(), 1, 1));
            EXPECT_EQ(HeaderAt(*image, 0), "TL2L" + std::to_string(i));
            EXPECT_EQ(HeaderAt(*image, RIGHT_HALF), "TL2R" + std::to_string(i));
        }
        EXPECT_EQ(gaps, lost);
        EXPECT_EQ(camera->GetLostImages(0), int64_t(lost));
        EXPECT_EQ(camera->GetLostImages(1), int64_t(lost));
    }
}

TEST_F(KavrinFastTest, AContinuousGrabRunsUntilStopped) {
    auto camera = Start(4, true);
    for (int round = 0; round < 3; ++round) {
        m_step(Grabber(*camera), 4);
        m_step(RightGrabber(*camera), 4);
        ASSERT_TRUE(WaitFor(m_recorder, SEQ_NOTIFY_NEW_IMAGES, static_cast<size_t>(round) + 1));
    }
    EXPECT_EQ(CountOf(m_recorder, SEQ_NOTIFY_ENDED), 0u);
    EXPECT_TRUE(camera->IsThreadRunning());
    EXPECT_EQ(camera->GetImageCount(), 3u) << "the monitor stored both counts";
    camera->Stop();
    EXPECT_EQ(CountOf(m_recorder, SEQ_NOTIFY_ENDED), 1u);
    EXPECT_EQ(camera->GetPhysicalIndex(0, 0), 1);
    EXPECT_EQ(camera->GetPhysicalIndex(1, 0), 1);
}

TEST_F(KavrinFastTest, ARightChannelThatFailsRollsTheLeftBack) {
    {
        ScopedEnv boards("FGSIM_BOARDS", "2626:0x1001");
        CSiliconAPI oneBoard(platform::FindBesideProgram("libfglib5.so"));
        CKavrinFast camera(ImageFormat::GREY8, oneBoard, m_pLumo);
        camera.SetLog(&m_sink);
        EXPECT_FALSE(camera.PrepareFrameBuffers(4));
        const MessageRecorder::Box box{"Not enugh boards available", "Error",
                                       platform::MessageButtons::Ok};
        EXPECT_EQ(m_boxes.Boxes(), std::vector<MessageRecorder::Box>{box});
        EXPECT_EQ(Grabber(camera), nullptr);
        EXPECT_EQ(m_counter("open"), 0);
    }
    {
        auto camera = MakeFast();
        camera->SetNotifyCallback(&NotificationRecorder::Callback, m_recorder.Context());
        ASSERT_TRUE(camera->PrepareFrameBuffers(4));
        Right(*camera).DetachFrameBuffers();
        EXPECT_FALSE(camera->StartSnap(true));
        EXPECT_FALSE(camera->IsThreadRunning());
        EXPECT_EQ(Grabber(*camera), nullptr) << "the left is stopped and released";
        EXPECT_TRUE(HasLine("1 Entering CKavrinFast::InitializeValidField"));
    }
}

TEST_F(KavrinFastTest, StopDuringASaveOnlyStopsTheSave) {
    auto camera = Start(4, true);
    SequenceTestSeam::MarkSaveBusy(*camera, true);
    camera->Stop();
    EXPECT_FALSE(camera->IsThreadRunning());
    EXPECT_NE(Grabber(*camera), nullptr);
    EXPECT_NE(RightGrabber(*camera), nullptr);
    EXPECT_EQ(CountLines("1 CKavrinFast::Stop: calling stop for the right channel"), 0u);
    SequenceTestSeam::MarkSaveBusy(*camera, false);
}

// A log sink that holds the stopping thread between the right and the left channel's stop, long
// enough for the grab monitor to poll while the left grabber still delivers.
class PausingSink final : public CDebugSink {
public:
    virtual ~PausingSink() = default;
    uint32_t SetSinkParam(uint32_t, uintptr_t, uintptr_t) override { return 0; }
    uint32_t GetSinkParam(uint32_t, uintptr_t*, uintptr_t) override { return 0; }
    uint32_t ActivateOutput(uint32_t) override { return 0; }
    void Log(uint32_t, const char* format, ...) override {
        char text[512];
        va_list args;
        va_start(args, format);
        std::vsnprintf(text, sizeof text, format, args);
        va_end(args);
        if (std::strcmp(text, "CKavrinFast::Stop: calling stop for the left channel") == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
    }
};

TEST_F(KavrinFastTest, StoppingARunningGrabKeepsBothChannelsCounts) {
    // In real time the left grabber still delivers after the right one has stopped.
    ScopedEnv fps("FGSIM_FPS", "1000");
    PausingSink pausing;
    NotificationRecorder recorder;
    auto camera = MakeFast();
    camera->SetLog(&pausing);
    ASSERT_TRUE(StartRecording(*camera, recorder, 16, true));
    // Until both rings have wrapped; the bound only keeps a broken grab from hanging the test.
    for (int i = 0; i < 1000 && camera->GetImageCount() < 15; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(camera->GetImageCount(), 15u);
    camera->Stop();
    EXPECT_EQ(Right(*camera).CCamera::GetImageCount(), 15u) << "the right count was overwritten";
    EXPECT_EQ(camera->CCamera::GetImageCount(), 15u);
    EXPECT_EQ(camera->GetValidFieldLength(), Right(*camera).GetValidFieldLength());
}

TEST_F(KavrinFastTest, AStatusThatCannotBeReadIsNotACount) {
    ScopedEnv fail("FGSIM_FAIL", "Fg_getStatusEx");
    auto camera = Start(8, false);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(CountOf(m_recorder, SEQ_NOTIFY_ENDED), 0u) << "a failed status ended the grab";
    EXPECT_TRUE(camera->GrabStatusFailed());
    ASSERT_TRUE(WaitFor(m_recorder, SEQ_NOTIFY_ENDED, 1));
    camera->Stop();
    EXPECT_TRUE(camera->GrabStatusFailed());
    EXPECT_EQ(camera->GetImageCount(), 0u);
}
