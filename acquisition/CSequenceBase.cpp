#include "acquisition/CSequenceBase.h"

#include "acquisition/RuntimeLibraries.h"
#include "external/DebugLog.h"
#include "external/LumoInstance.h"

uint32_t CSequenceBase::SaveSequenceThreadProc(CSequenceBase* sequence) {
    return sequence->SaveSequenceThread();
}

uint32_t CSequenceBase::SaveImageThreadProc(CSequenceBase* sequence) {
    return sequence->SaveImageThread();
}

uint32_t CSequenceBase::WorkerThreadProc(CSequenceBase* sequence) {
    return sequence->WorkerThread();
}

CSequenceBase::CSequenceBase() : CSequenceBase(CurrentLumoInstance()) {}

CSequenceBase::CSequenceBase(CLumoInstance* instance)
    : m_pLumo(instance), m_frames(MakeLumoImage(instance)),
      m_fileModule(MakeLumoModule(instance, LUMO_ID_FILE_WRITER)) {}

CSequenceBase::~CSequenceBase() {
    if (m_thread.IsRunning()) {
        // The derived parts the body may use are gone already: this is a bug of the owner.
        KAVRIN_LOG(GetLog(), 0, "CSequenceBase::~CSequenceBase",
                   "the sequence's thread still runs; stopping it");
        m_thread.Stop();
    }
}

uint64_t CSequenceBase::GetBufferCount() {
    CSequenceLock lock(*this);
    return m_frames ? m_frames->GetFrameCount() : 0;
}

uint64_t CSequenceBase::GetImageCount() {
    return GetBufferCount();
}

uint64_t CSequenceBase::GetImageFormat() {
    CSequenceLock lock(*this);
    return m_frames ? m_frames->GetFormat(nullptr) : 0;
}

const char* CSequenceBase::GetName() {
    return "Sequence base class";
}

uint32_t CSequenceBase::GetWidth() {
    CSequenceLock lock(*this);
    return m_frames ? m_frames->GetWidth() : 0;
}

uint32_t CSequenceBase::GetHeight() {
    CSequenceLock lock(*this);
    return m_frames ? m_frames->GetHeight() : 0;
}

bool CSequenceBase::InitImageIfRequired(uint32_t width, uint32_t height, CLumoImage* destination) {
    CSequenceLock lock(*this);
    if (!destination || !m_frames)
        return false;
    if (width == 0)
        width = GetWidth();
    if (height == 0)
        height = GetHeight();
    const uint64_t format = m_frames->GetFormat(nullptr);
    if (destination->GetWidth() == width && destination->GetHeight() == height &&
        destination->GetBitDepth() == m_frames->GetBitDepth() &&
        destination->GetFormat(nullptr) == format)
        return true;
    KAVRIN_LOG(GetLog(), 1, "CSequenceBase::InitImageIfRequired",
               "reinitializing destination image");
    if (destination->Allocate(width, height, format, 0, 1) != 0)
        return false;
    uint32_t x = 0;
    uint32_t y = 0;
    m_frames->GetOrigin(&x, &y);
    destination->SetOrigin(x, y);
    return true;
}

void CSequenceBase::CountDisplayedFrame() {
    m_displayRate.AddSample(m_ullDisplayCounter.fetch_add(1));
}

bool CSequenceBase::CopyToImage(int64_t physicalIndex, CLumoImage* destination, uint32_t initImage,
                                uint32_t /*blackOut*/) {
    CSequenceLock lock(*this);
    if (!m_frames || !destination || initImage == 0)
        return false;
    if (!InitImageIfRequired(0, 0, destination))
        return false;
    CountDisplayedFrame();
    // A negative index becomes a frame number no image has, so the copy fails.
    return destination->CopyFrame(m_frames.get(), static_cast<uint64_t>(physicalIndex), -1, 0,
                                  nullptr, 0, 0) == 0;
}

bool CSequenceBase::CopyValidToImage(uint64_t index, CLumoImage* destination, uint32_t initImage,
                                     uint32_t blackOut) {
    return CopyToImage(static_cast<int64_t>(index), destination, initImage, blackOut);
}

bool CSequenceBase::ResetFrameStore() {
    if (!m_pLumo)
        return false;
    CSequenceLock lock(*this);
    m_frames.reset(); // the old frames go before the new object is made
    m_frames = MakeLumoImage(m_pLumo);
    return m_frames != nullptr;
}

uint32_t CSequenceBase::WorkerThread() {
    return 0;
}

bool CSequenceBase::StartThread(ThreadEntry entry) {
    if (!entry)
        return false;
    return m_thread.Start([this, entry] { entry(this); });
}

void CSequenceBase::StopThread() {
    m_thread.Stop();
}

void CSequenceBase::SetLog(CDebugSink* log) {
    m_pLog.store(log);
}

void CSequenceBase::Lock() {
    m_mutex.lock();
}

void CSequenceBase::Unlock() {
    m_mutex.unlock();
}

void CSequenceBase::SetNotifyCallback(PFN_SequenceNotify callback, uint64_t context) {
    platform::MutexLock guard(m_notifyLock);
    m_pNotify = callback;
    m_ullNotifyContext = context;
}

void CSequenceBase::Notify(uint32_t code, int64_t value, bool synchronous) {
    PFN_SequenceNotify callback;
    uint64_t context;
    {
        platform::MutexLock guard(m_notifyLock);
        callback = m_pNotify;
        context = m_ullNotifyContext;
    }
    if (callback) // called outside the lock: the receiver may install another callback
        callback(context, code, value, synchronous);
}

bool CSequenceBase::HasNotifyCallback() {
    platform::MutexLock guard(m_notifyLock);
    return m_pNotify != nullptr;
}

bool CSequenceBase::InitImage(CLumoImage* destination) {
    CSequenceLock lock(*this);
    if (!m_frames || !destination)
        return false;
    return InitImageIfRequired(0, 0, destination);
}

void CSequenceBase::ResetFrameRate(uint64_t which) {
    if (which != 0)
        return;
    m_ullDisplayCounter.store(0);
    m_displayRate.Reset();
}

double CSequenceBase::GetFrameRate(uint64_t which) {
    return which == 0 ? m_displayRate.GetRate() : 0.0;
}

bool CSequenceBase::IsThreadRunning() {
    return m_thread.IsRunning();
}

void CSequenceBase::Stop() {
    StopThread();
}

void CSequenceBase::DumpBuffers() {
    CDebugSink* log = GetLog();
    if (!log)
        return;
    CSequenceLock lock(*this);
    if (!m_frames)
        return;
    const uint64_t frames = m_frames->GetFrameCount();
    for (uint64_t i = 0; i < frames; ++i) {
        const void* data = m_frames->GetFrameData(0, static_cast<int64_t>(i), 0);
        log->Log(1, "Buffer %llu: 0x%016llX", static_cast<unsigned long long>(i),
                 static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(data)));
    }
}

bool CSequenceBase::GetRecordingInfo(framerecord::RecordingInfo& /*out*/) {
    return false;
}

bool CSequenceBase::GetFrameRecord(uint64_t /*index*/, framerecord::FrameEntry& /*out*/) {
    return false;
}
