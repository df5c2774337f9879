// The simulator's process state: the boards, the open grabbers by handle, the shared camera and
// the counters that tests read through FgSim_Counter.
#pragma once

#include "libs/fgsim/CSimCamera.h"
#include "libs/fgsim/CSimGrabber.h"
#include "platform/ThreadAnnotations.h"

#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace fgsim {

class CSimRegistry {
public:
    static CSimRegistry& Instance();

    // Opens board `boardIndex` of FGSIM_BOARDS; null when there is no such board or it is open.
    [[nodiscard]] std::shared_ptr<CSimGrabber> Open(uint32_t boardIndex) KAVRIN_EXCLUDES(m_lock);
    // The open grabber with this handle; null (and counted as a bad handle) otherwise.
    [[nodiscard]] std::shared_ptr<CSimGrabber> Find(const void* handle) KAVRIN_EXCLUDES(m_lock);
    // Closes the grabber (stopping its acquisition); false for an unknown handle.
    [[nodiscard]] bool Close(const void* handle) KAVRIN_EXCLUDES(m_lock);
    // 'L' for the grabber on the lowest board index among the open grabbers, else 'R'.
    char ChannelOf(const CSimGrabber& grabber) KAVRIN_EXCLUDES(m_lock);

    // True when FGSIM_FAIL names `name` now (entry points without a grabber).
    [[nodiscard]] static bool FailsNow(const char* name);

    CSimCamera& Camera() { return m_camera; }

    // "opened", "freed", "open", "heads_allocated", "heads_freed", "bad_handles",
    // "acquisition_cpu_ns"; -1 for other names.
    int64_t Counter(const std::string& name) KAVRIN_EXCLUDES(m_lock);
    void ResetCounters();

    std::atomic<int64_t> m_llHeadsAllocated{0};
    std::atomic<int64_t> m_llHeadsFreed{0};

private:
    CSimRegistry() = default;

    platform::Mutex m_lock;
    std::vector<std::shared_ptr<CSimGrabber>> m_grabbers KAVRIN_GUARDED_BY(m_lock);
    CSimCamera m_camera;
    std::atomic<int64_t> m_llOpened{0};
    std::atomic<int64_t> m_llFreed{0};
    std::atomic<int64_t> m_llBadHandles{0};
};

} // namespace fgsim
