// Real-time grab through the whole stack: a camera of 2320 x 1726 pixels grabbing continuously
// into 100 buffers from the simulated grabber at FGSIM_FPS (default 200) for a number of seconds
// (first argument, default 10). Reports the images transferred against the images the camera
// exposed in that time (ratio 1.0 = none missed), the loss the grabber reports, and CPU time as
// a share of one core: the program's grab monitor thread and the simulator's acquisition thread.
//   build/release/bench/bench_camera_grab [seconds]
#include "acquisition/CCamera.h"
#include "acquisition/RuntimeLibraries.h"
#include "external/ImageFormat.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <thread>

namespace {

constexpr uint32_t WIDTH = 2320;
constexpr uint32_t HEIGHT = 1726;
constexpr uint64_t BUFFERS = 100;

std::atomic<int64_t> g_llMonitorCpuNs{0};
std::atomic<uint64_t> g_ullNotifications{0};

int64_t ThreadCpuNs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// Runs on the monitor thread: its CPU time so far, taken at every notification (the last one,
// code 2, comes as the monitor ends).
void OnNotify(uint64_t, uint32_t, int64_t, bool) {
    g_llMonitorCpuNs.store(ThreadCpuNs());
    ++g_ullNotifications;
}

} // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    if (!(seconds > 0.0 && seconds <= 600.0)) {
        std::fputs("usage: bench_camera_grab [seconds, up to 600]\n", stderr);
        return 2;
    }
    RuntimeLibraries libs;
    if (!libs.LoadImageLibrary() || !TheSiliconAPI().IsAvailable()) {
        std::fputs("bench_camera_grab: image library or grabber library missing\n", stderr);
        return 1;
    }
    libs.MakeCurrent();
    const char* fpsText = std::getenv("FGSIM_FPS");
    const double fps = fpsText ? std::atof(fpsText) : 200.0;
    const auto simulatorCpu =
        TheSiliconAPI().Library().Function<int64_t (*)(const char*)>("FgSim_Counter");

    CCamera camera(WIDTH, ImageFormat::GREY8, 0);
    camera.SetHeight(HEIGHT);
    camera.SetNotifyCallback(&OnNotify, 0);
    if (!camera.PrepareFrameBuffers(BUFFERS) || !camera.StartSnap(true)) {
        std::fputs("bench_camera_grab: the grab did not start\n", stderr);
        return 1;
    }
    const int64_t simulatorBefore = simulatorCpu ? simulatorCpu("acquisition_cpu_ns") : 0;
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const int64_t lost = camera.GetLostImages(0);
    // Read at the end of the measured time, with the lost count, while the grabber is open.
    const int64_t grabbed = camera.GetGrabbedCount();
    camera.Stop();
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const int64_t simulatorNs =
        simulatorCpu ? simulatorCpu("acquisition_cpu_ns") - simulatorBefore : -1;

    const uint64_t transferred = grabbed > 0 ? static_cast<uint64_t>(grabbed) : 0;
    const double expected = fps * seconds;
    std::printf("frames %ux%u, %llu buffers, %.0f fps, %.2f s\n", WIDTH, HEIGHT,
                static_cast<unsigned long long>(BUFFERS), fps, elapsed);
    std::printf("transferred %llu, expected %.0f, ratio %.4f\n",
                static_cast<unsigned long long>(transferred), expected,
                static_cast<double>(transferred) / expected);
    std::printf("lost (grabber status) %lld, notifications %llu\n", static_cast<long long>(lost),
                static_cast<unsigned long long>(g_ullNotifications.load()));
    std::printf("monitor thread CPU %.3f s = %.2f %% of one core\n",
                static_cast<double>(g_llMonitorCpuNs.load()) / 1e9,
                100.0 * static_cast<double>(g_llMonitorCpuNs.load()) / 1e9 / elapsed);
    std::printf("simulator acquisition thread CPU %.3f s = %.2f %% of one core\n",
                static_cast<double>(simulatorNs) / 1e9,
                100.0 * static_cast<double>(simulatorNs) / 1e9 / elapsed);
    return 0;
}
