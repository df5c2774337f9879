#include "acquisition/CFrameRate.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <gtest/gtest.h>
#include <thread>

namespace {

using namespace std::chrono_literals;
using TimePoint = std::chrono::steady_clock::time_point;

// A clock the test moves by hand.
class FakeClock {
public:
    CFrameRate::Clock Source() {
        return [this] { return TimePoint(std::chrono::nanoseconds(m_ns.load())); };
    }
    void Set(std::chrono::nanoseconds t) { m_ns = t.count(); }
    void Advance(std::chrono::nanoseconds d) { m_ns += d.count(); }

private:
    std::atomic<int64_t> m_ns{1'000'000'000};
};

} // namespace

TEST(FrameRate, NeedsTwoSamplesBeforeGivingARate) {
    FakeClock clock;
    CFrameRate meter(clock.Source());
    EXPECT_EQ(meter.GetRate(), 0.0);
    meter.AddSample(7);
    clock.Advance(1s);
    EXPECT_EQ(meter.GetRate(), 0.0);
    meter.AddSample(17);
    EXPECT_DOUBLE_EQ(meter.GetRate(), 10.0);
    meter.Reset();
    EXPECT_EQ(meter.GetRate(), 0.0);
}

TEST(FrameRate, KeepsOnlyStrictlyIncreasingCounts) {
    FakeClock clock;
    CFrameRate meter(clock.Source());
    // 5, 5, 5: the first is kept, the repeats are discarded with their later times.
    meter.AddSample(5);
    clock.Advance(100ms);
    meter.AddSample(5);
    clock.Advance(100ms);
    meter.AddSample(5);
    EXPECT_EQ(meter.GetRate(), 0.0);
    clock.Advance(300ms);
    meter.AddSample(15); // 10 frames over the 500 ms since the first 5
    EXPECT_DOUBLE_EQ(meter.GetRate(), 20.0);

    // A counter restart without Reset is discarded: the rate stays as it was.
    clock.Advance(1s);
    meter.AddSample(3);
    EXPECT_DOUBLE_EQ(meter.GetRate(), 20.0);

    // After Reset the restarted counter is taken.
    meter.Reset();
    meter.AddSample(3);
    clock.Advance(250ms);
    meter.AddSample(4);
    EXPECT_DOUBLE_EQ(meter.GetRate(), 4.0);
}

TEST(FrameRate, WindowHoldsTheLastFortySamples) {
    FakeClock clock;
    CFrameRate meter(clock.Source());
    // Uneven spacing, so that a window over the wrong samples gives a different rate:
    // sample k is taken at k*k milliseconds.
    for (uint64_t k = 0; k <= 100; ++k) {
        clock.Set(std::chrono::milliseconds(k * k));
        meter.AddSample(k);
    }
    // 61 ... 100 remain: 39 frames between 3721 ms and 10000 ms.
    EXPECT_DOUBLE_EQ(meter.GetRate(), 39.0 / ((10000.0 - 3721.0) / 1000.0));

    // Counts far apart use the full 64-bit difference.
    meter.Reset();
    clock.Set(0s);
    meter.AddSample(1);
    clock.Set(2s);
    meter.AddSample(0x8000000000000001ULL);
    EXPECT_DOUBLE_EQ(meter.GetRate(), 0x8000000000000000ULL / 2.0);
}

TEST(FrameRate, SameClockReadingGivesInfiniteRate) {
    FakeClock clock;
    CFrameRate meter(clock.Source());
    meter.AddSample(1);
    meter.AddSample(2);
    const double rate = meter.GetRate();
    EXPECT_TRUE(std::isinf(rate));
    EXPECT_GT(rate, 0.0);
}

TEST(FrameRate, DefaultClockIsSteadyClock) {
    CFrameRate meter;
    meter.AddSample(0);
    // Wait until the steady clock has visibly moved on, so the second reading is later.
    const TimePoint start = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - start < 2ms)
        std::this_thread::yield();
    meter.AddSample(1000);
    const double rate = meter.GetRate();
    EXPECT_GT(rate, 0.0);
    EXPECT_LE(rate, 1000.0 / 0.002); // at least 2 ms passed between the readings
}

TEST(FrameRate, FeedingAndReadingFromTwoThreads) {
    FakeClock clock;
    CFrameRate meter(clock.Source());
    std::atomic<bool> done{false};
    std::thread feeder([&] {
        for (uint64_t n = 1; n <= 2000; ++n) {
            clock.Advance(1ms);
            meter.AddSample(n);
            if (n % 500 == 0) {
                meter.Reset();
                meter.AddSample(n);
            }
        }
        done = true;
    });
    bool bAlwaysSane = true;
    while (!done) {
        const double rate = meter.GetRate();
        bAlwaysSane = bAlwaysSane && (rate == 0.0 || std::abs(rate - 1000.0) < 1e-6);
    }
    feeder.join();
    EXPECT_TRUE(bAlwaysSane);
    EXPECT_DOUBLE_EQ(meter.GetRate(), 0.0); // the feeder reset after its last sample
}
