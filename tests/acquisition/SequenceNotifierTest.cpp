// The notification adapter: a sequence's notifications reach the handler on the receiver's
// thread, in order, synchronous ones before the sender goes on, and never after removal.
#include "acquisition/SequenceNotifier.h"
#include "acquisition/CSequenceBase.h"
#include "tests/acquisition/SequenceTestSeam.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>
#include <utility>
#include <vector>

namespace {

using namespace std::chrono_literals;

// A sequence without frames that raises whatever a test asks for.
class NotifyingSequence final : public CSequenceBase {
public:
    NotifyingSequence() : CSequenceBase(nullptr) {}
    uint32_t GetSequenceType() override { return 1; }
    using CSequenceBase::Notify;
    // What a worker holds that read the callback just before it was removed.
    std::pair<PFN_SequenceNotify, uint64_t> Installed() {
        return SequenceTestSeam::Notification(*this);
    }
};

struct Seen {
    uint32_t code;
    int64_t value;
    std::thread::id thread;
};

class SequenceNotifierTest : public ::testing::Test {
protected:
    // Drains until `count` notifications were handled or two seconds have passed.
    void DrainUntil(size_t count) {
        const auto deadline = std::chrono::steady_clock::now() + 2s;
        while (m_seen.size() < count && std::chrono::steady_clock::now() < deadline)
            m_queue.Drain(10ms);
    }

    NotifyingSequence m_sequence;
    NotificationQueue m_queue; // this test's thread receives
    std::vector<Seen> m_seen;  // touched on the receiver's thread only
    SequenceNotifier m_notifier{m_queue, [this](uint32_t code, int64_t value) {
                                    m_seen.push_back({code, value, std::this_thread::get_id()});
                                }};
};

} // namespace

TEST_F(SequenceNotifierTest, QueuedNotificationsArriveInOrderOnTheReceiversThread) {
    m_notifier.Attach(m_sequence);
    constexpr int64_t COUNT = 2000;
    std::thread worker([&] {
        for (int64_t i = 0; i < COUNT; ++i)
            m_sequence.Notify(SEQ_NOTIFY_NEW_IMAGES, i, false);
    });
    DrainUntil(COUNT);
    worker.join();
    ASSERT_EQ(m_seen.size(), static_cast<size_t>(COUNT));
    for (int64_t i = 0; i < COUNT; ++i) {
        ASSERT_EQ(m_seen[i].value, i);
        ASSERT_EQ(m_seen[i].thread, std::this_thread::get_id());
    }

    // On the receiver's thread too a queued notification waits for the queue.
    m_sequence.Notify(SEQ_NOTIFY_ENDED, 7, false);
    EXPECT_EQ(m_seen.size(), static_cast<size_t>(COUNT));
    EXPECT_EQ(m_queue.Drain(0ms), 1u);
    EXPECT_EQ(m_seen.back().code, SEQ_NOTIFY_ENDED);
}

TEST_F(SequenceNotifierTest, ASynchronousNotificationReturnsOnlyOnceHandled) {
    m_notifier.Attach(m_sequence);
    std::atomic<bool> returned{false};
    std::thread worker([&] {
        m_sequence.Notify(SEQ_NOTIFY_BUFFERS, 1, true);
        returned.store(true);
    });
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(returned.load()) << "the sender went on before the receiver handled it";
    DrainUntil(1);
    worker.join();
    ASSERT_EQ(m_seen.size(), 1u);
    EXPECT_EQ(m_seen[0].code, SEQ_NOTIFY_BUFFERS);
    EXPECT_EQ(m_seen[0].thread, std::this_thread::get_id());
}

TEST_F(SequenceNotifierTest, OnTheReceiversThreadASynchronousNotificationIsADirectCall) {
    m_notifier.Attach(m_sequence);
    m_sequence.Notify(SEQ_NOTIFY_NEW_IMAGES, 1, false); // queued
    m_sequence.Notify(SEQ_NOTIFY_BUFFERS, 2, true);     // handled now, ahead of the queue
    ASSERT_EQ(m_seen.size(), 1u);
    EXPECT_EQ(m_seen[0].value, 2);
    m_queue.Drain(0ms);
    ASSERT_EQ(m_seen.size(), 2u);
    EXPECT_EQ(m_seen[1].value, 1);
}

TEST_F(SequenceNotifierTest, NothingIsHandledAfterRemovalAndAStaleCallbackIsIgnored) {
    m_notifier.Attach(m_sequence);
    const auto [callback, context] = m_sequence.Installed();
    ASSERT_NE(callback, nullptr);
    m_sequence.Notify(SEQ_NOTIFY_NEW_IMAGES, 1, false);
    m_notifier.Detach();
    EXPECT_EQ(m_sequence.Installed().first, nullptr);
    callback(context, SEQ_NOTIFY_NEW_IMAGES, 2, false); // a worker late with its call
    callback(context, SEQ_NOTIFY_BUFFERS, 3, true);
    m_queue.Drain(0ms);
    EXPECT_TRUE(m_seen.empty()) << "queued before removal, dropped after it";

    // A new attachment does not revive the old one's queued notifications.
    m_sequence.Notify(SEQ_NOTIFY_NEW_IMAGES, 4, false); // nobody attached: dropped
    m_notifier.Attach(m_sequence);
    callback(context, SEQ_NOTIFY_NEW_IMAGES, 5, false);
    m_sequence.Notify(SEQ_NOTIFY_NEW_IMAGES, 6, false);
    m_queue.Drain(0ms);
    ASSERT_EQ(m_seen.size(), 1u);
    EXPECT_EQ(m_seen[0].value, 6);
}

TEST_F(SequenceNotifierTest, RemovalOnTheReceiversThreadReleasesABlockedSynchronousSender) {
    m_notifier.Attach(m_sequence);
    std::atomic<bool> returned{false};
    std::thread worker([&] {
        m_sequence.Notify(SEQ_NOTIFY_BUFFERS, 1, true);
        returned.store(true);
    });
    std::this_thread::sleep_for(50ms); // the worker waits for this thread now
    EXPECT_FALSE(returned.load());
    m_notifier.Detach(); // must not wait for the worker that waits for this thread
    worker.join();
    EXPECT_TRUE(returned.load());
    m_queue.Drain(0ms);
    EXPECT_TRUE(m_seen.empty());
}

TEST_F(SequenceNotifierTest, RemovalFromAnotherThreadWaitsForARunningHandler) {
    std::atomic<bool> inHandler{false};
    std::atomic<bool> handlerDoneAtRemoval{false};
    SequenceNotifier slow(m_queue, [&](uint32_t, int64_t) {
        inHandler.store(true);
        std::this_thread::sleep_for(100ms);
        inHandler.store(false);
    });
    slow.Attach(m_sequence);
    m_sequence.Notify(SEQ_NOTIFY_NEW_IMAGES, 1, false);
    std::thread remover([&] {
        while (!inHandler.load())
            std::this_thread::yield();
        slow.Detach();
        handlerDoneAtRemoval.store(!inHandler.load());
    });
    m_queue.Drain(0ms);
    remover.join();
    EXPECT_TRUE(handlerDoneAtRemoval.load());
}

TEST_F(SequenceNotifierTest, RemovalInsideTheHandler) {
    SequenceNotifier* self = nullptr;
    int calls = 0;
    SequenceNotifier once(m_queue, [&](uint32_t, int64_t) {
        ++calls;
        self->Detach();
    });
    self = &once;
    once.Attach(m_sequence);
    m_sequence.Notify(SEQ_NOTIFY_BUFFERS, 1, true);
    m_sequence.Notify(SEQ_NOTIFY_BUFFERS, 2, true);
    EXPECT_EQ(calls, 1);
}

// Senders of both kinds keep raising while the receiver drains, removes and attaches again:
// no sender stays blocked, nothing arrives after a removal, and queued ones keep their order.
TEST_F(SequenceNotifierTest, RemovalWhileNotificationsFly) {
    std::atomic<bool> stop{false};
    std::vector<std::thread> senders;
    for (int s = 0; s < 3; ++s)
        senders.emplace_back([&, s] {
            for (int64_t i = 0; !stop.load(); ++i)
                m_sequence.Notify(static_cast<uint32_t>(s), i, s == 2);
        });
    for (int round = 0; round < 50; ++round) {
        m_notifier.Attach(m_sequence);
        m_queue.Drain(1ms);
        m_queue.Drain(0ms);
        m_notifier.Detach();
        const size_t handled = m_seen.size();
        m_queue.Drain(0ms);
        ASSERT_EQ(m_seen.size(), handled) << "handled after removal in round " << round;
    }
    stop.store(true);
    for (std::thread& sender : senders)
        sender.join();
    int64_t last[2] = {-1, -1};
    for (const Seen& seen : m_seen) {
        if (seen.code < 2) {
            EXPECT_GT(seen.value, last[seen.code]);
            last[seen.code] = seen.value;
        }
        EXPECT_EQ(seen.thread, std::this_thread::get_id());
    }
    EXPECT_FALSE(m_seen.empty());
}
