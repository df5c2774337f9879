// One open simulated grabber: its parameters, its memory headers with the user buffers
// registered in them, and its acquisition. In real time a thread of its own writes each frame
// into the next buffer of the ring at the frame's exposure time, never waiting for the program;
// with fps 0 frames are written only by Step.
#pragma once

#include "libs/fgsim/CSimCamera.h"
#include "libs/fgsim/FramePattern.h"
#include "platform/ThreadAnnotations.h"

#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace fgsim {

class CSimGrabber {
public:
    CSimGrabber(uint32_t boardIndex, uint32_t serial, std::vector<std::string> failingNames,
                CSimCamera& camera);
    // Stops a running acquisition.
    ~CSimGrabber();
    CSimGrabber(const CSimGrabber&) = delete;
    CSimGrabber& operator=(const CSimGrabber&) = delete;

    uint32_t BoardIndex() const { return m_uBoardIndex; }
    uint32_t Serial() const { return m_uSerial; }
    // True when FGSIM_FAIL named `name` when this grabber was opened.
    [[nodiscard]] bool Fails(const char* name) const;

    // A new memory header with `count` empty slots (null when count is 0 or too large). The
    // header belongs to this grabber; its handle is its address.
    [[nodiscard]] void* AllocMemHead(uint64_t count) KAVRIN_EXCLUDES(m_lock);
    // Releases a header of this grabber, stopping an acquisition that writes into it.
    [[nodiscard]] bool FreeMemHead(void* header) KAVRIN_EXCLUDES(m_lock);
    // Registers `bytes` bytes at `buffer` as slot `index` of `header`.
    [[nodiscard]] bool AddMem(void* header, void* buffer, uint64_t bytes, uint64_t index)
        KAVRIN_EXCLUDES(m_lock);

    // Parameters the simulator knows: 100 width, 200 height, 11011, 14001 .. 14004.
    [[nodiscard]] bool SetParameter(int id, uint32_t value) KAVRIN_EXCLUDES(m_lock);
    [[nodiscard]] std::optional<uint32_t> GetParameter(int id) const KAVRIN_EXCLUDES(m_lock);

    // Starts acquiring `count` frames (-1 endless) into `header`'s slots in ring order, as
    // channel 'L' or 'R'. False when already acquiring, the header is not this grabber's or
    // the count is 0 or below -1.
    [[nodiscard]] bool Acquire(void* header, int64_t count, char channel, const EnvLookup& lookup)
        KAVRIN_EXCLUDES(m_lock);
    // Ends the acquisition (joins the thread) within one frame's writing, even in the middle
    // of a catch-up burst; the counts keep their values.
    void StopAcquire() KAVRIN_EXCLUDES(m_lock);
    // Frames written since the acquisition started.
    int64_t Transferred() const { return m_llTransferred.load(std::memory_order_acquire); }
    // Frames lost since the acquisition started; -1 when FGSIM_NOLOST=1.
    int64_t Lost() const;
    // fps 0: `frames` further camera frames (skipped ones included) reach the grabber at once.
    // Returns the frames written, or -1 when the grabber is not acquiring in that mode.
    [[nodiscard]] int64_t Step(uint64_t frames) KAVRIN_EXCLUDES(m_lock);

private:
    struct Slot {
        uint8_t* pBuffer = nullptr;
        uint64_t ullBytes = 0;
    };
    struct MemHead {
        std::vector<Slot> slots;
    };

    MemHead* FindHeadLocked(const void* header) const KAVRIN_REQUIRES(m_lock);
    // Joins the camera and sets up the acquisition into `head`.
    void StartLocked(MemHead* head, int64_t count, char channel, const EnvLookup& lookup)
        KAVRIN_REQUIRES(m_lock);
    // Bytes of one row: the buffer split into `height` rows when it divides evenly, else rows
    // of `width` bytes.
    uint64_t RowBytesLocked(uint64_t bufferBytes) const KAVRIN_REQUIRES(m_lock);
    uint32_t ParameterLocked(int id) const KAVRIN_REQUIRES(m_lock);

    void Run() KAVRIN_EXCLUDES(m_lock);
    // Writes every frame exposed up to `now` (after giving up those too far behind), one at a
    // time, until a stop is asked for.
    void CatchUpLocked(CSimCamera::Clock::time_point now) KAVRIN_REQUIRES(m_lock);
    // Writes camera frame `frame` unless the camera skips it.
    void DeliverLocked(uint64_t frame) KAVRIN_REQUIRES(m_lock);
    bool LimitReachedLocked() const KAVRIN_REQUIRES(m_lock);
    bool StopAsked() const { return m_bStop.load(std::memory_order_acquire); }
    // The camera no longer feeds this grabber.
    void LeaveCameraLocked() KAVRIN_REQUIRES(m_lock);

    const uint32_t m_uBoardIndex;
    const uint32_t m_uSerial;
    const std::vector<std::string> m_failingNames;
    CSimCamera& m_camera;

    mutable platform::Mutex m_lock;
    // Waited on with m_lock itself (the acquisition thread's sleep until the next frame).
    std::condition_variable_any m_wake;
    std::map<int, uint32_t> m_parameters KAVRIN_GUARDED_BY(m_lock);
    std::vector<std::unique_ptr<MemHead>> m_heads KAVRIN_GUARDED_BY(m_lock);

    // The acquisition.
    bool m_bAcquiring KAVRIN_GUARDED_BY(m_lock) = false; // started and not stopped
    bool m_bJoined KAVRIN_GUARDED_BY(m_lock) = false;    // counted by the camera
    // Set without m_lock, so that a stop never waits for a burst of frames to end: the
    // acquisition thread looks at it before every frame it writes.
    std::atomic<bool> m_bStop{false};
    MemHead* m_pHead KAVRIN_GUARDED_BY(m_lock) = nullptr;
    int64_t m_llLimit KAVRIN_GUARDED_BY(m_lock) = -1;
    uint64_t m_ullNextFrame KAVRIN_GUARDED_BY(m_lock) = 0;
    uint64_t m_ullRingPos KAVRIN_GUARDED_BY(m_lock) = 0;
    char m_cChannel KAVRIN_GUARDED_BY(m_lock) = 'L';
    CSimCamera::Start m_start KAVRIN_GUARDED_BY(m_lock);
    std::unique_ptr<FramePattern> m_pPattern KAVRIN_GUARDED_BY(m_lock);
    std::thread m_thread KAVRIN_GUARDED_BY(m_lock);

    std::atomic<int64_t> m_llTransferred{0};
    std::atomic<int64_t> m_llLost{0};
    std::atomic<bool> m_bNoLost{false};
};

// Nanoseconds of CPU time that acquisition threads have used, summed over threads that ended.
int64_t AcquisitionCpuNs();

} // namespace fgsim
