// What the benchmarks of the image library and the sequences share: libLumoInst.so loaded once
// for the whole run, and the throughput counters of a baseline measured against an operation.
#pragma once

#include "acquisition/RuntimeLibraries.h"
#include "bench/BenchTiming.h"

#include <benchmark/benchmark.h>
#include <string>

namespace bench {

// The image library's instance, loaded on the first call; null when libLumoInst.so is missing.
inline CLumoInstance* LumoLibrary() {
    static RuntimeLibraries* libs = [] {
        auto* loaded = new RuntimeLibraries(); // lives for the whole run
        loaded->LoadImageLibrary();
        loaded->MakeCurrent();
        return loaded;
    }();
    return libs->GetLumoInstance();
}

// LumoLibrary(); when it is missing, the benchmark is skipped with an error and null returned.
inline CLumoInstance* LumoLibraryOrSkip(benchmark::State& state) {
    CLumoInstance* lumo = LumoLibrary();
    if (!lumo)
        state.SkipWithError("libLumoInst.so not found");
    return lumo;
}

// "baseline_GBps", "<name>_GBps" and "ratio" (baseline time / operation time) for `bytes`
// moved by each iteration of both.
inline void ReportThroughput(benchmark::State& state, double baseline, double operation,
                             uint64_t bytes, const std::string& name) {
    const double iterations = static_cast<double>(state.iterations());
    state.counters["baseline_GBps"] = static_cast<double>(bytes) * iterations / baseline / 1e9;
    state.counters[name + "_GBps"] = static_cast<double>(bytes) * iterations / operation / 1e9;
    state.counters["ratio"] = baseline / operation;
}

} // namespace bench
