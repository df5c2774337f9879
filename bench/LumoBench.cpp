// Frame copy and frame allocation of libLumoInst.so against memcpy and memset of the same bytes.
// Every iteration measures the baseline and the library call back to back; the "ratio" counter
// is baseline time / library time (1.0 = as fast as the baseline).
#include "bench/BenchLibrary.h"
#include "external/ImageFormat.h"
#include "external/LumoInstance.h"
#include "external/LumoPtr.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstring>
#include <vector>

namespace {

constexpr uint32_t WIDTH = 2320;
constexpr uint32_t HEIGHT = 1726;
constexpr uint64_t FRAME_BYTES = uint64_t{WIDTH} * HEIGHT;
constexpr uint64_t FRAMES = 100;

using bench::Clock;
using bench::LumoLibraryOrSkip;
using bench::ReportThroughput;
using bench::Seconds;

void CopyFrameVsMemcpy(benchmark::State& state) {
    CLumoInstance* lumo = LumoLibraryOrSkip(state);
    if (!lumo)
        return;
    const LumoImagePtr source = MakeLumoImage(lumo);
    const LumoImagePtr target = MakeLumoImage(lumo);
    if (!source || !target || source->Allocate(WIDTH, HEIGHT, ImageFormat::GREY8, 0, 1) != 0 ||
        target->Allocate(WIDTH, HEIGHT, ImageFormat::GREY8, 0, 1) != 0) {
        state.SkipWithError("images could not be allocated");
        return;
    }
    std::memset(source->GetFrameData(0, 0, 0), 0x5A, FRAME_BYTES);
    std::vector<uint8_t> from(FRAME_BYTES, 0x5A);
    std::vector<uint8_t> to(FRAME_BYTES, 0);

    double baseline = 0;
    double library = 0;
    for (auto _ : state) {
        const Clock::time_point t0 = Clock::now();
        std::memcpy(to.data(), from.data(), FRAME_BYTES);
        benchmark::ClobberMemory();
        const Clock::time_point t1 = Clock::now();
        const uint32_t rc = target->CopyFrame(source.get(), 0, -1, 0, nullptr, 0, 0);
        benchmark::ClobberMemory();
        const Clock::time_point t2 = Clock::now();
        if (rc != 0) {
            state.SkipWithError("CopyFrame failed");
            return;
        }
        baseline += Seconds(t0, t1);
        library += Seconds(t1, t2);
    }
    ReportThroughput(state, baseline, library, FRAME_BYTES, "lumo");
}

void AllocateFramesVsMemset(benchmark::State& state) {
    CLumoInstance* lumo = LumoLibraryOrSkip(state);
    if (!lumo)
        return;
    const uint64_t bytes = FRAME_BYTES * FRAMES;
    std::vector<uint8_t> buffer(bytes, 1); // touched once before the run: memset at full speed
    {
        // Likewise the library's memory: the first pages a process ever gets cost the same
        // slow first touch for both, which is not what is compared here.
        // A warm-up that fails makes the measured Allocate fail as well, which reports it.
        if (const LumoImagePtr warm = MakeLumoImage(lumo))
            (void)warm->Allocate(WIDTH, HEIGHT, ImageFormat::GREY8, 0, FRAMES);
    }
    double baseline = 0;
    double library = 0;
    for (auto _ : state) {
        CLumoImage* image = lumo->CreateImageObject();
        const Clock::time_point t0 = Clock::now();
        std::memset(buffer.data(), 0, bytes);
        benchmark::ClobberMemory();
        const Clock::time_point t1 = Clock::now();
        const uint32_t rc = image->Allocate(WIDTH, HEIGHT, ImageFormat::GREY8, 0, FRAMES);
        const Clock::time_point t2 = Clock::now();
        if (rc != 0)
            state.SkipWithError("Allocate failed");
        baseline += Seconds(t0, t1);
        library += Seconds(t1, t2);
        lumo->DeleteImage(CLumoObject::KIND_IMAGE, image);
    }
    ReportThroughput(state, baseline, library, bytes, "lumo");
}

} // namespace

BENCHMARK(CopyFrameVsMemcpy)->Unit(benchmark::kMicrosecond);
BENCHMARK(AllocateFramesVsMemset)->Unit(benchmark::kMillisecond)->Iterations(20);

BENCHMARK_MAIN();
