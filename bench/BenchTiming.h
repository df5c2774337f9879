// The benchmarks' clock: every figure is a sum of steady-clock intervals in seconds.
#pragma once

#include <chrono>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

} // namespace bench
