#include "acquisition/CFrameRate.h"

#include <atomic>
#include <cmath>
#include <gtest/gtest.h>
#include <thread>

namespace {

using namespace std::chrono_literals;

// A clock the test moves by hand.
struct FakeClock {
    std::atomic<int64_t> ns{1'000'000'000};
    CFrameRate::Clock Source() {
        return [this] { return std::chrono::steady_clock::time_point(1ns * ns.load()); };
    }
    void Advance(std::chrono::nanoseconds d) { ns += d.count(); }
};

} // namespace

TEST(FrameRate, TakesOnlyStrictlyIncreasingCounts) {
    FakeClock clock;
    CFrameRate meter(clock.Source());
    EXPECT_EQ(meter.GetRate(), 0.0); // no sample
    meter.AddSample(5);
    clock.Advance(100ms);
    EXPECT_EQ(meter.GetRate(), 0.0); // one sample
    meter.AddSample(5);
    clock.Advance(100ms);
    meter.AddSample(5);
    EXPECT_EQ(meter.GetRate(), 0.0); // 5, 5, 5 keeps only the first
    clock.Advance(300ms);
    meter.AddSample(15); // 10 frames over the 500 ms since the first 5
    EXPECT_DOUBLE_EQ(meter.GetRate(), 20.0);

    clock.Advance(1s);
    meter.AddSample(3); // counter restart without Reset: discarded
    EXPECT_DOUBLE_EQ(meter.GetRate(), 20.0);
    meter.Reset();
    EXPECT_EQ(meter.GetRate(), 0.0);
    meter.AddSample(3);
    clock.Advance(250ms);
    meter.AddSample(4);
    EXPECT_DOUBLE_EQ(meter.GetRate(), 4.0);

    meter.Reset();
    meter.AddSample(1);
    meter.AddSample(2); // same clock reading as the 1: infinite rate
    EXPECT_TRUE(std::isinf(meter.GetRate()) && meter.GetRate() > 0.0);
}

TEST(FrameRate, WindowHoldsTheLastFortySamples) {
    FakeClock clock;
    CFrameRate meter(clock.Source());
    // Sample k at k*k ms, so a window over the wrong samples gives another rate.
    for (int64_t k = 0; k <= 100; ++k) {
        clock.ns = k * k * 1'000'000;
        meter.AddSample(static_cast<uint64_t>(k));
    }
    // 61 ... 100 remain: 39 frames between 3721 ms and 10000 ms.
    EXPECT_DOUBLE_EQ(meter.GetRate(), 39.0 / ((10000.0 - 3721.0) / 1000.0));

    meter.Reset(); // counts far apart use the whole unsigned 64-bit difference
    meter.AddSample(1);
    clock.Advance(2s);
    meter.AddSample(0x8000000000000001ULL);
    EXPECT_DOUBLE_EQ(meter.GetRate(), 0x8000000000000000ULL / 2.0);
}

TEST(FrameRate, OneThreadFeedsWhileAnotherReads) {
    FakeClock clock;
    CFrameRate meter(clock.Source());
    std::atomic<bool> done{false};
    std::thread feeder([&] {
        for (uint64_t n = 1; n <= 2000; ++n) {
            clock.Advance(1ms);
            meter.AddSample(n);
            if (n % 500 == 0)
                meter.Reset();
        }
        done = true;
    });
    bool bSane = true; // every rate read is 0 or exactly 1000 frames per second
    while (!done) {
        const double rate = meter.GetRate();
        bSane = bSane && (rate == 0.0 || std::abs(rate - 1000.0) < 1e-6);
    }
    feeder.join();
    EXPECT_TRUE(bSane);
}
