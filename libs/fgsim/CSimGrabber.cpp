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
    platform::MutexLock guard(m_lock);
    m_heads.push_back(std::move(head));
    return m_heads.back().get();
}

CSimGrabber::MemHead* CSimGrabber::FindHeadLocked(const void* header) const {
    for (const auto& head : m_heads) {
        if (head.get() == header)
            return head.get();
    }
    return nullptr;
}

bool CSimGrabber::FreeMemHead(void* header) {
    bool acquiringInto = false;
    {
        platform::MutexLock guard(m_lock);
        if (!FindHeadLocked(header))
            return false;
        acquiringInto = m_pHead == header;
    }
    if (acquiringInto)
        StopAcquire();
    platform::MutexLock guard(m_lock);
    std::erase_if(m_heads, [&](const auto& head) { return head.get() == header; });
    return true;
}

bool CSimGrabber::AddMem(void* header, void* buffer, uint64_t bytes, uint64_t index) {
    platform::MutexLock guard(m_lock);
    MemHead* head = FindHeadLocked(header);
    if (!head || index >= head->slots.size())
        return false;
    head->slots[index] = Slot{static_cast<uint8_t*>(buffer), buffer ? bytes : 0};
    return true;
}

bool CSimGrabber::SetParameter(int id, uint32_t value) {
    if (!IsKnownParameter(id))
        return false;
    platform::MutexLock guard(m_lock);
    m_parameters[id] = value;
    return true;
}

std::optional<uint32_t> CSimGrabber::GetParameter(int id) const {
    if (!IsKnownParameter(id))
        return std::nullopt;
    platform::MutexLock guard(m_lock);
    return ParameterLocked(id);
}

uint32_t CSimGrabber::ParameterLocked(int id) const {
    const auto it = m_parameters.find(id);
    return it == m_parameters.end() ? 0u : it->second;
}

bool CSimGrabber::Acquire(void* header, int64_t count, char channel, const EnvLookup& lookup) {
    bool endPrevious = false;
    {
        platform::MutexLock guard(m_lock);
        if (count == 0 || count < -1 || (m_bAcquiring && !LimitReachedLocked()))
            return false;
        endPrevious = m_bAcquiring || m_thread.joinable(); // a count-limited acquisition ended
    }
    if (endPrevious)
        StopAcquire();
    platform::MutexLock guard(m_lock);
    MemHead* head = FindHeadLocked(header);
    if (!head || m_bAcquiring)
        return false;
    StartLocked(head, count, channel, lookup);
    if (m_start.settings.fps != 0)
        m_thread = std::thread([this] { Run(); });
    return true;
}

void CSimGrabber::StartLocked(MemHead* head, int64_t count, char channel, const EnvLookup& lookup) {
    m_start = m_camera.Join(lookup);
    m_bJoined = true;
    m_bAcquiring = true;
    m_bStop.store(false, std::memory_order_release);
    m_pHead = head;
    m_llLimit = count;
    m_ullNextFrame = m_start.firstFrame;
    m_ullRingPos = 0;
    m_cChannel = m_start.settings.swap ? (channel == 'L' ? 'R' : 'L') : channel;
    m_llTransferred.store(0, std::memory_order_release);
    m_llLost.store(0);
    m_bNoLost.store(m_start.settings.noLost);
    m_pPattern = std::make_unique<FramePattern>(RowBytesLocked(head->slots[0].ullBytes));
}

uint64_t CSimGrabber::RowBytesLocked(uint64_t bufferBytes) const {
    const uint32_t height = ParameterLocked(200);
    if (height != 0 && bufferBytes != 0 && bufferBytes % height == 0)
        return bufferBytes / height;
    return ParameterLocked(100);
}

void CSimGrabber::StopAcquire() {
    // First the flag, then the lock: the acquisition thread sees the flag before its next
    // frame and gives the lock up, however far behind the camera it is.
    m_bStop.store(true, std::memory_order_release);
    std::thread thread;
    {
        platform::MutexLock guard(m_lock);
        thread = std::move(m_thread);
    }
    m_wake.notify_all();
    if (thread.joinable())
        thread.join();
    platform::MutexLock guard(m_lock);
    m_bAcquiring = false;
    m_pHead = nullptr;
    LeaveCameraLocked();
}

int64_t CSimGrabber::Lost() const {
    return m_bNoLost.load() ? -1 : m_llLost.load();
}

int64_t CSimGrabber::Step(uint64_t frames) {
    platform::MutexLock guard(m_lock);
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

void CSimGrabber::CatchUpLocked(CSimCamera::Clock::time_point now) {
    const uint32_t fps = m_start.settings.fps;
    // Later than this many frames, frames are given up and counted as lost, as a grabber whose
    // transfers fall behind loses them.
    const uint64_t maxBehind = fps / 2 + 1;
    const uint64_t exposed = CSimCamera::FramesExposed(m_start.clockStart, fps, now);
    if (exposed > m_ullNextFrame + maxBehind) {
        const uint64_t skipped = exposed - maxBehind - m_ullNextFrame;
        m_llLost.fetch_add(static_cast<int64_t>(skipped));
        m_ullNextFrame += skipped;
    }
    while (!StopAsked() && !LimitReachedLocked() &&
           CSimCamera::ExposureTime(m_start.clockStart, fps, m_ullNextFrame) <= now)
        DeliverLocked(m_ullNextFrame++);
}

void CSimGrabber::Run() {
    const int64_t cpuStart = ThreadCpuNs();
    {
        platform::MutexLock guard(m_lock);
        while (!StopAsked() && !LimitReachedLocked()) {
            const auto deadline =
                CSimCamera::ExposureTime(m_start.clockStart, m_start.settings.fps, m_ullNextFrame);
            if (m_wake.wait_until(m_lock, deadline, [this] { return StopAsked(); }))
                break;
            CatchUpLocked(CSimCamera::Clock::now());
        }
        if (LimitReachedLocked())
            LeaveCameraLocked();
    }
    g_llAcquisitionCpuNs.fetch_add(ThreadCpuNs() - cpuStart);
}

} // namespace fgsim
