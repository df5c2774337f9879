#include "libs/fgsim/CSimRegistry.h"

#include <algorithm>

namespace fgsim {

CSimRegistry& CSimRegistry::Instance() {
    static CSimRegistry registry;
    return registry;
}

bool CSimRegistry::FailsNow(const char* name) {
    const std::vector<std::string> names = ParseNameList(ReadEnvironment("FGSIM_FAIL"));
    return std::find(names.begin(), names.end(), name) != names.end();
}

std::shared_ptr<CSimGrabber> CSimRegistry::Open(uint32_t boardIndex) {
    const std::vector<SimBoard> boards = ParseBoards(ReadEnvironment("FGSIM_BOARDS"));
    if (boardIndex >= boards.size())
        return nullptr;
    platform::MutexLock guard(m_lock);
    for (const auto& open : m_grabbers) {
        if (open->BoardIndex() == boardIndex)
            return nullptr; // a board serves one grabber at a time
    }
    auto grabber =
        std::make_shared<CSimGrabber>(boardIndex, boards[boardIndex].serial,
                                      ParseNameList(ReadEnvironment("FGSIM_FAIL")), m_camera);
    m_grabbers.push_back(grabber);
    m_camera.NoteOpen(+1);
    ++m_llOpened;
    return grabber;
}

std::shared_ptr<CSimGrabber> CSimRegistry::Find(const void* handle) {
    platform::MutexLock guard(m_lock);
    for (const auto& open : m_grabbers) {
        if (open.get() == handle)
            return open;
    }
    ++m_llBadHandles;
    return nullptr;
}

bool CSimRegistry::Close(const void* handle) {
    std::shared_ptr<CSimGrabber> closing;
    {
        platform::MutexLock guard(m_lock);
        const auto it = std::find_if(m_grabbers.begin(), m_grabbers.end(),
                                     [&](const auto& open) { return open.get() == handle; });
        if (it == m_grabbers.end()) {
            ++m_llBadHandles;
            return false;
        }
        closing = *it;
        m_grabbers.erase(it);
        m_camera.NoteOpen(-1);
        ++m_llFreed;
    }
    closing->StopAcquire(); // outside the registry lock: it joins the acquisition thread
    return true;
}

char CSimRegistry::ChannelOf(const CSimGrabber& grabber) {
    platform::MutexLock guard(m_lock);
    for (const auto& open : m_grabbers) {
        if (open->BoardIndex() < grabber.BoardIndex())
            return 'R';
    }
    return 'L';
}

int64_t CSimRegistry::Counter(const std::string& name) {
    if (name == "opened")
        return m_llOpened.load();
    if (name == "freed")
        return m_llFreed.load();
    if (name == "heads_allocated")
        return m_llHeadsAllocated.load();
    if (name == "heads_freed")
        return m_llHeadsFreed.load();
    if (name == "bad_handles")
        return m_llBadHandles.load();
    if (name == "acquisition_cpu_ns")
        return AcquisitionCpuNs();
    if (name == "open") {
        platform::MutexLock guard(m_lock);
        return static_cast<int64_t>(m_grabbers.size());
    }
    return -1;
}

void CSimRegistry::ResetCounters() {
    m_llOpened = 0;
    m_llFreed = 0;
    m_llHeadsAllocated = 0;
    m_llHeadsFreed = 0;
    m_llBadHandles = 0;
}

} // namespace fgsim
