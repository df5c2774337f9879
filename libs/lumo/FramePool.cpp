#include "libs/lumo/FramePool.h"

#include <sys/mman.h>

namespace lumo {

FramePool& FramePool::Get() {
    static FramePool pool; // unmapped when the library is unloaded
    return pool;
}

FramePool::~FramePool() {
    Release();
}

void FramePool::Take(size_t length, uint64_t count, std::vector<void*>& out) {
    platform::MutexLock lock(m_mutex);
    const auto it = m_free.find(length);
    if (it == m_free.end())
        return;
    std::vector<void*>& ranges = it->second;
    while (count > 0 && !ranges.empty()) {
        out.push_back(ranges.back());
        ranges.pop_back();
        m_keptBytes -= length;
        --count;
    }
    if (ranges.empty())
        m_free.erase(it);
}

void FramePool::Give(void* address, size_t length) {
    {
        platform::MutexLock lock(m_mutex);
        if (m_keptBytes + length <= LIMIT_BYTES) {
            m_free[length].push_back(address);
            m_keptBytes += length;
            return;
        }
    }
    munmap(address, length);
}

void FramePool::Release() {
    std::map<size_t, std::vector<void*>> ranges;
    {
        platform::MutexLock lock(m_mutex);
        ranges.swap(m_free);
        m_keptBytes = 0;
    }
    for (const auto& [length, addresses] : ranges)
        for (void* address : addresses)
            munmap(address, length);
}

uint64_t FramePool::KeptBytes() {
    platform::MutexLock lock(m_mutex);
    return m_keptBytes;
}

} // namespace lumo
