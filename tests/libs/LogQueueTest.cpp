#include "libs/pemdebug/CLogQueue.h"

#include <gtest/gtest.h>
#include <thread>

using pemdebug::CLogQueue;
using pemdebug::LogEntry;

namespace {

LogEntry Entry(const std::string& text, const std::string& path = "a.log") {
    LogEntry entry;
    entry.text = text;
    entry.path = std::make_shared<const std::string>(path);
    return entry;
}

std::vector<std::string> Texts(const CLogQueue::Batch& batch) {
    std::vector<std::string> texts;
    for (const LogEntry& entry : batch.entries)
        texts.push_back(entry.text);
    return texts;
}

} // namespace

TEST(LogQueue, FullQueueDropsAndCountsInsteadOfWaiting) {
    CLogQueue queue(3);
    EXPECT_TRUE(queue.Push(Entry("0")));
    EXPECT_TRUE(queue.Push(Entry("1")));
    EXPECT_TRUE(queue.Push(Entry("2")));
    EXPECT_FALSE(queue.Push(Entry("3", "x.log")));
    EXPECT_FALSE(queue.Push(Entry("4", "y.log")));
    EXPECT_EQ(queue.Size(), 3u);

    CLogQueue::Batch batch;
    ASSERT_TRUE(queue.Take(batch));
    EXPECT_EQ(Texts(batch), (std::vector<std::string>{"0", "1", "2"}));
    EXPECT_EQ(batch.ullDropped, 2u);
    ASSERT_TRUE(batch.droppedPath);
    EXPECT_EQ(*batch.droppedPath, "y.log"); // the report goes where the last dropped line went
    EXPECT_EQ(queue.Size(), 0u);

    // The count starts again after it was handed over, and there is room again.
    EXPECT_TRUE(queue.Push(Entry("5")));
    ASSERT_TRUE(queue.Take(batch));
    EXPECT_EQ(Texts(batch), (std::vector<std::string>{"5"}));
    EXPECT_EQ(batch.ullDropped, 0u);
    EXPECT_FALSE(batch.droppedPath);

    // A drop alone wakes the writer, so the report is written even when nothing else comes.
    CLogQueue one(1);
    EXPECT_TRUE(one.Push(Entry("a")));
    EXPECT_FALSE(one.Push(Entry("b")));
    ASSERT_TRUE(one.Take(batch));
    EXPECT_EQ(batch.ullDropped, 1u);
    EXPECT_TRUE(one.Push(Entry("c")));
    ASSERT_TRUE(one.Take(batch));
    EXPECT_EQ(Texts(batch), (std::vector<std::string>{"c"}));
}

TEST(LogQueue, CloseHandsOverTheRestThenEndsTheWriter) {
    CLogQueue queue(10);
    std::vector<std::string> received;
    std::thread writer([&] {
        CLogQueue::Batch batch;
        while (queue.Take(batch)) {
            for (const std::string& text : Texts(batch))
                received.push_back(text);
        }
    });
    for (int i = 0; i < 5; ++i)
        queue.Push(Entry(std::to_string(i)));
    queue.Close();
    writer.join();
    EXPECT_EQ(received, (std::vector<std::string>{"0", "1", "2", "3", "4"}));

    // Nothing is taken after closing; such lines count as dropped.
    EXPECT_FALSE(queue.Push(Entry("late")));
    CLogQueue::Batch batch;
    ASSERT_TRUE(queue.Take(batch));
    EXPECT_TRUE(batch.entries.empty());
    EXPECT_EQ(batch.ullDropped, 1u);
    EXPECT_FALSE(queue.Take(batch));
}
