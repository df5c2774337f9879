#include "acquisition/CCamera.h"

#include "acquisition/RuntimeLibraries.h"
#include "external/DebugSink.h"
#include "external/LumoImage.h"
#include "platform/ShowMessage.h"

#include <algorithm>

namespace {

constexpr int64_t MONITOR_POLL_MS = 50;

void ShowError(const char* text) {
    platform::ShowMessage(text, "Error", platform::MessageButtons::Ok);
}

} // namespace

CCamera::CCamera(uint32_t width, uint64_t format, uint64_t grabberSlot)
    : CCamera(width, format, grabberSlot, TheSiliconAPI(), CurrentLumoInstance()) {}

CCamera::CCamera(uint32_t width, uint64_t format, uint64_t grabberSlot, CSiliconAPI& api,
                 CLumoInstance* instance)
    : CSequenceBase(instance), m_api(api), m_uWidth(width), m_ullFormat(format),
      m_ullGrabberSlot(grabberSlot) {}

CCamera::~CCamera() {
    DetachFrameBuffers();
    StopThread(); // the monitor calls into this object: it must end before the members go
}

void CCamera::Log(uint32_t level, const char* text) {
    if (CDebugSink* log = GetLog())
        log->Log(level, "%s", text);
}

int64_t CCamera::GetGrabbedCount() {
    if (!m_pGrabber || !Fg().Fg_getStatusEx)
        return 0;
    return Fg().Fg_getStatusEx(m_pGrabber, FG_STATUS_TRANSFERRED, 0, 0, m_pMemHead);
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
    return std::min(grabbed, buffers) - 1;
}

int64_t CCamera::GetPhysicalIndex(uint32_t /*channel*/, uint64_t index) {
    CSequenceLock lock(*this);
    const uint64_t grabbed = m_ullGrabbedCount;
    const uint64_t buffers = GetBufferCount();
    if (grabbed == 0 || buffers == 0 || index >= grabbed - 1 || index >= buffers - 1)
        return -1;
    if (grabbed < buffers)
        return static_cast<int64_t>(index);
    return static_cast<int64_t>(((grabbed % buffers) + index + 1) % buffers);
}

bool CCamera::CopyValidToImage(uint64_t index, CLumoImage* destination, uint32_t initImage,
                               uint32_t blackOut) {
    CSequenceLock lock(*this);
    const int64_t physical = GetPhysicalIndex(0, index);
    if (CDebugSink* log = GetLog())
        log->Log(1, "CCamera::CopyValidToImage: logical index = %llu, physical index = %lld",
                 static_cast<unsigned long long>(index), static_cast<long long>(physical));
    if (physical >= 0)
        return CopyToImage(physical, destination, initImage, blackOut);
    Log(0, "CCamera::CopyValidToImage: invalid physical index");
    if (blackOut == 0 || !destination) {
        Log(0, "CCamera::CopyValidToImage: -> leaving destination image unmodified!");
        return false;
    }
    Log(0, "CCamera::CopyValidToImage: -> blacking out destination image!");
    const uint32_t black[4] = {0, 0, 0, 0};
    // The walk follows the image's own description of its area; both counts are read again
    // after every pass.
    for (uint64_t group = 0; group < destination->GetAreaGroupCount(0); ++group) {
        for (uint64_t span = 0; span < destination->GetAreaSpanCount(group, 0); ++span) {
            destination->SetPixel(destination->GetAreaSpanA(group, span, 0),
                                  destination->GetAreaSpanB(group, span, 0),
                                  destination->GetAreaSpanC(group, span, 0), black, 4, -1, 0, 0);
        }
    }
    return true;
}

uint32_t CCamera::WorkerThread() {
    if (!m_pGrabber)
        return 0;
    const auto complete = [this](int64_t count) {
        return !m_bContinuous && static_cast<uint64_t>(count) >= m_ullFrameCount;
    };
    const auto newImages = [this](int64_t count) {
        if (count >= 0)
            m_grabRate.AddSample(static_cast<uint64_t>(count));
        StoreGrabbedCount(GetGrabbedCount());
        Notify(SEQ_NOTIFY_NEW_IMAGES, -1, false);
    };
    int64_t n = GetGrabbedCount();
    if (n > 0)
        newImages(n);
    while (!complete(n)) {
        if (StopEvent().Wait(MONITOR_POLL_MS)) {
            Notify(SEQ_NOTIFY_ENDED, 0, false);
            return 0;
        }
        const int64_t c = GetGrabbedCount();
        if (c != n) {
            newImages(c);
            n = c;
        }
    }
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
    if (m_bSaveBusy.load()) {
        StopThread();
        return;
    }
    if (!m_pGrabber)
        return;
    Log(1, "CCamera::Stop: stopping snap");
    Fg().Fg_stopAcquireEx(m_pGrabber, 0, m_pMemHead, FG_STOP_FLAGS);
    Log(1, "CCamera::Stop: stopping worker thread");
    StopThread();
    StoreGrabbedCount(GetGrabbedCount());
    if (CDebugSink* log = GetLog())
        log->Log(1, "CCamera::Stop: grabbed %llu images",
                 static_cast<unsigned long long>(GrabbedCount()));
    Detach(true);
}

void CCamera::DetachFrameBuffers() {
    Detach(false);
}

void CCamera::Detach(bool fromStop) {
    if (!m_pGrabber)
        return;
    if (!fromStop)
        Stop();
    if (!m_pGrabber)
        return;
    Log(1, "CCamera::DetachFrameBuffers: Detaching framebuffers from grabber");
    Fg().Fg_FreeMemHead(m_pGrabber, m_pMemHead);
    m_pMemHead = nullptr;
    Log(1, "CCamera::DetachFrameBuffers: Closing grabber handle");
    Fg().Fg_FreeGrabber(m_pGrabber);
    m_pGrabber = nullptr;
}

std::string CCamera::GetCCName(uint64_t line) {
    return "CC" + std::to_string(line + 1);
}

void CCamera::SetCCState(uint32_t bits) {
    m_uCCState = bits;
    if (!m_pGrabber)
        return;
    for (uint32_t line = 0; line < 4; ++line) {
        const uint32_t value = (bits >> line) & 1u ? 5 : 4;
        Fg().Fg_setParameter(m_pGrabber, FG_PARAM_CC1 + static_cast<int>(line), &value, 0);
    }
}

bool CCamera::FailPreparation() {
    if (m_pMemHead) {
        Fg().Fg_FreeMemHead(m_pGrabber, m_pMemHead);
        m_pMemHead = nullptr;
    }
    if (m_pGrabber) {
        Fg().Fg_FreeGrabber(m_pGrabber);
        m_pGrabber = nullptr;
    }
    ResetFrameStore();
    return false;
}

bool CCamera::PrepareFrameBuffers(uint64_t count) {
    if (!m_api.IsAvailable()) {
        Log(0, "CCamera::PrepareFrameBuffers: Silicon Software API not available");
        ShowError("Silicon Software API not available!");
        return false;
    }
    DetachFrameBuffers();
    if (m_ullGrabberSlot >= m_api.Boards().size()) {
        Log(0, "CCamera::PrepareFrameBuffers: Not enough boards available");
        ShowError("Not enugh boards available");
        return false;
    }
    const CSiliconAPI::BoardRecord board = m_api.Boards()[m_ullGrabberSlot];
    if (CDebugSink* log = GetLog())
        log->Log(1, "CCamera::PrepareFrameBuffers: Opening grabber with sysindex %d",
                 static_cast<int>(board.boardIndex));
    m_pGrabber = Fg().Fg_Init(board.appletFile.c_str(), board.boardIndex);
    if (!m_pGrabber) {
        Log(0, "CCamera::PrepareFrameBuffers: Could not open grabber");
        ShowError("Could not open grabber");
        return false;
    }
    if (CDebugSink* log = GetLog())
        log->Log(1,
                 "CCamera::PrepareFrameBuffers: trying to allocate %llu framebuffers with %ux%u "
                 "pixels",
                 static_cast<unsigned long long>(count), m_uWidth, m_uHeight);
    uint64_t frameBytes = 0;
    {
        CSequenceLock lock(*this);
        if (!m_pFrames || m_pFrames->Allocate(m_uWidth, m_uHeight, m_ullFormat, 0, count) != 0) {
            Log(0, "CCamera::PrepareFrameBuffers: Could not allocate frame buffer");
            ShowError("Could not allocate frame buffer");
            return FailPreparation();
        }
        m_pFrames->SetOrigin(m_uOriginX, m_uOriginY);
        frameBytes = m_pFrames->GetFrameSize();
    }
    Log(1, "CCamera::PrepareFrameBuffers: trying to allocate memory header");
    m_pMemHead = Fg().Fg_AllocMemHead(m_pGrabber, frameBytes * count, count);
    if (!m_pMemHead) {
        Log(0, "CCamera::PrepareFrameBuffers: Could not allocate memory header");
        ShowError("Could not allocate memory header");
        Notify(SEQ_NOTIFY_BUFFERS, 1, true);
        return FailPreparation();
    }
    {
        CSequenceLock lock(*this);
        for (uint64_t i = 0; i < count; ++i)
            Fg().Fg_AddMem(m_pGrabber, m_pFrames->GetFrameData(0, static_cast<int64_t>(i), 0),
                           frameBytes, i, m_pMemHead);
    }
    const uint32_t parameters[3][2] = {
        {FG_PARAM_WIDTH, m_uWidth}, {FG_PARAM_HEIGHT, m_uHeight}, {FG_PARAM_11011, 310}};
    for (const auto& parameter : parameters)
        Fg().Fg_setParameter(m_pGrabber, static_cast<int>(parameter[0]), &parameter[1], 0);
    m_ullFrameCount = count;
    CCamera::SetCCState(15);
    Notify(SEQ_NOTIFY_BUFFERS, 1, true);
    return true;
}

bool CCamera::StartSnap(bool continuous) {
    if (!m_pGrabber)
        return false;
    m_grabRate.Reset();
    StoreGrabbedCount(0);
    const int64_t images = continuous ? FG_ACQUIRE_ENDLESS : static_cast<int64_t>(m_ullFrameCount);
    if (Fg().Fg_AcquireEx(m_pGrabber, 0, images, FG_ACQUIRE_MODE, m_pMemHead) < 0) {
        Log(0, "CCamera::StartSnap: Fg_AcquireEx failed");
        return false;
    }
    m_bContinuous = continuous;
    if (!HasNotifyCallback())
        return true;
    if (StartThread(&CSequenceBase::WorkerThreadProc))
        return true;
    Fg().Fg_stopAcquireEx(m_pGrabber, 0, m_pMemHead, FG_STOP_FLAGS);
    StoreGrabbedCount(GetGrabbedCount());
    Log(0, "CCamera::StartSnap: Creating worker thread failed");
    return false;
}

int64_t CCamera::GetLostImages(uint32_t /*channel*/) {
    if (m_pGrabber && Fg().Fg_getStatusEx) {
        const int64_t lost = Fg().Fg_getStatusEx(m_pGrabber, FG_STATUS_LOST, 1, 0, m_pMemHead);
        if (lost >= 0)
            return lost;
    }
    return GetLostImagesFromTags();
}
