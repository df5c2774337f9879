// One opened grabber board with its memory header: the handle from Fg_Init and the header from
// Fg_AllocMemHead, released in one place and one order (Fg_FreeMemHead, then Fg_FreeGrabber).
// A camera holds one; the calls it makes on the grabber go through here.
#pragma once

#include "external/FgLib.h"

#include <cstdint>
#include <optional>

class CDebugSink;

class GrabberSession {
public:
    // `fg` must stay valid while the session lives (the binding outlives every camera).
    explicit GrabberSession(const FgLibFunctions& fg) : m_fg(fg) {}
    // Releases what is still held, without logging.
    ~GrabberSession() { Release(nullptr); }
    GrabberSession(const GrabberSession&) = delete;
    GrabberSession& operator=(const GrabberSession&) = delete;

    bool IsOpen() const { return m_pGrabber != nullptr; }
    // The grabber handle; null while closed.
    Fg_Struct* Handle() const { return m_pGrabber; }

    // Fg_Init on board `boardIndex` with `applet`; false (still closed) when it fails. The
    // session must be closed.
    [[nodiscard]] bool Open(const char* applet, uint32_t boardIndex);
    // Fg_AllocMemHead for `count` buffers of `totalBytes` in all; false when it fails.
    [[nodiscard]] bool AllocateHeader(uint64_t totalBytes, uint64_t count);
    // Fg_AddMem: registers `data` as buffer `index` of the header.
    void AddBuffer(void* data, uint64_t bytes, uint64_t index);
    // Fg_setParameter on DMA channel 0 with a 32-bit value.
    void SetParameter(int id, uint32_t value);
    // Fg_AcquireEx of `images` (FG_ACQUIRE_ENDLESS: endless); false when it reports failure.
    [[nodiscard]] bool StartAcquisition(int64_t images);
    // Fg_stopAcquireEx with the stop flags.
    void StopAcquisition();
    // Fg_getStatusEx(id, data) as the library answers it (negative: failed); nothing while
    // closed or without the entry point.
    [[nodiscard]] std::optional<int64_t> Status(int id, int64_t data) const;
    // Frees the header (if any), then the grabber (if open). With `detachLog` each step is
    // logged at level 1 as the camera's detach.
    void Release(CDebugSink* detachLog);

private:
    const FgLibFunctions& m_fg;
    Fg_Struct* m_pGrabber = nullptr;
    dma_mem* m_pMemHead = nullptr;
};
