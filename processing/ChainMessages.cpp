#include "processing/ChainMessages.h"

#include <algorithm>

void ChainMessageQueue::Post(const ChainMessage& message) {
    {
        platform::MutexLock lock(m_mutex);
        m_messages.push_back(message);
    }
    m_cond.notify_one();
}

ChainMessage ChainMessageQueue::Get() {
    platform::MutexLock lock(m_mutex);
    while (m_messages.empty())
        m_cond.wait(m_mutex);
    ChainMessage message = m_messages.front();
    m_messages.pop_front();
    return message;
}

std::optional<UpdateMessage> ChainMessageQueue::TakeQueuedUpdate() {
    platform::MutexLock lock(m_mutex);
    auto it = std::find_if(m_messages.begin(), m_messages.end(), [](const ChainMessage& m) {
        return std::holds_alternative<UpdateMessage>(m);
    });
    if (it == m_messages.end())
        return std::nullopt;
    const UpdateMessage update = std::get<UpdateMessage>(*it);
    m_messages.erase(it);
    return update;
}
