#include "platform/Event.h"

#include <chrono>

namespace platform {

Event::Event(bool initiallySet) : m_bSet(initiallySet) {}

void Event::Set() {
    {
        MutexLock lock(m_mutex);
        m_bSet = true;
    }
    m_cond.notify_all();
}

void Event::Reset() {
    MutexLock lock(m_mutex);
    m_bSet = false;
}

bool Event::IsSet() const {
    MutexLock lock(m_mutex);
    return m_bSet;
}

bool Event::Wait(int64_t timeoutMs) const {
    MutexLock lock(m_mutex);
    // The waits release and retake m_mutex; the flag is only read while it is held.
    if (timeoutMs < 0) {
        while (!m_bSet)
            m_cond.wait(m_mutex);
        return true;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!m_bSet) {
        if (m_cond.wait_until(m_mutex, deadline) == std::cv_status::timeout)
            return m_bSet;
    }
    return true;
}

} // namespace platform
