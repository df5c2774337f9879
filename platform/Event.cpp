#include "platform/Event.h"

#include <chrono>

namespace platform {

Event::Event(bool initiallySet) : m_bSet(initiallySet) {}

void Event::Set() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bSet = true;
    }
    m_cond.notify_all();
}

void Event::Reset() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bSet = false;
}

bool Event::IsSet() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bSet;
}

bool Event::Wait(int64_t timeoutMs) const {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (timeoutMs < 0) {
        m_cond.wait(lock, [this] { return m_bSet; });
        return true;
    }
    return m_cond.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return m_bSet; });
}

} // namespace platform
