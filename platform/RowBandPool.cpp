#include "platform/RowBandPool.h"

#include <algorithm>
#include <chrono>

namespace platform {

namespace {

// Waits while `waiting()` holds, at most `limit`, without sleeping: a thread that sleeps must be
// woken, which on a virtual machine can take longer than a band.
template <typename F>
void SpinWhile(F waiting, std::chrono::nanoseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (waiting() && std::chrono::steady_clock::now() < until) {
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#endif
    }
}

} // namespace

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
        m_stopping.store(true, std::memory_order_release);
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
        m_pending.store(bands, std::memory_order_release);
        m_posted.store(++m_generation, std::memory_order_release);
        m_cond.notify_all();
        RunBands();
        // The workers' last bands: a short wait without the lock first, so that the worker
        // finishing them need not wake this thread.
        m_mutex.unlock();
        SpinWhile([this] { return m_pending.load(std::memory_order_acquire) != 0; }, SPIN);
        m_mutex.lock();
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
        m_pending.fetch_sub(1, std::memory_order_release);
        if (++m_doneBands == m_job.bands)
            m_cond.notify_all();
    }
}

void RowBandPool::WorkerLoop() {
    // Jobs are counted from the pool's construction: a worker that starts late still takes
    // part in a job posted before it first got here.
    uint64_t seen = 0;
    for (;;) {
        // Frames come as a run of kernels, one after the other: a worker that has just finished
        // a job looks for the next one a little while before it goes to sleep.
        SpinWhile(
            [this, seen] {
                return m_posted.load(std::memory_order_acquire) == seen &&
                       !m_stopping.load(std::memory_order_acquire);
            },
            SPIN);
        MutexLock lock(m_mutex);
        while (!m_stop && m_generation == seen)
            m_cond.wait(m_mutex);
        if (m_stop)
            return;
        seen = m_generation;
        RunBands();
    }
}

} // namespace platform
