// The valid field of a tagged camera built from the one-pass tag index, against the linear
// construction (every tag of the range searched through every valid buffer). Rings of tagged
// frames with 1 % of the tags dropped at random; the fields are checked to be identical first.
// "ratio" = linear time / index time, both measured in the same iteration.
#include "acquisition/CSiliconAPI.h"
#include "acquisition/CTLMChannel.h"
#include "bench/BenchLibrary.h"
#include "external/ImageFormat.h"
#include "external/LumoImage.h"
#include "libs/fgsim/FrameHeaderWriter.h"
#include "tests/acquisition/SequenceTestSeam.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace {

using bench::Clock;
using bench::Seconds;

CSiliconAPI& NoGrabber() {
    static CSiliconAPI api("none");
    return api;
}

// A ring of `buffers` frames as a single-sequence grab fills it, with tags from a random start
// and 1 % of them dropped by the camera.
bool Fill(CTLMChannel& channel, uint64_t buffers, uint32_t seed) {
    if (!SequenceTestSeam::MakeRing(channel, 16, 1, buffers, buffers))
        return false;
    CLumoImage* frames = SequenceTestSeam::Frames(channel);
    std::mt19937 random(seed);
    std::bernoulli_distribution drop(0.01);
    uint32_t tag = static_cast<uint32_t>(random());
    for (uint64_t b = 0; b < buffers; ++b) {
        while (drop(random))
            ++tag;
        auto* data = static_cast<uint8_t*>(frames->GetFrameData(0, static_cast<int64_t>(b), 0));
        fgsim::WriteFrameHeader(data, 'L', tag);
        ++tag;
    }
    return true;
}

std::vector<int64_t> FieldOf(CTLMChannel& channel) {
    std::vector<int64_t> field;
    for (uint64_t i = 0; i < channel.GetValidFieldLength(); ++i)
        field.push_back(channel.GetPhysicalIndex(0, i));
    return field;
}

// Fill; when the frames cannot be allocated, the benchmark is skipped with an error.
bool FillOrSkip(benchmark::State& state, CTLMChannel& channel, uint64_t buffers, uint32_t seed) {
    if (Fill(channel, buffers, seed))
        return true;
    state.SkipWithError("frames could not be allocated");
    return false;
}

// The linear construction of the field.
std::vector<int64_t> LinearField(CTLMChannel& channel) {
    uint32_t minTag = 0;
    uint32_t maxTag = 0;
    std::vector<int64_t> field;
    if (!channel.GetTagRange(nullptr, nullptr, &minTag, &maxTag))
        return field;
    for (uint64_t t = minTag; t <= maxTag; ++t)
        field.push_back(channel.FindPhysicalIndexByTag(static_cast<uint32_t>(t)));
    return field;
}

void IndexVsLinear(benchmark::State& state) {
    const auto buffers = static_cast<uint64_t>(state.range(0));
    CTLMChannel channel(16, ImageFormat::GREY8, 0, NoGrabber(), bench::LumoLibrary());
    if (!FillOrSkip(state, channel, buffers, 1))
        return;
    if (!channel.InitializeValidField() || FieldOf(channel) != LinearField(channel)) {
        state.SkipWithError("the two fields differ");
        return;
    }
    double index = 0;
    double linear = 0;
    for (auto _ : state) {
        const Clock::time_point t0 = Clock::now();
        benchmark::DoNotOptimize(channel.InitializeValidField());
        const Clock::time_point t1 = Clock::now();
        std::vector<int64_t> reference = LinearField(channel);
        benchmark::DoNotOptimize(reference.data());
        const Clock::time_point t2 = Clock::now();
        index += Seconds(t0, t1);
        linear += Seconds(t1, t2);
    }
    const double iterations = static_cast<double>(state.iterations());
    state.counters["field"] = static_cast<double>(channel.GetValidFieldLength());
    state.counters["index_ms"] = index * 1e3 / iterations;
    state.counters["linear_ms"] = linear * 1e3 / iterations;
    state.counters["ratio"] = linear / index;
}
BENCHMARK(IndexVsLinear)->Arg(10000)->Iterations(3)->Unit(benchmark::kMillisecond);

void IndexOnly(benchmark::State& state) {
    const auto buffers = static_cast<uint64_t>(state.range(0));
    CTLMChannel channel(16, ImageFormat::GREY8, 0, NoGrabber(), bench::LumoLibrary());
    if (!FillOrSkip(state, channel, buffers, 2))
        return;
    for (auto _ : state)
        benchmark::DoNotOptimize(channel.InitializeValidField());
    state.counters["field"] = static_cast<double>(channel.GetValidFieldLength());
    state.counters["ns_per_buffer"] =
        benchmark::Counter(static_cast<double>(buffers) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(IndexOnly)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
