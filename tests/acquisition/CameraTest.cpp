#include "platform/ProgramFolder.h"
#include "tests/acquisition/CameraTestSupport.h"

#include <algorithm>

namespace {

using Box = MessageRecorder::Box;

Box Error(const char* text) {
    return Box{text, "Error", platform::MessageButtons::Ok};
}

bool HasLine(RecordingSink& sink, const std::string& line) {
    const auto lines = sink.Lines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

} // namespace

TEST_F(CameraTest, EveryFailedPreparationShowsItsBoxAndLeavesTheCameraClosed) {
    {
        CSiliconAPI partial(platform::FindBesideProgram("libfglib5_partial.so"));
        CCamera camera(WIDTH, ImageFormat::GREY8, 0, partial, m_pLumo);
        camera.SetLog(&m_sink);
        EXPECT_FALSE(camera.PrepareFrameBuffers(4));
        EXPECT_EQ(m_boxes.Boxes(), std::vector<Box>{Error("Silicon Software API not available!")});
        EXPECT_TRUE(
            HasLine(m_sink, "0 CCamera::PrepareFrameBuffers: Silicon Software API not available"));
        EXPECT_EQ(m_counter("opened"), 0);
    }
    const struct {
        const char* fail; // FGSIM_FAIL
        uint64_t slot;    // grabber slot
        uint32_t width;   // 0 cannot be allocated
        const char* box;  // the message box
        size_t notified;  // notifications 0 sent
    } cases[] = {
        {"", 2, WIDTH, "Not enugh boards available", 0},
        {"Fg_Init", 0, WIDTH, "Could not open grabber", 0},
        {"", 0, 0, "Could not allocate frame buffer", 0},
        {"Fg_AllocMemHead", 0, WIDTH, "Could not allocate memory header", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.box);
        m_boxes.Clear();
        ScopedEnv fail("FGSIM_FAIL", c.fail);
        NotificationRecorder recorder;
        CCamera camera(c.width, ImageFormat::GREY8, c.slot, TheSiliconAPI(), m_pLumo);
        camera.SetNotifyCallback(&NotificationRecorder::Callback, recorder.Context());
        // An earlier good preparation is released first; its frames must be gone afterwards.
        {
            ScopedEnv noFail("FGSIM_FAIL", nullptr);
            CCamera good(WIDTH, ImageFormat::GREY8, 0, TheSiliconAPI(), m_pLumo);
            ASSERT_TRUE(good.PrepareFrameBuffers(2));
        }
        EXPECT_FALSE(camera.PrepareFrameBuffers(4));
        EXPECT_EQ(m_boxes.Boxes(), std::vector<Box>{Error(c.box)});
        EXPECT_EQ(CountOf(recorder, SEQ_NOTIFY_BUFFERS), c.notified);
        EXPECT_EQ(Grabber(camera), nullptr);
        EXPECT_EQ(camera.GetBufferCount(), 0u);
        EXPECT_EQ(camera.GetGrabbedCount(), 0);
        EXPECT_FALSE(camera.StartSnap(true));
        EXPECT_EQ(m_counter("open"), 0);
        EXPECT_EQ(m_counter("heads_allocated"), m_counter("heads_freed"));
    }
}

TEST_F(CameraTest, PreparationRegistersTheFramesAndSetsTheParameters) {
    NotificationRecorder recorder; // outlives the camera, which notifies until it is gone
    auto camera = MakeCamera();
    camera->SetNotifyCallback(&NotificationRecorder::Callback, recorder.Context());
    camera->SetCCState(0); // not applied without a grabber, and replaced by 15 when preparing
    EXPECT_EQ(camera->GetCCState(), 0u);
    ASSERT_TRUE(camera->PrepareFrameBuffers(4));
    EXPECT_TRUE(m_boxes.Boxes().empty());
    const std::vector<Notification> prepared = {{recorder.Context(), SEQ_NOTIFY_BUFFERS, 1, true}};
    EXPECT_EQ(recorder.Seen(), prepared);
    EXPECT_EQ(camera->GetBufferCount(), 4u);
    EXPECT_EQ(camera->GetBufferCount(), 4u);
    EXPECT_EQ(camera->GetImageCount(), 0u);
    EXPECT_EQ(Parameter(*camera, FG_PARAM_WIDTH), WIDTH);
    EXPECT_EQ(Parameter(*camera, FG_PARAM_HEIGHT), HEIGHT);
    EXPECT_EQ(Parameter(*camera, 11011), 310u);
    EXPECT_EQ(camera->GetCCState(), 15u);
    for (int line = 0; line < 4; ++line)
        EXPECT_EQ(Parameter(*camera, FG_PARAM_CC1 + line), 5u);
    camera->SetCCState(0b0101);
    EXPECT_EQ(Parameter(*camera, 14001), 5u);
    EXPECT_EQ(Parameter(*camera, 14002), 4u);
    EXPECT_EQ(Parameter(*camera, 14003), 5u);
    EXPECT_EQ(Parameter(*camera, 14004), 4u);
    camera->SetCCState(0x1A);
    EXPECT_EQ(camera->GetCCState(), 0x1Au) << "higher bits are kept";
    EXPECT_EQ(Parameter(*camera, 14001), 4u);
    EXPECT_EQ(Parameter(*camera, 14004), 5u);
    EXPECT_EQ(camera->GetCCCount(), 4u);
    EXPECT_EQ(camera->GetCCName(0), "CC1");
    EXPECT_EQ(camera->GetCCName(3), "CC4");
    EXPECT_TRUE(HasLine(m_sink, "1 CCamera::PrepareFrameBuffers: Opening grabber with sysindex 0"));
    EXPECT_TRUE(HasLine(m_sink, "1 CCamera::PrepareFrameBuffers: trying to allocate 4 "
                                "framebuffers with 32x8 pixels"));

    // The grabber writes straight into the frame-buffer object, buffer i into frame i.
    ASSERT_TRUE(camera->StartSnap(true));
    EXPECT_EQ(m_step(Grabber(*camera), 2), 2);
    const auto* frame1 = static_cast<const char*>(Frames(*camera)->GetFrameData(0, 1, 0));
    EXPECT_EQ(std::string(frame1, 4), "TL2L");
    EXPECT_EQ(TagOf(*Frames(*camera), 1), 1u);
    camera->Stop();
}

TEST_F(CameraTest, ContinuousGrabMapsTheRingAfterTheStop) {
    NotificationRecorder recorder; // outlives the camera, which notifies until it is gone
    auto camera = MakeCamera();
    ASSERT_TRUE(StartRecording(*camera, recorder, 4, true));
    EXPECT_TRUE(camera->IsThreadRunning());
    EXPECT_EQ(m_step(Grabber(*camera), 10), 10);
    ASSERT_TRUE(WaitFor(recorder, SEQ_NOTIFY_NEW_IMAGES, 1));
    EXPECT_EQ(camera->GetGrabbedCount(), 10);
    camera->Stop();
    EXPECT_EQ(Grabber(*camera), nullptr);
    EXPECT_FALSE(camera->IsThreadRunning());
    EXPECT_EQ(camera->GetImageCount(), 3u);
    EXPECT_EQ(camera->GetPhysicalIndex(0, 0), 3);
    EXPECT_EQ(camera->GetPhysicalIndex(0, 1), 0);
    EXPECT_EQ(camera->GetPhysicalIndex(0, 2), 1);
    EXPECT_EQ(camera->GetPhysicalIndex(0, 3), -1) << "buffer 2 is overwritten next";
    EXPECT_TRUE(HasLine(m_sink, "1 CCamera::Stop: grabbed 10 images"));
    // Logical 0 is the oldest frame kept, image 8 (tag 7) in buffer 3; the newest, image 10
    // (tag 9), is logical 2.
    auto image = MakeImage();
    ASSERT_TRUE(camera->CopyValidToImage(0, image.get(), 1, 1));
    EXPECT_EQ(TagOf(*image, 0), 7u);
    ASSERT_TRUE(camera->CopyValidToImage(2, image.get(), 1, 1));
    EXPECT_EQ(TagOf(*image, 0), 9u);
    const auto seen = recorder.Seen();
    ASSERT_GE(seen.size(), 3u);
    EXPECT_EQ(seen.front().code, SEQ_NOTIFY_BUFFERS);
    EXPECT_EQ(seen.back(), (Notification{recorder.Context(), SEQ_NOTIFY_ENDED, 0, false}));
    for (size_t i = 1; i + 1 < seen.size(); ++i)
        EXPECT_EQ(seen[i], (Notification{recorder.Context(), SEQ_NOTIFY_NEW_IMAGES, -1, false}));
    EXPECT_EQ(m_counter("freed"), 1);
    EXPECT_EQ(m_counter("heads_freed"), 1);
}

TEST_F(CameraTest, SingleSequenceEndsWhenEveryBufferIsFull) {
    NotificationRecorder recorder; // outlives the camera, which notifies until it is gone
    auto camera = MakeCamera();
    ASSERT_TRUE(StartRecording(*camera, recorder, 4, false));
    EXPECT_EQ(m_step(Grabber(*camera), 3), 3);
    ASSERT_TRUE(WaitFor(recorder, SEQ_NOTIFY_NEW_IMAGES, 1));
    EXPECT_EQ(CountOf(recorder, SEQ_NOTIFY_ENDED), 0u) << "3 of 4 buffers";
    EXPECT_EQ(camera->GetImageCount(), 2u) << "the newest frame is left out while grabbing";
    EXPECT_EQ(m_step(Grabber(*camera), 5), 1) << "the grabber stops after 4";
    ASSERT_TRUE(WaitFor(recorder, SEQ_NOTIFY_ENDED, 1));
    EXPECT_TRUE(camera->IsThreadRunning()) << "the monitor waits for Stop";
    camera->Stop();
    EXPECT_FALSE(camera->IsThreadRunning());
    EXPECT_EQ(CountOf(recorder, SEQ_NOTIFY_ENDED), 1u);
    // The grabber ended by itself with every buffer whole: all four are offered, the first
    // image of the recording first.
    EXPECT_EQ(camera->GetImageCount(), 4u);
    for (int64_t i = 0; i < 4; ++i) {
        EXPECT_EQ(camera->GetPhysicalIndex(0, uint64_t(i)), i);
        EXPECT_EQ(TagOf(*Frames(*camera), i), uint32_t(i));
    }
    EXPECT_EQ(camera->GetPhysicalIndex(0, 4), -1);
}

TEST_F(CameraTest, ASingleSequenceStoppedBeforeItCompletedKeepsTheRingRule) {
    NotificationRecorder recorder;
    auto camera = MakeCamera();
    ASSERT_TRUE(StartRecording(*camera, recorder, 4, false));
    EXPECT_EQ(m_step(Grabber(*camera), 3), 3);
    ASSERT_TRUE(WaitFor(recorder, SEQ_NOTIFY_NEW_IMAGES, 1));
    camera->Stop();
    EXPECT_EQ(camera->GetImageCount(), 2u);
    EXPECT_EQ(camera->GetPhysicalIndex(0, 2), -1);
    // A new grab into the same camera starts from the ring rule again.
    ASSERT_TRUE(StartRecording(*camera, recorder, 4, false));
    EXPECT_EQ(m_step(Grabber(*camera), 4), 4);
    ASSERT_TRUE(WaitFor(recorder, SEQ_NOTIFY_ENDED, 2));
    EXPECT_EQ(camera->GetImageCount(), 3u) << "complete, but not yet stopped";
    camera->Stop();
    EXPECT_EQ(camera->GetImageCount(), 4u);
}

TEST_F(CameraTest, CopyingAnImageThatNoBufferHoldsBlacksOutOrLeavesTheDestination) {
    auto camera = MakeCamera();
    ASSERT_TRUE(camera->PrepareFrameBuffers(4));
    ASSERT_TRUE(camera->StartSnap(true));
    EXPECT_EQ(m_step(Grabber(*camera), 2), 2);
    camera->Stop();
    ASSERT_EQ(camera->GetImageCount(), 1u);
    EXPECT_EQ(camera->GetPhysicalIndex(0, 0), 0);

    auto image = MakeImage();
    ASSERT_TRUE(camera->CopyValidToImage(0, image.get(), 1, 1));
    EXPECT_EQ(TagOf(*image, 0), 0u);
    auto* pixels = static_cast<uint8_t*>(image->GetFrameData(0, 0, 0));
    const size_t bytes = WIDTH * HEIGHT;
    std::memset(pixels, 0x77, bytes);

    EXPECT_FALSE(camera->CopyValidToImage(1, image.get(), 1, 0));
    EXPECT_TRUE(std::all_of(pixels, pixels + bytes, [](uint8_t p) { return p == 0x77; }));
    EXPECT_TRUE(HasLine(m_sink, "0 CCamera::CopyValidToImage: -> leaving destination image "
                                "unmodified!"));

    EXPECT_TRUE(camera->CopyValidToImage(1, image.get(), 1, 1));
    EXPECT_TRUE(std::all_of(pixels, pixels + bytes, [](uint8_t p) { return p == 0; }));
    EXPECT_TRUE(HasLine(m_sink, "1 CCamera::CopyValidToImage: logical index = 1, physical "
                                "index = -1"));
    EXPECT_TRUE(HasLine(m_sink, "0 CCamera::CopyValidToImage: -> blacking out destination "
                                "image!"));
    // A destination without frames has no area: it stays as it is.
    auto empty = MakeImage();
    EXPECT_TRUE(camera->CopyValidToImage(5, empty.get(), 1, 1));
    EXPECT_EQ(empty->GetFrameCount(), 0u);
}

TEST_F(CameraTest, SnapWithoutCallbackRunsWithoutMonitor) {
    auto camera = MakeCamera();
    ASSERT_TRUE(camera->PrepareFrameBuffers(4));
    ASSERT_TRUE(camera->StartSnap(true));
    EXPECT_FALSE(camera->IsThreadRunning());
    EXPECT_EQ(m_step(Grabber(*camera), 3), 3);
    EXPECT_EQ(camera->GetImageCount(), 0u) << "nobody has read the count yet";
    camera->Stop();
    EXPECT_EQ(Grabber(*camera), nullptr);
    EXPECT_EQ(camera->GetImageCount(), 2u);
    EXPECT_EQ(m_counter("freed"), 1);
    camera->Stop(); // a second stop has nothing left to do
    camera->DetachFrameBuffers();
    EXPECT_EQ(m_counter("freed"), 1);
    EXPECT_EQ(m_counter("bad_handles"), 0);
}

TEST_F(CameraTest, DestroyingAPreparedCameraReleasesItsGrabberOnce) {
    {
        auto camera = MakeCamera();
        ASSERT_TRUE(camera->PrepareFrameBuffers(3));
        ASSERT_TRUE(camera->PrepareFrameBuffers(3)) << "the first grabber is released first";
        EXPECT_EQ(m_counter("freed"), 1);
    }
    EXPECT_EQ(m_counter("opened"), 2);
    EXPECT_EQ(m_counter("freed"), 2);
    EXPECT_EQ(m_counter("heads_allocated"), 2);
    EXPECT_EQ(m_counter("heads_freed"), 2);
    EXPECT_EQ(m_counter("bad_handles"), 0);
    {
        NotificationRecorder recorder;
        auto camera = MakeCamera();
        ASSERT_TRUE(StartRecording(*camera, recorder, 3, true)); // destroyed while grabbing
    }
    EXPECT_EQ(m_counter("freed"), 3);
    EXPECT_EQ(m_counter("heads_freed"), 3);
}

TEST_F(CameraTest, GrabberFaults) {
    {
        ScopedEnv fail("FGSIM_FAIL", "Fg_AcquireEx");
        auto camera = MakeCamera();
        ASSERT_TRUE(camera->PrepareFrameBuffers(2));
        EXPECT_FALSE(camera->StartSnap(true));
        EXPECT_TRUE(HasLine(m_sink, "0 CCamera::StartSnap: Fg_AcquireEx failed"));
        EXPECT_NE(Grabber(*camera), nullptr) << "a failed start leaves the camera prepared";
    }
    EXPECT_EQ(m_counter("open"), 0);
    {
        // Without the transferred count, the stop keeps the count it knew (0) instead of taking
        // the failure value for a count.
        ScopedEnv fail("FGSIM_FAIL", "Fg_getStatusEx");
        NotificationRecorder recorder;
        auto camera = MakeCamera();
        ASSERT_TRUE(StartRecording(*camera, recorder, 4, true));
        EXPECT_EQ(m_step(Grabber(*camera), 6), 6);
        EXPECT_EQ(camera->GetGrabbedCount(), -1);
        EXPECT_EQ(camera->GetLostImages(0), -1);
        camera->Stop();
        EXPECT_EQ(camera->GetImageCount(), 0u);
        EXPECT_EQ(camera->GetPhysicalIndex(0, 0), -1);
    }
    {
        auto camera = MakeCamera();
        ASSERT_TRUE(camera->PrepareFrameBuffers(4));
        ASSERT_TRUE(camera->StartSnap(true));
        EXPECT_EQ(camera->GetLostImages(0), 0);
        camera->Stop();
        EXPECT_EQ(camera->GetLostImages(0), -1) << "closed: the tags would have to tell";
    }
    {
        ScopedEnv noLost("FGSIM_NOLOST", "1");
        auto camera = MakeCamera();
        ASSERT_TRUE(camera->PrepareFrameBuffers(4));
        ASSERT_TRUE(camera->StartSnap(false));
        EXPECT_EQ(camera->GetLostImages(0), -1);
        camera->Stop();
    }
}

TEST_F(CameraTest, FrameRatesAndNames) {
    auto camera = MakeCamera();
    EXPECT_EQ(camera->GetSequenceType(), 2u);
    EXPECT_STREQ(camera->GetName(), "Camera sequence");
    EXPECT_EQ(camera->GetWidth(), WIDTH);
    EXPECT_EQ(camera->GetHeight(), HEIGHT);
    EXPECT_EQ(camera->GetImageFormat(), ImageFormat::GREY8);
    EXPECT_EQ(camera->GetChannelCount(), 1u);
    EXPECT_EQ(camera->GetLostImagesFromTags(), -1);
    EXPECT_EQ(camera->GetFrameRate(1), 0.0);
    EXPECT_EQ(camera->GetFrameRate(7), 0.0);
    camera->ResetFrameRate(1);
    camera->ResetFrameRate(7);
}

TEST_F(CameraTest, ARingLargerThanTheMemoryIsRefusedAsAFailedAllocation) {
    auto camera = MakeCamera();
    EXPECT_FALSE(camera->PrepareFrameBuffers(10000000000ull));
    const MessageRecorder::Box box{"Could not allocate frame buffer", "Error",
                                   platform::MessageButtons::Ok};
    EXPECT_EQ(m_boxes.Boxes(), std::vector<MessageRecorder::Box>{box});
    EXPECT_EQ(Grabber(*camera), nullptr);
    EXPECT_EQ(camera->GetBufferCount(), 0u);
    // The camera still prepares a ring that fits.
    EXPECT_TRUE(camera->PrepareFrameBuffers(4));
    EXPECT_EQ(camera->GetBufferCount(), 4u);
}

TEST_F(CameraTest, AStatusThatCannotBeReadIsNotACount) {
    {
        ScopedEnv fail("FGSIM_FAIL", "Fg_getStatusEx");
        NotificationRecorder recorder;
        auto camera = MakeCamera();
        ASSERT_TRUE(StartRecording(*camera, recorder, 4, false));
        // The monitor gives up only after a second of failed reads, never at once.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_EQ(CountOf(recorder, SEQ_NOTIFY_ENDED), 0u) << "a failed status ended the grab";
        EXPECT_TRUE(camera->GrabStatusFailed());
        ASSERT_TRUE(WaitFor(recorder, SEQ_NOTIFY_ENDED, 1));
        EXPECT_EQ(CountOf(recorder, SEQ_NOTIFY_NEW_IMAGES), 0u);
        camera->Stop();
        EXPECT_TRUE(camera->GrabStatusFailed()) << "the cause stays readable after the stop";
        EXPECT_EQ(camera->GetImageCount(), 0u);
    }
    {
        NotificationRecorder recorder;
        auto camera = MakeCamera();
        ASSERT_TRUE(StartRecording(*camera, recorder, 4, false));
        EXPECT_EQ(m_step(Grabber(*camera), 4), 4);
        ASSERT_TRUE(WaitFor(recorder, SEQ_NOTIFY_ENDED, 1));
        EXPECT_FALSE(camera->GrabStatusFailed());
        camera->Stop();
        EXPECT_EQ(camera->GetImageCount(), 4u);
    }
}
