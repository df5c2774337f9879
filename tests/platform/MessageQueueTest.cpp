#include "platform/MessageQueue.h"

#include <gtest/gtest.h>
#include <thread>

TEST(MessageQueue, KeepsOrderAndTakesOneIdAheadOfTheRest) {
    platform::MessageQueue queue;
    queue.Post(1, 10, 0);
    queue.Post(3, 30, 1);
    queue.Post(1, 11, 0);
    queue.Post(3, 31, 2);
    queue.Post(2, 20, 0);
    EXPECT_EQ(queue.Size(), 5u);

    auto first = queue.TakeQueued(3);
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->wParam, 30u);
    EXPECT_EQ(first->lParam, 1u);
    auto second = queue.TakeQueued(3);
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(second->wParam, 31u);
    EXPECT_FALSE(queue.TakeQueued(3).has_value());

    EXPECT_EQ(queue.Get().wParam, 10u);
    EXPECT_EQ(queue.Get().wParam, 11u);
    EXPECT_EQ(queue.Get().wParam, 20u);
    EXPECT_EQ(queue.Size(), 0u);
}

TEST(MessageQueue, GetWaitsForAPostFromAnotherThread) {
    platform::MessageQueue queue;
    std::thread poster([&queue] {
        for (uint32_t i = 0; i < 100; ++i)
            queue.Post(0x8003, i, 0);
        queue.Post(0x8005, 0, 0);
    });
    uintptr_t expected = 0;
    for (;;) {
        platform::Message m = queue.Get();
        if (m.id == 0x8005)
            break;
        EXPECT_EQ(m.wParam, expected++);
    }
    EXPECT_EQ(expected, 100u);
    poster.join();
}
