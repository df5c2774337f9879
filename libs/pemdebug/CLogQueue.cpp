#include "libs/pemdebug/CLogQueue.h"

#include <algorithm>

namespace pemdebug {

CLogQueue::CLogQueue(size_t capacity) : m_capacity(std::max<size_t>(capacity, 1)) {}

bool CLogQueue::Push(LogEntry&& entry) {
    bool bTaken = false;
    bool bWake = false;
    {
        platform::MutexLock guard(m_mutex);
        // The writer sleeps only while nothing is pending, so only the first pending item wakes it.
        bWake = m_entries.empty() && m_ullDropped == 0;
        if (!m_bClosed && m_entries.size() < m_capacity) {
            m_entries.push_back(std::move(entry));
            bTaken = true;
        } else {
            ++m_ullDropped;
            m_droppedPath = std::move(entry.path);
        }
    }
    if (bWake)
        m_cond.notify_one();
    return bTaken;
}

bool CLogQueue::Take(Batch& batch) {
    batch.entries.clear();
    batch.ullDropped = 0;
    batch.droppedPath.reset();

    platform::MutexLock guard(m_mutex);
    m_cond.wait(m_mutex, [this]() KAVRIN_REQUIRES(m_mutex) {
        return m_bClosed || !m_entries.empty() || m_ullDropped != 0;
    });
    if (m_entries.empty() && m_ullDropped == 0)
        return false;              // closed and drained
    batch.entries.swap(m_entries); // m_entries takes the batch's emptied deque
    batch.ullDropped = m_ullDropped;
    batch.droppedPath = std::move(m_droppedPath);
    m_ullDropped = 0;
    m_droppedPath.reset();
    return true;
}

void CLogQueue::Close() {
    {
        platform::MutexLock guard(m_mutex);
        m_bClosed = true;
    }
    m_cond.notify_all();
}

} // namespace pemdebug
