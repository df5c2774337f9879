#include "libs/lumo/FramePages.h"

#include "external/LumoResult.h"
#include "libs/lumo/FramePool.h"
#include "platform/MemoryStatus.h"

#include <cerrno>
#include <cstring>
#include <new>
#include <sys/mman.h>
#include <unistd.h>
#include <utility>

namespace lumo {

namespace {

constexpr uint64_t HUGE_PAGE_BYTES = 2u << 20;

uint64_t PageSize() {
    const long size = sysconf(_SC_PAGESIZE);
    return size > 0 ? static_cast<uint64_t>(size) : 4096;
}

// Writes every page once; used where the kernel cannot populate a range itself.
void TouchPages(uint8_t* base, uint64_t length, uint64_t page) {
    for (uint64_t offset = 0; offset < length; offset += page)
        static_cast<volatile uint8_t*>(base)[offset] = 0;
}

} // namespace

FramePages::~FramePages() {
    Release();
}

FramePages::FramePages(FramePages&& other) noexcept
    : m_address(std::exchange(other.m_address, nullptr)),
      m_length(std::exchange(other.m_length, 0)) {}

FramePages& FramePages::operator=(FramePages&& other) noexcept {
    if (this != &other) {
        Release();
        m_address = std::exchange(other.m_address, nullptr);
        m_length = std::exchange(other.m_length, 0);
    }
    return *this;
}

void FramePages::Release() {
    if (m_address)
        FramePool::Get().Give(m_address, m_length);
    m_address = nullptr;
    m_length = 0;
}

uint64_t FrameStride(uint64_t frameBytes) {
    const uint64_t page = PageSize();
    if (frameBytes > UINT64_MAX - page)
        return 0;
    return (frameBytes + page - 1) / page * page;
}

uint32_t AllocateFramePages(uint64_t frameBytes, uint64_t count, std::vector<FramePages>& out) {
    if (count == 0)
        return LUMO_OK;
    if (frameBytes == 0)
        return LUMO_E_INVALIDARG;
    const uint64_t page = PageSize();
    const uint64_t stride = FrameStride(frameBytes);
    if (stride == 0)
        return LUMO_E_OUTOFMEMORY;
    if (count > UINT64_MAX / stride || stride * count > SIZE_MAX)
        return LUMO_E_OUTOFMEMORY;
    FramePool& pool = FramePool::Get();
    // The whole request is checked against the memory there is (kept frames count) before any
    // bookkeeping is reserved: an entry per frame of an impossible request would itself be more
    // than the machine has.
    const std::optional<uint64_t> total = platform::MemAvailableBytes();
    if (total && stride * count > *total + pool.KeptBytes())
        return LUMO_E_OUTOFMEMORY;
    std::vector<void*> reused;
    try {
        out.reserve(out.size() + static_cast<size_t>(count)); // before any memory is taken
        reused.reserve(static_cast<size_t>(count));
    } catch (const std::bad_alloc&) { // no memory figure to check against, and too large
        return LUMO_E_OUTOFMEMORY;
    }
    pool.Take(static_cast<size_t>(stride), count, reused);
    const uint64_t fresh = stride * (count - reused.size());
    const auto giveBack = [&] {
        for (void* range : reused)
            pool.Give(range, static_cast<size_t>(stride));
    };

    uint8_t* base = nullptr;
    if (fresh > 0) {
        pool.Release(); // kept pages of other sizes go back to the system first
        // Checked before anything is mapped: touching more than the machine has would end in
        // the kernel's out-of-memory killer instead of a failed call.
        const std::optional<uint64_t> available = platform::MemAvailableBytes();
        if (available && fresh > *available) {
            giveBack();
            return LUMO_E_OUTOFMEMORY;
        }
        void* mapped = mmap(nullptr, static_cast<size_t>(fresh), PROT_READ | PROT_WRITE,
                            MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped == MAP_FAILED) {
            giveBack();
            return LUMO_E_OUTOFMEMORY;
        }
        base = static_cast<uint8_t*>(mapped);
        if (fresh >= HUGE_PAGE_BYTES)
            madvise(base, static_cast<size_t>(fresh), MADV_HUGEPAGE); // fewer faults; optional
        if (madvise(base, static_cast<size_t>(fresh), MADV_POPULATE_WRITE) != 0) {
            if (errno != EINVAL) { // EINVAL: a kernel without MADV_POPULATE_WRITE
                munmap(base, static_cast<size_t>(fresh));
                giveBack();
                return LUMO_E_OUTOFMEMORY;
            }
            TouchPages(base, fresh, page);
        }
    }

    // Fresh pages are zero already; reused ones are cleared like them.
    for (void* range : reused) {
        std::memset(range, 0, static_cast<size_t>(frameBytes));
        out.emplace_back(range, static_cast<size_t>(stride));
    }
    for (uint64_t offset = 0; offset < fresh; offset += stride)
        out.emplace_back(base + offset, static_cast<size_t>(stride));
    return LUMO_OK;
}

} // namespace lumo
