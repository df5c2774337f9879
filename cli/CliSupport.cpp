#include "cli/CliSupport.h"

#include "acquisition/CFileSequence.h"
#include "external/LumoFileModules.h"
#include "external/LumoResult.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <unistd.h>
#include <vector>

namespace cli {

namespace {

std::atomic<bool> g_bInterrupted{false};

extern "C" void OnInterrupt(int) {
    g_bInterrupted.store(true);
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

std::string SaveFailureText(CSequenceBase& sequence, const std::string& file, uint32_t rc) {
    // The sequence's own results (abort, copy failure) are not the writer's: its text, if any,
    // would be an older one.
    CLumoModule* writer = sequence.GetFileModule();
    std::vector<char> text(8192, 0);
    if (rc != SEQ_RESULT_ABORTED && rc != SEQ_RESULT_COPY_FAILED && writer &&
        writer->GetParam(LUMO_PARAM_LAST_ERROR, LumoArg(text.data()), text.size()) == 0 &&
        text[0] != 0)
        return text.data();
    return "cannot save " + file + ": " + ResultText(rc);
}

bool ParseNumber(const std::string& text, uint64_t& value) {
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return !text.empty() && result.ec == std::errc() && result.ptr == end;
}

std::string ChooseFileType(CSequenceBase& sequence, uint64_t type, const VideoOptions& video) {
    CLumoModule* writer = sequence.GetFileModule();
    if (!writer)
        return "the image library has no file writer";
    if (const uint32_t rc = writer->SetParam(LUMO_PARAM_FILE_TYPE, type, 0); rc != 0)
        return "the file writer refuses file type " + std::to_string(type) + ": " + ResultText(rc);
    return ApplyVideoOptions(sequence, video, type);
}

SequenceWatch::SequenceWatch(CSequenceBase& sequence)
    : m_sequence(sequence),
      m_notifier(m_mainThread, [this](uint32_t code, int64_t value) { OnNotify(code, value); }) {
    g_bInterrupted.store(false);
    m_previousInterrupt = std::signal(SIGINT, OnInterrupt);
    m_notifier.Attach(sequence);
}

SequenceWatch::~SequenceWatch() {
    m_notifier.Detach();
    std::signal(SIGINT, m_previousInterrupt == SIG_ERR ? SIG_DFL : m_previousInterrupt);
}

void SequenceWatch::Pump(std::chrono::milliseconds timeout) {
    (void)m_mainThread.Drain(timeout); // how many ran does not matter here
}

bool SequenceWatch::TakeInterrupt() {
    return g_bInterrupted.exchange(false);
}

void SequenceWatch::OnNotify(uint32_t code, int64_t value) {
    switch (code) {
    case SEQ_NOTIFY_NEW_IMAGES:
        m_progress.done = static_cast<uint64_t>(value);
        break;
    case SEQ_NOTIFY_SAVE_START:
        m_progress.total = static_cast<uint64_t>(value);
        break;
    case SEQ_NOTIFY_SAVE_STEP:
        m_progress.done = static_cast<uint64_t>(value) + 1;
        break;
    case SEQ_NOTIFY_ENDED:
    case SEQ_NOTIFY_SAVE_END:
        m_progress.ended = true;
        m_progress.result = static_cast<uint32_t>(value);
        break;
    default:
        break;
    }
}

uint32_t SequenceWatch::WaitForSequence(const char* what, uint64_t expected) {
    const bool bar = ::isatty(STDERR_FILENO) == 1;
    // A load shows the frames in the sequence (its notifications come every tenth frame).
    const bool loading = std::string(what) == "loading";
    auto draw = [&] {
        const uint64_t frames = loading ? m_sequence.GetImageCount() : 0;
        DrawBar(what, std::max(m_progress.done, frames),
                m_progress.total ? m_progress.total : expected);
    };
    constexpr auto DRAW_EVERY = std::chrono::milliseconds(50);
    auto drawn = std::chrono::steady_clock::now() - DRAW_EVERY;
    while (m_sequence.IsThreadRunning()) {
        if (TakeInterrupt())
            m_sequence.Stop();
        if (bar && std::chrono::steady_clock::now() - drawn >= DRAW_EVERY) {
            draw();
            drawn = std::chrono::steady_clock::now();
        }
        Pump(DRAW_EVERY);
    }
    m_sequence.Stop();                  // reaps the thread
    Pump(std::chrono::milliseconds(0)); // what the thread raised before it ended
    if (bar) {
        draw();
        std::fputc('\n', stderr);
    }
    return m_progress.ended ? m_progress.result : SEQ_RESULT_ABORTED;
}

} // namespace cli
