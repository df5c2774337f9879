// The trigger of a continuous grab: the newest whole frame becomes the trigger frame, the grab
// runs on for a share of the ring and the monitor then stops it, so the recording holds the
// frames before and after the event.
#include "acquisition/CCamera.h"

#include "external/DebugLog.h"

bool CCamera::CanTrigger() {
    return m_triggerState.load() == TriggerState::None && IsGrabberOpen() && m_bContinuous.load() &&
           !IsSaveBusy() && IsThreadRunning();
}

bool CCamera::Trigger(uint32_t postPercent) {
    if (postPercent > 100 || !CanTrigger())
        return false;
    const int64_t count = MonitorCount();
    if (count < 0)
        return false;
    const uint64_t buffers = m_ullFrameCount.load();
    // A stopped continuous grab offers B - 1 frames: B - 2 after the trigger frame put it first.
    const uint64_t post = buffers > 2 ? uint64_t{postPercent} * (buffers - 2) / 100 : 0;
    const uint64_t image = count > 0 ? static_cast<uint64_t>(count) : 1;
    m_ullTriggerImage.store(image);
    m_ullTriggerTarget.store(image + post);
    const std::optional<uint32_t> tag = count > 0 ? ImageTag(image) : std::nullopt;
    m_llTriggerTag.store(tag ? int64_t{*tag} : -1);
    m_triggerState.store(TriggerState::Pending); // last: the monitor reads the rest after it
    KAVRIN_LOG(GetLog(), 1, "CCamera::Trigger", "trigger at image %llu, stopping after image %llu",
               static_cast<unsigned long long>(image),
               static_cast<unsigned long long>(image + post));
    return true;
}

bool CCamera::IsTriggerPending() const {
    return m_triggerState.load() == TriggerState::Pending;
}

std::optional<uint32_t> CCamera::TriggerTag() const {
    const int64_t tag = m_llTriggerTag.load();
    if (tag < 0)
        return std::nullopt;
    return static_cast<uint32_t>(tag);
}

void CCamera::ClearTrigger() {
    m_triggerState.store(TriggerState::None);
    m_ullTriggerImage.store(0);
    m_ullTriggerTarget.store(0);
    m_llTriggerTag.store(-1);
}

void CCamera::DropPendingTrigger() {
    TriggerState pending = TriggerState::Pending;
    m_triggerState.compare_exchange_strong(pending, TriggerState::None);
}

bool CCamera::TriggerReached(int64_t count) {
    if (!IsTriggerPending() || count <= 0)
        return false;
    const auto images = static_cast<uint64_t>(count);
    const uint64_t image = m_ullTriggerImage.load();
    // Triggered before the first frame: its tag is read once it is in, while its buffer has
    // not come round again (the grabber may be writing the buffer after the newest).
    const uint64_t buffers = m_ullFrameCount.load();
    if (m_llTriggerTag.load() < 0 && images >= image && images - image + 1 < buffers) {
        if (const std::optional<uint32_t> tag = ImageTag(image))
            m_llTriggerTag.store(int64_t{*tag});
    }
    if (images < m_ullTriggerTarget.load())
        return false;
    StopWatchedAcquisition();
    m_triggerState.store(TriggerState::Fired);
    return true;
}

void CCamera::StopWatchedAcquisition() {
    m_session.StopAcquisition();
}

int64_t CCamera::GetTriggerIndex() {
    const uint64_t image = TriggerImage();
    return image == 0 ? -1 : LogicalIndexOfImage(image);
}

int64_t CCamera::LogicalIndexOfImage(uint64_t image) {
    CSequenceLock lock(*this);
    const uint64_t grabbed = m_ullGrabbedCount;
    const uint64_t buffers = GetBufferCount();
    if (image == 0 || buffers == 0 || image > grabbed || grabbed - image >= buffers)
        return -1; // not grabbed, or its buffer holds a later image now
    const auto physical = static_cast<int64_t>((image - 1) % buffers);
    const uint64_t count = GetImageCount(); // bounded by the field or the ring
    for (uint64_t i = 0; i < count; ++i) {
        if (GetPhysicalIndex(0, i) == physical)
            return static_cast<int64_t>(i);
    }
    return -1;
}
