// The update thread's queue: messages come out in the order they went in, and queued update
// requests can be taken out ahead of the rest.
#include "processing/ChainMessages.h"

#include <gtest/gtest.h>
#include <thread>

namespace {

CLumoImage* NoImage(void*) {
    return nullptr;
}

TEST(ChainMessageQueue, UpdatesAreTakenOutAheadAndTheRestKeepsItsOrder) {
    ChainMessageQueue queue;
    int context = 0;
    queue.Post(SetProviderMessage{&NoImage, &context});
    queue.Post(UpdateMessage{false});
    queue.Post(AnalyzeMessage{});
    queue.Post(UpdateMessage{true});
    queue.Post(QuitMessage{});

    const ChainMessage first = queue.Get();
    ASSERT_TRUE(std::holds_alternative<SetProviderMessage>(first));
    EXPECT_EQ(std::get<SetProviderMessage>(first).provider, &NoImage);
    EXPECT_EQ(std::get<SetProviderMessage>(first).context, &context);
    std::optional<UpdateMessage> update = queue.TakeQueuedUpdate();
    ASSERT_TRUE(update);
    EXPECT_FALSE(update->erase);
    update = queue.TakeQueuedUpdate();
    ASSERT_TRUE(update);
    EXPECT_TRUE(update->erase);
    EXPECT_FALSE(queue.TakeQueuedUpdate());
    EXPECT_TRUE(std::holds_alternative<AnalyzeMessage>(queue.Get()));
    EXPECT_TRUE(std::holds_alternative<QuitMessage>(queue.Get()));
}

TEST(ChainMessageQueue, GetWaitsForAMessageFromAnotherThread) {
    ChainMessageQueue queue;
    std::thread poster([&queue] { queue.Post(UpdateMessage{true}); });
    const ChainMessage message = queue.Get();
    poster.join();
    ASSERT_TRUE(std::holds_alternative<UpdateMessage>(message));
    EXPECT_TRUE(std::get<UpdateMessage>(message).erase);
}

} // namespace
