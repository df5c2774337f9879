// A thread's message queue: any thread posts, the owning thread takes messages one by one in
// the order they were posted, and can take queued messages of one id out ahead of the rest.
#pragma once

#include "platform/ThreadAnnotations.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <optional>

namespace platform {

struct Message {
    uint32_t id = 0;
    uintptr_t wParam = 0;
    uintptr_t lParam = 0;
};

class MessageQueue {
public:
    MessageQueue() = default;
    MessageQueue(const MessageQueue&) = delete;
    MessageQueue& operator=(const MessageQueue&) = delete;

    // Appends a message and wakes the reader.
    void Post(uint32_t id, uintptr_t wParam, uintptr_t lParam);
    // Waits without limit for the next message and takes it.
    Message Get();
    // Takes the oldest queued message with this id, if any, without waiting.
    std::optional<Message> TakeQueued(uint32_t id);
    // Number of messages waiting.
    size_t Size() const;

private:
    mutable Mutex m_mutex;
    std::condition_variable_any m_cond;
    std::deque<Message> m_messages KAVRIN_GUARDED_BY(m_mutex);
};

} // namespace platform
