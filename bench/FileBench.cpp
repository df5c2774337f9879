// Saving and loading sequences against plain file input/output of the same bytes, in the same
// folder. Every iteration measures the baseline and the sequence operation back to back; the
// "ratio" counter is baseline time / operation time (1.0 = as fast as the baseline).
//   SaveMultiPageTiff: 200 frames of 2320 x 1726 8-bit as one multi-page TIFF through
//     SaveSequenceToFile, against write() of the same frames into one file; both end with fsync.
//   LoadMultiPageTiff: that file loaded by CFileSequence, against read() of the whole file into
//     a new buffer of its size; the page cache is warm for both.
//   PngSeries: saving and loading 20 frames as a PNG series, in frames per second.
#include "acquisition/CFileSequence.h"
#include "bench/BenchLibrary.h"
#include "external/ImageFormat.h"
#include "external/LumoFileModules.h"
#include "external/LumoInstance.h"
#include "tests/acquisition/SequenceTestSeam.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr uint32_t WIDTH = 2320;
constexpr uint32_t HEIGHT = 1726;
constexpr uint64_t FRAME_BYTES = uint64_t{WIDTH} * HEIGHT;
constexpr uint64_t FRAMES = 200;
constexpr uint64_t PNG_FRAMES = 20;

using bench::Clock;
using bench::LumoLibraryOrSkip;
using bench::ReportThroughput;
using bench::Seconds;

// The folder both the baseline files and the sequence files go to.
const std::string& Folder() {
    static const std::string folder = [] {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "kavrin-bench-XXXXXX").string();
        const char* made = mkdtemp(pattern.data());
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(Folder(), ec);
        });
        return std::string(made ? made : ".");
    }();
    return folder;
}

// A sequence of `frames` frames with varied contents; false when they could not be allocated.
[[nodiscard]] bool Fill(CFileSequence& sequence, uint64_t frames) {
    if (Frames(sequence)->Allocate(WIDTH, HEIGHT, ImageFormat::GREY8, 0, frames) != 0)
        return false;
    for (uint64_t f = 0; f < frames; ++f) {
        auto* data =
            static_cast<uint8_t*>(Frames(sequence)->GetFrameData(0, static_cast<int64_t>(f), 0));
        for (uint64_t i = 0; i < FRAME_BYTES; ++i)
            data[i] = static_cast<uint8_t>((i * 7 + f * 13) ^ (i >> 11));
    }
    return true;
}

void WaitFor(CSequenceBase& sequence) {
    while (sequence.IsThreadRunning())
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    sequence.Stop();
}

bool WriteAll(int fd, const uint8_t* data, uint64_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<uint64_t>(n);
    }
    return true;
}

void SaveMultiPageTiff(benchmark::State& state) {
    if (!LumoLibraryOrSkip(state))
        return;
    CFileSequence sequence;
    if (!Fill(sequence, FRAMES)) {
        state.SkipWithError("frames could not be allocated");
        return;
    }
    const std::string plain = Folder() + "/plain.raw";
    const std::string tiff = Folder() + "/sequence.tif";
    auto plainWrite = [&] {
        const int fd = ::open(plain.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        bool ok = fd >= 0;
        for (uint64_t f = 0; ok && f < FRAMES; ++f)
            ok = WriteAll(fd,
                          static_cast<const uint8_t*>(
                              Frames(sequence)->GetFrameData(0, static_cast<int64_t>(f), 0)),
                          FRAME_BYTES);
        ok = ok && ::fsync(fd) == 0;
        if (fd >= 0)
            ::close(fd);
        return ok;
    };
    auto save = [&] {
        const bool ok = sequence.SaveSequenceToFile(tiff.c_str(), 0, FRAMES);
        WaitFor(sequence);
        return ok;
    };
    double baseline = 0, operation = 0;
    bool plainFirst = true; // the order alternates, so that neither side always meets the
                            // write-back of the other's file
    for (auto _ : state) {
        bool ok = true;
        for (int side = 0; side < 2; ++side) {
            const bool plainNow = (side == 0) == plainFirst;
            const Clock::time_point t0 = Clock::now();
            ok = (plainNow ? plainWrite() : save()) && ok;
            (plainNow ? baseline : operation) += Seconds(t0, Clock::now());
        }
        plainFirst = !plainFirst;
        if (!ok) {
            state.SkipWithError("writing failed");
            return;
        }
    }
    ReportThroughput(state, baseline, operation, FRAMES * FRAME_BYTES, "kavrin");
}

void LoadMultiPageTiff(benchmark::State& state) {
    if (!LumoLibraryOrSkip(state))
        return;
    const std::string tiff = Folder() + "/sequence.tif";
    if (!std::filesystem::exists(tiff)) {
        CFileSequence sequence;
        if (!Fill(sequence, FRAMES)) {
            state.SkipWithError("frames could not be allocated");
            return;
        }
        if (!sequence.SaveSequenceToFile(tiff.c_str(), 0, FRAMES)) {
            state.SkipWithError("saving did not start");
            return;
        }
        WaitFor(sequence);
    }
    // The plain read puts the whole file into memory, as a load does: a new buffer each time.
    auto readAll = [&] {
        const int fd = ::open(tiff.c_str(), O_RDONLY);
        if (fd < 0)
            return uint64_t{0};
        const uint64_t size = std::filesystem::file_size(tiff);
        std::unique_ptr<uint8_t[]> buffer(new uint8_t[size]);
        uint64_t total = 0;
        ssize_t n;
        while (total < size && (n = ::read(fd, buffer.get() + total, size - total)) > 0)
            total += static_cast<uint64_t>(n);
        ::close(fd);
        benchmark::DoNotOptimize(buffer.get());
        return total;
    };
    readAll(); // the page cache is warm from here on
    double baseline = 0, operation = 0;
    uint64_t bytes = 0;
    for (auto _ : state) {
        const Clock::time_point t0 = Clock::now();
        bytes = readAll();
        const Clock::time_point t1 = Clock::now();
        uint64_t frames = 0;
        {
            CFileSequence sequence;
            if (sequence.LoadSequence(tiff.c_str()))
                WaitFor(sequence);
            frames = sequence.GetImageCount(); // 0 when the load did not start
            const Clock::time_point t2 = Clock::now();
            baseline += Seconds(t0, t1);
            operation += Seconds(t1, t2);
        }
        if (frames != FRAMES) {
            state.SkipWithError("loading failed");
            return;
        }
    }
    ReportThroughput(state, baseline, operation, bytes, "kavrin");
}

void PngSeries(benchmark::State& state) {
    if (!LumoLibraryOrSkip(state))
        return;
    CFileSequence sequence;
    if (!Fill(sequence, PNG_FRAMES) ||
        sequence.GetFileModule()->SetParam(LUMO_PARAM_FILE_TYPE, LUMO_FILE_PNG, 0) != 0) {
        state.SkipWithError("PNG series could not be prepared");
        return;
    }
    const std::string png = Folder() + "/series.png";
    double save = 0, load = 0;
    for (auto _ : state) {
        const Clock::time_point t0 = Clock::now();
        if (!sequence.SaveSequenceToFile(png.c_str(), 0, PNG_FRAMES)) {
            state.SkipWithError("saving did not start");
            return;
        }
        WaitFor(sequence);
        const Clock::time_point t1 = Clock::now();
        CFileSequence loaded;
        if (loaded.LoadSequence((Folder() + "/series_00000000.png").c_str()))
            WaitFor(loaded); // a load that did not start leaves no images: caught below
        const Clock::time_point t2 = Clock::now();
        if (loaded.GetImageCount() != PNG_FRAMES) {
            state.SkipWithError("PNG series did not load back");
            return;
        }
        save += Seconds(t0, t1);
        load += Seconds(t1, t2);
    }
    const double frames = static_cast<double>(PNG_FRAMES) * static_cast<double>(state.iterations());
    state.counters["save_fps"] = frames / save;
    state.counters["load_fps"] = frames / load;
}

} // namespace

BENCHMARK(SaveMultiPageTiff)->Unit(benchmark::kMillisecond)->Iterations(6);
BENCHMARK(LoadMultiPageTiff)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(PngSeries)->Unit(benchmark::kMillisecond)->Iterations(2);

BENCHMARK_MAIN();
