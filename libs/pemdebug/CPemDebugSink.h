// The log sink of libPemDebug.so: callers format their line and queue it; one writer thread
// appends the queued lines to the sink's log file ("<sink name>.log" in the log folder), each
// with a timestamp and the caller's thread id, and copies them to standard error while the
// output is on.
#pragma once

#include "external/DebugSink.h"
#include "libs/pemdebug/CLogFile.h"
#include "libs/pemdebug/CLogQueue.h"
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
    // Writes every queued line, then ends the writer thread.
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
    // Appends `line` to the log file `path`, and to standard error with `toStderr`.
    void WriteLine(const std::string& path, const std::string& line, bool toStderr);
    std::shared_ptr<const std::string> CurrentPath() const KAVRIN_EXCLUDES(m_nameLock);

    const std::string m_folder;
    mutable platform::Mutex m_nameLock;
    std::shared_ptr<const std::string> m_path KAVRIN_GUARDED_BY(m_nameLock);
    std::atomic<bool> m_bOutput{false};
    CLogQueue m_queue;
    CLogFile m_file; // used by the writer thread only
    std::thread m_writer;
};

} // namespace pemdebug
