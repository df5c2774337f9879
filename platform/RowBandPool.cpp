#include "platform/RowBandPool.h"

#include <algorithm>

namespace platform {

RowBandPool::RowBandPool(uint32_t threads, uint32_t minBandRows)
    : m_minBandRows(std::max(minBandRows, 1u)) {
    if (threads == 0)
        threads = std::max(std::thread::hardware_concurrency(), 1u);
    threads = std::min(threads, MAX_THREADS);
    m_workers.reserve(threads - 1);
    for (uint32_t i = 1; i < threads; ++i)
        m_workers.emplace_back([this] { WorkerLoop(); });
}

RowBandPool::~RowBandPool() {
    {
        MutexLock lock(m_mutex);
        m_stop = true;
    }
    m_cond.notify_all();
    for (std::thread& worker : m_workers)
        worker.join();
}

void RowBandPool::Run(uint32_t rows, BandFunction band, void* context) {
    if (rows == 0)
        return;
    const uint32_t bands = std::min(rows / m_minBandRows, Threads() * BANDS_PER_THREAD);
    if (m_workers.empty() || bands < 2) {
        band(context, 0, rows);
        return;
    }
    if (!m_runMutex.try_lock()) { // the workers are busy with another frame
        band(context, 0, rows);
        return;
    }
    {
        MutexLock lock(m_mutex);
        m_job = Job{band, context, rows, bands};
        m_nextBand = 0;
        m_doneBands = 0;
        ++m_generation;
        m_cond.notify_all();
        RunBands();
        while (m_doneBands < m_job.bands)
            m_cond.wait(m_mutex);
        m_job = Job{};
    }
    m_runMutex.unlock();
}

bool RowBandPool::ClaimBand(uint32_t& rowBegin, uint32_t& rowEnd) {
    if (m_nextBand >= m_job.bands)
        return false;
    // Band k covers rows k * rows / bands up to (k + 1) * rows / bands.
    const uint32_t k = m_nextBand++;
    rowBegin = uint32_t(uint64_t(k) * m_job.rows / m_job.bands);
    rowEnd = uint32_t(uint64_t(k + 1) * m_job.rows / m_job.bands);
    return true;
}

void RowBandPool::RunBands() {
    uint32_t rowBegin = 0;
    uint32_t rowEnd = 0;
    while (ClaimBand(rowBegin, rowEnd)) {
        const Job job = m_job;
        m_mutex.unlock();
        job.band(job.context, rowBegin, rowEnd);
        m_mutex.lock();
        if (++m_doneBands == m_job.bands)
            m_cond.notify_all();
    }
}

void RowBandPool::WorkerLoop() {
    MutexLock lock(m_mutex);
    // Jobs are counted from the pool's construction: a worker that starts late still takes
    // part in a job posted before it first got here.
    uint64_t seen = 0;
    for (;;) {
        while (!m_stop && m_generation == seen)
            m_cond.wait(m_mutex);
        if (m_stop)
            return;
        seen = m_generation;
        RunBands();
    }
}

} // namespace platform
