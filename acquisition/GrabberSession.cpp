#include "acquisition/GrabberSession.h"

#include "external/DebugLog.h"

bool GrabberSession::Open(const char* applet, uint32_t boardIndex) {
    m_pGrabber = m_fg.Fg_Init(applet, boardIndex);
    return m_pGrabber != nullptr;
}

bool GrabberSession::AllocateHeader(uint64_t totalBytes, uint64_t count) {
    m_pMemHead = m_fg.Fg_AllocMemHead(m_pGrabber, totalBytes, count);
    return m_pMemHead != nullptr;
}

void GrabberSession::AddBuffer(void* data, uint64_t bytes, uint64_t index) {
    m_fg.Fg_AddMem(m_pGrabber, data, bytes, index, m_pMemHead);
}

void GrabberSession::SetParameter(int id, uint32_t value) {
    m_fg.Fg_setParameter(m_pGrabber, id, &value, 0);
}

bool GrabberSession::StartAcquisition(int64_t images) {
    return m_fg.Fg_AcquireEx(m_pGrabber, 0, images, FG_ACQUIRE_MODE, m_pMemHead) >= 0;
}

void GrabberSession::StopAcquisition() {
    m_fg.Fg_stopAcquireEx(m_pGrabber, 0, m_pMemHead, FG_STOP_FLAGS);
}

std::optional<int64_t> GrabberSession::Status(int id, int64_t data) const {
    if (!m_pGrabber || !m_fg.Fg_getStatusEx)
        return std::nullopt;
    return m_fg.Fg_getStatusEx(m_pGrabber, id, data, 0, m_pMemHead);
}

void GrabberSession::Release(CDebugSink* detachLog) {
    if (m_pMemHead) {
        KAVRIN_LOG(detachLog, 1, "CCamera::DetachFrameBuffers",
                   "Detaching framebuffers from grabber");
        m_fg.Fg_FreeMemHead(m_pGrabber, m_pMemHead);
        m_pMemHead = nullptr;
    }
    if (m_pGrabber) {
        KAVRIN_LOG(detachLog, 1, "CCamera::DetachFrameBuffers", "Closing grabber handle");
        m_fg.Fg_FreeGrabber(m_pGrabber);
        m_pGrabber = nullptr;
    }
}
