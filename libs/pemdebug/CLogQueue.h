// Bounded queue between the callers of Log and the one writer thread. A full queue never makes a
// caller wait: the line is dropped and counted, and the writer receives the count with its next
// batch.
#pragma once

#include "libs/pemdebug/LogEntry.h"
#include "platform/ThreadAnnotations.h"

#include <condition_variable>
#include <deque>

namespace pemdebug {

class CLogQueue {
public:
    struct Batch {
        std::deque<LogEntry> entries;
        uint64_t ullDropped = 0;                        // lines dropped since the last batch
        std::shared_ptr<const std::string> droppedPath; // log file of the last dropped line
    };

    explicit CLogQueue(size_t capacity);
    CLogQueue(const CLogQueue&) = delete;
    CLogQueue& operator=(const CLogQueue&) = delete;

    // Queues the entry. False when the queue is full or closed: the entry is dropped and counted.
    [[nodiscard]] bool Push(LogEntry&& entry) KAVRIN_EXCLUDES(m_mutex);

    // Waits until lines or a drop count are waiting, or the queue is closed, and moves all of them
    // into `batch` (replacing its contents). False once the queue is closed and empty: the writer
    // is done.
    [[nodiscard]] bool Take(Batch& batch) KAVRIN_EXCLUDES(m_mutex);

    // Refuses further lines and wakes the writer, which still receives what is queued.
    void Close() KAVRIN_EXCLUDES(m_mutex);

private:
    const size_t m_capacity;
    platform::Mutex m_mutex;
    // Waited on with m_mutex itself (the writer's sleep until something is pending).
    std::condition_variable_any m_cond;
    std::deque<LogEntry> m_entries KAVRIN_GUARDED_BY(m_mutex);
    uint64_t m_ullDropped KAVRIN_GUARDED_BY(m_mutex) = 0;
    std::shared_ptr<const std::string> m_droppedPath KAVRIN_GUARDED_BY(m_mutex);
    bool m_bClosed KAVRIN_GUARDED_BY(m_mutex) = false;
};

} // namespace pemdebug
