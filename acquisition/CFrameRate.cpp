#include "acquisition/CFrameRate.h"

#include <utility>

namespace {

using Ticks = std::chrono::steady_clock::duration;

} // namespace

CFrameRate::CFrameRate() : CFrameRate(Clock{}) {}

CFrameRate::CFrameRate(Clock clock)
    : m_clock(clock ? std::move(clock) : Clock(&std::chrono::steady_clock::now)),
      m_llFrequency(static_cast<int64_t>(Ticks::period::den / Ticks::period::num)) {}

CFrameRate::~CFrameRate() = default;

void CFrameRate::AddSample(uint64_t count) {
    std::lock_guard<std::mutex> guard(m_lock);
    const int64_t llNow = static_cast<int64_t>(m_clock().time_since_epoch().count());
    if (!m_samples.empty() && count <= m_samples.back().ullCount)
        return;
    m_samples.push_back(Sample{llNow, count});
    while (m_samples.size() > MAX_SAMPLES)
        m_samples.pop_front();
}

double CFrameRate::GetRate() {
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_samples.size() < 2)
        return 0.0;
    const Sample& first = m_samples.front();
    const Sample& last = m_samples.back();
    const double dN = static_cast<double>(last.ullCount - first.ullCount);
    // Same clock reading for both samples: a positive count over zero time gives +inf.
    const double dTicks = static_cast<double>(last.llCounterTime - first.llCounterTime);
    return static_cast<double>(m_llFrequency) * dN / dTicks;
}

void CFrameRate::Reset() {
    std::lock_guard<std::mutex> guard(m_lock);
    m_samples.clear();
}
