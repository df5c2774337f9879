#include "external/ImageFormat.h"
#include "platform/Event.h"
#include "tests/acquisition/SequenceTestSupport.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

namespace {

// Waits (bounded) until the sequence's thread body has returned.
bool WaitForEnd(CSequenceBase& sequence) {
    for (int i = 0; i < 10000 && sequence.IsThreadRunning(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return !sequence.IsThreadRunning();
}

} // namespace

TEST(SequenceThread, OneThreadAtATimeStoppedThroughTheEventAndReaped) {
    TestSequence sequence(nullptr);
    EXPECT_FALSE(sequence.IsThreadRunning());
    sequence.StopThread(); // no thread: nothing happens
    EXPECT_FALSE(sequence.StopEvent().IsSet());
    EXPECT_FALSE(sequence.StartThread(nullptr));

    std::atomic<int> runs{0};
    std::atomic<bool> stopSetAtStart{true};
    platform::Event started;
    sequence.m_body = [&](TestSequence& self) {
        stopSetAtStart = self.StopEvent().IsSet();
        ++runs;
        started.Set();
        self.StopEvent().Wait(-1); // a worker that runs until asked to stop
        return 0u;
    };
    ASSERT_TRUE(sequence.StartThread(&CSequenceBase::WorkerThreadProc));
    ASSERT_TRUE(started.Wait(10000));
    EXPECT_TRUE(sequence.IsThreadRunning());
    EXPECT_FALSE(sequence.StartThread(&CSequenceBase::WorkerThreadProc)); // only one
    sequence.Stop();
    EXPECT_FALSE(sequence.IsThreadRunning());
    EXPECT_EQ(runs.load(), 1);
    EXPECT_FALSE(stopSetAtStart.load());
    EXPECT_TRUE(sequence.StopEvent().IsSet());

    // The next start resets the stop event.
    started.Reset();
    ASSERT_TRUE(sequence.StartThread(&CSequenceBase::WorkerThreadProc));
    ASSERT_TRUE(started.Wait(10000));
    sequence.StopThread();
    EXPECT_EQ(runs.load(), 2);
    EXPECT_FALSE(stopSetAtStart.load());

    // A body that returns by itself: the thread has ended but is still held until reaped.
    sequence.m_body = [&](TestSequence&) {
        ++runs;
        return 0u;
    };
    ASSERT_TRUE(sequence.StartThread(&CSequenceBase::WorkerThreadProc));
    ASSERT_TRUE(WaitForEnd(sequence));
    ASSERT_TRUE(sequence.StartThread(&CSequenceBase::WorkerThreadProc)); // reaps the old one
    ASSERT_TRUE(WaitForEnd(sequence));
    EXPECT_EQ(runs.load(), 4);
    sequence.StopThread();

    // The base worker returns at once.
    sequence.m_body = nullptr;
    ASSERT_TRUE(sequence.StartThread(&CSequenceBase::WorkerThreadProc));
    EXPECT_TRUE(WaitForEnd(sequence));
}

TEST(SequenceThread, SaveEntriesClearTheBusyFlagWhenTheyEnd) {
    TestSequence sequence(nullptr);
    SequenceTestSeam::MarkSaveBusy(sequence, true);
    ASSERT_TRUE(sequence.StartThread(&CSequenceBase::SaveSequenceThreadProc));
    ASSERT_TRUE(WaitForEnd(sequence));
    EXPECT_FALSE(SequenceTestSeam::SaveBusy(sequence));
    SequenceTestSeam::MarkSaveBusy(sequence, true);
    ASSERT_TRUE(sequence.StartThread(&CSequenceBase::SaveImageThreadProc));
    ASSERT_TRUE(WaitForEnd(sequence));
    EXPECT_FALSE(SequenceTestSeam::SaveBusy(sequence));
}

TEST(SequenceThread, DestroyingASequenceWithARunningThreadJoinsIt) {
    std::atomic<bool> ended{false};
    {
        TestSequence sequence(nullptr);
        sequence.m_body = [&](TestSequence& self) {
            self.StopEvent().Wait(-1);
            ended = true;
            return 0u;
        };
        ASSERT_TRUE(sequence.StartThread(&CSequenceBase::WorkerThreadProc));
    }
    EXPECT_TRUE(ended.load());
}

TEST(SequenceThread, NotificationsArriveInOrderWithTheirContext) {
    TestSequence sequence(nullptr);
    NotificationRecorder recorder;
    NotificationRecorder other;
    sequence.Notify(SEQ_NOTIFY_NEW_IMAGES, 5, false); // no callback yet: dropped
    sequence.SetNotifyCallback(&NotificationRecorder::Callback, recorder.Context());
    sequence.Notify(SEQ_NOTIFY_BUFFERS, 1, true); // raised on the caller's thread
    sequence.m_body = [](TestSequence& self) {
        self.Notify(SEQ_NOTIFY_NEW_IMAGES, -1, false);
        self.Notify(SEQ_NOTIFY_NEW_IMAGES, -1, false);
        self.StopEvent().Wait(-1);
        self.Notify(SEQ_NOTIFY_ENDED, 0, false);
        return 0u;
    };
    ASSERT_TRUE(sequence.StartThread(&CSequenceBase::WorkerThreadProc));
    sequence.Stop();
    sequence.SetNotifyCallback(&NotificationRecorder::Callback, other.Context());
    sequence.Notify(SEQ_NOTIFY_SAVE_END, static_cast<int32_t>(SEQ_RESULT_ABORTED), false);
    sequence.SetNotifyCallback(nullptr, recorder.Context());
    sequence.Notify(SEQ_NOTIFY_SAVE_START, 3, false);

    const uint64_t c = recorder.Context();
    const std::vector<Notification> expected = {
        {c, SEQ_NOTIFY_BUFFERS, 1, true},
        {c, SEQ_NOTIFY_NEW_IMAGES, -1, false},
        {c, SEQ_NOTIFY_NEW_IMAGES, -1, false},
        {c, SEQ_NOTIFY_ENDED, 0, false},
    };
    EXPECT_EQ(recorder.Seen(), expected);
    ASSERT_EQ(other.Seen().size(), 1u);
    EXPECT_EQ(other.Seen()[0].value, static_cast<int64_t>(static_cast<int32_t>(0xA001000D)));
}

// The worker copies frames under the sequence mutex while the caller's thread copies, asks for
// sizes and rates and finally resets the store; the sanitizer builds check the locking.
TEST_F(SequenceTest, WorkerAndCallerShareTheFrameStoreUnderTheMutex) {
    TestSequence sequence;
    {
        CSequenceLock lock(sequence);
        ASSERT_EQ(Frames(sequence)->Allocate(64, 32, ImageFormat::GREY8, 0, 4), 0u);
    }
    CLumoImage* workerImage = m_pLumo->CreateImageObject();
    CLumoImage* callerImage = m_pLumo->CreateImageObject();
    std::atomic<int> workerCopies{0};
    sequence.m_body = [&](TestSequence& self) {
        for (int i = 0; i < 100000 && !self.StopEvent().IsSet(); ++i) {
            CSequenceLock lock(self);
            if (self.GetBufferCount() > 0) {
                void* data = Frames(self)->GetFrameData(0, i % 4, 0);
                std::memset(data, i & 0xFF, 64 * 32);
            }
            if (self.CopyToImage(i % 4, workerImage, 1, 0))
                ++workerCopies;
        }
        return 0u;
    };
    ASSERT_TRUE(sequence.StartThread(&CSequenceBase::WorkerThreadProc));
    for (int i = 0; i < 200; ++i) {
        CSequenceLock lock(sequence);
        (void)sequence.CopyValidToImage(static_cast<uint64_t>(i % 4), callerImage, 1,
                                        1); // races only
        EXPECT_LE(sequence.GetImageCount(), 4u);
        (void)sequence.GetFrameRate(0);
    }
    EXPECT_TRUE(sequence.ResetFrameStore());
    EXPECT_EQ(sequence.GetBufferCount(), 0u);
    sequence.Stop();
    EXPECT_FALSE(sequence.IsThreadRunning());
    m_pLumo->DeleteImage(CLumoObject::KIND_IMAGE, workerImage);
    m_pLumo->DeleteImage(CLumoObject::KIND_IMAGE, callerImage);
}
