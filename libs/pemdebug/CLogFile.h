// The writer thread's output: appends lines to the log file of their sink name, creating the
// folder when needed, and copies them to standard error when asked.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

namespace pemdebug {

class CLogFile {
public:
    CLogFile() = default;
    CLogFile(const CLogFile&) = delete;
    CLogFile& operator=(const CLogFile&) = delete;

    // Appends `line` (ending in '\n') to the file at `path`, opening it first when the path
    // changed. False when the file cannot be opened or written.
    [[nodiscard]] bool Write(const std::string& path, const std::string& line);
    // Hands what was written to the system.
    void Flush();

private:
    struct FileCloser {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };

    [[nodiscard]] bool Open(const std::string& path);

    std::unique_ptr<std::FILE, FileCloser> m_file;
    std::string m_path;
};

} // namespace pemdebug
