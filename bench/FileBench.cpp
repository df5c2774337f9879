// Saving and loading sequences against plain file input/output of the same bytes, in the same
// folder: a folder on the disk beside the program (not the temporary folder, which may be a
// memory file system), or KAVRIN_BENCH_FOLDER. Every iteration measures the baseline and the
// sequence operation back to back; the "ratio" counters are baseline time / operation time (1.0 =
// as fast as the baseline).
//   SaveMultiPageTiff: 200 frames of 2320 x 1726 8-bit as one multi-page TIFF through
//     SaveSequenceToFile, three ways in each iteration (the order rotates): the device's pace, an
//     O_DIRECT write loop of 4 MiB blocks from one aligned buffer over the same number of bytes
//     (what `dd if=/dev/zero bs=4M oflag=direct` does, without the child process); the writer
//     with O_DIRECT switched off (parameter 341 = 0: buffered, as it used to be); and the writer
//     as it is. All three end with fsync. Counters: "ratio_dd" = dd time / writer time (target
//     0.9 and more), "ratio_buffered" = buffered writer time / writer time (target 2 and more).
//   LoadMultiPageTiff: that file loaded by CFileSequence, against read() of the whole file into
//     a new buffer of its size; the page cache is warm for both.
//   VerifyMultiPageTiff: the same frames saved with their frame records, checked against them
//     as `kavrin verify` does (every frame read back and its CRC-32 compared), against read()
//     of the whole file; the page cache is warm for both.
//   PngSeries: saving and loading 20 frames as a PNG series, in frames per second.
#include "acquisition/CFileSequence.h"
#include "acquisition/RecordingCheck.h"
#include "bench/BenchFolder.h"
#include "bench/BenchLibrary.h"
#include "external/ImageFormat.h"
#include "external/LumoFileModules.h"
#include "external/LumoInstance.h"
#include "tests/acquisition/SequenceTestSeam.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdlib>
#include <cstring>
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
using bench::Folder;
using bench::LumoLibraryOrSkip;
using bench::ReportThroughput;
using bench::Seconds;

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

// Frames that keep a frame record, as a camera's do: tag 1000 + index, no gaps.
class RecordKeepingSequence final : public CFileSequence {
public:
    bool GetRecordingInfo(framerecord::RecordingInfo& out) override {
        out.camera = "bench camera";
        out.frames = GetImageCount();
        return true;
    }
    bool GetFrameRecord(uint64_t index, framerecord::FrameEntry& out) override {
        out.tag = static_cast<uint32_t>(1000 + index);
        return true;
    }
};

// The whole of `path` read into a new buffer of its size, as a load puts it into memory; the
// bytes read.
uint64_t ReadWholeFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    const uint64_t size = std::filesystem::file_size(path);
    std::unique_ptr<uint8_t[]> buffer(new uint8_t[size]);
    uint64_t total = 0;
    ssize_t n;
    while (total < size && (n = ::read(fd, buffer.get() + total, size - total)) > 0)
        total += static_cast<uint64_t>(n);
    ::close(fd);
    benchmark::DoNotOptimize(buffer.get());
    return total;
}

void WaitFor(CSequenceBase& sequence) {
    while (sequence.IsThreadRunning())
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    sequence.Stop();
}

// `bytes` bytes (rounded up to whole 4 KiB blocks) written to `path` with O_DIRECT in 4 MiB
// blocks from one aligned buffer, then fsync: the device's pace, as dd measures it.
bool DirectWriteLoop(const std::string& path, uint64_t bytes) {
    constexpr size_t BLOCK = 4u << 20;
    static const std::unique_ptr<uint8_t, decltype(&std::free)> buffer(
        static_cast<uint8_t*>(std::aligned_alloc(4096, BLOCK)), &std::free);
    if (!buffer)
        return false;
    std::memset(buffer.get(), 0, BLOCK);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_DIRECT | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    bool ok = true;
    const uint64_t total = (bytes + 4095) & ~uint64_t{4095};
    for (uint64_t done = 0; ok && done < total;) {
        const size_t chunk = static_cast<size_t>(std::min<uint64_t>(BLOCK, total - done));
        const ssize_t n = ::write(fd, buffer.get(), chunk);
        ok = n > 0;
        done += ok ? static_cast<uint64_t>(n) : 0;
    }
    ok = ::fsync(fd) == 0 && ok;
    return ::close(fd) == 0 && ok;
}

void SaveMultiPageTiff(benchmark::State& state) {
    if (!LumoLibraryOrSkip(state))
        return;
    CFileSequence sequence;
    if (!Fill(sequence, FRAMES)) {
        state.SkipWithError("frames could not be allocated");
        return;
    }
    const std::string dd = Folder() + "/dd.raw";
    const std::string buffered = Folder() + "/buffered.tif";
    const std::string direct = Folder() + "/sequence.tif";
    auto save = [&](const std::string& path, uint32_t directIo) {
        std::error_code ec;
        std::filesystem::remove(path, ec); // freeing the old file is not the save's work
        ::sync();
        const Clock::time_point t0 = Clock::now();
        const bool ok =
            sequence.GetFileModule()->SetParam(LUMO_PARAM_DIRECT_IO, directIo, 0) == 0 &&
            sequence.SaveSequenceToFile(path.c_str(), 0, FRAMES);
        if (ok)
            WaitFor(sequence);
        return std::make_pair(ok, Seconds(t0, Clock::now()));
    };
    auto ddWrite = [&] {
        std::error_code ec;
        std::filesystem::remove(dd, ec);
        ::sync();
        const Clock::time_point t0 = Clock::now();
        const bool ok = DirectWriteLoop(dd, FRAMES * FRAME_BYTES);
        return std::make_pair(ok, Seconds(t0, Clock::now()));
    };
    double times[3] = {0, 0, 0}; // dd, buffered writer, writer
    int first = 0; // the order rotates, so that no side always follows the same other side
    for (auto _ : state) {
        for (int step = 0; step < 3; ++step) {
            const int side = (first + step) % 3;
            const auto [ok, seconds] = side == 0   ? ddWrite()
                                       : side == 1 ? save(buffered, 0)
                                                   : save(direct, 1);
            if (!ok) {
                state.SkipWithError("writing failed");
                return;
            }
            times[side] += seconds;
        }
        first = (first + 1) % 3;
    }
    const double bytes =
        static_cast<double>(FRAMES * FRAME_BYTES) * static_cast<double>(state.iterations());
    state.counters["dd_GBps"] = bytes / times[0] / 1e9;
    state.counters["buffered_GBps"] = bytes / times[1] / 1e9;
    state.counters["kavrin_GBps"] = bytes / times[2] / 1e9;
    state.counters["ratio_dd"] = times[0] / times[2];
    state.counters["ratio_buffered"] = times[1] / times[2];
}

// `path` saved from `sequence` filled with FRAMES frames, unless the file is there already;
// false (the benchmark skipped with the reason) when that fails.
[[nodiscard]] bool SavedOnce(CFileSequence& sequence, const std::string& path,
                             benchmark::State& state) {
    if (std::filesystem::exists(path))
        return true;
    if (!Fill(sequence, FRAMES)) {
        state.SkipWithError("frames could not be allocated");
        return false;
    }
    if (!sequence.SaveSequenceToFile(path.c_str(), 0, FRAMES)) {
        state.SkipWithError("saving did not start");
        return false;
    }
    WaitFor(sequence);
    return true;
}

void LoadMultiPageTiff(benchmark::State& state) {
    if (!LumoLibraryOrSkip(state))
        return;
    const std::string tiff = Folder() + "/sequence.tif";
    if (CFileSequence sequence; !SavedOnce(sequence, tiff, state))
        return;
    // The plain read puts the whole file into memory, as a load does: a new buffer each time.
    auto readAll = [&] { return ReadWholeFile(tiff); };
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

void VerifyMultiPageTiff(benchmark::State& state) {
    CLumoInstance* lumo = LumoLibraryOrSkip(state);
    if (!lumo)
        return;
    const std::string tiff = Folder() + "/recorded.tif";
    if (RecordKeepingSequence sequence; !SavedOnce(sequence, tiff, state))
        return;
    ReadWholeFile(tiff); // the page cache is warm from here on
    double baseline = 0, operation = 0;
    uint64_t bytes = 0;
    for (auto _ : state) {
        const Clock::time_point t0 = Clock::now();
        bytes = ReadWholeFile(tiff);
        const Clock::time_point t1 = Clock::now();
        const RecordingCheck check = CheckRecording(lumo, tiff);
        const Clock::time_point t2 = Clock::now();
        if (!check.Passed() || check.frames != FRAMES) {
            state.SkipWithError("the recording did not verify");
            return;
        }
        baseline += Seconds(t0, t1);
        operation += Seconds(t1, t2);
    }
    ReportThroughput(state, baseline, operation, bytes, "verify");
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
BENCHMARK(VerifyMultiPageTiff)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(PngSeries)->Unit(benchmark::kMillisecond)->Iterations(2);

BENCHMARK_MAIN();
