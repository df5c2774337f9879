// A small set of persistent worker threads that run the row bands of one frame at a time
// (external/RowBands.h). The calling thread takes bands itself, so a pool of n threads has
// n - 1 workers. Bands are handed out one at a time from a counter, so a worker held up by
// another program costs the frame only the bands it took.
//
// Threads: Run from any thread. One Run at a time uses the workers; a Run that finds them busy
// (another thread's, or one made from inside a band) works through its rows on its own thread.
// The destructor wakes and joins the workers; no Run may be under way then.
#pragma once

#include "external/RowBands.h"
#include "platform/ThreadAnnotations.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <thread>
#include <vector>

namespace platform {

class RowBandPool final : public CRowBands {
public:
    static constexpr uint32_t MAX_THREADS = 8;
    // Rows a band has at least: frames of fewer than two bands' rows run inline.
    static constexpr uint32_t DEFAULT_MIN_BAND_ROWS = 32;
    // Bands per thread of a frame: spare bands even out a thread that falls behind.
    static constexpr uint32_t BANDS_PER_THREAD = 4;
    // How long a worker looks for the next job, and the caller for the workers' last bands,
    // before they sleep.
    static constexpr std::chrono::microseconds SPIN{100};

    // `threads` counts the calling thread (0: the processor's cores); at most MAX_THREADS.
    explicit RowBandPool(uint32_t threads = 0, uint32_t minBandRows = DEFAULT_MIN_BAND_ROWS);
    ~RowBandPool();
    RowBandPool(const RowBandPool&) = delete;
    RowBandPool& operator=(const RowBandPool&) = delete;

    void Run(uint32_t rows, BandFunction band, void* context) override;
    // Threads that take bands, the calling thread included.
    uint32_t Threads() const { return uint32_t(m_workers.size()) + 1; }

private:
    struct Job {
        BandFunction band = nullptr;
        void* context = nullptr;
        uint32_t rows = 0;
        uint32_t bands = 0;
    };

    void WorkerLoop();
    // Claims the next band of the current job; false when none is left.
    bool ClaimBand(uint32_t& rowBegin, uint32_t& rowEnd) KAVRIN_REQUIRES(m_mutex);
    // Runs bands of the current job until none is left to claim.
    void RunBands() KAVRIN_REQUIRES(m_mutex);

    const uint32_t m_minBandRows;
    // Held by the one Run that uses the workers.
    Mutex m_runMutex;
    Mutex m_mutex;
    std::condition_variable_any m_cond;
    Job m_job KAVRIN_GUARDED_BY(m_mutex);
    uint64_t m_generation KAVRIN_GUARDED_BY(m_mutex) = 0;
    uint32_t m_nextBand KAVRIN_GUARDED_BY(m_mutex) = 0;
    uint32_t m_doneBands KAVRIN_GUARDED_BY(m_mutex) = 0;
    bool m_stop KAVRIN_GUARDED_BY(m_mutex) = false;
    // Read without the lock while spinning: the generation posted last, the bands of the
    // current job not yet done, and the stop request.
    std::atomic<uint64_t> m_posted{0};
    std::atomic<uint32_t> m_pending{0};
    std::atomic<bool> m_stopping{false};
    // Last: the workers start once everything above is set up.
    std::vector<std::thread> m_workers;
};

} // namespace platform
