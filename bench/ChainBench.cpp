// The processing modules and the default chains on frames of 2320 x 1726.
// Module kernels are measured back to back with OpenCV's (when built with it) in every
// iteration; "ratio" = OpenCV time / our time (1.0 = as fast as OpenCV). The chains run on the
// chain's update thread: each iteration posts a burst of update requests and waits for the
// display to have taken the result; "fps" counts processing runs per second, "runs_per_burst"
// shows the coalescing (1.0: a burst costs one run), and "ratio" = fps / the camera rate the
// chain must keep up with (400 greyscale, 200 colour). Modules left at their identity settings
// hand their input on without a pass over the frame; the "Working" chains set every module to
// a setting that changes the image (black level and gain, a horizontal mirror, a narrower
// contrast window, a gamma table), so each one does its full pass. The chains' modules split
// their frames over the chain's workers; the "OneThread" variants take the workers away from
// every module, the baseline the others compare with in the same run.
#include "bench/BenchTiming.h"
#include "bench/WorkingChain.h"
#include "external/ImageFormat.h"
#include "external/RowBands.h"
#include "libs/lumo/CCfaToRgbModule.h"
#include "libs/lumo/CDisplayModule.h"
#include "libs/lumo/CImageObject.h"
#include "libs/lumo/CLookUpTableModule.h"
#include "libs/lumo/CLumoInstanceImpl.h"
#include "processing/CImgProcessChain.h"
#include "tests/lumo/ModuleStage.h"
#include "tests/processing/ChainViewStub.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <random>

#ifdef KAVRIN_HAVE_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

constexpr uint32_t WIDTH = 2320;
constexpr uint32_t HEIGHT = 1726;
using bench::Clock;
using bench::Seconds;

void FillRandom(lumo::CImageObject& image) {
    std::mt19937 random(7);
    uint8_t* p = static_cast<uint8_t*>(image.GetFrameData(0, -1, 0));
    for (uint64_t i = 0; i < image.GetFrameSize(); ++i)
        p[i] = uint8_t(random());
}

using lumotest::Stage;

#ifdef KAVRIN_HAVE_OPENCV
// Times OpenCV's operation and ours back to back in every iteration; "ratio" is OpenCV's time
// / ours. `ours` returns the module's result; a failure ends the benchmark with `failed`.
template <typename Theirs, typename Ours>
void CompareWithOpenCv(benchmark::State& state, Theirs theirs, Ours ours, const char* failed) {
    double ourSeconds = 0;
    double theirSeconds = 0;
    for (auto _ : state) {
        const Clock::time_point t0 = Clock::now();
        theirs();
        benchmark::ClobberMemory();
        const Clock::time_point t1 = Clock::now();
        const uint32_t rc = ours();
        benchmark::ClobberMemory();
        const Clock::time_point t2 = Clock::now();
        if (rc != 0) {
            state.SkipWithError(failed);
            return;
        }
        theirSeconds += Seconds(t0, t1);
        ourSeconds += Seconds(t1, t2);
    }
    state.counters["ratio"] = theirSeconds / ourSeconds;
    state.counters["ours_ms"] = 1e3 * ourSeconds / double(state.iterations());
    state.counters["opencv_ms"] = 1e3 * theirSeconds / double(state.iterations());
}

void DemosaicVsOpenCv(benchmark::State& state) {
    cv::setNumThreads(1); // one thread against one thread
    lumo::CImageObject raw;
    if (raw.Allocate(WIDTH, HEIGHT, ImageFormat::CFA8, 0, 1) != 0) {
        state.SkipWithError("image could not be allocated");
        return;
    }
    FillRandom(raw);
    lumo::CCfaToRgbModule module;
    Stage stage{module, {}};
    if (!stage.Prepare(raw)) {
        state.SkipWithError("prepare failed");
        return;
    }
    cv::Mat src(HEIGHT, WIDTH, CV_8UC1, raw.GetFrameData(0, -1, 0));
    cv::Mat dst;
    cv::cvtColor(src, dst, cv::COLOR_BayerBG2BGR); // allocate once
    CompareWithOpenCv(
        state, [&] { cv::cvtColor(src, dst, cv::COLOR_BayerBG2BGR); },
        [&] { return module.Execute(0); }, "demosaicing failed");
}

void LookUpTableVsOpenCv(benchmark::State& state) {
    cv::setNumThreads(1);
    lumo::CImageObject grey;
    if (grey.Allocate(WIDTH, HEIGHT, ImageFormat::GREY8, 0, 1) != 0) {
        state.SkipWithError("image could not be allocated");
        return;
    }
    FillRandom(grey);
    lumo::CLookUpTableModule module;
    Stage stage{module, {}};
    if (module.SetParam(lumo::CLookUpTableModule::PARAM_SELECT, 1, 1) != 0 || // gamma 0.45
        !stage.Prepare(grey) || module.Execute(0) != 0) {                     // builds the table
        state.SkipWithError("prepare failed");
        return;
    }
    cv::Mat src(HEIGHT, WIDTH, CV_8UC1, grey.GetFrameData(0, -1, 0));
    cv::Mat table(1, 256, CV_8UC1);
    for (int i = 0; i < 256; ++i)
        table.at<uint8_t>(i) = uint8_t(255 - i);
    cv::Mat dst;
    cv::LUT(src, table, dst);
    CompareWithOpenCv(
        state, [&] { cv::LUT(src, table, dst); }, [&] { return module.Execute(0); },
        "look-up failed");
}
#endif

// Runs every module of the chain, the analyze group too, on the update thread alone.
void TakeRowBands(CImgProcessChain& chain) KAVRIN_REQUIRES(chain.ChainLock()) {
    for (uint64_t i = 0; i < chain.GetModuleCount(); ++i)
        (void)chain.GetModule(i)->SetParam(LUMO_PARAM_ROW_BANDS, 0, 0); // every module takes it
    for (uint64_t j = 0; j < chain.GetAnalyzeModuleCount(); ++j)
        (void)chain.GetAnalyzeModule(j)->SetParam(LUMO_PARAM_ROW_BANDS, 0, 0);
}

void RunChain(benchmark::State& state, uint64_t format, const std::vector<uint32_t>& ids,
              uint32_t imageClass, double cameraRate, bool working = false,
              bool oneThread = false) {
    constexpr int BURST = 4;
    lumo::CLumoInstanceImpl library;
    ChainViewStub view;
    if (library.Init(".", "Pem*.dll", 1) != 0 ||
        view.raw.Allocate(WIDTH, HEIGHT, format, 0, 1) != 0) {
        state.SkipWithError("library or raw image not ready");
        return;
    }
    FillRandom(view.raw);
    CImgProcessChain chain(&library, nullptr);
    {
        platform::RecursiveLock lock(chain.ChainLock());
        if (!chain.BuildDefault(imageClass, ids.data(), ids.size(), 67, {}, &view.raw)) {
            state.SkipWithError("chain not built");
            return;
        }
        for (uint64_t i = 0; working && i < chain.GetModuleCount(); ++i)
            if (!bench::SetWorking(chain.GetModule(i))) {
                state.SkipWithError("module settings refused");
                return;
            }
        if (oneThread)
            TakeRowBands(chain);
        else
            (void)view.display.SetParam(LUMO_PARAM_ROW_BANDS, LumoArg(chain.RowBands()), 0);
    }
    if (!chain.SetBaseImageProvider(&ChainViewStub::Provide, &view) ||
        !chain.SetReadyCallback(&ChainViewStub::Ready, &view)) {
        state.SkipWithError("no update thread");
        return;
    }
    double seconds = 0;
    uint64_t runs = 0;
    for (auto _ : state) {
        uint64_t before = 0;
        {
            std::lock_guard<std::mutex> lock(view.mutex);
            before = view.runs;
        }
        const Clock::time_point t0 = Clock::now();
        {
            // The burst is posted while the chain lock is held, as when the camera's
            // notifications arrive during a run: the update thread finds them all queued.
            platform::RecursiveLock lock(chain.ChainLock());
            for (int i = 0; i < BURST; ++i)
                (void)chain.RequestUpdate(false); // the thread runs: posting cannot fail
        }
        std::unique_lock<std::mutex> lock(view.mutex);
        view.cond.wait(lock, [&] { return view.runs > before; });
        const Clock::time_point t1 = Clock::now();
        seconds += Seconds(t0, t1);
        runs += view.runs - before;
    }
    // Let the last analysis finish before counting the runs the bursts caused.
    (void)chain.RequestUpdate(false); // as above
    {
        std::unique_lock<std::mutex> lock(view.mutex);
        view.cond.wait(lock, [&] { return view.runs > runs; });
    }
    const double fps = double(state.iterations()) / seconds;
    state.counters["fps"] = fps;
    state.counters["ratio"] = fps / cameraRate;
    state.counters["runs_per_burst"] = double(view.runs - 1) / double(state.iterations());
    if (view.failures)
        state.SkipWithError("a run failed");
}

void GreyscaleChain(benchmark::State& state) {
    RunChain(state, ImageFormat::GREY8, {514, 515, 96}, ImageFormat::CLASS_GREY, 400.0);
}

void ColourChain(benchmark::State& state) {
    RunChain(state, ImageFormat::CFA8, {514, 515, 3, 32}, ImageFormat::CLASS_CFA, 200.0);
}

void GreyscaleChainWorking(benchmark::State& state) {
    RunChain(state, ImageFormat::GREY8, {514, 515, 96}, ImageFormat::CLASS_GREY, 400.0, true);
}

void ColourChainWorking(benchmark::State& state) {
    RunChain(state, ImageFormat::CFA8, {514, 515, 3, 32}, ImageFormat::CLASS_CFA, 200.0, true);
}

void GreyscaleChainOneThread(benchmark::State& state) {
    RunChain(state, ImageFormat::GREY8, {514, 515, 96}, ImageFormat::CLASS_GREY, 400.0, false,
             true);
}

void ColourChainOneThread(benchmark::State& state) {
    RunChain(state, ImageFormat::CFA8, {514, 515, 3, 32}, ImageFormat::CLASS_CFA, 200.0, false,
             true);
}

void GreyscaleChainWorkingOneThread(benchmark::State& state) {
    RunChain(state, ImageFormat::GREY8, {514, 515, 96}, ImageFormat::CLASS_GREY, 400.0, true, true);
}

void ColourChainWorkingOneThread(benchmark::State& state) {
    RunChain(state, ImageFormat::CFA8, {514, 515, 3, 32}, ImageFormat::CLASS_CFA, 200.0, true,
             true);
}

// The display step alone: the display module takes a processed image of the chain's size into
// its display buffer (Execute (2)), as the ready callback does for every frame shown.
void DisplayStep(benchmark::State& state, uint64_t format) {
    lumo::CImageObject image;
    if (image.Allocate(WIDTH, HEIGHT, format, 0, 1) != 0) {
        state.SkipWithError("image could not be allocated");
        return;
    }
    FillRandom(image);
    lumo::CDisplayModule display;
    CLumoImage* input[1] = {&image};
    if (display.SetImages(1, input) != 0) {
        state.SkipWithError("display refused the image");
        return;
    }
    for (auto _ : state) {
        if (display.Execute(CLumoModule::EXECUTE_TAKE_IMAGE) != 0) {
            state.SkipWithError("display failed");
            return;
        }
        benchmark::ClobberMemory();
    }
    state.counters["MPix/s"] = benchmark::Counter(
        double(WIDTH) * HEIGHT / 1e6 * double(state.iterations()), benchmark::Counter::kIsRate);
}

void DisplayGrey8(benchmark::State& state) {
    DisplayStep(state, ImageFormat::GREY8);
}
void DisplayGrey12(benchmark::State& state) {
    DisplayStep(state, ImageFormat::Make(16, 12, 1, 0, ImageFormat::CLASS_GREY));
}
void DisplayRgbx8(benchmark::State& state) {
    DisplayStep(state, ImageFormat::Make(8, 8, 4, 58, ImageFormat::CLASS_RGB));
}
void DisplayRgb8(benchmark::State& state) {
    DisplayStep(state, ImageFormat::Make(8, 8, 3, 26, ImageFormat::CLASS_RGB));
}
void DisplayRgb16(benchmark::State& state) {
    DisplayStep(state, ImageFormat::Make(16, 12, 3, 26, ImageFormat::CLASS_RGB));
}

} // namespace

#ifdef KAVRIN_HAVE_OPENCV
BENCHMARK(DemosaicVsOpenCv)->Unit(benchmark::kMillisecond);
BENCHMARK(LookUpTableVsOpenCv)->Unit(benchmark::kMillisecond);
#endif
BENCHMARK(GreyscaleChain)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ColourChain)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(GreyscaleChainWorking)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ColourChainWorking)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(GreyscaleChainOneThread)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ColourChainOneThread)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(GreyscaleChainWorkingOneThread)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ColourChainWorkingOneThread)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(DisplayGrey8)->Unit(benchmark::kMillisecond);
BENCHMARK(DisplayGrey12)->Unit(benchmark::kMillisecond);
BENCHMARK(DisplayRgbx8)->Unit(benchmark::kMillisecond);
BENCHMARK(DisplayRgb8)->Unit(benchmark::kMillisecond);
BENCHMARK(DisplayRgb16)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
