#include "libs/pemdebug/window/CPendingLines.h"

#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

namespace pemlogwindow {

namespace {

// Splits `text` into lines, converting only the last MAX_LINES of them (the others could never
// be shown); `skipped` counts those left out.
std::deque<QString> SplitLines(const char* text, size_t size, uint64_t& skipped) {
    skipped = 0;
    std::vector<std::string_view> views;
    if (text && size > 0) {
        const size_t end = text[size - 1] == '\n' ? size - 1 : size; // the last break ends a line
        for (size_t pos = 0; pos <= end;) {
            const void* found = std::memchr(text + pos, '\n', end - pos);
            const size_t stop =
                found ? static_cast<size_t>(static_cast<const char*>(found) - text) : end;
            views.emplace_back(text + pos, stop - pos);
            pos = stop + 1;
        }
    }
    const size_t first =
        views.size() > CPendingLines::MAX_LINES ? views.size() - CPendingLines::MAX_LINES : 0;
    skipped = first;
    std::deque<QString> lines;
    for (size_t i = first; i < views.size(); ++i)
        lines.push_back(
            QString::fromUtf8(views[i].data(), static_cast<qsizetype>(views[i].size())));
    return lines;
}

} // namespace

bool CPendingLines::Add(const char* text, size_t size) {
    uint64_t skipped = 0;
    std::deque<QString> lines = SplitLines(text, size, skipped);
    platform::MutexLock guard(m_mutex);
    if (m_bClosed)
        return false;
    m_ullNotShown += skipped;
    for (QString& line : lines)
        m_lines.push_back(std::move(line));
    while (m_lines.size() > MAX_LINES) {
        m_lines.pop_front();
        ++m_ullNotShown;
    }
    const bool bQueue = !m_bFlushQueued;
    m_bFlushQueued = true;
    return bQueue;
}

CPendingLines::Batch CPendingLines::Take() {
    Batch batch;
    platform::MutexLock guard(m_mutex);
    batch.lines.swap(m_lines);
    batch.ullNotShown = m_ullNotShown;
    m_ullNotShown = 0;
    m_bFlushQueued = false;
    if (batch.ullNotShown != 0 && batch.lines.size() >= MAX_LINES) {
        batch.lines.pop_front();
        ++batch.ullNotShown;
    }
    return batch;
}

void CPendingLines::Close() {
    platform::MutexLock guard(m_mutex);
    m_bClosed = true;
    m_lines.clear();
    m_ullNotShown = 0;
}

QString CPendingLines::NotShownNote(uint64_t count) {
    return QStringLiteral("... %1 lines not shown (see the log file)").arg(count);
}

} // namespace pemlogwindow
