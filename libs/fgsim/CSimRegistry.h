// The simulator's process state: the boards, the open grabbers by handle, the shared camera and
// the counters that tests read through FgSim_Counter.
#pragma once

#include "libs/fgsim/CSimCamera.h"
#include "libs/fgsim/CSimGrabber.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace fgsim {

class CSimRegistry {
public:
    static CSimRegistry& Instance();

    // Opens board `boardIndex` of FGSIM_BOARDS; null when there is no such board or it is open.
    std::shared_ptr<CSimGrabber> Open(uint32_t boardIndex);
    // The open grabber with this handle; null (and counted as a bad handle) otherwise.
    std::shared_ptr<CSimGrabber> Find(const void* handle);
    // Closes the grabber (stopping its acquisition); false for an unknown handle.
    bool Close(const void* handle);
    // 'L' for the grabber on the lowest board index among the open grabbers, else 'R'.
    char ChannelOf(const CSimGrabber& grabber);

    // True when FGSIM_FAIL names `name` now (entry points without a grabber).
    static bool FailsNow(const char* name);

    CSimCamera& Camera() { return m_camera; }

    // "opened", "freed", "open", "heads_allocated", "heads_freed", "bad_handles",
    // "acquisition_cpu_ns"; -1 for other names.
    int64_t Counter(const std::string& name);
    void ResetCounters();

    std::atomic<int64_t> m_llHeadsAllocated{0};
    std::atomic<int64_t> m_llHeadsFreed{0};

private:
    CSimRegistry() = default;

    std::mutex m_lock;
    std::vector<std::shared_ptr<CSimGrabber>> m_grabbers;
    CSimCamera m_camera;
    std::atomic<int64_t> m_llOpened{0};
    std::atomic<int64_t> m_llFreed{0};
    std::atomic<int64_t> m_llBadHandles{0};
};

} // namespace fgsim
