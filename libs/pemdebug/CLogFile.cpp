#include "libs/pemdebug/CLogFile.h"

#include "platform/AppDataFolder.h"

namespace pemdebug {

bool CLogFile::Open(const std::string& path) {
    m_file.reset();
    m_path = path;
    const size_t slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0)
        platform::MakeFolders(path.substr(0, slash));
    m_file.reset(std::fopen(path.c_str(), "ae")); // append, close on exec
    if (!m_file) {
        std::fprintf(stderr, "PemDebug: cannot open log file %s\n", path.c_str());
        return false;
    }
    return true;
}

bool CLogFile::Write(const std::string& path, const std::string& line) {
    if (path != m_path) {
        if (!Open(path))
            return false;
    } else if (!m_file) {
        return false; // told already when opening failed
    }
    return std::fwrite(line.data(), 1, line.size(), m_file.get()) == line.size();
}

void CLogFile::Flush() {
    if (m_file)
        std::fflush(m_file.get());
}

} // namespace pemdebug
