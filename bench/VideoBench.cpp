// Encoding a recording as video through the file writer module, against the multi-page TIFF
// writer of the same frames in the same run (bench::Folder: a folder on the disk beside the
// program, or KAVRIN_BENCH_FOLDER).
//   EncodeVideo/5 (H.264 in MP4), /6 (FFV1 in Matroska), /7 (Motion JPEG in AVI): 200 frames of
//     2320 x 1726 8-bit grey, each iteration writing them once as a multi-page TIFF and once as
//     the video, with the writer's default rate and quality, up to the finished file (writing
//     mode 258 := 1). The frames are made once: a camera-like picture (a shaded background,
//     discs and bars that move a little from frame to frame, sensor noise), cycling through
//     FRAME_POOL different frames so that no encoder sees the same frame twice in a row.
//     Counters: "tiff_fps" (the baseline), "video_fps", "ratio" = video fps / TIFF fps,
//     "video_MB" (the size of the video file), and "video_cpu_fps" = frames per second of CPU
//     time of the whole process (all threads), which other load on the machine does not
//     lower. Targets on a 2-core machine: FFV1 50 fps and more, H.264 30 fps and more.
#include "bench/BenchFolder.h"
#include "bench/BenchLibrary.h"
#include "external/ImageFormat.h"
#include "external/LumoFileModules.h"
#include "external/LumoInstance.h"
#include "external/LumoModuleIds.h"
#include "external/LumoPtr.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdint>
#include <filesystem>
#include <string>
#include <time.h>
#include <vector>

namespace {

constexpr uint32_t WIDTH = 2320;
constexpr uint32_t HEIGHT = 1726;
constexpr uint64_t FRAMES = 200;
constexpr uint32_t FRAME_POOL = 16;

using bench::Clock;
using bench::Folder;
using bench::Seconds;

// A small fast generator for the sensor noise (xorshift32).
class Noise {
public:
    uint32_t Next() {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        return m_state;
    }
    // Roughly normal, mean 0, standard deviation 2 grey levels: the sum of four uniform bytes
    // (mean 510, standard deviation 148) scaled down.
    int Sample() {
        const uint32_t r = Next();
        const int sum =
            static_cast<int>((r & 0xFF) + ((r >> 8) & 0xFF) + ((r >> 16) & 0xFF) + (r >> 24));
        return (sum - 510) / 74;
    }

private:
    uint32_t m_state = 0x9E3779B9u;
};

// Frame `frame` of the picture into `pixels`: a vignetted background, a grid of bright discs
// and dark bars that drift by a few pixels per frame, and noise.
void Paint(uint8_t* pixels, uint32_t frame, Noise& noise) {
    constexpr int CELL = 160;
    const double cx = WIDTH / 2.0, cy = HEIGHT / 2.0;
    const uint32_t shift = 3 * frame;
    for (uint32_t y = 0; y < HEIGHT; ++y) {
        const double dy = (y - cy) / cy;
        const int gy = static_cast<int>((y + shift / 2) % CELL) - CELL / 2;
        for (uint32_t x = 0; x < WIDTH; ++x) {
            const double dx = (x - cx) / cx;
            int value = static_cast<int>(140.0 - 60.0 * (dx * dx + dy * dy));
            const int gx = static_cast<int>((x + shift) % CELL) - CELL / 2;
            if (gx * gx + gy * gy < 40 * 40)
                value += 70;
            else if (gx > -6 && gx < 6)
                value -= 80;
            const int sample = value + noise.Sample();
            pixels[uint64_t{y} * WIDTH + x] = static_cast<uint8_t>(std::clamp(sample, 0, 255));
        }
    }
}

// The frames every iteration writes, made once: FRAME_POOL one-frame images. Empty when the
// library does not make them.
const std::vector<LumoImagePtr>& Pictures(CLumoInstance* lumo) {
    static const std::vector<LumoImagePtr> pictures = [lumo] {
        std::vector<LumoImagePtr> made;
        Noise noise;
        for (uint32_t f = 0; f < FRAME_POOL; ++f) {
            LumoImagePtr image = MakeLumoImage(lumo);
            if (!image || image->Allocate(WIDTH, HEIGHT, ImageFormat::GREY8, 0, 1) != 0)
                return std::vector<LumoImagePtr>();
            Paint(static_cast<uint8_t*>(image->GetFrameData(0, 0, 0)), f, noise);
            made.push_back(std::move(image));
        }
        return made;
    }();
    return pictures;
}

// The CPU time of the whole process so far, all threads, in seconds.
double ProcessCpuSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// How long one write of the frames took: wall-clock and process CPU seconds.
struct WriteTime {
    double wall = -1; // negative: the writer failed
    double cpu = 0;
};

// Writes the FRAMES frames as `path` of file type `type` and finishes the file.
WriteTime WriteAll(CLumoModule& writer, const std::vector<LumoImagePtr>& pictures,
                   const std::string& path, uint32_t type) {
    std::error_code ec;
    std::filesystem::remove(path, ec); // freeing the old file is not the writer's work
    if (writer.SetParam(LUMO_PARAM_FILE_TYPE, type, 0) != 0 ||
        writer.SetParam(LUMO_PARAM_FILE_NAME, LumoArg(path.c_str()), 0) != 0)
        return {};
    const Clock::time_point t0 = Clock::now();
    const double cpu0 = ProcessCpuSeconds();
    bool ok = true;
    for (uint64_t f = 0; ok && f < FRAMES; ++f) {
        CLumoImage* image = pictures[f % pictures.size()].get();
        ok = writer.SetImages(1, &image) == 0 && writer.Execute(0) == 0;
    }
    ok = writer.SetParam(LUMO_PARAM_WRITE_MODE, ok ? 1 : 2, 1) == 0 && ok;
    const WriteTime time{Seconds(t0, Clock::now()), ProcessCpuSeconds() - cpu0};
    (void)writer.SetImages(1, nullptr); // detaching cannot fail in a way that matters here
    return ok ? time : WriteTime{};
}

void EncodeVideo(benchmark::State& state) {
    CLumoInstance* lumo = bench::LumoLibraryOrSkip(state);
    if (!lumo)
        return;
    const auto type = static_cast<uint32_t>(state.range(0));
    const LumoModulePtr writer = MakeLumoModule(lumo, LUMO_ID_FILE_WRITER);
    const std::vector<LumoImagePtr>& pictures = Pictures(lumo);
    if (!writer || pictures.empty()) {
        state.SkipWithError("the file writer or the frames could not be made");
        return;
    }
    const char* extension = type == LUMO_FILE_MP4   ? ".mp4"
                            : type == LUMO_FILE_MKV ? ".mkv"
                                                    : ".avi";
    const std::string tiff = Folder() + "/baseline.tif";
    const std::string video = Folder() + "/video" + extension;
    double baseline = 0, encoding = 0, encodingCpu = 0;
    for (auto _ : state) {
        const WriteTime tiffTime = WriteAll(*writer, pictures, tiff, LUMO_FILE_MULTI_TIFF);
        const WriteTime videoTime = WriteAll(*writer, pictures, video, type);
        if (tiffTime.wall < 0 || videoTime.wall < 0) {
            state.SkipWithError("writing failed");
            return;
        }
        baseline += tiffTime.wall;
        encoding += videoTime.wall;
        encodingCpu += videoTime.cpu;
    }
    const double frames = static_cast<double>(FRAMES) * static_cast<double>(state.iterations());
    std::error_code ec;
    const auto size = std::filesystem::file_size(video, ec);
    state.counters["tiff_fps"] = frames / baseline;
    state.counters["video_fps"] = frames / encoding;
    state.counters["ratio"] = baseline / encoding;
    state.counters["video_cpu_fps"] = frames / encodingCpu;
    state.counters["video_MB"] = ec ? 0.0 : static_cast<double>(size) / 1e6;
}

} // namespace

BENCHMARK(EncodeVideo)
    ->ArgName("type")
    ->Arg(LUMO_FILE_MP4)
    ->Arg(LUMO_FILE_MKV)
    ->Arg(LUMO_FILE_AVI)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

BENCHMARK_MAIN();
