// A manual-reset event: once set it stays set (every waiter passes) until reset.
#pragma once

#include "platform/ThreadAnnotations.h"

#include <condition_variable>
#include <cstdint>

namespace platform {

class Event {
public:
    explicit Event(bool initiallySet = false);
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void Set();
    void Reset();
    bool IsSet() const;
    // Waits until the event is set or `timeoutMs` milliseconds have passed; a negative timeout
    // waits without limit. True when the event is set.
    bool Wait(int64_t timeoutMs = -1) const;

private:
    mutable Mutex m_mutex;
    mutable std::condition_variable_any m_cond;
    bool m_bSet KAVRIN_GUARDED_BY(m_mutex);
};

} // namespace platform
