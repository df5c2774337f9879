#include "cli/CliSupport.h"

#include "acquisition/CFileSequence.h"
#include "external/LumoResult.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace cli {

namespace {

std::atomic<bool> g_bInterrupted{false};

extern "C" void OnInterrupt(int) {
    g_bInterrupted.store(true);
}

// What the sequence reported last; one per process (the tool runs one sequence at a time).
struct Progress {
    std::mutex mutex;
    uint64_t total = 0;
    uint64_t done = 0;
    bool ended = false;
    uint32_t result = 0;
};
Progress g_progress;

void OnNotify(uint64_t, uint32_t code, int64_t value, bool) {
    std::lock_guard<std::mutex> lock(g_progress.mutex);
    switch (code) {
    case SEQ_NOTIFY_NEW_IMAGES:
        g_progress.done = static_cast<uint64_t>(value);
        break;
    case SEQ_NOTIFY_SAVE_START:
        g_progress.total = static_cast<uint64_t>(value);
        break;
    case SEQ_NOTIFY_SAVE_STEP:
        g_progress.done = static_cast<uint64_t>(value) + 1;
        break;
    case SEQ_NOTIFY_ENDED:
    case SEQ_NOTIFY_SAVE_END:
        g_progress.ended = true;
        g_progress.result = static_cast<uint32_t>(value);
        break;
    default:
        break;
    }
}

void DrawBar(const char* what, uint64_t done, uint64_t total) {
    constexpr int WIDTH = 30;
    char bar[WIDTH + 1];
    const int filled = total ? static_cast<int>(WIDTH * std::min(done, total) / total) : 0;
    for (int i = 0; i < WIDTH; ++i)
        bar[i] = i < filled ? '#' : '.';
    bar[WIDTH] = 0;
    if (total)
        std::fprintf(stderr, "\r%-8s [%s] %llu/%llu", what, bar,
                     static_cast<unsigned long long>(done), static_cast<unsigned long long>(total));
    else
        std::fprintf(stderr, "\r%-8s %llu", what, static_cast<unsigned long long>(done));
    std::fflush(stderr);
}

} // namespace

void Error(const std::string& text) {
    std::fprintf(stderr, "kavrin: %s\n", text.c_str());
}

bool LoadImageLibrary(RuntimeLibraries& libraries) {
    if (!libraries.LoadImageLibrary()) {
        const std::string path = RuntimeLibraries::ImageLibraryPath();
        Error("the image library libLumoInst.so could not be loaded (" +
              (path.empty() ? std::string("not found beside the program; set KAVRIN_LUMOINST")
                            : path + ": " + libraries.ImageLibrary().Error()) +
              ")");
        return false;
    }
    libraries.MakeCurrent();
    return true;
}

std::string ResultText(uint32_t rc) {
    const char* text = "error";
    switch (rc) {
    case 0:
        text = "success";
        break;
    case LUMO_E_FILENOTFOUND:
        text = "file not found";
        break;
    case LUMO_E_FILEREAD:
        text = "the file cannot be read";
        break;
    case LUMO_E_FILEFORMAT:
        text = "not an image file or layout that can be read or written here";
        break;
    case LUMO_E_FILEDAMAGED:
        text = "damaged or truncated file";
        break;
    case LUMO_E_FILEWRITE:
        text = "the file cannot be written";
        break;
    case LUMO_E_OUTOFMEMORY:
        text = "not enough memory";
        break;
    case LUMO_E_INVALIDARG:
        text = "invalid argument";
        break;
    case SEQ_RESULT_ABORTED:
        text = "aborted";
        break;
    case SEQ_RESULT_COPY_FAILED:
        text = "a frame could not be copied for writing";
        break;
    case SEQ_RESULT_SETUP_FAILED:
        text = "the frames could not be set up";
        break;
    case SEQ_RESULT_FRAME_FAILED:
        text = "a frame could not be stored (frames of different sizes?)";
        break;
    default:
        break;
    }
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", rc);
    return std::string(text) + " (" + code + ")";
}

bool ParseNumber(const std::string& text, uint64_t& value) {
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return !text.empty() && result.ec == std::errc() && result.ptr == end;
}

void WatchSequence(CSequenceBase& sequence) {
    {
        std::lock_guard<std::mutex> lock(g_progress.mutex);
        g_progress.total = 0;
        g_progress.done = 0;
        g_progress.ended = false;
        g_progress.result = 0;
    }
    g_bInterrupted.store(false);
    std::signal(SIGINT, OnInterrupt);
    sequence.SetNotifyCallback(&OnNotify, 0);
}

uint32_t WaitForSequence(CSequenceBase& sequence, const char* what, uint64_t expected) {
    const bool bar = ::isatty(STDERR_FILENO) == 1;
    // A load shows the frames in the sequence (its notifications come every tenth frame).
    const bool loading = std::string(what) == "loading";
    auto draw = [&] {
        const uint64_t frames = loading ? sequence.GetImageCount() : 0;
        std::lock_guard<std::mutex> lock(g_progress.mutex);
        DrawBar(what, std::max(g_progress.done, frames),
                g_progress.total ? g_progress.total : expected);
    };
    while (sequence.IsThreadRunning()) {
        if (g_bInterrupted.exchange(false))
            sequence.Stop();
        if (bar)
            draw();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    sequence.Stop(); // reaps the thread
    sequence.SetNotifyCallback(nullptr, 0);
    std::signal(SIGINT, SIG_DFL);
    if (bar) {
        draw();
        std::fputc('\n', stderr);
    }
    std::lock_guard<std::mutex> lock(g_progress.mutex);
    return g_progress.ended ? g_progress.result : SEQ_RESULT_ABORTED;
}

} // namespace cli
