// Lines on their way from the sink's writer (or any other thread) to the window on the UI thread.
// Adding never waits for the UI thread: the lines join a locked list, and only the first addition
// after a flush asks its caller to queue the next flush, so at most one queued flush is
// outstanding. The UI thread then takes the whole list at once. At most MAX_LINES lines wait;
// beyond that the oldest are dropped and counted.
#pragma once

#include "platform/ThreadAnnotations.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <deque>

namespace pemlogwindow {

class CPendingLines {
public:
    // The window's capacity: the widget keeps as many lines, so more never need to wait.
    static constexpr size_t MAX_LINES = 10000;

    struct Batch {
        std::deque<QString> lines;
        uint64_t ullNotShown = 0; // dropped since the last batch, the oldest ones
    };

    CPendingLines() = default;
    CPendingLines(const CPendingLines&) = delete;
    CPendingLines& operator=(const CPendingLines&) = delete;

    // Adds the lines of `text` (`size` bytes, each line ending in '\n'; a last line without one
    // counts). True when the caller must queue a flush: none was outstanding. False as well once
    // closed, where the lines are dropped.
    [[nodiscard]] bool Add(const char* text, size_t size) KAVRIN_EXCLUDES(m_mutex);

    // Takes every waiting line; the next Add asks for a flush again. With dropped lines the batch
    // holds at most MAX_LINES - 1, leaving room for the note that tells of them.
    Batch Take() KAVRIN_EXCLUDES(m_mutex);

    // Drops what waits and refuses further lines.
    void Close() KAVRIN_EXCLUDES(m_mutex);

    // "... N lines not shown (see the log file)"
    static QString NotShownNote(uint64_t count);

private:
    platform::Mutex m_mutex;
    std::deque<QString> m_lines KAVRIN_GUARDED_BY(m_mutex);
    uint64_t m_ullNotShown KAVRIN_GUARDED_BY(m_mutex) = 0;
    bool m_bFlushQueued KAVRIN_GUARDED_BY(m_mutex) = false;
    bool m_bClosed KAVRIN_GUARDED_BY(m_mutex) = false;
};

} // namespace pemlogwindow
