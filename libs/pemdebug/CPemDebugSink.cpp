#include "libs/pemdebug/CPemDebugSink.h"

#include "libs/pemdebug/LogFolder.h"
#include "libs/pemdebug/LogFormat.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <unistd.h>

namespace pemdebug {

namespace {

// Longest sink name taken from SetSinkParam; the text is read up to this many bytes.
constexpr size_t MAX_SINK_NAME = 256;

// The kernel's id of the calling thread, asked once per thread.
pid_t ThreadId() {
    thread_local const pid_t tid = gettid();
    return tid;
}

} // namespace

CPemDebugSink::CPemDebugSink(size_t queueLines)
    : m_folder(LogFolder()),
      m_path(std::make_shared<const std::string>(LogFilePath(m_folder, std::string()))),
      m_queue(queueLines) {
    m_writer = std::thread(&CPemDebugSink::WriterLoop, this);
}

CPemDebugSink::~CPemDebugSink() {
    m_queue.Close();
    if (m_writer.joinable())
        m_writer.join();
    if (PemLogWindow* window = m_pWindow.exchange(nullptr))
        m_pWindowLib.load()->destroy(window);
}

uint32_t CPemDebugSink::SetSinkParam(uint32_t id, uintptr_t value, uintptr_t /*extra*/) {
    switch (id) {
    case PARAM_NAME: {
        const char* name = reinterpret_cast<const char*>(value);
        const std::string text = name ? std::string(name, strnlen(name, MAX_SINK_NAME)) : "";
        auto path = std::make_shared<const std::string>(LogFilePath(m_folder, text));
        platform::MutexLock guard(m_nameLock);
        m_path = std::move(path);
        m_name = text.empty() ? DEFAULT_SINK_NAME : text;
        return 0;
    }
    case PARAM_OUTPUT:
        SetOutput(value != 0);
        return 0;
    default:
        return SINK_PARAM_UNKNOWN;
    }
}

uint32_t CPemDebugSink::GetSinkParam(uint32_t id, uintptr_t* out, uintptr_t /*extra*/) {
    if (id != PARAM_OUTPUT || !out)
        return SINK_PARAM_UNKNOWN;
    *out = OutputOn() ? 1 : 0;
    return 0;
}

uint32_t CPemDebugSink::ActivateOutput(uint32_t on) {
    SetOutput(on != 0);
    return 0;
}

void CPemDebugSink::SetOutput(bool bOn) {
    m_bOutput = bOn;
    PemLogWindow* window = bOn ? MakeWindow() : m_pWindow.load();
    if (window)
        m_pWindowLib.load()->show(window, bOn ? 1 : 0);
}

PemLogWindow* CPemDebugSink::MakeWindow() {
    platform::MutexLock guard(m_windowLock);
    if (PemLogWindow* window = m_pWindow.load())
        return window;
    const LogWindowFunctions* library = LogWindowLibrary();
    if (!library)
        return nullptr;
    std::string name;
    {
        platform::MutexLock nameGuard(m_nameLock);
        name = m_name;
    }
    PemLogWindow* window = library->create(name.c_str());
    if (window) {
        m_pWindowLib = library;
        m_pWindow = window;
    }
    return window;
}

bool CPemDebugSink::OutputOn() const {
    if (PemLogWindow* window = m_pWindow.load())
        return m_pWindowLib.load()->isShown(window) != 0;
    return m_bOutput;
}

void CPemDebugSink::Log(uint32_t level, const char* format, ...) {
    if (!format)
        return;
    LogEntry entry;
    entry.time = std::chrono::system_clock::now();
    entry.tid = ThreadId();
    entry.level = level;
    entry.bToOutput = OutputOn();
    entry.path = CurrentPath();
    va_list args;
    va_start(args, format);
    entry.text = FormatLogText(format, args);
    va_end(args);
    (void)m_queue.Push(std::move(entry)); // a full queue counts the line as dropped
}

std::string CPemDebugSink::LogFile() const {
    return *CurrentPath();
}

std::shared_ptr<const std::string> CPemDebugSink::CurrentPath() const {
    platform::MutexLock guard(m_nameLock);
    return m_path;
}

std::string CPemDebugSink::FormatLine(const LogEntry& entry) {
    using namespace std::chrono;
    const time_t seconds = system_clock::to_time_t(entry.time);
    const auto millis = duration_cast<milliseconds>(entry.time.time_since_epoch()).count() % 1000;
    tm local{};
    localtime_r(&seconds, &local);
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d.%03d [%ld] %u ",
                  local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                  local.tm_min, local.tm_sec, static_cast<int>(millis < 0 ? millis + 1000 : millis),
                  static_cast<long>(entry.tid), entry.level);
    std::string line = stamp;
    line += entry.text;
    line += '\n';
    return line;
}

void CPemDebugSink::WriteLine(const std::string& path, const std::string& line, bool toOutput,
                              std::string& window) {
    // A line the file does not take is lost: the writer has no one to tell but standard error,
    // where CLogFile reported the file it could not open.
    (void)m_file.Write(path, line);
    if (!toOutput)
        return;
    if (m_pWindow.load())
        window += line;
    else
        std::fputs(line.c_str(), stderr);
}

void CPemDebugSink::WriterLoop() {
    CLogQueue::Batch batch;
    std::string window; // the batch's lines for the window, handed over in one call
    while (m_queue.Take(batch)) {
        window.clear();
        for (const LogEntry& entry : batch.entries)
            WriteLine(entry.path ? *entry.path : LogFile(), FormatLine(entry), entry.bToOutput,
                      window);
        if (batch.ullDropped != 0) {
            LogEntry report;
            report.time = std::chrono::system_clock::now();
            report.tid = ThreadId();
            report.level = 0;
            report.text = std::to_string(batch.ullDropped) + " lines dropped";
            WriteLine(batch.droppedPath ? *batch.droppedPath : LogFile(), FormatLine(report),
                      OutputOn(), window);
        }
        m_file.Flush();
        if (PemLogWindow* target = m_pWindow.load(); target && !window.empty())
            m_pWindowLib.load()->append(target, window.data(), window.size());
    }
}

} // namespace pemdebug
