#include "platform/MessageQueue.h"

#include <algorithm>

namespace platform {

void MessageQueue::Post(uint32_t id, uintptr_t wParam, uintptr_t lParam) {
    {
        MutexLock lock(m_mutex);
        m_messages.push_back(Message{id, wParam, lParam});
    }
    m_cond.notify_one();
}

Message MessageQueue::Get() {
    MutexLock lock(m_mutex);
    // The wait releases and retakes m_mutex; the queue is only read while it is held.
    while (m_messages.empty())
        m_cond.wait(m_mutex);
    Message message = m_messages.front();
    m_messages.pop_front();
    return message;
}

std::optional<Message> MessageQueue::TakeQueued(uint32_t id) {
    MutexLock lock(m_mutex);
    auto it = std::find_if(m_messages.begin(), m_messages.end(),
                           [id](const Message& m) { return m.id == id; });
    if (it == m_messages.end())
        return std::nullopt;
    Message message = *it;
    m_messages.erase(it);
    return message;
}

size_t MessageQueue::Size() const {
    MutexLock lock(m_mutex);
    return m_messages.size();
}

} // namespace platform
