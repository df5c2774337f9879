// One logged line on its way from a caller to the writer thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <sys/types.h>

namespace pemdebug {

struct LogEntry {
    std::chrono::system_clock::time_point time;
    pid_t tid = 0;                           // kernel thread id of the caller
    uint32_t level = 0;                      // 0 failure, 1 trace
    bool bToOutput = false;                  // the sink's output was on when the line was logged
    std::shared_ptr<const std::string> path; // log file of the sink's name at that moment
    std::string text;
};

} // namespace pemdebug
