// The messages of the chain's update thread and the queue they wait in: any thread posts, the
// update thread takes them one by one in the order they were posted, and can take queued update
// requests out ahead of the rest.
#pragma once

#include "external/LumoImage.h"
#include "platform/ThreadAnnotations.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <optional>
#include <variant>

// Fills the raw image with the current frame and returns it (runs on the update thread).
using ChainImageProvider = CLumoImage* (*)(void* context);
// Receives the processed image (null when processing failed), with the chain lock held.
using ChainReadyCallback = void (*)(void* context, CLumoImage* image, bool erase);

// The update thread's messages, with the thread message numbers they go by.
struct SetProviderMessage { // 0x8001
    ChainImageProvider provider = nullptr;
    void* context = nullptr;
};
struct SetReadyMessage { // 0x8002
    ChainReadyCallback callback = nullptr;
    void* context = nullptr;
};
struct UpdateMessage { // 0x8003
    bool erase = false;
};
struct AnalyzeMessage {}; // 0x8004
struct QuitMessage {};    // 0x8005

using ChainMessage =
    std::variant<SetProviderMessage, SetReadyMessage, UpdateMessage, AnalyzeMessage, QuitMessage>;

class ChainMessageQueue {
public:
    ChainMessageQueue() = default;
    ChainMessageQueue(const ChainMessageQueue&) = delete;
    ChainMessageQueue& operator=(const ChainMessageQueue&) = delete;

    // Appends a message and wakes the reader. Any thread.
    void Post(const ChainMessage& message);
    // Waits without limit for the next message and takes it. The update thread.
    ChainMessage Get();
    // Takes the oldest queued update request, if any, without waiting. The update thread.
    std::optional<UpdateMessage> TakeQueuedUpdate();

private:
    platform::Mutex m_mutex;
    std::condition_variable_any m_cond;
    std::deque<ChainMessage> m_messages KAVRIN_GUARDED_BY(m_mutex);
};
