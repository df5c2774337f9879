#include "platform/MessageQueue.h"

#include <algorithm>

namespace platform {

void MessageQueue::Post(uint32_t id, uintptr_t wParam, uintptr_t lParam) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_messages.push_back(Message{id, wParam, lParam});
    }
    m_cond.notify_one();
}

Message MessageQueue::Get() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_cond.wait(lock, [this] { return !m_messages.empty(); });
    Message message = m_messages.front();
    m_messages.pop_front();
    return message;
}

std::optional<Message> MessageQueue::TakeQueued(uint32_t id) {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = std::find_if(m_messages.begin(), m_messages.end(),
                           [id](const Message& m) { return m.id == id; });
    if (it == m_messages.end())
        return std::nullopt;
    Message message = *it;
    m_messages.erase(it);
    return message;
}

size_t MessageQueue::Size() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_messages.size();
}

} // namespace platform
