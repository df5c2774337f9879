// The chain's worker pool: every row of a frame in exactly one band, bands on several threads,
// a second caller and calls from inside a band, and pools destroyed with idle workers.
#include "platform/RowBandPool.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace {

using platform::RowBandPool;

// Counts how often each row was handed out; rows beyond the frame count as errors.
struct RowCounter {
    explicit RowCounter(uint32_t rows) : hits(rows) {}
    std::vector<std::atomic<uint32_t>> hits;
    std::atomic<uint32_t> outside{0};
    std::atomic<uint32_t> empty{0};

    void operator()(uint32_t rowBegin, uint32_t rowEnd) {
        if (rowBegin >= rowEnd)
            ++empty;
        for (uint32_t y = rowBegin; y < rowEnd; ++y) {
            if (y < hits.size())
                ++hits[y];
            else
                ++outside;
        }
    }
    bool EachRowOnce() const {
        for (const auto& h : hits)
            if (h != 1)
                return false;
        return outside == 0 && empty == 0;
    }
};

TEST(RowBandPool, CoversEveryRowExactlyOnce) {
    for (uint32_t threads : {1u, 2u, 3u, 8u})
        for (uint32_t minRows : {1u, 5u, 32u}) {
            RowBandPool pool(threads, minRows);
            EXPECT_EQ(pool.Threads(), threads);
            for (uint32_t rows : {0u, 1u, 2u, 3u, 31u, 64u, 97u, 1726u}) {
                RowCounter counter(rows);
                RunRowBands(&pool, rows, counter);
                EXPECT_TRUE(counter.EachRowOnce())
                    << threads << " threads, " << minRows << " rows a band, " << rows << " rows";
            }
        }
}

TEST(RowBandPool, NullPoolRunsEverythingOnTheCaller) {
    RowCounter counter(5);
    std::set<std::thread::id> seen;
    RunRowBands(nullptr, 5, [&](uint32_t rowBegin, uint32_t rowEnd) {
        counter(rowBegin, rowEnd);
        seen.insert(std::this_thread::get_id());
    });
    EXPECT_TRUE(counter.EachRowOnce());
    EXPECT_EQ(seen, std::set<std::thread::id>{std::this_thread::get_id()});
}

TEST(RowBandPool, LargeFramesRunOnSeveralThreadsSmallOnesOnTheCaller) {
    RowBandPool pool(2, 4);
    std::mutex mutex;
    std::set<std::thread::id> seen;
    auto band = [&](uint32_t, uint32_t) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            seen.insert(std::this_thread::get_id());
        }
        // Long enough bands that the worker wakes before the caller has taken them all.
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    };
    RunRowBands(&pool, 64, band);
    EXPECT_EQ(seen.size(), 2u);
    seen.clear();
    RunRowBands(&pool, 7, band); // fewer rows than two bands
    EXPECT_EQ(seen, std::set<std::thread::id>{std::this_thread::get_id()});
}

TEST(RowBandPool, SecondCallersAndNestedCallsFinishWithEveryRowOnce) {
    RowBandPool pool(3, 1);
    std::atomic<bool> allGood{true};
    auto caller = [&] {
        for (int i = 0; i < 200; ++i) {
            RowCounter counter(50);
            RunRowBands(&pool, 50, counter);
            if (!counter.EachRowOnce())
                allGood = false;
        }
    };
    std::thread other(caller);
    caller();
    other.join();
    EXPECT_TRUE(allGood);

    // A band that splits its rows again works through them on its own thread.
    RowCounter outer(40);
    std::atomic<uint32_t> innerRows{0};
    RunRowBands(&pool, 40, [&](uint32_t rowBegin, uint32_t rowEnd) {
        outer(rowBegin, rowEnd);
        RunRowBands(&pool, 10, [&](uint32_t b, uint32_t e) { innerRows += e - b; });
    });
    EXPECT_TRUE(outer.EachRowOnce());
    EXPECT_EQ(innerRows % 10, 0u);
    EXPECT_GT(innerRows, 0u);
}

TEST(RowBandPool, DestroysWithIdleWorkersAndAfterWork) {
    for (int i = 0; i < 20; ++i) {
        RowBandPool idle(RowBandPool::MAX_THREADS);
        RowBandPool used(3, 1);
        RowCounter counter(9);
        RunRowBands(&used, 9, counter);
        EXPECT_TRUE(counter.EachRowOnce());
    }
    RowBandPool cores; // the processor's cores, at most MAX_THREADS
    EXPECT_GE(cores.Threads(), 1u);
    EXPECT_LE(cores.Threads(), RowBandPool::MAX_THREADS);
}

} // namespace
