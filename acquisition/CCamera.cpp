#include "acquisition/CCamera.h"

#include "acquisition/BlackOut.h"
#include "acquisition/RuntimeLibraries.h"
#include "external/DebugLog.h"
#include "external/LumoImage.h"
#include "platform/ShowMessage.h"

#include <algorithm>
#include <ctime>

namespace {

// Short enough that the live display can show a new frame at every refresh of a 60-100 Hz
// monitor: the newest frame the view can show is the one the monitor counted last.
constexpr int64_t MONITOR_POLL_MS = 10;
// While a trigger is pending: few frames arrive between the target and the stop.
constexpr int64_t TRIGGER_POLL_MS = 1;
// How long the status read may fail in a row before the monitor stops watching.
constexpr int64_t MONITOR_STATUS_FAILURE_MS = 1000;

// The ring mapping at grabbed count `grabbed`: `held` buffers are left out (1 by the ring rule,
// 0 after a completed single sequence).
int64_t RingBuffer(uint64_t grabbed, uint64_t buffers, uint64_t index, uint64_t held) {
    if (grabbed == 0 || buffers == 0 || index + held >= grabbed || index + held >= buffers)
        return -1;
    if (grabbed < buffers)
        return static_cast<int64_t>(index);
    return static_cast<int64_t>(((grabbed % buffers) + index + held) % buffers);
}

void ShowError(const char* text) {
    platform::ShowMessage(text, "Error", platform::MessageButtons::Ok);
}

} // namespace

CCamera::CCamera(uint32_t width, uint64_t format, uint64_t grabberSlot)
    : CCamera(width, format, grabberSlot, TheSiliconAPI(), CurrentLumoInstance()) {}

CCamera::CCamera(uint32_t width, uint64_t format, uint64_t grabberSlot, CSiliconAPI& api,
                 CLumoInstance* instance)
    : CSequenceBase(instance), m_api(api), m_uWidth(width), m_ullFormat(format),
      m_ullGrabberSlot(grabberSlot), m_session(api.Functions()) {}

CCamera::~CCamera() {
    // CCamera's own Stop (the table is this class's here): a save's thread, or the grab with
    // its monitor, ends before this part's members go.
    CCamera::Stop();
    DetachFrameBuffers();
}

int64_t CCamera::GetGrabbedCount() {
    const std::optional<int64_t> status = m_session.Status(FG_STATUS_TRANSFERRED, 0);
    if (!status)
        return 0;
    if (*status < 0)
        m_bStatusFailed.store(true);
    return *status;
}

uint64_t CCamera::GrabbedCount() {
    CSequenceLock lock(*this);
    return m_ullGrabbedCount;
}

void CCamera::StoreGrabbedCount(int64_t count) {
    if (count < 0)
        return; // the status is not available: the last known count stands
    CSequenceLock lock(*this);
    m_ullGrabbedCount = static_cast<uint64_t>(count);
}

uint64_t CCamera::GetValidCount(uint32_t /*channel*/) {
    CSequenceLock lock(*this);
    const uint64_t buffers = GetBufferCount();
    const uint64_t grabbed = m_ullGrabbedCount;
    if (buffers == 0 || grabbed == 0)
        return 0;
    if (m_bRingComplete)
        return std::min(grabbed, buffers);
    return std::min(grabbed, buffers) - 1;
}

int64_t CCamera::GetPhysicalIndex(uint32_t /*channel*/, uint64_t index) {
    CSequenceLock lock(*this);
    // The ring rule leaves one buffer out (the newest before the ring wrapped, the oldest
    // after); a completed single sequence leaves none out.
    return RingBuffer(m_ullGrabbedCount, GetBufferCount(), index, m_bRingComplete ? 0 : 1);
}

bool CCamera::CopyValidToImage(uint64_t index, CLumoImage* destination, uint32_t initImage,
                               uint32_t blackOut) {
    CSequenceLock lock(*this);
    if (IsGrabberOpen())
        return CopyLive(index, destination, initImage, blackOut);
    // The physical index < 0 here is what IsGapFrame tests.
    const int64_t physical = GetPhysicalIndex(0, index);
    KAVRIN_LOG(GetLog(), 1, "CCamera::CopyValidToImage",
               "logical index = %llu, physical index = %lld",
               static_cast<unsigned long long>(index), static_cast<long long>(physical));
    if (physical >= 0)
        return CopyToImage(physical, destination, initImage, blackOut);
    return CopyMissing(destination, blackOut);
}

bool CCamera::CopyLive(uint64_t index, CLumoImage* destination, uint32_t initImage,
                       uint32_t blackOut) {
    for (int attempt = 0; attempt < LIVE_COPY_ATTEMPTS; ++attempt) {
        LiveFrame frame;
        const bool found = PickLiveFrame(index, frame);
        KAVRIN_LOG(GetLog(), 1, "CCamera::CopyValidToImage",
                   "logical index = %llu, physical index = %lld",
                   static_cast<unsigned long long>(index), static_cast<long long>(frame.physical));
        if (!found)
            return CopyMissing(destination, blackOut);
        if (!CopyToImage(frame.physical, destination, initImage, blackOut))
            return false;
        if (LiveFrameWhole(frame))
            return true;
        KAVRIN_LOG(GetLog(), 1, "CCamera::CopyValidToImage",
                   "the grabber overwrote buffer %lld during the copy",
                   static_cast<long long>(frame.physical));
    }
    return false;
}

bool CCamera::PickLiveFrame(uint64_t index, LiveFrame& frame) {
    CSequenceLock lock(*this);
    const int64_t status = GetGrabbedCount();
    // A status that cannot be read leaves the count the monitor recorded last.
    const uint64_t grabbed = status >= 0 ? static_cast<uint64_t>(status) : m_ullGrabbedCount;
    const uint64_t buffers = GetBufferCount();
    frame.physical = RingBuffer(grabbed, buffers, index, 1);
    if (frame.physical < 0)
        return false;
    // Logical 0 is image 1 before the ring wrapped, image grabbed - buffers + 2 after.
    frame.image = grabbed < buffers ? index + 1 : grabbed - buffers + 2 + index;
    frame.tagged = ReadBufferHeader(frame.physical, frame.header) && frame.header.HasMagic();
    return true;
}

bool CCamera::LiveFrameWhole(const LiveFrame& frame) {
    CSequenceLock lock(*this);
    // The grabber writes image k into buffer (k - 1) mod B: it comes back to this buffer with
    // image `image` + B, which it writes once image `image` + B - 1 is transferred.
    const int64_t grabbed = GetGrabbedCount();
    if (grabbed >= 0 && static_cast<uint64_t>(grabbed) + 1 >= frame.image + GetBufferCount())
        return false;
    if (!frame.tagged)
        return true;
    FrameHeader now;
    return ReadBufferHeader(frame.physical, now) && now.HasMagic() && now.tag == frame.header.tag;
}

bool CCamera::ReadBufferHeader(int64_t physical, FrameHeader& header) {
    CSequenceLock lock(*this);
    CLumoImage* frames = Frames();
    if (!frames || physical < 0)
        return false;
    return ReadFrameHeader(frames->GetFrameData(0, physical, 0), frames->GetFrameSize(), header);
}

bool CCamera::CopyMissing(CLumoImage* destination, uint32_t blackOut) {
    KAVRIN_LOG(GetLog(), 0, "CCamera::CopyValidToImage", "invalid physical index");
    if (blackOut == 0 || !destination) {
        KAVRIN_LOG(GetLog(), 0, "CCamera::CopyValidToImage",
                   "-> leaving destination image unmodified!");
        return false;
    }
    KAVRIN_LOG(GetLog(), 0, "CCamera::CopyValidToImage", "-> blacking out destination image!");
    BlackOut(*destination);
    return true;
}

bool CCamera::GrabComplete(int64_t count) {
    // A failed status (negative) is not a count: it never completes a grab.
    if (count < 0)
        return false;
    if (m_bContinuous.load())
        return TriggerReached(count);
    return static_cast<uint64_t>(count) >= m_ullFrameCount.load();
}

void CCamera::RefreshGrab(int64_t count) {
    m_grabRate.AddSample(static_cast<uint64_t>(count));
    StoreMonitorCounts();
    Notify(SEQ_NOTIFY_NEW_IMAGES, -1, false);
}

int64_t CCamera::ReadMonitorCount() {
    const int64_t count = MonitorCount();
    if (count < 0)
        m_bStatusFailed.store(true);
    return count;
}

int64_t CCamera::MonitorPollMs() const {
    return IsTriggerPending() ? TRIGGER_POLL_MS : MONITOR_POLL_MS;
}

uint32_t CCamera::WorkerThread() {
    if (!IsGrabberOpen())
        return 0;
    int64_t n = ReadMonitorCount();
    if (n > 0)
        RefreshGrab(n);
    int64_t failedMs = 0;
    while (!GrabComplete(n)) {
        const int64_t poll = MonitorPollMs();
        if (StopEvent().Wait(poll)) {
            DropPendingTrigger();
            Notify(SEQ_NOTIFY_ENDED, 0, false);
            return 0;
        }
        const int64_t c = ReadMonitorCount();
        if (c < 0) {
            if ((failedMs += poll) >= MONITOR_STATUS_FAILURE_MS)
                break; // the grab cannot be watched: it ends as a complete one does
            continue;
        }
        failedMs = 0;
        if (c != n) {
            RefreshGrab(c);
            n = c;
        }
    }
    DropPendingTrigger(); // a grab that cannot be watched cannot be triggered either
    if (n >= 0)
        m_grabRate.AddSample(static_cast<uint64_t>(n));
    Notify(SEQ_NOTIFY_ENDED, 0, false);
    StopEvent().Wait(-1);
    return 0;
}

void CCamera::ResetFrameRate(uint64_t which) {
    if (which == 1)
        m_grabRate.Reset();
    else if (which == 0)
        CSequenceBase::ResetFrameRate(0);
}

double CCamera::GetFrameRate(uint64_t which) {
    if (which == 1)
        return m_grabRate.GetRate();
    if (which == 0)
        return CSequenceBase::GetFrameRate(0);
    return 0.0;
}

void CCamera::Stop() {
    if (IsSaveBusy()) {
        StopThread();
        return;
    }
    StopGrab();
}

void CCamera::StopGrab() {
    if (!IsGrabberOpen())
        return;
    KAVRIN_LOG(GetLog(), 1, "CCamera::Stop", "stopping snap");
    m_session.StopAcquisition();
    KAVRIN_LOG(GetLog(), 1, "CCamera::Stop", "stopping worker thread");
    StopThread();
    StoreGrabbedCount(GetGrabbedCount());
    MarkRingComplete();
    KAVRIN_LOG(GetLog(), 1, "CCamera::Stop", "grabbed %llu images",
               static_cast<unsigned long long>(GrabbedCount()));
    Detach(true);
}

void CCamera::MarkRingComplete() {
    CSequenceLock lock(*this);
    // A single sequence ends by itself once the grabber transferred an image into every
    // buffer; every buffer then holds a whole frame. A continuous grab, also one a trigger
    // stopped, keeps the ring rule: the grabber may have begun overwriting its oldest buffer
    // when it stopped.
    const uint64_t buffers = m_ullFrameCount.load();
    m_bRingComplete = !m_bContinuous.load() && buffers != 0 && m_ullGrabbedCount >= buffers;
}

void CCamera::ClearRingComplete() {
    CSequenceLock lock(*this);
    m_bRingComplete = false;
}

void CCamera::DetachFrameBuffers() {
    Detach(false);
}

void CCamera::Detach(bool fromStop) {
    if (!IsGrabberOpen())
        return;
    if (!fromStop)
        Stop();
    // Under the sequence mutex: a live copy on another thread reads the grabber's count.
    CSequenceLock lock(*this);
    m_session.Release(GetLog());
}

std::string CCamera::GetCCName(uint64_t line) {
    return "CC" + std::to_string(line + 1);
}

void CCamera::SetCCState(uint32_t bits) {
    m_uCCState = bits;
    if (!IsGrabberOpen())
        return;
    for (uint32_t line = 0; line < 4; ++line)
        m_session.SetParameter(FG_PARAM_CC1 + static_cast<int>(line), (bits >> line) & 1u ? 5 : 4);
}

bool CCamera::FailPreparation() {
    CSequenceLock lock(*this); // as in Detach
    m_session.Release(nullptr);
    (void)ResetFrameStore(); // without a library instance there is no frame memory to free
    return false;
}

bool CCamera::OpenBoard() {
    if (m_ullGrabberSlot >= m_api.Boards().size()) {
        KAVRIN_LOG(GetLog(), 0, "CCamera::PrepareFrameBuffers", "Not enough boards available");
        ShowError("Not enugh boards available");
        return false;
    }
    const CSiliconAPI::BoardRecord board = m_api.Boards()[m_ullGrabberSlot];
    KAVRIN_LOG(GetLog(), 1, "CCamera::PrepareFrameBuffers", "Opening grabber with sysindex %d",
               static_cast<int>(board.boardIndex));
    bool opened = false;
    {
        CSequenceLock lock(*this); // as in Detach
        opened = m_session.Open(board.appletFile.c_str(), board.boardIndex);
    }
    if (!opened) {
        KAVRIN_LOG(GetLog(), 0, "CCamera::PrepareFrameBuffers", "Could not open grabber");
        ShowError("Could not open grabber");
        return false;
    }
    return true;
}

bool CCamera::AllocateRing(uint64_t count, uint64_t& frameBytes) {
    KAVRIN_LOG(GetLog(), 1, "CCamera::PrepareFrameBuffers",
               "trying to allocate %llu framebuffers with %ux%u pixels",
               static_cast<unsigned long long>(count), m_uWidth, m_uHeight);
    CSequenceLock lock(*this);
    CLumoImage* frames = Frames();
    if (!frames || frames->Allocate(m_uWidth, m_uHeight, m_ullFormat, 0, count) != 0) {
        KAVRIN_LOG(GetLog(), 0, "CCamera::PrepareFrameBuffers", "Could not allocate frame buffer");
        ShowError("Could not allocate frame buffer");
        return FailPreparation();
    }
    frames->SetOrigin(m_uOriginX, m_uOriginY);
    frameBytes = frames->GetFrameSize();
    return true;
}

bool CCamera::RegisterRing(uint64_t count, uint64_t frameBytes) {
    KAVRIN_LOG(GetLog(), 1, "CCamera::PrepareFrameBuffers", "trying to allocate memory header");
    bool allocated = false;
    {
        CSequenceLock lock(*this); // as in Detach
        allocated = m_session.AllocateHeader(frameBytes * count, count);
    }
    if (!allocated) {
        KAVRIN_LOG(GetLog(), 0, "CCamera::PrepareFrameBuffers", "Could not allocate memory header");
        ShowError("Could not allocate memory header");
        Notify(SEQ_NOTIFY_BUFFERS, 1, true);
        return FailPreparation();
    }
    CSequenceLock lock(*this);
    CLumoImage* frames = Frames();
    for (uint64_t i = 0; i < count; ++i)
        m_session.AddBuffer(frames->GetFrameData(0, static_cast<int64_t>(i), 0), frameBytes, i);
    return true;
}

bool CCamera::PrepareFrameBuffers(uint64_t count) {
    if (!m_api.IsAvailable()) {
        KAVRIN_LOG(GetLog(), 0, "CCamera::PrepareFrameBuffers",
                   "Silicon Software API not available");
        ShowError("Silicon Software API not available!");
        return false;
    }
    DetachFrameBuffers();
    uint64_t frameBytes = 0;
    if (!OpenBoard() || !AllocateRing(count, frameBytes) || !RegisterRing(count, frameBytes))
        return false;
    m_session.SetParameter(FG_PARAM_WIDTH, m_uWidth);
    m_session.SetParameter(FG_PARAM_HEIGHT, m_uHeight);
    m_session.SetParameter(FG_PARAM_11011, 310);
    m_ullFrameCount.store(count);
    ClearRingComplete();
    CCamera::SetCCState(15);
    Notify(SEQ_NOTIFY_BUFFERS, 1, true);
    return true;
}

bool CCamera::StartSnap(bool continuous) {
    if (!IsGrabberOpen())
        return false;
    ClearTrigger();
    m_grabRate.Reset();
    StoreGrabbedCount(0);
    ClearRingComplete();
    m_bStatusFailed.store(false);
    const int64_t images =
        continuous ? FG_ACQUIRE_ENDLESS : static_cast<int64_t>(m_ullFrameCount.load());
    if (!m_session.StartAcquisition(images)) {
        KAVRIN_LOG(GetLog(), 0, "CCamera::StartSnap", "Fg_AcquireEx failed");
        return false;
    }
    m_bContinuous.store(continuous);
    m_llGrabStart.store(static_cast<int64_t>(std::time(nullptr)));
    if (!HasNotifyCallback())
        return true;
    if (StartThread(&CSequenceBase::WorkerThreadProc))
        return true;
    m_session.StopAcquisition();
    StoreGrabbedCount(GetGrabbedCount());
    KAVRIN_LOG(GetLog(), 0, "CCamera::StartSnap", "Creating worker thread failed");
    return false;
}

int64_t CCamera::GetLostImages(uint32_t /*channel*/) {
    const std::optional<int64_t> lost = m_session.Status(FG_STATUS_LOST, 1);
    if (lost && *lost >= 0)
        return *lost;
    return GetLostImagesFromTags();
}

bool CCamera::IsGapFrame(uint64_t index) {
    return GetPhysicalIndex(0, index) < 0;
}

bool CCamera::GetRecordingInfo(framerecord::RecordingInfo& out) {
    out = framerecord::RecordingInfo{};
    out.camera = GetName();
    out.format = GetImageFormat();
    out.width = GetWidth();
    out.height = GetHeight();
    out.nominalFps = GetNominalFrameRate();
    out.measuredFps = GetFrameRate(1);
    if (const int64_t start = m_llGrabStart.load(); start != 0)
        out.startUtc = framerecord::UtcText(start);
    out.buffers = GetBufferCount();
    out.frames = GetImageCount();
    const uint32_t channels = GetChannelCount();
    for (uint32_t channel = 0; channel < channels && channel < framerecord::MAX_CHANNELS; ++channel)
        out.lost.push_back(GetLostImages(channel));
    if (const int64_t trigger = GetTriggerIndex(); trigger >= 0)
        out.triggerIndex = static_cast<uint64_t>(trigger);
    return true;
}

bool CCamera::GetFrameRecord(uint64_t index, framerecord::FrameEntry& out) {
    out.lost = IsGapFrame(index);
    out.tag = RecordedTag(index); // a frame lost on one channel still tells its tag
    return true;
}
