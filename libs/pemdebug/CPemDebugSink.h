// The log sink of libPemDebug.so: callers format their line and queue it; one writer thread
// appends the queued lines to the sink's log file ("<sink name>.log" in the log folder), each
// with a timestamp and the caller's thread id, and copies them to the output while it is on. In a
// process that runs Qt the output is the sink's window (libPemLogWindow.so), made when the output
// is first switched on; the window then takes the place of standard error, and the user closing
// it switches the output off. Elsewhere the output is standard error.
#pragma once

#include "external/DebugSink.h"
#include "libs/pemdebug/CLogFile.h"
#include "libs/pemdebug/CLogQueue.h"
#include "libs/pemdebug/LogFolder.h"
#include "libs/pemdebug/LogWindowLoader.h"
#include "platform/ThreadAnnotations.h"

#include <atomic>
#include <memory>
#include <string>
#include <thread>

namespace pemdebug {

// Result of SetSinkParam / GetSinkParam for an id the sink does not know or a null output.
constexpr uint32_t SINK_PARAM_UNKNOWN = 1;

class CPemDebugSink : public CDebugSink {
public:
    static constexpr size_t DEFAULT_QUEUE_LINES = 8192;

    // The log folder is read from the environment now; the writer thread starts at once.
    explicit CPemDebugSink(size_t queueLines = DEFAULT_QUEUE_LINES);
    // Writes every queued line, then ends the writer thread and releases the window.
    virtual ~CPemDebugSink();
    CPemDebugSink(const CPemDebugSink&) = delete;
    CPemDebugSink& operator=(const CPemDebugSink&) = delete;

    uint32_t SetSinkParam(uint32_t id, uintptr_t value, uintptr_t extra) override;
    uint32_t GetSinkParam(uint32_t id, uintptr_t* out, uintptr_t extra) override;
    uint32_t ActivateOutput(uint32_t on) override;
    void Log(uint32_t level, const char* format, ...) override;

    // The file the next line goes to.
    std::string LogFile() const;

    // "2026-12-07 21:12:47.123 [4711] 1 text\n": local time with milliseconds, thread id, level.
    static std::string FormatLine(const LogEntry& entry);

private:
    void WriterLoop();
    // Appends `line` to the log file `path`; with `toOutput` also to the window's text `window`
    // when there is a window, else to standard error.
    void WriteLine(const std::string& path, const std::string& line, bool toOutput,
                   std::string& window);
    std::shared_ptr<const std::string> CurrentPath() const KAVRIN_EXCLUDES(m_nameLock);

    // Switches the output; on makes the window first when the process runs Qt.
    void SetOutput(bool bOn) KAVRIN_EXCLUDES(m_windowLock, m_nameLock);
    // The window, made once; null without Qt or without the window library.
    PemLogWindow* MakeWindow() KAVRIN_EXCLUDES(m_windowLock, m_nameLock);
    // The window is shown, or (without a window) the output was switched on.
    bool OutputOn() const;

    const std::string m_folder;
    mutable platform::Mutex m_nameLock;
    std::shared_ptr<const std::string> m_path KAVRIN_GUARDED_BY(m_nameLock);
    std::string m_name KAVRIN_GUARDED_BY(m_nameLock) = DEFAULT_SINK_NAME;
    std::atomic<bool> m_bOutput{false};
    platform::Mutex m_windowLock; // serialises making the window
    // Set once (library first), read by every thread; released after the writer ended.
    std::atomic<const LogWindowFunctions*> m_pWindowLib{nullptr};
    std::atomic<PemLogWindow*> m_pWindow{nullptr};
    CLogQueue m_queue;
    CLogFile m_file; // used by the writer thread only
    std::thread m_writer;
};

} // namespace pemdebug
