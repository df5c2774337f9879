// The trigger of a continuous grab against the simulated grabber: frames arrive only when the
// test steps the grabber, so where the trigger frame ends up is exact.
#include "tests/acquisition/TaggedCameraTestSupport.h"

#include <cstring>

namespace {

constexpr uint64_t BUFFERS = 10; // the post-trigger share counts B - 2 = 8 frames
constexpr uint64_t BEFORE = 13;  // frames in before the trigger: the ring has wrapped
constexpr uint32_t TAG0 = 100;   // tag of the first frame
constexpr uint32_t TRIGGER_TAG = TAG0 + BEFORE - 1;

uint32_t TagAt(CLumoImage& image, uint64_t offset) {
    const auto* data = static_cast<const uint8_t*>(image.GetFrameData(0, 0, 0)) + offset;
    uint32_t tag = 0;
    std::memcpy(&tag, data + 4, 4);
    return tag;
}

} // namespace

class TriggerTest : public TaggedCameraTest {
protected:
    // Steps `frames` into every grabber of `camera`.
    void Step(CCamera& camera, uint64_t frames) {
        EXPECT_EQ(m_step(Grabber(camera), frames), static_cast<int64_t>(frames));
        if (auto* fast = dynamic_cast<CKavrinFast*>(&camera)) {
            EXPECT_EQ(m_step(RightGrabber(*fast), frames), static_cast<int64_t>(frames));
        }
    }
    // Triggers after BEFORE frames, steps the post-trigger frames and checks that the monitor
    // stopped the grab by itself, then stops as the document does on its notification.
    void TriggerAndRun(CCamera& camera, uint32_t percent, NotificationRecorder& recorder) {
        Step(camera, BEFORE);
        ASSERT_TRUE(WaitFor(recorder, SEQ_NOTIFY_NEW_IMAGES, 1));
        ASSERT_TRUE(camera.Trigger(percent));
        EXPECT_TRUE(camera.IsTriggerPending());
        EXPECT_FALSE(camera.Trigger(percent)) << "a trigger is pending";
        const uint64_t post = percent * (BUFFERS - 2) / 100;
        if (post > 1) {
            Step(camera, post - 1);
            ASSERT_TRUE(WaitFor(recorder, SEQ_NOTIFY_NEW_IMAGES, 2));
            EXPECT_TRUE(camera.IsTriggerPending()) << "stopped one frame early";
        }
        Step(camera, post > 0 ? 1 : 0);
        ASSERT_TRUE(WaitFor(recorder, SEQ_NOTIFY_ENDED, 1));
        EXPECT_FALSE(camera.IsTriggerPending());
        EXPECT_FALSE(camera.Trigger(percent)) << "the trigger has fired";
        EXPECT_EQ(m_step(Grabber(camera), 1), -1) << "acquisition goes on";
        if (auto* fast = dynamic_cast<CKavrinFast*>(&camera)) {
            EXPECT_EQ(m_step(RightGrabber(*fast), 1), -1) << "the right channel goes on";
        }
        EXPECT_TRUE(camera.IsThreadRunning()) << "the monitor waits for Stop";
        camera.Stop();
    }
};

TEST_F(TriggerTest, TheTriggerFrameLandsWhereThePostTriggerShareSaysOnBothTaggedCameras) {
    ScopedEnv tag0("FGSIM_TAG0", std::to_string(TAG0).c_str());
    for (const bool dual : {false, true}) {
        for (const uint32_t percent : {0u, 50u, 100u}) {
            SCOPED_TRACE(testing::Message() << (dual ? "dual " : "single ") << percent << " %");
            NotificationRecorder recorder;
            Owned<CTLMChannel> single = MakeChannel();
            Owned<CKavrinFast> fast = MakeFast();
            CTLMChannel& camera = dual ? static_cast<CTLMChannel&>(*fast) : *single;
            ASSERT_TRUE(StartRecording(camera, recorder, BUFFERS, true));
            TriggerAndRun(camera, percent, recorder);
            ASSERT_NE(camera.GetValidFieldLength(), 0u);
            const int64_t index = camera.GetTriggerIndex();
            EXPECT_EQ(index, static_cast<int64_t>(BUFFERS - 2 - percent * (BUFFERS - 2) / 100));
            auto image = MakeImage();
            ASSERT_TRUE(camera.CopyValidToImage(static_cast<uint64_t>(index), image.get(), 1, 1));
            EXPECT_EQ(TagAt(*image, 0), TRIGGER_TAG);
            if (dual) {
                EXPECT_EQ(TagAt(*image, CKavrinFast::CHANNEL_WIDTH), TRIGGER_TAG);
            }
        }
    }
}

TEST_F(TriggerTest, WithoutTagsTheIndexFollowsTheCountsAndTheRing) {
    NotificationRecorder recorder;
    auto camera = MakeCamera();
    const auto run = [&](uint64_t before, uint32_t percent, uint64_t after) {
        const size_t ended = CountOf(recorder, SEQ_NOTIFY_ENDED);
        if (!StartRecording(*camera, recorder, 6, true))
            return int64_t{-2};
        EXPECT_EQ(camera->GetTriggerIndex(), -1) << "the start forgets the last trigger";
        Step(*camera, before);
        EXPECT_TRUE(camera->Trigger(percent));
        Step(*camera, after); // at once: the monitor sees the count only past the target
        EXPECT_TRUE(WaitFor(recorder, SEQ_NOTIFY_ENDED, ended + 1));
        camera->Stop();
        return camera->GetTriggerIndex();
    };
    // Before the first frame the first to come is the trigger frame.
    EXPECT_EQ(run(0, 50, 5), 0);
    // 0 %: the newest frame the stopped ring offers, B - 2.
    EXPECT_EQ(run(9, 0, 0), 4);
    // Frames beyond the target push the trigger frame towards the oldest...
    EXPECT_EQ(run(9, 50, 4), 0);
    // ...and out of the ring.
    EXPECT_EQ(run(9, 100, 7), -1);
}

TEST_F(TriggerTest, ATriggerIsRefusedOutsideAWatchedContinuousGrab) {
    NotificationRecorder recorder;
    auto camera = MakeChannel();
    EXPECT_FALSE(camera->Trigger(50)) << "closed";
    camera->SetNotifyCallback(&NotificationRecorder::Callback, recorder.Context());
    ASSERT_TRUE(camera->PrepareFrameBuffers(BUFFERS));
    EXPECT_FALSE(camera->Trigger(50)) << "prepared, not grabbing";
    ASSERT_TRUE(camera->StartSnap(false));
    EXPECT_FALSE(camera->Trigger(50)) << "single sequence";
    camera->Stop();

    ASSERT_TRUE(camera->PrepareFrameBuffers(BUFFERS));
    ASSERT_TRUE(camera->StartSnap(true));
    EXPECT_FALSE(camera->Trigger(101));
    Step(*camera, 3);
    ASSERT_TRUE(camera->Trigger(100));
    EXPECT_FALSE(camera->Trigger(0));
    Step(*camera, 2);
    // A stop before the target ends the pending trigger; the trigger frame stays known.
    camera->Stop();
    EXPECT_FALSE(camera->IsTriggerPending());
    EXPECT_EQ(camera->GetTriggerIndex(), 2);
    EXPECT_FALSE(camera->Trigger(50)) << "stopped";

    // Without a listener no monitor runs, and nothing would stop the grab.
    camera->SetNotifyCallback(nullptr, 0);
    ASSERT_TRUE(camera->PrepareFrameBuffers(BUFFERS));
    ASSERT_TRUE(camera->StartSnap(true));
    EXPECT_FALSE(camera->Trigger(50)) << "no monitor";
    camera->DetachFrameBuffers();
}

TEST_F(TriggerTest, APacedGrabEndsByItselfAfterTheTrigger) {
    ScopedEnv fps("FGSIM_FPS", "500");
    constexpr uint64_t buffers = 32;
    auto camera = Started(MakeChannel(), buffers, true);
    ASSERT_TRUE(WaitFor(m_recorder, SEQ_NOTIFY_NEW_IMAGES, 2));
    ASSERT_TRUE(camera->Trigger(50));
    ASSERT_TRUE(WaitFor(m_recorder, SEQ_NOTIFY_ENDED, 1)) << "the grab ran on";
    camera->Stop();
    const int64_t index = camera->GetTriggerIndex();
    // 15 frames after the trigger frame were asked for; a frame or two more may arrive before
    // the stop takes effect.
    EXPECT_GE(index, 0);
    EXPECT_LE(index, static_cast<int64_t>(buffers - 2 - 15));
}
