// The one camera that every simulated grabber of the process looks at. Its clock starts when
// the first grabber starts acquiring; frame k carries tag FGSIM_TAG0 + k and is exposed at
// (k + 1) / fps after that start, and a grabber receives every frame exposed after it started.
// Once no grabber acquires any more, the next start reads the settings again and restarts the
// clock. With fps 0 the clock stands still and frames come only through stepping; a grabber
// then starts at the first frame no grabber has been given yet. A camera with two channels starts
// sending only once both are armed: when a grabber starts while another open grabber has not
// started yet, the clock starts ARM_DELAY later, time for the other channel to start, so that
// both channels receive the same first frame.
#pragma once

#include "libs/fgsim/SimSettings.h"
#include "platform/ThreadAnnotations.h"

#include <chrono>
#include <cstdint>

namespace fgsim {

class CSimCamera {
public:
    using Clock = std::chrono::steady_clock;

    struct Start {
        CameraSettings settings;
        Clock::time_point clockStart;
        uint64_t firstFrame = 0; // the first frame this grabber receives
    };

    // Time the clock waits for the other channels of the camera to start.
    static constexpr std::chrono::milliseconds ARM_DELAY{250};

    // A grabber was opened (+1) or closed (-1).
    void NoteOpen(int change) KAVRIN_EXCLUDES(m_lock);
    // A grabber starts acquiring.
    Start Join(const EnvLookup& lookup) KAVRIN_EXCLUDES(m_lock);
    // A grabber stopped acquiring (once per Join).
    void Leave() KAVRIN_EXCLUDES(m_lock);
    // Stepping gave some grabber frames up to `framesExposed` - 1.
    void NoteStepped(uint64_t framesExposed) KAVRIN_EXCLUDES(m_lock);

    // Exposure time of frame `frame` at `fps` (> 0) frames per second.
    static Clock::time_point ExposureTime(Clock::time_point clockStart, uint32_t fps,
                                          uint64_t frame);
    // Frames exposed from `clockStart` up to `now`.
    static uint64_t FramesExposed(Clock::time_point clockStart, uint32_t fps,
                                  Clock::time_point now);

private:
    platform::Mutex m_lock;
    int m_iAcquiring KAVRIN_GUARDED_BY(m_lock) = 0;
    int m_iOpen KAVRIN_GUARDED_BY(m_lock) = 0;
    CameraSettings m_settings KAVRIN_GUARDED_BY(m_lock);
    Clock::time_point m_clockStart KAVRIN_GUARDED_BY(m_lock);
    uint64_t m_ullStepped KAVRIN_GUARDED_BY(m_lock) = 0;
};

} // namespace fgsim
