#include "libs/fgsim/CSimGrabber.h"

#include <algorithm>
#include <ctime>

namespace fgsim {

namespace {

// A real grabber has a bounded memory: a request for more slots than this is refused.
constexpr uint64_t MAX_SLOTS = 1u << 20;

std::atomic<int64_t> g_llAcquisitionCpuNs{0};

int64_t ThreadCpuNs() {
    timespec now{};
    if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now) != 0)
        return 0;
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

bool IsKnownParameter(int id) {
    return id == 100 || id == 200 || id == 11011 || (id >= 14001 && id <= 14004);
}

} // namespace

int64_t AcquisitionCpuNs() {
    return g_llAcquisitionCpuNs.load();
}

CSimGrabber::CSimGrabber(uint32_t boardIndex, uint32_t serial,
                         std::vector<std::string> failingNames, CSimCamera& camera)
    : m_uBoardIndex(boardIndex), m_uSerial(serial), m_failingNames(std::move(failingNames)),
      m_camera(camera) {}

CSimGrabber::~CSimGrabber() {
    StopAcquire();
}

bool CSimGrabber::Fails(const char* name) const {
    return std::find(m_failingNames.begin(), m_failingNames.end(), name) != m_failingNames.end();
}

void* CSimGrabber::AllocMemHead(uint64_t count) {
    if (count == 0 || count > MAX_SLOTS)
        return nullptr;
    auto head = std::make_unique<MemHead>();
    head->slots.resize(count);
    std::lock_guard<std::mutex> guard(m_lock);
    m_heads.push_back(std::move(head));
    return m_heads.back().get();
}

bool CSimGrabber::FreeMemHead(void* header) {
    std::unique_lock<std::mutex> lock(m_lock);
    const auto it = std::find_if(m_heads.begin(), m_heads.end(),
                                 [&](const auto& head) { return head.get() == header; });
    if (it == m_heads.end())
        return false;
    if (m_pHead == it->get()) {
        lock.unlock();
        StopAcquire();
        lock.lock();
    }
    std::erase_if(m_heads, [&](const auto& head) { return head.get() == header; });
    return true;
}

bool CSimGrabber::AddMem(void* header, void* buffer, uint64_t bytes, uint64_t index) {
    std::lock_guard<std::mutex> guard(m_lock);
    for (const auto& head : m_heads) {
        if (head.get() == header) {
            if (index >= head->slots.size())
                return false;
            head->slots[index] = Slot{static_cast<uint8_t*>(buffer), buffer ? bytes : 0};
            return true;
        }
    }
    return false;
}

bool CSimGrabber::SetParameter(int id, uint32_t value) {
    if (!IsKnownParameter(id))
        return false;
    std::lock_guard<std::mutex> guard(m_lock);
    m_parameters[id] = value;
    return true;
}

std::optional<uint32_t> CSimGrabber::GetParameter(int id) const {
    if (!IsKnownParameter(id))
        return std::nullopt;
    std::lock_guard<std::mutex> guard(m_lock);
    const auto it = m_parameters.find(id);
    return it == m_parameters.end() ? 0u : it->second;
}

bool CSimGrabber::Acquire(void* header, int64_t count, char channel, const EnvLookup& lookup) {
    std::unique_lock<std::mutex> lock(m_lock);
    if (count == 0 || count < -1 || (m_bAcquiring && !LimitReachedLocked()))
        return false;
    if (m_bAcquiring || m_thread.joinable()) { // a count-limited acquisition that has ended
        lock.unlock();
        StopAcquire();
        lock.lock();
    }
    MemHead* head = nullptr;
    for (const auto& candidate : m_heads) {
        if (candidate.get() == header)
            head = candidate.get();
    }
    if (!head || m_bAcquiring)
        return false;
    m_start = m_camera.Join(lookup);
    m_bJoined = true;
    m_bAcquiring = true;
    m_bStop = false;
    m_pHead = head;
    m_llLimit = count;
    m_ullNextFrame = m_start.firstFrame;
    m_ullRingPos = 0;
    m_cChannel = m_start.settings.swap ? (channel == 'L' ? 'R' : 'L') : channel;
    m_llTransferred.store(0, std::memory_order_release);
    m_llLost.store(0);
    m_bNoLost.store(m_start.settings.noLost);

    // Rows as the parameters describe them: the buffer split into `height` rows when it
    // divides evenly, else rows of `width` bytes.
    const uint64_t bytes = head->slots[0].ullBytes;
    const uint32_t height = m_parameters.count(200) ? m_parameters[200] : 0;
    const uint32_t width = m_parameters.count(100) ? m_parameters[100] : 0;
    uint64_t rowBytes = width;
    if (height != 0 && bytes != 0 && bytes % height == 0)
        rowBytes = bytes / height;
    m_pPattern = std::make_unique<FramePattern>(rowBytes);

    if (m_start.settings.fps != 0)
        m_thread = std::thread([this] { Run(); });
    return true;
}

void CSimGrabber::StopAcquire() {
    std::thread thread;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_bStop = true;
        thread = std::move(m_thread);
    }
    m_wake.notify_all();
    if (thread.joinable())
        thread.join();
    std::lock_guard<std::mutex> guard(m_lock);
    m_bAcquiring = false;
    m_pHead = nullptr;
    LeaveCameraLocked();
}

int64_t CSimGrabber::Lost() const {
    return m_bNoLost.load() ? -1 : m_llLost.load();
}

int64_t CSimGrabber::Step(uint64_t frames) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_bAcquiring || m_start.settings.fps != 0)
        return -1;
    const int64_t before = Transferred();
    for (uint64_t i = 0; i < frames && !LimitReachedLocked(); ++i)
        DeliverLocked(m_ullNextFrame++);
    m_camera.NoteStepped(m_ullNextFrame);
    if (LimitReachedLocked())
        LeaveCameraLocked();
    return Transferred() - before;
}

bool CSimGrabber::LimitReachedLocked() const {
    return m_llLimit >= 0 && Transferred() >= m_llLimit;
}

void CSimGrabber::LeaveCameraLocked() {
    if (m_bJoined) {
        m_bJoined = false;
        m_camera.Leave();
    }
}

void CSimGrabber::DeliverLocked(uint64_t frame) {
    const uint32_t tag = static_cast<uint32_t>(m_start.settings.tag0 + frame);
    if (m_start.settings.drop.Drops(frame, tag))
        return; // the camera never sent it
    if (!m_pHead || m_pHead->slots.empty())
        return;
    const Slot& slot = m_pHead->slots[m_ullRingPos % m_pHead->slots.size()];
    m_pPattern->Write(slot.pBuffer, slot.ullBytes, frame, m_cChannel, tag, !m_start.settings.noTag);
    ++m_ullRingPos;
    m_llTransferred.fetch_add(1, std::memory_order_release);
}

void CSimGrabber::Run() {
    const int64_t cpuStart = ThreadCpuNs();
    std::unique_lock<std::mutex> lock(m_lock);
    const uint32_t fps = m_start.settings.fps;
    // Later than this many frames, frames are given up and counted as lost, as a grabber whose
    // transfers fall behind loses them.
    const uint64_t maxBehind = fps / 2 + 1;
    while (!m_bStop && !LimitReachedLocked()) {
        const auto deadline = CSimCamera::ExposureTime(m_start.clockStart, fps, m_ullNextFrame);
        if (m_wake.wait_until(lock, deadline, [this] { return m_bStop; }))
            break;
        const auto now = CSimCamera::Clock::now();
        const uint64_t exposed = CSimCamera::FramesExposed(m_start.clockStart, fps, now);
        if (exposed > m_ullNextFrame + maxBehind) {
            const uint64_t skipped = exposed - maxBehind - m_ullNextFrame;
            m_llLost.fetch_add(static_cast<int64_t>(skipped));
            m_ullNextFrame += skipped;
        }
        while (!m_bStop && !LimitReachedLocked() &&
               CSimCamera::ExposureTime(m_start.clockStart, fps, m_ullNextFrame) <= now)
            DeliverLocked(m_ullNextFrame++);
    }
    if (LimitReachedLocked())
        LeaveCameraLocked();
    g_llAcquisitionCpuNs.fetch_add(ThreadCpuNs() - cpuStart);
}

} // namespace fgsim
