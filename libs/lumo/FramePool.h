// Frame memory given back by images, kept mapped (and so still touched) for the next
// allocation of the same frame size: preparing a grab again then costs one pass of zeroing
// instead of fresh pages from the kernel. The pool holds at most LIMIT_BYTES and gives
// everything back to the system whenever an allocation needs fresh pages.
#pragma once

#include "platform/ThreadAnnotations.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

namespace lumo {

class FramePool {
public:
    static constexpr uint64_t LIMIT_BYTES = uint64_t{512} << 20;

    static FramePool& Get();
    ~FramePool();

    // Up to `count` ranges of exactly `length` bytes, appended to `out`; their contents are
    // whatever the last user left.
    void Take(size_t length, uint64_t count, std::vector<void*>& out);
    // Keeps the range for reuse, or unmaps it when the pool is full.
    void Give(void* address, size_t length);
    // Unmaps every kept range.
    void Release();
    uint64_t KeptBytes();

private:
    FramePool() = default;

    platform::Mutex m_mutex;
    std::map<size_t, std::vector<void*>> m_free KAVRIN_GUARDED_BY(m_mutex); // by range length
    uint64_t m_keptBytes KAVRIN_GUARDED_BY(m_mutex) = 0;
};

} // namespace lumo
