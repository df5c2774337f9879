#include "acquisition/CSequenceBase.h"

#include "acquisition/RuntimeLibraries.h"
#include "external/DebugSink.h"
#include "external/LumoInstance.h"

#include <system_error>

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
    : m_pLumo(instance), m_pFileModule(nullptr), m_pFrames(nullptr) {
    if (m_pLumo) {
        m_pFrames = m_pLumo->CreateImageObject();
        m_pFileModule = m_pLumo->CreateModule(LUMO_ID_FILE_WRITER);
    }
}

CSequenceBase::~CSequenceBase() {
    StopThread(); // a std::thread still held would end the process
    if (m_pLumo) {
        if (m_pFileModule)
            m_pLumo->DeleteModule(m_pFileModule);
        if (m_pFrames)
            m_pLumo->DeleteImage(CLumoObject::KIND_IMAGE, m_pFrames);
    }
}

uint64_t CSequenceBase::GetBufferCount() {
    CSequenceLock lock(*this);
    return m_pFrames ? m_pFrames->GetFrameCount() : 0;
}

uint64_t CSequenceBase::GetImageCount() {
    return GetBufferCount();
}

uint64_t CSequenceBase::GetImageFormat() {
    CSequenceLock lock(*this);
    return m_pFrames ? m_pFrames->GetFormat(nullptr) : 0;
}

const char* CSequenceBase::GetName() {
    return "Sequence base class";
}

uint32_t CSequenceBase::GetWidth() {
    CSequenceLock lock(*this);
    return m_pFrames ? m_pFrames->GetWidth() : 0;
}

uint32_t CSequenceBase::GetHeight() {
    CSequenceLock lock(*this);
    return m_pFrames ? m_pFrames->GetHeight() : 0;
}

bool CSequenceBase::InitImageIfRequired(uint32_t width, uint32_t height, CLumoImage* destination) {
    CSequenceLock lock(*this);
    if (!destination || !m_pFrames)
        return false;
    if (width == 0)
        width = GetWidth();
    if (height == 0)
        height = GetHeight();
    const uint64_t format = m_pFrames->GetFormat(nullptr);
    if (destination->GetWidth() == width && destination->GetHeight() == height &&
        destination->GetBitDepth() == m_pFrames->GetBitDepth() &&
        destination->GetFormat(nullptr) == format)
        return true;
    if (CDebugSink* log = GetLog())
        log->Log(1, "CSequenceBase::InitImageIfRequired: reinitializing destination image");
    if (destination->Allocate(width, height, format, 0, 1) != 0)
        return false;
    uint32_t x = 0;
    uint32_t y = 0;
    m_pFrames->GetOrigin(&x, &y);
    destination->SetOrigin(x, y);
    return true;
}

bool CSequenceBase::CopyToImage(int64_t physicalIndex, CLumoImage* destination, uint32_t initImage,
                                uint32_t /*blackOut*/) {
    CSequenceLock lock(*this);
    if (!m_pFrames || !destination || initImage == 0)
        return false;
    if (!InitImageIfRequired(0, 0, destination))
        return false;
    m_displayRate.AddSample(m_ullDisplayCounter.fetch_add(1));
    // A negative index becomes a frame number no image has, so the copy fails.
    return destination->CopyFrame(m_pFrames, static_cast<uint64_t>(physicalIndex), -1, 0, nullptr,
                                  0, 0) == 0;
}

bool CSequenceBase::CopyValidToImage(uint64_t index, CLumoImage* destination, uint32_t initImage,
                                     uint32_t blackOut) {
    return CopyToImage(static_cast<int64_t>(index), destination, initImage, blackOut);
}

bool CSequenceBase::ResetFrameStore() {
    if (!m_pLumo)
        return false;
    CSequenceLock lock(*this);
    if (m_pFrames)
        m_pLumo->DeleteImage(CLumoObject::KIND_IMAGE, m_pFrames);
    m_pFrames = m_pLumo->CreateImageObject();
    return m_pFrames != nullptr;
}

uint32_t CSequenceBase::WorkerThread() {
    return 0;
}

bool CSequenceBase::StartThread(ThreadEntry entry) {
    if (!entry || IsThreadRunning())
        return false;
    StopThread(); // reaps a thread whose body has returned
    std::lock_guard<std::mutex> guard(m_threadLock);
    if (m_hThread.joinable()) // another caller started one meanwhile
        return false;
    m_hStopEvent.Reset();
    m_bThreadEnded.store(false);
    try {
        // The default stack size: the 16 KiB of the original was a commit size, not a cap.
        m_hThread = std::thread([this, entry] {
            entry(this);
            m_bThreadEnded.store(true);
        });
    } catch (const std::system_error&) {
        m_bThreadEnded.store(true);
        return false;
    }
    return true;
}

void CSequenceBase::StopThread() {
    std::thread thread;
    {
        std::lock_guard<std::mutex> guard(m_threadLock);
        if (!m_hThread.joinable())
            return;
        thread = std::move(m_hThread);
    }
    m_hStopEvent.Set();
    if (thread.get_id() == std::this_thread::get_id())
        thread.detach(); // asked from inside the thread itself: it ends when its body returns
    else
        thread.join();
}

void CSequenceBase::SetLog(CDebugSink* log) {
    m_pLog.store(log);
}

void CSequenceBase::Lock() {
    m_hMutex.lock();
}

void CSequenceBase::Unlock() {
    m_hMutex.unlock();
}

void CSequenceBase::SetNotifyCallback(PFN_SequenceNotify callback, uint64_t context) {
    std::lock_guard<std::mutex> guard(m_notifyLock);
    m_pNotify = callback;
    m_ullNotifyContext = context;
}

void CSequenceBase::Notify(uint32_t code, int64_t value, bool synchronous) {
    PFN_SequenceNotify callback;
    uint64_t context;
    {
        std::lock_guard<std::mutex> guard(m_notifyLock);
        callback = m_pNotify;
        context = m_ullNotifyContext;
    }
    if (callback) // called outside the lock: the receiver may install another callback
        callback(context, code, value, synchronous);
}

bool CSequenceBase::HasNotifyCallback() {
    std::lock_guard<std::mutex> guard(m_notifyLock);
    return m_pNotify != nullptr;
}

bool CSequenceBase::InitImage(CLumoImage* destination) {
    CSequenceLock lock(*this);
    if (!m_pFrames || !destination)
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
    std::lock_guard<std::mutex> guard(m_threadLock);
    return m_hThread.joinable() && !m_bThreadEnded.load();
}

void CSequenceBase::Stop() {
    StopThread();
}

void CSequenceBase::DumpBuffers() {
    CDebugSink* log = GetLog();
    if (!log)
        return;
    CSequenceLock lock(*this);
    if (!m_pFrames)
        return;
    const uint64_t frames = m_pFrames->GetFrameCount();
    for (uint64_t i = 0; i < frames; ++i) {
        const void* data = m_pFrames->GetFrameData(0, static_cast<int64_t>(i), 0);
        log->Log(1, "Buffer %llu: 0x%016llX", static_cast<unsigned long long>(i),
                 static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(data)));
    }
}
