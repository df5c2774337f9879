#include "libs/lumo/FramePages.h"

#include "external/LumoResult.h"
#include "platform/MemoryStatus.h"

#include <cerrno>
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
        munmap(m_address, m_length);
    m_address = nullptr;
    m_length = 0;
}

uint32_t AllocateFramePages(uint64_t frameBytes, uint64_t count, std::vector<FramePages>& out) {
    if (count == 0)
        return LUMO_OK;
    if (frameBytes == 0)
        return LUMO_E_INVALIDARG;
    const uint64_t page = PageSize();
    if (frameBytes > UINT64_MAX - page)
        return LUMO_E_OUTOFMEMORY;
    const uint64_t stride = (frameBytes + page - 1) / page * page;
    if (count > UINT64_MAX / stride)
        return LUMO_E_OUTOFMEMORY;
    const uint64_t total = stride * count;
    // Checked before anything is mapped: touching more than the machine has would end in the
    // kernel's out-of-memory killer instead of a failed call.
    const std::optional<uint64_t> available = platform::MemAvailableBytes();
    if ((available && total > *available) || total > SIZE_MAX)
        return LUMO_E_OUTOFMEMORY;
    out.reserve(out.size() + static_cast<size_t>(count)); // before mapping: may throw

    void* base = mmap(nullptr, static_cast<size_t>(total), PROT_READ | PROT_WRITE,
                      MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (base == MAP_FAILED)
        return LUMO_E_OUTOFMEMORY;
    uint8_t* bytes = static_cast<uint8_t*>(base);
    if (total >= HUGE_PAGE_BYTES)
        madvise(base, static_cast<size_t>(total), MADV_HUGEPAGE); // fewer faults; optional
    if (madvise(base, static_cast<size_t>(total), MADV_POPULATE_WRITE) != 0) {
        if (errno != EINVAL) { // EINVAL: kernel without MADV_POPULATE_WRITE
            munmap(base, static_cast<size_t>(total));
            return LUMO_E_OUTOFMEMORY;
        }
        TouchPages(bytes, total, page);
    }

    for (uint64_t i = 0; i < count; ++i)
        out.emplace_back(bytes + i * stride, static_cast<size_t>(stride));
    return LUMO_OK;
}

} // namespace lumo
