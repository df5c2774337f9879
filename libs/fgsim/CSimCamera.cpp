#include "libs/fgsim/CSimCamera.h"

#include <algorithm>

namespace fgsim {

CSimCamera::Start CSimCamera::Join(const EnvLookup& lookup) {
    platform::MutexLock guard(m_lock);
    const Clock::time_point now = Clock::now();
    if (m_iAcquiring == 0) {
        m_settings = ParseCameraSettings(lookup);
        m_clockStart = m_iOpen > 1 ? now + ARM_DELAY : now;
        m_ullStepped = 0;
    }
    ++m_iAcquiring;
    Start start;
    start.settings = m_settings;
    start.clockStart = m_clockStart;
    start.firstFrame =
        m_settings.fps == 0 ? m_ullStepped : FramesExposed(m_clockStart, m_settings.fps, now);
    return start;
}

void CSimCamera::NoteOpen(int change) {
    platform::MutexLock guard(m_lock);
    m_iOpen = std::max(0, m_iOpen + change);
}

void CSimCamera::Leave() {
    platform::MutexLock guard(m_lock);
    if (m_iAcquiring > 0)
        --m_iAcquiring;
}

void CSimCamera::NoteStepped(uint64_t framesExposed) {
    platform::MutexLock guard(m_lock);
    m_ullStepped = std::max(m_ullStepped, framesExposed);
}

CSimCamera::Clock::time_point CSimCamera::ExposureTime(Clock::time_point clockStart, uint32_t fps,
                                                       uint64_t frame) {
    // Absolute deadlines from the clock's start, so rounding never accumulates.
    const auto seconds = (frame + 1) / fps;
    const auto rest = (frame + 1) % fps;
    return clockStart + std::chrono::seconds(seconds) +
           std::chrono::nanoseconds(rest * 1000000000ull / fps);
}

uint64_t CSimCamera::FramesExposed(Clock::time_point clockStart, uint32_t fps,
                                   Clock::time_point now) {
    if (now <= clockStart)
        return 0;
    const uint64_t ns = static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(now - clockStart).count());
    return ns / 1000000000ull * fps + (ns % 1000000000ull) * fps / 1000000000ull;
}

} // namespace fgsim
