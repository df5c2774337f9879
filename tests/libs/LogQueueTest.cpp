#include "libs/pemdebug/CLogQueue.h"

#include <gtest/gtest.h>

using pemdebug::CLogQueue;

namespace {

pemdebug::LogEntry Entry(const std::string& text, const std::string& path = "a.log") {
    pemdebug::LogEntry entry;
    entry.text = text;
    entry.path = std::make_shared<const std::string>(path);
    return entry;
}

std::string Texts(const CLogQueue::Batch& batch) {
    std::string texts;
    for (const pemdebug::LogEntry& entry : batch.entries)
        texts += entry.text;
    return texts;
}

} // namespace

TEST(LogQueue, FullQueueDropsAndCountsInsteadOfWaiting) {
    CLogQueue queue(3);
    for (const char* text : {"0", "1", "2"})
        EXPECT_TRUE(queue.Push(Entry(text)));
    EXPECT_FALSE(queue.Push(Entry("3", "x.log")));
    EXPECT_FALSE(queue.Push(Entry("4", "y.log")));
    CLogQueue::Batch batch;
    ASSERT_TRUE(queue.Take(batch));
    EXPECT_EQ(Texts(batch), "012");
    EXPECT_EQ(batch.ullDropped, 2u);
    ASSERT_TRUE(batch.droppedPath);
    EXPECT_EQ(*batch.droppedPath, "y.log"); // reported where the last dropped line went

    // The count starts again once handed over; a drop alone also wakes the writer.
    EXPECT_TRUE(queue.Push(Entry("5")));
    ASSERT_TRUE(queue.Take(batch));
    EXPECT_EQ(Texts(batch), "5");
    EXPECT_EQ(batch.ullDropped, 0u);
    CLogQueue one(1);
    EXPECT_TRUE(one.Push(Entry("a")));
    EXPECT_FALSE(one.Push(Entry("b"))) << "a queue of one line is full";
    ASSERT_TRUE(one.Take(batch));
    EXPECT_EQ(batch.ullDropped, 1u);
}
