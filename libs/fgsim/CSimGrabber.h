// One open simulated grabber: its parameters, its memory headers with the user buffers
// registered in them, and its acquisition. In real time a thread of its own writes each frame
// into the next buffer of the ring at the frame's exposure time, never waiting for the program;
// with fps 0 frames are written only by Step.
#pragma once

#include "libs/fgsim/CSimCamera.h"
#include "libs/fgsim/FramePattern.h"

#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
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
    bool Fails(const char* name) const;

    // A new memory header with `count` empty slots (null when count is 0 or too large). The
    // header belongs to this grabber; its handle is its address.
    void* AllocMemHead(uint64_t count);
    // Releases a header of this grabber, stopping an acquisition that writes into it.
    bool FreeMemHead(void* header);
    // Registers `bytes` bytes at `buffer` as slot `index` of `header`.
    bool AddMem(void* header, void* buffer, uint64_t bytes, uint64_t index);

    // Parameters the simulator knows: 100 width, 200 height, 11011, 14001 .. 14004.
    bool SetParameter(int id, uint32_t value);
    std::optional<uint32_t> GetParameter(int id) const;

    // Starts acquiring `count` frames (-1 endless) into `header`'s slots in ring order, as
    // channel 'L' or 'R'. False when already acquiring, the header is not this grabber's or
    // the count is 0 or below -1.
    bool Acquire(void* header, int64_t count, char channel, const EnvLookup& lookup);
    // Ends the acquisition (joins the thread); the counts keep their values.
    void StopAcquire();
    // Frames written since the acquisition started.
    int64_t Transferred() const { return m_llTransferred.load(std::memory_order_acquire); }
    // Frames lost since the acquisition started; -1 when FGSIM_NOLOST=1.
    int64_t Lost() const;
    // fps 0: `frames` further camera frames (skipped ones included) reach the grabber at once.
    // Returns the frames written, or -1 when the grabber is not acquiring in that mode.
    int64_t Step(uint64_t frames);

private:
    struct Slot {
        uint8_t* pBuffer = nullptr;
        uint64_t ullBytes = 0;
    };
    struct MemHead {
        std::vector<Slot> slots;
    };

    void Run();
    // Writes camera frame `frame` unless the camera skips it; m_lock held.
    void DeliverLocked(uint64_t frame);
    bool LimitReachedLocked() const;
    // The camera no longer feeds this grabber; m_lock held.
    void LeaveCameraLocked();

    const uint32_t m_uBoardIndex;
    const uint32_t m_uSerial;
    const std::vector<std::string> m_failingNames;
    CSimCamera& m_camera;

    mutable std::mutex m_lock;
    std::condition_variable m_wake;
    std::map<int, uint32_t> m_parameters;
    std::vector<std::unique_ptr<MemHead>> m_heads;

    // The acquisition, guarded by m_lock.
    bool m_bAcquiring = false; // started and not stopped
    bool m_bJoined = false;    // counted by the camera
    bool m_bStop = false;
    MemHead* m_pHead = nullptr;
    int64_t m_llLimit = -1;
    uint64_t m_ullNextFrame = 0;
    uint64_t m_ullRingPos = 0;
    char m_cChannel = 'L';
    CSimCamera::Start m_start;
    std::unique_ptr<FramePattern> m_pPattern;
    std::thread m_thread;

    std::atomic<int64_t> m_llTransferred{0};
    std::atomic<int64_t> m_llLost{0};
    std::atomic<bool> m_bNoLost{false};
};

// Nanoseconds of CPU time that acquisition threads have used, summed over threads that ended.
int64_t AcquisitionCpuNs();

} // namespace fgsim
