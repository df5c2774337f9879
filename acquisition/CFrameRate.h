// Frames per second from a running frame counter: a sliding window of the last 40 distinct,
// increasing (time, counter) samples. Every operation locks the meter for its whole duration,
// so one thread may feed it while another reads the rate.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>

class CFrameRate {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    // Most samples the window keeps.
    static constexpr size_t MAX_SAMPLES = 40;

    // Reads std::chrono::steady_clock.
    CFrameRate();
    // Reads `clock` instead (tests pass a fake one); an empty clock falls back to steady_clock.
    explicit CFrameRate(Clock clock);
    virtual ~CFrameRate();
    CFrameRate(const CFrameRate&) = delete;
    CFrameRate& operator=(const CFrameRate&) = delete;

    // Records (now, count) unless count is not larger than the newest sample's count.
    void AddSample(uint64_t count);
    // Counter increase per second between the oldest and newest sample; 0.0 with fewer than two.
    double GetRate();
    // Empties the window; needed whenever the fed counter starts again from a lower value.
    void Reset();

private:
    struct Sample {
        int64_t llCounterTime; // clock ticks
        uint64_t ullCount;
    };

    Clock m_clock;
    int64_t m_llFrequency;        // clock ticks per second
    std::deque<Sample> m_samples; // oldest first, at most MAX_SAMPLES
    std::mutex m_lock;
};
