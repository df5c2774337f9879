// Page-aligned frame memory: each frame owns its own range of pages, touched when allocated.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lumo {

class FramePages {
public:
    FramePages() = default;
    FramePages(void* address, size_t length) : m_address(address), m_length(length) {}
    ~FramePages();
    FramePages(const FramePages&) = delete;
    FramePages& operator=(const FramePages&) = delete;
    FramePages(FramePages&& other) noexcept;
    FramePages& operator=(FramePages&& other) noexcept;

    uint8_t* Data() const { return static_cast<uint8_t*>(m_address); }
    size_t Length() const { return m_length; }

private:
    void Release();

    void* m_address = nullptr;
    size_t m_length = 0;
};

// Appends `count` frames of `frameBytes` bytes each to `out`, every frame starting on a page
// boundary, all pages written once so that later writes do not fault. Fails with
// LUMO_E_OUTOFMEMORY, leaving `out` as it was, when the request (rounded to whole pages) is
// larger than the memory available or the system refuses it; nothing has been touched then.
uint32_t AllocateFramePages(uint64_t frameBytes, uint64_t count, std::vector<FramePages>& out);

// Bytes a frame of `frameBytes` occupies: whole pages; 0 when that does not fit.
uint64_t FrameStride(uint64_t frameBytes);

} // namespace lumo
